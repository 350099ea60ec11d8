// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The widget-free tree: absolute indexes, walks, removal, and the signals an
// item model relies on (their order and what the tree looks like when they arrive).
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "toolkit/imagelist.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using zkSecurity::Tree;
using zkSecurity::TreeNode;

namespace {

QByteArray b(const char *s)
{
    return QByteArray(s);
}

// a{a1{a11}, a2}, c{c1}
struct Sample
{
    Tree tree;
    TreeNode *a = tree.addChild(nullptr, b("a"));
    TreeNode *a1 = tree.addChild(a, b("a1"));
    TreeNode *a11 = tree.addChild(a1, b("a11"));
    TreeNode *a2 = tree.addChild(a, b("a2"));
    TreeNode *c = tree.addChild(nullptr, b("c"));
    TreeNode *c1 = tree.addChild(c, b("c1"));
};

QByteArrayList preorder(const Tree &tree)
{
    QByteArrayList texts;
    for (int i = 0; i < tree.count(); ++i)
        texts << tree.nodeAt(i)->text();
    return texts;
}

QString name(TreeNode *node)
{
    return node ? QString::fromLatin1(node->text()) : QStringLiteral("-");
}

// Records every signal together with the state a model would see at that moment.
struct Recorder
{
    explicit Recorder(Tree &tree)
    {
        QObject::connect(&tree, &Tree::nodeAboutToBeInserted, &context,
                         [&](TreeNode *parent, int row) {
                             const int children = parent ? parent->count() : tree.topLevelCount();
                             log << QStringLiteral("aboutToInsert %1 %2 (has %3)")
                                        .arg(name(parent))
                                        .arg(row)
                                        .arg(children);
                         });
        QObject::connect(&tree, &Tree::nodeInserted, &context, [&](TreeNode *node) {
            log << QStringLiteral("inserted %1 at %2").arg(name(node)).arg(node->absoluteIndex());
        });
        QObject::connect(&tree, &Tree::nodeAboutToBeRemoved, &context, [&](TreeNode *node) {
            log << QStringLiteral("aboutToRemove %1 row %2 of %3")
                       .arg(name(node))
                       .arg(node->index())
                       .arg(name(node->parent()));
        });
        QObject::connect(&tree, &Tree::nodeRemoved, &context, [&](TreeNode *parent, int row) {
            log << QStringLiteral("removed %1 %2 (count %3)")
                       .arg(name(parent))
                       .arg(row)
                       .arg(tree.count());
        });
        QObject::connect(&tree, &Tree::aboutToBeCleared, &context, [&] {
            log << QStringLiteral("aboutToClear (count %1)").arg(tree.count());
        });
        QObject::connect(&tree, &Tree::cleared, &context,
                         [&] { log << QStringLiteral("cleared (count %1)").arg(tree.count()); });
        QObject::connect(&tree, &Tree::nodeChanged, &context,
                         [&](TreeNode *node) { log << QStringLiteral("changed ") + name(node); });
        QObject::connect(&tree, &Tree::selectionChanged, &context,
                         [&](TreeNode *node) { log << QStringLiteral("selected ") + name(node); });
        QObject::connect(&tree, &Tree::imagesChanged, &context,
                         [&] { log << QStringLiteral("images"); });
        QObject::connect(&tree, &Tree::expandRequested, &context,
                         [&](TreeNode *node, bool recursive) {
                             log << QStringLiteral("expand %1 %2").arg(name(node)).arg(recursive);
                         });
    }
    QObject context; // disconnects the recorder when it goes before the tree
    QStringList log;
};

} // namespace

TEST(TreeIndex, AbsoluteIndexIsPreOrder)
{
    Sample s;
    EXPECT_EQ(s.tree.count(), 6);
    EXPECT_EQ(preorder(s.tree), (QByteArrayList {"a", "a1", "a11", "a2", "c", "c1"}));
    EXPECT_EQ(s.a11->absoluteIndex(), 2);
    EXPECT_EQ(s.c1->absoluteIndex(), 5);
    EXPECT_EQ(s.tree.nodeAt(-1), nullptr);
    EXPECT_EQ(s.tree.nodeAt(6), nullptr);
    EXPECT_EQ(s.tree.firstNode(), s.a);
    for (int i = 0; i < s.tree.count(); ++i)
        EXPECT_EQ(s.tree.nodeAt(i)->absoluteIndex(), i);
}

