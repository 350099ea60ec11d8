// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// A user template stream cut at its users and put together again, and the
// users of a tree replaced by rows in place.
#include "security/model/templatestreamlayout_p.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/templaterows_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"

#include <QCoreApplication>
#include <QHash>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace zkSecurity::TemplateRows {

namespace {

using TemplateStreamLayout::HeaderSize;
using TemplateStreamLayout::Stamp;
using TemplateStreamLayout::StampSize;

constexpr int RecordSize = TzkNodeRecord::Size;
constexpr int IndexOffset = offsetof(TzkNodeRecord, NodeIndex);

QByteArray view(const char *data, qsizetype size)
{
    return QByteArray::fromRawData(data, size);
}

[[noreturn]] void throwReadError()
{
    throw rightsmith::toolkit::Error(
        QCoreApplication::translate("zkSecurity::TzkSecurityTemplate", "Stream read error"));
}

// One text line of a row: its level (leading TABs) and its text.
struct Line
{
    int level;
    QByteArray text;
};

// The lines of \a row, one per record; throws when they are not.
std::vector<Line> linesOf(const Row &row)
{
    std::vector<Line> lines;
    lines.reserve(size_t(row.nodes()));
    const char *at = row.lines.constData();
    const char *const end = at + row.lines.size();
    while (at < end) {
        int level = 0;
        while (at < end && *at == '\t') {
            ++at;
            ++level;
        }
        const char *eol = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
        if (!eol || eol + 1 >= end || eol[1] != '\n')
            throwReadError();
        // The first line is the user's, the others below it, a level at most deeper.
        const int expected = lines.empty() ? 0 : lines.back().level + 1;
        if ((lines.empty() && level != 0) || (!lines.empty() && (level < 1 || level > expected)))
            throwReadError();
        lines.push_back({level, QByteArray(at, eol - at)});
        at = eol + 2;
    }
    if (qsizetype(lines.size()) != row.nodes() || row.records.size() % RecordSize != 0)
        throwReadError();
    return lines;
}

// The nodes of the subtree of \a node, in pre-order.
std::vector<TreeNode *> subtree(TreeNode *node)
{
    std::vector<TreeNode *> nodes;
    std::vector<TreeNode *> pending {node};
    while (!pending.empty()) {
        TreeNode *next = pending.back();
        pending.pop_back();
        nodes.push_back(next);
        for (int i = next->count() - 1; i >= 0; --i)
            pending.push_back(next->item(i));
    }
    return nodes;
}

// Whether a line's text of \a size bytes at \a at reads back as itself: trimmed,
// and with no line end or NUL in it.
bool readsBack(const char *at, qsizetype size)
{
    return size == 0
        || (uchar(at[0]) > 32 && uchar(at[size - 1]) > 32 && !std::memchr(at, '\n', size_t(size))
            && !std::memchr(at, 0, size_t(size)));
}

bool sameShape(const std::vector<TreeNode *> &nodes, const std::vector<Line> &lines)
{
    if (nodes.size() != lines.size())
        return false;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i]->level() != lines[i].level)
            return false;
    }
    return true;
}

// Gives \a node the text and record of a row's line and record, as a load would.
void take(TreeNode *node, const QByteArray &text, const char *recordBytes)
{
    if (node->text() != text)
        node->setText(text);
    const TzkNodeRecord record = TzkNodeRecord::fromBytes(recordBytes);
    char held[RecordSize];
    if (!node->data() || (node->data()->writeTo(held), std::memcmp(held, recordBytes, RecordSize)))
        node->setData(record);
    if (node->imageIndex() != record.ImageIndex || node->selectedIndex() != record.ImageIndex)
        node->setImages(record.ImageIndex);
}

void append(TzkSecurityTemplate &tree, const Row &row)
{
    const std::vector<Line> lines = linesOf(row);
    std::vector<TreeNode *> parents;
    for (size_t i = 0; i < lines.size(); ++i) {
        parents.resize(size_t(lines[i].level));
        TreeNode *node = tree.addChild(parents.empty() ? nullptr : parents.back(), lines[i].text);
        take(node, lines[i].text, row.records.constData() + qsizetype(i) * RecordSize);
        parents.push_back(node);
    }
}

} // namespace

int Row::nodes() const
{
    return int(records.size() / RecordSize);
}

