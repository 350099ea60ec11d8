// The audit trail: records kept in the registry database with their filters
// and limits, written in the caller's transaction, and the records that tell
// how one user template differs from another.
#include "security/audittrail.h"
#include "security/logonthrottle.h"
#include "security/tcripter.h"
#include "security/tzknoderecord.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement.h"

#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iterator>
#include <memory>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

namespace {

const QString StoreKey = u"\\Software\\RightsmithTest\\Users"_s;
const QDateTime T0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
constexpr qint64 Day = 24 * 3600;

AuditRecord record(AuditEvent event, const QByteArray &user, const QByteArray &actor = {},
                   const QDateTime &time = {}, const QString &detail = {})
{
    AuditRecord r;
    r.event = event;
    r.user = user;
    r.actor = actor;
    r.time = time;
    r.detail = detail;
    return r;
}

// "<event> <user> <detail>" of every record, for whole-list comparisons.
QStringList summary(const QList<AuditRecord> &records)
{
    QStringList lines;
    for (const AuditRecord &r : records)
        lines << (AuditRecord::name(r.event) + u' ' + QString::fromLatin1(r.user) + u' ' + r.detail)
                     .trimmed();
    return lines;
}

class AuditTrailTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(u"registry.sqlite3"_s); }
    QTemporaryDir m_dir;
};

// --- user templates ------------------------------------------------------------

// A security template: category "File" with Open (1) and Save (2), then Admin (3).
void buildSecurity(TzkSecurityTemplate &security)
{
    auto add = [&](TreeNode *parent, const char *text, qint32 id) {
        TreeNode *node = security.addChild(parent, QByteArray(text));
        auto rec = std::make_unique<TzkNodeRecord>();
        rec->SecurityId = id;
        rec->setCaption(QByteArray(text));
        node->setData(std::move(rec));
        return node;
    };
    TreeNode *root = add(nullptr, "User", 0);
    TreeNode *file = add(root, "File", 0);
    add(file, "Open", 1);
    add(file, "Save", 2);
    add(root, "Admin", 3);
}

struct Users
{
    Users()
    {
        buildSecurity(security);
        users.AddUserToUserTemplate(&security, "Anna", zkCript::TCripter::Scramble("anna pw"),
                                    true);
        users.AddUserToUserTemplate(&security, "Bob", zkCript::TCripter::Scramble("bob pw"), true);
        users.AddUserToUserTemplate(&security, "Dora", zkCript::TCripter::Scramble("dora pw"),
                                    false);
    }
    TreeNode *right(const char *user, int category, int index = -1) const
    {
        TreeNode *rights = users.GetUserNodeByUserName(QByteArray(user))->item(1);
        TreeNode *node = rights->item(category);
        return index >= 0 ? node->item(index) : node;
    }
    TzkSecurityTemplate security;
    TzkSecurityTemplate users;
};

} // namespace

TEST(AuditRecord, EventNamesAreStoredExactly)
{
    // In the order of AuditEvent.
    const char *names[] = {"logon accepted",   "logon refused",    "logon throttled",
                           "user added",       "user removed",     "right granted",
                           "right denied",     "password changed", "lock cleared",
                           "store kept aside", "store restored"};
    for (int i = 0; i < int(std::size(names)); ++i) {
        EXPECT_EQ(AuditRecord::name(AuditEvent(i)), QString::fromLatin1(names[i]));
        AuditEvent parsed = AuditEvent::StoreRestored;
        EXPECT_TRUE(AuditRecord::fromName(QString::fromLatin1(names[i]), parsed));
        EXPECT_EQ(parsed, AuditEvent(i)) << names[i];
    }
    AuditEvent untouched = AuditEvent::LockCleared;
    EXPECT_FALSE(AuditRecord::fromName(u"Logon Accepted"_s, untouched));
    EXPECT_EQ(untouched, AuditEvent::LockCleared);
}

