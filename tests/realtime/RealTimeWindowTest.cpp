// A live run through the main window, against the instrument simulator on a pseudo-terminal
// that config.ini maps COM1 to. Ticks are driven directly rather than by waiting for the timer.

#include "app/DataSheetModel.h"
#include "app/GlobalFigurePage.h"
#include "app/OEMDLDlg.h"
#include "app/Startup.h"
#include "data/LiveRecord.h"
#include "data/Text.h"
#include "data/archive/Archive.h"
#include "device/DeviceTexts.h"
#include "device/PosixSerialPort.h"
#include "tools/simulator/SimulatorServer.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

#include <atomic>
#include <cmath>
#include <fstream>
#include <thread>
#include <unistd.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// A function, not a global: the date arithmetic has globals of its own to set up first.
DateTime ClockStartTime() {
    return EncodeDateTime({2015, 3, 16, 8, 5, 9}).value();
}

// The instrument's clock moves a second with every live read it answers; its values move
// five seconds along their waves with every read, however fast the test reads (and also when
// the test sets the clock back), so that consecutive reads show different values.
SimulatorOptions SteppingClock(std::shared_ptr<std::atomic<int>> reads, std::string pictureOutput) {
    SimulatorOptions options;
    options.pictureOutput = std::move(pictureOutput);
    options.clock = [reads] { return ClockStartTime() + (*reads)++ * OneSecond; };
    options.valueSeconds = [values = std::make_shared<std::atomic<int>>(0)] {
        return 5.0 * (*values)++;
    };
    return options;
}

class RealTimeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        std::string error;
        ASSERT_TRUE(server.Open(error)) << error;
        server.Start();
        WriteConfig(1, {2, 5, 7}, server.DevicePath());
        settings = std::make_unique<QSettings>(dir.filePath("Korvane.conf"), QSettings::IniFormat);
        // Both service items shown, so that their enabling can be seen.
        settings->setValue("ImportData", 1);
        settings->setValue("OEMDL", 1);
        objects = CreateStartupObjects(*settings);
        w = objects->MainForm.get();
        w->SetConfigFilePath(configPath);
        w->SetMessagePresenter([this](QWidget*, const UserMessage& message) {
            messages.push_back(GbkToUtf8(message.text));
            details.push_back(message.detail);
        });
    }

    // baudIndex 3 is 19200 bit/s, 0 is 1200.
    void WriteConfig(int address, std::initializer_list<int> channels, const std::string& device,
                     int baudIndex = 3) {
        std::ofstream out(configPath);
        out << "[COM]\nport=0\nbaudRate=" << baudIndex
            << "\nstopBit=0\ndataBit=3\ncheckType=0\naddress=" << address << "\n[CHANNEL]\n";
        for (int n = 1; n <= 16; ++n)
            out << ChannelKey(n) << "="
                << (std::find(channels.begin(), channels.end(), n) != channels.end()) << "\n";
        out << "[PORTS]\nCOM1=" << device << "\n";
    }

    // "Record to folder" on, into the folder returned.
    QString RecordToFolder() {
        const QString folder = dir.filePath("records");
        std::ofstream(configPath, std::ios::app)
            << "[RECORD]\nenabled=1\nfolder=" << folder.toStdString() << "\n";
        return folder;
    }

    // One tick as the timer gives it: the read on the poller thread, its result shown.
    // Run, with the ticks left to the test: the window's own timer would add reads of the
    // stepping clock whenever events are processed a second later, as on a loaded machine.
    void StartRun() {
        Run();
        w->Timer->setInterval(std::chrono::hours(1));
    }
    // Run as the user gives it: the connection is made on the poller, the run starts when it
    // is done.
    void Run() {
        w->RunButton->trigger();
        w->Live().Monitor().WaitIdle();
        QCoreApplication::processEvents();
    }

    void Tick() {
        w->OnTimer();
        w->Live().Monitor().WaitIdle();
        QCoreApplication::processEvents();
    }

    bool GlobalPageShown() const {
        return w->PageControl->isTabVisible(w->PageControl->indexOf(w->SystemCaseTabSheet)) &&
               w->SystemCaseMenuItem->isVisible();
    }
    bool PanelShown(size_t p) const { return w->ScrollBox->PanelAt(p)->isVisibleTo(w->ScrollBox); }
    QStringList SheetHeader() const {
        QStringList captions;
        for (int c = 0; c < w->DataListModel->columnCount(); ++c)
            captions << w->DataListModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return captions;
    }

    QTemporaryDir dir;
    std::string configPath = dir.filePath("config.ini").toStdString();
    std::shared_ptr<std::atomic<int>> liveReads = std::make_shared<std::atomic<int>>(0);
    InstrumentSimulator instrument{
        SteppingClock(liveReads, dir.filePath("picture.bin").toStdString())};
    SimulatorServer server{instrument};
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<StartupObjects> objects;
    TMainForm* w = nullptr;
    std::vector<std::string> messages;
    std::vector<std::string> details;
};

// What a panel's lamps must show for the value it shows, judged by the simulator's own limits.
std::array<bool, 4> ExpectedAlarms(int channel, double value) {
    const SimulatedChannel c = InstrumentSimulator::Channel(channel - 1);
    auto limit = [&](int16_t raw) { return static_cast<float>(ScaleRaw(raw, c.decimalCode)); };
    if (value > limit(c.upper))
        return {true, true, false, false};
    if (value > limit(c.cap))
        return {false, true, false, false};
    if (value < limit(c.lower))
        return {false, false, true, true};
    if (value < limit(c.floor))
        return {false, false, true, false};
    return {};
}

} // namespace

