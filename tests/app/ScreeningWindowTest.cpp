// The main window's screening, the data sheet's paging position, status line and frozen
// columns, and the links between sheet and chart.

#include "app/DataSheetModel.h"
#include "app/Startup.h"
#include "data/RecorderFileWriter.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class ScreeningWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        objects_ = CreateStartupObjects(*settings_);
        form()->SetMessagePresenter(
            [this](QWidget*, const UserMessage& m) { messages_.push_back(m.text); });
        form()->resize(1000, 700);
        form()->show();
    }

    // A recording of `channels` channels sampled in step once a second, no interruptions.
    void Open(int channels, double days) {
        SampleOptions options;
        options.channels = channels;
        options.days = days;
        options.interruptionsPerDay = 0;
        options.outOfRangeRunsPerDay = 0;
        SampleRecording recording;
        ASSERT_FALSE(GenerateSampleRecording(options, recording));
        const QString path = dir_.filePath("rec.bin");
        ASSERT_FALSE(WriteBinaryFile(path.toStdString(), recording.bytes));
        form()->OpenDataFile(path);
        ASSERT_TRUE(messages_.empty());
    }

    // Screens through the dialog as a user would: `edit` changes the controls, then "O K".
    void Screen(const std::function<void(TDataFilterDlg&)>& edit) {
        TDataFilterDlg& dlg = *objects_->DataFilterDlg;
        QTimer::singleShot(0, &dlg, [&dlg, edit] {
            edit(dlg);
            dlg.OKBtnClick();
        });
        form()->DataFilterButtonClick();
    }

    TMainForm* form() { return objects_->MainForm.get(); }
    QString Cell(int item, int column) {
        return form()
            ->DataListModel->data(form()->DataListModel->index(item, column), Qt::DisplayRole)
            .toString();
    }
    int TopItem() { return form()->DataListView->rowAt(0); }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
};

} // namespace

TEST_F(ScreeningWindowTest, EveryPagingMoveShowsItsPageFromTheFirstRowUnselected) {
    Open(2, 0.02); // 1728 rows
    form()->DataTableMenuItemClick();
    QTableView* sheet = form()->DataListView;
    const auto moves = {&TMainForm::NextPageButtonClick, &TMainForm::EndPageButtonClick,
                        &TMainForm::FrontPageButtonClick, &TMainForm::FirstPageButtonClick};
    for (auto move : moves) {
        sheet->scrollToBottom();
        sheet->selectRow(sheet->rowAt(sheet->viewport()->height() / 2));
        ASSERT_GT(TopItem(), 0);
        (form()->*move)();
        EXPECT_EQ(sheet->verticalScrollBar()->value(), 0);
        EXPECT_EQ(TopItem(), 0);
        EXPECT_EQ(form()->Views().FrozenListView()->rowAt(0), 0);
        EXPECT_FALSE(sheet->selectionModel()->hasSelection());
        EXPECT_EQ(Cell(0, 0).toUInt(), form()->Recording().Page.pageStart + 1);
    }
    EXPECT_EQ(form()->Views().SheetStatusLabel()->text(),
              QStringLiteral("rec.bin  |  1728 rows  |  page 1 of 4"));
}

TEST_F(ScreeningWindowTest, SerialAndTimeColumnsStayWhileValuesScroll) {
    Open(16, 0.002);
    form()->DataTableMenuItemClick();
    QTableView* sheet = form()->DataListView;
    QTableView* frozen = form()->Views().FrozenListView();
    ASSERT_EQ(form()->DataListModel->columnCount(), 18);
    ASSERT_GT(sheet->horizontalScrollBar()->maximum(), 0); // 16 channels do not fit
    sheet->horizontalScrollBar()->setValue(sheet->horizontalScrollBar()->maximum());
    EXPECT_TRUE(frozen->isVisible());
    EXPECT_FALSE(frozen->isColumnHidden(1));
    EXPECT_TRUE(frozen->isColumnHidden(2));
    EXPECT_EQ(frozen->width(), sheet->columnWidth(0) + sheet->columnWidth(1));
    EXPECT_EQ(frozen->columnViewportPosition(1), sheet->columnWidth(0));
    // The value columns moved under it; the frozen pair did not.
    EXPECT_LT(sheet->columnViewportPosition(2), sheet->columnWidth(0) + sheet->columnWidth(1));
    sheet->verticalScrollBar()->setValue(sheet->verticalScrollBar()->maximum() / 2);
    EXPECT_EQ(frozen->verticalScrollBar()->value(), sheet->verticalScrollBar()->value());
    // The time column is widened on the frozen header, which covers the sheet's own.
    frozen->horizontalHeader()->resizeSection(1, 260);
    EXPECT_EQ(sheet->columnWidth(1), 260);
    EXPECT_EQ(frozen->width(), sheet->columnWidth(0) + 260);
}

