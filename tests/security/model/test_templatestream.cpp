// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The template stream: exact bytes of the demo template, and how the reader
// treats every kind of damaged or unusual stream.
#include "security/model/treemodel.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "toolkit/error.h"

#include <QBuffer>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

using namespace zkSecurity;
using zkSecurity::TreeNode;

namespace {

QByteArray b(const char *s)
{
    return QByteArray(s);
}

// Little-endian bytes of a 32-bit value, built here rather than by the code under test.
QByteArray le32(qint32 value)
{
    const quint32 v = quint32(value);
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((v >> (8 * i)) & 0xFF);
    return out;
}

const QByteArray StampBytes("\x01\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0", 16);

QByteArray recordBytes(qint32 id, const QByteArray &caption, int nodeIndex, int image,
                       bool granted = false)
{
    QByteArray r(180, '\0');
    r.replace(0, 4, le32(id));
    r[4] = char(caption.size());
    r.replace(5, int(caption.size()), caption);
    r[45] = granted ? 1 : 0;
    r.replace(48, 4, le32(nodeIndex));
    r.replace(52, 4, le32(image));
    return r;
}

QByteArray save(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

void load(TzkSecurityTemplate &tree, const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    tree.LoadFromStreamSecurity(buffer);
}

// The message of the error that loading \a bytes throws, or "no error".
QString loadError(TzkSecurityTemplate &tree, const QByteArray &bytes)
{
    try {
        load(tree, bytes);
    } catch (const rightsmith::toolkit::Error &e) {
        return e.message();
    }
    return QStringLiteral("no error");
}

QByteArray stream(const QList<QByteArray> &records, const QByteArray &text, qint32 n = -1)
{
    QByteArray out = StampBytes + le32(n < 0 ? qint32(records.size()) : n);
    for (const QByteArray &r : records)
        out += r;
    return out + text;
}

QByteArrayList shape(const zkSecurity::Tree &tree)
{
    QByteArrayList lines;
    for (int i = 0; i < tree.count(); ++i) {
        TreeNode *node = tree.nodeAt(i);
        lines << QByteArray(node->level(), '\t') + node->text();
    }
    return lines;
}

// A user template of two users, to be damaged in the tests.
void twoUsers(TzkSecurityTemplate &users)
{
    TzkSecurityTemplate security;
    demotemplate::build(security);
    users.AddUserToUserTemplate(&security, b("Supervisor"), QByteArray(), true);
    users.AddUserToUserTemplate(&security, b("Anna"), b("pw"), false);
}

} // namespace

// --- the demo template ------------------------------------------------------

TEST(TemplateStreamDemo, ExactBytes)
{
    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    const QByteArray bytes = save(tree);

    QByteArray records;
    QByteArray text;
    int index = 0;
    for (const demotemplate::Row &row : demotemplate::Rows) {
        const QByteArray caption = row.level > 0 ? QByteArray(row.text) : QByteArray();
        records += recordBytes(row.securityId, caption, index++, row.image);
        text += QByteArray(row.level, '\t') + row.text + "\r\n";
    }
    ASSERT_EQ(records.size(), 5400);
    ASSERT_EQ(text.size(), 380);
    ASSERT_TRUE(text.startsWith("User\r\n\tChild memo text\r\n"));

    EXPECT_EQ(bytes.size(), 5800);
    EXPECT_EQ(bytes.left(16), StampBytes);
    EXPECT_EQ(bytes.mid(16, 4), le32(30));
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(bytes.mid(20 + 180 * i, 180), records.mid(180 * i, 180)) << "record " << i;
    EXPECT_EQ(bytes.mid(5420), text);
}

TEST(TemplateStreamDemo, ReadsBackToTheSameTree)
{
    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    const QByteArray bytes = save(tree);

    TzkSecurityTemplate copy;
    load(copy, bytes);
    ASSERT_EQ(copy.count(), 30);
    EXPECT_EQ(shape(copy), shape(tree));
    for (int i = 0; i < 30; ++i) {
        const TreeNode *a = tree.nodeAt(i);
        const TreeNode *c = copy.nodeAt(i);
        ASSERT_NE(c->data(), nullptr);
        EXPECT_EQ(c->data()->toBytes(), a->data()->toBytes()) << i;
        EXPECT_EQ(c->imageIndex(), demotemplate::Rows[size_t(i)].image) << i;
        EXPECT_EQ(c->selectedIndex(), c->imageIndex()) << i;
    }
    EXPECT_EQ(copy.GenerateSecurityId(), 37);
    EXPECT_EQ(save(copy), bytes);
}

TEST(TemplateStreamDemo, UserTemplateRoundTrip)
{
    TzkSecurityTemplate users;
    twoUsers(users);
    TzkSecurityTemplate copy;
    load(copy, save(users));
    EXPECT_EQ(shape(copy), shape(users));
    EXPECT_EQ(copy.GetUserPassword(b("Anna")), b("pw"));
    EXPECT_FALSE(copy.GetUserNodeByUserName(b("Anna"))->item(1)->item(0)->data()->granted());
    EXPECT_TRUE(copy.GetUserNodeByUserName(b("Supervisor"))->item(1)->item(0)->data()->granted());
}

// --- writing ----------------------------------------------------------------

TEST(TemplateStreamWrite, EmptyTreeIsTwentyBytes)
{
    TzkSecurityTemplate empty;
    const QByteArray bytes = save(empty);
    EXPECT_EQ(bytes, StampBytes + le32(0));

    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    load(tree, bytes);
    EXPECT_EQ(tree.count(), 0);
}

TEST(TemplateStreamWrite, TextsAreTrimmedInMemoryToo)
{
    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    TreeNode *saveNode = tree.firstNode()->item(2)->item(3);
    saveNode->setText(b(" Save "));
    tree.firstNode()->item(0)->setText(b("\t \x01"
                                         "Child memo text\x1f "));
    const QByteArray bytes = save(tree);
    EXPECT_EQ(saveNode->text(), b("Save"));
    EXPECT_EQ(tree.firstNode()->item(0)->text(), b("Child memo text"));
    TzkSecurityTemplate fresh;
    demotemplate::build(fresh);
    EXPECT_EQ(bytes, save(fresh));
}

TEST(TemplateStreamWrite, RefreshesNodeIndexAndImageIndexOnlyOnWrite)
{
    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    tree.DeleteNode(tree.firstNode()->item(0));
    TreeNode *closeChild = tree.firstNode()->item(0);
    closeChild->setImages(9);
    EXPECT_EQ(closeChild->data()->NodeIndex, 0); // never maintained between writes
    EXPECT_EQ(closeChild->data()->ImageIndex, 0);
    save(tree);
    EXPECT_EQ(closeChild->data()->NodeIndex, 1);
    EXPECT_EQ(closeChild->data()->ImageIndex, 9);
}

TEST(TemplateStreamWrite, ReplacesALongerOldContentCompletely)
{
    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    QByteArray data(10000, 'x');
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadWrite);
    tree.SaveToStreamSecurity(buffer);
    EXPECT_EQ(buffer.data().size(), 5800);
    TzkSecurityTemplate copy;
    load(copy, buffer.data());
    EXPECT_EQ(copy.count(), 30);
}

