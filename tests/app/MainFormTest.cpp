#include "app/DataSheetModel.h"
#include "app/Startup.h"
#include "chart/ChartLegend.h"
#include "data/RecorderFileWriter.h"
#include "tests/app/RampRecording.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

const DateTime T0 = RampStart;

// A settings file of its own per test, and every message the window would show.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
    }

    void Start() {
        objects_ = CreateStartupObjects(*settings_);
        window()->SetMessagePresenter([this](QWidget*, const UserMessage& message) {
            messages_.push_back(message.text);
            progressUpDuringMessage_ = objects_->ProcessDlg->isVisible();
        });
    }

    TMainForm* window() { return objects_->MainForm.get(); }
    PageButtons Paging() {
        return {window()->FirstPageButton->isEnabled(), window()->FrontPageButton->isEnabled(),
                window()->NextPageButton->isEnabled(), window()->EndPageButton->isEnabled()};
    }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
    bool progressUpDuringMessage_ = false;
};

} // namespace

TEST_F(MainFormTest, ServiceSwitchesAtStartUp) {
    struct Case {
        QVariant importData, oemdl;
        bool importShown, oemShown;
    };
    const Case cases[] = {
        {1, {}, true, false},
        {{}, 2, false, false},
        {QStringLiteral("1"), 1, true, true},
        {QStringLiteral("abc"), QStringLiteral("1.0"), false, false}, // no integer: off
        {0, QStringList{"1", "2"}, false, false},
    };
    for (const Case& c : cases) {
        settings_->clear();
        if (c.importData.isValid())
            settings_->setValue("ImportData", c.importData);
        if (c.oemdl.isValid())
            settings_->setValue("OEMDL", c.oemdl);
        settings_->sync();
        QSettings reread(settings_->fileName(), QSettings::IniFormat);
        TMainForm window(reread);
        EXPECT_EQ(window.ImportDataMenuItem->isVisible(), c.importShown)
            << c.importData.toString().toStdString();
        EXPECT_EQ(window.OEMDownLoad->isVisible(), c.oemShown) << c.oemdl.toString().toStdString();
    }
}

TEST_F(MainFormTest, SwitchesLiveInTheUsersKorvaneStore) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    EXPECT_EQ(OpenServiceSwitches()->fileName(), dir_.filePath("Korvane.conf"));
}

TEST_F(MainFormTest, StartsOnTheTrendDiagramWithTheDesignedState) {
    Start();
    TMainForm* w = window();
    EXPECT_EQ(w->windowTitle(), "Paperless recorder ");
    EXPECT_EQ(w->PageControl->currentWidget(), w->ChartTabSheet);
    EXPECT_EQ(w->CurrentPage, ShownPage::TrendDiagram);
    EXPECT_EQ(Paging(), PageButtons{});
    EXPECT_EQ(w->SavedPageButtons, PageButtons{});
    EXPECT_FALSE(w->StopButton->isEnabled() || w->StopMenuItem->isEnabled());
    EXPECT_TRUE(w->OpenFileButton->isEnabled() && w->RunButton->isEnabled());
    EXPECT_FALSE(w->PageControl->isTabVisible(w->PageControl->indexOf(w->SystemCaseTabSheet)));
    EXPECT_FALSE(w->SystemCaseMenuItem->isVisible());
    EXPECT_FALSE(w->ImportDataMenuItem->isVisible() || w->OEMDownLoad->isVisible());
    EXPECT_EQ(w->OpenFileMenuItem->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(w->OpenFileButton->toolTip(), "Open File");
    EXPECT_EQ(w->ComSettingButton->toolTip(), "Real-time communication set ");
    EXPECT_FALSE(w->Timer->isActive());
    EXPECT_EQ(objects_->Form1->windowTitle(), "Form1");
    EXPECT_EQ(objects_->DataFilterDlg->ItemsPerPage, 500u);
}

TEST_F(MainFormTest, UnreadableFileClosesTheProgressAndLeavesEmptyViews) {
    Start();
    window()->OpenDataFile(dir_.filePath("missing.bin"));
    EXPECT_EQ(messages_, std::vector<std::string>{"Open file failure!"});
    EXPECT_TRUE(progressUpDuringMessage_); // the worker's message comes while the dialog is up
    EXPECT_FALSE(objects_->ProcessDlg->isVisible());
    EXPECT_EQ(objects_->ProcessDlg->ProgressText(), "Data are loading...");
    const DataSheetModel* sheet = window()->DataListModel;
    ASSERT_EQ(sheet->columnCount(), 2);
    EXPECT_EQ(sheet->headerData(0, Qt::Horizontal, Qt::DisplayRole), "Serial number");
    EXPECT_EQ(sheet->headerData(1, Qt::Horizontal, Qt::DisplayRole), "Time");
    EXPECT_EQ(sheet->rowCount(), 0);
    EXPECT_EQ(window()->Chart->graphCount(), 0);
    EXPECT_EQ(Paging(), PageButtons{});
    // No cursor and no read-out stand for a recording that is not there.
    EXPECT_FALSE(window()->ChartTool->Active());
    EXPECT_FALSE(window()->ChartTool2->Active());
    EXPECT_EQ(window()->Chart->LegendTitle(), "");
}

TEST_F(MainFormTest, OpenDialogOffersEveryRecordingTogetherLast) {
    Start();
    QStringList filters;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* files = qobject_cast<QFileDialog*>(top); files && files->isVisible()) {
                filters = files->nameFilters();
                files->reject();
            }
    });
    window()->OpenFileMenuItem->trigger();
    EXPECT_EQ(filters, QStringList({"Binary file (*.bin)", "Data file(*.dat)",
                                    "Live record (*.csv)", "All recordings (*.bin *.dat *.csv)"}));
    EXPECT_TRUE(window()->Views().OpenFileName().isEmpty()); // cancelled: nothing opened
}

