// Save and Print in the window: the dialogs and boxes through the window's hooks, the CSV on
// the worker, the chart picture, and both reports written as PDF and read back with pdftotext.

#include "app/DataSheetModel.h"
#include "app/Startup.h"
#include "data/RecorderFileWriter.h"
#include "export/ChartPicture.h"
#include "export/ReportPrinting.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <numeric>

#include <cstdio>
#include <jpeglib.h>

namespace {

const DateTime T0 = 42079 + 8.0 / 24; // 2015-03-16 08:00:00

// The sample writer's recording of one channel with `samples` one-second samples from
// 2015-03-16 08:00:00, without interruptions.
void WriteOneChannel(const QString& path, int samples) {
    SampleOptions options;
    options.channels = 1;
    options.days = samples / 86400.0;
    options.interruptionsPerDay = 0;
    options.outOfRangeRunsPerDay = 0;
    SampleRecording recording;
    ASSERT_FALSE(GenerateSampleRecording(options, recording));
    ASSERT_FALSE(WriteBinaryFile(path.toStdString(), recording.bytes));
}

// The sample writer's recording of `channels` channels over a quarter of an hour.
void WriteSample(const QString& path, int channels) {
    SampleOptions options;
    options.channels = channels;
    options.days = 900.0 / 86400;
    options.interruptionsPerDay = 0;
    options.outOfRangeRunsPerDay = 0;
    SampleRecording recording;
    ASSERT_FALSE(GenerateSampleRecording(options, recording));
    ASSERT_FALSE(WriteBinaryFile(path.toStdString(), recording.bytes));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A PDF as pdftotext lays it out, and its page count and first page's size in points.
struct PdfText {
    explicit PdfText(const QString& path) {
        text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, "-"});
        const QString info = Run(QStringLiteral("pdfinfo"), {path});
        pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
        const auto size =
            QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)")).match(info);
        width = size.captured(1).toDouble();
        height = size.captured(2).toDouble();
    }
    bool Landscape() const { return width > height; }
    // Serial numbers of the printed records: lines that start with a number and a time.
    std::vector<int> Serials() const {
        std::vector<int> serials;
        QRegularExpression line(QStringLiteral("^\\s*(\\d+)\\s+\\d{4}-\\d\\d-\\d\\d \\d\\d:"),
                                QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(text); it.hasNext();)
            serials.push_back(it.next().captured(1).toInt());
        return serials;
    }
    QString text;
    int pages = 0;
    double width = 0, height = 0;
};

QSize JpegSize(const QByteArray& bytes) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    QSize size;
    if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
        jpeg_start_decompress(&info);
        std::vector<unsigned char> row(info.output_width * info.output_components);
        JSAMPROW rows[] = {row.data()};
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows, 1);
        jpeg_finish_decompress(&info);
        size = QSize(int(info.output_width), int(info.output_height));
    }
    jpeg_destroy_decompress(&info);
    return size;
}

class ExportWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        objects_ = CreateStartupObjects(*settings_);
        TMainForm* w = window();
        w->SetMessagePresenter([this](QWidget*, const UserMessage& message) {
            messages_.push_back(message.text);
            progressUpDuringMessage_ = objects_->ProcessDlg->isVisible();
        });
        w->SavePrint().SetSaveBoxHook([this](QWidget*, const UserMessage& message) {
            saveBoxes_.push_back(message.text);
            return answerYes_;
        });
        w->SavePrint().SetSaveDialogHook(
            [this](QWidget*, const SaveAndPrint::SaveDialogSetting& setting)
                -> std::optional<SaveAndPrint::SaveDialogChoice> {
                dialogs_.push_back(setting);
                return choice_;
            });
        w->SavePrint().SetReportHook([this](QWidget*, const PrintedReport& report) {
            ++reportsShown_;
            ASSERT_FALSE(WriteReportPdf(report, pdf_));
        });
    }

    TMainForm* window() { return objects_->MainForm.get(); }
    void Open(const QString& path) {
        window()->OpenDataFile(path);
        ASSERT_TRUE(messages_.empty());
    }
    void SaveTo(const QString& path, int filterIndex = 0) {
        choice_ = SaveAndPrint::SaveDialogChoice{path, filterIndex};
        window()->SaveFileButtonClick();
    }
    PdfText Print() {
        window()->PrintButtonClick();
        return PdfText(pdf_);
    }

    QTemporaryDir dir_;
    QString pdf_ = dir_.filePath("report.pdf");
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    std::vector<std::string> messages_;
    std::vector<std::string> saveBoxes_;
    std::vector<SaveAndPrint::SaveDialogSetting> dialogs_;
    std::optional<SaveAndPrint::SaveDialogChoice> choice_;
    bool answerYes_ = true;
    bool progressUpDuringMessage_ = false;
    int reportsShown_ = 0;
};

} // namespace