// A file gets the stream in pieces, a buffer at once: the bytes are the same,
// for a stream many pieces long and for a line longer than a piece, and a
// longer old file is cut where the stream ends.
TEST(TemplateStreamWrite, AFileGetsTheSameBytesAsABuffer)
{
    TzkSecurityTemplate tree;
    for (int user = 0; user < 200; ++user) {
        TreeNode *node = tree.addChild(nullptr, "User" + QByteArray::number(user));
        for (int right = 0; right < 40; ++right)
            tree.addChild(tree.addChild(node, "Category"), "Right (Yes)")->setData(TzkNodeRecord());
    }
    tree.topLevel(7)->setText(QByteArray(3 << 20, 'L'));
    const QByteArray expected = save(tree);
    ASSERT_GT(expected.size(), 4 << 20);

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(QByteArray(expected.size() + 1000, 'x'));
    tree.SaveToStreamSecurity(file);
    EXPECT_EQ(file.size(), expected.size());
    file.seek(0);
    EXPECT_TRUE(file.readAll() == expected);
}

TEST(TemplateStreamWrite, ADeviceThatCannotTakeItChangesNothing)
{
    TzkSecurityTemplate tree;
    TreeNode *node = tree.addChild(nullptr, " padded ");
    node->setData(TzkNodeRecord());
    const quint64 generation = tree.generation();
    QByteArray data;
    QBuffer readOnly(&data);
    readOnly.open(QIODevice::ReadOnly);
    QBuffer closed;
    for (QIODevice *device :
         {static_cast<QIODevice *>(&readOnly), static_cast<QIODevice *>(&closed)}) {
        EXPECT_THROW(tree.SaveToStreamSecurity(*device), rightsmith::toolkit::Error);
        EXPECT_EQ(node->text(), " padded ");
        EXPECT_EQ(tree.generation(), generation);
    }
}