TEST_F(RealTimeWindowTest, RunShowsTheMonitoredChannelsOnEveryView) {
    Run();
    ASSERT_TRUE(messages.empty()) << messages.front();
    EXPECT_TRUE(w->Recording().RealTimeMode);
    EXPECT_TRUE(w->Timer->isActive());
    EXPECT_EQ(w->Timer->interval(), 1000);
    EXPECT_EQ(w->Live().ActiveChannels(), (std::vector<int16_t>{2, 5, 7}));
    // The sheet's status line speaks of the live values, not of the last file's pages.
    EXPECT_EQ(w->Views().SheetStatusLabel()->text(), "Live values  |  the latest reading");

    // Commands: only Stop of the run's commands; the page and its menu item appear.
    EXPECT_TRUE(w->StopButton->isEnabled() && w->StopMenuItem->isEnabled());
    for (QAction* off : {w->RunButton, w->RunMenuItem, w->ComSettingButton, w->ComSettingMenuItem,
                         w->OpenFileButton, w->OpenFileMenuItem, w->DataFilterButton,
                         w->ImportDataMenuItem, w->OEMDownLoad, w->FirstPageButton,
                         w->FrontPageButton, w->NextPageButton, w->EndPageButton})
        EXPECT_FALSE(off->isEnabled()) << off->text().toStdString();
    EXPECT_EQ(w->SavedPageButtons, PageButtons{});
    EXPECT_TRUE(GlobalPageShown());
    EXPECT_EQ(w->PageControl->currentWidget(), w->ChartTabSheet) << "the shown page stays";
    EXPECT_FALSE(w->Chart->ZoomAllowed() || w->ChartTool->Active() || w->ChartTool2->Active());

    // Three panels, three series in the first three colours, the sheet's live columns.
    EXPECT_TRUE(w->ScrollBox->TotalInfo->isVisibleTo(w->ScrollBox));
    for (size_t p = 0; p < PanelCount; ++p)
        EXPECT_EQ(PanelShown(p), p < 3) << "panel " << p;
    ASSERT_EQ(w->Recording().SeriesInfos.size(), 3u);
    const char* const titles[] = {"Channel 02", "Channel 05", "Channel 07"};
    const QColor colours[] = {Qt::white, Qt::red, Qt::yellow};
    for (size_t p = 0; p < 3; ++p) {
        EXPECT_EQ(w->Recording().SeriesInfos[p].title, titles[p]);
        EXPECT_EQ(w->Recording().SeriesInfos[p].series->name(), titles[p]);
        EXPECT_EQ(w->Recording().SeriesInfos[p].series->pen().color(), colours[p]);
    }
    EXPECT_EQ(SheetHeader(), (QStringList{"Serial number", "Time", "Channel 2(%)", "Channel 5(Hz)",
                                          "Channel 7(r/min)"}));
    EXPECT_EQ(w->DataListModel->rowCount(), 1);

    // Ticks: the clock, values, limits and lamps on the page; one point per series and tick;
    // the sheet's single row.
    bool sawRedLamp = false;
    constexpr int Ticks = 4;
    for (int tick = 1; tick <= Ticks; ++tick) {
        Tick();
        const QString time =
            QStringLiteral("2015-03-16 08:05:%1").arg(8 + tick, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(w->ScrollBox->TotalInfo->text(),
                  "Global Figure  Address(0x01) Communication parameter(COM:1 Baud rate:19200 "
                  "Stop bit:1 Data bits:8 None)  Time(" +
                      time + ")");
        EXPECT_EQ(w->Chart->LegendTitle(), "Time:" + time);
        const QStringList row = w->DataListModel->ItemTexts(0);
        ASSERT_EQ(row.size(), 5);
        EXPECT_EQ(row[0], "1");
        EXPECT_EQ(row[1], time);
        for (size_t p = 0; p < 3; ++p) {
            const int channel = w->Live().ActiveChannels()[p];
            const ChannelPanel* panel = w->ScrollBox->PanelAt(p);
            EXPECT_EQ(panel->ChannelLabel->text(),
                      QStringLiteral("Channel %1").arg(channel, 2, 10, QLatin1Char('0')));
            const QStringList valueAndUnit = panel->ValueLabel->text().split(' ');
            ASSERT_EQ(valueAndUnit.size(), 2);
            const double value = valueAndUnit[0].toDouble();
            EXPECT_EQ(row[static_cast<int>(p) + 2], valueAndUnit[0]);
            EXPECT_EQ(w->Recording().SeriesInfos[p].series->name(),
                      QString(titles[p]) + " " + valueAndUnit[0] + valueAndUnit[1]);
            EXPECT_EQ(w->Recording().SeriesInfos[p].series->dataCount(), tick);
            const std::array<bool, 4> alarms = ExpectedAlarms(channel, value);
            for (size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(panel->Indicators[i]->Colour(),
                          alarms[i] ? QColor(0xFF, 0, 0) : QColor(0, 0xFF, 0))
                    << "channel " << channel << " lamp " << i << " at " << value;
                sawRedLamp = sawRedLamp || panel->Indicators[i]->IsRaised();
            }
        }
    }
    EXPECT_TRUE(sawRedLamp) << "channel 7 starts below its Floor limit";
    // Channel 2's limits as the simulator reports them (two decimal places).
    const ChannelPanel* first = w->ScrollBox->PanelAt(0);
    EXPECT_EQ(first->ValueLabel->text().split(' ').value(1), "%");
    const QString limits[] = {"91.000", "81.000", "21.000", "11.000"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(first->LimitFields[i]->text(), limits[i]);

    // Stop: the commands come back, the page goes, the run's data stay.
    w->StopButton->trigger();
    EXPECT_FALSE(w->Timer->isActive());
    EXPECT_FALSE(w->Live().Monitor().LinkActive());
    EXPECT_FALSE(w->StopButton->isEnabled() || w->StopMenuItem->isEnabled());
    for (QAction* on :
         {w->RunButton, w->RunMenuItem, w->ComSettingButton, w->ComSettingMenuItem,
          w->OpenFileButton, w->OpenFileMenuItem, w->ImportDataMenuItem, w->OEMDownLoad})
        EXPECT_TRUE(on->isEnabled()) << on->text().toStdString();
    EXPECT_FALSE(w->DataFilterButton->isEnabled() || w->NextPageButton->isEnabled());
    EXPECT_FALSE(GlobalPageShown());
    EXPECT_FALSE(w->ScrollBox->TotalInfo->isVisibleTo(w->ScrollBox) || PanelShown(0));
    EXPECT_TRUE(w->Recording().RealTimeMode);
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), Ticks);
    EXPECT_EQ(w->DataListModel->ItemTexts(0).size(), 5);
    EXPECT_FALSE(w->Chart->ZoomAllowed());
}

