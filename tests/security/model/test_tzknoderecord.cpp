// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The node record's stored layout: every field at its offset, little-endian,
// and the caption's 40-byte limit.
#include "security/model/tzknoderecord.h"

#include <gtest/gtest.h>

#include <cstring>

using zkSecurity::TzkNodeRecord;

namespace {

TzkNodeRecord distinctRecord()
{
    TzkNodeRecord r;
    r.SecurityId = 0x11223344;
    r.setCaption(QByteArrayLiteral("Tile Horizontally"));
    r.Granted = 1;
    r.Alignment[0] = 0xA1;
    r.Alignment[1] = 0xA2;
    r.NodeIndex = -2;
    r.ImageIndex = 0x0A0B0C0D;
    for (int i = 0; i < 124; ++i)
        r.Reserved[i] = quint8(100 + i);
    return r;
}

QByteArray distinctBytes()
{
    QByteArray b(180, '\0');
    const char id[] = {0x44, 0x33, 0x22, 0x11};
    std::memcpy(b.data(), id, 4);
    b[4] = char(17);
    std::memcpy(b.data() + 5, "Tile Horizontally", 17);
    b[45] = 1;
    b[46] = char(0xA1);
    b[47] = char(0xA2);
    const char nodeIndex[] = {char(0xFE), char(0xFF), char(0xFF), char(0xFF)};
    std::memcpy(b.data() + 48, nodeIndex, 4);
    const char image[] = {0x0D, 0x0C, 0x0B, 0x0A};
    std::memcpy(b.data() + 52, image, 4);
    for (int i = 0; i < 124; ++i)
        b[56 + i] = char(100 + i);
    return b;
}

} // namespace

TEST(TzkNodeRecordLayout, EveryFieldAtItsOffsetLittleEndian)
{
    const QByteArray bytes = distinctRecord().toBytes();
    ASSERT_EQ(bytes.size(), 180);
    EXPECT_EQ(bytes, distinctBytes());
}

TEST(TzkNodeRecordLayout, ReadsEveryFieldFromItsOffset)
{
    const QByteArray bytes = distinctBytes();
    const TzkNodeRecord r = TzkNodeRecord::fromBytes(bytes.constData());
    EXPECT_EQ(r.SecurityId, 0x11223344);
    EXPECT_EQ(r.caption(), QByteArrayLiteral("Tile Horizontally"));
    EXPECT_TRUE(r.granted());
    EXPECT_EQ(r.NodeIndex, -2);
    EXPECT_EQ(r.ImageIndex, 0x0A0B0C0D);
    EXPECT_EQ(r.Reserved[0], 100);
    EXPECT_EQ(r.Reserved[123], quint8(223));
    // Bytes the format calls not significant are still carried by whole-record copies.
    EXPECT_EQ(r.toBytes(), bytes);
}

TEST(TzkNodeRecordLayout, NewRecordIsAllZero)
{
    EXPECT_EQ(TzkNodeRecord().toBytes(), QByteArray(180, '\0'));
}

TEST(TzkNodeRecordCaption, CutToFortyBytesAndRestZeroed)
{
    TzkNodeRecord r;
    r.setCaption(QByteArray(50, 'x'));
    EXPECT_EQ(r.caption(), QByteArray(40, 'x'));
    EXPECT_EQ(r.toBytes().at(4), char(40));

    r.setCaption(QByteArrayLiteral("ab"));
    EXPECT_EQ(r.caption(), QByteArrayLiteral("ab"));
    const QByteArray bytes = r.toBytes();
    EXPECT_EQ(bytes.mid(5, 40), QByteArrayLiteral("ab") + QByteArray(38, '\0'));
    // The granted byte right after the caption is untouched by a full caption.
    r.setGranted(true);
    r.setCaption(QByteArray(40, 'y'));
    EXPECT_EQ(r.toBytes().at(45), char(1));
}

TEST(TzkNodeRecordCaption, DamagedLengthNeverReadsPastTheField)
{
    QByteArray bytes(180, '\0');
    bytes[4] = char(200);
    std::memset(bytes.data() + 5, 'c', 40);
    bytes[45] = 1;
    const TzkNodeRecord r = TzkNodeRecord::fromBytes(bytes.constData());
    EXPECT_EQ(r.caption(), QByteArray(40, 'c'));
    // Written back as it was read.
    EXPECT_EQ(r.toBytes(), bytes);
}

TEST(TzkNodeRecordCaption, BytesAreKeptExactly)
{
    TzkNodeRecord r;
    const QByteArray caption("\x00\x01\xff\xe9 \t", 6);
    r.setCaption(caption);
    EXPECT_EQ(r.caption(), caption);
    EXPECT_EQ(TzkNodeRecord::fromBytes(r.toBytes().constData()).caption(), caption);
}
