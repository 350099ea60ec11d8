// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/tcripter.h"

#include <gtest/gtest.h>

using zkCript::TCripter;

namespace {

// A text of \a length bytes running through values above 127 as well.
QByteArray sample(int length)
{
    QByteArray text(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        text[i] = char(0x80 + i * 37);
    return text;
}

} // namespace

TEST(TCripter, EmptyTextStaysEmpty)
{
    EXPECT_TRUE(TCripter::Scramble(QByteArray()).isEmpty());
    EXPECT_TRUE(TCripter::Unscramble(QByteArray()).isEmpty());
}

TEST(TCripter, RoundTripsAndKeepsTheLength)
{
    for (int length : {1, 2, 15, 16, 17, 31, 32, 33, 40, 100}) {
        const QByteArray text = sample(length);
        const QByteArray scrambled = TCripter::Scramble(text);
        EXPECT_EQ(scrambled.size(), length);
        EXPECT_NE(scrambled, text) << length;
        EXPECT_EQ(TCripter::Unscramble(scrambled), text) << length;
    }
}

TEST(TCripter, EveryByteValueAtEveryKeyPositionRoundTrips)
{
    for (int position = 0; position < 17; ++position) {
        for (int value = 0; value < 256; ++value) {
            QByteArray text(position + 1, 'x');
            text[position] = char(value);
            ASSERT_EQ(TCripter::Unscramble(TCripter::Scramble(text)), text)
                << position << ' ' << value;
        }
    }
}

TEST(TCripter, KnownVectors)
{
    // 'a' (97) + 'q' (113) = 210.
    EXPECT_EQ(TCripter::Scramble(QByteArrayLiteral("a")), QByteArrayLiteral("\xD2"));
    // 0xFF + 'q' wraps to 0x70.
    EXPECT_EQ(TCripter::Scramble(QByteArrayLiteral("\xFF")), QByteArrayLiteral("\x70"));
    EXPECT_EQ(TCripter::Unscramble(QByteArrayLiteral("\x70")), QByteArrayLiteral("\xFF"));
    // 'A' (0x41) plus the key bytes "q807162534vbnrt" at positions 1..15, position
    // 16 unshifted (the last key byte 'q' is never used), position 17 by 'q' again.
    const QByteArray text(17, 'A');
    const QByteArray expected = QByteArrayLiteral("\xB2\x79\x71\x78\x72\x77\x73\x76\x74\x75"
                                                  "\xB7\xA3\xAF\xB3\xB5\x41\xB2");
    EXPECT_EQ(TCripter::Scramble(text), expected);
    EXPECT_EQ(TCripter::Unscramble(expected), text);
    // Unscramble subtracts with wrap: 0x00 - 'q' = 0x8F.
    EXPECT_EQ(TCripter::Unscramble(QByteArray(1, '\0')), QByteArrayLiteral("\x8F"));
}

TEST(TCripter, EverySixteenthBytePassesUnchanged)
{
    const QByteArray text = sample(40);
    const QByteArray scrambled = TCripter::Scramble(text);
    EXPECT_EQ(scrambled.at(15), text.at(15));
    EXPECT_EQ(scrambled.at(31), text.at(31));
    for (int i = 0; i < 40; ++i) {
        if ((i + 1) % 16 != 0) {
            EXPECT_NE(scrambled.at(i), text.at(i)) << i;
        }
    }
}

TEST(TCripter, ScramblingIsPositionWiseSoPrefixesAgree)
{
    const QByteArray text = sample(60);
    EXPECT_EQ(TCripter::Scramble(text).left(40), TCripter::Scramble(text.left(40)));
    EXPECT_EQ(TCripter::Unscramble(text).left(40), TCripter::Unscramble(text.left(40)));
}