TEST_F(ExportWindowTest, NothingToSaveOrPrint) {
    window()->DataTableMenuItemClick();
    window()->SaveFileButtonClick();
    window()->PrintButtonClick();
    window()->ChartMenuItemClick();
    window()->SaveFileButtonClick();
    window()->PrintButtonClick();
    EXPECT_EQ(saveBoxes_, (std::vector<std::string>{"No content", "No content"}));
    EXPECT_EQ(messages_, (std::vector<std::string>{"Not content", "Not content"}));
    EXPECT_TRUE(dialogs_.empty());
    EXPECT_EQ(reportsShown_, 0);
}

TEST_F(ExportWindowTest, SavesTheSheetPageOnTheWorker) {
    const QString data = dir_.filePath("one.bin");
    WriteOneChannel(data, 1037);
    Open(data);
    window()->DataTableMenuItemClick();
    window()->NextPageButtonClick();

    const QString csv = dir_.filePath("page.csv");
    SaveTo(csv);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].defaultExt, ".csv");
    EXPECT_EQ(dialogs_[0].filter, "CSV Files(*.csv)|*.csv");
    EXPECT_EQ(dialogs_[0].title, "Save to Excel...");
    EXPECT_TRUE(dialogs_[0].fileName.isEmpty());
    const QList<QByteArray> lines = ReadFile(csv).split('\n');
    ASSERT_EQ(lines.size(), 502); // header, 500 rows, nothing after the last line feed
    EXPECT_EQ(lines[0], "Serial number,Time,Channel 1(\xA1\xE6)");
    const QRegularExpression first(QStringLiteral("^501,2015-03-16 08:08:20,-?\\d+\\.\\d{3}$"));
    const QRegularExpression last(QStringLiteral("^1000,2015-03-16 08:16:39,-?\\d+\\.\\d{3}$"));
    EXPECT_TRUE(first.match(QString::fromLatin1(lines[1])).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(last.match(QString::fromLatin1(lines[500])).hasMatch()) << lines[500].toStdString();
    TProcessDlg* progress = objects_->ProcessDlg.get();
    EXPECT_EQ(progress->ProgressText(), QStringLiteral("Data exporting，just a moment,please..."));
    EXPECT_EQ(progress->ProgressMax(), 6);
    EXPECT_EQ(progress->ProgressPosition(), 5); // 101, 100, 100, 100 and 99 rows
    EXPECT_TRUE(saveBoxes_.empty());

    // The file exists now: No leaves it untouched and starts no worker; Yes replaces it.
    window()->EndPageButtonClick();
    progress->SetProgressText(QStringLiteral("before"));
    answerYes_ = false;
    const QByteArray before = ReadFile(csv);
    SaveTo(csv);
    EXPECT_EQ(saveBoxes_, (std::vector<std::string>{"Specify file already exists, cover?"}));
    EXPECT_EQ(dialogs_.back().fileName, csv); // the name of the previous use
    EXPECT_EQ(ReadFile(csv), before);
    EXPECT_EQ(progress->ProgressText(), "before");
    answerYes_ = true;
    SaveTo(csv);
    EXPECT_EQ(ReadFile(csv).count('\n'), 38); // the last page of 37 rows
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ExportWindowTest, FailedSavesAreReportedOnce) {
    const QString data = dir_.filePath("one.bin");
    WriteOneChannel(data, 600);
    Open(data);
    window()->DataTableMenuItemClick();
    const QString missing = dir_.filePath("no-dir/page.csv");
    SaveTo(missing);
    EXPECT_EQ(messages_, (std::vector<std::string>{"File save failed, please try again!"}));
    EXPECT_TRUE(progressUpDuringMessage_);
    EXPECT_FALSE(QFile::exists(missing));

    messages_.clear();
    answerYes_ = true; // /dev/full exists: the question comes first
    SaveTo(QStringLiteral("/dev/full"));
    EXPECT_EQ(messages_, (std::vector<std::string>{"File save failed, please try again!"}));
}

