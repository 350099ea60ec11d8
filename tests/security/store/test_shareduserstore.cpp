// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The security component with its user template in the shared store, against a
// real PostgreSQL 15 server: a stale save is refused, an unchanged one sends
// nothing, without the server the local copy is read but never saved, a save
// reaches every running component at once, and failed logons and the audit
// trail are the server's.
#include "security/component/logoncheck.h"
#include "security/component/tzksecurity.h"
#include "security/hardening/audittrail.h"
#include "security/model/roles.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "support/backupchecks.h"
#include "support/fakes.h"
#include "support/pgserver.h"
#include "support/templatestream.h"
#include "support/temporaryhome.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using testsupport::bytes;
using testsupport::PgServer;

namespace {

const auto *const server = ::testing::AddGlobalTestEnvironment(new PgServer);

// No server listens in a folder that does not exist: the connection fails at once.
const QString Unreachable = u"host=/nonexistent/rightsmith port=5432 dbname=rightsmith"_s;

using testsupport::streamOf;

class SharedUserStoreTest : public testsupport::ServerTest
{
protected:
    SharedUserStoreTest()
        : ServerTest(u"\\Software\\Test\\Shared\\"_s)
    {
    }

    // A started component of a workstation: "Supervisor" made on a first
    // start, the last user logged on silently.
    std::unique_ptr<TzkSecurity> started(const QString &address, bool roles = false)
    {
        auto security = std::make_unique<TzkSecurity>();
        security->setRolesEnabled(roles);
        security->setUserTemplateRegistryKeyName(key);
        security->setStoreAddress(address);
        security->setStoreRetryInterval(std::chrono::milliseconds(200));
        security->SetOptions({soCreateSupervisorIfMissing, soAutoLogon, soSilentLogonTry});
        security->Loaded();
        return security;
    }

    SharedStore::Stored onServer() { return SharedStore::connect(PgServer::address)->load(key); }

    // A category with one right, "Open" (1), as a build from clients makes it.
    static void addOpenRight(TzkSecurity &security)
    {
        TreeNode *category = security.SecurityTemplate()->addChild(nullptr, bytes("File"));
        category->setData(TzkNodeRecord());
        TreeNode *open = security.SecurityTemplate()->addChild(category, bytes("Open"));
        TzkNodeRecord record;
        record.SecurityId = 1;
        record.setCaption(bytes("Open"));
        open->setData(record);
    }

    void addUser(TzkSecurity &security, const char *name)
    {
        security.UserTemplate()->AddUserToUserTemplate(security.SecurityTemplate(), bytes(name), {},
                                                       false);
    }

    testsupport::TemporaryHome home;
};

} // namespace

TEST_F(SharedUserStoreTest, AStaleSaveIsRefusedAndAnUnchangedLogonSendsNothing)
{
    const auto first = started(PgServer::address);
    ASSERT_TRUE(first->LoggedOn());
    EXPECT_EQ(onServer().version, 1); // the first start's "Supervisor"

    // Its logon changed nothing: nothing was sent.
    const auto second = started(PgServer::address);
    ASSERT_TRUE(second->LoggedOn());
    ASSERT_NE(second->UserTemplate()->GetUserNodeByUserName(SupervisorName), nullptr);
    EXPECT_EQ(onServer().version, 1);

    addUser(*first, "Anna");
    ASSERT_TRUE(first->SaveUsers({}));
    addUser(*second, "Boris");
    EXPECT_FALSE(second->SaveUsers({}));

    EXPECT_EQ(messages,
              QStringList {QCoreApplication::translate(
                  "zkSecurity::UserStore",
                  "The users were changed on another workstation since this dialog was opened; "
                  "your changes were not saved. Open the dialog again to see the current users.")});
    const SharedStore::Stored stored = onServer();
    EXPECT_EQ(stored.version, 2);
    EXPECT_EQ(stored.stream, streamOf(*first->UserTemplate()));

    // Changes a dialog made that the store refused (another desk saved while
    // it was open) are not kept in force: the users are read again.
    auto &ui = testsupport::FakeSecurityUi::current();
    ui.manageUsers = [&](TzkSecurityTemplate *edited, bool) {
        addUser(*first, "Carl");
        EXPECT_TRUE(first->SaveUsers({}));
        edited->AddUserToUserTemplate(second->SecurityTemplate(), bytes("Dora"), {}, true);
        return DialogResult::Accepted;
    };
    second->ShowSecurityDialog();
    ui.manageUsers = nullptr;
    EXPECT_EQ(second->UserTemplate()->GetUserNodeByUserName(bytes("Dora")), nullptr);
    EXPECT_NE(second->UserTemplate()->GetUserNodeByUserName(bytes("Carl")), nullptr);
    EXPECT_TRUE(ui.readOnlyReason.isEmpty());
}

