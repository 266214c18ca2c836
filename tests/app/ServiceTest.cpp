// The service functions in the window: the CSV import on the worker protocol and the picture
// download dialog against the simulator.

#include "app/OEMDLDlg.h"
#include "app/ProcessDlg.h"
#include "app/Startup.h"
#include "data/CsvImport.h"
#include "data/LiveRecord.h"
#include "data/Text.h"
#include "device/PosixSerialPort.h"
#include "filter/DataFilter.h"
#include "tools/simulator/SimulatorServer.h"
#include "views/SheetCells.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

class ImportWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        settings_->setValue("ImportData", 1);
        objects_ = CreateStartupObjects(*settings_);
        window()->SetMessagePresenter(
            [this](QWidget*, const UserMessage& message) { messages_.push_back(message.text); });
    }
    TMainForm* window() { return objects_->MainForm.get(); }
    QString Write(const std::string& name, const std::string& text) {
        const QString path = dir_.filePath(QString::fromStdString(name));
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        return path;
    }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
};

} // namespace

TEST_F(ImportWindow, ImportsLikeALoadButKeepsTheRecordingInfo) {
    TMainForm* w = window();
    EXPECT_TRUE(w->ImportDataMenuItem->isVisible() && w->ImportDataMenuItem->isEnabled());
    w->Views().SetRealTimeMode(true); // as a stopped live run leaves it
    w->ImportDataFile(Write("two.csv", "1,3,25.5,2015-03-16 09:30:05,%\n"
                                       "2,1,-4,2015-03-16 09:30:05,V\n"
                                       "3,3,26.5,2015-03-16 09:30:07,%\n"));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(objects_->ProcessDlg->ProgressText(), "Data are loading...");
    EXPECT_FALSE(w->Recording().RealTimeMode);
    ASSERT_EQ(w->Recording().channels.size(), 2u);
    EXPECT_EQ(w->Recording().channels[0].channel, 3);
    EXPECT_EQ(w->Recording().recordingInfo.sampleCount, 3);
    EXPECT_EQ(w->Recording().recordingInfo.valueMax, 26.5f);
    EXPECT_EQ(w->Recording().recordingInfo.valueMin, -4.0f);
    EXPECT_EQ(w->Recording().Rows.RowCount(), 2u);
    EXPECT_EQ(w->Recording().SeriesInfos.size(), 2u);
    EXPECT_EQ(w->Recording().ColumnChannels.size(), 2u);
    // The screening dialog got the imported window, as after a load.
    EXPECT_EQ(objects_->DataFilterDlg->Selection().start, w->Recording().recordingInfo.startTime);
    EXPECT_EQ(objects_->DataFilterDlg->Selection().end, w->Recording().recordingInfo.endTime);

    // Nothing imported: the views are empty, the previous window and range stay.
    const RecordingInfo before = w->Recording().recordingInfo;
    w->ImportDataFile(Write("title.csv", "No.,Channel,Value,Time,Unit\n"));
    EXPECT_TRUE(w->Recording().channels.empty());
    EXPECT_EQ(w->Recording().Rows.RowCount(), 0u);
    EXPECT_TRUE(w->Recording().SeriesInfos.empty());
    EXPECT_EQ(w->Recording().recordingInfo.sampleCount, 0);
    EXPECT_EQ(w->Recording().recordingInfo.startTime, before.startTime);
    EXPECT_EQ(w->Recording().recordingInfo.valueMax, before.valueMax);

    EXPECT_EQ(messages_, std::vector<std::string>{ImportNoSampleText});

    messages_.clear();
    w->ImportDataFile(dir_.filePath("missing.csv"));
    EXPECT_EQ(messages_, std::vector<std::string>{"File import failure!"});
    EXPECT_TRUE(w->Recording().channels.empty());
}

TEST_F(ImportWindow, StatusLineNamesTheImportedFileAndAnEmptyImportSaysWhy) {
    TMainForm* w = window();
    w->ImportDataFile(Write("good.csv", "1,3,25.5,2015-03-16 09:30:05,V\n"));
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(w->Views().SheetStatusLabel()->text().startsWith("good.csv  |  1 row"))
        << w->Views().SheetStatusLabel()->text().toStdString();

    // The data sheet's own CSV: no line is a sample.
    w->ImportDataFile(Write("sheet.csv", "Serial number,Time,Channel 3(V)\n"
                                         "1,2015-03-16 09:30:05,25.500\n"));
    EXPECT_TRUE(w->Views().SheetStatusLabel()->text().startsWith("sheet.csv  |  0 rows"))
        << w->Views().SheetStatusLabel()->text().toStdString();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("No line of the file was a sample"), std::string::npos);
    EXPECT_NE(messages_[0].find("n,channel,value,time,unit"), std::string::npos);
}