TEST(TreeIndex, FollowsInsertionInTheMiddle)
{
    Sample s;
    ASSERT_EQ(s.c->absoluteIndex(), 4);
    TreeNode *a3 = s.tree.addChild(s.a, b("a3"));
    EXPECT_EQ(a3->absoluteIndex(), 4);
    EXPECT_EQ(s.c->absoluteIndex(), 5);
    EXPECT_EQ(s.tree.nodeAt(6), s.c1);
    EXPECT_EQ(a3->index(), 2);
    EXPECT_EQ(a3->level(), 1);
    EXPECT_EQ(s.a11->level(), 2);
    EXPECT_EQ(s.a2->nextSibling(), a3);
    EXPECT_EQ(a3->nextSibling(), nullptr);
    EXPECT_EQ(s.a->nextSibling(), s.c);
}

TEST(TreeIndex, FollowsRemoval)
{
    Sample s;
    s.tree.deleteNode(s.a1);
    EXPECT_EQ(preorder(s.tree), (QByteArrayList {"a", "a2", "c", "c1"}));
    EXPECT_EQ(s.a2->index(), 0);
    EXPECT_EQ(s.a->firstChild(), s.a2);
    EXPECT_EQ(s.c1->absoluteIndex(), 3);

    s.tree.deleteNode(s.a);
    EXPECT_EQ(s.c->index(), 0);
    EXPECT_EQ(s.tree.topLevel(0), s.c);
    EXPECT_EQ(s.tree.topLevel(1), nullptr);
    EXPECT_EQ(s.c1->absoluteIndex(), 1);
}

TEST(TreeIndex, VeryDeepTreeNeedsNoRecursion)
{
    auto tree = std::make_unique<Tree>();
    TreeNode *node = nullptr;
    constexpr int Depth = 200000;
    for (int i = 0; i < Depth; ++i)
        node = tree->addChild(node, b("n"));
    EXPECT_EQ(tree->count(), Depth);
    EXPECT_EQ(node->absoluteIndex(), Depth - 1);
    tree->expand(tree->firstNode(), true);
    EXPECT_TRUE(node->isExpanded());
    tree.reset(); // tears the chain down without exhausting the stack
}

TEST(TreeSignals, InsertionAnnouncedBeforeAndConfirmedAfter)
{
    Tree tree;
    Recorder r(tree);
    TreeNode *a = tree.addChild(nullptr, b("a"));
    tree.addChild(a, b("a1"));
    tree.addChild(nullptr, b("c"));
    EXPECT_EQ(r.log,
              (QStringList {
                  QStringLiteral("aboutToInsert - 0 (has 0)"),
                  QStringLiteral("inserted a at 0"),
                  QStringLiteral("aboutToInsert a 0 (has 0)"),
                  QStringLiteral("inserted a1 at 1"),
                  QStringLiteral("aboutToInsert - 1 (has 1)"),
                  QStringLiteral("inserted c at 2"),
              }));
}

TEST(TreeSignals, RemovalAnnouncedWhileTheNodeIsStillThere)
{
    Sample s;
    Recorder r(s.tree);
    s.tree.deleteNode(s.a1);
    EXPECT_EQ(r.log,
              (QStringList {
                  QStringLiteral("aboutToRemove a1 row 0 of a"),
                  QStringLiteral("removed a 0 (count 4)"),
              }));
}

TEST(TreeSignals, DeletingTheSelectionOrItsAncestorClearsItFirst)
{
    Sample s;
    s.tree.setSelected(s.a11);
    Recorder r(s.tree);
    s.tree.deleteNode(s.c); // unrelated: selection stays
    EXPECT_EQ(s.tree.selected(), s.a11);
    r.log.clear();

    s.tree.deleteNode(s.a); // ancestor of the selection
    EXPECT_EQ(s.tree.selected(), nullptr);
    EXPECT_EQ(r.log,
              (QStringList {
                  QStringLiteral("selected -"),
                  QStringLiteral("aboutToRemove a row 0 of -"),
                  QStringLiteral("removed - 0 (count 0)"),
              }));
}

TEST(TreeSignals, ClearResetsOnceAndOnlyWhenThereIsSomething)
{
    Sample s;
    s.tree.setSelected(s.c1);
    Recorder r(s.tree);
    s.tree.clear();
    EXPECT_EQ(r.log,
              (QStringList {
                  QStringLiteral("selected -"),
                  QStringLiteral("aboutToClear (count 6)"),
                  QStringLiteral("cleared (count 0)"),
              }));
    r.log.clear();
    s.tree.clear();
    EXPECT_TRUE(r.log.isEmpty());
    EXPECT_EQ(s.tree.count(), 0);
    EXPECT_EQ(s.tree.firstNode(), nullptr);
    // Usable again.
    EXPECT_EQ(s.tree.addChild(nullptr, b("x"))->absoluteIndex(), 0);
}

