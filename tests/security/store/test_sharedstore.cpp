// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The shared store against a real PostgreSQL 15 server, started once for the
// whole program by tests/support/pgserver.sh; every test is skipped, with the
// script's reason, when the server binaries are not installed.
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "support/pgserver.h"
#include "support/templatestream.h"
#include "toolkit/error.h"

#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Error;
using zkSecurity::AuditEvent;
using zkSecurity::AuditRecord;
using zkSecurity::LogonThrottle;
using zkSecurity::SharedStore;

namespace {

const auto *const server = ::testing::AddGlobalTestEnvironment(new testsupport::PgServer);
using testsupport::admin;
using testsupport::PgServer;

class SharedStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PgServer::skipReason.isEmpty())
            GTEST_SKIP() << qPrintable(PgServer::skipReason);
        ASSERT_TRUE(PgServer::failure.isEmpty()) << qPrintable(PgServer::failure);
        a = SharedStore::connect(PgServer::address);
        a->initSchema();
        b = SharedStore::connect(PgServer::address);
        b->initSchema();
    }

    std::unique_ptr<SharedStore> a;
    std::unique_ptr<SharedStore> b;
};

TEST_F(SharedStoreTest, InitTwiceKeepsTheStoredTemplate)
{
    ASSERT_EQ(a->save(u"init"_s, "kept", 0), SharedStore::SaveResult::Saved);
    a->initSchema();
    EXPECT_EQ(b->load(u"init"_s).stream, "kept");
}

