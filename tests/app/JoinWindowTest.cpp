// The window showing several recorder files as one joined recording.
#include "app/DataSheetModel.h"
#include "app/ProcessDlg.h"
#include "app/Startup.h"
#include "data/RecorderFileWriter.h"
#include "tests/app/RampRecording.h"

#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class JoinWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        objects_ = CreateStartupObjects(*settings_);
        form()->SetMessagePresenter(
            [this](QWidget*, const UserMessage& message) { messages_.push_back(message.text); });
        // The progress detail as the worker leaves it, read when the dialog closes.
        QObject::connect(objects_->ProcessDlg.get(), &QDialog::finished,
                         [this] { detailAtClose_ = objects_->ProcessDlg->ProgressDetail(); });
    }

    TMainForm* form() { return objects_->MainForm.get(); }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
    QString detailAtClose_;
};

} // namespace

TEST_F(JoinWindowTest, TwoFilesShowOneSheetAndABreakInTheChartBetweenThem) {
    // The later file, given first, begins an hour after the earlier one ends.
    const QString later = dir_.filePath("later.bin");
    const QString earlier = dir_.filePath("earlier.bin");
    WriteSecondsRecording(later, 3600 + 10, 10, 500);
    WriteSecondsRecording(earlier, 0, 10, 100);
    TMainForm* w = form();
    w->Views().OpenDataFiles({later, earlier});
    ASSERT_TRUE(messages_.empty()) << messages_.front();
    EXPECT_EQ(detailAtClose_, "file 2 of 2");

    const QString summary = "2 files, 2015-03-16 08:00:00 to 2015-03-16 09:00:19";
    EXPECT_EQ(w->windowTitle(), "Paperless recorder - " + summary);
    EXPECT_TRUE(w->Views().SheetStatusLabel()->text().startsWith(summary + "  |  20 rows"))
        << w->Views().SheetStatusLabel()->text().toStdString();

    // The sheet: the stored samples only, the earlier file first.
    const DataSheetModel* sheet = w->DataListModel;
    ASSERT_EQ(sheet->rowCount(), 20);
    EXPECT_EQ(sheet->ItemTexts(9), (QStringList{"10", "2015-03-16 08:00:09", "10.900"}));
    EXPECT_EQ(sheet->ItemTexts(10), (QStringList{"11", "2015-03-16 09:00:10", "50.000"}));

    // The chart: one line that breaks between the files.
    ASSERT_EQ(w->Chart->graphCount(), 1);
    const auto data = w->Chart->graph(0)->data();
    std::vector<double> breaks;
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        if (std::isnan(it->value))
            breaks.push_back(it->key);
    ASSERT_EQ(breaks.size(), 2u);
    EXPECT_GT(breaks.front(), RampStart + 9 * OneSecond);
    EXPECT_LT(breaks.back(), RampStart + 3610 * OneSecond);

    // Opening one file again shows that file alone, under the plain title.
    w->OpenDataFile(earlier);
    EXPECT_EQ(w->windowTitle(), "Paperless recorder ");
    EXPECT_EQ(sheet->rowCount(), 10);
    EXPECT_TRUE(w->Views().SheetStatusLabel()->text().startsWith("earlier.bin"));
}

TEST_F(JoinWindowTest, FoldersAndDropsJoinTheirFilesAndRefusalsShowNothingHalfJoined) {
    QDir(dir_.path()).mkdir("days");
    const QString days = dir_.filePath("days");
    WriteSecondsRecording(days + "/a.bin", 0, 10, 100);
    WriteSecondsRecording(days + "/b.dat", 5, 10, 300); // overlaps a by five seconds
    TMainForm* w = form();
    w->OpenDataFile(days);
    ASSERT_TRUE(messages_.empty()) << messages_.front();
    EXPECT_EQ(w->Recording().Rows.RowCount(), 15u);
    EXPECT_EQ(w->DataListModel->ItemTexts(9).value(2), "10.900"); // a's, not b's
    EXPECT_EQ(w->Recording().recordingInfo.sampleCount, 15);

    // An empty folder says so and leaves the join shown.
    QDir(dir_.path()).mkdir("empty");
    w->Views().OpenFolder(dir_.filePath("empty"));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0],
              "No recorder data files (*.bin, *.dat) in " + dir_.filePath("empty").toStdString());
    EXPECT_EQ(w->Recording().Rows.RowCount(), 15u);

    // Two dropped files join; a file that does not read refuses the join.
    auto drop = [w](const QStringList& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(file);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(w, &event);
        return true;
    };
    const QString c = dir_.filePath("c.bin");
    WriteSecondsRecording(c, 100, 10, 0);
    EXPECT_FALSE(drop({days + "/a.bin", dir_.filePath("notes.txt")}));
    ASSERT_TRUE(drop({days + "/a.bin", c}));
    QTRY_COMPARE_WITH_TIMEOUT(w->Recording().Rows.RowCount(), size_t(20), 5000);
    EXPECT_TRUE(w->windowTitle().contains("2 files"));

    const QString missing = dir_.filePath("missing.bin");
    w->Views().OpenDataFiles({days + "/a.bin", missing});
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1], missing.toStdString() + ": Open file failure!");
    EXPECT_EQ(w->Recording().Rows.RowCount(), 0u);
    EXPECT_EQ(w->Chart->graphCount(), 0);
    EXPECT_EQ(w->windowTitle(), "Paperless recorder ");
}
