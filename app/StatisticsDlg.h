#pragma once
// "Statistics A–B": a small non-modal table of the visible channels between the two measuring
// cursors, with a Copy button that puts it on the clipboard as tab-separated text headed by
// the interval. The window fills it and refills it when a cursor moves.

#include "data/DateTime.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QTableWidget;

class TStatisticsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TStatisticsDlg(QWidget* parent = nullptr);

    // The cursors' times, shown above the table as the legend names them, and the rows (cells
    // as StatisticsCells gives them).
    void SetContent(DateTime a, DateTime b, const std::vector<std::vector<std::string>>& rows);
    // The table as tab-separated text: the cursors' times and the time between them, each on
    // a line of its own, the header line, then one line per row.
    QString TableText() const;
    void CopyButtonClick();

    QLabel* IntervalLabel;
    QTableWidget* Table;

private:
    std::vector<std::vector<std::string>> rows_;
    DateTime a_ = 0, b_ = 0;
};