TEST_F(SharedStoreTest, ForeignTablesAreRefusedAndLeftAlone)
{
    struct Case
    {
        const char *database;
        const char *tables;
    };
    const Case cases[] = {
        {"foreign_columns", "CREATE TABLE rightsmith_user_template (x int)"},
        {"no_schema_table",
         "CREATE TABLE rightsmith_user_template (store_key text primary key, version bigint not "
         "null, template bytea not null, size integer not null, changed_at timestamptz not null "
         "default now())"},
        {"foreign_trail", "CREATE TABLE rightsmith_audit_trail (x int)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.database);
        ASSERT_EQ(admin(QByteArray("CREATE DATABASE ") + c.database), QString());
        const QString address = PgServer::address + u" dbname="_s + QLatin1StringView(c.database);
        ASSERT_EQ(admin(c.tables, address), QString());
        const auto store = SharedStore::connect(address);
        EXPECT_THROW(store->initSchema(), Error);
        // Nothing was made beside the foreign table.
        EXPECT_NE(admin("SELECT 1 FROM rightsmith_schema", address), QString());
    }
}

// A database without the store's tables names the command that makes them;
// run as written, it does.
TEST_F(SharedStoreTest, ADatabaseWithoutTheTablesNamesInitStore)
{
    ASSERT_EQ(admin("CREATE DATABASE no_tables"), QString());
    const QString address = PgServer::address + u" dbname=no_tables"_s;
    const QString command =
        u"rightsmith-users init-store '"_s + SharedStore::displayAddress(address) + u"'"_s;
    try {
        SharedStore::connect(address)->load(u"k"_s);
        FAIL() << "a database without tables was read";
    } catch (const Error &error) {
        EXPECT_TRUE(error.message().contains(u"init-store:\n"_s + command))
            << qPrintable(error.message());
    }
#ifdef RIGHTSMITH_USERS_TOOL
    EXPECT_EQ(QProcess::execute(
                  u"sh"_s,
                  {u"-c"_s, u"\"$0\""_s + command.mid(16), QStringLiteral(RIGHTSMITH_USERS_TOOL)}),
              0);
    EXPECT_FALSE(SharedStore::connect(address)->load(u"k"_s).exists);
#endif
}

TEST_F(SharedStoreTest, RoundTripOfArbitraryBytes)
{
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    const QByteArray cases[] = {
        QByteArray(), QByteArray("\0", 1), QByteArray("a\0b\0\0\xff", 6),
        everyByte.repeated(4096), // one MiB
    };
    qint64 version = 0;
    for (const QByteArray &stream : cases) {
        SCOPED_TRACE(stream.size());
        qint64 next = -1;
        ASSERT_EQ(a->save(u"bytes"_s, stream, version, &next), SharedStore::SaveResult::Saved);
        EXPECT_EQ(next, version + 1);
        version = next;
        // Keys compare without case, as the registry's do.
        const SharedStore::Stored stored = b->load(u"BYTES"_s);
        EXPECT_TRUE(stored.exists);
        EXPECT_EQ(stored.version, version);
        EXPECT_EQ(stored.stream, stream);
    }
    EXPECT_FALSE(b->load(u"nothing here"_s).exists);
}

TEST_F(SharedStoreTest, SecondSaveOnTheSameVersionConflicts)
{
    ASSERT_EQ(a->save(u"race"_s, "first", 0), SharedStore::SaveResult::Saved);
    EXPECT_EQ(b->save(u"race"_s, "again", 0), SharedStore::SaveResult::Conflict);
    const qint64 based = b->load(u"race"_s).version;
    ASSERT_EQ(based, 1);
    EXPECT_EQ(a->save(u"race"_s, "from a", based), SharedStore::SaveResult::Saved);
    EXPECT_EQ(b->save(u"race"_s, "from b", based), SharedStore::SaveResult::Conflict);
    const SharedStore::Stored stored = b->load(u"race"_s);
    EXPECT_EQ(stored.stream, "from a");
    EXPECT_EQ(stored.version, 2);
}

TEST_F(SharedStoreTest, WatcherSeesAnotherWorkstationsSave)
{
    b->listen();
    zkSecurity::SharedStoreWatcher watcher(*b);
    QSignalSpy changed(&watcher, &zkSecurity::SharedStoreWatcher::changed);
    ASSERT_EQ(a->save(u"watched"_s, "x", 0), SharedStore::SaveResult::Saved);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(changed.takeFirst().at(0).toString(), u"watched"_s);
}

TEST_F(SharedStoreTest, ReaderRoleMayLoadButNotSave)
{
    ASSERT_EQ(a->save(u"read only"_s, "v1", 0), SharedStore::SaveResult::Saved);
    ASSERT_EQ(
        admin(
            "CREATE ROLE reader LOGIN; GRANT SELECT ON rightsmith_schema, rightsmith_user_template "
            "TO reader"),
        QString());
    const auto reader = SharedStore::connect(PgServer::address + u" user=reader"_s);
    reader->initSchema();
    EXPECT_EQ(reader->load(u"read only"_s).stream, "v1");
    for (const qint64 based : {0, 1}) {
        SCOPED_TRACE(based);
        try {
            reader->save(based ? u"read only"_s : u"new key"_s, "v2", based);
            ADD_FAILURE() << "the save was not refused";
        } catch (const Error &error) {
            EXPECT_TRUE(error.message().startsWith(
                u"This workstation may read the users but not change them"_s))
                << qPrintable(error.message());
        }
    }
    EXPECT_EQ(a->load(u"read only"_s).version, 1);
}

// Each statement the workstation role may not run on the counts, the trail or the server's limits.
const char *const DirectWrites[] = {
    "INSERT INTO rightsmith_logon_failures VALUES ('k', '\\x01', 1, 5)",
    "UPDATE rightsmith_logon_failures SET failures = 0",
    "DELETE FROM rightsmith_logon_failures",
    "INSERT INTO rightsmith_audit_trail (store_key, time, os_user, host, program, event, "
    "user_name, actor, detail) VALUES ('k', 5, 'boris', 'adminpc', 'p', 'user removed', "
    "'\\x42', '\\x53', '')",
    "UPDATE rightsmith_audit_trail SET detail = 'x'",
    "DELETE FROM rightsmith_audit_trail",
    "UPDATE rightsmith_settings SET keep_rows = 1",
};

AuditRecord forgedRecord(AuditEvent event = AuditEvent::LogonAccepted)
{
    AuditRecord forged;
    forged.event = event;
    forged.user = "Boris";
    forged.actor = "Supervisor";
    forged.osUser = u"boris"_s;
    forged.host = u"adminpc"_s;
    forged.time = QDateTime(QDate(2001, 1, 1), QTime(), Qt::UTC);
    return forged;
}

TEST_F(SharedStoreTest, WorkstationWritesCountsAndTrailOnlyThroughTheFunctionsAdministratorSaves)
{
    ASSERT_EQ(a->save(u"granted"_s, "v1", 0), SharedStore::SaveResult::Saved);
    // Names that work only when quoted.
    ASSERT_EQ(admin(R"(CREATE ROLE "work""station" LOGIN; CREATE ROLE "rs admin" LOGIN)"),
              QString());
    const QStringList grants = SharedStore::grantStatements(u"work\"station"_s, u"rs admin"_s);
    ASSERT_EQ(admin(grants.join(u";\n"_s).toUtf8()), QString());

    const QString workstation = PgServer::address + u" user=work\"station"_s;
    const auto reader = SharedStore::connect(workstation);
    reader->initSchema();
    EXPECT_EQ(reader->load(u"granted"_s).stream, "v1");
    for (const char *sql : DirectWrites)
        EXPECT_TRUE(admin(sql, workstation).contains(u"permission denied"_s)) << sql;

    // Through the functions: counted, and recorded with the server's time and the role.
    const QByteArray name = LogonThrottle::nameDigest("Anna");
    const QByteArray desk = LogonThrottle::workstationDigest();
    EXPECT_TRUE(reader->reserve(u"granted"_s, name, desk, {}, {}).counted());
    EXPECT_EQ(reader->failures(u"granted"_s, name).failures, 1);
    // A change only a role that may write the users records: forged ones could
    // push the real ones out of the trail.
    EXPECT_THROW(reader->appendAudit(u"granted"_s, forgedRecord(AuditEvent::UserRemoved), {}, {}),
                 Error);
    reader->appendAudit(u"granted"_s, forgedRecord(), {}, {});
    const QList<AuditRecord> trail = a->readAudit(u"granted"_s);
    ASSERT_EQ(trail.size(), 1);
    EXPECT_EQ(trail[0].role, u"work\"station"_s);
    EXPECT_EQ(trail[0].actor, "Supervisor");
    EXPECT_NE(trail[0].time.date(), QDate(2001, 1, 1));
    EXPECT_TRUE(reader->clearFailures(u"granted"_s, name));
    try {
        reader->save(u"granted"_s, "v2", 1);
        ADD_FAILURE() << "the save was not refused";
    } catch (const Error &error) {
        EXPECT_TRUE(error.message().startsWith(
            u"This workstation may read the users but not change them"_s))
            << qPrintable(error.message());
    }

    const auto administrator = SharedStore::connect(PgServer::address + u" user='rs admin'"_s);
    EXPECT_EQ(administrator->save(u"granted"_s, "v2", 1), SharedStore::SaveResult::Saved);
    EXPECT_EQ(administrator->save(u"granted by admin"_s, "v1", 0), SharedStore::SaveResult::Saved);
    EXPECT_EQ(a->load(u"granted"_s).stream, "v2");
}

TEST_F(SharedStoreTest, AStoreOfVersionOneKeepsWorkingAndItsOwnerUpgradesItKeepingItsRows)
{
    // The tables and grants of version 1, as its init-store made them.
    ASSERT_EQ(admin("CREATE DATABASE version_one"), QString());
    const QString owner = PgServer::address + u" dbname=version_one"_s;
    ASSERT_EQ(
        admin("CREATE TABLE rightsmith_schema (version integer);"
              "INSERT INTO rightsmith_schema (version) VALUES (1);"
              "CREATE TABLE rightsmith_user_template (store_key text PRIMARY KEY, version bigint "
              "NOT NULL, template bytea NOT NULL, size integer NOT NULL, changed_at timestamptz "
              "NOT NULL DEFAULT now());"
              "CREATE TABLE rightsmith_logon_failures (store_key text NOT NULL, name_digest bytea "
              "NOT NULL, failures integer NOT NULL, last_failure bigint NOT NULL, PRIMARY KEY "
              "(store_key, name_digest));"
              "CREATE TABLE rightsmith_audit_trail (id bigserial PRIMARY KEY, store_key text NOT "
              "NULL, time bigint NOT NULL, os_user text NOT NULL, host text NOT NULL, program text "
              "NOT NULL, event text NOT NULL, user_name bytea NOT NULL, actor bytea NOT NULL, "
              "detail text NOT NULL);"
              "CREATE INDEX rightsmith_audit_trail_by_time ON rightsmith_audit_trail (store_key, "
              "time);"
              "CREATE ROLE desk LOGIN;"
              "GRANT SELECT ON rightsmith_schema, rightsmith_user_template TO desk;"
              "GRANT SELECT, INSERT, UPDATE, DELETE ON rightsmith_logon_failures TO desk;"
              "GRANT SELECT, INSERT, DELETE ON rightsmith_audit_trail TO desk;"
              "GRANT USAGE ON SEQUENCE rightsmith_audit_trail_id_seq TO desk",
              owner),
        QString());
    const QString deskAddress = owner + u" user=desk"_s;
    const QByteArray name = LogonThrottle::nameDigest("Anna");
    const QByteArray here = LogonThrottle::workstationDigest();
    AuditRecord early = forgedRecord();
    early.time = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 86400, Qt::UTC);
    {
        // A program of today counts, records and says what to do.
        const auto desk = SharedStore::connect(deskAddress);
        EXPECT_TRUE(desk->upgradeAdvice().contains(u"init-store --upgrade"_s))
            << qPrintable(desk->upgradeAdvice());
        EXPECT_TRUE(desk->reserve(u"k"_s, name, here, {}, {}).counted());
        desk->appendAudit(u"k"_s, early, {}, {});
        EXPECT_EQ(desk->readAudit(u"k"_s).value(0).time, early.time); // the time it gave
        EXPECT_THROW(desk->upgradeSchema(), Error); // not the owner
    }
    const auto store = SharedStore::connect(owner);
    EXPECT_THROW(store->initSchema(), Error); // asks for the upgrade, changes nothing
    EXPECT_EQ(store->upgradeSchema(), QStringList {u"desk"_s});
    EXPECT_EQ(store->upgradeSchema(), QStringList {}); // once is enough
    EXPECT_EQ(store->schemaVersion(), SharedStore::SchemaVersion);

    const auto desk = SharedStore::connect(deskAddress);
    EXPECT_EQ(desk->upgradeAdvice(), QString());
    EXPECT_EQ(desk->failures(u"k"_s, name).failures, 1);
    for (const char *sql : DirectWrites)
        EXPECT_TRUE(admin(sql, deskAddress).contains(u"permission denied"_s)) << sql;
    EXPECT_TRUE(desk->reserve(u"k"_s, name, here, {}, {}).counted());
    EXPECT_EQ(desk->failures(u"k"_s, name).failures, 2);
    desk->appendAudit(u"k"_s, forgedRecord(), {}, {});
    const QList<AuditRecord> trail = desk->readAudit(u"k"_s);
    ASSERT_EQ(trail.size(), 2);
    EXPECT_EQ(trail[0].role, QString()); // written before anyone kept the role
    EXPECT_EQ(trail[0].time, early.time);
    EXPECT_EQ(trail[1].role, u"desk"_s);
}

