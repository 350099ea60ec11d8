// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The operations of the template tree on the security template and the user template.
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/registry.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace zkSecurity;
using zkSecurity::TreeNode;

namespace {

QByteArray b(const char *s)
{
    return QByteArray(s);
}

TreeNode *addNode(TzkSecurityTemplate &tree, TreeNode *parent, const QByteArray &text, qint32 id,
                  int image = -1)
{
    TreeNode *node = tree.addChild(parent, text);
    auto record = std::make_unique<TzkNodeRecord>();
    record->SecurityId = id;
    if (parent)
        record->setCaption(text);
    node->setData(std::move(record));
    node->setImages(image);
    return node;
}

// Text and level of every node in pre-order, "\t"-indented, for whole-tree comparisons.
QByteArrayList shape(const zkSecurity::Tree &tree)
{
    QByteArrayList lines;
    for (int i = 0; i < tree.count(); ++i) {
        TreeNode *node = tree.nodeAt(i);
        lines << QByteArray(node->level(), '\t') + node->text();
    }
    return lines;
}

struct Demo
{
    Demo() { demotemplate::build(security); }
    TzkSecurityTemplate security;
    TzkSecurityTemplate users;
};

} // namespace

// --- finding users and passwords --------------------------------------------

TEST(UserLookup, NamesCompareExactlyAndTheFirstMatchWins)
{
    TzkSecurityTemplate empty;
    TzkSecurityTemplate users;
    EXPECT_EQ(users.GetUserNodeByUserName(b("Anna")), nullptr);
    users.AddUserToUserTemplate(&empty, b("Anna"), b("p1"), true);
    users.AddUserToUserTemplate(&empty, b("anna"), b("p2"), true);
    users.AddUserToUserTemplate(&empty, b("anna"), b("p3"), true);
    EXPECT_EQ(users.GetUserNodeByUserName(b("anna")), users.topLevel(1));
    EXPECT_EQ(users.GetUserNodeByUserName(b("Anna")), users.topLevel(0));
    EXPECT_EQ(users.GetUserNodeByUserName(b("ANNA")), nullptr);
    EXPECT_EQ(users.GetUserNodeByUserName(b("Anna ")), nullptr);
    // Only top-level nodes are users, though deeper nodes may carry the same text.
    EXPECT_EQ(users.GetUserNodeByUserName(b("Rights")), nullptr);
    EXPECT_EQ(users.GetUserPassword(b("anna")), b("p2"));
}

TEST(UserLookup, Passwords)
{
    TzkSecurityTemplate empty;
    TzkSecurityTemplate users;
    EXPECT_EQ(users.GetUserPassword(b("Supervisor")), QByteArray());
    EXPECT_EQ(users.GetPasswordFromUserTreeNode(nullptr), QByteArray());

    users.AddUserToUserTemplate(&empty, b("Supervisor"), QByteArray(), true);
    users.AddUserToUserTemplate(&empty, b("Bob"), QByteArray(55, 's'), true);
    EXPECT_EQ(users.GetUserPassword(b("Supervisor")), QByteArray());
    EXPECT_EQ(users.GetUserPassword(b("Nobody")), QByteArray());
    EXPECT_EQ(users.GetUserPassword(b("Bob")), QByteArray(40, 's'));
    EXPECT_EQ(users.GetPasswordFromUserTreeNode(users.topLevel(1)), QByteArray(40, 's'));
}

// --- adding users -----------------------------------------------------------