TEST_F(ImportWindow, ChannelNumbersBeyondTheRecordersAreShown) {
    // Twenty channels: 0, -1, 17 ... and 4464 (70000 cut to 16 bits) besides 1 to 16.
    std::string text;
    const int numbers[] = {0, -1, 17, 70000, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    int serial = 0;
    for (int second = 0; second < 3; ++second)
        for (int n : numbers)
            text += std::to_string(++serial) + "," + std::to_string(n) + "," +
                    std::to_string(n % 50) + ".5,2015-03-16 09:30:0" + std::to_string(second) +
                    ",V\n";
    TMainForm* w = window();
    w->ImportDataFile(Write("many.csv", text));
    ASSERT_EQ(w->Recording().channels.size(), 20u);
    EXPECT_EQ(w->Recording().channels[3].channel, 4464);
    EXPECT_EQ(w->Recording().SeriesInfos.size(), 20u);
    EXPECT_EQ(w->Recording().SeriesInfos[1].title, "Channel -01");
    EXPECT_EQ(w->Recording().SeriesInfos[3].title, "Channel 4464");
    EXPECT_EQ(w->Recording().ColumnChannels.size(), 20u);
    EXPECT_EQ(w->Recording().Rows.RowCount(), 3u);
    EXPECT_TRUE(SheetCsvHeader(w->Recording().ColumnChannels, w->Recording().channels)
                    .starts_with("Serial number,Time,Channel 0(V),Channel -1(V),Channel 17(V),"
                                 "Channel 4464(V),Channel 1(V)"));

    EXPECT_TRUE(messages_.empty());
}

namespace {

std::string TempPath(const std::string& suffix) {
    return (std::filesystem::temp_directory_path() /
            ("oemdl-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix))
        .string();
}

// The dialog against the simulator, whose line runs at 9,600 bit/s: three blocks take about
// two seconds, long enough to try closing the dialog meanwhile.
class DownloadDialog : public ::testing::Test {
protected:
    std::string received = TempPath(".received");
    std::string picture = TempPath(".txt");
    std::string config = TempPath(".ini");
    InstrumentSimulator instrument{[this] {
        SimulatorOptions options;
        options.pictureOutput = received;
        options.faults.paceBaud = 9600;
        return options;
    }()};
    SimulatorServer server{instrument};
    std::unique_ptr<PosixSerialPort> port;
    DeviceRecords records;
    std::unique_ptr<ModbusRtuImpl> connection;
    std::vector<std::pair<QWidget*, UserMessage>> messages;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open(error)) << error;
        server.Start();
        // Port 1 at 9,600 bit/s (list index 2), 8 data bits, 1 stop bit, no parity.
        std::ofstream(config) << "[COM]\nport=0\nbaudRate=2\nstopBit=0\ndataBit=3\ncheckType=0\n"
                                 "address=1\n[PORTS]\nCOM1="
                              << server.DevicePath() << "\n";
        port = std::make_unique<PosixSerialPort>(
            [this](int32_t n) { return PortDevicePath(config, n); });
        connection = std::make_unique<ModbusRtuImpl>(*port, records);
    }
    void TearDown() override {
        for (const std::string& path : {received, picture, config})
            std::filesystem::remove(path);
    }

    std::unique_ptr<TOEMDLDlg> MakeDialog() {
        auto dialog = std::make_unique<TOEMDLDlg>(*connection, config, nullptr);
        dialog->SetMessagePresenter([this](QWidget* parent, const UserMessage& message) {
            messages.emplace_back(parent, message);
        });
        return dialog;
    }
};

} // namespace

TEST_F(DownloadDialog, ControlsAsDesigned) {
    const auto dialog = MakeDialog();
    EXPECT_EQ(dialog->windowTitle(), "OEM Load");
    EXPECT_EQ(dialog->size(), QSize(401, 143));
    EXPECT_EQ(dialog->DLAddress->count(), 6);
    EXPECT_EQ(dialog->DLAddress->itemText(5), "6");
    EXPECT_EQ(dialog->DLAddress->currentText(), "1");
    EXPECT_TRUE(dialog->DLAddress->isEditable());
    EXPECT_TRUE(dialog->DLPicPath->text().isEmpty());
    EXPECT_EQ(dialog->PathSelectBtn->text(), "...");
    EXPECT_EQ(dialog->StartBtn->text(), "Start");
    EXPECT_EQ(dialog->AddressLabel->text(), QString::fromUtf8("Instrument picture address ："));
    EXPECT_EQ(dialog->PathLabel->text(), QString::fromUtf8("Load path ："));
    EXPECT_EQ(dialog->NoteLabel->text(),
              QString::fromUtf8("下装前，请确保下位机已经进入下装下装页面。"));
    EXPECT_EQ(dialog->DLProgressBar->minimum(), 0);
    EXPECT_EQ(dialog->DLProgressBar->maximum(), 100);
    EXPECT_EQ(dialog->DLProgressBar->value(), 0);
}

TEST_F(DownloadDialog, CloseIsRefusedWhileTheTransferRuns) {
    std::vector<uint8_t> bytes(3 * 512 - 100);
    {
        std::ofstream out(picture, std::ios::binary);
        out << "header\n";
        char literal[8];
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i * 13 + 1);
            std::snprintf(literal, sizeof literal, "0X%02X,", bytes[i]);
            out << literal;
        }
    }
    const auto dialog = MakeDialog();
    dialog->show();
    dialog->DLPicPath->setText(QString::fromStdString(picture));
    dialog->DLAddress->setCurrentIndex(5);
    dialog->StartBtnClick();
    EXPECT_FALSE(dialog->StartBtn->isEnabled());
    EXPECT_FALSE(dialog->close());
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, nullptr) << "owned by no window";
    EXPECT_EQ(messages[0].second.text, "Loading...");
    EXPECT_EQ(messages[0].second.icon, MessageIcon::Information);

    dialog->WaitForTransfer();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].second.text, "File Load success!") << GbkToUtf8(records.lastError);
    EXPECT_EQ(messages[1].second.icon, MessageIcon::Information);
    EXPECT_TRUE(dialog->StartBtn->isEnabled());
    EXPECT_EQ(dialog->DLProgressBar->maximum(), 5);
    EXPECT_EQ(dialog->DLProgressBar->value(), 5);
    EXPECT_EQ(instrument.Stats().lastPictureSlot, 5);
    bytes.resize(3 * 512, 0);
    std::ifstream in(received, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), bytes);
    EXPECT_FALSE(records.linkActive);
    EXPECT_TRUE(dialog->close());
}

