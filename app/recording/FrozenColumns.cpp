#include "app/recording/FrozenColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <functional>

namespace {

// Keeps the frozen columns laid over the sheet whenever the sheet changes size.
class ResizeWatcher : public QObject {
public:
    ResizeWatcher(QObject* parent, std::function<void()> onResize)
        : QObject(parent), onResize_(std::move(onResize)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            onResize_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onResize_;
};

} // namespace

FrozenColumns::FrozenColumns(QTableView* sheet)
    : QObject(sheet), sheet_(sheet), frozen_(new QTableView(sheet)) {
    frozen_->setModel(sheet->model());
    frozen_->setSelectionModel(sheet->selectionModel());
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setSelectionBehavior(QAbstractItemView::SelectRows);
    frozen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    frozen_->setWordWrap(false);
    frozen_->setTextElideMode(Qt::ElideRight);
    frozen_->verticalHeader()->hide();
    frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->verticalHeader()->setDefaultSectionSize(sheet->verticalHeader()->defaultSectionSize());
    frozen_->horizontalHeader()->setSectionsClickable(false);
    frozen_->horizontalHeader()->setHighlightSections(false);
    frozen_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    frozen_->setContextMenuPolicy(Qt::CustomContextMenu);
    sheet->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    sheet->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    frozen_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    sheet->viewport()->stackUnder(frozen_);
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged,
            sheet->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(sheet->verticalScrollBar(), &QAbstractSlider::valueChanged,
            frozen_->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(sheet->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int) {
                if (section < Count)
                    Update();
            });
    // The two columns are resized on the frozen header, which covers the sheet's own.
    connect(frozen_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section < Count && sheet_->columnWidth(section) != size)
                    sheet_->setColumnWidth(section, size);
            });
    connect(sheet->model(), &QAbstractItemModel::modelReset, this, [this] { Update(); });
    sheet->installEventFilter(new ResizeWatcher(this, [this] { Update(); }));
}

void FrozenColumns::Update() {
    const int columns = sheet_->model()->columnCount();
    if (columns < Count) {
        frozen_->hide();
        return;
    }
    int width = 0;
    for (int c = 0; c < columns; ++c) {
        frozen_->setColumnHidden(c, c >= Count);
        if (c < Count) {
            frozen_->setColumnWidth(c, sheet_->columnWidth(c));
            width += sheet_->columnWidth(c);
        }
    }
    frozen_->setGeometry(sheet_->verticalHeader()->width() + sheet_->frameWidth(),
                         sheet_->frameWidth(), width,
                         sheet_->viewport()->height() + sheet_->horizontalHeader()->height());
    frozen_->verticalScrollBar()->setValue(sheet_->verticalScrollBar()->value());
    frozen_->show();
}