TEST_F(ExportWindowTest, ChartPictures) {
    const QString data = dir_.filePath("one.bin");
    WriteOneChannel(data, 600);
    Open(data);
    window()->resize(TMainForm::DesignedClientSize());
    window()->show();
    const QSize chart = window()->Chart->size();

    const QString bmp = dir_.filePath("chart.bmp");
    SaveTo(bmp, 0);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].defaultExt, ".bmp");
    EXPECT_EQ(dialogs_[0].fileName, "chart");
    EXPECT_EQ(dialogs_[0].filter, "Bitmap files(*.bmp)|*.bmp|JPEG files(*.jpg)|*.jpg");
    QImage picture;
    ASSERT_TRUE(picture.load(bmp, "BMP"));
    EXPECT_EQ(picture.size(), chart);
    EXPECT_EQ(picture.pixelColor(2, 2), QColor(Qt::black)); // the chart's black wall

    // The JPEG entry with a name without picture extension.
    const QString jpeg = dir_.filePath("chart-picture");
    SaveTo(jpeg, 1);
    EXPECT_TRUE(ReadFile(jpeg).startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(JpegSize(ReadFile(jpeg)), chart);

    // Unwritable: a message naming the path.
    SaveTo(dir_.filePath("no-dir/chart.bmp"));
    ASSERT_EQ(saveBoxes_.size(), 1u);
    EXPECT_NE(saveBoxes_[0].find("no-dir/chart.bmp"), std::string::npos);
    SaveTo(QStringLiteral("/dev/full"), 0);
    EXPECT_EQ(saveBoxes_.size(), 3u); // the question, then the failure
}