TEST(TemplateStreamWrite, TabInsideATextSurvives)
{
    TzkSecurityTemplate tree;
    demotemplate::build(tree);
    tree.firstNode()->item(2)->setText(b("Fi\tle"));
    TzkSecurityTemplate copy;
    load(copy, save(tree));
    EXPECT_EQ(copy.count(), 30);
    EXPECT_EQ(copy.firstNode()->item(2)->text(), b("Fi\tle"));
    EXPECT_EQ(copy.firstNode()->item(2)->count(), 6);
}

// --- the stamp --------------------------------------------------------------

TEST(TemplateStreamStamp, MismatchLeavesTheTreeUntouched)
{
    TzkSecurityTemplate source;
    demotemplate::build(source);
    const QByteArray good = save(source);

    for (int i = 0; i < 13; ++i) {
        TzkSecurityTemplate tree;
        twoUsers(tree);
        const QByteArrayList before = shape(tree);
        const TzkNodeRecord *record = tree.nodeAt(1)->data();
        QByteArray bad = good;
        bad[i] = char(bad.at(i) ^ 0x02);
        EXPECT_EQ(loadError(tree, bad), QStringLiteral("Version mismatch. Cannot continue")) << i;
        EXPECT_EQ(shape(tree), before) << i;
        EXPECT_EQ(tree.nodeAt(1)->data(), record) << i;
    }

    TzkSecurityTemplate tree;
    QByteArray version2 = good;
    version2[0] = 2;
    EXPECT_EQ(loadError(tree, version2), QStringLiteral("Version mismatch. Cannot continue"));
}

TEST(TemplateStreamStamp, PaddingBytesAreNotChecked)
{
    TzkSecurityTemplate source;
    demotemplate::build(source);
    QByteArray bytes = save(source);
    bytes[13] = char(0xAB);
    bytes[14] = 1;
    bytes[15] = char(0xFF);
    TzkSecurityTemplate tree;
    EXPECT_EQ(loadError(tree, bytes), QStringLiteral("no error"));
    EXPECT_EQ(tree.count(), 30);
}

// --- records ----------------------------------------------------------------

TEST(TemplateStreamRecords, AttachedThroughNodeIndexInAnyOrder)
{
    const QByteArray bytes =
        stream({recordBytes(7, b("C"), 2, 4), recordBytes(0, QByteArray(), 0, 0),
                recordBytes(5, b("B"), 1, -1)},
               b("Root\r\n\tB\r\n\tC\r\n"));
    TzkSecurityTemplate tree;
    load(tree, bytes);
    ASSERT_EQ(shape(tree), (QByteArrayList {"Root", "\tB", "\tC"}));
    EXPECT_EQ(tree.nodeAt(0)->data()->SecurityId, 0);
    EXPECT_EQ(tree.nodeAt(0)->imageIndex(), 0);
    EXPECT_EQ(tree.nodeAt(1)->data()->SecurityId, 5);
    EXPECT_EQ(tree.nodeAt(1)->imageIndex(), -1);
    EXPECT_EQ(tree.nodeAt(2)->data()->caption(), b("C"));
    EXPECT_EQ(tree.nodeAt(2)->imageIndex(), 4);
    EXPECT_EQ(tree.nodeAt(2)->selectedIndex(), 4);
}