std::optional<QList<Row>> split(const QByteArray &stream)
{
    if (stream.size() < HeaderSize || std::memcmp(stream.constData(), Stamp, StampSize) != 0)
        return std::nullopt;
    const qint32 n = rightsmith::toolkit::readInt32LE(stream.constData() + StampSize);
    if (n < 0 || TemplateStreamLayout::linesOffset(n) > stream.size())
        return std::nullopt;
    const char *const records = stream.constData() + HeaderSize;
    for (qint32 i = 0; i < n; ++i) {
        if (rightsmith::toolkit::readInt32LE(records + qsizetype(i) * RecordSize + IndexOffset)
            != i)
            return std::nullopt;
    }
    // Lines as a save writes them: TAB-indented at most a level deeper than
    // the line before, the text trimmed, ended by CR LF, and nothing after.
    QList<Row> rows;
    const char *at = records + qsizetype(n) * RecordSize;
    const char *const end = stream.constData() + stream.size();
    const char *userLines = at;
    int userFirst = 0;
    int previous = -1;
    for (qint32 i = 0; i < n; ++i) {
        int level = 0;
        while (at < end && *at == '\t') {
            ++at;
            ++level;
        }
        if (level > previous + 1)
            return std::nullopt;
        const char *eol = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
        if (!eol || eol + 1 >= end || eol[1] != '\n')
            return std::nullopt;
        if (!readsBack(at, eol - at))
            return std::nullopt;
        if (level == 0 && i > 0) {
            rows.append({view(records + qsizetype(userFirst) * RecordSize,
                              qsizetype(i - userFirst) * RecordSize),
                         view(userLines, at - userLines)});
            userFirst = i;
            userLines = at;
        }
        previous = level;
        at = eol + 2;
    }
    if (at != end)
        return std::nullopt;
    if (n > 0)
        rows.append({view(records + qsizetype(userFirst) * RecordSize,
                          qsizetype(n - userFirst) * RecordSize),
                     view(userLines, end - userLines)});
    return rows;
}

std::optional<Row> rowOf(TzkSecurityTemplate &tree, int position)
{
    Row row;
    tree.SaveTopLevelSecurity(position, row.records, row.lines);
    // Each line as split() would cut it: its text up to the first CR.
    const char *at = row.lines.constData();
    const char *const end = at + row.lines.size();
    for (int i = 0; i < row.nodes(); ++i) {
        while (at < end && *at == '\t')
            ++at;
        const char *eol = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
        if (!eol || eol + 1 >= end || eol[1] != '\n' || !readsBack(at, eol - at))
            return std::nullopt;
        at = eol + 2;
    }
    if (at != end || row.nodes() == 0)
        return std::nullopt;
    return row;
}

QByteArray assemble(std::span<const Row> rows, bool *renumbered)
{
    if (renumbered)
        *renumbered = false;
    qsizetype records = 0;
    qsizetype lines = 0;
    for (const Row &row : rows) {
        records += row.records.size();
        lines += row.lines.size();
    }
    QByteArray stream(HeaderSize + records + lines, Qt::Uninitialized);
    char *const data = stream.data();
    std::memcpy(data, Stamp, StampSize);
    rightsmith::toolkit::writeInt32LE(data + StampSize, qint32(records / RecordSize));
    char *record = data + HeaderSize;
    char *line = record + records;
    qint32 index = 0;
    for (const Row &row : rows) {
        std::memcpy(record, row.records.constData(), size_t(row.records.size()));
        for (const char *const end = record + row.records.size(); record < end;
             record += RecordSize) {
            if (renumbered && rightsmith::toolkit::readInt32LE(record + IndexOffset) != index)
                *renumbered = true;
            rightsmith::toolkit::writeInt32LE(record + IndexOffset, index++);
        }
        std::memcpy(line, row.lines.constData(), size_t(row.lines.size()));
        line += row.lines.size();
    }
    return stream;
}

size_t hashOf(const Row &row)
{
    return qHashBits(row.lines.constData(), size_t(row.lines.size()),
                     qHashBits(row.records.constData(), size_t(row.records.size())));
}

QByteArray patchedRecords(const TzkSecurityTemplate &tree, int position, const QByteArray &changes)
{
    if (position >= tree.topLevelCount())
        throwReadError();
    const std::vector<TreeNode *> nodes = subtree(tree.topLevel(position));
    QByteArray records(qsizetype(nodes.size()) * RecordSize, Qt::Uninitialized);
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (!nodes[i]->data())
            throwReadError();
        nodes[i]->data()->writeTo(records.data() + qsizetype(i) * RecordSize);
    }
    constexpr int Entry = 4 + RecordSize;
    if (changes.size() % Entry != 0)
        throwReadError();
    for (qsizetype at = 0; at < changes.size(); at += Entry) {
        const quint32 index = qFromBigEndian<quint32>(changes.constData() + at);
        if (index >= nodes.size())
            throwReadError();
        std::memcpy(records.data() + qsizetype(index) * RecordSize, changes.constData() + at + 4,
                    RecordSize);
    }
    return records;
}

void splice(TzkSecurityTemplate &tree, const QList<std::pair<int, Row>> &changed, int count,
            const std::function<QList<Row>(int)> &from)
{
    tree.replaceContents([&] {
        int remake = -1;
        for (const auto &[position, row] : changed) {
            if (position >= count)
                continue;
            if (position >= tree.topLevelCount()) {
                remake = position;
                break;
            }
            const std::vector<TreeNode *> nodes = subtree(tree.topLevel(position));
            const std::vector<Line> lines = linesOf(row);
            if (!sameShape(nodes, lines)) {
                remake = position;
                break;
            }
            for (size_t i = 0; i < nodes.size(); ++i)
                take(nodes[i], lines[i].text, row.records.constData() + qsizetype(i) * RecordSize);
        }
        const int keep = remake >= 0 ? remake : count;
        while (tree.topLevelCount() > keep)
            tree.deleteNode(tree.topLevel(tree.topLevelCount() - 1));
        if (remake >= 0) {
            for (const Row &row : from(remake))
                append(tree, row);
        }
    });
}

} // namespace zkSecurity::TemplateRows
