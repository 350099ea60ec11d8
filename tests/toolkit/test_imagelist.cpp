// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/imagelist.h"

#include <QIcon>
#include <QSignalSpy>

#include <gtest/gtest.h>

using rightsmith::toolkit::ImageList;

TEST(ImageList, AddConvertsToArgb32AndScalesTo16x16)
{
    ImageList list;
    QImage rgb(16, 16, QImage::Format_RGB888);
    rgb.fill(QColor(10, 20, 30));
    list.add(rgb);
    QImage big(32, 48, QImage::Format_ARGB32);
    big.fill(qRgba(200, 100, 0, 255));
    list.add(big);
    list.add(QImage()); // keeps the indexes aligned

    ASSERT_EQ(list.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list.image(i).format(), QImage::Format_ARGB32) << i;
        EXPECT_EQ(list.image(i).size(), QSize(16, 16)) << i;
    }
    EXPECT_EQ(list.image(0).pixel(7, 7), qRgb(10, 20, 30));
    EXPECT_EQ(list.image(1).pixel(8, 8), qRgba(200, 100, 0, 255));
    EXPECT_EQ(qAlpha(list.image(2).pixel(0, 0)), 0);
    EXPECT_TRUE(list.image(3).isNull());
    EXPECT_TRUE(list.image(-1).isNull());
    EXPECT_FALSE(list.icon(1).isNull());
    EXPECT_TRUE(list.icon(3).isNull());
}

TEST(ImageList, AddMaskedMakesOnlyTheKeyColourTransparent)
{
    ImageList list;
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    image.setPixel(4, 5, qRgb(0, 128, 0));
    image.setPixel(6, 5, qRgb(255, 0, 254));
    list.addMasked(image, QColor(255, 0, 255));
    const QImage stored = list.image(0);
    EXPECT_EQ(qAlpha(stored.pixel(0, 0)), 0);
    EXPECT_EQ(stored.pixel(4, 5), qRgb(0, 128, 0));
    EXPECT_EQ(stored.pixel(6, 5), qRgb(255, 0, 254));
}

TEST(ImageList, InsertClearAndAssign)
{
    auto solid = [](QRgb c) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(c);
        return image;
    };
    ImageList list;
    list.add(solid(qRgb(1, 1, 1)));
    list.add(solid(qRgb(3, 3, 3)));
    list.insert(1, solid(qRgb(2, 2, 2)));
    list.insert(99, solid(qRgb(4, 4, 4))); // clamped to the end
    list.insert(-5, solid(qRgb(0, 0, 0))); // clamped to the front
    ASSERT_EQ(list.count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list.image(i).pixel(0, 0), qRgb(i, i, i)) << i;

    ImageList copy;
    copy.add(solid(qRgb(9, 9, 9)));
    copy.assign(list);
    ASSERT_EQ(copy.count(), 5);
    EXPECT_EQ(copy.image(4), list.image(4));
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(copy.count(), 5);
}

TEST(ImageList, EveryChangeIsSignalledAndNoOpsAreNot)
{
    ImageList list;
    QSignalSpy spy(&list, &ImageList::changed);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    list.add(image);
    list.addMasked(image, Qt::red);
    list.insert(0, image);
    EXPECT_EQ(spy.count(), 3);
    list.setMasked(!list.masked());
    EXPECT_EQ(spy.count(), 4);
    list.setMasked(list.masked());
    EXPECT_EQ(spy.count(), 4);
    ImageList other;
    list.assign(other);
    EXPECT_EQ(spy.count(), 5);
    list.clear(); // already empty
    EXPECT_EQ(spy.count(), 5);
}
