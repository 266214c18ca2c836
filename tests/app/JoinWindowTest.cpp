// The window showing several recorder files as one joined recording.
#include "app/DataSheetModel.h"
#include "app/ProcessDlg.h"
#include "app/Startup.h"
#include "app/StatisticsDlg.h"
#include "chart/GoToTimeDlg.h"
#include "data/RecorderFileWriter.h"
#include "tests/ToolProgram.h"
#include "tests/app/RampRecording.h"

#include <QDateTimeEdit>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class JoinWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        objects_ = CreateStartupObjects(*settings_);
        form()->SetMessagePresenter([this](QWidget*, const UserMessage& message) {
            messages_.push_back(message.text);
            details_.push_back(message.detail);
        });
        // The progress detail as the worker leaves it, read when the dialog closes.
        QObject::connect(objects_->ProcessDlg.get(), &QDialog::finished,
                         [this] { detailAtClose_ = objects_->ProcessDlg->ProgressDetail(); });
    }

    TMainForm* form() { return objects_->MainForm.get(); }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
    std::vector<std::string> details_;
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
    EXPECT_EQ(messages_[1], "The files were not joined.");
    EXPECT_TRUE(details_[1].starts_with(missing.toStdString() + ": Open file failure!"))
        << details_[1];
    EXPECT_EQ(w->Recording().Rows.RowCount(), 0u);
    EXPECT_EQ(w->Chart->graphCount(), 0);
    EXPECT_EQ(w->windowTitle(), "Paperless recorder ");
}

TEST_F(JoinWindowTest, ARefusedJoinSaysSoAndLeavesNoCursorDeltaOrStatistics) {
    const QString a = dir_.filePath("day1.bin"), b = dir_.filePath("day2.bin");
    WriteSecondsRecording(a, 0, 600, 100);
    WriteSecondsRecording(b, 600, 600, 200);
    const QString otherUnit = dir_.filePath("day3_unit.bin");
    WriteSecondsRecording(otherUnit, 1200, 10, 0, 20);
    const QString cut = dir_.filePath("day3_cut.bin");
    WriteSecondsRecording(cut, 1200, 600, 0);
    {
        QFile file(cut);
        ASSERT_TRUE(file.resize(16384)); // the header without its data block
    }
    struct Case {
        const char* what;
        QString file;
        std::string detail; // the start of the box's details
    };
    const Case cases[] = {
        {"unit conflict", otherUnit, ""},
        {"broken file", cut, cut.toStdString() + ": File read failure!"},
    };
    TMainForm* w = form();
    for (const Case& c : cases) {
        w->Views().OpenDataFiles({a, b});
        ASSERT_EQ(w->Recording().channels.size(), 1u) << c.what;
        w->Measure().MeasureFromHere(RampStart + 900 * OneSecond);
        w->Measure().StatisticsMenuItemClick();
        ASSERT_TRUE(w->Measure().StatisticsDlg()->isVisible()) << c.what;

        messages_.clear();
        details_.clear();
        w->Views().OpenDataFiles({a, b, c.file});
        ASSERT_EQ(messages_.size(), 1u) << c.what;
        EXPECT_EQ(messages_[0], "The files were not joined.") << c.what;
        EXPECT_NE(details_[0].find(c.file.toStdString()), std::string::npos) << details_[0];
        EXPECT_TRUE(details_[0].starts_with(c.detail)) << details_[0];
        // Nothing stands for the recording that is not there.
        EXPECT_EQ(w->Chart->graphCount(), 0) << c.what;
        EXPECT_FALSE(w->ChartTool->Active()) << c.what;
        EXPECT_FALSE(w->ChartToolB->Active()) << c.what;
        EXPECT_FALSE(w->Measure().StatisticsDlg()->isVisible()) << c.what;
        EXPECT_EQ(w->Chart->LegendTitle(), "") << c.what;
        w->Measure().MeasureFromHere(RampStart + 900 * OneSecond); // nothing to measure
        EXPECT_FALSE(w->ChartToolB->Active()) << c.what;
    }
}

