// Reading and writing the template stream: a 16-byte version stamp, the node
// count N, N node records of 180 bytes in absolute-index order, then one text
// line per node in pre-order, indented by one TAB per level and ended by CR LF.
#include "security/templatestreamlayout.h"
#include "security/tzknoderecord.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/bytestream.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/textlines.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileDevice>
#include <QIODevice>

#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

using TemplateStreamLayout::HeaderSize;
using TemplateStreamLayout::Stamp;
using TemplateStreamLayout::StampSize;

// The reader checks the three stamp words and the byte after them; the three
// padding bytes that follow are not significant.
bool stampMatches(const char *stamp)
{
    return rightsmith::toolkit::readInt32LE(stamp) == 1
        && rightsmith::toolkit::readInt32LE(stamp + 4) == 4
        && rightsmith::toolkit::readInt32LE(stamp + 8) == 0 && stamp[12] == 0;
}

// The byte writer's own message, for a device refused before anything is written.
[[noreturn]] void throwWriteError()
{
    throw rightsmith::toolkit::Error(
        QCoreApplication::translate("rightsmith::toolkit::ByteStream", "Stream write error"));
}

[[noreturn]] void throwReadError()
{
    throw rightsmith::toolkit::Error(
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

// Where a save lays the stream out: straight into memory of the stream's
// full size, or into a piece of bounded size that is written to a device
// whenever the next part does not fit.
class StreamOutput
{
public:
    explicit StreamOutput(char *memory)
        : m_next(memory)
    {
    }
    explicit StreamOutput(QIODevice &device)
        : m_device(&device)
        , m_piece(PieceSize, Qt::Uninitialized)
        , m_next(m_piece.data())
    {
    }

    // Room for the next \a size bytes of the stream.
    char *take(qsizetype size)
    {
        if (m_device && m_next + size > m_piece.data() + m_piece.size()) {
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
        if (!m_device)
            return;
        rightsmith::toolkit::ByteWriter(*m_device).writeBytes(m_piece.constData(),
                                                              m_next - m_piece.constData());
        m_next = m_piece.data();
    }

    QIODevice *m_device = nullptr;
    QByteArray m_piece;
    char *m_next;
};

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
        rightsmith::toolkit::ByteWriter(stream).seek(0);
        if (!stream.isWritable())
            throwWriteError();
    }

    const int n = count();
    // Leading TAB and space bytes would read back as indentation. Levels come
    // from the pre-order itself: a parent always comes before its children.
    std::vector<int> levels(size_t(n), 0);
    qint64 size = HeaderSize + qint64(TzkNodeRecord::Size) * n;
    for (int i = 0; i < n; ++i) {
        zkSecurity::TreeNode *node = nodeAt(i);
        const QByteArray trimmed = rightsmith::toolkit::trimControl(node->text());
        if (trimmed.size() != node->text().size())
            node->setText(trimmed);
        const int level = node->parent() ? levels[size_t(node->parent()->absoluteIndex())] + 1 : 0;
        levels[size_t(i)] = level;
        size += level + node->text().size() + 2;
    }

    if (buffer)
        buffer->buffer().resize(qsizetype(size));
    StreamOutput out = buffer ? StreamOutput(buffer->buffer().data()) : StreamOutput(stream);

    char *header = out.take(HeaderSize);
    std::memcpy(header, Stamp, StampSize);
    rightsmith::toolkit::writeInt32LE(header + StampSize, n);
    for (int i = 0; i < n; ++i) {
        zkSecurity::TreeNode *node = nodeAt(i);
        // A node without a record (left by a damaged stream) is written with
        // an all-zero record, so the stream stays whole.
        TzkNodeRecord zero;
        const TzkNodeRecord *record = node->data();
        if (!record) {
            zero.NodeIndex = i;
            zero.ImageIndex = node->imageIndex();
            record = &zero;
        } else if (record->NodeIndex != i || record->ImageIndex != node->imageIndex()) {
            TzkNodeRecord *edited = node->editData();
            edited->NodeIndex = i;
            edited->ImageIndex = node->imageIndex();
        }
        record->writeTo(out.take(TzkNodeRecord::Size));
    }
    for (int i = 0; i < n; ++i) {
        const QByteArray &text = nodeAt(i)->text();
        const int level = levels[size_t(i)];
        char *line = out.take(level + text.size() + 2);
        std::memset(line, '\t', size_t(level));
        std::memcpy(line + level, text.constData(), size_t(text.size()));
        line[level + text.size()] = '\r';
        line[level + text.size() + 1] = '\n';
    }
    out.finish();

    if (buffer) {
        // The buffer ends with the last line, like a device truncated there.
        buffer->seek(size);
        return;
    }
    truncateAt(stream, stream.pos());
}

void TzkSecurityTemplate::LoadFromStreamSecurity(QIODevice &stream)
{
    rightsmith::toolkit::ByteReader in(stream);
    in.seek(0);
    char stamp[StampSize];
    in.readExact(stamp, StampSize);
    if (!stampMatches(stamp))
        throw rightsmith::toolkit::Error(tr("Version mismatch. Cannot continue"));

    const qint32 n = in.readInt32();
    // The records must really be there before the tree is touched; a
    // negative or oversized count is a damaged stream.
    const qint64 recordsSize = qint64(TzkNodeRecord::Size) * qint64(n);
    if (n < 0 || recordsSize > in.remaining())
        throwReadError();

    // Records and text in one read, of what the stream really holds; the
    // lines are parsed in place.
    const QByteArray rest = in.readAll();
    if (rest.size() < recordsSize)
        throwReadError();
    const char *const records = rest.constData();

    ClearTemplate();

    zkSecurity::TreeNode *previous = nullptr;
    qsizetype previousLevel = 0;
    // One node per line; a zero byte ends the whole text section.
    rightsmith::toolkit::forEachTextLine(
        records + recordsSize, rest.size() - qsizetype(recordsSize),
        [&](const char *line, qsizetype size) {
            qsizetype level = 0;
            while (level < size && (line[level] == '\t' || line[level] == ' '))
                ++level;
            const QByteArray nodeText(line + level, size - level);

            zkSecurity::TreeNode *node = nullptr;
            qsizetype nodeLevel = level;
            if (!previous) {
                // The first line is top-level whatever its indentation.
                node = addChild(nullptr, nodeText);
                nodeLevel = 0;
            } else if (level == previousLevel) {
                node = addChild(previous->parent(), nodeText);
            } else if (level == previousLevel + 1) {
                node = addChild(previous, nodeText);
            } else if (level < previousLevel) {
                zkSecurity::TreeNode *ancestor = previous->parent();
                qsizetype ancestorLevel = previousLevel - 1;
                while (ancestorLevel > level) {
                    ancestor = ancestor->parent();
                    --ancestorLevel;
                }
                node = addChild(ancestor->parent(), nodeText);
            } else {
                throw rightsmith::toolkit::Error(
                    tr("Invalid level (%1) for item \"%2\"")
                        .arg(level)
                        .arg(rightsmith::toolkit::Codec::toUnicode(nodeText)));
            }
            previous = node;
            previousLevel = nodeLevel;
        });

    for (qint32 i = 0; i < n; ++i) {
        const TzkNodeRecord record =
            TzkNodeRecord::fromBytes(records + qsizetype(i) * TzkNodeRecord::Size);
        zkSecurity::TreeNode *node = nodeAt(record.NodeIndex);
        if (!node)
            throw rightsmith::toolkit::Error(tr("Invalid index"));
        node->setImages(record.ImageIndex);
        node->setData(record);
    }
}

} // namespace zkSecurity
