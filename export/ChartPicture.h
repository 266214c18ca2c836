#pragma once
// The trend chart as a picture: drawn as the screen shows it (legend read-out, cursors, zoom)
// and written as BMP, JPEG (libjpeg-turbo) or PNG; and its colour-inverted copy for printing.
// A picture cannot be clicked to switch the axis channel: with each channel on its own scale
// its legend also lists every channel's scale.

#include <QImage>
#include <QString>

#include <optional>

class QCustomPlot;

enum class PictureFormat { Bmp, Jpeg, Png };

// By the name's extension (.bmp, .jpg/.jpeg, .png, any case); nullopt for any other.
std::optional<PictureFormat> PictureFormatOf(const QString& path);

// The chart at size (its on-screen size when empty), 24 bits per pixel.
QImage ChartPicture(QCustomPlot& chart, QSize size = {});
// The chart for paper: inverted (black walls print white), its axis texts in colours that read
// on white.
QImage PaperChartPicture(QCustomPlot& chart, QSize size = {});

// Every red, green and blue component v becomes 255 - v.
QImage InvertedColours(const QImage& picture);

// Encodes the picture and writes it to path, replacing a file there in place. On failure the
// text to show (UTF-8), naming the path; a failed write may leave part of the file.
std::optional<QString> WritePicture(const QImage& picture, const QString& path,
                                    PictureFormat format);

// The JPEG bytes, encoded a row at a time; empty on an encoder failure.
QByteArray EncodeJpeg(const QImage& picture, int quality = 90);