// Records and texts at the same place under two top-level nodes are read
// alike or not byte for byte, whichever byte tells them apart.
TEST(TemplateStreamRecords, TheSamePlaceUnderTheNextNodeKeepsItsOwnBytes)
{
    for (const int at : {0, 3, 4, 5, 44, 45, 46, 47, 56, 100, 175, 176, 179, -1}) {
        SCOPED_TRACE(at);
        const auto record = [at](int index, bool changed) {
            QByteArray r = recordBytes(9, b("Right"), index, index);
            r.replace(60, 3, b("res"));
            if (changed && at >= 0)
                r[at] = char(r[at] ^ 0x5A);
            return r;
        };
        const QByteArrayList records {record(0, false), record(1, false), record(2, false),
                                      record(3, true)};
        const QByteArray second = at < 0 ? b("Other") : b("Right");
        TzkSecurityTemplate tree;
        load(tree, stream(records, "A\r\n\tRight\r\nB\r\n\t" + second + "\r\n"));
        ASSERT_EQ(shape(tree), (QByteArrayList {"A", "\tRight", "B", "\t" + second}));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(tree.nodeAt(i)->data()->toBytes(), records[i]) << i;
    }
}

TEST(TemplateStreamRecords, NodeIndexOutOfRangeIsInvalidIndex)
{
    for (const qint32 badIndex : {3, -1, 1000000}) {
        const QByteArray bytes =
            stream({recordBytes(1, b("A"), 0, 0), recordBytes(2, b("B"), badIndex, 0),
                    recordBytes(3, b("C"), 2, 0)},
                   b("A\r\nB\r\nC\r\n"));
        TzkSecurityTemplate tree;
        EXPECT_EQ(loadError(tree, bytes), QStringLiteral("Invalid index")) << badIndex;
        ASSERT_EQ(tree.count(), 3);
        // Records read before the bad one stay attached.
        ASSERT_NE(tree.nodeAt(0)->data(), nullptr);
        EXPECT_EQ(tree.nodeAt(0)->data()->SecurityId, 1);
        EXPECT_EQ(tree.nodeAt(2)->data(), nullptr);
    }
}

TEST(TemplateStreamRecords, ShortStreamsAreReadErrors)
{
    TzkSecurityTemplate source;
    demotemplate::build(source);
    const QByteArray good = save(source);
    for (const int length : {0, 10, 16, 19, 20, 200, 5419}) {
        TzkSecurityTemplate tree;
        EXPECT_EQ(loadError(tree, good.left(length)), QStringLiteral("Stream read error"))
            << length;
    }
    // All records but no text: the first record names a node that is not there.
    TzkSecurityTemplate tree;
    EXPECT_EQ(loadError(tree, good.left(5420)), QStringLiteral("Invalid index"));
    EXPECT_EQ(tree.count(), 0);
}

TEST(TemplateStreamRecords, HostileCountsFailWithoutTouchingTheTree)
{
    for (const qint32 n :
         {-1, -12, std::numeric_limits<qint32>::min(), 33, 0x7FFFFFFF, 0x0BAD0000}) {
        TzkSecurityTemplate source;
        demotemplate::build(source);
        QByteArray bytes = save(source);
        bytes.replace(16, 4, le32(n));
        TzkSecurityTemplate tree;
        twoUsers(tree);
        EXPECT_EQ(loadError(tree, bytes), QStringLiteral("Stream read error")) << n;
        EXPECT_EQ(tree.count(), 64) << n;
    }
}

