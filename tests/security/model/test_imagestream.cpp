// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/imagestream.h"
#include "security/model/nodeimages_p.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"

#include <QBuffer>
#include <QSet>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const rightsmith::toolkit::Error &e) {
        return e.message();
    }
    return QString();
}

QImage distinct(int n)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(n * 10, 255 - n * 10, n, 255));
    image.setPixel(n % 16, n / 16, qRgba(0, 0, 0, 128));
    image.setPixel(15, 15, 0); // transparent corner
    return image;
}

QByteArray int32LE(qint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}

QByteArray writeStream(const rightsmith::toolkit::ImageList &images)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    zkSecurity::WriteImageStream(buffer, images);
    return buffer.data();
}

void readStream(const QByteArray &bytes, rightsmith::toolkit::ImageList &images)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    zkSecurity::ReadImageStream(buffer, images);
}

} // namespace

TEST(ImageStream, TwentyFourImagesMake25876Bytes)
{
    rightsmith::toolkit::ImageList images;
    for (int i = 0; i < 24; ++i)
        images.add(distinct(i));
    const QByteArray bytes = writeStream(images);
    ASSERT_EQ(bytes.size(), 25876);
    EXPECT_EQ(bytes.left(4), int32LE(24));
    for (int i = 0; i < 24; ++i) {
        const int at = 4 + i * 1078;
        EXPECT_EQ(bytes.mid(at, 2), QByteArrayLiteral("BM")) << i;
        EXPECT_EQ(bytes.mid(at + 2, 4), int32LE(1078)) << i;
    }
}

TEST(ImageStream, WritesFromPositionZero)
{
    rightsmith::toolkit::ImageList images;
    images.add(distinct(1));
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    buffer.write(QByteArray(10, 'z'));
    zkSecurity::WriteImageStream(buffer, images);
    EXPECT_EQ(buffer.data().size(), 1082);
    EXPECT_EQ(buffer.data().left(4), int32LE(1));
}

TEST(ImageStream, RoundTripAppendsTheSameImagesInOrder)
{
    rightsmith::toolkit::ImageList images;
    for (int i = 0; i < 24; ++i)
        images.add(distinct(i));
    const QByteArray bytes = writeStream(images);

    rightsmith::toolkit::ImageList target;
    target.add(distinct(99)); // the reader appends
    QSignalSpy spy(&target, &rightsmith::toolkit::ImageList::changed);
    readStream(bytes, target);
    ASSERT_EQ(target.count(), 25);
    EXPECT_EQ(target.image(0), distinct(99));
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(target.image(i + 1), images.image(i)) << i;
    EXPECT_GE(spy.count(), 1);

    rightsmith::toolkit::ImageList empty;
    EXPECT_EQ(writeStream(empty), int32LE(0));
    readStream(int32LE(0), empty);
    EXPECT_EQ(empty.count(), 0);
}

TEST(ImageStream, NegativeCountsReadNothing)
{
    rightsmith::toolkit::ImageList source;
    source.add(distinct(3));
    const QByteArray oneImage = writeStream(source);
    rightsmith::toolkit::ImageList images;
    for (qint32 count : {-1, -24, std::numeric_limits<qint32>::min()}) {
        EXPECT_EQ(errorOf([&] { readStream(int32LE(count) + oneImage.mid(4), images); }), QString())
            << count;
        EXPECT_EQ(images.count(), 0) << count;
    }
}

TEST(ImageStream, CountBeyondTheDataEndsWithTheReadError)
{
    rightsmith::toolkit::ImageList source;
    source.add(distinct(1));
    source.add(distinct(2));
    const QByteArray files = writeStream(source).mid(4);

    rightsmith::toolkit::ImageList images;
    EXPECT_EQ(errorOf([&] { readStream(int32LE(0x7FFFFFFF) + files, images); }),
              u"Stream read error"_s);
    EXPECT_EQ(images.count(), 2); // what was read stays
    EXPECT_EQ(images.image(1), source.image(1));

    rightsmith::toolkit::ImageList none;
    EXPECT_EQ(errorOf([&] { readStream(int32LE(1'000'000), none); }), u"Stream read error"_s);
    EXPECT_EQ(errorOf([&] { readStream(QByteArrayLiteral("\x01\x00"), none); }),
              u"Stream read error"_s);
    EXPECT_EQ(none.count(), 0);
}

TEST(ImageStream, AnEntryThatIsNotABitmapIsRefused)
{
    rightsmith::toolkit::ImageList source;
    source.add(distinct(1));
    const QByteArray good = writeStream(source).mid(4);

    rightsmith::toolkit::ImageList images;
    EXPECT_EQ(errorOf([&] { readStream(int32LE(1) + QByteArray(1078, 'X'), images); }),
              u"Bitmap image is not valid"_s);
    // A good first entry followed by a damaged second one.
    QByteArray damaged = good;
    damaged[0] = 'P';
    EXPECT_EQ(errorOf([&] { readStream(int32LE(2) + good + damaged, images); }),
              u"Bitmap image is not valid"_s);
    EXPECT_EQ(images.count(), 1);
}

// --- the node images in the library's resources ------------------------------

TEST(NodeImages, TheFiveResourcesLoadAs16x16Images)
{
    QSet<QByteArray> seen;
    for (const char *name : zkSecurity::NodeImageNames) {
        const QImage image = zkSecurity::NodeImage(name);
        ASSERT_FALSE(image.isNull()) << name;
        const QImage direct(u":/rightsmith/"_s + QLatin1StringView(name));
        ASSERT_FALSE(direct.isNull()) << name;
        EXPECT_EQ(direct.size(), QSize(16, 16)) << name;
        EXPECT_EQ(image.size(), QSize(16, 16)) << name;
        EXPECT_EQ(image.format(), QImage::Format_ARGB32) << name;
        QSet<QRgb> colours;
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                colours.insert(image.pixel(x, y));
                opaque += qAlpha(image.pixel(x, y)) == 255;
            }
        }
        EXPECT_LE(colours.size(), 16) << name;
        EXPECT_GT(opaque, 20) << name; // a picture, not an empty square
        const QByteArray bits(reinterpret_cast<const char *>(image.constBits()),
                              image.sizeInBytes());
        EXPECT_FALSE(seen.contains(bits)) << name;
        seen.insert(bits);
    }
    EXPECT_TRUE(zkSecurity::NodeImage("NOSUCHIMAGE").isNull());
}