TEST_F(SharedStoreTest, TheServerCountsRepeatsAndItsRowLimitKeepsEveryChange)
{
    ASSERT_EQ(admin("CREATE DATABASE small_trail"), QString());
    const QString address = PgServer::address + u" dbname=small_trail"_s;
    const auto store = SharedStore::connect(address);
    store->initSchema();
    ASSERT_EQ(admin("UPDATE rightsmith_settings SET keep_rows = 50", address), QString());
    QStringList changes;
    for (const AuditEvent event :
         {AuditEvent::UserAdded, AuditEvent::RightGranted, AuditEvent::RightDenied,
          AuditEvent::PasswordChanged, AuditEvent::StoreKeptAside, AuditEvent::StoreRestored,
          AuditEvent::UserRemoved}) {
        AuditRecord change;
        change.event = event;
        change.user = "Anna";
        store->appendAudit(u"k"_s, change, {}, {});
        changes << AuditRecord::name(event);
    }
    // Refused logons of names without a user, from a thousand workstations.
    AuditRecord refused;
    refused.event = AuditEvent::LogonRefused;
    refused.detail = u"a name without a user"_s;
    for (int i = 0; i < 1000; ++i) {
        refused.host = u"desk-%1"_s.arg(i);
        store->appendAudit(u"k"_s, refused, {}, {});
    }
    // From one workstation, the repeats of a minute are one record.
    refused.host = u"desk-1000"_s;
    for (int i = 0; i < 100; ++i)
        store->appendAudit(u"k"_s, refused, {}, {});

    QStringList kept;
    int repeats = 0;
    const QList<AuditRecord> trail = store->readAudit(u"k"_s);
    for (const AuditRecord &entry : trail) {
        if (!AuditRecord::isLogon(entry.event))
            kept << AuditRecord::name(entry.event);
        if (entry.host == u"desk-1000"_s)
            repeats += entry.count;
    }
    EXPECT_EQ(kept, changes);
    EXPECT_EQ(trail.size(), 50);
    EXPECT_EQ(repeats, 100);
}

