// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/bitmapfile_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs \a f and returns the message of the rightsmith::toolkit::Error it throws ("" if none).
QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const rightsmith::toolkit::Error &e) {
        return e.message();
    }
    return QString();
}

const QString ReadError = u"Stream read error"_s;
const QString WriteError = u"Stream write error"_s;
const QString Invalid = u"Bitmap image is not valid"_s;

// A pipe-like device over fixed bytes: sequential, so its length is unknown.
class SequentialDevice : public QIODevice
{
public:
    explicit SequentialDevice(QByteArray data)
        : m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_data.size() - m_pos + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin(max, qint64(m_data.size()) - m_pos);
        if (n <= 0)
            return -1; // end of data
        memcpy(data, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};

void putU16(QByteArray &b, int at, quint16 v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void putU32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

quint32 getU32(const QByteArray &b, int at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uchar(b.at(at + i));
    return v;
}

// A 32-bit BI_RGB file assembled by hand: \a pixels are BGRA, rows in file order.
QByteArray handMadeBitmap(qint32 width, qint32 height, const QByteArray &pixels)
{
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putU32(b, 2, quint32(54 + pixels.size()));
    putU32(b, 10, 54);
    putU32(b, 14, 40);
    putU32(b, 18, quint32(width));
    putU32(b, 22, quint32(height));
    putU16(b, 26, 1);
    putU16(b, 28, 32);
    putU32(b, 34, quint32(pixels.size()));
    return b + pixels;
}

// A 16x16 image whose every pixel differs, with partial and full transparency.
QImage patterned(int seed = 0)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int alpha = (x + y + seed) % 5 == 0 ? 0 : (x * 16 + y + seed) % 256 | 1;
            image.setPixel(x, y,
                           alpha == 0 ? 0u : qRgba(x * 16, y * 16, (x ^ y) * 8 + seed, alpha));
        }
    }
    return image;
}

QImage readOne(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return rightsmith::toolkit::readBitmapFile(buffer);
}

} // namespace

// --- ByteReader / ByteWriter -------------------------------------------------

TEST(ByteStream, IntegersAreLittleEndian)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    rightsmith::toolkit::ByteWriter writer(buffer);
    writer.writeInt32(0x01020304);
    writer.writeInt32(-2);
    writer.writeUInt8(0xAB);
    EXPECT_EQ(buffer.data(), QByteArrayLiteral("\x04\x03\x02\x01\xFE\xFF\xFF\xFF\xAB"));

    rightsmith::toolkit::ByteReader reader(buffer);
    reader.seek(0);
    EXPECT_EQ(reader.readInt32(), 0x01020304);
    EXPECT_EQ(reader.readInt32(), -2);
    EXPECT_EQ(reader.remaining(), 1);
    EXPECT_EQ(reader.readUInt8(), 0xAB);
    EXPECT_EQ(reader.position(), 9);
    EXPECT_EQ(errorOf([&] { reader.readUInt8(); }), ReadError);
}

TEST(ByteStream, ShortReadsThrowWithoutAllocatingTheRequestedSize)
{
    QBuffer buffer;
    buffer.setData(QByteArrayLiteral("abc"));
    buffer.open(QIODevice::ReadOnly);
    rightsmith::toolkit::ByteReader reader(buffer);
    EXPECT_EQ(errorOf([&] { reader.readInt32(); }), ReadError);
    reader.seek(0);
    // A terabyte request must fail at once, not try to allocate.
    EXPECT_EQ(errorOf([&] { reader.readExact(qint64(1) << 40); }), ReadError);
    EXPECT_EQ(errorOf([&] { reader.readExact(-1); }), ReadError);
    EXPECT_EQ(reader.readExact(2), QByteArrayLiteral("ab"));
    EXPECT_EQ(reader.readAll(), QByteArrayLiteral("c"));
    EXPECT_EQ(errorOf([&] { reader.seek(-1); }), ReadError);

    SequentialDevice pipe(QByteArrayLiteral("12345"));
    rightsmith::toolkit::ByteReader pipeReader(pipe);
    EXPECT_EQ(pipeReader.readExact(2), QByteArrayLiteral("12"));
    EXPECT_EQ(errorOf([&] { pipeReader.readExact(qint64(1) << 40); }), ReadError);
}

