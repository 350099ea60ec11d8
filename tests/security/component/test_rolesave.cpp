// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Roles through the security component and its store: the members' own
// rights in the saved user template follow their roles, a program without
// roles reads them as any user's, and a damaged role template rewrites nobody.
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/rightnodes.h"
#include "security/model/roles.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/storenames_p.h"
#include "security/store/userstore.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

#include <map>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

namespace {

constexpr int Rights = 12;
constexpr int Users = 130;
const QByteArrayList RoleNames {"Sales", "Stock", "Accounts", "Audit"};

QByteArray userName(int i)
{
    return "user" + QByteArray::number(i);
}

// Each user's right -> granted, as a program without roles reads the saved
// user template file with the plain template stream code.
using Grants = std::map<QByteArray, std::map<qint32, bool>>;
Grants savedGrants(const QString &file)
{
    QFile in(file);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    TzkSecurityTemplate users;
    users.LoadFromStreamSecurity(in);
    Grants grants;
    for (int u = 0; u < users.topLevelCount(); ++u) {
        const TreeNode *rights = users.topLevel(u)->item(1);
        grants[users.topLevel(u)->text()];
        for (int r = 0; rights && r < rights->count(); ++r)
            grants[users.topLevel(u)->text()][rights->item(r)->data()->SecurityId] =
                IsGrantedText(rights->item(r)->text());
    }
    return grants;
}

// Counts the messages shown while alive.
class Messages
{
public:
    Messages()
    {
        m_previous = rightsmith::toolkit::setMessageHook(
            [this](rightsmith::toolkit::MessageKind, const QString &text) {
                shown.append(text);
                return false;
            });
    }
    ~Messages() { rightsmith::toolkit::setMessageHook(m_previous); }
    QStringList shown;

private:
    rightsmith::toolkit::MessageHook m_previous;
};

class RoleSaveTest : public ::testing::Test
{
protected:
    // A desk with roles on: Supervisor and 130 users, each right granted to
    // nobody at first; four roles, users i % 5 == 4 in none, every tenth in
    // two.
    void SetUp() override
    {
        desk.setRolesEnabled(true);
        desk.Dialogs()->SetSecurity(&desk);
        TzkSecurityTemplate &tmpl = *desk.SecurityTemplate();
        TreeNode *root = tmpl.addChild(nullptr, "Program");
        root->setData(std::make_unique<TzkNodeRecord>());
        for (qint32 id = 1; id <= Rights; ++id) {
            TreeNode *right = tmpl.addChild(root, "Right " + QByteArray::number(id));
            auto record = std::make_unique<TzkNodeRecord>();
            record->SecurityId = id;
            record->setCaption("Right " + QByteArray::number(id));
            right->setData(std::move(record));
        }
        TzkSecurityTemplate &users = *desk.UserTemplate();
        if (!users.GetUserNodeByUserName(SupervisorName))
            users.AddUserToUserTemplate(&tmpl, SupervisorName, QByteArray(), true);
        for (int i = 0; i < Users; ++i)
            users.AddUserToUserTemplate(&tmpl, userName(i), QByteArray(), i % 3 == 0);
        Roles roles(*desk.RoleTemplate(), users);
        for (int r = 0; r < RoleNames.size(); ++r) {
            ASSERT_TRUE(roles.AddRole(RoleNames[r], tmpl.firstNode()));
            ASSERT_TRUE(roles.SetRoleRight(RoleNames[r], r + 1, true)); // rights 1 to 4
        }
        for (int i = 0; i < Users; ++i) {
            if (i % 5 != 4) {
                ASSERT_TRUE(roles.Assign(RoleNames[i % 5], userName(i)));
            }
            if (i % 10 == 0) {
                ASSERT_TRUE(roles.Assign(RoleNames[3], userName(i)));
            }
        }
        ASSERT_TRUE(desk.SaveUsers(QByteArray()));
    }

    bool member(int i, const QByteArray &role) const
    {
        return Roles(*desk.RoleTemplate(), *desk.UserTemplate())
            .RolesOfUser(userName(i))
            .contains(role);
    }

    testsupport::TemporaryHome home;
    TzkSecurity desk;
};

} // namespace

