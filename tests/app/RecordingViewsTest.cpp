// The recording on screen without the main window: a sheet on its page, a chart, the progress
// dialog and the worker protocol are all it needs.
#include "app/recording/RecordingViews.h"
#include "app/DataSheetModel.h"
#include "app/ProcessDlg.h"
#include "app/WorkerProtocol.h"
#include "app/realtime/LiveViews.h"
#include "tests/app/RampRecording.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class RecordingViewsTest : public ::testing::Test {
protected:
    RecordingViewsTest() {
        dialogs_.ProcessDlg = &progress_;
        auto* layout = new QVBoxLayout(&page_);
        sheet_ = new QTableView(&page_);
        layout->addWidget(sheet_);
        const MessagePresenter present = [this](QWidget*, const UserMessage& m) {
            messages_.push_back(m.text);
        };
        worker_ = std::make_unique<WorkerProtocol>(dialogs_, present);
        views_ = std::make_unique<RecordingViews>(&window_, settings_, dialogs_, *worker_, present,
                                                  sheet_, &page_, &chart_, &showInSheet_);
        QObject::connect(views_.get(), &RecordingViews::ViewsBuilt,
                         [this](const PageButtons& firstPage, bool enableFilter) {
                             built_.push_back(firstPage);
                             filterOn_ = enableFilter;
                         });
        QObject::connect(views_.get(), &RecordingViews::SheetPageWanted,
                         [this](const PageButtons& buttons) { wanted_.push_back(buttons); });
        QObject::connect(views_.get(), &RecordingViews::ViewsCleared, [this] { ++cleared_; });
    }
    QString Status() const { return views_->SheetStatusLabel()->text(); }

    QTemporaryDir dir_;
    QSettings settings_{dir_.filePath("Korvane.conf"), QSettings::IniFormat};
    QWidget window_;
    QWidget page_;
    QTableView* sheet_ = nullptr;
    TrendChart chart_;
    QAction showInSheet_{"Show in data sheet"};
    TProcessDlg progress_;
    WindowDialogs dialogs_;
    std::vector<std::string> messages_;
    std::unique_ptr<WorkerProtocol> worker_;
    std::unique_ptr<RecordingViews> views_;
    std::vector<PageButtons> built_, wanted_;
    bool filterOn_ = false;
    int cleared_ = 0;
};

} // namespace

TEST_F(RecordingViewsTest, OpensPagesAndFindsTheCursorsRowOnItsOwn) {
    const QString path = dir_.filePath("ramp.bin");
    WriteRampRecording(path, 1234);
    views_->OpenDataFile(path);
    ASSERT_TRUE(messages_.empty()) << messages_.front();
    const ShownRecording& shown = views_->Shown();
    EXPECT_EQ(shown.Rows.RowCount(), 1234u);
    ASSERT_EQ(built_, std::vector<PageButtons>({{false, false, true, true}}));
    EXPECT_TRUE(filterOn_);
    EXPECT_EQ(views_->SheetModel()->rowCount(), 500); // no screening dialog: 500 rows a page
    ASSERT_EQ(chart_.graphCount(), 1);
    EXPECT_EQ(shown.SeriesInfos.at(0).series, chart_.graph(0));
    EXPECT_DOUBLE_EQ(views_->TimeCursor(), RampStart + 0.1 * OneSecond);
    EXPECT_EQ(Status(), "ramp.bin  |  1234 rows  |  page 1 of 3");

    // The buttons are the caller's; the page is the views' own.
    PageButtons buttons = built_[0];
    views_->EndPageButtonClick(buttons);
    EXPECT_EQ(buttons, (PageButtons{true, true, false, false}));
    EXPECT_EQ(shown.Page, (PageWindow{1000, 1234, 234}));
    EXPECT_EQ(views_->SheetModel()->ItemTexts(0).value(0), "1001");
    EXPECT_EQ(Status(), "ramp.bin  |  1234 rows  |  page 3 of 3");

    // The sheet page of the row nearest the cursor is asked for, its row selected.
    views_->SetTimeCursor(RampStart + 600.3 * OneSecond);
    views_->ShowCursorRowInSheet();
    ASSERT_EQ(wanted_, std::vector<PageButtons>({{true, true, true, true}}));
    EXPECT_EQ(shown.Page.pageStart, 500u);
    ASSERT_EQ(sheet_->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(sheet_->selectionModel()->selectedRows()[0].row(), 100);

    const int before = cleared_;
    views_->ClearViews();
    EXPECT_EQ(cleared_, before + 1);
    EXPECT_TRUE(shown.channels.empty() && shown.SeriesInfos.empty());
    EXPECT_EQ(chart_.graphCount(), 0);
    EXPECT_EQ(views_->SheetModel()->rowCount(), 0);
}

TEST_F(RecordingViewsTest, LiveValuesComeInThroughItsFunctionsAndStopTheNavigation) {
    const QString path = dir_.filePath("ramp.bin");
    WriteRampRecording(path, 1234);
    views_->OpenDataFile(path);
    const ShownRecording& shown = views_->Shown();

    DeviceRecords records;
    records.channelConfig[1].unitCode = 3;
    records.channelConfig[4].unitCode = 3;
    records.liveSnapshot.instrumentTime = RampStart;
    records.liveSnapshot.value[1] = 25.5f;
    records.liveSnapshot.value[4] = -3.25f;
    const std::vector<int16_t> active{2, 5};
    views_->StartLiveViews(active, LiveSheetColumns(active, records.channelConfig));
    EXPECT_TRUE(shown.RealTimeMode);
    EXPECT_EQ(Status(), "Live values  |  the latest reading");
    ASSERT_EQ(shown.SeriesInfos.size(), 2u);
    EXPECT_EQ(shown.SeriesInfos[1].title, "Channel 05");
    EXPECT_EQ(shown.ColumnChannels, (std::vector<int16_t>{0, 1}));
    EXPECT_FALSE(chart_.ZoomAllowed() || chart_.Tool()->Active());

    views_->ShowLiveSheetRow();
    views_->SetLiveRecording(records, active);
    ASSERT_EQ(shown.channels.size(), 2u);
    EXPECT_EQ(shown.channels[1].channel, 5);
    EXPECT_EQ(views_->SheetModel()->ItemTexts(0).mid(2), (QStringList{"25.500", "-3.250"}));

    // Zooming live values records no zoom stop.
    chart_.xAxis->setRange(RampStart, RampStart + 2 * OneSecond);
    views_->ChartZoom();
    EXPECT_TRUE(shown.XZoomStopPending);
}
