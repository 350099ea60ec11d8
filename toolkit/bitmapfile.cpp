// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/bitmapfile_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"

#include <QCoreApplication>
#include <QIODevice>

#include <limits>

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int PixelOffset = FileHeaderSize + InfoHeaderSize; // 54
constexpr quint32 BiRgb = 0;
// Far beyond any image a list holds; a declared size above it is damage.
constexpr quint32 MaxFileSize = 256u * 1024u * 1024u;

[[noreturn]] void throwInvalid()
{
    throw Error(QCoreApplication::translate("rightsmith::toolkit::BitmapFile",
                                            "Bitmap image is not valid"));
}

// Qt's BMP reader takes the fourth byte of a 32-bit BI_RGB pixel as padding and
// returns opaque pixels; our files keep the alpha channel there, so those files
// are decoded here. \a file holds exactly one whole file.
QImage decode32BitRgb(const QByteArray &file)
{
    const char *d = file.constData();
    const qint64 fileSize = file.size();
    const quint32 pixelOffset = readUInt32LE(d + 10);
    const quint32 infoSize = readUInt32LE(d + 14);
    const qint32 width = readInt32LE(d + 18);
    const qint32 height = readInt32LE(d + 22);
    const quint16 planes = readUInt16LE(d + 26);
    if (planes != 1 || width <= 0 || height == 0 || height == std::numeric_limits<qint32>::min())
        throwInvalid();
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    if (pixelOffset < FileHeaderSize + qint64(infoSize) || pixelOffset > fileSize)
        throwInvalid();
    // Compare against the bytes present by division, so nothing can overflow.
    const qint64 rowBytes = qint64(width) * 4;
    const qint64 available = fileSize - pixelOffset;
    if (rowBytes > available || rows > available / rowBytes)
        throwInvalid();

    QImage image(width, int(rows), QImage::Format_ARGB32);
    if (image.isNull())
        throwInvalid();
    bool allAlphaZero = true;
    bool anyColour = false;
    for (qint64 row = 0; row < rows; ++row) {
        const auto *in = reinterpret_cast<const uchar *>(d + pixelOffset + row * rowBytes);
        // Rows are stored bottom-up unless the height is negative.
        const int y = height > 0 ? int(rows - 1 - row) : int(row);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (qint32 x = 0; x < width; ++x, in += 4) {
            out[x] = qRgba(in[2], in[1], in[0], in[3]);
            allAlphaZero = allAlphaZero && in[3] == 0;
            anyColour = anyColour || in[0] || in[1] || in[2];
        }
    }
    // A bitmap rendered on a device without alpha leaves that byte 0 everywhere;
    // showing its colours is right, showing nothing would lose the picture. Our
    // writer stores transparent pixels as all zero, so its files never look so.
    if (allAlphaZero && anyColour) {
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] |= 0xFF000000u;
        }
    }
    return image;
}

// The general decoder allocates the whole image before it reads a pixel, so a
// header must not promise more pixels than its file can hold.
void checkGeometry(const QByteArray &file)
{
    const char *d = file.constData();
    const qint64 fileSize = file.size();
    const quint32 infoSize = readUInt32LE(d + 14);
    if (infoSize != 12 && infoSize < InfoHeaderSize)
        throwInvalid();
    const bool core = infoSize == 12; // the old OS/2 header with 16-bit sizes
    const qint64 width = core ? readUInt16LE(d + 18) : readInt32LE(d + 18);
    const qint64 height = core ? readUInt16LE(d + 20) : readInt32LE(d + 22);
    const quint16 bits = core ? readUInt16LE(d + 24) : readUInt16LE(d + 28);
    const quint32 compression = core ? BiRgb : readUInt32LE(d + 30);
    const qint64 rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || width > 65535 || rows > 65535)
        throwInvalid();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throwInvalid();
    const qint64 headers = FileHeaderSize + qint64(infoSize);
    if (headers > fileSize)
        throwInvalid();
    // The pixels start at the file header's offset, which must lie inside the
    // file whatever the depth; an offset within the headers is read from there.
    const qint64 pixelOffset = readUInt32LE(d + 10);
    if (pixelOffset > fileSize)
        throwInvalid();
    const qint64 available = fileSize - qMax(headers, pixelOffset);
    constexpr quint32 BiRle8 = 1, BiRle4 = 2, BiBitfields = 3;
    if (compression == BiRgb || compression == BiBitfields) {
        const qint64 rowBytes = ((width * bits + 31) / 32) * 4;
        if (rows * rowBytes > available)
            throwInvalid();
    } else if (compression == BiRle8 || compression == BiRle4) {
        // One two-byte run codes at most 255 pixels.
        if (width * rows > available * 128)
            throwInvalid();
    } else {
        throwInvalid();
    }
}

} // namespace