TEST_F(AuditTrailTest, RecordsReadBackOldestFirstThroughTheFilters)
{
    Registry registry(path());
    AuditTrail trail(registry, StoreKey);
    AuditTrail other(registry, StoreKey + u"\\Other"_s);

    AuditRecord full =
        record(AuditEvent::RightGranted, "Bob", "Supervisor", T0.addSecs(20), u"2 Save"_s);
    full.osUser = u"operator"_s;
    full.host = u"desk-7"_s;
    full.program = u"payroll"_s;
    trail.append(full, T0.addSecs(30));
    trail.append(record(AuditEvent::LogonRefused, "Anna", {}, T0.addSecs(10)), T0.addSecs(30));
    // No time: it takes "now", given here with an offset from UTC.
    const QDateTime nowAtOffset = T0.addSecs(30).toOffsetFromUtc(3600);
    trail.append(record(AuditEvent::LogonAccepted, "Anna"), nowAtOffset);
    other.append(record(AuditEvent::UserAdded, "Anna", "Supervisor", T0), T0);

    const QList<AuditRecord> all = trail.read();
    EXPECT_EQ(summary(all),
              (QStringList {u"logon refused Anna"_s, u"right granted Bob 2 Save"_s,
                            u"logon accepted Anna"_s}));
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].time, T0.addSecs(10));
    EXPECT_EQ((QStringList {all[1].osUser, all[1].host, all[1].program,
                            QString::fromLatin1(all[1].actor)}),
              (QStringList {u"operator"_s, u"desk-7"_s, u"payroll"_s, u"Supervisor"_s}));
    // Left empty, the time is now, in UTC, and the rest is filled in from the process.
    EXPECT_EQ(all[2].time, T0.addSecs(30));
    EXPECT_TRUE(all[2].time.toString(Qt::ISODate).endsWith(u'Z'));
    EXPECT_EQ(all[2].host, QSysInfo::machineHostName());
    EXPECT_FALSE(all[2].osUser.isEmpty() || all[2].program.isEmpty());

    struct Case
    {
        QDateTime since;
        QByteArray user;
        QStringList expected;
    };
    const Case cases[] = {
        {T0.addSecs(20), {}, {u"right granted Bob 2 Save"_s, u"logon accepted Anna"_s}},
        {T0.addSecs(31), {}, {}},
        {{}, "Anna", {u"logon refused Anna"_s, u"logon accepted Anna"_s}},
        {{}, "Supervisor", {u"right granted Bob 2 Save"_s}}, // as the one who acted
        {{}, "anna", {}},
        {T0.addSecs(11), "Anna", {u"logon accepted Anna"_s}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(summary(trail.read(c.since, c.user)), c.expected)
            << c.since.toString(Qt::ISODate).toStdString() << ' ' << c.user.toStdString();
    EXPECT_EQ(summary(other.read()), QStringList {u"user added Anna"_s});
}

TEST_F(AuditTrailTest, LimitsDropTheOldestRecords)
{
    struct Case
    {
        AuditLimits limits;
        QList<qint64> daysAgo; // of the records, in the order they are appended
        QStringList kept;
    };
    const Case cases[] = {
        {{0, 3}, {0, 4, 1, 3, 2}, {u"2"_s, u"1"_s, u"0"_s}}, // oldest by time, not by writing
        {{10, 0}, {20, 5, 11, 0, 10}, {u"10"_s, u"5"_s, u"0"_s}},
        {{10, 2}, {20, 5, 9, 0}, {u"5"_s, u"0"_s}},
        {{0, 0}, {900, 1}, {u"900"_s, u"1"_s}},
    };
    int n = 0;
    for (const Case &c : cases) {
        Registry registry(path());
        AuditTrail trail(registry, StoreKey + QString::number(++n), c.limits);
        for (const qint64 ago : c.daysAgo)
            trail.append(record(AuditEvent::LogonRefused, "Anna", {}, T0.addSecs(-ago * Day)), T0);
        QStringList kept;
        for (const AuditRecord &r : trail.read())
            kept << QString::number(T0.secsTo(r.time) / -Day);
        EXPECT_EQ(kept, c.kept) << "case " << n;
    }
}

TEST_F(AuditTrailTest, ARecordIsStoredExactlyWhenTheCallersTransactionCommits)
{
    Registry registry(path());
    AuditTrail trail(registry, StoreKey);
    {
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        trail.append(record(AuditEvent::UserRemoved, "Bob"), T0);
        EXPECT_EQ(trail.read().size(), 1);
        EXPECT_TRUE(registry.inTransaction());
    }
    EXPECT_TRUE(trail.read().isEmpty());
}

TEST_F(AuditTrailTest, TablesComeWithTheFirstWriteAndLeaveTheRegistryVersionAlone)
{
    auto query = [&](const char *sql) {
        Registry registry(path(), Registry::ReadOnly);
        rightsmith::toolkit::detail::Statement statement(registry.database(), sql);
        EXPECT_EQ(statement.step(), SQLITE_ROW);
        return statement.columnInt(0);
    };
    const char *tables = "SELECT count(*) FROM sqlite_master WHERE name IN "
                         "('audit_trail', 'logon_failures')";
    {
        Registry create(path());
    }
    const qint64 version = query("PRAGMA user_version");
    const qint64 application = query("PRAGMA application_id");
    {
        Registry registry(path(), Registry::ReadOnly);
        AuditTrail trail(registry, StoreKey);
        LogonThrottle throttle(registry, StoreKey);
        EXPECT_TRUE(trail.read().isEmpty());
        EXPECT_EQ(throttle.state("Anna").failures, 0);
        EXPECT_THROW(trail.append(record(AuditEvent::LockCleared, "Anna"), T0),
                     rightsmith::toolkit::Error);
        EXPECT_THROW(throttle.noteFailure("Anna", T0), rightsmith::toolkit::Error);
        EXPECT_THROW(throttle.clear("Anna"), rightsmith::toolkit::Error);
    }
    EXPECT_EQ(query(tables), 0);
    {
        Registry registry(path());
        AuditTrail(registry, StoreKey).append(record(AuditEvent::LockCleared, "Anna"), T0);
        LogonThrottle(registry, StoreKey).noteFailure("Anna", T0);
    }
    EXPECT_EQ(query(tables), 2);
    EXPECT_EQ(query("PRAGMA user_version"), version);
    EXPECT_EQ(query("PRAGMA application_id"), application);
    Registry registry(path(), Registry::ReadOnly);
    EXPECT_EQ(AuditTrail(registry, StoreKey).read().size(), 1);
    EXPECT_EQ(LogonThrottle(registry, StoreKey).state("Anna").failures, 1);
}

// --- changes between two user templates ----------------------------------------

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
    // Not granted: " (Yes)" must first occur at the end.
    after.right("Dora", 0, 0)->setText("Open (Yes) (Yes)");
    after.users.GetUserNodeByUserName("Dora")->firstChild()->editData()->setCaption(scrambled);
    // A second user of a name is not compared.
    after.users.AddUserToUserTemplate(&after.security, "Anna", "other", false);

    const QList<AuditRecord> changes = AuditTrail::changes(before.users, after.users);
    EXPECT_EQ(summary(changes),
              (QStringList {u"right denied Anna 1 Open"_s, u"right denied Anna 3 Admin"_s,
                            u"password changed Dora"_s, u"right granted Dora 2 Save"_s,
                            u"user added Carl"_s, u"user removed Bob"_s}));
    EXPECT_EQ(summary(AuditTrail::changes(after.users, before.users)),
              (QStringList {u"right granted Anna 1 Open"_s, u"right granted Anna 3 Admin"_s,
                            u"user added Bob"_s, u"password changed Dora"_s,
                            u"right denied Dora 2 Save"_s, u"user removed Carl"_s}));
    for (const AuditRecord &r : changes) {
        for (const QByteArray &secret : {password, scrambled})
            EXPECT_FALSE(r.user.contains(secret) || r.actor.contains(secret)
                         || r.detail.toLatin1().contains(secret));
    }
}

TEST(AuditChanges, RightsMatchByIdentifierWhereverTheyStand)
{
    Users before;
    Users after;
    // Anna's Admin right moved into "File", after Save, and a second leaf with
    // Open's identifier stands last: only the first leaf of an identifier counts.
    TreeNode *admin = after.right("Anna", 1);
    TreeNode *moved = after.users.addChild(after.right("Anna", 0), "Admin (No)");
    moved->setData(*admin->data());
    after.users.DeleteNode(admin);
    TreeNode *duplicate = after.users.addChild(after.right("Anna", 0), "Open again (No)");
    duplicate->setData(*after.right("Anna", 0, 0)->data());

    EXPECT_EQ(summary(AuditTrail::changes(before.users, after.users)),
              QStringList {u"right denied Anna 3 Admin"_s});
}
