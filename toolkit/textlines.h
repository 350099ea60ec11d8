#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QList>

namespace rightsmith::toolkit {

/// Splits 8-bit text into lines the way stored text lists are read: CR LF, a
/// lone CR or a lone LF ends a line, a final line without a break still
/// counts, and a zero byte ends the whole text.
RIGHTSMITH_CORE_EXPORT QList<QByteArray> splitTextLines(QByteArray text);

} // namespace rightsmith::toolkit
