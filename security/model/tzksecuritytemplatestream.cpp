// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Reading and writing the template stream: a 16-byte version stamp, the node
// count N, N node records of 180 bytes in absolute-index order, then one text
// line per node in pre-order, indented by one TAB per level and ended by CR LF.
#include "security/model/templatestreamlayout_p.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity {

namespace {

using TemplateStreamLayout::HeaderSize;
using TemplateStreamLayout::Stamp;
using TemplateStreamLayout::StampSize;

// The reader checks the three stamp words and the byte after them; the three
// padding bytes that follow are not significant.
bool stampMatches(const char *stamp)
{
    return toolkit::readInt32LE(stamp) == 1 && toolkit::readInt32LE(stamp + 4) == 4
        && toolkit::readInt32LE(stamp + 8) == 0 && stamp[12] == 0;
}

// The byte writer's own message, for a device refused before anything is written.
[[noreturn]] void throwWriteError()
{
    throw toolkit::Error(
        QCoreApplication::translate("rightsmith::toolkit::ByteStream", "Stream write error"));
}

[[noreturn]] void throwReadError()
{
    throw toolkit::Error(
        QCoreApplication::translate("zkSecurity::TzkSecurityTemplate", "Stream read error"));
}

// After a save the stream must end with the last line: bytes left behind by
// an earlier, longer content would otherwise be read back as more nodes.
void truncateAt(QIODevice &stream, qint64 end)
{
    if (stream.isSequential() || stream.size() <= end)
        return;
    if (auto *buffer = qobject_cast<QBuffer *>(&stream))
        buffer->buffer().truncate(end);
    else if (auto *file = qobject_cast<QFileDevice *>(&stream))
        file->resize(end);
}

// A save to a device other than a plain QBuffer lays the stream out in a
// piece of bounded size, written to the device whenever the next part does
// not fit: never a second copy of the whole stream in memory.
class StreamOutput
{
public:
    explicit StreamOutput(QIODevice &device)
        : m_device(device)
        , m_piece(PieceSize, Qt::Uninitialized)
        , m_next(m_piece.data())
    {
    }

    // Room for the next \a size bytes of the stream.
    char *take(qsizetype size)
    {
        if (m_next + size > m_piece.data() + m_piece.size()) {
            flush();
            if (size > m_piece.size())
                m_piece.resize(size); // one text line longer than a piece
            m_next = m_piece.data();
        }
        char *at = m_next;
        m_next += size;
        return at;
    }
    void finish() { flush(); }

private:
    static constexpr qsizetype PieceSize = 1 << 20;

    void flush()
    {
        toolkit::ByteWriter(m_device).writeBytes(m_piece.constData(), m_next - m_piece.constData());
        m_next = m_piece.data();
    }

