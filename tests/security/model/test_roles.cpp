// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Roles over the user template: what a role change writes into its members'
// own rights, what the rights check then answers, what is refused, and the
// role template's stream.
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/rightnodes.h"
#include "security/model/roles.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "support/fakes.h"
#include "support/templatestream.h"
#include "support/temporaryhome.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace zkSecurity;

namespace {

using testsupport::load;
using testsupport::streamOf;

QByteArray userName(int i)
{
    return "User" + QByteArray::number(i);
}

const QByteArrayList RoleNames {"Sales", "Stock", "Accounts", "Service"};
// The template stream's stamp and node count come before the records.
constexpr int Header = 20;

// The demo's rights, "Supervisor" and 130 users (every third one with every
// right, the others with none), and four roles: user i belongs to role i % 5
// (none for 4), every tenth also to "Service".
class RolesTest : public ::testing::Test
{
protected:
    RolesTest()
    {
        demotemplate::build(rights);
        users.AddUserToUserTemplate(&rights, SupervisorName, {}, true);
        for (int i = 0; i < 130; ++i)
            users.AddUserToUserTemplate(&rights, userName(i), {}, i % 3 == 0);
        for (int r = 0; r < 4; ++r)
            EXPECT_TRUE(roles.AddRole(RoleNames[r], rights.firstNode()));
        for (int i = 0; i < 130; ++i) {
            EXPECT_TRUE(i % 5 == 4 || roles.Assign(RoleNames[i % 5], userName(i)));
            EXPECT_TRUE(i % 10 != 0 || roles.Assign("Service", userName(i)));
        }
        EXPECT_TRUE(roles.SetRoleRight("Sales", 2, true)); // File/Open
        EXPECT_TRUE(roles.SetRoleRight("Service", 16, true)); // Security/.../Check Rights
        roles.ApplyToUsers();
    }

    bool isMember(int i, const QByteArray &role) const
    {
        return roles.Members(role).contains(userName(i));
    }
    // What user \a i holds: what a role grants, or without a role the own toggle.
    bool holds(int i, const QByteArray &role) const
    {
        return roles.RolesOfUser(userName(i)).isEmpty() ? i % 3 == 0 : isMember(i, role);
    }