TEST(AddUser, ShapeOfAUserAndItsRightsCopy)
{
    Demo d;
    d.users.AddUserToUserTemplate(&d.security, b("Anna"), b("scrambled"), false);
    ASSERT_EQ(d.users.count(), 3 + 29);
    TreeNode *user = d.users.topLevel(0);
    EXPECT_EQ(user->text(), b("Anna"));
    EXPECT_EQ(user->imageIndex(), 0);
    EXPECT_EQ(user->data()->SecurityId, 0);
    EXPECT_EQ(user->data()->caption(), QByteArray());

    TreeNode *password = user->item(0);
    EXPECT_EQ(password->text(), b("Password(********)"));
    EXPECT_EQ(password->imageIndex(), 3);
    EXPECT_EQ(password->selectedIndex(), 3);
    EXPECT_EQ(password->data()->caption(), b("scrambled"));
    EXPECT_FALSE(password->hasChildren());

    TreeNode *rights = user->item(1);
    EXPECT_EQ(rights->text(), b("Rights"));
    EXPECT_EQ(rights->imageIndex(), 1);
    EXPECT_EQ(rights->data()->caption(), QByteArray());
    EXPECT_EQ(user->count(), 2);

    // Below "Rights": the template's nodes below its root, same order and nesting,
    // identifiers marked " (No)", groups by their caption.
    QByteArrayList expected;
    for (size_t i = 1; i < demotemplate::Rows.size(); ++i) {
        const demotemplate::Row &row = demotemplate::Rows[i];
        QByteArray text = QByteArray(row.level + 1, '\t') + row.text;
        if (row.securityId != 0)
            text += " (No)";
        expected << text;
    }
    EXPECT_EQ(shape(d.users).mid(3), expected);

    for (int i = 3; i < d.users.count(); ++i) {
        TreeNode *right = d.users.nodeAt(i);
        TreeNode *source = d.security.nodeAt(i - 2);
        ASSERT_NE(right->data(), source->data()) << i;
        EXPECT_EQ(right->data()->SecurityId, source->data()->SecurityId) << i;
        EXPECT_EQ(right->data()->caption(), source->data()->caption()) << i;
        EXPECT_FALSE(right->data()->granted()) << i;
        EXPECT_EQ(right->imageIndex(), source->imageIndex()) << i;
    }
}

TEST(AddUser, NewUserGoesAfterTheLastAndGrantedRightsSayYes)
{
    Demo d;
    d.users.AddUserToUserTemplate(&d.security, b("Supervisor"), QByteArray(), true);
    d.users.AddUserToUserTemplate(&d.security, b("Anna"), QByteArray(), true);
    ASSERT_EQ(d.users.topLevelCount(), 2);
    TreeNode *anna = d.users.topLevel(1);
    EXPECT_EQ(anna->text(), b("Anna"));
    TreeNode *newRight = anna->item(1)->item(2)->item(0); // Rights / File / New
    EXPECT_EQ(newRight->text(), b("New (Yes)"));
    EXPECT_TRUE(newRight->data()->granted());
    EXPECT_EQ(newRight->data()->SecurityId, 1);
    EXPECT_EQ(newRight->imageIndex(), 11);
}

TEST(AddUser, CopiesWholeRecordsAndBothImageIndexes)
{
    TzkSecurityTemplate security;
    TreeNode *root = addNode(security, nullptr, b("User"), 0, 0);
    TreeNode *action = addNode(security, root, b("Act"), 9, 5);
    action->setSelectedIndex(6);
    action->editData()->Reserved[10] = 0x5A;
    action->editData()->NodeIndex = 77;
    action->editData()->Granted = 1;

    TzkSecurityTemplate users;
    users.AddUserToUserTemplate(&security, b("u"), QByteArray(), false);
    TreeNode *copy = users.nodeAt(3);
    EXPECT_EQ(copy->text(), b("Act (No)"));
    EXPECT_EQ(copy->imageIndex(), 5);
    EXPECT_EQ(copy->selectedIndex(), 6);
    EXPECT_EQ(copy->data()->Reserved[10], 0x5A);
    EXPECT_EQ(copy->data()->NodeIndex, 77);
    EXPECT_FALSE(copy->data()->granted());
    // The template keeps its own record.
    EXPECT_TRUE(action->data()->granted());
}