    QIODevice &m_device;
    QByteArray m_piece;
    char *m_next;
};

// Leading TAB and space bytes would read back as indentation: the node
// keeps its text trimmed, as it is stored.
const QByteArray &trimmedText(zkSecurity::TreeNode *node)
{
    const QByteArray &text = node->text();
    if (!text.isEmpty() && (uchar(text.front()) <= 32 || uchar(text.back()) <= 32))
        node->setText(toolkit::trimControl(text));
    return node->text();
}

// Each node's level, and the size of the whole stream.
struct StreamPlan
{
    std::vector<int> levels;
    qint64 size = 0;
};

// Levels come from the pre-order itself: a parent always comes before its
// children. A device gets the texts trimmed before its first byte, so a
// write that fails half-way leaves no text half done; a buffer, which
// cannot fail half-way, gets them trimmed as they are written, and the
// size counts them as they stand (trimming only ever shortens them).
StreamPlan planStream(const Tree &tree, bool trimFirst)
{
    const int n = tree.count();
    StreamPlan plan {std::vector<int>(size_t(n), 0), HeaderSize + qint64(TzkNodeRecord::Size) * n};
    for (int i = 0; i < n; ++i) {
        zkSecurity::TreeNode *node = tree.nodeAt(i);
        if (trimFirst)
            trimmedText(node);
        const int level =
            node->parent() ? plan.levels[size_t(node->parent()->absoluteIndex())] + 1 : 0;
        plan.levels[size_t(i)] = level;
        plan.size += level + node->text().size() + 2;
    }
    return plan;
}

void writeHeader(char *header, int n)
{
    std::memcpy(header, Stamp, StampSize);
    toolkit::writeInt32LE(header + StampSize, n);
}

// Writes one text line; returns its length.
qsizetype writeLine(const QByteArray &text, int level, char *line)
{
    std::memset(line, '\t', size_t(level));
    std::memcpy(line + level, text.constData(), size_t(text.size()));
    line[level + text.size()] = '\r';
    line[level + text.size() + 1] = '\n';
    return level + text.size() + 2;
}

template<typename WriteRecord>
void saveToBuffer(const Tree &tree, QBuffer &buffer, const StreamPlan &plan,
                  WriteRecord writeRecord)
{
    const int n = tree.count();
    // One walk fills both the records and the lines, whose section starts
    // right after the last record.
    QByteArray &bytes = buffer.buffer();
    bytes.resize(qsizetype(plan.size));
    char *const data = bytes.data();
    writeHeader(data, n);
    char *const records = data + HeaderSize;
    char *line = records + qsizetype(TzkNodeRecord::Size) * n;
    for (int i = 0; i < n; ++i) {
        zkSecurity::TreeNode *node = tree.nodeAt(i);
        writeRecord(node, i, records + qsizetype(TzkNodeRecord::Size) * i);
        line += writeLine(trimmedText(node), plan.levels[size_t(i)], line);
    }
    // The buffer ends with the last line, like a device truncated there.
    const qsizetype end = line - data;
    bytes.resize(end);
    buffer.seek(end);
}

template<typename WriteRecord>
void saveToDevice(const Tree &tree, QIODevice &stream, const std::vector<int> &levels,
                  WriteRecord writeRecord)
{
    const int n = tree.count();
    StreamOutput out(stream);
    writeHeader(out.take(HeaderSize), n);
    for (int i = 0; i < n; ++i)
        writeRecord(tree.nodeAt(i), i, out.take(TzkNodeRecord::Size));
    for (int i = 0; i < n; ++i) {
        const QByteArray &text = tree.nodeAt(i)->text();
        const int level = levels[size_t(i)];
        writeLine(text, level, out.take(level + text.size() + 2));
    }
    out.finish();
    truncateAt(stream, stream.pos());
}

} // namespace

void TzkSecurityTemplate::SaveToStreamSecurity(QIODevice &stream)
{
    // A plain QBuffer gets the stream laid out in its own array, at its full
    // size; any other device gets it in pieces, never a second copy in memory.
    // A device that cannot take it fails before anything changes.
    auto *buffer = qobject_cast<QBuffer *>(&stream);
    if (buffer && (buffer->metaObject() != &QBuffer::staticMetaObject || !buffer->isWritable()))
        buffer = nullptr;
    if (!buffer) {
        toolkit::ByteWriter(stream).seek(0);
        if (!stream.isWritable())
            throwWriteError();
    }

    const StreamPlan plan = planStream(*this, !buffer);
    // Each record with its index and image brought up to date first.
    const auto writeRecord = [this](zkSecurity::TreeNode *node, int i, char *at) {
        writeStoredRecord(node, i, at);
    };
    if (buffer)
        saveToBuffer(*this, *buffer, plan, writeRecord);
    else
        saveToDevice(*this, stream, plan.levels, writeRecord);
}