TEST_F(RealTimeWindowTest, ASilentInstrumentLeavesTheWindowAnsweringAndShowsLostContact) {
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    const QString summary = w->ScrollBox->TotalInfo->text();
    const QStringList row = w->DataListModel->ItemTexts(0);
    EXPECT_FALSE(w->Live().NoAnswerStatusLabel()->isVisibleTo(w));
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 1 good, 0 failed; port reopened 0 times");

    SimulatorFaults silence;
    silence.silentAfter = 0;
    silence.silentRequests = 2;
    instrument.SetFaults(silence);
    // The read now waits about a second for its reply, on the poller thread: the window's
    // event loop goes on, and a tick that comes meanwhile is skipped.
    w->OnTimer();
    bool answered = false;
    QMetaObject::invokeMethod(
        w, [&] { answered = true; }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(w->Live().Monitor().PollOutstanding()) << "the event was handled during the read";
    EXPECT_FALSE(w->Live().Monitor().BeginPoll()) << "ticks never overlap";
    w->Live().Monitor().WaitIdle();
    QCoreApplication::processEvents();

    // The views keep the last values; the indication appears beside the summary line and in
    // the status line.
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w->ScrollBox->TotalInfo->text(), summary);
    EXPECT_EQ(w->DataListModel->ItemTexts(0), row);
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 1);
    EXPECT_TRUE(w->Timer->isActive() && w->StopButton->isEnabled());
    const QString lost = w->ScrollBox->NoAnswerInfo->text();
    EXPECT_TRUE(QRegularExpression("^No answer since \\d\\d:\\d\\d:\\d\\d$").match(lost).hasMatch())
        << lost.toStdString();
    EXPECT_TRUE(w->ScrollBox->NoAnswerInfo->isVisibleTo(w->ScrollBox));
    // Drawn in red: count the red pixels of the text as it shows.
    {
        const QImage drawn = w->ScrollBox->NoAnswerInfo->grab().toImage();
        int red = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                red += drawn.pixelColor(x, y) == QColor(0xFF, 0, 0);
        EXPECT_GT(red, 20);
    }
    EXPECT_FALSE(
        w->ScrollBox->NoAnswerInfo->geometry().intersects(w->ScrollBox->TotalInfo->geometry()))
        << "not over the summary line";
    // The values are the last ones read: grey, their lamps dimmed.
    for (size_t p = 0; p < 3; ++p) {
        const ChannelPanel* panel = w->ScrollBox->PanelAt(p);
        EXPECT_EQ(panel->ValueLabel->palette().color(QPalette::WindowText), ChannelPanel::StaleInk);
        for (const AlarmLamp* lamp : panel->Indicators)
            EXPECT_EQ(lamp->Colour(),
                      lamp->IsRaised() ? AlarmLamp::RaisedDimmed : AlarmLamp::QuietDimmed);
    }
    // The indication stays whole on the page shown in a window 1024 pixels wide and wider,
    // without scrolling sideways.
    w->PageControl->setCurrentWidget(w->SystemCaseTabSheet);
    for (const int width : {1024, 1280, 1600}) {
        w->resize(width, 768);
        w->show();
        QCoreApplication::processEvents();
        QLabel* label = w->ScrollBox->NoAnswerInfo;
        ASSERT_EQ(w->ScrollBox->horizontalScrollBar()->value(), 0);
        const QRect shown(label->mapTo(w->ScrollBox->viewport(), QPoint(0, 0)),
                          QSize(label->sizeHint().width(), label->height()));
        EXPECT_GE(label->width(), label->sizeHint().width());
        EXPECT_TRUE(w->ScrollBox->viewport()->rect().contains(shown)) << "at " << width;
    }
    w->hide();
    EXPECT_EQ(w->Live().NoAnswerStatusLabel()->text(), lost);
    EXPECT_TRUE(w->Live().NoAnswerStatusLabel()->isVisibleTo(w));
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 1 good, 1 failed; port reopened 0 times");

    // A second silent tick keeps the time of the first.
    Tick();
    EXPECT_EQ(w->ScrollBox->NoAnswerInfo->text(), lost);
    // The instrument's clock went on meanwhile; it answers again.
    *liveReads += 2;
    Tick();
    EXPECT_NE(w->ScrollBox->TotalInfo->text(), summary);
    EXPECT_NE(w->DataListModel->ItemTexts(0).value(1), row.value(1));
    EXPECT_FALSE(w->ScrollBox->NoAnswerInfo->isVisibleTo(w->ScrollBox));
    EXPECT_FALSE(w->Live().NoAnswerStatusLabel()->isVisibleTo(w));
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 2 good, 2 failed; port reopened 0 times");
    for (size_t p = 0; p < 3; ++p) {
        const ChannelPanel* panel = w->ScrollBox->PanelAt(p);
        EXPECT_FALSE(panel->IsStale());
        EXPECT_NE(panel->ValueLabel->palette().color(QPalette::WindowText), ChannelPanel::StaleInk);
        EXPECT_FALSE(panel->Indicators[0]->IsDimmed());
    }
    // Every line breaks across the outage: a point, the break, the new point.
    for (size_t p = 0; p < w->Recording().SeriesInfos.size(); ++p) {
        const auto data = w->Recording().SeriesInfos[p].series->data();
        ASSERT_EQ(data->size(), 3) << "series " << p;
        EXPECT_FALSE(std::isnan(data->at(0)->value));
        EXPECT_TRUE(std::isnan(data->at(1)->value)) << "series " << p;
        EXPECT_FALSE(std::isnan(data->at(2)->value));
        EXPECT_LT(data->at(0)->key, data->at(1)->key);
        EXPECT_LT(data->at(1)->key, data->at(2)->key);
    }
    // Regular ticks after it add no further breaks; a jump of the instrument's clock does.
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 4);
    *liveReads += 5;
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[1].series->dataCount(), 6);
    EXPECT_TRUE(std::isnan(w->Recording().SeriesInfos[1].series->data()->at(4)->value));
    EXPECT_TRUE(messages.empty());
}

