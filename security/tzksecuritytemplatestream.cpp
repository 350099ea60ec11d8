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

} // namespace

void TzkSecurityTemplate::SaveToStreamSecurity(QIODevice &stream)
{
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

    // The whole stream is laid out in one buffer: the buffer of a QBuffer
    // itself, or one written at once.
    QByteArray bytes;
    auto *buffer = qobject_cast<QBuffer *>(&stream);
    QByteArray &target = buffer && buffer->isWritable() ? buffer->buffer() : bytes;
    target.resize(qsizetype(size));
    char *p = target.data();
    std::memcpy(p, Stamp, StampSize);
    rightsmith::toolkit::writeInt32LE(p + StampSize, n);
    char *text = p + HeaderSize + qint64(TzkNodeRecord::Size) * n;
    p += HeaderSize;
    for (int i = 0; i < n; ++i, p += TzkNodeRecord::Size) {
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
        record->writeTo(p);

        const QByteArray &nodeText = node->text();
        const int level = levels[size_t(i)];
        std::memset(text, '\t', size_t(level));
        text += level;
        std::memcpy(text, nodeText.constData(), size_t(nodeText.size()));
        text += nodeText.size();
        *text++ = '\r';
        *text++ = '\n';
    }
    Q_ASSERT(text == target.constData() + target.size());

    if (&target != &bytes) {
        // The buffer ends with the last line, like a device truncated there.
        buffer->seek(size);
        return;
    }
    rightsmith::toolkit::ByteWriter out(stream);
    out.seek(0);
    out.writeBytes(bytes);
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