TEST(AddUser, CategoryLongerThanFortyIsCutBecauseTheCopyUsesTheCaption)
{
    TzkSecurityTemplate security;
    TreeNode *root = addNode(security, nullptr, b("User"), 0, 0);
    const QByteArray longCategory(45, 'C');
    TreeNode *category = addNode(security, root, longCategory, 0, 2);
    EXPECT_EQ(category->text(), longCategory);
    const QByteArray caption40(40, 'a');
    addNode(security, category, caption40, 5);

    TzkSecurityTemplate users;
    users.AddUserToUserTemplate(&security, b("yes"), QByteArray(), true);
    users.AddUserToUserTemplate(&security, b("no"), QByteArray(), false);
    TreeNode *yesCategory = users.topLevel(0)->item(1)->item(0);
    EXPECT_EQ(yesCategory->text(), QByteArray(40, 'C'));
    EXPECT_EQ(yesCategory->item(0)->text(), caption40 + " (Yes)");
    EXPECT_EQ(yesCategory->item(0)->text().size(), 46);
    TreeNode *noRight = users.topLevel(1)->item(1)->item(0)->item(0);
    EXPECT_EQ(noRight->text(), caption40 + " (No)");
    EXPECT_EQ(noRight->text().size(), 45);
}

TEST(AddUser, NegativeIdentifierIsMarkedLikeAnyNonZeroOne)
{
    TzkSecurityTemplate security;
    TreeNode *root = addNode(security, nullptr, b("User"), 0);
    addNode(security, root, b("Odd"), -3);
    TzkSecurityTemplate users;
    users.AddUserToUserTemplate(&security, b("u"), QByteArray(), true);
    EXPECT_EQ(users.nodeAt(3)->text(), b("Odd (Yes)"));
}

TEST(AddUser, EmptySecurityTemplateGivesAChildlessRightsNodeSeenAsPassword)
{
    TzkSecurityTemplate empty;
    TzkSecurityTemplate users;
    users.AddUserToUserTemplate(&empty, b("Anna"), QByteArray(), true);
    users.AddUserToUserTemplate(nullptr, b("Bob"), QByteArray(), true);
    EXPECT_EQ(users.count(), 6);
    TreeNode *rights = users.topLevel(0)->item(1);
    EXPECT_FALSE(rights->hasChildren());
    QByteArray userName, caption;
    EXPECT_EQ(users.GetNodeType(rights, userName, caption), ntPassword);
    EXPECT_EQ(userName, b("Anna"));
}

TEST(AddUser, BuildIntoAnotherTreeAndNeverIntoItself)
{
    Demo d;
    TzkSecurityTemplate other;
    TreeNode *top = other.addChild(nullptr, b("top"));
    d.users.BuildASecurityUser(top, d.security.firstNode(), true);
    EXPECT_EQ(d.users.count(), 0);
    EXPECT_EQ(other.count(), 30);
    EXPECT_EQ(top->item(0)->text(), b("Child memo text (Yes)"));

    // A tree used as its own template: the new user is the first node, and
    // copying it below itself would never end.
    TzkSecurityTemplate self;
    self.AddUserToUserTemplate(&self, b("me"), QByteArray(), true);
    EXPECT_EQ(self.count(), 3);
}

// --- classification ---------------------------------------------------------

