// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QList>

#include <cstring>

namespace rightsmith::toolkit {

/// Splits 8-bit text into lines the way stored text lists are read: CR LF, a
/// lone CR or a lone LF ends a line, a final line without a break still
/// counts, and a zero byte ends the whole text.
RIGHTSMITH_CORE_AUTOTEST_EXPORT QList<QByteArray> splitTextLines(QByteArray text);

/// Calls \a line(begin, size) for every line of the \a size bytes at \a text,
/// split as splitTextLines() does, without copying them.
template<typename LineFunction>
void forEachTextLine(const char *text, qsizetype size, LineFunction line)
{
    const char *const zero = static_cast<const char *>(std::memchr(text, 0, size_t(size)));
    const char *const end = zero ? zero : text + size;
    const char *pos = text;
    while (pos < end) {
        const char *eol = pos;
        while (eol < end && *eol != '\r' && *eol != '\n')
            ++eol;
        line(pos, qsizetype(eol - pos));
        pos = eol + 1;
        if (eol + 1 < end && *eol == '\r' && eol[1] == '\n')
            pos = eol + 2;
    }
}

} // namespace rightsmith::toolkit