namespace {

// The record files of a folder, and a file as the import reads it.
QStringList RecordFiles(const QString& folder) {
    QStringList paths;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files))
        paths << file.filePath();
    return paths;
}
std::vector<ChannelInfo> ReadRecord(const QString& path) {
    RecordingInfo info;
    std::vector<ChannelInfo> read;
    EXPECT_FALSE(OpenLiveRecord(path.toStdString(), info, read)) << path.toStdString();
    return read;
}

} // namespace

TEST_F(RealTimeWindowTest, AFailedTickFollowedByTheNextSecondLosesNoReading) {
    const QString folder = RecordToFolder();
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    // One read goes unanswered; the instrument's next answer is the next second.
    SimulatorFaults silence;
    silence.silentAfter = 0;
    silence.silentRequests = 1;
    instrument.SetFaults(silence);
    Tick();
    ASSERT_TRUE(w->Live().NoAnswerStatusLabel()->isVisibleTo(w));
    Tick();
    EXPECT_EQ(w->DataListModel->ItemTexts(0).value(1), "2015-03-16 08:05:10");
    EXPECT_EQ(w->Live().LiveStatusLabel()->text().section(';', 0, 0), "Ticks: 2 good, 1 failed");
    for (size_t p = 0; p < w->Recording().SeriesInfos.size(); ++p) {
        const auto data = w->Recording().SeriesInfos[p].series->data();
        ASSERT_EQ(data->size(), 2) << "both readings drawn, no break between them";
        EXPECT_FALSE(std::isnan(data->at(1)->value));
    }
    w->StopButton->trigger();
    const QStringList records = RecordFiles(folder);
    ASSERT_EQ(records.size(), 1);
    for (const ChannelInfo& channel : ReadRecord(records[0])) {
        ASSERT_EQ(channel.values.size(), 2u);
        EXPECT_EQ(std::count(channel.values.begin(), channel.values.end(), GapValue), 0);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(RealTimeWindowTest, AClockSetBackByAnHourStartsANewRecordAndANewLine) {
    const QString folder = RecordToFolder();
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    for (int tick = 0; tick < 3; ++tick)
        Tick();
    // Someone sets the instrument's clock back by an hour.
    *liveReads -= 3600;
    Tick();
    EXPECT_EQ(w->DataListModel->ItemTexts(0).value(1), "2015-03-16 07:05:12");
    const QStringList records = RecordFiles(folder);
    ASSERT_EQ(records.size(), 2);
    const QString status = w->Live().LiveStatusLabel()->text();
    const QRegularExpressionMatch said =
        QRegularExpression("; Instrument clock set back from 2015-03-16 08:05:11 to 2015-03-16 "
                           "07:05:12; recording goes on in (.*)$")
            .match(status);
    ASSERT_TRUE(said.hasMatch()) << status.toStdString();
    const QString newer = said.captured(1);
    ASSERT_TRUE(records.contains(newer)) << newer.toStdString();
    const QString older = records[records[0] == newer ? 1 : 0];
    for (size_t p = 0; p < w->Recording().SeriesInfos.size(); ++p)
        EXPECT_EQ(w->Recording().SeriesInfos[p].series->dataCount(), 1) << "the line starts anew";
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 2);
    EXPECT_FALSE(std::isnan(w->Recording().SeriesInfos[0].series->data()->at(1)->value));
    w->StopButton->trigger();

    // The hour before in the first record, the hour after in the second.
    const auto before = ReadRecord(older), after = ReadRecord(newer);
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(before[0].times.size(), 3u);
    ASSERT_EQ(after[0].times.size(), 2u);
    EXPECT_EQ(FormatDateTime(after[0].times[0], ReadoutTimePattern), "2015-03-16 07:05:12");
    EXPECT_TRUE(messages.empty());
}

TEST_F(RealTimeWindowTest, StopCountsTheTickThePollerRecordedBeforeIt) {
    const QString folder = RecordToFolder();
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    // The read has been answered and recorded; Stop comes before the window has shown it.
    w->OnTimer();
    w->Live().Monitor().WaitIdle();
    w->StopButton->trigger();
    QCoreApplication::processEvents();
    const QStringList records = RecordFiles(folder);
    ASSERT_EQ(records.size(), 1);
    const auto read = ReadRecord(records[0]);
    ASSERT_FALSE(read.empty());
    EXPECT_EQ(w->Live().LiveStatusLabel()->text().section(';', 0, 0),
              QStringLiteral("Ticks: %1 good, 0 failed").arg(read[0].times.size()));
}

TEST_F(RealTimeWindowTest, StopCancelsAConnectAndClosingTheWindowDoesToo) {
    // 16 channels at 1200 bit/s: a connect of 33 requests that takes seconds.
    WriteConfig(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, server.DevicePath(), 0);
    RecordToFolder();
    SimulatorFaults slow;
    slow.paceBaud = 1200;
    instrument.SetFaults(slow);
    auto connectUnderWay = [&](int requests) {
        for (int i = 0; i < 500 && instrument.Stats().requests < requests; ++i)
            QTest::qWait(10);
        return instrument.Stats().requests;
    };
    auto noRecord = [&] { return QDir(dir.filePath("records")).entryList(QDir::Files).empty(); };

    w->RunButton->trigger();
    const int beforeStop = connectUnderWay(3);
    EXPECT_TRUE(w->StopButton->isEnabled() && w->StopMenuItem->isEnabled());
    w->StopButton->trigger();
    EXPECT_FALSE(w->StopButton->isEnabled());
    EXPECT_TRUE(w->RunButton->isEnabled() && w->OpenFileButton->isEnabled());
    w->Live().Monitor().WaitIdle();
    QCoreApplication::processEvents();
    EXPECT_LE(instrument.Stats().requests, beforeStop + 1) << "the request under way was the last";
    EXPECT_FALSE(w->Live().Monitor().LinkActive() || w->Timer->isActive());
    EXPECT_TRUE(w->RunButton->isEnabled());
    EXPECT_FALSE(w->Live().LiveStatusLabel()->isVisibleTo(w))
        << w->Live().LiveStatusLabel()->text().toStdString();
    EXPECT_TRUE(noRecord()) << "a run that never connected leaves no record";
    EXPECT_TRUE(messages.empty()) << messages.front();

    // Closing the window while the next Run connects.
    w->RunButton->trigger();
    const int beforeClose = connectUnderWay(instrument.Stats().requests + 3);
    EXPECT_TRUE(messages.empty()) << "a clean line for the next Run: " << messages.front();
    objects.reset();
    w = nullptr;
    EXPECT_LE(instrument.Stats().requests, beforeClose + 1);
    EXPECT_TRUE(noRecord());
    PosixSerialPort port([&](int32_t) { return server.DevicePath(); });
    EXPECT_EQ(port.OpenPort(1), PortResult::Ok) << "the port was closed";
}

TEST_F(RealTimeWindowTest, StopDuringASilentTickReturnsAtOnceAndFreesThePort) {
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    SimulatorFaults silence;
    silence.silentAfter = 0;
    silence.silentRequests = 1;
    instrument.SetFaults(silence);
    w->OnTimer();
    w->StopButton->trigger();
    EXPECT_TRUE(w->Live().Monitor().PollOutstanding()) << "Stop did not wait for the read";
    EXPECT_FALSE(w->Live().Monitor().LinkActive());
    EXPECT_TRUE(w->RunButton->isEnabled());

    // The read ends on its own; its result belongs to an ended run and changes nothing.
    w->Live().Monitor().WaitIdle();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->Live().NoAnswerStatusLabel()->isVisibleTo(w));
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 1 good, 0 failed; port reopened 0 times");
    // The port was closed: another connection has it at once, and so does the next Run.
    {
        RealTimeMonitor other(configPath);
        EXPECT_EQ(other.Start(), std::nullopt);
    }
    StartRun();
    EXPECT_TRUE(messages.empty());
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 1);
}