TEST(NodeType, UserTemplateTable)
{
    Demo d;
    d.users.AddUserToUserTemplate(&d.security, b("Supervisor"), b("sup"), true);
    d.users.AddUserToUserTemplate(&d.security, b("Anna"), b("pwd"), true);
    TreeNode *supervisor = d.users.topLevel(0);
    TreeNode *anna = d.users.topLevel(1);
    supervisor->editData()->setCaption(b("userCaption"));

    QByteArray userName, caption;
    EXPECT_EQ(d.users.GetNodeType(supervisor, userName, caption), ntSupervisor);
    EXPECT_EQ(userName, b("Supervisor"));
    EXPECT_EQ(caption, b("userCaption"));

    EXPECT_EQ(d.users.GetNodeType(anna, userName, caption), ntUser);
    EXPECT_EQ(userName, b("Anna"));
    EXPECT_EQ(caption, QByteArray());

    EXPECT_EQ(d.users.GetNodeType(anna->item(0), userName, caption), ntPassword);
    EXPECT_EQ(userName, b("Anna"));
    EXPECT_EQ(caption, b("pwd"));

    // The place decides before the identifier: a childless level-1 node is a
    // password node even when it carries an identifier, also below Supervisor.
    supervisor->item(0)->editData()->SecurityId = 5;
    EXPECT_EQ(d.users.GetNodeType(supervisor->item(0), userName, caption), ntPassword);
    EXPECT_EQ(userName, b("Supervisor"));
    EXPECT_EQ(caption, b("sup"));
    supervisor->editData()->SecurityId = 7;
    EXPECT_EQ(d.users.GetNodeType(supervisor, userName, caption), ntSupervisor);

    const struct
    {
        TreeNode *node;
        TzkNodeType type;
    } rows[] = {
        {anna->item(1), ntGroup}, // Rights
        {anna->item(1)->item(2), ntGroup}, // File
        {anna->item(1)->item(2)->item(0), ntRight}, // New (Yes)
        {anna->item(1)->item(0), ntRight}, // right right below Rights
        {supervisor->item(1)->item(2)->item(0), ntSupervisorRight},
        {supervisor->item(1), ntGroup},
    };
    for (const auto &row : rows) {
        userName = b("untouched");
        caption = b("untouched");
        EXPECT_EQ(d.users.GetNodeType(row.node, userName, caption), row.type)
            << row.node->text().constData();
        EXPECT_EQ(userName, b("untouched"));
        EXPECT_EQ(caption, b("untouched"));
    }
}

TEST(NodeType, SupervisorNameIsExact)
{
    TzkSecurityTemplate empty;
    TzkSecurityTemplate users;
    users.AddUserToUserTemplate(&empty, b("supervisor"), QByteArray(), true);
    QByteArray userName, caption;
    EXPECT_EQ(users.GetNodeType(users.topLevel(0), userName, caption), ntUser);
}

TEST(NodeType, SelectedNode)
{
    Demo d;
    d.users.AddUserToUserTemplate(&d.security, b("Anna"), b("pwd"), true);
    QByteArray userName = b("u"), caption = b("c");
    EXPECT_EQ(d.users.GetSelectedNodeType(userName, caption), ntNone);
    EXPECT_EQ(userName, b("u"));
    EXPECT_EQ(caption, b("c"));
    EXPECT_EQ(d.users.GetUserNodeForSelected(), nullptr);

    TreeNode *deep =
        d.users.topLevel(0)->item(1)->item(6)->item(0)->item(0)->item(0); // Check Rights
    ASSERT_EQ(deep->text(), b("Check Rights (Yes)"));
    d.users.setSelected(deep);
    EXPECT_EQ(d.users.GetSelectedNodeType(userName, caption), ntRight);
    EXPECT_EQ(d.users.GetUserNodeForSelected(), d.users.topLevel(0));
    EXPECT_EQ(d.users.GetUserNodeForNode(deep), d.users.topLevel(0));
    EXPECT_EQ(d.users.GetUserNodeForNode(d.users.topLevel(0)), d.users.topLevel(0));
    EXPECT_EQ(d.users.GetUserNodeForNode(nullptr), nullptr);

    d.users.setSelected(d.users.topLevel(0)->item(0));
    EXPECT_EQ(d.users.GetSelectedNodeType(userName, caption), ntPassword);
    EXPECT_EQ(caption, b("pwd"));
}

TEST(NodeType, SecurityTemplateTable)
{
    Demo d;
    TreeNode *root = d.security.firstNode();
    EXPECT_EQ(d.security.GetNodeTypeSecurityTemplate(nullptr), ntNone);
    EXPECT_EQ(d.security.GetNodeTypeSecurityTemplate(root), ntUser);
    EXPECT_EQ(d.security.GetNodeTypeSecurityTemplate(root->item(2)), ntGroup); // File
    EXPECT_EQ(d.security.GetNodeTypeSecurityTemplate(root->item(2)->item(0)), ntRight); // New
    EXPECT_EQ(d.security.GetNodeTypeSecurityTemplate(root->item(0)), ntRight);
    root->item(0)->editData()->SecurityId = -1;
    EXPECT_EQ(d.security.GetNodeTypeSecurityTemplate(root->item(0)), ntGroup);
}