TEST(SharedStoreConnect, FailureNamesTheServerWithoutPassword)
{
    try {
        SharedStore::connect(u"host=/nonexistent/rs port=5432 dbname=gone password=secret"_s);
        ADD_FAILURE() << "connected";
    } catch (const Error &error) {
        EXPECT_TRUE(error.message().contains(u"/nonexistent/rs"_s)) << qPrintable(error.message());
        EXPECT_FALSE(error.message().contains(u"secret"_s)) << qPrintable(error.message());
    }
    // Every form of password libpq reads is left out of what messages show.
    for (const QString &address :
         {u"host=db dbname=users password=secret"_s, u"host=db password='a secret' dbname=users"_s,
          u"host=db password=a\\ secret dbname=users"_s, u"postgresql://anna:secret@db/users"_s,
          u"postgresql://anna:a?secret@db/users"_s,
          u"postgresql://anna@db/users?password=secret"_s}) {
        const QString shown = SharedStore::displayAddress(address);
        EXPECT_FALSE(shown.contains(u"secret"_s)) << qPrintable(shown);
        EXPECT_TRUE(shown.contains(u"host=db"_s) && shown.contains(u"dbname=users"_s))
            << qPrintable(shown);
    }
}

} // namespace

namespace rows {

using zkSecurity::TreeNode;
using zkSecurity::TzkNodeRecord;
using zkSecurity::TzkSecurityTemplate;

using testsupport::load;
using testsupport::streamOf;

TreeNode *add(TzkSecurityTemplate &tree, TreeNode *parent, const QByteArray &text, qint32 id = 0,
              bool granted = false)
{
    TreeNode *node = tree.addChild(parent, text);
    TzkNodeRecord record;
    record.SecurityId = id;
    record.setCaption(text);
    record.setGranted(granted);
    node->setData(record);
    node->setImages(id % 3);
    return node;
}

// Users of different shapes: rights in categories, none at all, a node of
// no text, and a deeper level.
void fill(TzkSecurityTemplate &tree, int users)
{
    for (int u = 0; u < users; ++u) {
        TreeNode *user = add(tree, nullptr, "User" + QByteArray::number(u));
        for (int c = 0; c < u % 3; ++c) {
            TreeNode *category = add(tree, user, "Category " + QByteArray::number(c));
            for (int r = 0; r < 3; ++r)
                add(tree, category, "Right " + QByteArray::number(r), c * 3 + r + 1, (u + r) % 2);
        }
        if (u % 4 == 3)
            add(tree, add(tree, user, QByteArray()), "Deeper", 99);
    }
}

TreeNode *right(TzkSecurityTemplate &tree, int user, int category = 0, int index = 0)
{
    return tree.topLevel(user)->item(category)->item(index);
}

// A desk: its connection, its tree and what it read.
struct Desk
{
    std::unique_ptr<SharedStore> store = SharedStore::connect(PgServer::address);
    TzkSecurityTemplate tree;
    SharedStore::Rows rows;