TEST_F(RealTimeWindowTest, ARepeatedClockIsShownButNeitherRecordedNorDrawn) {
    RecordToFolder();
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    Tick();
    const QString row = w->DataListModel->ItemTexts(0).join(',');
    const QString value = w->ScrollBox->PanelAt(0)->ValueLabel->text();
    // The instrument answers the next read with the clock of the last one.
    --*liveReads;
    Tick();
    EXPECT_EQ(w->ScrollBox->TotalInfo->text().right(20), "2015-03-16 08:05:10)");
    EXPECT_NE(w->ScrollBox->PanelAt(0)->ValueLabel->text(), value) << "its values are shown";
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 2) << "but not drawn";
    EXPECT_EQ(w->DataListModel->ItemTexts(0).join(','), row);
    EXPECT_EQ(w->Live().LiveStatusLabel()->text().section(';', 0, 0),
              "Ticks: 3 good, 0 failed, 1 repeated clock");
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 3);
    w->StopButton->trigger();

    // The record holds each time once: reopened, every row has all three channels.
    const QStringList records = QDir(dir.filePath("records")).entryList(QDir::Files);
    ASSERT_EQ(records.size(), 1);
    RecordingInfo info;
    std::vector<ChannelInfo> read;
    ASSERT_FALSE(OpenLiveRecord(dir.filePath("records/" + records[0]).toStdString(), info, read));
    ASSERT_EQ(read.size(), 3u);
    for (const ChannelInfo& channel : read)
        EXPECT_EQ(channel.times.size(), 3u) << "channel " << channel.channel;
    EXPECT_TRUE(messages.empty());
}

namespace {

std::atomic<int> uiThreadSyncs{0}, pollerSyncs{0};
std::thread::id uiThread;
int CountingSync(int fd) {
    ++(std::this_thread::get_id() == uiThread ? uiThreadSyncs : pollerSyncs);
    return fdatasync(fd);
}

} // namespace

TEST_F(RealTimeWindowTest, EachTickIsSyncedToTheDiskOnThePoller) {
    RecordToFolder();
    uiThread = std::this_thread::get_id();
    SetRecordSyncFunction(CountingSync);
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    const int atStart = pollerSyncs;
    EXPECT_GE(atStart, 1) << "the new file's title line";
    for (int tick = 0; tick < 3; ++tick)
        Tick();
    w->StopButton->trigger();
    SetRecordSyncFunction(nullptr);
    EXPECT_EQ(pollerSyncs, atStart + 3);
    EXPECT_EQ(uiThreadSyncs, 0) << "the window never waits for the disk";
}

