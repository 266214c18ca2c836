// Screening, the data sheet's status line and frozen columns, and the links between the data
// sheet and the trend diagram.

#include "app/DataSheetModel.h"
#include "app/MainFormUnit.h"
#include "app/ProcessDlg.h"
#include "filter/DataFilter.h"
#include "views/SheetLinks.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int FrozenColumns = 2; // "Serial number" and "Time"

uint32_t PageSizeOf(const TDataFilterDlg* dialog) {
    return dialog ? dialog->ItemsPerPage : DefaultItemsPerPage;
}

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

void TMainForm::CreateSheetExtrasAndLinks() {
    // "Serial number" and "Time" stay in view while the value columns scroll sideways: a
    // second view of the same model shows the two columns on top of the sheet's left edge.
    FrozenListView = new QTableView(DataListView);
    FrozenListView->setModel(DataListModel);
    FrozenListView->setSelectionModel(DataListView->selectionModel());
    FrozenListView->setFocusPolicy(Qt::NoFocus);
    FrozenListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    FrozenListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FrozenListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FrozenListView->setWordWrap(false);
    FrozenListView->setTextElideMode(Qt::ElideRight);
    FrozenListView->verticalHeader()->hide();
    FrozenListView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FrozenListView->verticalHeader()->setDefaultSectionSize(
        DataListView->verticalHeader()->defaultSectionSize());
    FrozenListView->horizontalHeader()->setSectionsClickable(false);
    FrozenListView->horizontalHeader()->setHighlightSections(false);
    FrozenListView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FrozenListView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FrozenListView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FrozenListView->setFrameShape(QFrame::NoFrame);
    FrozenListView->setContextMenuPolicy(Qt::CustomContextMenu);
    DataListView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    DataListView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    FrozenListView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    DataListView->viewport()->stackUnder(FrozenListView);
    connect(FrozenListView->verticalScrollBar(), &QAbstractSlider::valueChanged,
            DataListView->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(DataListView->verticalScrollBar(), &QAbstractSlider::valueChanged,
            FrozenListView->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(DataListView->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int) {
                if (section < FrozenColumns)
                    UpdateFrozenColumns();
            });
    // The two columns are resized on the frozen header, which covers the sheet's own.
    connect(FrozenListView->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section < FrozenColumns && DataListView->columnWidth(section) != size)
                    DataListView->setColumnWidth(section, size);
            });
    connect(DataListModel, &QAbstractItemModel::modelReset, this,
            [this] { UpdateFrozenColumns(); });
    DataListView->installEventFilter(new ResizeWatcher(this, [this] { UpdateFrozenColumns(); }));
    connect(FrozenListView, &QWidget::customContextMenuRequested, this,
            [this] { DataListViewContextPopup(); });

    connect(DataListView, &QAbstractItemView::doubleClicked, this,
            &TMainForm::DataListViewDblClick);
    connect(FrozenListView, &QAbstractItemView::doubleClicked, this,
            &TMainForm::DataListViewDblClick);

    SheetStatusLabel = new QLabel(DataTabSheet);
    SheetStatusLabel->setContentsMargins(6, 2, 6, 2);
    SheetStatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DataTabSheet->layout()->addWidget(SheetStatusLabel);
    UpdateSheetStatus();

    ChartPopupMenu = new QMenu(this);
    ShowInSheetMenuItem = ChartPopupMenu->addAction(QStringLiteral("Show in data sheet"));
    connect(ShowInSheetMenuItem, &QAction::triggered, this, &TMainForm::ShowCursorRowInSheet);
    connect(Chart, &TrendChart::ContextMenuRequested, this, [this](const QPoint& at) {
        ShowInSheetMenuItem->setEnabled(!RealTimeMode && !Rows.Empty());
        ChartPopupMenu->popup(at);
    });
}

