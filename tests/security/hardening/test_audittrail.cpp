// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The audit trail: records in the registry database, their filters and limits, in the
// caller's transaction, and the records that tell how one user template differs from another.
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"
#include "security/model/roles.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement_p.h"

#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using rightsmith::toolkit::Error;
using rightsmith::toolkit::Registry;

namespace {

const QString StoreKey = u"\\Software\\RightsmithTest\\Users"_s;
const QDateTime T0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

AuditRecord record(AuditEvent event, const QByteArray &user, const QDateTime &time = {})
{
    AuditRecord r;
    r.event = event;
    r.user = user;
    r.time = time;
    return r;
}

// "<event> <user> <detail>; ..." of the records.
std::string summary(const QList<AuditRecord> &records)
{
    QStringList lines;
    for (const AuditRecord &r : records)
        lines << (AuditRecord::name(r.event) + u' ' + QString::fromLatin1(r.user) + u' ' + r.detail)
                     .trimmed();
    return lines.join(u"; ").toStdString();
}

// What older programs check before they open the registry.
QString versions(const QString &path)
{
    Registry registry(path, Registry::ReadOnly);
    rightsmith::toolkit::detail::Statement pragma(
        registry.database(),
        "SELECT application_id || ' ' || user_version "
        "FROM pragma_application_id, pragma_user_version");
    return pragma.step() == SQLITE_ROW ? pragma.columnText(0) : QString();
}

// Users Anna, Bob (granted all) and Dora (denied all) of a security template with
// category "File" holding Open (1) and Save (2), then Admin (3).
struct Users
{
    Users()
    {
        const auto add = [&](TreeNode *parent, const char *text, qint32 id) {
            TreeNode *node = security.addChild(parent, text);
            TzkNodeRecord record;
            record.SecurityId = id;
            record.setCaption(text);
            node->setData(record);
            return node;
        };
        TreeNode *root = add(nullptr, "User", 0);
        TreeNode *file = add(root, "File", 0);
        add(file, "Open", 1);
        add(file, "Save", 2);
        add(root, "Admin", 3);
        for (const char *name : {"Anna", "Bob", "Dora"})
            users.AddUserToUserTemplate(&security, name, zkCript::TCripter::Scramble(name),
                                        name[0] != 'D');
    }
    TreeNode *right(const char *user, int category, int index = -1) const
    {
        TreeNode *node = users.GetUserNodeByUserName(user)->item(1)->item(category);
        return index >= 0 ? node->item(index) : node;
    }
    TzkSecurityTemplate security;
    TzkSecurityTemplate users;
};

} // namespace

TEST(AuditTrail, CommittedRecordsReadBackOldestFirstThroughTheFilters)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"registry.sqlite3"_s);
    Registry(path).database(); // a new registry, without the tables
    const QString before = versions(path);
    {
        Registry readOnly(path, Registry::ReadOnly); // reading finds nothing, writing throws
        EXPECT_TRUE(AuditTrail(readOnly, StoreKey).read().isEmpty());
        EXPECT_EQ(LogonThrottle(readOnly, StoreKey).state("Anna").failures, 0);
        EXPECT_THROW(AuditTrail(readOnly, StoreKey).append({}, T0), Error);
    }
    Registry registry(path);
    AuditTrail trail(registry, StoreKey);
    AuditRecord full = record(AuditEvent::RightGranted, "Bob", T0.addSecs(20));
    full.osUser = u"operator"_s;
    full.host = u"desk-7"_s;
    full.program = u"payroll"_s;
    full.actor = "Supervisor";
    full.detail = u"2 Save"_s;
    trail.append(full, T0.addSecs(30));
    trail.append(record(AuditEvent::LogonRefused, "Anna", T0.addSecs(10)), T0.addSecs(30));
    // No time: it takes "now", given here with an offset from UTC.
    trail.append(record(AuditEvent::LogonAccepted, "Anna"), T0.addSecs(30).toOffsetFromUtc(3600));
    AuditTrail(registry, StoreKey + u"\\Other"_s).append(record(AuditEvent::UserAdded, "Anna"), T0);
    LogonThrottle(registry, StoreKey).noteFailure("Anna", T0); // its table as well
    {
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        trail.append(record(AuditEvent::UserRemoved, "Bob"), T0);
        EXPECT_EQ(trail.read().size(), 4);
    } // never committed
    EXPECT_EQ(versions(path), before);

    const QList<AuditRecord> all = trail.read();
    ASSERT_EQ(summary(all), "logon refused Anna; right granted Bob 2 Save; logon accepted Anna");
    EXPECT_EQ((QStringList {all[1].osUser, all[1].host, all[1].program}),
              (QStringList {u"operator"_s, u"desk-7"_s, u"payroll"_s}));
    EXPECT_EQ(all[1].actor, "Supervisor");
    // Left empty, the time is now, in UTC, and the rest comes from the process.
    EXPECT_EQ(all[2].time, T0.addSecs(30));
    EXPECT_TRUE(all[2].time.toString(Qt::ISODate).endsWith(u'Z'));
    EXPECT_EQ(all[2].host, QSysInfo::machineHostName());
    EXPECT_FALSE(all[2].osUser.isEmpty() || all[2].program.isEmpty());
    const auto read = [&](const QDateTime &since, const QByteArray &user = {}) {
        return summary(trail.read(since, user));
    };
    EXPECT_EQ(read(T0.addSecs(20)), "right granted Bob 2 Save; logon accepted Anna");
    EXPECT_EQ(read({}, "Anna"), "logon refused Anna; logon accepted Anna");
    EXPECT_EQ(read({}, "Supervisor"), "right granted Bob 2 Save"); // as the one who acted
    EXPECT_EQ(read({}, "anna"), "");
    EXPECT_EQ(read(T0.addSecs(11), "Anna"), "logon accepted Anna");
}

