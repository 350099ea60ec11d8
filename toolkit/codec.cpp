// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/codec.h"

#include "toolkit/error.h"

#include <QCoreApplication>

#include <array>

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

namespace {

// The code page is process-wide and meant to be chosen once at start-up,
// before any text is converted; it is a plain static, not guarded for threads.
Codec::CodePage s_codePage = Codec::Windows1252;

// Windows-1252 bytes 0x80..0x9F. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the C1 control of the same value, as
// Windows' own conversion does, and encode back to that byte.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

char16_t decodeByte(uchar byte)
{
    if (s_codePage == Codec::Windows1252 && byte >= 0x80 && byte <= 0x9F)
        return cp1252High[byte - 0x80];
    return byte;
}

// The byte for \a unit, or -1 when the code page has none.
int encodeUnit(char16_t unit)
{
    if (unit < 0x80)
        return unit;
    if (s_codePage == Codec::Latin1)
        return unit <= 0xFF ? int(unit) : -1;
    if (unit >= 0xA0 && unit <= 0xFF)
        return unit;
    for (std::size_t i = 0; i < cp1252High.size(); ++i) {
        if (cp1252High[i] == unit)
            return int(0x80 + i);
    }
    return -1;
}

QString codePageName()
{
    return s_codePage == Codec::Windows1252 ? u"Windows-1252"_s : u"Latin-1"_s;
}

// Position of the first character of \a text with no byte in the code page, or -1.
qsizetype firstUnencodable(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (encodeUnit(text.at(i).unicode()) < 0)
            return i;
    }
    return -1;
}

} // namespace

Codec::CodePage Codec::codePage()
{
    return s_codePage;
}

void Codec::setCodePage(CodePage codePage)
{
    s_codePage = codePage;
}

QString Codec::toUnicode(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(decodeByte(uchar(bytes.at(i))));
    return text;
}

std::optional<QByteArray> Codec::fromUnicode(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = encodeUnit(text.at(i).unicode());
        if (byte < 0)
            return std::nullopt;
        out[i] = char(byte);
    }
    return bytes;
}

bool Codec::canEncode(const QString &text)
{
    return firstUnencodable(text) < 0;
}

QByteArray Codec::fromUnicodeChecked(const QString &text)
{
    if (auto bytes = fromUnicode(text))
        return *std::move(bytes);
    throw Error(unencodableMessage(text));
}

QString Codec::unencodableMessage(const QString &text)
{
    const qsizetype i = firstUnencodable(text);
    if (i < 0)
        return QString();
    // Name the whole character, also when it is a surrogate pair.
    char32_t codePoint = text.at(i).unicode();
    QString shown = text.mid(i, 1);
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        codePoint = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
        shown = text.mid(i, 2);
    } else if (text.at(i).isSurrogate() || !text.at(i).isPrint()) {
        shown.clear(); // nothing printable to show; the code point says it all
    }
    const QString code = u"U+%1"_s.arg(uint(codePoint), 4, 16, QChar(u'0')).toUpper();
    const QString what = shown.isEmpty()
        ? code
        : QCoreApplication::translate("rightsmith::toolkit::Codec", "\"%1\" (%2)").arg(shown, code);
    return QCoreApplication::translate("rightsmith::toolkit::Codec",
                                       "The character %1 cannot be stored in the %2 code page.")
        .arg(what, codePageName());
}

QByteArray trimControl(const QByteArray &bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && uchar(bytes.at(begin)) <= 32)
        ++begin;
    while (end > begin && uchar(bytes.at(end - 1)) <= 32)
        --end;
    if (begin == 0 && end == bytes.size())
        return bytes;
    return bytes.mid(begin, end - begin);
}

} // namespace rightsmith::toolkit