void TzkSecurityTemplate::SaveTopLevelSecurity(int i, QByteArray &records, QByteArray &lines)
{
    records.clear();
    lines.clear();
    zkSecurity::TreeNode *top = topLevel(i);
    if (!top)
        return;
    const int first = top->absoluteIndex();
    const int end = i + 1 < topLevelCount() ? topLevel(i + 1)->absoluteIndex() : count();
    std::vector<int> levels(size_t(end - first), 0);
    qsizetype size = 0;
    for (int k = first; k < end; ++k) {
        zkSecurity::TreeNode *node = nodeAt(k);
        trimmedText(node);
        if (k > first)
            levels[size_t(k - first)] = levels[size_t(node->parent()->absoluteIndex() - first)] + 1;
        size += levels[size_t(k - first)] + node->text().size() + 2;
    }
    records.resize(qsizetype(TzkNodeRecord::Size) * (end - first));
    lines.resize(size);
    char *line = lines.data();
    for (int k = first; k < end; ++k) {
        zkSecurity::TreeNode *node = nodeAt(k);
        writeStoredRecord(node, k, records.data() + qsizetype(TzkNodeRecord::Size) * (k - first));
        line += writeLine(node->text(), levels[size_t(k - first)], line);
    }
}

void TzkSecurityTemplate::LoadFromStreamSecurity(QIODevice &stream)
{
    toolkit::ByteReader in(stream);
    in.seek(0);
    char stamp[StampSize];
    in.readExact(stamp, StampSize);
    if (!stampMatches(stamp))
        throw toolkit::Error(tr("Version mismatch. Cannot continue"));

    const qint32 n = in.readInt32();
    // The records must really be there before the tree is touched; a
    // negative or oversized count is a damaged stream.
    const qint64 recordsSize = qint64(TzkNodeRecord::Size) * qint64(n);
    if (n < 0 || recordsSize > in.remaining())
        throwReadError();

    // Records and text as the stream really holds them, parsed in place: a
    // plain QBuffer's own array (read as it is stored, not in text mode).
    // Any other device has its text read whole and its records in pieces,
    // so that a load never holds a second copy of the whole stream.
    StreamSource source {stamp, n, nullptr, nullptr, 0, {}};
    QByteArray held;
    auto *buffer = qobject_cast<QBuffer *>(&stream);
    if (buffer && buffer->metaObject() == &QBuffer::staticMetaObject && buffer->isReadable()
        && !buffer->isTextModeEnabled() && !buffer->isTransactionStarted()) {
        held = buffer->data();
        const qsizetype at = qsizetype(qBound<qint64>(0, buffer->pos(), held.size()));
        if (held.size() - at < recordsSize)
            throwReadError();
        source.records = held.constData() + at;
        source.text = source.records + recordsSize;
        source.textSize = held.size() - at - qsizetype(recordsSize);
        buffer->seek(held.size());
    } else {
        in.seek(TemplateStreamLayout::linesOffset(n));
        held = in.readAll();
        source.text = held.constData();
        source.textSize = held.size();
        source.device = [&in](qint32 first, char *into, qint32 count) {
            in.seek(HeaderSize + qint64(first) * TzkNodeRecord::Size);
            in.readExact(into, qint64(count) * TzkNodeRecord::Size);
        };
    }

    // Views see the load as one reset, not as a signal per node.
    replaceContents([&] { fillFromStream(source); });
}