TEST(ByteStream, RefusedWritesThrow)
{
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    rightsmith::toolkit::ByteWriter writer(readOnly);
    EXPECT_EQ(errorOf([&] { writer.writeInt32(1); }), WriteError);
    EXPECT_EQ(errorOf([&] { writer.writeBytes(QByteArrayLiteral("x")); }), WriteError);

    QBuffer closed;
    rightsmith::toolkit::ByteWriter closedWriter(closed);
    EXPECT_EQ(errorOf([&] { closedWriter.writeUInt8(1); }), WriteError);
}

// --- bitmap writer -----------------------------------------------------------

TEST(BitmapFile, WritesThe32BitLayoutByteForByte)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(1, 2, 3, 255));
    image.setPixel(3, 2, qRgba(0x11, 0x22, 0x33, 0x80));
    image.setPixel(0, 15, qRgba(0xAA, 0xBB, 0xCC, 0xFF));
    image.setPixel(15, 0, qRgba(0x99, 0x99, 0x99, 0)); // transparent: no colour kept

    const QByteArray file = rightsmith::toolkit::writeBitmapFile(image);
    ASSERT_EQ(file.size(), 1078);

    QByteArray header(54, '\0');
    header[0] = 'B';
    header[1] = 'M';
    putU32(header, 2, 1078);
    putU32(header, 10, 54);
    putU32(header, 14, 40);
    putU32(header, 18, 16);
    putU32(header, 22, 16); // positive: bottom-up rows
    putU16(header, 26, 1);
    putU16(header, 28, 32);
    putU32(header, 30, 0); // BI_RGB
    putU32(header, 34, 1024);
    EXPECT_EQ(file.left(54).toHex(' '), header.toHex(' '));

    // Pixel (x, y) is at 54 + ((15 - y) * 16 + x) * 4, stored B, G, R, A.
    auto at = [&](int x, int y) {
        return file.mid(54 + ((15 - y) * 16 + x) * 4, 4);
    };
    EXPECT_EQ(at(3, 2), QByteArrayLiteral("\x33\x22\x11\x80"));
    EXPECT_EQ(at(0, 15), QByteArrayLiteral("\xCC\xBB\xAA\xFF"));
    EXPECT_EQ(file.mid(54, 4), QByteArrayLiteral("\xCC\xBB\xAA\xFF")); // first stored = bottom row
    EXPECT_EQ(at(15, 0), QByteArray(4, '\0'));
    EXPECT_EQ(at(5, 5), QByteArrayLiteral("\x03\x02\x01\xFF"));
}

TEST(BitmapFile, OtherSizesAndFormatsAreWrittenAs32Bits)
{
    QImage small(5, 3, QImage::Format_RGB888);
    small.fill(QColor(10, 20, 30));
    const QByteArray file = rightsmith::toolkit::writeBitmapFile(small);
    EXPECT_EQ(file.size(), 54 + 5 * 3 * 4);
    EXPECT_EQ(getU32(file, 2), quint32(file.size()));
    EXPECT_EQ(getU32(file, 18), 5u);
    EXPECT_EQ(getU32(file, 22), 3u);
    EXPECT_EQ(file.mid(54, 4), QByteArrayLiteral("\x1E\x14\x0A\xFF"));
    // A null image is stored as an empty list entry, 16x16 and transparent.
    EXPECT_EQ(rightsmith::toolkit::writeBitmapFile(QImage()).size(), 1078);
}

// --- bitmap reader -----------------------------------------------------------

TEST(BitmapFile, RoundTripKeepsEveryPixelAndAlpha)
{
    const QImage image = patterned();
    const QImage back = readOne(rightsmith::toolkit::writeBitmapFile(image));
    ASSERT_EQ(back.format(), QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), QSize(16, 16));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(back.pixel(x, y), image.pixel(x, y)) << x << ',' << y;

    QImage wide(7, 2, QImage::Format_ARGB32);
    wide.fill(qRgba(200, 100, 50, 128));
    wide.setPixel(6, 1, qRgba(1, 2, 3, 4));
    EXPECT_EQ(readOne(rightsmith::toolkit::writeBitmapFile(wide)), wide);

    // A fully transparent image stays transparent.
    QImage clear(16, 16, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_EQ(readOne(rightsmith::toolkit::writeBitmapFile(clear)), clear);
}