    void load(const QString &key)
    {
        const SharedStore::Stored stored = store->load(key);
        testsupport::load(tree, stored.stream);
        rows = stored.rows;
    }
    SharedStore::SaveResult save(const QString &key)
    {
        qint64 version = 0;
        return store->save(key, streamOf(tree), rows, &version, {});
    }
};

} // namespace rows

TEST_F(SharedStoreTest, TheUsersRowsMakeTheStreamByteForByteOnEveryDeskAndInEveryBackup)
{
    using namespace rows;
    for (const int users : {0, 1, 5}) {
        SCOPED_TRACE(users);
        const QString key = u"exact%1"_s.arg(users);
        TzkSecurityTemplate tree;
        fill(tree, users);
        const QByteArray stream = streamOf(tree);
        ASSERT_EQ(a->save(key, stream, 0), SharedStore::SaveResult::Saved);
        const SharedStore::Stored stored = b->load(key);
        EXPECT_TRUE(stored.rows.split);
        EXPECT_EQ(stored.rows.versions.size(), users);
        EXPECT_EQ(stored.stream, stream);
        // Saves of some users, a user removed, one added: each backup is
        // the stream as it was before a save, put together on the server.
        QList<QByteArray> before {stream};
        Desk desk;
        desk.load(key);
        for (int save = 0; save < 5 && users > 0; ++save) {
            if (save == 2)
                desk.tree.deleteNode(desk.tree.topLevel(0));
            else if (save == 3)
                add(desk.tree, nullptr, "Added");
            else
                desk.tree.topLevel(desk.tree.topLevelCount() - 1)
                    ->setText("Save " + QByteArray::number(save));
            ASSERT_EQ(desk.save(key), SharedStore::SaveResult::Saved);
            before.prepend(streamOf(desk.tree));
        }
        ASSERT_EQ(a->save(key, "whole", a->version(key)), SharedStore::SaveResult::Saved);
        const QList<SharedStore::StoredBackup> backups = b->backups(key);
        ASSERT_EQ(backups.size(), std::min<qsizetype>(3, before.size()));
        for (qsizetype i = 0; i < backups.size(); ++i) {
            EXPECT_EQ(backups[i].stream, before[i]) << i;
            EXPECT_TRUE(backups[i].good);
        }
    }
    // What a save does not lay out so is kept whole, as it came.
    TzkSecurityTemplate tree;
    fill(tree, 2);
    QByteArray untrimmed = streamOf(tree);
    untrimmed.insert(untrimmed.indexOf("User1"), ' ');
    for (const QByteArray &stream : {streamOf(tree) + "x", untrimmed}) {
        ASSERT_EQ(a->save(u"whole"_s, stream, a->version(u"whole"_s)),
                  SharedStore::SaveResult::Saved);
        EXPECT_FALSE(b->load(u"whole"_s).rows.split);
        EXPECT_EQ(b->load(u"whole"_s).stream, stream);
    }
}

