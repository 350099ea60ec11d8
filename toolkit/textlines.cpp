// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/textlines_p.h"

namespace rightsmith::toolkit {

QList<QByteArray> splitTextLines(QByteArray text)
{
    QList<QByteArray> lines;
    forEachTextLine(text.constData(), text.size(), [&lines](const char *line, qsizetype size) {
        lines.append(QByteArray(line, size));
    });
    return lines;
}

} // namespace rightsmith::toolkit