TEST(BitmapFile, WrittenFilesAreOrdinaryBmpFilesToOtherReaders)
{
    QImage opaque(16, 16, QImage::Format_ARGB32);
    opaque.fill(qRgba(12, 34, 56, 255));
    opaque.setPixel(2, 3, qRgba(200, 0, 100, 255));
    const QImage other = QImage::fromData(rightsmith::toolkit::writeBitmapFile(opaque), "BMP");
    ASSERT_FALSE(other.isNull());
    EXPECT_EQ(other.pixel(2, 3), opaque.pixel(2, 3));
    EXPECT_EQ(other.pixel(0, 0), opaque.pixel(0, 0));
}

TEST(BitmapFile, ReadsForeignBitmaps)
{
    // 24 bits as Qt's own writer makes them.
    QImage source(16, 16, QImage::Format_RGB32);
    source.fill(QColor(1, 128, 255));
    source.setPixel(4, 9, qRgb(9, 8, 7));
    QByteArray bmp24;
    QBuffer out(&bmp24);
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(source.save(&out, "BMP"));
    const QImage from24 = readOne(bmp24);
    EXPECT_EQ(from24.format(), QImage::Format_ARGB32);
    EXPECT_EQ(from24.pixel(4, 9), qRgb(9, 8, 7));
    EXPECT_EQ(from24.pixel(0, 0), qRgb(1, 128, 255));

    // 32 bits from a device without alpha: fourth byte 0 everywhere, shown opaque.
    QByteArray pixels;
    for (int i = 0; i < 4; ++i)
        pixels += QByteArrayLiteral("\x30\x20\x10") + QByteArray(1, '\0');
    const QImage noAlpha = readOne(handMadeBitmap(2, 2, pixels));
    EXPECT_EQ(noAlpha.pixel(1, 1), qRgba(0x10, 0x20, 0x30, 0xFF));

    // Negative height: rows stored top-down.
    QByteArray topDown =
        QByteArrayLiteral("\x00\x00\xFF\xFF") + QByteArrayLiteral("\xFF\x00\x00\xFF");
    const QImage td = readOne(handMadeBitmap(1, -2, topDown));
    EXPECT_EQ(td.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(td.pixel(0, 1), qRgb(0, 0, 255));
    const QImage bu = readOne(handMadeBitmap(1, 2, topDown));
    EXPECT_EQ(bu.pixel(0, 0), qRgb(0, 0, 255));
}

TEST(BitmapFile, TwoFilesBackToBackAreReadOneAtATime)
{
    const QImage first = patterned(1);
    QImage second(3, 4, QImage::Format_ARGB32);
    second.fill(qRgba(9, 9, 9, 99));
    QBuffer buffer;
    buffer.setData(rightsmith::toolkit::writeBitmapFile(first)
                   + rightsmith::toolkit::writeBitmapFile(second) + QByteArrayLiteral("tail"));
    buffer.open(QIODevice::ReadOnly);
    EXPECT_EQ(rightsmith::toolkit::readBitmapFile(buffer), first);
    EXPECT_EQ(buffer.pos(), 1078);
    EXPECT_EQ(rightsmith::toolkit::readBitmapFile(buffer), second);
    EXPECT_EQ(buffer.pos(), 1078 + 54 + 48);
    EXPECT_EQ(buffer.readAll(), QByteArrayLiteral("tail"));

    // The same from a device that cannot tell its length.
    SequentialDevice pipe(rightsmith::toolkit::writeBitmapFile(first)
                          + rightsmith::toolkit::writeBitmapFile(second));
    EXPECT_EQ(rightsmith::toolkit::readBitmapFile(pipe), first);
    EXPECT_EQ(rightsmith::toolkit::readBitmapFile(pipe), second);
    EXPECT_EQ(errorOf([&] { rightsmith::toolkit::readBitmapFile(pipe); }), ReadError);
}

TEST(BitmapFile, HostileHeadersAreRefusedWithTheirMessages)
{
    const QByteArray good = rightsmith::toolkit::writeBitmapFile(patterned());
    auto withU32 = [&](int at, quint32 v) {
        QByteArray b = good;
        putU32(b, at, v);
        return b;
    };
    auto messageOf = [&](const QByteArray &bytes) {
        return errorOf([&] { readOne(bytes); });
    };

    EXPECT_EQ(messageOf(QByteArray()), ReadError);
    EXPECT_EQ(messageOf(good.left(13)), ReadError);
    EXPECT_EQ(messageOf(QByteArrayLiteral("XM") + good.mid(2)), Invalid);
    EXPECT_EQ(messageOf(withU32(2, 53)), Invalid); // smaller than the two headers
    EXPECT_EQ(messageOf(withU32(2, 0)), Invalid);
    EXPECT_EQ(messageOf(withU32(2, 0xFFFFFFFFu)), Invalid); // absurd
    EXPECT_EQ(messageOf(withU32(2, 50'000'000)), ReadError); // far beyond the data
    EXPECT_EQ(messageOf(good.left(500)), ReadError); // truncated
    EXPECT_EQ(messageOf(good.left(54)), ReadError);
    // Pixel geometry that does not fit the file it claims.
    EXPECT_EQ(messageOf(withU32(18, 1000)), Invalid);
    EXPECT_EQ(messageOf(withU32(22, 0x7FFFFFFF)), Invalid);
    EXPECT_EQ(messageOf(withU32(18, 0x7FFFFFFF)), Invalid);
    EXPECT_EQ(messageOf(withU32(18, 0)), Invalid);
    EXPECT_EQ(messageOf(withU32(22, 0)), Invalid);
    EXPECT_EQ(messageOf(withU32(22, 0x80000000u)), Invalid);
    EXPECT_EQ(messageOf(withU32(10, 2000)), Invalid); // pixels beyond the end
    EXPECT_EQ(messageOf(withU32(10, 20)), Invalid); // pixels inside the header
    // An information header larger than the file (its size must not wrap around).
    EXPECT_EQ(messageOf(withU32(14, 0xFFFFFFF8u)), Invalid);
    // Another depth with nonsense contents goes to the general decoder.
    QByteArray eightBit = good;
    putU16(eightBit, 28, 8);
    putU32(eightBit, 46, 0x7FFFFFFF); // colours used
    EXPECT_EQ(messageOf(eightBit), Invalid);
    // Other depths must not promise more pixels than the file holds.
    QByteArray hugeEightBit = eightBit;
    putU32(hugeEightBit, 46, 0);
    putU32(hugeEightBit, 18, 30000);
    putU32(hugeEightBit, 22, 30000);
    EXPECT_EQ(messageOf(hugeEightBit), Invalid);
    QByteArray rle = hugeEightBit;
    putU32(rle, 30, 1); // BI_RLE8
    EXPECT_EQ(messageOf(rle), Invalid);
    QByteArray unknownCompression = good;
    putU16(unknownCompression, 28, 24);
    putU32(unknownCompression, 30, 4); // BI_JPEG
    EXPECT_EQ(messageOf(unknownCompression), Invalid);
    // Every depth: pixel data that would start past the end of the file.
    for (const quint16 bits : {1, 4, 8, 16, 24}) {
        QByteArray offsetOut = good;
        putU16(offsetOut, 28, bits);
        putU32(offsetOut, 10, quint32(good.size()) + 1);
        EXPECT_EQ(messageOf(offsetOut), Invalid) << bits;
    }

    SequentialDevice pipe(good.left(14) + QByteArray(100, 'x'));
    EXPECT_EQ(errorOf([&] { rightsmith::toolkit::readBitmapFile(pipe); }), ReadError);
}

TEST(BitmapFile, DamagedFilesNeverCrash)
{
    const QByteArray good = rightsmith::toolkit::writeBitmapFile(patterned());
    QRandomGenerator random(1234);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = good;
        const int changes = 1 + int(random.bounded(6));
        for (int c = 0; c < changes; ++c) {
            // Mostly the headers, where the sizes are.
            const int at = random.bounded(4) ? int(random.bounded(54)) : int(random.bounded(1078));
            bytes[at] = char(random.bounded(256));
        }
        if (random.bounded(4) == 0)
            bytes.truncate(int(random.bounded(1078)));
        const QString message = errorOf([&] {
            const QImage image = readOne(bytes);
            EXPECT_FALSE(image.isNull());
        });
        EXPECT_TRUE(message.isEmpty() || message == ReadError || message == Invalid)
            << message.toStdString();
        refused += !message.isEmpty();
    }
    EXPECT_GT(refused, 0);
}
