#pragma once

#include <QByteArray>
#include <QList>

namespace rightsmith::toolkit {

/// Splits 8-bit text into lines the way stored text lists are read: CR LF, a
/// lone CR or a lone LF ends a line, a final line without a break still
/// counts, and a zero byte ends the whole text.
QList<QByteArray> splitTextLines(QByteArray text);

} // namespace rightsmith::toolkit