TEST(TemplateStreamRecords, FewerRecordsThanLinesThenEveryOperationIsSafe)
{
    TzkSecurityTemplate users;
    twoUsers(users);
    QByteArray bytes = save(users);
    // Keep only the first 10 records: Supervisor's first nodes.
    const int kept = 10;
    bytes = bytes.left(20) + bytes.mid(20, 180 * kept) + bytes.mid(20 + 180 * 64);
    bytes.replace(16, 4, le32(kept));

    TzkSecurityTemplate tree;
    load(tree, bytes);
    ASSERT_EQ(tree.count(), 64);
    EXPECT_NE(tree.nodeAt(9)->data(), nullptr);
    EXPECT_EQ(tree.nodeAt(10)->data(), nullptr);

    TreeNode *anna = tree.GetUserNodeByUserName(b("Anna"));
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(tree.GetUserPassword(b("Anna")), QByteArray());
    EXPECT_EQ(tree.GetPasswordFromUserTreeNode(anna), QByteArray());
    QByteArray userName, caption;
    for (int i = 0; i < tree.count(); ++i) {
        TreeNode *node = tree.nodeAt(i);
        const TzkNodeType type = tree.GetNodeType(node, userName, caption);
        if (!node->data() && node->level() >= 2) {
            EXPECT_EQ(type, ntGroup) << i;
        }
        tree.GetNodeTypeSecurityTemplate(node);
    }
    tree.setSelected(anna->item(1)->item(2));
    EXPECT_EQ(tree.GetSelectedNodeType(userName, caption), ntGroup);
    EXPECT_EQ(tree.GetUserNodeForSelected(), anna);
    // Only Supervisor's first rights (up to Save, 4) kept their records.
    EXPECT_EQ(tree.GenerateSecurityId(), 35);
    EXPECT_FALSE(tree.IsValidSecurityId(4));
    EXPECT_TRUE(tree.IsValidSecurityId(5));

    TzkSecurityTemplate copyTarget;
    copyTarget.AddUserToUserTemplate(&tree, b("Copy"), QByteArray(), true);
    EXPECT_EQ(copyTarget.count(), 3 + 31);

    // Written out, every node gets a record and the stream reads back whole.
    TzkSecurityTemplate reread;
    load(reread, save(tree));
    EXPECT_EQ(shape(reread), shape(tree));
    for (int i = 0; i < reread.count(); ++i)
        EXPECT_NE(reread.nodeAt(i)->data(), nullptr) << i;

    tree.DeleteNode(anna);
    EXPECT_EQ(tree.count(), 32);
    tree.ClearTemplate();
    EXPECT_EQ(tree.count(), 0);
}

// --- the text section -------------------------------------------------------

TEST(TemplateStreamText, LineBreaksAndIndentation)
{
    struct Case
    {
        const char *name;
        QByteArray text;
        QByteArrayList shape;
    };
    const Case cases[] = {
        {"CR LF", b("A\r\n\tB\r\n\t\tC\r\n\tD\r\n"), {"A", "\tB", "\t\tC", "\tD"}},
        {"lone CR and LF", b("A\rB\nC\r\n"), {"A", "B", "C"}},
        {"LF CR is two breaks", QByteArray("A\n\rB", 4), {"A", "", "B"}},
        {"no final break", b("A\r\n\tB"), {"A", "\tB"}},
        {"empty line", b("A\r\n\r\nB\r\n"), {"A", "", "B"}},
        {"spaces indent", b("A\r\n B\r\n \tC\r\n"), {"A", "\tB", "\t\tC"}},
        {"first line always top-level", b("\t\t\tA\r\n\tB\r\nC\r\n"), {"A", "\tB", "C"}},
        {"up several levels",
         b("A\r\n\tB\r\n\t\tC\r\n\t\t\tD\r\n\tE\r\nF\r\n"),
         {"A", "\tB", "\t\tC", "\t\t\tD", "\tE", "F"}},
        {"tab inside", b("A\r\n\tB\tC \r\n"), {"A", "\tB\tC "}},
        {"zero byte ends the text", QByteArray("A\r\n\tB\0C\r\n\tD\r\n", 13), {"A", "\tB"}},
        {"nothing", QByteArray(), {}},
    };
    for (const Case &c : cases) {
        TzkSecurityTemplate tree;
        EXPECT_EQ(loadError(tree, stream({}, c.text)), QStringLiteral("no error")) << c.name;
        EXPECT_EQ(shape(tree), c.shape) << c.name;
    }
}