// The real save dialog, used as the user does: the file type picked in its type box, a name
// typed without extension, Save pressed.
TEST_F(ExportWindowTest, ChosenFileTypeDecidesExtensionAndFormat) {
    const QString data = dir_.filePath("one.bin");
    WriteOneChannel(data, 600);
    Open(data);
    // The dialog starts in the working directory, where a folder "chart" would be entered.
    const QString workingDirectory = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    struct Case {
        int filterIndex;
        const char* name;
        const char* written;
        QByteArray magic;
    };
    const Case cases[] = {
        {0, "as-bitmap", "as-bitmap.bmp", QByteArray("BM")},
        {1, "as-jpeg", "as-jpeg.jpg", QByteArray("\xFF\xD8\xFF")},
        // A typed extension is replaced by that of the type picked after it.
        {1, "typed.bmp", "typed.jpg", QByteArray("\xFF\xD8\xFF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window()->SavePrint().SetSaveDialogHook(
            [&](QWidget* parent, const SaveAndPrint::SaveDialogSetting& s) {
                const auto dialog = SaveAndPrint::MakeSaveDialog(parent, s);
                dialog->show();
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                if (!name || !types) {
                    ADD_FAILURE() << "not the widget-based file dialog";
                    return std::optional<SaveAndPrint::SaveDialogChoice>();
                }
                name->setText(dir_.filePath(QString::fromLatin1(c.name)));
                // The type box as the keyboard moves it: the dialog hears of the choice.
                types->setFocus();
                QTest::keyClick(types, Qt::Key_Home);
                for (int i = 0; i < c.filterIndex; ++i)
                    QTest::keyClick(types, Qt::Key_Down);
                QMetaObject::invokeMethod(dialog.get(), "accept"); // the Save button
                return SaveAndPrint::SaveDialogResult(*dialog, s);
            });
        window()->SaveFileButtonClick();
        const QByteArray bytes = ReadFile(dir_.filePath(QString::fromLatin1(c.written)));
        EXPECT_TRUE(bytes.startsWith(c.magic)) << bytes.left(4).toHex().toStdString();
    }
    QDir::setCurrent(workingDirectory);
    EXPECT_TRUE(saveBoxes_.empty());
}

TEST(ChartPictureTest, InvertsPaddedRows) {
    // Three 24-bit pixels make 9 bytes: each row is padded to 12.
    QImage image(3, 2, QImage::Format_RGB888);
    image.setPixelColor(0, 0, Qt::black);
    image.setPixelColor(1, 0, Qt::white);
    image.setPixelColor(2, 0, QColor(0, 128, 255));
    image.fill(QColor(0, 128, 255));
    image.setPixelColor(0, 0, Qt::black);
    image.setPixelColor(1, 0, Qt::white);
    const QImage inverted = InvertedColours(image);
    EXPECT_EQ(inverted.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(inverted.pixelColor(1, 0), QColor(Qt::black));
    EXPECT_EQ(inverted.pixelColor(2, 0), QColor(255, 127, 0));
    EXPECT_EQ(inverted.pixelColor(2, 1), QColor(255, 127, 0));
}

TEST_F(ExportWindowTest, ListReportPages) {
    const QString data = dir_.filePath("one.bin");
    WriteOneChannel(data, 1037);
    Open(data);
    window()->DataTableMenuItemClick();
    window()->NextPageButtonClick();
    PdfText second = Print();
    EXPECT_EQ(second.pages, 12);
    EXPECT_FALSE(second.Landscape());
    std::vector<int> expected(500);
    std::iota(expected.begin(), expected.end(), 501);
    EXPECT_EQ(second.Serials(), expected);
    EXPECT_TRUE(second.text.contains(QStringLiteral("Data printing")));
    EXPECT_TRUE(second.text.contains(QRegularExpression(
        QStringLiteral("Print time：\\d{4}-\\d\\d-\\d\\d- \\d\\d:\\d\\d:\\d\\d: +lister："))))
        << second.text.left(300).toStdString();
    EXPECT_TRUE(second.text.contains(QStringLiteral("1 of 12")));
    EXPECT_TRUE(second.text.contains(QStringLiteral("12 of 12")));
    EXPECT_TRUE(second.text.contains(QStringLiteral("2015-03-16 08:08:20")));

    window()->EndPageButtonClick();
    PdfText last = Print();
    EXPECT_EQ(last.pages, 1);
    EXPECT_EQ(last.Serials().size(), 37u);
    EXPECT_EQ(last.Serials().back(), 1037);
}

TEST_F(ExportWindowTest, ListReportColumnsAndOrientation) {
    struct Case {
        int channels;
        bool landscape;
    };
    for (const Case c : {Case{3, false}, Case{10, false}, Case{11, true}, Case{16, true}}) {
        SCOPED_TRACE(c.channels);
        const QString data = dir_.filePath(QStringLiteral("ch%1.bin").arg(c.channels));
        WriteSample(data, c.channels);
        Open(data);
        window()->DataTableMenuItemClick();
        const PdfText pdf = Print();
        EXPECT_EQ(pdf.Landscape(), c.landscape);
        // One caption per channel column (long ones on two lines), none beyond them.
        EXPECT_TRUE(pdf.text.contains(QStringLiteral("Serial")));
        EXPECT_TRUE(pdf.text.contains(QStringLiteral("Time")));
        EXPECT_EQ(pdf.text.count(QStringLiteral("Channel")), c.channels * pdf.pages);
        const auto geometry =
            ListGeometry(c.landscape ? PageOrientation::Landscape : PageOrientation::Portrait);
        EXPECT_EQ(pdf.pages, int(ListPageCount(500, geometry)));
        // Every record: serial number, date, time and one value per channel column.
        const QStringList lines = pdf.text.split('\n');
        const auto record = std::find_if(lines.begin(), lines.end(), [](const QString& l) {
            return l.trimmed().startsWith(QLatin1String("1 "));
        });
        ASSERT_NE(record, lines.end());
        EXPECT_EQ(record->simplified().split(' ').size(), 3 + c.channels) << record->toStdString();
    }
}

TEST_F(ExportWindowTest, ChartReport) {
    const QString data = dir_.filePath("one.bin");
    WriteOneChannel(data, 1800);
    Open(data);
    window()->Chart->xAxis->setRange(T0, T0 + 600 * OneSecond);
    window()->Chart->replot();
    const PdfText pdf = Print();
    EXPECT_EQ(pdf.pages, 1);
    EXPECT_TRUE(pdf.Landscape());
    EXPECT_TRUE(pdf.text.contains(QStringLiteral("Trend diagram printing")));
    EXPECT_TRUE(pdf.text.contains(
        QStringLiteral("Print range：2015-03-16- 08:00:00: to 2015-03-16- 08:10:00:")));
    EXPECT_TRUE(pdf.text.contains(QRegularExpression(
        QStringLiteral("Print time：\\d{4}-\\d\\d-\\d\\d- \\d\\d:\\d\\d:\\d\\d: +Lister："))))
        << pdf.text.left(300).toStdString();
}

// The page rendered at 10 pixels a millimetre: the title's frame and the picture sit 5 mm lower
// than their tops, within the top and bottom margins.
TEST(ChartReportPage, TitleAndPictureWithinTheMargins) {
    QTemporaryDir dir;
    ChartReportContent content;
    // Black, in the frame's own proportions: the picture fills its frame.
    content.picture = QImage(287 * 4, 170 * 4, QImage::Format_RGB888);
    content.picture.fill(Qt::black);
    content.title = QStringLiteral("Trend diagram printing");
    const QString pdf = dir.filePath("chart.pdf");
    ASSERT_FALSE(WriteReportPdf(ChartReport(content), pdf));
    ::Run(QStringLiteral("pdftoppm"),
          {QStringLiteral("-r"), QStringLiteral("254"), QStringLiteral("-gray"),
           QStringLiteral("-singlefile"), pdf, dir.filePath("page")});
    const QImage page(dir.filePath("page.pgm"));
    ASSERT_NEAR(page.width(), 2970, 2); // A4 across
    ASSERT_NEAR(page.height(), 2100, 2);
    // Down a column 10 mm from the left edge: inside every frame, left of the centred title.
    constexpr int Column = 100;
    const auto dark = [&](int row) { return qGray(page.pixel(Column, row)) < 128; };
    int top = 0;
    while (top < page.height() && !dark(top))
        ++top;
    int bottom = page.height() - 1;
    while (bottom > 0 && !dark(bottom))
        --bottom;
    int pictureTop = bottom;
    while (pictureTop > 0 && dark(pictureTop - 1))
        --pictureTop;
    EXPECT_NEAR(top / 10.0, 9, 0.3);         // the title's frame: 4 mm below the margin
    EXPECT_NEAR(pictureTop / 10.0, 35, 0.3); // the picture: 30 mm below it
    EXPECT_NEAR(bottom / 10.0, 205, 0.3);    // and 170 mm high, ending at the bottom margin
}

// "Export PDF" in the preview, with the name typed into its file dialog.
TEST(ReportPreview, ExportPdfAddsTheExtensionToANameWithout) {
    QTemporaryDir dir;
    ChartReportContent content;
    content.picture = QImage(40, 30, QImage::Format_RGB888);
    content.picture.fill(Qt::white);
    const ChartReport report(content);
    QPrinter printer(QPrinter::HighResolution);
    const auto preview = MakeReportPreview(nullptr, report, printer);
    QAction* exportPdf = nullptr;
    for (QAction* action : preview->findChildren<QAction*>())
        if (action->text() == QStringLiteral("Export PDF"))
            exportPdf = action;
    ASSERT_NE(exportPdf, nullptr);
    struct Case {
        const char* typed;
        const char* written;
    };
    for (const Case c : {Case{"list", "list.pdf"}, Case{"kept.pdf", "kept.pdf"}}) {
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* files = qobject_cast<QFileDialog*>(top);
                if (!files || !files->isVisible())
                    continue;
                if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                    name->setText(dir.filePath(QString::fromLatin1(c.typed)));
                    QMetaObject::invokeMethod(files, "accept"); // the Save button
                } else {
                    ADD_FAILURE() << "not the widget-based file dialog";
                    files->reject();
                }
            }
        });
        exportPdf->trigger();
        EXPECT_TRUE(ReadFile(dir.filePath(QString::fromLatin1(c.written))).startsWith("%PDF"))
            << c.typed;
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("list")));
    EXPECT_FALSE(QFile::exists(dir.filePath("kept.pdf.pdf")));
}