    TzkSecurityTemplate rights;
    TzkSecurityTemplate users;
    TzkSecurityTemplate roleTemplate;
    Roles roles {roleTemplate, users};
};

// Which users a rewrite touched, in user order.
QByteArrayList usersIn(const QList<RoleRightChange> &changes)
{
    QByteArrayList names;
    for (const RoleRightChange &change : changes)
        names << change.userName;
    return names;
}

TEST_F(RolesTest, GrantingToARoleChangesThatRightOfItsMembersOnly)
{
    constexpr qint32 Paste = 9;
    const QByteArray before = streamOf(users);
    ASSERT_TRUE(roles.SetRoleRight("Stock", Paste, true));
    const QList<RoleRightChange> changes = roles.ApplyToUsers();
    const QByteArray after = streamOf(users);

    const QByteArrayList members = roles.Members("Stock");
    EXPECT_EQ(usersIn(changes), members);
    for (const RoleRightChange &change : changes)
        EXPECT_EQ(change, (RoleRightChange {change.userName, Paste, "Paste", true}));
    // The bytes: each member's Paste record gets its flag, its line the new text.
    const int n = users.count();
    QByteArray expected = before.left(Header + n * TzkNodeRecord::Size);
    QByteArrayList lines = before.mid(expected.size()).split('\n');
    for (int i = 0; i < n; ++i) {
        TreeNode *node = users.nodeAt(i);
        if (node->data()->SecurityId == Paste
            && members.contains(users.GetUserNodeForNode(node)->text())) {
            expected[Header + i * TzkNodeRecord::Size + 45] = 1;
            lines[i] = "\t\t\tPaste  (Yes)\r";
        }
    }
    EXPECT_EQ(after, expected + lines.join('\n'));

    // The rights check reads it from the saved bytes.
    testsupport::TemporaryHome home;
    TzkSecurity security;
    security.SetOptions(security.Options().without(soSaveUsersInFile));
    security.Dialogs()->SetSecurity(&security);
    load(*security.UserTemplate(), after);
    for (int i : {0, 1, 2, 4, 6, 10, 129}) {
        ASSERT_TRUE(security.Logon(userName(i), {}, true)) << i;
        EXPECT_EQ(security.CheckId(Paste), holds(i, "Stock")) << i;
        EXPECT_EQ(security.CheckId(2), holds(i, "Sales")) << i;
        EXPECT_EQ(security.CheckId(16), holds(i, "Service")) << i;
    }
}

TEST_F(RolesTest, AUserLeavingTheLastRoleKeepsTheRightsTheyHad)
{
    const QByteArray User = userName(5); // in "Sales" only
    ASSERT_EQ(roles.RolesOfUser(User), QByteArrayList {"Sales"});
    const QByteArray before = streamOf(users);

    ASSERT_TRUE(roles.Unassign("Sales", User));
    EXPECT_TRUE(roles.ApplyToUsers().isEmpty());
    EXPECT_EQ(streamOf(users), before);
    ASSERT_TRUE(roles.SetRoleRight("Sales", 2, false));
    EXPECT_FALSE(usersIn(roles.ApplyToUsers()).contains(User));
    // Now toggled on the user: File/Open as "Sales" gave it, and the user's own to change.
    TreeNode *open = FindRight(users.GetUserNodeByUserName(User)->item(1), "File/Open");
    EXPECT_TRUE(IsGrantedText(open->text()));
    SetRightGranted(open, false);
    EXPECT_TRUE(roles.ApplyToUsers().isEmpty());
}

TEST_F(RolesTest, MembersWhoAreNoLongerUsersAreDropped)
{
    // Removed by a program without roles: still a member of "Sales" and "Service".
    users.DeleteNode(users.GetUserNodeByUserName(userName(10)));
    using Dropped = QList<std::pair<QByteArray, QByteArray>>;
    EXPECT_EQ(roles.DropMembersNotUsers(),
              (Dropped {{"Sales", userName(10)}, {"Service", userName(10)}}));
    EXPECT_EQ(roles.DropMembersNotUsers(), Dropped());
    EXPECT_EQ(roles.Members("Stock").size(), 26);
    // A new user of that name holds its own rights, no role's.
    users.AddUserToUserTemplate(&rights, userName(10), {}, false);
    EXPECT_TRUE(roles.RolesOfUser(userName(10)).isEmpty());
    EXPECT_TRUE(roles.ApplyToUsers().isEmpty());
}

TEST_F(RolesTest, RefusalsChangeNothing)
{
    enum Damage { Intact, NoMembers, SupervisorMember, FlagAgainstText };
    enum Op { Add, Rename, Assign, Unassign, Grant };
    struct Case
    {
        const char *name;
        Damage damage;
        Op op;
        QByteArray role, argument, message;
    };
    // A damaged role template refuses every change; its rows give what is damaged.
    const QList<Case> cases {
        {"named like a user", Intact, Add, "User7", "",
         "There is a user named \"User7\"; a role cannot have that name."},
        {"renamed like a role", Intact, Rename, "Sales", "Stock",
         "There is a role named \"Stock\" already."},
        {"member not a user", Intact, Assign, "Sales", "Nobody",
         "There is no user named \"Nobody\"."},
        {"Supervisor as member", Intact, Assign, "Sales", SupervisorName,
         "\"Supervisor\" cannot be a member of a role; its rights stay its own."},
        {"no such right", Intact, Grant, "Sales", "99", "The role \"Sales\" holds no right 99."},
        {"not a member", Intact, Unassign, "Sales", "User2",
         "\"User2\" is not a member of the role \"Sales\"."},
        {"role without members", NoMembers, Add, "New", "",
         "the role \"Stock\" does not hold \"Rights\" and \"Members\""},
        {"Supervisor stored as member", SupervisorMember, Assign, "Sales", "User2",
         "\"Supervisor\" is a member of the role \"Accounts\""},
        {"flag and text disagree", FlagAgainstText, Add, "New", "",
         "the right \"Child memo text (No)\" of the role \"Service\" reads both granted and "
         "denied"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TzkSecurityTemplate roleCopy;
        load(roleCopy, streamOf(roleTemplate));
        Roles copy(roleCopy, users);
        ASSERT_TRUE(copy.SetRoleRight("Sales", 7, true)); // not applied yet
        if (c.damage == NoMembers)
            roleCopy.DeleteNode(roleCopy.topLevel(1)->item(1));
        else if (c.damage == SupervisorMember)
            roleCopy.addChild(roleCopy.topLevel(2)->item(1), SupervisorName)
                ->setData(TzkNodeRecord());
        else if (c.damage == FlagAgainstText)
            roleCopy.topLevel(3)->item(0)->item(0)->editData()->setGranted(true);
        const QByteArray usersBefore = streamOf(users);
        const QByteArray rolesBefore = streamOf(roleCopy);
        QString why;
        const bool done = c.op == Add ? copy.AddRole(c.role, nullptr, &why)
            : c.op == Rename          ? copy.RenameRole(c.role, c.argument, &why)
            : c.op == Assign          ? copy.Assign(c.role, c.argument, &why)
            : c.op == Unassign        ? copy.Unassign(c.role, c.argument, &why)
                                      : copy.SetRoleRight(c.role, c.argument.toInt(), true, &why);
        EXPECT_FALSE(done);
        EXPECT_EQ(why.toUtf8(),
                  c.damage == Intact
                      ? c.message
                      : "The roles are damaged (" + c.message + "); nothing was changed.");
        EXPECT_EQ(streamOf(roleCopy), rolesBefore);
        // Users are never rewritten from damaged roles.
        EXPECT_EQ(copy.Damage().isEmpty(), c.damage == Intact);
        if (c.damage != Intact) {
            EXPECT_TRUE(copy.ApplyToUsers().isEmpty());
            EXPECT_FALSE(copy.FollowSecurityTemplate(rights));
        }
        EXPECT_EQ(streamOf(users), usersBefore);
    }
}

TEST_F(RolesTest, TheRoleTemplateRoundTripsByteExact)
{
    ASSERT_TRUE(roles.AddRoleLike("Like0", userName(0)));
    const QByteArray stream = streamOf(roleTemplate);
    TzkSecurityTemplate reread;
    load(reread, stream);
    EXPECT_EQ(streamOf(reread), stream);

    Roles again(reread, users);
    EXPECT_EQ(again.Damage(), QString());
    EXPECT_EQ(again.RolesOfUser(userName(10)), (QByteArrayList {"Sales", "Service"}));
    // User0 holds what "Sales" grants (File/Open, 2) and "Service" (Check Rights).
    const TreeNode *like = again.RoleRights("Like0");
    EXPECT_EQ(FindRight(like, "2")->text(), "Open  (Yes)");
    EXPECT_EQ(FindRight(like, "Security/Services/Checks/Check Rights")->text(),
              "Check Rights  (Yes)");
    EXPECT_EQ(FindRight(like, "File/New")->text(), "New (No)");
}

TEST_F(RolesTest, CopiesFollowTheSecurityTemplateAndMeetByIdentifier)
{
    TreeNode *print = rights.addChild(rights.firstNode()->item(2), "Print"); // File/Print
    TzkNodeRecord record;
    record.SecurityId = 40;
    record.setCaption("Print");
    print->setData(record);
    // A member whose copy was made when Copy carried 9 and Paste 8.
    TzkSecurityTemplate swapped;
    load(swapped, streamOf(rights));
    TreeNode *edit = swapped.firstNode()->item(3);
    edit->item(1)->editData()->SecurityId = 9;
    edit->item(2)->editData()->SecurityId = 8;
    users.AddUserToUserTemplate(&swapped, "Late", {}, false);

    ASSERT_TRUE(roles.FollowSecurityTemplate(rights));
    EXPECT_FALSE(roles.FollowSecurityTemplate(rights));
    EXPECT_EQ(FindRight(roles.RoleRights("Sales"), "File/Print")->text(), "Print (No)");
    EXPECT_EQ(FindRight(roles.RoleRights("Sales"), "File/Open")->text(), "Open  (Yes)");
    EXPECT_TRUE(FindRight(users.GetUserNodeByUserName(userName(1))->item(1), "40"));
    EXPECT_FALSE(FindRight(users.GetUserNodeByUserName(userName(4))->item(1), "40"));

    ASSERT_TRUE(roles.Assign("Sales", "Late"));
    ASSERT_TRUE(roles.SetRoleRight("Sales", 40, true));
    ASSERT_TRUE(roles.SetRoleRight("Sales", 9, true)); // "Paste" in the role's copy
    roles.ApplyToUsers();
    const TreeNode *late = users.GetUserNodeByUserName("Late")->item(1);
    EXPECT_EQ(FindRight(users.GetUserNodeByUserName(userName(0))->item(1), "File/Print")->text(),
              "Print  (Yes)");
    EXPECT_EQ(FindRight(late, "Edit/Copy")->text(), "Copy  (Yes)");
    EXPECT_EQ(FindRight(late, "Edit/Paste")->text(), "Paste (No)");
    EXPECT_FALSE(FindRight(users.GetUserNodeByUserName(userName(4))->item(1), "40"));
}

// A program built before a right existed saves the same store: the right a
// newer program granted to a role stays granted, for the role and its members.
TEST_F(RolesTest, AnOlderTemplateKeepsTheRightsItDoesNotKnow)
{
    TzkSecurityTemplate older;
    load(older, streamOf(rights));
    TreeNode *reports = rights.addChild(rights.firstNode(), "Reports");
    reports->setData(TzkNodeRecord());
    TreeNode *print = rights.addChild(reports, "Print");
    TzkNodeRecord record;
    record.SecurityId = 40;
    record.setCaption("Print");
    print->setData(record);
    ASSERT_TRUE(roles.FollowSecurityTemplate(rights));
    ASSERT_TRUE(roles.SetRoleRight("Sales", 40, true));
    roles.ApplyToUsers();
    const QByteArray before = streamOf(users);

    roles.FollowSecurityTemplate(older);
    EXPECT_TRUE(roles.ApplyToUsers().isEmpty());
    EXPECT_EQ(streamOf(users), before);
    EXPECT_TRUE(FindRightById(roles.RoleRights("Sales"), 40)->data()->granted());
    EXPECT_EQ(FindRightById(users.GetUserNodeByUserName(userName(0))->item(1), 40)->text(),
              "Print  (Yes)");
}

// A number names an identifier before a caption: a right captioned "2"
// does not stand in for right 2.
TEST_F(RolesTest, ANumberNamesTheIdentifierFirst)
{
    // The first right of the copy is captioned "9"; Edit/Paste carries 9.
    TreeNode *root = rights.firstNode();
    TreeNode *first = root->item(0);
    first->editData()->setCaption("9");
    first->setText("9");
    ASSERT_NE(first->data()->SecurityId, 9);
    EXPECT_EQ(FindRight(root, "9")->data()->SecurityId, 9);
    EXPECT_EQ(FindRight(root, QByteArray::number(first->data()->SecurityId)), first);
    EXPECT_EQ(FindRight(root, "Edit/Paste")->data()->SecurityId, 9);
}

} // namespace