TEST(TreeSignals, ChangedOnlyOnRealChange)
{
    Sample s;
    Recorder r(s.tree);
    s.a->setText(b("a"));
    s.a->setImages(-1);
    s.a->setImageIndex(-1);
    s.a->setSelectedIndex(-1);
    s.tree.setSelected(nullptr);
    EXPECT_TRUE(r.log.isEmpty());

    s.a->setText(b("A"));
    s.a->setImages(2);
    s.a->setImages(2);
    s.a->setSelectedIndex(3);
    s.tree.setSelected(s.a2);
    s.tree.setSelected(s.a2);
    EXPECT_EQ(r.log,
              (QStringList {QStringLiteral("changed A"), QStringLiteral("changed A"),
                            QStringLiteral("changed A"), QStringLiteral("selected a2")}));
    EXPECT_EQ(s.a->imageIndex(), 2);
    EXPECT_EQ(s.a->selectedIndex(), 3);
}

TEST(TreeSignals, ForeignNodesAreIgnored)
{
    Sample s;
    Sample other;
    Recorder r(s.tree);
    s.tree.setSelected(other.a);
    s.tree.deleteNode(other.a);
    s.tree.deleteNode(nullptr);
    EXPECT_EQ(s.tree.selected(), nullptr);
    EXPECT_EQ(other.tree.count(), 6);
    EXPECT_TRUE(r.log.isEmpty());
}

TEST(TreeSignals, ImagesAndExpandRequests)
{
    Sample s;
    Recorder r(s.tree);
    auto images = std::make_unique<rightsmith::toolkit::ImageList>();
    s.tree.setImages(images.get());
    s.tree.setImages(images.get());
    images->add(QImage(16, 16, QImage::Format_ARGB32));
    s.tree.expand(s.a, false);
    s.tree.expand(s.c, true);
    images.reset();
    EXPECT_EQ(s.tree.images(), nullptr);
    ASSERT_GE(r.log.size(), 5);
    EXPECT_EQ(r.log.first(), QStringLiteral("images"));
    EXPECT_TRUE(r.log.contains(QStringLiteral("expand a 0")));
    EXPECT_TRUE(r.log.contains(QStringLiteral("expand c 1")));
    EXPECT_EQ(r.log.last(), QStringLiteral("images")); // the list went away
    EXPECT_TRUE(s.a->isExpanded());
    EXPECT_FALSE(s.a1->isExpanded());
    EXPECT_TRUE(s.c1->isExpanded());
}

TEST(TreeRecords, NodeOwnsItsRecord)
{
    Sample s;
    EXPECT_EQ(s.a->data(), nullptr);
    auto record = std::make_unique<zkSecurity::TzkNodeRecord>();
    record->SecurityId = 7;
    s.a->setData(std::move(record));
    ASSERT_NE(s.a->data(), nullptr);
    EXPECT_EQ(s.a->data()->SecurityId, 7);
    s.a->releaseData();
    EXPECT_EQ(s.a->data(), nullptr);
}