TEST_F(SharedUserStoreTest, WithoutTheServerTheLocalCopyIsReadButNotSaved)
{
    const auto online = started(PgServer::address);
    addUser(*online, "Anna");
    ASSERT_TRUE(online->SaveUsers({}));
    const QByteArray saved = streamOf(*online->UserTemplate());

    const auto offline = started(Unreachable);
    EXPECT_FALSE(offline->UsersUnreadable());
    EXPECT_TRUE(offline->UsersReadOnly());
    EXPECT_EQ(streamOf(*offline->UserTemplate()), saved);
    EXPECT_TRUE(offline->LoggedOn()); // an unchanged logon needs no server
    // The start says which server is away, why, and that nothing can be changed.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(u"on the server \"%1\" cannot be reached"_s.arg(Unreachable))
                && messages[0].contains(u"/nonexistent/rightsmith"_s))
        << qPrintable(messages[0]);
    messages.clear();

    // The user management dialog is told why nothing can be changed.
    testsupport::FakeSecurityUi::current().readOnlyReason.clear();
    offline->ShowSecurityDialog();
    EXPECT_TRUE(testsupport::FakeSecurityUi::current().readOnlyReason.contains(Unreachable));

    addUser(*offline, "Boris");
    EXPECT_FALSE(offline->SaveUsers({}));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(u"until the server \"%1\" is back"_s.arg(Unreachable)))
        << qPrintable(messages[0]);
    EXPECT_EQ(onServer().version, 2);
    EXPECT_EQ(onServer().stream, saved);

    // The problem names the server and why it could not be reached.
    UserStore store;
    TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray password;
    EXPECT_TRUE(store.load(offline->StoreSettings(), users, lastUsers, password));
    EXPECT_TRUE(store.readOnly());
    EXPECT_TRUE(store.problem().contains(u"/nonexistent/rightsmith"_s))
        << qPrintable(store.problem());
    EXPECT_EQ(store.sharedVersion(), 2);
}

// Two components of one desk share its local copy, and each writes out only
// the users that changed where it can: whatever they change, and whichever
// of them wrote last, the copy reads back as the stream a full load gives,
// and a logon without the server has the rights last saved.
TEST_F(SharedUserStoreTest, TheLocalCopyFollowsEveryChangeByteForByte)
{
    const auto a = started(PgServer::address);
    const auto b = started(PgServer::address);
    addOpenRight(*a);
    addOpenRight(*b);
    const auto grant = [](TzkSecurity &desk, const char *name, bool granted) {
        TreeNode *right =
            desk.FindRightNode(desk.UserTemplate()->GetUserNodeByUserName(bytes(name)), 1);
        ASSERT_NE(right, nullptr) << name;
        right->setText(bytes(granted ? "Open (Yes)" : "Open (No)"));
        right->editData()->setGranted(granted);
    };
    const auto remove = [](TzkSecurity &desk, const char *name) {
        desk.UserTemplate()->DeleteNode(desk.UserTemplate()->GetUserNodeByUserName(bytes(name)));
    };
    const struct
    {
        const char *change;
        TzkSecurity &desk;
        std::function<void()> make;
    } changes[] = {
        {"users added", *a,
         [&] {
             for (const char *name : {"Anna", "Boris", "Carl", "Dora"})
                 a->UserTemplate()->AddUserToUserTemplate(a->SecurityTemplate(), bytes(name), {},
                                                          true);
         }},
        {"a right revoked", *a,
         [&] {
             grant(*a, "Boris", false);
         }},
        {"two rights changed at the other component", *b,
         [&] {
             grant(*b, "Anna", false);
             grant(*b, "Boris", true);
         }},
        {"the same user again", *b,
         [&] {
             grant(*b, "Anna", true);
         }},
        {"a user in the middle removed", *a,
         [&] {
             remove(*a, "Boris");
         }},
        {"a right revoked after it", *a,
         [&] {
             grant(*a, "Carl", false);
         }},
        {"the last user removed", *b,
         [&] {
             remove(*b, "Dora");
         }},
    };
    UserStoreSettings away = a->StoreSettings();
    away.sharedAddress = Unreachable;
    for (const auto &step : changes) {
        SCOPED_TRACE(step.change);
        step.make();
        ASSERT_TRUE(step.desk.SaveUsers({}));
        const QByteArray stored = onServer().stream;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return streamOf(*a->UserTemplate()) == stored
                    && streamOf(*b->UserTemplate()) == stored;
            },
            5000));
        UserStore store;
        TzkSecurityTemplate users;
        QList<QByteArray> lastUsers;
        QByteArray password;
        store.load(away, users, lastUsers, password);
        ASSERT_TRUE(store.readOnly());
        EXPECT_EQ(streamOf(users), stored);
    }
    const auto offline = started(Unreachable);
    ASSERT_TRUE(offline->Logon(bytes("Anna"), {}, true));
    EXPECT_TRUE(offline->CheckId(1));
    ASSERT_TRUE(offline->Logon(bytes("Carl"), {}, true));
    EXPECT_FALSE(offline->CheckId(1));
}