TEST_F(RealTimeWindowTest, AfterStopTheRecordIsNamedAsWrittenUntilAFileIsOpened) {
    RecordToFolder();
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    const QString during = w->Live().LiveStatusLabel()->text();
    const QRegularExpression recording("; recording to (.*/live-[0-9-]+\\.csv)$");
    const QRegularExpressionMatch match = recording.match(during);
    ASSERT_TRUE(match.hasMatch()) << during.toStdString();
    w->StopButton->trigger();
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 1 good, 0 failed; port reopened 0 times; recorded to " + match.captured(1));
    EXPECT_TRUE(w->Live().LiveStatusLabel()->isVisibleTo(w));
    // The record opened: the status line speaks of it, no longer of the run.
    w->OpenDataFile(match.captured(1));
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_FALSE(w->Recording().RealTimeMode);
    EXPECT_FALSE(w->Live().LiveStatusLabel()->isVisibleTo(w));
    EXPECT_FALSE(w->Live().NoAnswerStatusLabel()->isVisibleTo(w));
}

TEST_F(RealTimeWindowTest, RunConnectsBehindTheWindowAndSaysSo) {
    // The instrument does not answer the identification read: it waits about a second for
    // its reply, on the poller thread.
    SimulatorFaults silence;
    silence.silentAfter = 0;
    silence.silentRequests = 1;
    instrument.SetFaults(silence);
    w->RunButton->trigger();
    bool answered = false;
    QMetaObject::invokeMethod(
        w, [&] { answered = true; }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(w->Live().Monitor().Starting()) << "the event was handled while Run connected";
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(), QString::fromUtf8("Connecting…"));
    EXPECT_TRUE(w->Live().LiveStatusLabel()->isVisibleTo(w));
    for (QAction* off :
         {w->RunButton, w->RunMenuItem, w->ComSettingButton, w->OpenFileButton, w->OEMDownLoad})
        EXPECT_FALSE(off->isEnabled()) << off->text().toStdString();
    EXPECT_TRUE(w->StopButton->isEnabled()) << "Stop cancels the connect";
    w->RunButtonClick(); // a second Run meanwhile does nothing
    w->Live().Monitor().WaitIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(messages, std::vector<std::string>{"Instrument no response\xEF\xBC\x8C"
                                                 "Instrument address:1"});
    EXPECT_FALSE(w->Live().LiveStatusLabel()->isVisibleTo(w)) << "nothing stood there before";
    EXPECT_TRUE(w->RunButton->isEnabled() && w->OpenFileButton->isEnabled() &&
                w->OEMDownLoad->isEnabled());
    EXPECT_FALSE(w->Timer->isActive());

    // It answers again: the same Run starts the run once connected.
    messages.clear();
    Run();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(w->Live().Monitor().LinkActive() && w->Timer->isActive());
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 0 good, 0 failed; port reopened 0 times");
    EXPECT_TRUE(w->StopButton->isEnabled());
    EXPECT_FALSE(w->RunButton->isEnabled());
}

TEST_F(RealTimeWindowTest, ADownloadAfterStopWaitsForTheOutstandingRead) {
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    SimulatorFaults silence;
    silence.silentAfter = 0;
    silence.silentRequests = 1;
    instrument.SetFaults(silence);
    w->OnTimer();
    w->StopButton->trigger();
    ASSERT_TRUE(w->Live().Monitor().PollOutstanding());

    const QString picture = dir.filePath("logo.txt");
    std::ofstream(picture.toStdString()) << "header\n0X01,0X02,0X03";
    std::vector<std::string> shown;
    bool transferred = false;
    QTimer::singleShot(0, w, [&] {
        auto* dialog = w->findChild<TOEMDLDlg*>();
        ASSERT_NE(dialog, nullptr);
        dialog->SetMessagePresenter(
            [&](QWidget*, const UserMessage& message) { shown.push_back(message.text); });
        dialog->DLPicPath->setText(picture);
        dialog->StartBtnClick();
        dialog->WaitForTransfer();
        transferred = !w->Live().Monitor().PollOutstanding();
        dialog->close();
    });
    w->OEMDownLoad->trigger();
    EXPECT_EQ(shown, std::vector<std::string>{"File Load success!"});
    EXPECT_TRUE(transferred);
    EXPECT_EQ(instrument.Stats().picturesSaved, 1);
    // The run's port is free again for the next Run.
    StartRun();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(w->Live().Monitor().LinkActive());
}

TEST_F(RealTimeWindowTest, AFailedRunShowsWhyAndStaysIdle) {
    // A run before, whose counts and record the status line names after Stop.
    RecordToFolder();
    StartRun();
    Tick();
    w->StopButton->trigger();
    ASSERT_TRUE(w->Live().LiveStatusLabel()->text().startsWith("Ticks: 1 good"));

    struct Case {
        int address;
        std::string device;
        std::string message;
        std::string cause; // in the box's detail, after the device
    };
    const Case cases[] = {
        {1, dir.filePath("no-such-tty").toStdString(), "Serial initialization failed!",
         "no such device"},
        {7, server.DevicePath(), "Instrument no response\xEF\xBC\x8CInstrument address:7",
         "no answer within 1000 ms"},
    };
    for (const Case& c : cases) {
        messages.clear();
        details.clear();
        WriteConfig(c.address, {2}, c.device);
        Run();
        EXPECT_EQ(messages, std::vector<std::string>{c.message});
        ASSERT_EQ(details.size(), 1u);
        EXPECT_NE(details[0].find(c.device + ": " + c.cause), std::string::npos) << details[0];
        EXPECT_FALSE(w->Timer->isActive());
        EXPECT_TRUE(w->RunButton->isEnabled() && w->OpenFileButton->isEnabled());
        EXPECT_FALSE(w->StopButton->isEnabled());
        EXPECT_FALSE(GlobalPageShown());
        // Nothing says that the last run goes on.
        EXPECT_FALSE(w->Live().LiveStatusLabel()->isVisibleTo(w) &&
                     w->Live().LiveStatusLabel()->text().startsWith("Ticks:"))
            << w->Live().LiveStatusLabel()->text().toStdString();
        EXPECT_FALSE(w->Views().SheetStatusLabel()->text().startsWith("Live values"))
            << w->Views().SheetStatusLabel()->text().toStdString();
    }
}

