// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/codec.h"
#include "toolkit/error.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Codec;

namespace {

// Restores the process-wide code page whatever a test chose.
struct CodePageGuard
{
    explicit CodePageGuard(Codec::CodePage page)
        : saved(Codec::codePage())
    {
        Codec::setCodePage(page);
    }
    ~CodePageGuard() { Codec::setCodePage(saved); }
    Codec::CodePage saved;
};

QByteArray allBytes()
{
    QByteArray bytes(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(i);
    return bytes;
}

QString ch(char16_t c)
{
    return QString(QChar(c));
}

} // namespace

TEST(Codec, DefaultsToWindows1252)
{
    EXPECT_EQ(Codec::codePage(), Codec::Windows1252);
}

TEST(Codec, Windows1252DecodesTheHighControlRangeLikeWindows)
{
    CodePageGuard guard(Codec::Windows1252);
    const QString text = Codec::toUnicode(allBytes());
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text.at(0x41), QChar(u'A'));
    EXPECT_EQ(text.at(0x80), QChar(0x20AC)); // euro sign
    EXPECT_EQ(text.at(0x8A), QChar(0x0160)); // S with caron
    EXPECT_EQ(text.at(0x99), QChar(0x2122)); // trade mark
    EXPECT_EQ(text.at(0x9F), QChar(0x0178)); // Y with diaeresis
    EXPECT_EQ(text.at(0xE9), QChar(0x00E9)); // e acute
    // The five bytes without a character become the C1 control of that value.
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(text.at(b), QChar(char16_t(b))) << b;
}

TEST(Codec, EveryByteRoundTripsInBothCodePages)
{
    for (auto page : {Codec::Windows1252, Codec::Latin1}) {
        CodePageGuard guard(page);
        const auto back = Codec::fromUnicode(Codec::toUnicode(allBytes()));
        ASSERT_TRUE(back.has_value()) << page;
        EXPECT_EQ(*back, allBytes()) << page;
    }
}

TEST(Codec, Latin1MapsBytesToTheSameCodePoints)
{
    CodePageGuard guard(Codec::Latin1);
    const QString text = Codec::toUnicode(allBytes());
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(text.at(i).unicode(), i);
    EXPECT_FALSE(Codec::fromUnicode(ch(0x20AC)).has_value());
}

// Two different names must never become the same bytes: exactly 256 UTF-16
// units encode, each to a byte of its own, and decoding gives them back.
TEST(Codec, EncodingIsOneToOneInBothCodePages)
{
    for (auto page : {Codec::Windows1252, Codec::Latin1}) {
        CodePageGuard guard(page);
        QSet<int> seen;
        int encodable = 0;
        for (int u = 0; u <= 0xFFFF; ++u) {
            const QString one = ch(char16_t(u));
            const auto bytes = Codec::fromUnicode(one);
            EXPECT_EQ(bytes.has_value(), Codec::canEncode(one)) << u;
            if (!bytes)
                continue;
            ++encodable;
            ASSERT_EQ(bytes->size(), 1);
            EXPECT_FALSE(seen.contains(uchar(bytes->at(0)))) << u;
            seen.insert(uchar(bytes->at(0)));
            EXPECT_EQ(Codec::toUnicode(*bytes), one) << u;
        }
        EXPECT_EQ(encodable, 256) << page;
    }
}

TEST(Codec, RefusesUnrepresentableCharactersInsteadOfReplacingThem)
{
    CodePageGuard guard(Codec::Windows1252);
    // U+0080 has no byte in Windows-1252 (0x80 is the euro sign).
    EXPECT_FALSE(Codec::fromUnicode(ch(0x0080)).has_value());
    EXPECT_FALSE(Codec::fromUnicode(u"Jos"_s + ch(0x0101)).has_value());
    EXPECT_FALSE(Codec::fromUnicode(u"smile \U0001F600"_s).has_value());
    EXPECT_FALSE(Codec::canEncode(u"\u4E2D"_s));
    EXPECT_EQ(*Codec::fromUnicode(u"Supervisor"_s), QByteArrayLiteral("Supervisor"));
    EXPECT_EQ(*Codec::fromUnicode(ch(0x20AC) + ch(0x00FF)), QByteArrayLiteral("\x80\xFF"));
    EXPECT_EQ(*Codec::fromUnicode(QString()), QByteArray());
}

TEST(Codec, CheckedEncodingNamesTheFirstCharacterItCannotStore)
{
    CodePageGuard guard(Codec::Windows1252);
    EXPECT_TRUE(Codec::unencodableMessage(u"caf\u00E9"_s).isEmpty());
    EXPECT_EQ(Codec::fromUnicodeChecked(u"caf\u00E9"_s), QByteArrayLiteral("caf\xE9"));

    const QString bad = u"ab\u0101c\u4E2D"_s;
    const QString message = Codec::unencodableMessage(bad);
    EXPECT_TRUE(message.contains(u"U+0101"_s)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"\u0101"_s)) << message.toStdString();
    EXPECT_FALSE(message.contains(u"U+4E2D"_s)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"Windows-1252"_s)) << message.toStdString();
    try {
        Codec::fromUnicodeChecked(bad);
        ADD_FAILURE() << "no exception";
    } catch (const rightsmith::toolkit::Error &e) {
        EXPECT_EQ(e.message(), message);
    }

    // A character outside the basic plane is named by its full code point.
    const QString astral = Codec::unencodableMessage(u"x\U0001F600"_s);
    EXPECT_TRUE(astral.contains(u"U+1F600"_s)) << astral.toStdString();

    CodePageGuard latin(Codec::Latin1);
    EXPECT_TRUE(Codec::unencodableMessage(ch(0x20AC)).contains(u"Latin-1"_s));
}

TEST(Codec, TrimControlRemovesOnlyLeadingAndTrailingBytesUpTo32)
{
    using rightsmith::toolkit::trimControl;
    EXPECT_EQ(trimControl(QByteArrayLiteral("  Save  ")), QByteArrayLiteral("Save"));
    EXPECT_EQ(trimControl(QByteArrayLiteral("\t\r\n\x01 a b\tc \x1F\x20")),
              QByteArrayLiteral("a b\tc"));
    EXPECT_EQ(trimControl(QByteArray("\0\0x\0", 4)), QByteArrayLiteral("x"));
    // Bytes above 127 are characters, not controls, even though char is signed.
    EXPECT_EQ(trimControl(QByteArrayLiteral("\xA0x\xFF")), QByteArrayLiteral("\xA0x\xFF"));
    EXPECT_EQ(trimControl(QByteArrayLiteral("\x21")), QByteArrayLiteral("!"));
    EXPECT_EQ(trimControl(QByteArrayLiteral(" \t\x20\r")), QByteArray());
    EXPECT_EQ(trimControl(QByteArray()), QByteArray());
}
