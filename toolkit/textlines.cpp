#include "toolkit/textlines.h"

namespace rightsmith::toolkit {

QList<QByteArray> splitTextLines(QByteArray text)
{
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    QList<QByteArray> lines;
    qsizetype pos = 0;
    const qsizetype end = text.size();
    while (pos < end) {
        qsizetype eol = pos;
        while (eol < end && text.at(eol) != '\r' && text.at(eol) != '\n')
            ++eol;
        lines.append(text.mid(pos, eol - pos));
        pos = eol + 1;
        if (eol + 1 < end && text.at(eol) == '\r' && text.at(eol + 1) == '\n')
            pos = eol + 2;
    }
    return lines;
}

} // namespace rightsmith::toolkit