TEST_F(RealTimeWindowTest, WithNoChannelSelectedOnlyTheSummaryLineAndTheTimeShow) {
    WriteConfig(1, {}, server.DevicePath());
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    EXPECT_TRUE(w->Live().ActiveChannels().empty());
    EXPECT_EQ(w->Chart->graphCount(), 0);
    EXPECT_TRUE(w->ScrollBox->TotalInfo->isVisibleTo(w->ScrollBox));
    EXPECT_TRUE(w->ScrollBox->TotalInfo->text().endsWith("Time(2015-03-16 08:05:09)"));
    EXPECT_FALSE(PanelShown(0));
    EXPECT_EQ(SheetHeader(), (QStringList{"Serial number", "Time"}));
    EXPECT_EQ(w->DataListModel->ItemTexts(0), (QStringList{"1", "2015-03-16 08:05:09"}));
    EXPECT_TRUE(w->Chart->LegendTitle().isEmpty()) << "the legend has no lines to head";
}

TEST_F(RealTimeWindowTest, ASeriesIsEmptiedAtThePointThatPassesItsShare) {
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    // Three channels: 400,000 points each. Fill up to one short of the share.
    const size_t cap = LiveSeriesCap(3);
    ASSERT_EQ(cap, 400'000u);
    for (size_t p = 0; p < 3; ++p) {
        QVector<double> keys(static_cast<qsizetype>(cap - 1)), values(keys.size(), 1.0);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            keys[i] = ClockStartTime() - double(keys.size() - i) * OneSecond;
            w->Live().Monitor().Series().Add(p, keys[i], 1.0);
        }
        w->Recording().SeriesInfos[p].series->setData(keys, values, true);
    }
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[2].series->dataCount(), static_cast<int>(cap));
    Tick();
    for (size_t p = 0; p < 3; ++p)
        EXPECT_EQ(w->Recording().SeriesInfos[p].series->dataCount(), 0) << "series " << p;
    Tick();
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->dataCount(), 1);
}

TEST(GlobalFigurePanel, APanelInAlarmStandsOutInRed) {
    GlobalFigurePage page;
    page.resize(800, 600);
    page.show();
    page.ShowPanels(2);
    PanelTexts texts;
    texts.value = "15.000 C";
    texts.channel = "Channel 01";
    texts.alarms = {false, false, true, false};
    page.SetPanel(0, texts);
    texts.alarms = {};
    page.SetPanel(1, texts);

    auto redPixels = [](QWidget* widget) {
        const QImage image = widget->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == QColor(0xFF, 0, 0);
        return count;
    };
    ChannelPanel* alarm = page.PanelAt(0);
    ChannelPanel* quiet = page.PanelAt(1);
    EXPECT_TRUE(alarm->Indicators[BelowFloorIndicator]->IsRaised());
    EXPECT_GT(redPixels(alarm->ValueLabel), 20) << "the value turns red";
    EXPECT_EQ(redPixels(quiet->ValueLabel), 0);
    EXPECT_GT(redPixels(alarm), redPixels(quiet) + 4 * ChannelPanel::Width) << "a heavy red frame";

    // Quiet again: the panel looks as any other.
    page.SetPanel(0, texts);
    EXPECT_EQ(redPixels(alarm), redPixels(quiet));
}

TEST_F(RealTimeWindowTest, OnSmallScreensEveryPanelAndTheWholeSummaryLineCanBeSeen) {
    WriteConfig(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, server.DevicePath());
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    w->PageControl->setCurrentWidget(w->SystemCaseTabSheet);
    for (const QSize screen : {QSize(1024, 768), QSize(800, 600)}) {
        w->resize(screen);
        w->show();
        QCoreApplication::processEvents();
        EXPECT_LE(w->width(), screen.width()) << "the window fits the screen";
        EXPECT_LE(w->height(), screen.height());
        QWidget* viewport = w->ScrollBox->viewport();
        auto fullyShown = [&](QWidget* widget) {
            w->ScrollBox->ensureWidgetVisible(widget, 0, 0);
            const QRect shown(widget->mapTo(viewport, QPoint(0, 0)), widget->size());
            return viewport->rect().contains(shown);
        };
        for (size_t p = 0; p < PanelCount; ++p)
            EXPECT_TRUE(fullyShown(w->ScrollBox->PanelAt(p)))
                << "panel " << p << " at " << screen.width() << "x" << screen.height();
        // The summary line is as wide as its text, and the box holds all of it.
        QLabel* summary = w->ScrollBox->TotalInfo;
        EXPECT_GE(summary->width(), summary->sizeHint().width());
        EXPECT_LE(summary->geometry().right(), w->ScrollBox->widget()->width());
    }
}

