// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The top-level node texts of a template stream, read in pieces without
// building the tree: what a command that prints user names needs, at a cost
// that does not grow with the rights every user holds.
#include "security/model/templatenames_p.h"
#include "security/model/templatestreamlayout_p.h"
#include "security/model/tzknoderecord.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"

#include <QCoreApplication>
#include <QIODevice>

#include <cstddef>
#include <limits>

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity {

namespace {

// The loader's own messages, in its translation context.
QString loaderText(const char *text)
{
    return QCoreApplication::translate("zkSecurity::TzkSecurityTemplate", text);
}

[[noreturn]] void throwReadError()
{
    throw toolkit::Error(loaderText("Stream read error"));
}

constexpr qint64 PieceSize = 1 << 20;
constexpr int RecordsPerPiece = int(PieceSize / TzkNodeRecord::Size);

// The text lines, fed in pieces and split as the loader splits them: CR LF,
// a lone CR or a lone LF ends a line, a final line without a break counts,
// a zero byte ends the whole text. Each line's level decides, as the loader's
// tree building does, whether it is top-level or too deep.
class LineWalker
{
public:
    // False once a zero byte has ended the text.
    bool feed(const char *data, qint64 size)
    {
        qint64 i = 0;
        while (i < size) {
            const char c = data[i];
            if (c == 0) {
                finish();
                return false;
            }
            if (c == '\r' || c == '\n') {
                // The LF of a CR LF ends nothing more.
                if (!(m_afterCr && c == '\n'))
                    endLine();
                m_afterCr = c == '\r';
                ++i;
                continue;
            }
            m_afterCr = false;
            qint64 end = i;
            while (end < size && data[end] != 0 && data[end] != '\r' && data[end] != '\n')
                ++end;
            m_line.append(data + i, end - i);
            m_open = true;
            i = end;
        }
        return true;
    }

    void finish()
    {
        if (m_open)
            endLine();
        m_open = false;
        m_afterCr = false;
    }

    qint64 lines() const { return m_lines; }
    QList<QByteArray> takeTopLevel() { return std::move(m_topLevel); }

private:
    void endLine()
    {
        qsizetype level = 0;
        while (level < m_line.size() && (m_line[level] == '\t' || m_line[level] == ' '))
            ++level;
        qsizetype nodeLevel = level;
        if (m_lines == 0) {
            // The first line is top-level whatever its indentation.
            nodeLevel = 0;
        } else if (level > m_previousLevel + 1) {
            throw toolkit::Error(loaderText("Invalid level (%1) for item \"%2\"")
                                     .arg(level)
                                     .arg(toolkit::Codec::toUnicode(m_line.mid(level))));
        }
        // Levels go up at most one a line, so a node's level is its depth:
        // level 0 is a top-level node.
        if (nodeLevel == 0)
            m_topLevel.append(m_line.mid(level));
        m_previousLevel = nodeLevel;
        ++m_lines;
        m_line.resize(0); // keeps its memory for the next line
        m_open = false;
    }

    QByteArray m_line;
    bool m_open = false;
    bool m_afterCr = false;
    qsizetype m_previousLevel = 0;
    qint64 m_lines = 0;
    QList<QByteArray> m_topLevel;
};

// Reads up to \a size bytes into \a into; fewer only at the end of the stream.
qint64 readPiece(QIODevice &stream, char *into, qint64 size)
{
    qint64 got = 0;
    while (got < size) {
        const qint64 n = stream.read(into + got, size - got);
        if (n < 0)
            throwReadError();
        if (n == 0 && !stream.waitForReadyRead(-1))
            break;
        got += n;
    }
    return got;
}

} // namespace

QList<QByteArray> templateTopLevelTexts(QIODevice &stream)
{
    toolkit::ByteReader in(stream);
    in.seek(0);
    char stamp[TemplateStreamLayout::StampSize];
    in.readExact(stamp, TemplateStreamLayout::StampSize);
    if (toolkit::readInt32LE(stamp) != 1 || toolkit::readInt32LE(stamp + 4) != 4
        || toolkit::readInt32LE(stamp + 8) != 0 || stamp[12] != 0)
        throw toolkit::Error(loaderText("Version mismatch. Cannot continue"));

    const qint32 n = in.readInt32();
    if (n < 0 || (!stream.isSequential() && qint64(TzkNodeRecord::Size) * n > in.remaining()))
        throwReadError();

    // The records: only the range of the node indexes they name matters.
    QByteArray piece(PieceSize, Qt::Uninitialized);
    qint32 lowest = std::numeric_limits<qint32>::max();
    qint32 highest = std::numeric_limits<qint32>::min();
    for (qint32 done = 0; done < n;) {
        const int count = int(qMin<qint64>(RecordsPerPiece, n - done));
        const qint64 size = qint64(count) * TzkNodeRecord::Size;
        if (readPiece(stream, piece.data(), size) != size)
            throwReadError();
        for (int i = 0; i < count; ++i) {
            const qint32 index = toolkit::readInt32LE(piece.constData() + i * TzkNodeRecord::Size
                                                      + offsetof(TzkNodeRecord, NodeIndex));
            lowest = qMin(lowest, index);
            highest = qMax(highest, index);
        }
        done += count;
    }

    LineWalker lines;
    for (;;) {
        const qint64 got = readPiece(stream, piece.data(), PieceSize);
        if (got == 0 || !lines.feed(piece.constData(), got))
            break;
    }
    lines.finish();

    // Every record must name one of the nodes the lines made.
    if (n > 0 && (lowest < 0 || highest >= lines.lines()))
        throw toolkit::Error(loaderText("Invalid index"));
    return lines.takeTopLevel();
}

} // namespace zkSecurity
