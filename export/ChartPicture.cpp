#include "export/ChartPicture.h"

#include "chart/TrendChart.h"
#include "export/CsvExport.h"
#include "export/ReportLayout.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <qcustomplot.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

std::optional<PictureFormat> PictureFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp"))
        return PictureFormat::Bmp;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return PictureFormat::Jpeg;
    if (suffix == QLatin1String("png"))
        return PictureFormat::Png;
    return std::nullopt;
}

namespace {

QImage DrawnPicture(QCustomPlot& chart, QSize size, TrendChart::PictureUse use) {
    if (size.isEmpty())
        size = chart.size();
    auto* trend = qobject_cast<TrendChart*>(&chart);
    if (trend)
        trend->DressForPicture(use);
    QImage picture = chart.toPixmap(size.width(), size.height(), 1.0)
                         .toImage()
                         .convertToFormat(QImage::Format_RGB888);
    if (trend)
        trend->UndressPicture();
    return picture;
}

} // namespace

QImage ChartPicture(QCustomPlot& chart, QSize size) {
    return DrawnPicture(chart, size, TrendChart::PictureUse::Screen);
}

QImage PaperChartPicture(QCustomPlot& chart, QSize size) {
    return InvertedColours(DrawnPicture(chart, size, TrendChart::PictureUse::Paper));
}

QImage InvertedColours(const QImage& picture) {
    QImage inverted = picture.convertToFormat(QImage::Format_RGB888);
    const auto rowBytes = static_cast<size_t>(inverted.width()) * 3;
    for (int y = 0; y < inverted.height(); ++y)
        InvertRgb24({inverted.scanLine(y), rowBytes}); // rows are padded: only the pixels
    return inverted;
}

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

} // namespace

QByteArray EncodeJpeg(const QImage& picture, int quality) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegErrorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    // Nothing below may own a destructor-bearing object: longjmp would skip it.
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // One row at a time: each scan line of a QImage starts on its own padded offset.
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

std::optional<QString> WritePicture(const QImage& picture, const QString& path,
                                    PictureFormat format) {
    QByteArray bytes;
    if (format == PictureFormat::Jpeg) {
        bytes = EncodeJpeg(picture);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, format == PictureFormat::Bmp ? "BMP" : "PNG"))
            bytes.clear();
    }
    if (bytes.isEmpty())
        return QStringLiteral("The picture could not be encoded: %1").arg(path);
    // Written with the sink of the CSV export, which sees a full disk or a failed close.
    FileSink file;
    const std::string name = QFile::encodeName(path).toStdString();
    bool written = file.Open(name) && file.Write({bytes.constData(), size_t(bytes.size())});
    written = file.Close() && written;
    if (!written)
        return QStringLiteral("The picture could not be written to %1: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(file.Error())));
    return std::nullopt;
}