TEST_F(SharedStoreTest, DesksSavingDifferentUsersBothSucceedAndTheSameUserOneIsRefused)
{
    using namespace rows;
    using Edit = std::function<void(TzkSecurityTemplate &)>;
    const Edit firstRight = [](TzkSecurityTemplate &t) {
        right(t, 1)->setText("Changed");
    };
    const Edit lastRight = [](TzkSecurityTemplate &t) {
        TzkNodeRecord *record = right(t, 5)->editData();
        record->setGranted(!record->granted());
    };
    const Edit addUser = [](TzkSecurityTemplate &t) {
        add(t, nullptr, "New");
    };
    const Edit removeLast = [](TzkSecurityTemplate &t) {
        t.deleteNode(t.topLevel(5));
    };
    const Edit growFirst = [](TzkSecurityTemplate &t) {
        add(t, t.topLevel(1), "More", 50);
    };
    struct Case
    {
        const char *name;
        Edit first;
        Edit second;
        SharedStore::SaveResult expected;
    };
    const Case cases[] = {
        {"different users", firstRight, lastRight, SharedStore::SaveResult::Saved},
        {"a user and a new one", firstRight, addUser, SharedStore::SaveResult::Saved},
        {"the same user", lastRight, lastRight, SharedStore::SaveResult::Conflict},
        {"two new users", addUser, addUser, SharedStore::SaveResult::Conflict},
        {"a removed user", removeLast, lastRight, SharedStore::SaveResult::Conflict},
        // The users after a user that grew are numbered anew in the stream.
        {"users after one that grew", growFirst, lastRight, SharedStore::SaveResult::Conflict},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString key = u"two desks "_s + QLatin1StringView(c.name);
        TzkSecurityTemplate start;
        fill(start, 6);
        ASSERT_EQ(a->save(key, streamOf(start), 0), SharedStore::SaveResult::Saved);
        Desk first, second;
        first.load(key);
        second.load(key);
        c.first(first.tree);
        c.second(second.tree);
        ASSERT_EQ(first.save(key), SharedStore::SaveResult::Saved);
        const qint64 version = a->version(key);
        EXPECT_EQ(second.save(key), c.expected);

        // Nothing is lost: what is stored is both changes, or the first alone.
        TzkSecurityTemplate expected;
        load(expected, streamOf(first.tree));
        if (c.expected == SharedStore::SaveResult::Saved)
            c.second(expected);
        const SharedStore::Stored stored = b->load(key);
        EXPECT_EQ(stored.stream, streamOf(expected));
        EXPECT_EQ(stored.version, c.expected == SharedStore::SaveResult::Saved ? 3 : version);
    }
}