TEST_F(JoinWindowTest, GoToTimeReachesAMomentOfAJoinWhoseFilesAreMarked) {
    // Three files of ten minutes, given out of order, 1800 rows: four sheet pages of 500.
    QDir(dir_.path()).mkdir("week");
    const QString week = dir_.filePath("week");
    WriteSecondsRecording(week + "/c.bin", 1200, 600, 0);
    WriteSecondsRecording(week + "/a.bin", 0, 600, 100);
    WriteSecondsRecording(week + "/b.bin", 600, 600, 200);
    TMainForm* w = form();
    w->OpenDataFile(week);
    ASSERT_TRUE(messages_.empty()) << messages_.front();
    w->resize(1280, 900);
    w->show();
    w->ChartMenuItemClick();
    TrendChart* chart = w->Chart;
    chart->replot();

    // Each file's start is marked, its name the tool tip.
    const auto pixel = [chart](double seconds) {
        return QPoint(static_cast<int>(chart->xAxis->coordToPixel(RampStart + seconds * OneSecond)),
                      chart->axisRect()->rect().center().y());
    };
    EXPECT_EQ(chart->FileMarkAt(pixel(600)), "b.bin");
    EXPECT_EQ(chart->FileMarkAt(pixel(1200)), "c.bin");
    EXPECT_EQ(chart->FileMarkAt(pixel(900)), "");

    // A minute in view; Ctrl+G asks for 08:16:40 in the second file.
    chart->xAxis->setRange(RampStart + 100 * OneSecond, RampStart + 160 * OneSecond);
    chart->replot();
    EXPECT_EQ(w->GoToTimeMenuItem->text(), "Go to time…");
    EXPECT_EQ(w->GoToTimeMenuItem->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
    const DateTime target = RampStart + 1000 * OneSecond;
    bool shown = false;
    QTimer::singleShot(0, w, [&] {
        TGoToTimeDlg* dialog = w->Views().GoToTimeDialog();
        ASSERT_NE(dialog, nullptr);
        shown = dialog->isVisible();
        dialog->TimeEdit->setDateTime(QDateTime(QDate(2015, 3, 16), QTime(8, 16, 40), Qt::UTC));
        dialog->OKBtn->click();
    });
    w->GoToTimeMenuItem->trigger();
    EXPECT_TRUE(shown);
    EXPECT_NEAR(w->ChartTool->XValue(), target, OneMillisecond);
    EXPECT_EQ(FormatDateTime(w->ChartTool->XValue(), "zzz"), "000");
    const QCPRange view = chart->xAxis->range();
    EXPECT_TRUE(view.contains(target));
    EXPECT_NEAR(view.size(), 60 * OneSecond, 1e-9); // the zoom stays
    EXPECT_EQ(w->CurrentPage, ShownPage::TrendDiagram);
    EXPECT_EQ(chart->LegendTitle(), "Longitudinal vernier X: 2015-03-16 08:16:40");

    // The sheet turned to the page holding the row, that row current; the status line names
    // its file.
    EXPECT_EQ(w->Recording().Page.pageStart, 1000u);
    const QModelIndex current = w->DataListView->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(w->DataListModel->ItemTexts(current.row()).value(1), "2015-03-16 08:16:40");
    QLabel* status = w->Views().SheetStatusLabel();
    EXPECT_TRUE(status->text().endsWith("  |  row from b.bin")) << status->text().toStdString();
    w->DataListView->setCurrentIndex(w->DataListModel->index(300, 1)); // row 1301, of c
    EXPECT_TRUE(status->text().endsWith("  |  row from c.bin")) << status->text().toStdString();
    // The tool writes the same page.
    const ToolResult page =
        RunTool(RECORDER_TOOL, {"csv", week.toStdString(), "-", "--page-at", "2015-03-16 08:16:40"},
                dir_.path().toStdString());
    EXPECT_EQ(page.status, 0) << page.err;
    EXPECT_TRUE(page.out.starts_with("Serial number,Time,Channel 1(\xA1\xE6)\n1001,")) << page.out;

    // A time before the recording goes to its first second, on the first page.
    w->Views().GoToTime(RampStart - 100 * OneSecond);
    EXPECT_NEAR(w->ChartTool->XValue(), RampStart, OneMillisecond);
    EXPECT_EQ(w->Recording().Page.pageStart, 0u);
    EXPECT_TRUE(status->text().endsWith("  |  row from a.bin")) << status->text().toStdString();

    // A single file has no marks and no file in its status.
    w->OpenDataFile(week + "/a.bin");
    EXPECT_EQ(chart->FileMarkAt(pixel(0)), "");
    EXPECT_FALSE(status->text().contains("row from"));
}
