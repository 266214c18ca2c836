// The picture and report commands of paperless-recorder-tool, run as a program: the window's
// own drawing offscreen, sizes, pages, and exit statuses with their messages.

#include "app/Startup.h"
#include "data/RecorderFileWriter.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

Result Tool(const QStringList& args) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the tool picks offscreen itself
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(RECORDER_TOOL), args);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString PdfText(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, "-"});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

class ExportToolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        SampleOptions options;
        options.channels = 4;
        options.days = 1800.0 / 86400;
        SampleRecording recording;
        ASSERT_FALSE(GenerateSampleRecording(options, recording));
        ASSERT_FALSE(WriteBinaryFile(Path("sample.bin").toStdString(), recording.bytes));
        QFile garbage(Path("garbage.bin"));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(100, 'x'));
    }
    static void TearDownTestSuite() { delete dir_; }
    static QString Path(const QString& name) { return dir_->filePath(name); }
    static QTemporaryDir* dir_;
};
QTemporaryDir* ExportToolTest::dir_ = nullptr;

} // namespace

TEST_F(ExportToolTest, PictureAtTheWindowsChartSize) {
    // The chart's size in the window at its designed size, as the tool shows it.
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath("Korvane.conf"), QSettings::IniFormat);
    const auto objects = CreateStartupObjects(settings);
    objects->MainForm->resize(TMainForm::DesignedClientSize());
    objects->MainForm->show();
    const QSize chart = objects->MainForm->Chart->size();

    const Result png = Tool({"picture", Path("sample.bin"), Path("chart.png")});
    EXPECT_EQ(png.status, 0) << png.err.toStdString();
    EXPECT_TRUE(png.err.isEmpty()) << png.err.toStdString();
    EXPECT_EQ(QImage(Path("chart.png")).size(), chart);

    const Result sized =
        Tool({"picture", Path("sample.bin"), Path("chart.bmp"), "--width", "640", "--height=480"});
    EXPECT_EQ(sized.status, 0) << sized.err.toStdString();
    const QImage bmp(Path("chart.bmp"), "BMP");
    EXPECT_EQ(bmp.size(), QSize(640, 480));
    EXPECT_EQ(bmp.pixelColor(2, 2), QColor(Qt::black));

    EXPECT_EQ(Tool({"picture", Path("sample.bin"), Path("chart.jpeg")}).status, 0);
    QFile jpeg(Path("chart.jpeg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(jpeg.readAll().startsWith("\xFF\xD8\xFF"));
}

TEST_F(ExportToolTest, ReportsOfAPageAndOfTheChart) {
    const Result list =
        Tool({"report", Path("sample.bin"), Path("list.pdf"), "--page", "2", "--page-size", "100"});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    const QString text = PdfText(Path("list.pdf"));
    EXPECT_TRUE(text.contains(QStringLiteral("Data printing")));
    QRegularExpression line(QStringLiteral("^\\s*(\\d+)\\s+2015-"),
                            QRegularExpression::MultilineOption);
    std::vector<int> serials;
    for (auto it = line.globalMatch(text); it.hasNext();)
        serials.push_back(it.next().captured(1).toInt());
    ASSERT_EQ(serials.size(), 100u);
    EXPECT_EQ(serials.front(), 101);
    EXPECT_EQ(serials.back(), 200);

    const Result chart = Tool({"report", Path("sample.bin"), Path("chart.pdf"), "--chart"});
    ASSERT_EQ(chart.status, 0) << chart.err.toStdString();
    const QString chartText = PdfText(Path("chart.pdf"));
    EXPECT_TRUE(chartText.contains(QStringLiteral("Trend diagram printing")));
    EXPECT_TRUE(chartText.contains(
        QStringLiteral("Print range：2015-03-16- 08:00:00: to 2015-03-16- 08:29:59:")));
}

// The screening options give what the window shows after a screening: the chart report's range
// is the screened window, the list report's columns the screened channels.
TEST_F(ExportToolTest, ScreeningOptionsScreenTheWindowFirst) {
    const Result chart = Tool({"report", Path("sample.bin"), Path("screened.pdf"), "--chart",
                               "--from", "2015-03-16 08:05:00", "--to", "2015-03-16 08:10:00"});
    ASSERT_EQ(chart.status, 0) << chart.err.toStdString();
    EXPECT_TRUE(PdfText(Path("screened.pdf"))
                    .contains(QStringLiteral(
                        "Print range：2015-03-16- 08:05:00: to 2015-03-16- 08:10:00:")));

    const Result list = Tool({"report", Path("sample.bin"), Path("two.pdf"), "--channels", "2,4"});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    const QString text = PdfText(Path("two.pdf"));
    EXPECT_TRUE(text.contains(QStringLiteral("Channel 2"))) << text.left(600).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Channel 4")));
    EXPECT_FALSE(text.contains(QStringLiteral("Channel 1")));
    EXPECT_FALSE(text.contains(QStringLiteral("Channel 3")));

    const Result picture = Tool(
        {"picture", Path("sample.bin"), Path("screened.png"), "--from", "2015-03-16 08:05:00"});
    EXPECT_EQ(picture.status, 0) << picture.err.toStdString();
    EXPECT_FALSE(QImage(Path("screened.png")).isNull());
}

TEST_F(ExportToolTest, OwnScalesRedrawTheLinesAndOnlyWhenAsked) {
    const QString sample = Path("sample.bin");
    ASSERT_EQ(Tool({"picture", sample, Path("shared.png")}).status, 0);
    ASSERT_EQ(Tool({"picture", sample, Path("own.png"), "--own-scales"}).status, 0);
    const QImage shared(Path("shared.png")), own(Path("own.png"));
    ASSERT_EQ(shared.size(), own.size());
    EXPECT_NE(shared, own);
    const Result report = Tool({"report", sample, Path("own.pdf"), "--chart", "--own-scales"});
    EXPECT_EQ(report.status, 0) << report.err.toStdString();
    EXPECT_TRUE(PdfText(Path("own.pdf")).contains(QStringLiteral("Trend diagram printing")));
}

TEST_F(ExportToolTest, RefusedFilesAndWrongArguments) {
    const QString garbage = Path("garbage.bin");
    for (const QStringList& args : {QStringList{"picture", garbage, Path("g.png")},
                                    QStringList{"report", garbage, Path("g.pdf")}}) {
        const Result r = Tool(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(garbage)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("!")))
            << r.err.toStdString(); // the reader's text
    }
    const Result missing = Tool({"report", Path("missing.bin"), Path("m.pdf")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("Open file failure!")));

    const QString sample = Path("sample.bin");
    const QStringList wrong[] = {
        {"picture", sample, Path("p.gif")},
        {"picture", sample, Path("p.png"), "--page", "2"},
        {"picture", sample, Path("p.png"), "--width", "0"},
        {"picture", sample, Path("p.png"), "--from", "2015-03-16 08:20:00", "--to",
         "2015-03-16 08:10:00"},
        {"report", sample, Path("r.pdf"), "--channels", "1-"},
        {"report", sample, Path("r.pdf"), "--page", "99"},
        {"report", sample, Path("r.pdf"), "--page-size", "50"},
        {"report", sample, Path("r.pdf"), "--chart", "--page", "2"},
        {"report", sample, Path("r.pdf"), "--own-scales"}, // only the chart has scales
        {"report", sample},
    };
    for (const QStringList& args : wrong)
        EXPECT_EQ(Tool(args).status, 2) << args.join(' ').toStdString();
}