TEST_F(ScreeningWindowTest, ScreeningRebuildsTheViewsFromTheDialogsSettings) {
    Open(6, 0.05); // 2015-03-16 08:00:00 to 09:12:00
    TDataFilterDlg& dlg = *objects_->DataFilterDlg;
    Screen([](TDataFilterDlg& d) {
        d.StartTime->setTime(QTime(8, 30, 0));
        d.EndTime->setTime(QTime(8, 40, 0));
        d.ItemCountPerPageEdit->setText(QStringLiteral("100"));
        d.SlectAllCheckBox1->click();
        d.ChannelLists[0]->item(1)->setCheckState(Qt::Checked);
        d.ChannelLists[0]->item(4)->setCheckState(Qt::Checked);
    });
    EXPECT_EQ(form()->Recording().ColumnChannels, (std::vector<int16_t>{1, 4}));
    ASSERT_EQ(form()->Recording().SeriesInfos.size(), 2u);
    EXPECT_EQ(form()->Recording().SeriesInfos[1].title, "Channel05");
    EXPECT_EQ(form()->Recording().Rows.RowCount(), 601u); // both ends inclusive
    EXPECT_EQ(form()->Recording().Page, (PageWindow{0, 100, 100}));
    EXPECT_TRUE(form()->Recording().XZoomStopPending && form()->Recording().YZoomStopPending);
    EXPECT_NEAR(form()->Views().TimeCursor(), dlg.ScreenStart + 1.0 / 864000.0, 1e-9);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("2015-03-16 08:30:00"));
    // FinishViewUpdate after a screening leaves the dialog as the user set it.
    EXPECT_EQ(dlg.StartTime->time(), QTime(8, 30, 0));
    EXPECT_EQ(dlg.ItemCountPerPageEdit->text(), QStringLiteral("100"));
    EXPECT_EQ(form()->Views().SheetStatusLabel()->text(),
              QStringLiteral("rec.bin  |  601 rows  |  page 1 of 7  |  screened 2015-03-16 "
                             "08:30:00 to 2015-03-16 08:40:00, 2 channels"));

    // Screened views link as the whole recording does.
    form()->DataTableMenuItemClick();
    form()->EndPageButtonClick();
    form()->Views().DataListViewDblClick(form()->DataListModel->index(0, 3));
    EXPECT_EQ(form()->Views().TimeCursor(), form()->Recording().Rows.Time(600));
}

TEST_F(ScreeningWindowTest, NeverScreensLiveValuesOrAnEmptyRecording) {
    bool dialogShown = false;
    auto watch = [&] {
        QTimer::singleShot(0, objects_->DataFilterDlg.get(), [&] {
            dialogShown = objects_->DataFilterDlg->isVisible();
            objects_->DataFilterDlg->reject();
        });
    };
    watch();
    form()->DataFilterButtonClick(); // nothing loaded
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialogShown);

    Open(2, 0.01);
    form()->Views().SetRealTimeMode(true);
    watch();
    form()->DataFilterButtonClick();
    form()->DataListViewContextPopup();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialogShown);
}