TEST(TemplateStreamText, LineBreakBytesInsideATextSplitTheNode)
{
    TzkSecurityTemplate tree;
    TreeNode *root = tree.addChild(nullptr, b("X"));
    root->setData(std::make_unique<TzkNodeRecord>());
    TreeNode *child = tree.addChild(root, b("A\rB"));
    child->setData(std::make_unique<TzkNodeRecord>());
    child->editData()->SecurityId = 3;

    TzkSecurityTemplate copy;
    load(copy, save(tree));
    // "B" became a top-level node of its own, and has no record.
    EXPECT_EQ(shape(copy), (QByteArrayList {"X", "\tA", "B"}));
    EXPECT_EQ(copy.nodeAt(1)->data()->SecurityId, 3);
    EXPECT_EQ(copy.nodeAt(2)->data(), nullptr);

    child->setText(b("A\nB"));
    load(copy, save(tree));
    EXPECT_EQ(shape(copy), (QByteArrayList {"X", "\tA", "B"}));
}

TEST(TemplateStreamText, ZeroByteInsideATextDropsTheRest)
{
    TzkSecurityTemplate tree;
    TreeNode *root = tree.addChild(nullptr, b("X"));
    TreeNode *a = tree.addChild(root, QByteArray("A\0B", 3));
    tree.addChild(root, b("C"));
    for (TreeNode *node : {root, a, root->item(1)})
        node->setData(std::make_unique<TzkNodeRecord>());

    TzkSecurityTemplate copy;
    // Node C is gone, so the record naming index 2 has no node.
    EXPECT_EQ(loadError(copy, save(tree)), QStringLiteral("Invalid index"));
    EXPECT_EQ(shape(copy), (QByteArrayList {"X", "\tA"}));
}

TEST(TemplateStreamText, InvalidLevelKeepsTheNodesMadeSoFar)
{
    TzkSecurityTemplate tree;
    twoUsers(tree);
    const QByteArray text = b("User\r\n\tFile\r\n\t\t\tCaf\xe9\r\n\tEdit\r\n");
    EXPECT_EQ(loadError(tree, stream({}, text)),
              QStringLiteral("Invalid level (3) for item \"Caf\u00e9\""));
    EXPECT_EQ(shape(tree), (QByteArrayList {"User", "\tFile"}));
}

// A load reaches views as one reset: one aboutToBeCleared() and one cleared(),
// also when it fails half-way, nothing per node, and nothing at all when the
// stamp refuses the stream before the tree is touched.
TEST(TemplateStreamLoad, ViewsSeeOneReset)
{
    TzkSecurityTemplate source;
    demotemplate::build(source);
    const struct
    {
        QByteArray bytes;
        int resets;
        QByteArrayList shape; // empty: the tree stays as it was
    } cases[] = {
        {save(source), 1, shape(source)},
        {stream({}, b("User\r\n\tFile\r\n\t\t\tX\r\n")), 1, {"User", "\tFile"}},
        {QByteArray(20, '\x07'), 0, {}},
    };
    for (const auto &c : cases) {
        QStringList log; // outlives the tree, which clears itself as it goes
        TzkSecurityTemplate tree;
        twoUsers(tree);
        const QByteArrayList before = shape(tree);
        TreeModel model(&tree);
        QObject::connect(&tree, &Tree::aboutToBeCleared, [&] { log << QStringLiteral("begin"); });
        QObject::connect(&tree, &Tree::cleared, [&] { log << QStringLiteral("end"); });
        QObject::connect(&tree, &Tree::nodeInserted, [&] { log << QStringLiteral("insert"); });
        QObject::connect(&tree, &Tree::nodeChanged, [&] { log << QStringLiteral("change"); });
        int resets = 0;
        QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
        loadError(tree, c.bytes);
        EXPECT_EQ(shape(tree), c.shape.isEmpty() ? before : c.shape);
        const QStringList reset {QStringLiteral("begin"), QStringLiteral("end")};
        EXPECT_EQ(log, c.resets ? reset : QStringList());
        EXPECT_EQ(resets, c.resets);
        EXPECT_EQ(model.rowCount(), tree.topLevelCount());
    }
}