TEST(AuditTrail, LimitsDropTheOldestRecords)
{
    // limits, then the records' days before T0 in the order of writing, and those kept
    const std::tuple<AuditLimits, QList<int>, QList<int>> cases[] = {
        {{0, 3}, {0, 4, 1, 3, 2}, {3, 2, 1}}, // the last written, whatever their times
        {{10, 0}, {20, 5, 11, 0, 10}, {10, 5, 0}},
        {{10, 2}, {20, 5, 9, 0}, {9, 0}},
        {{0, 0}, {900, 1}, {900, 1}}};
    QTemporaryDir dir;
    Registry registry(dir.filePath(u"registry.sqlite3"_s));
    int n = 0;
    for (const auto &[limits, written, kept] : cases) {
        AuditTrail trail(registry, StoreKey + QString::number(++n), limits);
        for (const int ago : written)
            trail.append(record(AuditEvent::LogonRefused, "Anna", T0.addDays(-ago)), T0);
        QList<int> days;
        for (const AuditRecord &r : trail.read())
            days << int(r.time.daysTo(T0));
        EXPECT_EQ(days, kept) << "case " << n;
    }
    // A clock set a year ahead, once, does not wipe the trail.
    AuditTrail trail(registry, u"Jump"_s, {10, 0});
    trail.append(record(AuditEvent::LogonRefused, "Anna", {}), T0);
    trail.append(record(AuditEvent::LogonRefused, "Anna", {}), T0.addDays(365));
    EXPECT_EQ(trail.read().size(), 2);
}

TEST(AuditChanges, UsersRightsAndPasswordsInAStableOrder)
{
    Users before;
    Users after;
    EXPECT_TRUE(AuditTrail::changes(before.users, after.users).isEmpty());

    const QByteArray password = "s3cret-Pa55";
    const QByteArray scrambled = zkCript::TCripter::Scramble(password);
    after.users.DeleteNode(after.users.GetUserNodeByUserName("Bob"));
    after.users.AddUserToUserTemplate(&after.security, "Carl", scrambled, false);
    after.right("Anna", 0, 0)->setText("Open (No)");
    after.right("Anna", 1)->setText("Admin (No)");
    after.right("Dora", 0, 1)->setText("Save (Yes)");
    after.right("Dora", 0, 0)->setText("Open (Yes) (Yes)"); // not granted: " (Yes)" only once
    after.users.GetUserNodeByUserName("Dora")->firstChild()->editData()->setCaption(scrambled);
    after.users.AddUserToUserTemplate(&after.security, "Anna", "other", false); // not compared
    // Anna's Save moved after Admin, and a second leaf with Open's identifier: the first counts.
    TreeNode *save = after.right("Anna", 0, 1);
    after.users.addChild(save->parent()->parent(), save->text())->setData(*save->data());
    after.users.DeleteNode(save);
    after.users.addChild(after.right("Anna", 0), "Open (Yes)")
        ->setData(*after.right("Anna", 0, 0)->data());

    const QList<AuditRecord> changes = AuditTrail::changes(before.users, after.users);
    EXPECT_EQ(summary(changes),
              "right denied Anna 1 Open; right denied Anna 3 Admin; "
              "password changed Dora; right granted Dora 2 Save; "
              "user added Carl; user removed Bob");
    for (const AuditRecord &r : changes) // no password, plain or scrambled
        for (const QByteArray &secret : {password, scrambled})
            EXPECT_FALSE((r.user + r.actor + r.detail.toLatin1()).contains(secret));
}

// A role renamed is one record; a role changed as well as renamed is a role
// removed and one added, with the rights and members the new one has.
TEST(AuditChanges, ARoleRenamedIsOneRecord)
{
    Users users;
    TzkSecurityTemplate before;
    Roles roles(before, users.users);
    ASSERT_TRUE(roles.AddRole("Sales", users.security.firstNode()));
    ASSERT_TRUE(roles.AddRole("Stock", users.security.firstNode()));
    ASSERT_TRUE(roles.SetRoleRight("Sales", 1, true));
    ASSERT_TRUE(roles.Assign("Sales", "Anna"));
    TzkSecurityTemplate after;
    Roles changed(after, users.users);
    ASSERT_TRUE(changed.AddRole("Stock", users.security.firstNode()));
    ASSERT_TRUE(changed.AddRole("Retail", users.security.firstNode()));
    ASSERT_TRUE(changed.SetRoleRight("Retail", 1, true));
    ASSERT_TRUE(changed.Assign("Retail", "Anna"));
    EXPECT_EQ(summary(AuditTrail::roleChanges(before, after)), "role renamed  Sales -> Retail");

    ASSERT_TRUE(changed.Assign("Retail", "Bob"));
    EXPECT_EQ(summary(AuditTrail::roleChanges(before, after)),
              "role added  Retail; right granted to role  Retail: 1 Open; "
              "user assigned to role Anna Retail; user assigned to role Bob Retail; "
              "role removed  Sales");
}