// --- identifiers ------------------------------------------------------------

TEST(SecurityIds, GenerateAndValidate)
{
    Demo d;
    EXPECT_EQ(d.security.GenerateSecurityId(), 37);
    EXPECT_FALSE(d.security.IsValidSecurityId(36));
    EXPECT_TRUE(d.security.IsValidSecurityId(37));
    EXPECT_FALSE(d.security.IsValidSecurityId(0));
    EXPECT_FALSE(d.security.IsValidSecurityId(1));
    EXPECT_TRUE(d.security.IsValidSecurityId(17));

    TzkSecurityTemplate empty;
    EXPECT_EQ(empty.GenerateSecurityId(), 1);
    EXPECT_TRUE(empty.IsValidSecurityId(0));
}

TEST(SecurityIds, NegativeIdentifiersNeverRaiseTheMaximum)
{
    TzkSecurityTemplate t;
    TreeNode *root = addNode(t, nullptr, b("User"), -5);
    addNode(t, root, b("a"), -100);
    EXPECT_EQ(t.GenerateSecurityId(), 1);
    EXPECT_FALSE(t.IsValidSecurityId(-100));
    EXPECT_TRUE(t.IsValidSecurityId(0));
}

TEST(SecurityIds, LargestIdentifierWrapsInsteadOfOverflowing)
{
    TzkSecurityTemplate t;
    addNode(t, nullptr, b("User"), std::numeric_limits<qint32>::max());
    EXPECT_EQ(t.GenerateSecurityId(), std::numeric_limits<qint32>::min());
}

// --- removing ---------------------------------------------------------------

TEST(Removal, DeleteNodeTakesTheWholeUser)
{
    Demo d;
    d.users.AddUserToUserTemplate(&d.security, b("Anna"), b("a"), true);
    d.users.AddUserToUserTemplate(&d.security, b("Bob"), b("b"), true);
    ASSERT_EQ(d.users.count(), 64);
    TreeNode *anna = d.users.topLevel(0);
    d.users.setSelected(anna->item(1)->item(3)->item(1));
    d.users.DeleteNode(anna);
    EXPECT_EQ(d.users.count(), 32);
    EXPECT_EQ(d.users.selected(), nullptr);
    EXPECT_EQ(d.users.GetUserNodeByUserName(b("Anna")), nullptr);
    EXPECT_EQ(d.users.GetUserPassword(b("Bob")), b("b"));
    EXPECT_EQ(d.users.GetUserNodeByUserName(b("Bob"))->absoluteIndex(), 0);
    d.users.DeleteNode(nullptr);
    EXPECT_EQ(d.users.count(), 32);
}

TEST(Removal, DeleteNodeOfAnotherTreeRemovesItThere)
{
    Demo d;
    TzkSecurityTemplate other;
    demotemplate::build(other);
    d.users.DeleteNode(other.firstNode()->item(2)); // File and its six actions
    EXPECT_EQ(other.count(), 23);
    EXPECT_EQ(d.security.count(), 30);
}

TEST(Removal, ClearTemplateEmptiesAndLeavesAUsableTree)
{
    Demo d;
    d.security.setSelected(d.security.nodeAt(5));
    d.security.ClearTemplate();
    EXPECT_EQ(d.security.count(), 0);
    EXPECT_EQ(d.security.selected(), nullptr);
    EXPECT_EQ(d.security.GenerateSecurityId(), 1);
    demotemplate::build(d.security);
    EXPECT_EQ(d.security.count(), 30);
}

// --- a node without a record (only a damaged stream leaves one) --------------