TEST_F(DownloadDialog, FailuresEnableStartAgain) {
    const auto dialog = MakeDialog();
    dialog->DLPicPath->setText(QString::fromStdString(picture + ".missing"));
    dialog->StartBtnClick();
    dialog->WaitForTransfer();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second.text, "File read failure!");
    EXPECT_EQ(messages[0].second.icon, MessageIcon::Error);
    EXPECT_TRUE(dialog->StartBtn->isEnabled());

    // A typed slot the instrument does not have is not sent anywhere.
    std::ofstream(picture) << "header\n0X01";
    dialog->DLPicPath->setText(QString::fromStdString(picture));
    dialog->DLAddress->setEditText("7");
    dialog->StartBtnClick();
    dialog->WaitForTransfer();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].second.text, "File Load failure!");
    EXPECT_EQ(instrument.Stats().lastPictureSlot, -1);

    // A typed text naming an item counts as that item: "1" is the first slot, sent as 0.
    dialog->DLAddress->setCurrentIndex(4);
    dialog->DLAddress->setEditText(" 1");
    dialog->StartBtnClick();
    dialog->WaitForTransfer();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].second.text, "File Load success!");
    EXPECT_EQ(instrument.Stats().lastPictureSlot, 0);
}

TEST_F(DownloadDialog, EachAttemptOfABlockShowsUnderTheBar) {
    std::ofstream(picture) << "header\n0X01,0X02";
    // Replies: the start frame's, block 1's (spoiled), block 1's again, the end frame's.
    SimulatorFaults faults = instrument.Faults();
    faults.corruptEvery = 2;
    instrument.SetFaults(faults);
    const auto dialog = MakeDialog();
    const QRect bar = dialog->DLProgressBar->geometry();
    const QRect line = dialog->DLAttemptLabel->geometry();
    EXPECT_GE(line.top(), bar.bottom()) << "under the bar";
    EXPECT_LE(line.bottom(), dialog->height()) << "within the designed size";
    dialog->DLPicPath->setText(QString::fromStdString(picture));
    dialog->StartBtnClick();
    dialog->WaitForTransfer();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second.text, "File Load failure!") << "the end frame's reply spoiled";
    EXPECT_EQ(dialog->DLAttemptLabel->text(), "Block 1 of 1, attempt 2 of 10");

    // A clean transfer: every block on its first attempt; a new Start clears the line.
    instrument.SetFaults({});
    dialog->StartBtnClick();
    EXPECT_TRUE(dialog->DLAttemptLabel->text().isEmpty());
    dialog->WaitForTransfer();
    EXPECT_EQ(messages.back().second.text, "File Load success!");
    EXPECT_EQ(dialog->DLAttemptLabel->text(), "Block 1 of 1, attempt 1 of 10");
}

