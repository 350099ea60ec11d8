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
#include "support/temporaryhome.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <functional>

using namespace zkSecurity;

namespace {

QByteArray streamOf(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

void load(TzkSecurityTemplate &tree, QByteArray stream)
{
    QBuffer buffer(&stream);
    buffer.open(QIODevice::ReadOnly);
    tree.LoadFromStreamSecurity(buffer);
}

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
            if (i % 5 < 4) {
                EXPECT_TRUE(roles.Assign(RoleNames[i % 5], userName(i)));
            }
            if (i % 10 == 0) {
                EXPECT_TRUE(roles.Assign("Service", userName(i)));
            }
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

    QByteArrayList expected;
    for (int i = 0; i < 130; ++i) {
        if (isMember(i, "Stock"))
            expected << userName(i);
    }
    EXPECT_EQ(usersIn(changes), expected);
    for (const RoleRightChange &change : changes)
        EXPECT_EQ(change, (RoleRightChange {change.userName, Paste, "Paste", true}));

    // Byte by byte: the records differ only in the flag of the changed
    // rights, the text only in their lines.
    const int n = users.count();
    QByteArrayList beforeLines = before.mid(Header + n * TzkNodeRecord::Size).split('\n');
    QByteArrayList afterLines = after.mid(Header + n * TzkNodeRecord::Size).split('\n');
    ASSERT_EQ(beforeLines.size(), afterLines.size());
    int changed = 0;
    for (int i = 0; i < n; ++i) {
        const TreeNode *node = users.nodeAt(i);
        const bool expectChange = node->data()->SecurityId == Paste
            && expected.contains(users.GetUserNodeForNode(const_cast<TreeNode *>(node))->text());
        QByteArray recordBefore = before.mid(Header + i * TzkNodeRecord::Size, 180);
        const QByteArray recordAfter = after.mid(Header + i * TzkNodeRecord::Size, 180);
        if (expectChange) {
            ++changed;
            EXPECT_EQ(recordBefore[45], '\0');
            recordBefore[45] = '\1';
            EXPECT_EQ(afterLines[i], "\t\t\tPaste  (Yes)\r");
        } else {
            EXPECT_EQ(afterLines[i], beforeLines[i]) << "line " << i;
        }
        EXPECT_EQ(recordAfter, recordBefore) << "record " << i;
    }
    EXPECT_EQ(changed, expected.size());

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
    ASSERT_TRUE(roles.SetRoleRight("Sales", 2, false));
    ASSERT_TRUE(roles.SetRoleRight("Sales", 1, true));
    const QList<RoleRightChange> changes = roles.ApplyToUsers();
    EXPECT_FALSE(changes.isEmpty());
    EXPECT_FALSE(usersIn(changes).contains(User));

    // Now toggled on the user: a rights change of the user stays.
    TreeNode *open = FindRight(users.GetUserNodeByUserName(User)->item(1), "File/Open");
    ASSERT_TRUE(open);
    EXPECT_TRUE(IsGrantedText(open->text()));
    SetRightGranted(open, false);
    EXPECT_TRUE(roles.ApplyToUsers().isEmpty());
    EXPECT_NE(streamOf(users), before);
}

TEST_F(RolesTest, RightsAreMatchedBySecurityIdentifier)
{
    // A user whose copy was made when Copy carried 9 and Paste 8.
    TzkSecurityTemplate swapped;
    load(swapped, streamOf(rights));
    TreeNode *edit = swapped.firstNode()->item(3);
    ASSERT_EQ(edit->text(), "Edit");
    edit->item(1)->editData()->SecurityId = 9;
    edit->item(2)->editData()->SecurityId = 8;
    users.AddUserToUserTemplate(&swapped, "Late", {}, false);
    ASSERT_TRUE(roles.Assign("Stock", "Late"));
    ASSERT_TRUE(roles.SetRoleRight("Stock", 9, true)); // "Paste" in the role's copy

    roles.ApplyToUsers();
    const TreeNode *lateEdit = users.GetUserNodeByUserName("Late")->item(1)->item(3);
    EXPECT_EQ(lateEdit->item(1)->text(), "Copy  (Yes)");
    EXPECT_EQ(lateEdit->item(2)->text(), "Paste (No)");
}

TEST_F(RolesTest, RefusalsChangeNothing)
{
    struct Case
    {
        const char *name;
        std::function<void(TzkSecurityTemplate &)> damage;
        std::function<bool(Roles &, QString *)> change;
        QByteArray message;
    };
    const auto addRole = [](const QByteArray &name) {
        return [name](Roles &r, QString *why) {
            return r.AddRole(name, nullptr, why);
        };
    };
    const auto assign = [](const QByteArray &role, const QByteArray &user) {
        return [=](Roles &r, QString *why) {
            return r.Assign(role, user, why);
        };
    };
    const auto noDamage = [](TzkSecurityTemplate &) {
    };
    const auto damaged = [](const char *what) {
        return "The roles are damaged (" + QByteArray(what) + "); nothing was changed.";
    };
    const QList<Case> cases {
        {"named like a user", noDamage, addRole("User7"),
         "There is a user named \"User7\"; a role cannot have that name."},
        {"named like a role", noDamage, addRole("Stock"),
         "There is a role named \"Stock\" already."},
        {"named like Supervisor", noDamage, addRole("Supervisor"),
         "There is a user named \"Supervisor\"; a role cannot have that name."},
        {"untrimmed", noDamage, addRole(" Stock"),
         "A role name cannot begin or end with a blank or hold a line break: \" Stock\"."},
        {"renamed like a role", noDamage,
         [](Roles &r, QString *why) { return r.RenameRole("Sales", "Stock", why); },
         "There is a role named \"Stock\" already."},
        {"member not a user", noDamage, assign("Sales", "Nobody"),
         "There is no user named \"Nobody\"."},
        {"Supervisor as member", noDamage, assign("Sales", SupervisorName),
         "\"Supervisor\" cannot be a member of a role; its rights stay its own."},
        {"unknown role", noDamage, assign("Nobody", "User1"), "There is no role named \"Nobody\"."},
        {"right that does not exist", noDamage,
         [](Roles &r, QString *why) { return r.SetRoleRight("Sales", 99, true, why); },
         "The role \"Sales\" holds no right 99."},
        {"not a member", noDamage,
         [](Roles &r, QString *why) { return r.Unassign("Sales", "User2", why); },
         "\"User2\" is not a member of the role \"Sales\"."},
        {"role without members",
         [](TzkSecurityTemplate &t) { t.DeleteNode(t.topLevel(1)->item(1)); },
         assign("Sales", "User2"),
         damaged("the role \"Stock\" does not hold \"Rights\" and \"Members\"")},
        {"children swapped",
         [](TzkSecurityTemplate &t) {
             t.topLevel(0)->item(0)->setText("Members");
             t.topLevel(0)->item(1)->setText("Rights");
         },
         addRole("New"), damaged("the role \"Sales\" does not hold \"Rights\" and \"Members\"")},
        {"Supervisor stored as member",
         [](TzkSecurityTemplate &t) {
             t.addChild(t.topLevel(2)->item(1), SupervisorName)->setData(TzkNodeRecord());
         },
         addRole("New"), damaged("\"Supervisor\" is a member of the role \"Accounts\"")},
        {"flag and text disagree",
         [](TzkSecurityTemplate &t) {
             t.topLevel(3)->item(0)->item(0)->editData()->setGranted(true);
         },
         addRole("New"),
         damaged("the right \"Child memo text (No)\" of the role \"Service\" reads both granted "
                 "and denied")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TzkSecurityTemplate roleCopy;
        load(roleCopy, streamOf(roleTemplate));
        Roles copy(roleCopy, users);
        ASSERT_TRUE(copy.SetRoleRight("Sales", 7, true)); // not applied yet
        c.damage(roleCopy);
        const QByteArray usersBefore = streamOf(users);
        const QByteArray rolesBefore = streamOf(roleCopy);
        QString why;
        EXPECT_FALSE(c.change(copy, &why));
        EXPECT_EQ(why.toUtf8(), c.message);
        EXPECT_EQ(streamOf(roleCopy), rolesBefore);
        EXPECT_EQ(streamOf(users), usersBefore);
        // Users are never rewritten from damaged roles.
        const bool damaged = why.startsWith(u"The roles are damaged");
        EXPECT_EQ(copy.Damage().isEmpty(), !damaged);
        if (damaged) {
            EXPECT_TRUE(copy.ApplyToUsers().isEmpty());
            EXPECT_FALSE(copy.FollowSecurityTemplate(rights));
            EXPECT_EQ(streamOf(users), usersBefore);
        }
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
    EXPECT_EQ(again.RoleNames(), RoleNames + QByteArrayList {"Like0"});
    EXPECT_EQ(again.Members("Service"), roles.Members("Service"));
    EXPECT_EQ(again.RolesOfUser(userName(10)), (QByteArrayList {"Sales", "Service"}));
    // User0 holds what "Sales" grants (File/Open) and "Service" (Check Rights).
    const TreeNode *like = again.RoleRights("Like0");
    EXPECT_EQ(FindRight(like, "2")->text(), "Open  (Yes)");
    EXPECT_EQ(FindRight(like, "Security/Services/Checks/Check Rights")->text(),
              "Check Rights  (Yes)");
    EXPECT_EQ(FindRight(like, "File/New")->text(), "New (No)");
}

TEST_F(RolesTest, RoleAndMemberCopiesFollowTheSecurityTemplate)
{
    TreeNode *file = rights.firstNode()->item(2);
    TreeNode *print = rights.addChild(file, "Print");
    TzkNodeRecord record;
    record.SecurityId = 40;
    record.setCaption("Print");
    print->setData(record);
    const QByteArray nonMember = userName(4);
    const TreeNode *nonMemberFile = users.GetUserNodeByUserName(nonMember)->item(1)->item(2);

    ASSERT_TRUE(roles.FollowSecurityTemplate(rights));
    EXPECT_FALSE(roles.FollowSecurityTemplate(rights));
    EXPECT_EQ(FindRight(roles.RoleRights("Sales"), "File/Print")->text(), "Print (No)");
    EXPECT_EQ(FindRight(roles.RoleRights("Sales"), "File/Open")->text(), "Open  (Yes)");
    EXPECT_TRUE(FindRight(users.GetUserNodeByUserName(userName(1))->item(1), "40"));
    EXPECT_FALSE(FindRight(users.GetUserNodeByUserName(nonMember)->item(1), "40"));

    ASSERT_TRUE(roles.SetRoleRight("Sales", 40, true));
    const QList<RoleRightChange> changes = roles.ApplyToUsers();
    EXPECT_EQ(changes.size(), roles.Members("Sales").size());
    EXPECT_EQ(nonMemberFile->count(), 6);
}

} // namespace