// Loads that fill whole chunks of the tree's node storage (16,384 nodes
// each), again into the same tree, then changed: a removed node's slot is
// taken again and the nodes after it need a chunk of their own. Every node is
// where a tree built node by node has it, and the bytes read back whole.
TEST(TemplateStreamLoad, LargeLoadsReloadedAndChangedKeepEveryNode)
{
    TzkSecurityTemplate built;
    for (int user = 0; user < 2048; ++user) {
        TreeNode *top = built.addChild(nullptr, "U" + QByteArray::number(user));
        for (int right = 0; right < 15; ++right)
            built.addChild(top, "R" + QByteArray::number(right));
    }
    const QByteArray bytes = save(built);
    TzkSecurityTemplate tree;
    for (int round = 0; round < 2; ++round) {
        load(tree, bytes);
        ASSERT_EQ(tree.count(), 32768);
        EXPECT_EQ(save(tree), bytes);
    }
    for (TzkSecurityTemplate *t : {&tree, &built}) {
        t->deleteNode(t->nodeAt(17));
        TreeNode *first = t->nodeAt(0);
        for (int i = 0; i < 3; ++i)
            t->addChild(first, "N" + QByteArray::number(i));
    }
    EXPECT_EQ(shape(tree), shape(built));
    EXPECT_EQ(save(tree), save(built));
}

// --- damaged at random --------------------------------------------------------

TEST(TemplateStreamDamage, AnyBytesLoadOrFailCleanlyAndWhatLoadedSavesWhole)
{
    TzkSecurityTemplate users;
    twoUsers(users);
    const QByteArray good = save(users);
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 1500; ++round) {
        QByteArray bytes = good;
        const int damage = 1 + int(next() % 8);
        for (int i = 0; i < damage; ++i) {
            // Mostly in the header and the text, where the structure lives.
            const quint32 where = next() % 3;
            const qsizetype pos = where == 0 ? qsizetype(next() % 20)
                : where == 1                 ? qsizetype(bytes.size() - 1 - next() % 2000)
                                             : qsizetype(next() % quint32(bytes.size()));
            bytes[pos] = char(next());
        }
        if (next() % 4 == 0)
            bytes.truncate(qsizetype(next() % quint32(bytes.size())));

        TzkSecurityTemplate tree;
        try {
            load(tree, bytes);
        } catch (const rightsmith::toolkit::Error &) {
        }
        QByteArray userName, caption;
        for (int i = 0; i < tree.count(); ++i)
            tree.GetNodeType(tree.nodeAt(i), userName, caption);
        tree.GenerateSecurityId();
        tree.GetUserPassword(b("Anna"));

        // Whatever was loaded is a proper tree: written out, it reads back whole.
        TzkSecurityTemplate reread;
        ASSERT_EQ(loadError(reread, save(tree)), QStringLiteral("no error")) << round;
        ASSERT_EQ(shape(reread), shape(tree)) << round;
    }
}

// --- read as a save writes it ---------------------------------------------------