TEST_F(RealTimeWindowTest, OwnScalesSpanTheAlarmLimitsWidenedToTheValuesSeen) {
    w->Measure().ShowOwnScales(true);
    StartRun();
    for (int i = 0; i < 3; ++i)
        Tick();
    ASSERT_EQ(w->Recording().SeriesInfos.size(), 3u);
    const DeviceRecords& records = w->Live().Monitor().Records();
    for (size_t p = 0; p < 3; ++p) {
        QCPGraph* series = w->Recording().SeriesInfos[p].series;
        ASSERT_NE(series->valueAxis(), w->Chart->yAxis) << p;
        const ChannelConfig& config =
            records.channelConfig[static_cast<size_t>(w->Live().ActiveChannels()[p] - 1)];
        double low = std::min(config.lowerLimit, config.upperLimit);
        double high = std::max(config.lowerLimit, config.upperLimit);
        for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it) {
            low = std::min(low, it->value);
            high = std::max(high, it->value);
        }
        // The scale fills the values' part of the shared axis, which keeps a margin of 5 % of
        // the span above and below.
        const QCPRange own = series->valueAxis()->range();
        const double span = own.size() / 1.1;
        EXPECT_NEAR(own.lower + 0.05 * span, low, 1e-6 * span) << p;
        EXPECT_NEAR(own.upper - 0.05 * span, high, 1e-6 * span) << p;
        if (series == w->Chart->AxisSeries()) {
            EXPECT_TRUE(series->valueAxis()->label().startsWith(
                QString("Channel %1 (").arg(w->Live().ActiveChannels()[p])))
                << series->valueAxis()->label().toStdString();
        }
    }
    w->StopButtonClick();
}

namespace {

// "Record into the archive" on, into an SQLite archive in the test's folder; with folder,
// "Record to folder" too.
std::string RecordIntoArchive(const std::string& configPath, const QTemporaryDir& dir,
                              const QString& folder = {}) {
    const std::string location = dir.filePath("archive.sqlite").toStdString();
    std::ofstream config(configPath, std::ios::app);
    config << "[RECORD]\narchive=1\nrecorder=boiler\n";
    if (!folder.isEmpty())
        config << "enabled=1\nfolder=" << folder.toStdString() << "\n";
    config << "[ARCHIVE]\ndatabase=" << location << "\n";
    return location;
}

} // namespace

TEST_F(RealTimeWindowTest, ARunIntoTheArchiveHoldsEveryTickShownAndItsOutage) {
    const std::string location = RecordIntoArchive(configPath, dir);
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    // Three ticks, an outage of five seconds, two more.
    std::vector<QStringList> shown;
    for (int tick = 0; tick < 5; ++tick) {
        if (tick == 3)
            *liveReads += 5;
        Tick();
        shown.push_back(w->DataListModel->ItemTexts(0));
    }
    EXPECT_TRUE(w->Live().LiveStatusLabel()->text().endsWith(
        QString::fromStdString("; recording into archive:boiler (" + location + ")")))
        << w->Live().LiveStatusLabel()->text().toStdString();
    w->StopButton->trigger();
    EXPECT_TRUE(w->Live().LiveStatusLabel()->text().contains("; recorded into archive:boiler"));

    UserMessage failure;
    const auto archive = Archive::Open(location, false, failure);
    ASSERT_TRUE(archive) << failure.text;
    JoinedRecording read;
    ASSERT_EQ(archive->Read("boiler", {}, read), std::nullopt);
    ASSERT_EQ(read.channels.size(), 3u);
    for (size_t c = 0; c < read.channels.size(); ++c) {
        const ChannelInfo& channel = read.channels[c];
        SCOPED_TRACE(channel.channel);
        ASSERT_EQ(channel.values.size(), 6u) << "five ticks and the break";
        EXPECT_TRUE(IsGapValue(channel.values[3]));
        for (size_t i = 0, t = 0; i < channel.values.size(); ++i) {
            if (i == 3)
                continue;
            // The sheet's row: n, time, then the channels' values to three decimals.
            EXPECT_EQ(QString::fromStdString(FormatDateTime(channel.times[i], ReadoutTimePattern)),
                      shown[t].value(1));
            EXPECT_EQ(QString::number(channel.values[i], 'f', 3), shown[t].value(2 + int(c)));
            ++t;
        }
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(RealTimeWindowTest, AFailedArchiveWriteStopsTheRecordWithTheDatabasesMessage) {
    const std::string location = RecordIntoArchive(configPath, dir);
    StartRun();
    ASSERT_TRUE(messages.empty()) << messages.front();
    Tick();
    {
        UserMessage failure;
        const auto archive = Archive::Open(location, false, failure);
        ASSERT_TRUE(archive) << failure.text;
        archive->Database().RunScript("DROP TABLE stretches");
    }
    Tick();
    const QString status = w->Live().LiveStatusLabel()->text();
    EXPECT_TRUE(status.startsWith("Ticks: 2 good, 0 failed; port reopened 0 times; recording "
                                  "stopped: "))
        << status.toStdString();
    EXPECT_TRUE(status.contains("stretches")) << status.toStdString();
    // The run goes on, unrecorded.
    Tick();
    EXPECT_TRUE(w->Live().LiveStatusLabel()->text().startsWith("Ticks: 3 good"));
    EXPECT_TRUE(w->Live().Monitor().LinkActive());
    w->StopButton->trigger();
}

TEST_F(RealTimeWindowTest, AnArchiveThatRefusesTheRunLeavesItUnrecordedAndSaysWhy) {
    const QString folder = dir.filePath("records");
    const std::string location = RecordIntoArchive(configPath, dir, folder);
    {
        // The archive has channel 2 of boiler in another unit than the instrument's.
        UserMessage failure;
        const auto archive = Archive::Open(location, true, failure);
        ASSERT_TRUE(archive) << failure.text;
        const int16_t channels[] = {2};
        const std::string units[] = {"kg/h"};
        int64_t run = 0;
        ASSERT_EQ(archive->BeginRun("boiler", ClockStartTime(), channels, units, run),
                  std::nullopt);
    }
    StartRun();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("The run goes unrecorded: ")) << messages[0];
    EXPECT_NE(messages[0].find("kg/h"), std::string::npos) << messages[0];
    Tick();
    EXPECT_EQ(w->Live().LiveStatusLabel()->text(),
              "Ticks: 1 good, 0 failed; port reopened 0 times");
    EXPECT_TRUE(RecordFiles(folder).isEmpty()) << "one record or none";
    w->StopButton->trigger();
}
