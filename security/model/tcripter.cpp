// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/tcripter.h"

namespace zkCript {

namespace {

// The key of every stored password. Position j (1..L-1) of a text gives the
// shift; j == 0 gives none, so the last key byte is never used.
const QByteArray &cripterKey()
{
    static const QByteArray key = QByteArrayLiteral("q807162534vbnrtq");
    return key;
}

uchar shiftAt(qsizetype position)
{
    const QByteArray &key = cripterKey();
    const qsizetype j = position % key.size();
    return j == 0 ? 0 : uchar(key.at(j - 1));
}

} // namespace

QByteArray TCripter::Scramble(const QByteArray &text)
{
    QByteArray result(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        result[i] = char(uchar(uchar(text.at(i)) + shiftAt(i + 1)));
    return result;
}

QByteArray TCripter::Unscramble(const QByteArray &scrambled)
{
    QByteArray result(scrambled.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < scrambled.size(); ++i)
        result[i] = char(uchar(uchar(scrambled.at(i)) - shiftAt(i + 1)));
    return result;
}

} // namespace zkCript
