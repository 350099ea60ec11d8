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