// SavesAsRead() lets a caller that kept the bytes skip the save that would
// write them again: random damage in the stamp, the records and the text
// never makes it claim so wrongly, nor miss a stream that a save reproduces.
TEST(TemplateStreamAsRead, ClaimedExactlyWhenASaveWritesTheSameBytes)
{
    TzkSecurityTemplate users;
    twoUsers(users);
    const QByteArray good = save(users);
    std::mt19937 random(4242);
    std::uniform_int_distribution<qsizetype> at(0, good.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    int claimed = 0;
    for (int round = 0; round < 1500; ++round) {
        // One byte replaced, and now and then one more put in.
        QByteArray bytes = good;
        if (round > 0)
            bytes[at(random)] = char(byte(random));
        if (round % 8 == 3)
            bytes.insert(at(random), char(byte(random)));
        TzkSecurityTemplate tree;
        try {
            load(tree, bytes);
        } catch (const rightsmith::toolkit::Error &) {
            continue;
        }
        const bool asRead = tree.SavesAsRead();
        EXPECT_EQ(asRead, save(tree) == bytes) << round;
        claimed += asRead ? 1 : 0;
    }
    EXPECT_GT(claimed, 100); // reserved bytes and letters change nothing a save writes
}

// Read from a file, the records come in pieces: the same tree, the same claim.
TEST(TemplateStreamAsRead, AFileReadsAsItsBytesDo)
{
    TzkSecurityTemplate security;
    demotemplate::build(security);
    TzkSecurityTemplate users;
    for (int i = 0; i < 200; ++i)
        users.AddUserToUserTemplate(&security, "User" + QByteArray::number(i), "pw", i % 2 != 0);
    const QByteArray good = save(users);
    QByteArray spaced = good;
    spaced.replace("\r\n\t", "\r\n ");
    for (const QByteArray &bytes : {good, spaced}) {
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        file.write(bytes);
        TzkSecurityTemplate fromFile;
        fromFile.LoadFromStreamSecurity(file);
        TzkSecurityTemplate fromBuffer;
        load(fromBuffer, bytes);
        ASSERT_EQ(shape(fromFile), shape(fromBuffer));
        for (int i = 0; i < fromFile.count(); ++i)
            ASSERT_EQ(fromFile.nodeAt(i)->data()->toBytes(),
                      fromBuffer.nodeAt(i)->data()->toBytes())
                << i;
        EXPECT_EQ(fromFile.SavesAsRead(), bytes == good);
        EXPECT_EQ(save(fromFile), good);
    }
}

// Any change a save would write ends the claim; a view's expansion and
// selection do not, and a load makes it anew.
TEST(TemplateStreamAsRead, EndsWithAnyChangeASaveWrites)
{
    TzkSecurityTemplate users;
    twoUsers(users);
    const QByteArray good = save(users);
    const std::vector<std::pair<const char *, std::function<void(TzkSecurityTemplate &)>>> changes {
        {"text",
         [](TzkSecurityTemplate &t) {
             t.nodeAt(3)->setText(b("x"));
         }},
        {"image",
         [](TzkSecurityTemplate &t) {
             t.nodeAt(3)->setImages(4);
         }},
        {"record",
         [](TzkSecurityTemplate &t) {
             t.nodeAt(3)->editData()->Reserved[0] = 1;
         }},
        {"added",
         [](TzkSecurityTemplate &t) {
             t.addChild(nullptr, b("x"));
         }},
        {"deleted",
         [](TzkSecurityTemplate &t) {
             t.DeleteNode(t.nodeAt(3));
         }},
        {"cleared",
         [](TzkSecurityTemplate &t) {
             t.ClearTemplate();
         }},
    };
    for (const auto &[name, change] : changes) {
        TzkSecurityTemplate tree;
        load(tree, good);
        tree.expand(tree.firstNode(), true);
        tree.setSelected(tree.nodeAt(4));
        ASSERT_TRUE(tree.SavesAsRead()) << name;
        change(tree);
        EXPECT_FALSE(tree.SavesAsRead()) << name;
        EXPECT_NE(save(tree), good) << name;
        load(tree, good);
        EXPECT_TRUE(tree.SavesAsRead()) << name;
    }
}