QByteArray writeBitmapFile(const QImage &source)
{
    // The lists hold 16x16 images; a null image is stored as an empty one of that size.
    QImage image = source.isNull() ? QImage(16, 16, QImage::Format_ARGB32)
                                   : source.convertToFormat(QImage::Format_ARGB32);
    if (source.isNull())
        image.fill(Qt::transparent);

    const qint32 width = image.width();
    const qint32 height = image.height();
    // A file its own reader would refuse is not written either.
    if (PixelOffset + qint64(width) * height * 4 > qint64(MaxFileSize))
        throw Error(
            QCoreApplication::translate("rightsmith::toolkit::BitmapFile", "Stream write error"));
    const quint32 pixelBytes = quint32(width) * quint32(height) * 4u;
    QByteArray file(PixelOffset + qsizetype(pixelBytes), '\0');
    char *d = file.data();

    // BITMAPFILEHEADER
    d[0] = 'B';
    d[1] = 'M';
    writeUInt32LE(d + 2, quint32(file.size()));
    writeUInt32LE(d + 6, 0); // two reserved words
    writeUInt32LE(d + 10, PixelOffset);
    // BITMAPINFOHEADER: positive height = bottom-up rows, no colour table
    writeUInt32LE(d + 14, InfoHeaderSize);
    writeInt32LE(d + 18, width);
    writeInt32LE(d + 22, height);
    writeUInt16LE(d + 26, 1); // planes
    writeUInt16LE(d + 28, 32); // bits per pixel
    writeUInt32LE(d + 30, BiRgb);
    writeUInt32LE(d + 34, pixelBytes);
    // Resolution, colours used and important colours stay 0.

    auto *out = reinterpret_cast<uchar *>(d + PixelOffset);
    for (int row = 0; row < height; ++row) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(height - 1 - row));
        for (int x = 0; x < width; ++x, out += 4) {
            const QRgb p = line[x];
            if (qAlpha(p) == 0)
                continue; // a transparent pixel has no colour: all four bytes 0
            out[0] = uchar(qBlue(p));
            out[1] = uchar(qGreen(p));
            out[2] = uchar(qRed(p));
            out[3] = uchar(qAlpha(p));
        }
    }
    return file;
}

QImage readBitmapFile(QIODevice &device)
{
    ByteReader reader(device);
    // The file header and the fixed part of the information header: every file
    // accepted here is at least that long.
    char header[PixelOffset];
    reader.readExact(header, FileHeaderSize);
    if (header[0] != 'B' || header[1] != 'M')
        throwInvalid();
    const quint32 fileSize = readUInt32LE(header + 2);
    if (fileSize < quint32(PixelOffset) || fileSize > MaxFileSize)
        throwInvalid();
    reader.readExact(header + FileHeaderSize, PixelOffset - FileHeaderSize);
    // readExact() refuses a size beyond the bytes present before allocating it.
    const QByteArray file =
        QByteArray(header, PixelOffset) + reader.readExact(fileSize - quint32(PixelOffset));

    const quint32 infoSize = readUInt32LE(header + 14);
    if (infoSize >= InfoHeaderSize && readUInt16LE(header + 28) == 32
        && readUInt32LE(header + 30) == BiRgb)
        return decode32BitRgb(file);

    checkGeometry(file);

    const QImage image = QImage::fromData(file, "BMP");
    if (image.isNull())
        throwInvalid();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace rightsmith::toolkit
