#pragma once
// "Serial number" and "Time" stay in view while the data sheet's value columns scroll sideways:
// a second view of the sheet's model shows the two columns on top of the sheet's left edge.
// Owns that second view and keeps it laid over the sheet, scrolled and sized with it.

#include <QObject>

class QAbstractItemModel;
class QTableView;

class FrozenColumns : public QObject {
    Q_OBJECT
public:
    static constexpr int Count = 2;

    // The view is made a child of the sheet and shares its model and selection.
    explicit FrozenColumns(QTableView* sheet);

    QTableView* View() const { return frozen_; }
    // Lays the view over the sheet again (also done on every resize and model reset).
    void Update();

private:
    QTableView* sheet_;
    QTableView* frozen_;
};