// The boxes as the window shows them, with the file named in their detail text.
TEST_F(MainFormTest, UnreadableFileBoxesNameTheFileInTheirDetail) {
    objects_ = CreateStartupObjects(*settings_); // the window's own message boxes
    struct Box {
        QString text, detail;
    };
    std::vector<Box> boxes;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                boxes.push_back({box->text(), box->detailedText()});
                box->accept();
            }
    });
    poll.start();
    const QString missing = dir_.filePath("missing.bin");
    const QString empty = dir_.filePath("empty.bin");
    QFile(empty).open(QIODevice::WriteOnly);
    window()->OpenDataFile(missing);
    window()->OpenDataFile(empty);
    poll.stop();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Open file failure!");
    EXPECT_EQ(boxes[0].detail, "File: " + missing);
    EXPECT_EQ(boxes[1].text, "File read failure!");
    EXPECT_EQ(boxes[1].detail, "File: " + empty + "\nThe file is empty (0 bytes).");
}

TEST_F(MainFormTest, ProgressDialogIgnoresTheUser) {
    Start();
    TProcessDlg* dialog = objects_->ProcessDlg.get();
    dialog->show();
    QTest::keyClick(dialog, Qt::Key_Escape);
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    dialog->PostCloseRequest();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 2000);
}

TEST_F(MainFormTest, OpensAFileAndPagesThroughIt) {
    Start();
    TMainForm* w = window();
    const QString path = dir_.filePath("n1234.bin");
    WriteRampRecording(path, 1234);
    w->OpenDataFile(path);
    ASSERT_TRUE(messages_.empty()) << messages_.front();
    EXPECT_EQ(objects_->ProcessDlg->ProgressMax(), 2); // one step per channel and the last
    EXPECT_EQ(objects_->ProcessDlg->ProgressPosition(), 2);
    EXPECT_FALSE(w->Recording().RealTimeMode);
    EXPECT_TRUE(w->Recording().XZoomStopPending); // the recording spans more than ten seconds
    EXPECT_DOUBLE_EQ(w->ChartTool->XValue(),
                     w->Recording().recordingInfo.startTime + 0.1 * OneSecond);
    EXPECT_DOUBLE_EQ(w->ChartTool->YValue(), 100.0);
    EXPECT_DOUBLE_EQ(objects_->DataFilterDlg->ScreenEnd, w->Recording().recordingInfo.endTime);

    // Opened on the trend diagram: no paging there, Next and Last parked.
    EXPECT_EQ(Paging(), PageButtons{});
    w->DataTableMenuItemClick();
    EXPECT_EQ(w->CurrentPage, ShownPage::DataSheet);
    const DataSheetModel* sheet = w->DataListModel;
    ASSERT_EQ(sheet->columnCount(), 3);
    EXPECT_EQ(sheet->headerData(2, Qt::Horizontal, Qt::DisplayRole), "Channel 1(℃)");

    struct Step {
        QAction* button;
        int items;
        QString firstSerial;
        PageButtons buttons;
    };
    const Step walk[] = {
        {nullptr, 500, "1", {false, false, true, true}},
        {w->NextPageButton, 500, "501", {true, true, true, true}},
        {w->NextPageButton, 234, "1001", {true, true, false, false}},
        {w->FrontPageButton, 500, "501", {true, true, true, true}},
        {w->FrontPageButton, 500, "1", {false, false, true, true}},
        {w->EndPageButton, 234, "1001", {true, true, false, false}},
    };
    for (const Step& step : walk) {
        if (step.button)
            step.button->trigger();
        EXPECT_EQ(sheet->rowCount(), step.items) << step.firstSerial.toStdString();
        EXPECT_EQ(sheet->ItemTexts(0).value(0), step.firstSerial);
        EXPECT_EQ(Paging(), step.buttons) << step.firstSerial.toStdString();
    }
    EXPECT_EQ(sheet->ItemTexts(233), (QStringList{"1234", "2015-03-16 08:20:33", "23.300"}));
    EXPECT_TRUE(sheet->ItemTexts(234).isEmpty());

    // Another page parks the buttons; coming back restores them.
    w->ChartMenuItemClick();
    EXPECT_EQ(Paging(), PageButtons{});
    EXPECT_EQ(w->SavedPageButtons, (PageButtons{true, true, false, false}));
    w->DataTableMenuItemClick();
    EXPECT_EQ(Paging(), (PageButtons{true, true, false, false}));
}