TEST(RecordlessNodes, EveryOperationReadsThemAsAllZero)
{
    TzkSecurityTemplate security;
    TreeNode *root = security.addChild(nullptr, b("User")); // no record
    TreeNode *category = security.addChild(root, b("Cat")); // no record
    TreeNode *action = addNode(security, category, b("Act"), 4, 7);
    security.addChild(root, b("Bare")); // no record

    EXPECT_EQ(security.GetNodeTypeSecurityTemplate(root), ntUser);
    EXPECT_EQ(security.GetNodeTypeSecurityTemplate(category), ntGroup);
    EXPECT_EQ(security.GenerateSecurityId(), 5);
    EXPECT_FALSE(security.IsValidSecurityId(0));
    EXPECT_TRUE(security.IsValidSecurityId(5));

    TzkSecurityTemplate users;
    users.AddUserToUserTemplate(&security, b("u"), b("pw"), true);
    // Record-less nodes copy as identifier 0 with an empty caption, and get a record.
    EXPECT_EQ(shape(users),
              (QByteArrayList {"u", "\tPassword(********)", "\tRights", "\t\t", "\t\t\tAct (Yes)",
                               "\t\t"}));
    for (int i = 0; i < users.count(); ++i)
        EXPECT_NE(users.nodeAt(i)->data(), nullptr) << i;
    EXPECT_EQ(users.nodeAt(3)->data()->SecurityId, 0);
    EXPECT_TRUE(users.nodeAt(3)->data()->granted());
    EXPECT_EQ(users.nodeAt(4)->imageIndex(), 7);

    // A user template whose nodes lost their records.
    TzkSecurityTemplate damaged;
    TreeNode *user = damaged.addChild(nullptr, b("Anna"));
    TreeNode *password = damaged.addChild(user, b("Password(********)"));
    TreeNode *rights = damaged.addChild(user, b("Rights"));
    TreeNode *right = damaged.addChild(rights, b("New (Yes)"));
    TreeNode *lonely = damaged.addChild(nullptr, b("Lonely")); // a user without children
    QByteArray userName, caption = b("x");
    EXPECT_EQ(damaged.GetUserPassword(b("Anna")), QByteArray());
    EXPECT_EQ(damaged.GetUserPassword(b("Lonely")), QByteArray());
    EXPECT_EQ(damaged.GetNodeType(user, userName, caption), ntUser);
    EXPECT_EQ(caption, QByteArray());
    EXPECT_EQ(damaged.GetNodeType(password, userName, caption), ntPassword);
    EXPECT_EQ(damaged.GetNodeType(right, userName, caption), ntGroup);
    EXPECT_EQ(damaged.GetNodeType(lonely, userName, caption), ntUser);
    damaged.setSelected(right);
    EXPECT_EQ(damaged.GetSelectedNodeType(userName, caption), ntGroup);
    EXPECT_EQ(damaged.GenerateSecurityId(), 1);
    damaged.DeleteNode(rights);
    EXPECT_EQ(damaged.count(), 3);
    damaged.ClearTemplate();
    EXPECT_EQ(damaged.count(), 0);
    (void)action;
}

// --- the store key ----------------------------------------------------------

TEST(StoreKey, DeleteKeyRemovesTheKeyWithItsSubkeys)
{
    testsupport::TemporaryHome home;
    const QString key = QStringLiteral("\\Software\\Test\\UserTemplate");
    {
        rightsmith::toolkit::Registry registry;
        ASSERT_TRUE(registry.openKey(key + QStringLiteral("\\Sub\\Deeper"), true));
        registry.writeInteger(QStringLiteral("v"), 1);
        registry.closeKey();
    }
    TzkSecurityTemplate t;
    EXPECT_TRUE(t.DeleteKey(key));
    {
        rightsmith::toolkit::Registry registry;
        EXPECT_FALSE(registry.keyExists(key));
        EXPECT_FALSE(registry.keyExists(key + QStringLiteral("\\Sub")));
        EXPECT_TRUE(registry.keyExists(QStringLiteral("\\Software\\Test")));
    }
    EXPECT_FALSE(t.DeleteKey(key));
}