void TMainForm::UpdateFrozenColumns() {
    const int columns = DataListModel->columnCount();
    if (columns < FrozenColumns) {
        FrozenListView->hide();
        return;
    }
    int width = 0;
    for (int c = 0; c < columns; ++c) {
        FrozenListView->setColumnHidden(c, c >= FrozenColumns);
        if (c < FrozenColumns) {
            FrozenListView->setColumnWidth(c, DataListView->columnWidth(c));
            width += DataListView->columnWidth(c);
        }
    }
    FrozenListView->setGeometry(
        DataListView->verticalHeader()->width() + DataListView->frameWidth(),
        DataListView->frameWidth(), width,
        DataListView->viewport()->height() + DataListView->horizontalHeader()->height());
    FrozenListView->verticalScrollBar()->setValue(DataListView->verticalScrollBar()->value());
    FrozenListView->show();
}

void TMainForm::ShowPageFromItsTop() {
    // A new page is shown from its first row with nothing selected, wherever the previous
    // page was scrolled to.
    DataListView->clearSelection();
    DataListView->scrollToTop();
    FrozenListView->scrollToTop();
    UpdateSheetStatus();
}

void TMainForm::UpdateSheetStatus() {
    if (!SheetStatusLabel)
        return;
    SheetStatus status;
    status.fileName = JoinSummary.isEmpty() ? QFileInfo(ShownFileName).fileName().toStdString()
                                            : JoinSummary.toStdString();
    status.rowCount = Rows.RowCount();
    status.pageStart = Page.pageStart;
    status.pageSize = PageSizeOf(DataFilterDlg);
    if (ShownScreening)
        status.window = {{ShownScreening->start, ShownScreening->end}};
    status.channelCount = ColumnChannels.size();
    status.live = RealTimeMode;
    status.runEnded = !realTime_ || !realTime_->LinkActive();
    SheetStatusLabel->setText(QString::fromStdString(SheetStatusText(status)));
}

void TMainForm::DataListViewContextPopup() {
    if (!RealTimeMode)
        RunScreening();
}

void TMainForm::DataFilterButtonClick() {
    RunScreening();
}

void TMainForm::RunScreening() {
    // Live values are no recording to screen, also after the run has stopped.
    if (RealTimeMode || channels.empty() || !DataFilterDlg ||
        !DataFilterDlg->AskScreeningSettings())
        return;
    ApplyScreening(DataFilterDlg->Selection());
}

void TMainForm::ApplyScreening(const ScreeningSelection& selection) {
    if (RealTimeMode || channels.empty())
        return;
    Rows.Clear();
    ColumnChannels.clear();
    DataListModel->Clear();
    RemoveAllSeries();
    Chart->clearGraphs();
    Chart->UndoZoom();
    Chart->ResetAxes();
    XZoomStopPending = YZoomStopPending = true;
    RunWorker(QStringLiteral("Data are screening..."),
              [this, &selection] { BuildOnWorker(&selection); });
    ShownScreening = selection;
    ApplyViewBuild();
    FinishViewUpdate(selection.start, false);
}

void TMainForm::SetTimeCursor(DateTime time) {
    ChartTool->SetXValue(time);
    Chart->ScrollTimeIntoView(time);
}

DateTime TMainForm::TimeCursor() const {
    return ChartTool->XValue();
}

void TMainForm::DataListViewDblClick(const QModelIndex& index) {
    if (RealTimeMode || !index.isValid())
        return;
    const size_t row = size_t(Page.pageStart) + size_t(index.row());
    if (row >= Rows.RowCount())
        return;
    SetTimeCursor(Rows.Time(row));
    ChartMenuItemClick();
}

void TMainForm::ShowCursorRowInSheet() {
    if (RealTimeMode)
        return;
    if (const auto row = NearestRow(Rows, TimeCursor()))
        ShowSheetRow(*row);
}

void TMainForm::ShowSheetRow(size_t row) {
    if (row >= Rows.RowCount())
        return;
    PageButtons buttons;
    ShowPageOfRow(Page, buttons, row, Rows.RowCount(), PageSizeOf(DataFilterDlg));
    // The sheet restores its parked paging buttons when it is shown.
    SavedPageButtons = buttons;
    if (CurrentPage == ShownPage::DataSheet)
        Commands.paging = buttons;
    DataTableMenuItemClick();
    ApplyPage();
    const int item = static_cast<int>(row - Page.pageStart);
    DataListView->selectRow(item);
    DataListView->scrollTo(DataListModel->index(item, 0), QAbstractItemView::PositionAtCenter);
}