// A save from the tree writes out only the users changed since the desk read
// or last saved it, and leaves the server as a save of the whole stream does:
// the rows and their versions, what the trail is given, the backups. Changes
// of shape, or lines a save keeps whole, take the whole stream's way.
TEST_F(SharedStoreTest, ASaveFromTheTreeLeavesTheServerAsTheWholeStreamDoes)
{
    using namespace rows;
    using Edit = std::function<void(TzkSecurityTemplate &)>;
    const Edit toggle = [](TzkSecurityTemplate &t) {
        TzkNodeRecord *record = right(t, 1)->editData();
        record->setGranted(!record->granted());
    };
    const Edit password = [](TzkSecurityTemplate &t) {
        t.topLevel(4)->firstChild()->editData()->setCaption("secret");
    };
    const Edit twoUsers = [](TzkSecurityTemplate &t) {
        right(t, 2)->setText("Changed");
        t.topLevel(5)->setImages(2);
    };
    const Edit grow = [](TzkSecurityTemplate &t) {
        add(t, t.topLevel(1), "More", 50);
    };
    const Edit twoLines = [](TzkSecurityTemplate &t) {
        right(t, 1)->setText("two\nlines");
    };
    const std::pair<const char *, Edit> cases[] = {
        {"toggle", toggle}, {"password", password},  {"two users", twoUsers},
        {"grown", grow},    {"two lines", twoLines},
    };
    struct Outcome
    {
        QList<QByteArray> given; // what the trail would compare, save by save
        SharedStore::Stored stored;
        QList<QByteArray> backups;
    };
    for (const auto &[name, edit] : cases) {
        SCOPED_TRACE(name);
        TzkSecurityTemplate start;
        fill(start, 6);
        Outcome outcomes[2];
        for (const bool fromTree : {false, true}) {
            const QString key = u"from tree %1 %2"_s.arg(QLatin1StringView(name)).arg(fromTree);
            ASSERT_EQ(a->save(key, streamOf(start), 0), SharedStore::SaveResult::Saved);
            Outcome &outcome = outcomes[fromTree];
            const SharedStore::Alongside given = [&](const QByteArray &replaced, const QByteArray &,
                                                     const QByteArray *written) {
                outcome.given << replaced << (written ? *written : "all");
            };
            Desk desk;
            desk.load(key);
            desk.rows.loadedInto(desk.tree);
            // A change, then the same again on what the save left.
            for (const Edit &change : {edit, toggle}) {
                change(desk.tree);
                qint64 version = 0;
                ASSERT_EQ(fromTree ? desk.store->save(key, desk.tree, desk.rows, &version, given)
                                   : desk.store->save(key, streamOf(desk.tree), desk.rows, &version,
                                                      given),
                          SharedStore::SaveResult::Saved);
            }
            outcome.stored = b->load(key);
            for (const SharedStore::StoredBackup &backup : b->backups(key))
                outcome.backups << backup.stream;
        }
        EXPECT_EQ(outcomes[1].given, outcomes[0].given);
        EXPECT_EQ(outcomes[1].stored.stream, outcomes[0].stored.stream);
        EXPECT_EQ(outcomes[1].stored.rows.split, outcomes[0].stored.rows.split);
        EXPECT_EQ(outcomes[1].stored.rows.versions, outcomes[0].stored.rows.versions);
        EXPECT_EQ(outcomes[1].stored.rows.hashes, outcomes[0].stored.rows.hashes);
        EXPECT_EQ(outcomes[1].backups, outcomes[0].backups);
    }
    // A save from the tree trusts its marks: a user unchanged since is
    // neither cut nor compared, where the whole stream compares every row.
    for (const bool fromTree : {false, true}) {
        const QString key = u"trusted %1"_s.arg(fromTree);
        TzkSecurityTemplate start;
        fill(start, 3);
        ASSERT_EQ(a->save(key, streamOf(start), 0), SharedStore::SaveResult::Saved);
        Desk desk;
        desk.load(key);
        desk.rows.loadedInto(desk.tree);
        desk.rows.hashes[0] ^= 1;
        toggle(desk.tree);
        qint64 version = 0;
        ASSERT_EQ(fromTree ? desk.store->save(key, desk.tree, desk.rows, &version, {})
                           : desk.store->save(key, streamOf(desk.tree), desk.rows, &version, {}),
                  SharedStore::SaveResult::Saved);
        EXPECT_EQ(b->load(key).rows.versions, QList<qint64>({fromTree ? 1 : 2, 2, 1}));
    }
}

TEST_F(SharedStoreTest, ADeskThatMissedSavesFetchesOnlyThemAndEndsAsAFreshLoad)
{
    using namespace rows;
    const QString key = u"missed"_s;
    TzkSecurityTemplate start;
    fill(start, 8);
    ASSERT_EQ(a->save(key, streamOf(start), 0), SharedStore::SaveResult::Saved);
    Desk late, other;
    late.load(key);
    late.store->listen();
    other.load(key);
    // Saves the late desk does not look at: a change in place, a user
    // renamed, one removed in the middle (the users after it numbered anew),
    // then one added at the end.
    const std::function<void(TzkSecurityTemplate &)> edits[] = {
        [](TzkSecurityTemplate &t) { right(t, 2)->editData()->setGranted(1); },
        [](TzkSecurityTemplate &t) { t.topLevel(6)->setText("Renamed"); },
        [](TzkSecurityTemplate &t) { t.deleteNode(t.topLevel(3)); },
        [](TzkSecurityTemplate &t) { add(t, t.topLevel(0), "Grown"); },
    };
    for (const auto &edit : edits) {
        edit(other.tree);
        ASSERT_EQ(other.save(key), SharedStore::SaveResult::Saved);
        const SharedStore::Update update = late.store->update(key, late.rows, late.tree);
        ASSERT_TRUE(update.applied);
        EXPECT_TRUE(update.changed);
        EXPECT_EQ(streamOf(late.tree), b->load(key).stream);
        EXPECT_EQ(late.rows.version, b->version(key));
    }
    // The notifications name the version and the users' rows written.
    const QStringList keys = late.store->takeNotifications();
    EXPECT_EQ(keys.size(), qsizetype(std::size(edits)));
    EXPECT_EQ(keys.value(0), key);
    // Once more, several saves at once; then a restored backup, kept whole:
    // the desk is told to load it.
    edits[0](other.tree);
    edits[2](other.tree);
    ASSERT_EQ(other.save(key), SharedStore::SaveResult::Saved);
    edits[3](other.tree);
    ASSERT_EQ(other.save(key), SharedStore::SaveResult::Saved);
    EXPECT_TRUE(late.store->update(key, late.rows, late.tree).applied);
    EXPECT_EQ(streamOf(late.tree), b->load(key).stream);
    EXPECT_FALSE(late.store->update(key, late.rows, late.tree).changed);
    qsizetype kept = 0;
    ASSERT_EQ(a->restoreBackup(key, 1, &kept), SharedStore::RestoreResult::Restored);
    EXPECT_FALSE(late.store->update(key, late.rows, late.tree).applied);
}