TEST_F(ScreeningWindowTest, DoubleClickedRowMovesTheTimeCursorIntoView) {
    Open(2, 0.02);
    form()->DataTableMenuItemClick();
    form()->NextPageButtonClick();
    const DateTime rowTime = form()->Recording().Rows.Time(700);
    // Zoomed far from the row, so the chart must scroll to show it.
    form()->Chart->xAxis->setRange(form()->Recording().Rows.Time(0),
                                   form()->Recording().Rows.Time(60));
    const double span = form()->Chart->xAxis->range().size();

    form()->Views().DataListViewDblClick(form()->DataListModel->index(200, 1));
    EXPECT_EQ(form()->Views().TimeCursor(), rowTime);
    EXPECT_EQ(form()->PageControl->currentWidget(), form()->ChartTabSheet);
    EXPECT_TRUE(form()->Chart->xAxis->range().contains(rowTime));
    EXPECT_NEAR(form()->Chart->xAxis->range().size(), span, 1e-9);

    form()->Views().SetRealTimeMode(true);
    form()->Views().DataListViewDblClick(form()->DataListModel->index(0, 1));
    EXPECT_EQ(form()->Views().TimeCursor(), rowTime);
}

TEST_F(ScreeningWindowTest, ShowInDataSheetOpensThePageOfTheNearestRowAndSelectsIt) {
    Open(2, 0.02); // 1728 rows, pages of 500
    form()->ChartMenuItemClick();
    form()->Views().SetTimeCursor(form()->Recording().Rows.Time(1600) + 0.4 * OneSecond);
    form()->ShowInSheetMenuItem->trigger();
    EXPECT_EQ(form()->PageControl->currentWidget(), form()->DataTabSheet);
    EXPECT_EQ(form()->Recording().Page.pageStart, 1500u);
    EXPECT_EQ(form()->DataListModel->ItemCount(), 228u);
    const QModelIndexList selected = form()->DataListView->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].row(), 100);
    EXPECT_TRUE(form()->DataListView->viewport()->rect().intersects(
        form()->DataListView->visualRect(selected[0])));
    EXPECT_TRUE(form()->FirstPageButton->isEnabled());
    EXPECT_FALSE(form()->NextPageButton->isEnabled());
    EXPECT_EQ(form()->Views().SheetStatusLabel()->text(),
              QStringLiteral("rec.bin  |  1728 rows  |  page 4 of 4"));
    // Paging on from there works as after "Last Page".
    form()->FrontPageButtonClick();
    EXPECT_EQ(form()->Recording().Page, (PageWindow{1000, 1500, 500}));

    form()->Views().SetRealTimeMode(true);
    form()->ChartMenuItemClick();
    form()->ShowInSheetMenuItem->trigger();
    EXPECT_EQ(form()->PageControl->currentWidget(), form()->ChartTabSheet);
}

TEST_F(ScreeningWindowTest, RightClickOnTheChartOffersTheSheetWhileARightDragScrolls) {
    Open(2, 0.01);
    form()->ChartMenuItemClick();
    TrendChart* chart = form()->Chart;
    chart->replot();
    const QPoint centre = chart->axisRect()->rect().center();
    const QCPRange before = chart->xAxis->range();
    QTest::mousePress(chart, Qt::RightButton, {}, centre);
    QTest::mouseMove(chart, centre + QPoint(-60, 0));
    QTest::mouseRelease(chart, Qt::RightButton, {}, centre + QPoint(-60, 0));
    EXPECT_FALSE(form()->ChartPopupMenu->isVisible());
    EXPECT_GT(chart->xAxis->range().lower, before.lower);

    const QCPRange scrolled = chart->xAxis->range();
    QTest::mousePress(chart, Qt::RightButton, {}, centre);
    QTest::mouseRelease(chart, Qt::RightButton, {}, centre + QPoint(1, 1));
    EXPECT_TRUE(form()->ChartPopupMenu->isVisible());
    EXPECT_TRUE(form()->ShowInSheetMenuItem->isEnabled());
    EXPECT_DOUBLE_EQ(chart->xAxis->range().lower, scrolled.lower); // a click does not scroll
    form()->ChartPopupMenu->close();

    form()->Views().SetRealTimeMode(true);
    QTest::mousePress(chart, Qt::RightButton, {}, centre);
    QTest::mouseRelease(chart, Qt::RightButton, {}, centre);
    EXPECT_FALSE(form()->ShowInSheetMenuItem->isEnabled());
    form()->ChartPopupMenu->close();
}