TEST_F(RoleSaveTest, GrantingARightToARoleChangesExactlyThatRightOfItsMembersInTheSavedBytes)
{
    const QString file = home.filePath(u"UserTemplate"_s);
    const Grants before = savedGrants(file);
    ASSERT_EQ(before.size(), size_t(Users + 1));
    // Members hold their roles' rights, the others what was toggled on them.
    EXPECT_TRUE(before.at(userName(1)).at(2));
    EXPECT_FALSE(before.at(userName(1)).at(1));
    EXPECT_TRUE(before.at(userName(10)).at(1) && before.at(userName(10)).at(4));
    EXPECT_FALSE(before.at(userName(4)).at(1)); // in no role, toggled off
    EXPECT_TRUE(before.at(userName(9)).at(7)); // in no role, toggled on

    ASSERT_TRUE(Roles(*desk.RoleTemplate(), *desk.UserTemplate()).SetRoleRight("Stock", 9, true));
    ASSERT_TRUE(desk.SaveUsers(QByteArray()));
    const Grants after = savedGrants(file);

    int changed = 0;
    for (const auto &[user, rights] : before) {
        for (const auto &[id, granted] : rights) {
            const bool nowGranted = after.at(user).at(id);
            const bool expected =
                id == 9 && user != SupervisorName && member(user.mid(4).toInt(), "Stock") ? true
                                                                                          : granted;
            EXPECT_EQ(nowGranted, expected) << user.constData() << " right " << id;
            changed += nowGranted != granted;
        }
    }
    EXPECT_EQ(changed, 26); // the users i % 5 == 1

    // Another program, without roles, loads the store and checks the rights.
    TzkSecurity reader;
    reader.Dialogs()->SetSecurity(&reader);
    QByteArray password;
    ASSERT_TRUE(reader.LoadUsers(password));
    for (const int i : {1, 6, 2, 4}) {
        ASSERT_TRUE(reader.Logon(userName(i), QByteArray(), true));
        EXPECT_EQ(reader.CheckId(9), i % 5 == 1) << i;
        EXPECT_EQ(reader.CheckId(2), i % 5 == 1) << i;
    }

    // Out of the last role: the user keeps the rights held, now toggled on the user.
    ASSERT_TRUE(Roles(*desk.RoleTemplate(), *desk.UserTemplate()).Unassign("Stock", userName(1)));
    ASSERT_TRUE(desk.SaveUsers(QByteArray()));
    EXPECT_EQ(savedGrants(file).at(userName(1)), after.at(userName(1)));
}

TEST_F(RoleSaveTest, ADamagedRoleTemplateIsToldAndRewritesNobody)
{
    const QString file = home.filePath(u"UserTemplate"_s);
    const QByteArray junk = "not a role template";
    {
        Registry registry;
        ASSERT_TRUE(registry.openKey(desk.StoreSettings().key, false));
        registry.writeBinary(StoreNames::RoleTemplate, junk);
        registry.writeInteger(StoreNames::RoleTemplateSize, qint32(junk.size()));
    }
    TzkSecurity other;
    other.setRolesEnabled(true);
    other.Dialogs()->SetSecurity(&other);
    Messages messages;
    QByteArray password;
    ASSERT_TRUE(other.LoadUsers(password));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown.first().contains(u"\"RoleTemplate\""_s))
        << qPrintable(messages.shown.first());
    EXPECT_TRUE(messages.shown.first().contains(u"rightsmith-users"_s));
    EXPECT_FALSE(other.RolesProblem().isEmpty());
    // The user management dialog gets no roles to change and lose.
    EXPECT_NE(other.RoleTemplate(), nullptr);
    EXPECT_EQ(other.EditableRoleTemplate(), nullptr);
    EXPECT_EQ(other.UserTemplate()->topLevelCount(), Users + 1);

    // A member's right toggled on the user stays so: no role rewrites it.
    SetRightGranted(other.UserTemplate()->GetUserNodeByUserName(userName(1))->item(1)->item(0),
                    true);
    ASSERT_TRUE(other.SaveUsers(QByteArray()));
    EXPECT_TRUE(savedGrants(file).at(userName(1)).at(1));
    Registry registry;
    ASSERT_TRUE(registry.openKey(desk.StoreSettings().key, false));
    EXPECT_EQ(registry.readBinary(StoreNames::RoleTemplate), junk);
}

// A backup brings back the roles its members followed: after a restore, the
// next save leaves every member's rights as the backup holds them.
TEST_F(RoleSaveTest, RestoringABackupBringsBackItsRoles)
{
    const QString file = home.filePath(u"UserTemplate"_s);
    const Grants kept = savedGrants(file);
    QByteArray password;
    ASSERT_TRUE(desk.LoadUsers(password)); // a save keeps what a load read
    Roles roles(*desk.RoleTemplate(), *desk.UserTemplate());
    ASSERT_TRUE(roles.SetRoleRight("Stock", 9, true));
    ASSERT_TRUE(roles.RemoveRole("Sales"));
    ASSERT_TRUE(desk.SaveUsers(QByteArray()));
    ASSERT_NE(savedGrants(file), kept);

    UserStore::restoreBackup(desk.StoreSettings(), 1);
    TzkSecurity after;
    after.setRolesEnabled(true);
    after.Dialogs()->SetSecurity(&after);
    ASSERT_TRUE(after.LoadUsers(password));
    ASSERT_TRUE(after.SaveUsers(QByteArray()));
    EXPECT_EQ(savedGrants(file), kept);
    EXPECT_TRUE(Roles(*after.RoleTemplate(), *after.UserTemplate())
                    .RolesOfUser(userName(0))
                    .contains("Sales"));

    // The restore is itself undone by the backup it kept, roles and all.
    UserStore::restoreBackup(desk.StoreSettings(), 1);
    TzkSecurity undone;
    undone.setRolesEnabled(true);
    ASSERT_TRUE(undone.LoadUsers(password));
    EXPECT_EQ(Roles(*undone.RoleTemplate(), *undone.UserTemplate()).RolesOfUser(userName(0)),
              QByteArrayList {"Audit"});
}