TEST_F(SharedStoreTest, AStoreOfVersionFourUpgradedKeepsItsUsersRolesAndBackups)
{
    using namespace rows;
    ASSERT_EQ(admin("CREATE DATABASE version_four"), QString());
    const QString address = PgServer::address + u" dbname=version_four"_s;
    SharedStore::connect(address)->initSchema();
    // Back to the tables of version 4, with its backup trigger.
    ASSERT_EQ(admin("DROP TRIGGER rightsmith_keep_backup ON rightsmith_user_template;"
                    "DROP TABLE rightsmith_template_users, rightsmith_template_users_kept;"
                    "DROP FUNCTION rightsmith_backup_stream(bigint), rightsmith_keep_user(),"
                    " rightsmith_changed_records(bytea, bytea);"
                    "ALTER TABLE rightsmith_user_template DROP COLUMN users, DROP COLUMN nodes,"
                    " DROP COLUMN roles_version;"
                    "ALTER TABLE rightsmith_user_template_backups DROP COLUMN roles,"
                    " DROP COLUMN roles_size, DROP COLUMN users;"
                    "CREATE OR REPLACE FUNCTION rightsmith_keep_backup() RETURNS trigger"
                    " LANGUAGE plpgsql SECURITY DEFINER AS $f$ BEGIN"
                    "  IF OLD.template IS DISTINCT FROM NEW.template THEN"
                    "   INSERT INTO public.rightsmith_user_template_backups (store_key, version,"
                    "    template, size, digest) VALUES (OLD.store_key, OLD.version, OLD.template,"
                    "    OLD.size, sha256(OLD.template));"
                    "  END IF; RETURN NEW; END $f$;"
                    "CREATE TRIGGER rightsmith_keep_backup BEFORE UPDATE OF template"
                    " ON rightsmith_user_template FOR EACH ROW EXECUTE PROCEDURE"
                    " rightsmith_keep_backup();"
                    "UPDATE rightsmith_schema SET version = 4",
                    address),
              QString());
    TzkSecurityTemplate first, second;
    fill(first, 3);
    fill(second, 4);
    const QByteArray roles = streamOf(first).left(40);
    {
        const auto old = SharedStore::connect(address);
        ASSERT_EQ(old->schemaVersion(), 4);
        ASSERT_EQ(old->save(u"k"_s, streamOf(first), 0, nullptr, {}, &roles),
                  SharedStore::SaveResult::Saved);
        ASSERT_EQ(old->save(u"k"_s, streamOf(second), 1), SharedStore::SaveResult::Saved);
    }
    const auto owner = SharedStore::connect(address);
    EXPECT_THROW(owner->initSchema(), Error);
    owner->upgradeSchema();
    const auto desk = SharedStore::connect(address);
    EXPECT_EQ(desk->schemaVersion(), 5);
    SharedStore::Stored stored = desk->load(u"k"_s);
    EXPECT_EQ(stored.stream, streamOf(second));
    EXPECT_EQ(stored.roles, roles);
    EXPECT_EQ(desk->backups(u"k"_s).value(0).stream, streamOf(first));

    // The next save lays the users out as rows; the backups keep the whole
    // streams and the roles with them, and a restore brings both back.
    const QByteArray newRoles = "other roles";
    ASSERT_EQ(desk->save(u"k"_s, streamOf(first), stored.rows, nullptr, {}, &newRoles),
              SharedStore::SaveResult::Saved);
    stored = desk->load(u"k"_s);
    EXPECT_TRUE(stored.rows.split);
    EXPECT_EQ(stored.stream, streamOf(first));
    EXPECT_EQ(stored.roles, newRoles);
    const QList<SharedStore::StoredBackup> backups = desk->backups(u"k"_s);
    ASSERT_EQ(backups.size(), 2);
    EXPECT_EQ(backups[0].stream, streamOf(second));
    EXPECT_EQ(backups[1].stream, streamOf(first));
    ASSERT_EQ(desk->restoreBackup(u"k"_s, 1, nullptr), SharedStore::RestoreResult::Restored);
    stored = desk->load(u"k"_s);
    EXPECT_EQ(stored.stream, streamOf(second));
    EXPECT_EQ(stored.roles, roles);
    // A backup kept before the upgrade keeps the roles as they are.
    ASSERT_EQ(desk->restoreBackup(u"k"_s, 3, nullptr), SharedStore::RestoreResult::Restored);
    stored = desk->load(u"k"_s);
    EXPECT_EQ(stored.stream, streamOf(first));
    EXPECT_EQ(stored.roles, roles);
}