TEST(DownloadMenu, EachUseOpensAFreshDialog) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("Korvane.conf"), QSettings::IniFormat);
    settings.setValue("OEMDL", 1);
    const auto objects = CreateStartupObjects(settings);
    TMainForm* w = objects->MainForm.get();
    EXPECT_TRUE(w->OEMDownLoad->isVisible() && w->OEMDownLoad->isEnabled());
    std::vector<TOEMDLDlg*> shown;
    for (int use = 0; use < 2; ++use) {
        QTimer::singleShot(0, w, [w, &shown] {
            auto* dialog = w->findChild<TOEMDLDlg*>();
            shown.push_back(dialog && dialog->isVisible() ? dialog : nullptr);
            if (dialog)
                dialog->close();
        });
        w->OEMDownLoad->trigger();
        EXPECT_EQ(w->findChild<TOEMDLDlg*>(), nullptr) << "destroyed when closed";
    }
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0], nullptr);
    EXPECT_NE(shown[1], nullptr);
    EXPECT_NE(shown[0], objects->OEMDLDlg.get());
}

// A live run's record opens with File > Open whatever the import switch says: its outage is a
// break in the line, not a value, and the value range leaves the marker out.
TEST(LiveRecordOpen, OpensThroughTheOpenCommandWithABreak) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings settings(dir.filePath("Korvane.conf"), QSettings::IniFormat);
    const auto objects = CreateStartupObjects(settings);
    TMainForm* w = objects->MainForm.get();
    std::vector<std::string> messages;
    w->SetMessagePresenter(
        [&](QWidget*, const UserMessage& message) { messages.push_back(message.text); });
    EXPECT_FALSE(w->ImportDataMenuItem->isVisible());

    const QString path = dir.filePath("live-20261210-100800.csv");
    std::ofstream(path.toStdString(), std::ios::binary)
        << "No.,Channel,Value,Time,Unit\n"
        << "1,2,20.5,2026-12-10 10:08:00,V\n2,2,21,2026-12-10 10:08:01,V\n"
        << "3,2,-158,2026-12-10 10:08:02,V\n"
        << "4,2,30.25,2026-12-10 10:08:09,V\n5,2,31,2026-12-10 10:08:10,V\n";
    w->OpenDataFile(path);
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(w->Recording().channels.size(), 1u);
    EXPECT_EQ(w->Recording().recordingInfo.valueMin, 20.5f);
    EXPECT_EQ(w->Recording().recordingInfo.valueMax, 31.0f);
    EXPECT_EQ(w->Recording().Rows.RowCount(), 4u) << "the marker is no row";
    ASSERT_EQ(w->Recording().SeriesInfos.size(), 1u);
    const auto data = w->Recording().SeriesInfos[0].series->data();
    int breaks = 0;
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        breaks += std::isnan(it->value) ? 1 : 0;
    EXPECT_EQ(breaks, 1);
}

TEST(LiveRecordOpen, ARecordWithoutSamplesSaysSo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings settings(dir.filePath("Korvane.conf"), QSettings::IniFormat);
    const auto objects = CreateStartupObjects(settings);
    TMainForm* w = objects->MainForm.get();
    std::vector<UserMessage> messages;
    w->SetMessagePresenter(
        [&](QWidget*, const UserMessage& message) { messages.push_back(message); });
    const QString path = dir.filePath("live-20261210-100800.csv");
    std::ofstream(path.toStdString(), std::ios::binary) << "No.,Channel,Value,Time,Unit\n";
    w->OpenDataFile(path);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, LiveRecordEmptyText) << "as the tool says it";
    EXPECT_NE(messages[0].detail.find(path.toStdString()), std::string::npos) << "names the file";
    EXPECT_TRUE(w->Recording().channels.empty());
}