TEST_F(SharedUserStoreTest, WithoutTheServerOrACopyNoSupervisorIsMade)
{
    const auto offline = started(Unreachable);
    EXPECT_TRUE(offline->UsersUnreadable());
    EXPECT_FALSE(offline->UsersReadOnly());
    EXPECT_EQ(offline->UserTemplate()->count(), 0);
    EXPECT_FALSE(offline->LoggedOn());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(u"/nonexistent/rightsmith"_s)) << qPrintable(messages[0]);
    EXPECT_FALSE(onServer().exists);
}

TEST_F(SharedUserStoreTest, ASaveReachesAnotherRunningComponentByNotification)
{
    const auto a = started(PgServer::address);
    ASSERT_TRUE(a->IsSupervisor());
    addOpenRight(*a);
    a->UserTemplate()->AddUserToUserTemplate(a->SecurityTemplate(), bytes("Anna"), {}, true);
    ASSERT_TRUE(a->SaveUsers({}));

    const auto b = started(PgServer::address);
    ASSERT_TRUE(b->Logon(bytes("Anna"), {}, true));
    ASSERT_TRUE(b->CheckId(1));

    // A revokes Anna's right: B sees it while its event loop runs.
    // Every save reloads every component, the saving one too: nodes are looked up anew.
    const auto annasRight = [&] {
        return a->FindRightNode(a->UserTemplate()->GetUserNodeByUserName(bytes("Anna")), 1);
    };
    TreeNode *right = annasRight();
    ASSERT_NE(right, nullptr);
    right->setText(bytes("Open (No)"));
    right->editData()->setGranted(false);
    ASSERT_TRUE(a->SaveUsers({}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !b->CheckId(1); }, 5000));
    EXPECT_TRUE(b->LoggedOn());
    EXPECT_EQ(streamOf(*b->UserTemplate()), onServer().stream);

    // Granted again while B's user management dialog is open: B reloads once it has closed.
    auto &ui = testsupport::FakeSecurityUi::current();
    ui.manageUsers = [&](TzkSecurityTemplate *, bool) {
        right = annasRight();
        right->setText(bytes("Open (Yes)"));
        right->editData()->setGranted(true);
        EXPECT_TRUE(a->SaveUsers({}));
        QTest::qWait(1000); // the notification has long arrived
        EXPECT_FALSE(b->CheckId(1));
        return DialogResult::Rejected;
    };
    b->ShowSecurityDialog();
    ui.manageUsers = nullptr;
    EXPECT_TRUE(b->CheckId(1));

    // Anna removed: B logs her off.
    a->UserTemplate()->DeleteNode(a->UserTemplate()->GetUserNodeByUserName(bytes("Anna")));
    ASSERT_TRUE(a->SaveUsers({}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !b->LoggedOn(); }, 5000));
    EXPECT_TRUE(b->CurrentUserName().isEmpty());
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
}

