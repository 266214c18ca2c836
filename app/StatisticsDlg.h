#pragma once
// "Statistics A–B": a small non-modal table of the visible channels between the two measuring
// cursors, with a Copy button that puts it on the clipboard as tab-separated text. The window
// fills it and refills it when a cursor moves.

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QTableWidget;

class TStatisticsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TStatisticsDlg(QWidget* parent = nullptr);

    // The interval's line above the table and the rows (cells as StatisticsCells gives them).
    void SetContent(const QString& interval, const std::vector<std::vector<std::string>>& rows);
    // The table as tab-separated text: the header line, then one line per row.
    QString TableText() const;
    void CopyButtonClick();

    QLabel* IntervalLabel;
    QTableWidget* Table;

private:
    std::vector<std::vector<std::string>> rows_;
};