// The generation grows with every change a reader or a save depends on, and
// only with those; the change counts for exactly the top-level node above it
// (by its text after the change: "" for none), and one that adds or removes
// a node moves the structure's generation.
TEST(TreeGeneration, EveryChangeOfContentCountsForItsTopLevelNodeAndNothingElse)
{
    struct Change
    {
        const char *name;
        std::function<void(Sample &)> change;
        const char *marks;
        bool structure;
    };
    const std::vector<Change> changes {
        {"text", [](Sample &s) { s.a1->setText(b("x")); }, "a", false},
        {"top-level text", [](Sample &s) { s.c->setText(b("d")); }, "d", false},
        {"same text", [](Sample &s) { s.a1->setText(b("a1")); }, "", false},
        {"image", [](Sample &s) { s.a11->setImages(3); }, "a", false},
        {"image index", [](Sample &s) { s.c1->setImageIndex(2); }, "c", false},
        {"selected image", [](Sample &s) { s.a1->setSelectedIndex(2); }, "", false},
        {"record attached", [](Sample &s) { s.a->setData(zkSecurity::TzkNodeRecord()); }, "a",
         false},
        {"record edited", [](Sample &s) { s.c1->editData()->Granted = 1; }, "c", false},
        {"no record to edit", [](Sample &s) { EXPECT_EQ(s.a->editData(), nullptr); }, "", false},
        {"record released", [](Sample &s) { s.c1->releaseData(); }, "c", false},
        {"added", [](Sample &s) { s.tree.addChild(s.a11, b("new")); }, "a", true},
        {"added top-level", [](Sample &s) { s.tree.addChild(nullptr, b("new")); }, "new", true},
        {"deleted", [](Sample &s) { s.tree.deleteNode(s.c1); }, "c", true},
        {"deleted top-level", [](Sample &s) { s.tree.deleteNode(s.a); }, "", true},
        {"cleared", [](Sample &s) { s.tree.clear(); }, "", true},
        {"selected", [](Sample &s) { s.tree.setSelected(s.a2); }, "", false},
        {"expanded", [](Sample &s) { s.tree.expand(s.a, true); }, "", false},
    };
    for (const Change &c : changes) {
        Sample s;
        s.c1->setData(zkSecurity::TzkNodeRecord());
        const quint64 before = s.tree.generation();
        const quint64 structure = s.tree.structureGeneration();
        c.change(s);
        const bool counts = s.tree.generation() > before;
        EXPECT_EQ(counts, *c.marks || c.structure) << c.name;
        EXPECT_GE(s.tree.generation(), before) << c.name;
        EXPECT_EQ(s.tree.structureGeneration() > structure, c.structure) << c.name;
        for (int i = 0; i < s.tree.topLevelCount(); ++i) {
            const bool marked = s.tree.topLevel(i)->text() == c.marks;
            EXPECT_EQ(s.tree.topLevelGeneration(i) > before, marked) << c.name << " " << i;
            if (marked) {
                EXPECT_EQ(s.tree.topLevelGeneration(i), s.tree.generation()) << c.name;
            }
        }
    }
}

// Records live in storage the tree fills in bulk and reuses: each node reads
// back the record it was given, and one asked for stays in place (edits and
// new records land in it) while nodes around it are removed, added, and the
// storage of a cleared tree is made anew.
TEST(TreeRecords, EachNodeKeepsItsOwnThroughRemovalReuseAndClear)
{
    Tree tree;
    const auto recordFor = [](int user, int right) {
        zkSecurity::TzkNodeRecord record;
        record.SecurityId = right;
        record.setCaption("right " + QByteArray::number(right));
        record.setGranted((user + right) % 3 == 0);
        record.NodeIndex = user * 100 + right;
        record.ImageIndex = right % 5;
        record.Reserved[7] = quint8(right == 2 ? user : 0);
        return record;
    };
    const auto addUser = [&](int user) {
        TreeNode *node = tree.addChild(nullptr, "user " + QByteArray::number(user));
        for (int right = 0; right < 20; ++right)
            tree.addChild(node, b("r"))->setData(recordFor(user, right));
    };
    const auto expectAll = [&](const QList<int> &users) {
        ASSERT_EQ(tree.topLevelCount(), users.size());
        for (int u = 0; u < users.size(); ++u) {
            for (int right = 0; right < 20; ++right) {
                const zkSecurity::TzkNodeRecord *record = tree.topLevel(u)->item(right)->data();
                ASSERT_NE(record, nullptr);
                EXPECT_EQ(record->toBytes(), recordFor(users[u], right).toBytes())
                    << users[u] << " " << right;
            }
        }
    };
    for (int user = 0; user < 30; ++user)
        addUser(user);

    const zkSecurity::TzkNodeRecord *kept = tree.topLevel(5)->item(2)->data();
    tree.deleteNode(tree.topLevel(0));
    tree.deleteNode(tree.topLevel(9));
    for (int user = 30; user < 40; ++user)
        addUser(user);
    TreeNode *node = tree.topLevel(4)->item(2);
    EXPECT_EQ(node->data(), kept);
    node->editData()->Reserved[0] = 9;
    EXPECT_EQ(kept->Reserved[0], 9);
    node->setData(recordFor(5, 2));
    EXPECT_EQ(node->data(), kept);
    node->releaseData();
    EXPECT_EQ(node->data(), nullptr);
    EXPECT_EQ(node->editData(), nullptr);
    node->setData(recordFor(5, 2));

    QList<int> users;
    for (int user = 1; user < 40; ++user) {
        if (user != 10)
            users << user;
    }
    expectAll(users);
    tree.clear();
    for (int user = 0; user < 3; ++user)
        addUser(user);
    expectAll({0, 1, 2});
}