// Builds the nodes from the text lines, then attaches the records. Notes
// along the way whether the stream is exactly what a save of the tree it
// gives writes: then a save of the unchanged tree need not be compared.
void TzkSecurityTemplate::fillFromStream(const StreamSource &source)
{
    ClearTemplate();
    m_asReadAt.reset();
    const qint32 n = source.n;
    bool asWritten = std::memcmp(source.stamp, Stamp, StampSize) == 0;

    // One node per line: CR LF, a lone CR or a lone LF ends a line; a zero
    // byte ends the whole text section. The lines are read into a plan
    // first, so that the nodes are made in bulk with room for their children.
    const char *const text = source.text;
    const char *const zero =
        static_cast<const char *>(std::memchr(text, 0, size_t(source.textSize)));
    const char *const end = zero ? zero : text + source.textSize;
    asWritten = asWritten && !zero;
    // The next CR and the next LF at or after the line read, each found
    // again only once the lines have passed it.
    const auto next = [end](const char *from, char byte) {
        const void *found = std::memchr(from, byte, size_t(end - from));
        return found ? static_cast<const char *>(found) : end;
    };
    const char *nextCr = next(text, '\r');
    const char *nextLf = next(text, '\n');

    std::vector<LoadedNode> plan;
    plan.reserve(size_t(n));
    qint32 previous = -1;
    qsizetype previousLevel = 0;
    std::optional<toolkit::Error> badLevel;
    for (const char *pos = text; pos < end;) {
        if (nextCr < pos)
            nextCr = next(pos, '\r');
        if (nextLf < pos)
            nextLf = next(pos, '\n');
        const char *const eol = std::min(nextCr, nextLf);
        const char *const line = pos;
        const qsizetype size = eol - pos;
        pos = eol + 1;
        if (eol + 1 < end && *eol == '\r' && eol[1] == '\n')
            pos = eol + 2;
        else
            asWritten = false;

        qsizetype level = 0;
        bool tabs = true;
        while (level < size && (line[level] == '\t' || line[level] == ' ')) {
            tabs = tabs && line[level] == '\t';
            ++level;
        }
        const char *const nodeText = line + level;
        const qsizetype nodeTextSize = size - level;

        qint32 parent = -1;
        qsizetype nodeLevel = level;
        if (previous < 0) {
            // The first line is top-level whatever its indentation.
            nodeLevel = 0;
        } else if (level == previousLevel) {
            parent = plan[size_t(previous)].parent;
        } else if (level == previousLevel + 1) {
            parent = previous;
        } else if (level < previousLevel) {
            qint32 ancestor = plan[size_t(previous)].parent;
            for (qsizetype ancestorLevel = previousLevel - 1; ancestorLevel > level;
                 --ancestorLevel)
                ancestor = plan[size_t(ancestor)].parent;
            parent = plan[size_t(ancestor)].parent;
        } else {
            // The lines before it still become nodes.
            badLevel = toolkit::Error(
                tr("Invalid level (%1) for item \"%2\"")
                    .arg(level)
                    .arg(toolkit::Codec::toUnicode(QByteArray(nodeText, nodeTextSize))));
            break;
        }
        // A save writes TABs only, as many as the level, and trimmed texts.
        asWritten = asWritten && tabs && level == nodeLevel
            && (nodeTextSize == 0
                || (uchar(nodeText[0]) > 32 && uchar(nodeText[nodeTextSize - 1]) > 32));
        if (parent >= 0)
            ++plan[size_t(parent)].children;
        previous = qint32(plan.size());
        plan.push_back({nodeText, nodeTextSize, parent, 0});
        previousLevel = nodeLevel;
    }
    addLoaded(plan);
    if (badLevel)
        throw *badLevel;
    const qint64 lines = qint64(plan.size());
    std::vector<LoadedNode>().swap(plan);
    asWritten = asWritten && lines == n;

    auto attach = [&](const char *records, qint32 first, qint32 count) {
        if (attachStoredRecords(records, count, first, asWritten) < count)
            throw toolkit::Error(tr("Invalid index"));
    };
    if (source.records) {
        attach(source.records, 0, n);
    } else {
        constexpr qint32 Piece = 4096;
        std::vector<char> piece(size_t(std::min(n, Piece)) * TzkNodeRecord::Size);
        for (qint32 first = 0; first < n; first += Piece) {
            const qint32 count = std::min(Piece, n - first);
            source.device(first, piece.data(), count);
            attach(piece.data(), first, count);
        }
    }
    if (asWritten)
        m_asReadAt = generation();
}

bool TzkSecurityTemplate::SavesAsRead() const
{
    return m_asReadAt == generation();
}

} // namespace zkSecurity