TEST_F(SharedUserStoreTest, FailedLogonsAndTheTrailAreTheServersForEveryDesk)
{
    const auto security = started(PgServer::address);
    UserStoreSettings desk = security->StoreSettings();
    desk.hardening.throttleLogons = true;
    desk.hardening.auditTrail = true;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    desk.hardening.clock = [now] {
        return now;
    };
    desk.actor = SupervisorName;
    UserStoreSettings otherDesk = desk;
    otherDesk.databasePath = home.path() + u"/other-desk.sqlite3"_s;
    const LogonCheck here(desk);
    const LogonCheck there(otherDesk);
    TzkSecurityTemplate &users = *security->UserTemplate();

    // Failures counted at one desk make the name wait at the other.
    for (int i = 0; i < desk.hardening.throttle.freeAttempts; ++i)
        EXPECT_EQ(here.check(users, SupervisorName, "wrong").verdict, LogonCheck::Verdict::Refused);
    EXPECT_EQ(there.check(users, SupervisorName, {}).verdict, LogonCheck::Verdict::Throttled);
    EXPECT_TRUE(there.unlock(SupervisorName, SupervisorName));
    EXPECT_EQ(here.check(users, SupervisorName, {}).verdict, LogonCheck::Verdict::Accepted);

    // A save records what it changed, in its own transaction, on the server.
    UserStore store;
    TzkSecurityTemplate loaded;
    QList<QByteArray> lastUsers;
    QByteArray password;
    ASSERT_TRUE(store.load(desk, loaded, lastUsers, password));
    loaded.AddUserToUserTemplate(security->SecurityTemplate(), bytes("Boris"), {}, false);
    ASSERT_TRUE(store.save(desk, loaded, lastUsers, {}));

    QStringList events;
    for (const AuditRecord &entry : SharedStore::connect(PgServer::address)->readAudit(key))
        events << AuditRecord::name(entry.event) + u' ' + QString::fromLatin1(entry.user);
    QStringList expected(desk.hardening.throttle.freeAttempts, u"logon refused Supervisor"_s);
    expected << u"logon throttled Supervisor"_s << u"lock cleared Supervisor"_s
             << u"logon accepted Supervisor"_s << u"user added Boris"_s;
    EXPECT_EQ(events, expected);
    // Neither desk keeps a trail of its own.
    for (const UserStoreSettings &settings : {desk, otherDesk}) {
        rightsmith::toolkit::Registry registry(settings.registryPath());
        EXPECT_FALSE(AuditTrail(registry, key).hasRecords());
    }

    // Without the server, the desk counts and records locally: logons go on.
    UserStoreSettings away = desk;
    away.sharedAddress = Unreachable;
    EXPECT_EQ(LogonCheck(away).check(users, SupervisorName, {}).verdict,
              LogonCheck::Verdict::Accepted);
    rightsmith::toolkit::Registry registry(away.registryPath());
    EXPECT_TRUE(AuditTrail(registry, key).hasRecords());
}

TEST_F(SharedUserStoreTest, ComponentsListenAgainAndLeaveTheCopyOnceTheServerIsBack)
{
    const auto a = started(PgServer::address);
    ASSERT_EQ(PgServer::pause(), QString());
    const auto b = started(PgServer::address);
    EXPECT_TRUE(b->UsersReadOnly());
    ASSERT_EQ(PgServer::resume(), QString());

    // A saves: B, which has never listened, reads the server's users and may change them.
    addUser(*a, "Boris");
    ASSERT_TRUE(a->SaveUsers({}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !b->UsersReadOnly() && b->UserTemplate()->GetUserNodeByUserName(bytes("Boris"));
        },
        5000));
    // B saves: A, whose connection the server dropped, listens again and reloads.
    addUser(*b, "Carl");
    ASSERT_TRUE(b->SaveUsers({}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return a->UserTemplate()->GetUserNodeByUserName(bytes("Carl")) != nullptr; }, 5000));
    // Both end with what a fresh load reads.
    EXPECT_EQ(streamOf(*a->UserTemplate()), onServer().stream);
    EXPECT_EQ(streamOf(*b->UserTemplate()), onServer().stream);
    EXPECT_EQ(messages.size(), 1) << qPrintable(messages.join(u'\n')); // B's start only
}