TEST_F(MainFormTest, ChartShowsOneLinePerChannelWithGapsAsBreaks) {
    Start();
    TMainForm* w = window();
    SampleOptions options;
    options.channels = 3;
    options.days = 0.05;
    options.interruptions = {{600, 120}};
    options.outOfRangeRunsPerDay = 0;
    SampleRecording recording;
    ASSERT_FALSE(GenerateSampleRecording(options, recording));
    const QString path = dir_.filePath("gaps.bin");
    ASSERT_FALSE(WriteBinaryFile(path.toStdString(), recording.bytes));
    w->resize(1280, 900);
    w->show();
    w->OpenDataFile(path);
    ASSERT_TRUE(messages_.empty()) << messages_.front();

    TrendChart* chart = w->Chart;
    ASSERT_EQ(chart->graphCount(), 3);
    ASSERT_EQ(w->Recording().SeriesInfos.size(), 3u);
    EXPECT_EQ(w->Recording().SeriesInfos[1].title, "Channel 02");
    EXPECT_TRUE(chart->graph(1)->name().startsWith("Channel 02 ")); // with its read-out
    EXPECT_EQ(chart->graph(1)->pen().color(), QColor(0xFF, 0, 0));
    EXPECT_EQ(w->Recording().SeriesInfos[1].series, chart->graph(1));
    int nullPoints = 0;
    for (auto it = chart->graph(0)->data()->constBegin(); it != chart->graph(0)->data()->constEnd();
         ++it)
        nullPoints += std::isnan(it->value);
    EXPECT_EQ(nullPoints, 2); // one interruption: a null point after it starts and before it ends

    // The legend's check box hides and shows its series.
    chart->replot();
    CheckableLegendItem* item = nullptr;
    for (int i = 0; i < chart->legend->itemCount() && !item; ++i)
        item = qobject_cast<CheckableLegendItem*>(chart->legend->item(i));
    ASSERT_TRUE(item);
    QTest::mouseClick(chart, Qt::LeftButton, {}, item->CheckBoxRect().center());
    EXPECT_FALSE(item->plottable()->visible());
    QTest::mouseClick(chart, Qt::LeftButton, {}, item->CheckBoxRect().center());
    EXPECT_TRUE(item->plottable()->visible());

    // The time cursor is grabbed within ten pixels of its line.
    const QRect area = chart->axisRect()->rect();
    const int line = static_cast<int>(chart->xAxis->coordToPixel(w->ChartTool->XValue()));
    const double before = w->ChartTool->XValue();
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(line + 9, area.center().y()));
    QTest::mouseMove(chart, QPoint(line + 200, area.center().y()));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(line + 200, area.center().y()));
    EXPECT_GT(w->ChartTool->XValue(), before);
}

TEST_F(MainFormTest, ADroppedRecordingOpensLikeTheOpenCommand) {
    Start();
    TMainForm* w = window();
    const QString path = dir_.filePath("dropped.dat");
    WriteRampRecording(path, 20);
    auto dropOf = [](const QString& file) {
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(file)});
        return mime;
    };

    std::unique_ptr<QMimeData> text(dropOf(dir_.filePath("notes.txt")));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, text.get(), Qt::LeftButton, {});
    QApplication::sendEvent(w, &refused);
    EXPECT_FALSE(refused.isAccepted());

    std::unique_ptr<QMimeData> recording(dropOf(path));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, recording.get(), Qt::LeftButton, {});
    QApplication::sendEvent(w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, recording.get(), Qt::LeftButton, {});
    QApplication::sendEvent(w, &drop);
    QTRY_COMPARE_WITH_TIMEOUT(w->Recording().Rows.RowCount(), size_t(20), 5000);
    EXPECT_EQ(w->Views().OpenFileName(), path);
    EXPECT_EQ(w->Chart->graphCount(), 1);
}