// The server keeps what each save replaced, in the save's transaction, and
// puts a backup back as a save of its own.
TEST_F(SharedUserStoreTest, FourSavesKeepThreeBackupsOnTheServer)
{
    const auto desk = started(PgServer::address);
    ASSERT_TRUE(desk->IsSupervisor());
    const QByteArray storeKey = key.toCaseFolded().toUtf8();
    testsupport::expectBackupRotation(
        desk->StoreSettings(), 1,
        [&](const QByteArray &name) {
            desk->UserTemplate()->AddUserToUserTemplate(desk->SecurityTemplate(), name, {}, false);
            ASSERT_TRUE(desk->SaveUsers({}));
        },
        [&] { return onServer().stream; },
        [&](int number) {
            ASSERT_EQ(testsupport::admin("UPDATE rightsmith_user_template_backups SET template = "
                                         "template || '\\x00'::bytea WHERE id = (SELECT id FROM "
                                         "rightsmith_user_template_backups WHERE store_key = '"
                                         + storeKey + "' ORDER BY id DESC LIMIT 1 OFFSET "
                                         + QByteArray::number(number - 1) + ")"),
                      QString());
        });
}

TEST_F(SharedUserStoreTest, ARoleChangeReachesAnotherDeskAndOfTwoAtOnceOneIsRefused)
{
    const auto a = started(PgServer::address, true);
    addOpenRight(*a);
    addUser(*a, "Anna");
    const auto roles = [](TzkSecurity &desk) {
        return Roles(*desk.RoleTemplate(), *desk.UserTemplate());
    };
    ASSERT_TRUE(roles(*a).AddRole(bytes("Clerks"), a->SecurityTemplate()->firstNode()));
    ASSERT_TRUE(roles(*a).Assign(bytes("Clerks"), bytes("Anna")));
    ASSERT_TRUE(a->SaveUsers({}));

    // Another desk, without roles, checks Anna's rights as any user's.
    const auto b = started(PgServer::address);
    ASSERT_TRUE(b->Logon(bytes("Anna"), {}, true));
    ASSERT_FALSE(b->CheckId(1));
    ASSERT_TRUE(roles(*a).SetRoleRight(bytes("Clerks"), 1, true));
    ASSERT_TRUE(a->SaveUsers({}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return b->CheckId(1); }, 5000));

    // Two desks with roles change them at once: the later save is refused.
    const auto c = started(PgServer::address, true);
    ASSERT_EQ(roles(*c).RoleNames(), QByteArrayList {bytes("Clerks")});
    ASSERT_TRUE(roles(*a).AddRole(bytes("Stock"), a->SecurityTemplate()->firstNode()));
    ASSERT_TRUE(roles(*c).AddRole(bytes("Audit"), c->SecurityTemplate()->firstNode()));
    ASSERT_TRUE(a->SaveUsers({}));
    EXPECT_FALSE(c->SaveUsers({}));
    EXPECT_EQ(messages,
              QStringList {QCoreApplication::translate(
                  "zkSecurity::UserStore",
                  "The users were changed on another workstation since this dialog was opened; "
                  "your changes were not saved. Open the dialog again to see the current users.")});
    // Nothing lost: the refused desk reads the roles anew and makes its change again.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return roles(*c).RoleNode(bytes("Stock")) != nullptr; }, 5000));
    ASSERT_TRUE(roles(*c).AddRole(bytes("Audit"), c->SecurityTemplate()->firstNode()));
    ASSERT_TRUE(c->SaveUsers({}));
    TzkSecurityTemplate users;
    TzkSecurityTemplate saved;
    QBuffer stream;
    stream.setData(onServer().roles);
    stream.open(QIODevice::ReadOnly);
    saved.LoadFromStreamSecurity(stream);
    EXPECT_EQ(Roles(saved, users).RoleNames(),
              (QByteArrayList {bytes("Clerks"), bytes("Stock"), bytes("Audit")}));
    EXPECT_TRUE(b->CheckId(1));
}
