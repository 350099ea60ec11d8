// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Several processes on one shared store, against a real PostgreSQL 15 server;
// rightsmith-users, run in a home of its own, is the other workstation. A save
// based on a version another process has replaced is refused and loses
// nothing; another process's save reaches a running component by
// notification; a save cut off by the server stopping leaves the user
// template whole. A start without the server is tested in test_shareduserstore.
#include "security/component/tzksecurity.h"
#include "security/hardening/logonthrottle.h"
#include "security/model/passwordhash.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "support/guessers.h"
#include "support/pgserver.h"
#include "support/temporaryhome.h"
#include "toolkit/messagebox.h"

#include <QBuffer>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <thread>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using testsupport::bytes;
using testsupport::PgServer;

namespace {

const auto *const server = ::testing::AddGlobalTestEnvironment(new PgServer);

const QByteArray NewPassword = bytes("new pw");

QByteArray streamOf(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

bool hasPassword(const TzkSecurityTemplate &users, const QByteArray &name,
                 const QByteArray &password)
{
    const TreeNode *user = users.GetUserNodeByUserName(name);
    return user && user->firstChild()
        && PasswordHash::matches(user->firstChild()->data(), password);
}

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Connection connectAdmin()
{
    return Connection(PQconnectdb(PgServer::address.toUtf8().constData()), &PQfinish);
}

// The first value \a sql answers (one text parameter); empty on an error.
QByteArray firstValue(PGconn *connection, const char *sql, const QByteArray &parameter = {})
{
    const char *values[] = {parameter.constData()};
    PGresult *result = PQexecParams(connection, sql, parameter.isNull() ? 0 : 1, nullptr, values,
                                    nullptr, nullptr, 0);
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0;
    const QByteArray value = ok ? QByteArray(PQgetvalue(result, 0, 0)) : QByteArray();
    PQclear(result);
    return value;
}

class SharedProcessesTest : public testsupport::ServerTest
{
protected:
    SharedProcessesTest()
        : ServerTest(u"\\Software\\Test\\Processes\\"_s)
    {
    }

    UserStoreSettings settings() const
    {
        UserStoreSettings settings;
        settings.key = key;
        settings.inFile = false;
        settings.sharedAddress = PgServer::address;
        return settings;
    }

    SharedStore::Stored onServer() { return SharedStore::connect(PgServer::address)->load(key); }

    // Version 1 on the server: "Supervisor" with an empty password.
    QByteArray storeSupervisor()
    {
        TzkSecurityTemplate users;
        users.AddUserToUserTemplate(nullptr, SupervisorName, {}, false);
        const QByteArray stream = streamOf(users);
        EXPECT_EQ(SharedStore::connect(PgServer::address)->save(key, stream, 0),
                  SharedStore::SaveResult::Saved);
        return stream;
    }

    // The other workstation sets Supervisor's password to NewPassword on the server.
    void otherProcessSetsPassword()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, otherHome.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, otherHome.filePath(u"config"_s));
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(
            QStringLiteral(RIGHTSMITH_USERS_TOOL),
            {u"--key"_s, key, u"--store"_s, PgServer::address, u"passwd"_s, u"Supervisor"_s});
        tool.write(NewPassword + '\n');
        tool.closeWriteChannel();
        ASSERT_TRUE(tool.waitForFinished(30000)) << qPrintable(tool.errorString());
        ASSERT_EQ(tool.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
    }

    testsupport::TemporaryHome home;
    QTemporaryDir otherHome;
};

} // namespace

TEST_F(SharedProcessesTest, ASaveBasedOnAVersionAnotherProcessReplacedIsRefused)
{
    storeSupervisor();
    UserStore store;
    TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray password;
    store.load(settings(), users, lastUsers, password);
    ASSERT_EQ(store.state(), UserStore::State::Loaded);
    ASSERT_EQ(store.sharedVersion(), 1);

    otherProcessSetsPassword();
    // Supervisor, whom the other process changed, is changed here too.
    users.GetUserNodeByUserName(SupervisorName)->setText(bytes("Chief"));
    users.AddUserToUserTemplate(nullptr, bytes("Boris"), {}, false);
    EXPECT_FALSE(store.save(settings(), users, lastUsers, {}));

    EXPECT_EQ(messages,
              QStringList {u"The users were changed on another workstation since this dialog was "
                           u"opened; your changes were not saved. Open the dialog again to see "
                           u"the current users."_s});
    SharedStore::Stored stored = onServer();
    EXPECT_EQ(stored.version, 2);
    TzkSecurityTemplate there;
    QBuffer buffer(&stored.stream);
    buffer.open(QIODevice::ReadOnly);
    there.LoadFromStreamSecurity(buffer);
    EXPECT_TRUE(hasPassword(there, SupervisorName, NewPassword));
    EXPECT_EQ(there.GetUserNodeByUserName(bytes("Boris")), nullptr);
}

TEST_F(SharedProcessesTest, ASaveOfAnotherProcessReachesARunningComponentWithinASecond)
{
    storeSupervisor();
    TzkSecurity security;
    security.setUserTemplateRegistryKeyName(key);
    security.setStoreAddress(PgServer::address);
    security.Loaded();
    ASSERT_FALSE(security.UsersReadOnly());
    ASSERT_TRUE(hasPassword(*security.UserTemplate(), SupervisorName, {}));

    otherProcessSetsPassword();
    // Only the component's own connection is read while the event loop runs.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return hasPassword(*security.UserTemplate(), SupervisorName, NewPassword); }, 1000));
    EXPECT_EQ(streamOf(*security.UserTemplate()), onServer().stream);
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
}

TEST_F(SharedProcessesTest, AServerStoppedDuringASaveKeepsTheUserTemplateWhole)
{
    const QByteArray before = storeSupervisor();
    UserStore store;
    TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray password;
    store.load(settings(), users, lastUsers, password);
    ASSERT_EQ(store.sharedVersion(), 1);
    users.AddUserToUserTemplate(nullptr, bytes("Boris"), {}, false);
    const QByteArray after = streamOf(users);

    // An administrator's transaction holds the row: the save waits for it on the server.
    Connection holder = connectAdmin();
    const Connection observer = connectAdmin();
    PQclear(PQexec(holder.get(), "BEGIN"));
    ASSERT_EQ(firstValue(holder.get(),
                         "SELECT version FROM rightsmith_user_template WHERE store_key = $1 "
                         "FOR UPDATE",
                         key.toCaseFolded().toUtf8()),
              "1");

    bool saved = true;
    std::thread saving([&] { saved = store.save(settings(), users, lastUsers, {}); });
    const bool waiting = QTest::qWaitFor(
        [&] {
            return firstValue(observer.get(),
                              "SELECT count(*) FROM pg_stat_activity "
                              "WHERE cardinality(pg_blocking_pids(pid)) > 0")
                == "1";
        },
        10000);
    const QString paused = waiting ? PgServer::pause() : u"the save never waited for the row"_s;
    holder.reset(); // without the pause, the row is free again and the save goes on
    saving.join();
    ASSERT_TRUE(paused.isEmpty()) << qPrintable(paused);
    const QString resumed = PgServer::resume();
    ASSERT_TRUE(resumed.isEmpty()) << qPrintable(resumed);

    EXPECT_FALSE(saved);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(u"The users could not be saved: "_s))
        << qPrintable(messages[0]);

    // It never committed: the old user template, whole, and a start reads it.
    const SharedStore::Stored stored = onServer();
    EXPECT_EQ(stored.version, 1);
    EXPECT_EQ(stored.stream, before);
    UserStore restarted;
    TzkSecurityTemplate reread;
    restarted.load(settings(), reread, lastUsers, password);
    EXPECT_EQ(restarted.state(), UserStore::State::Loaded);
    EXPECT_EQ(streamOf(reread), before);

    // Nothing of the failed save is left behind: saved again, the change goes through.
    EXPECT_TRUE(store.save(settings(), users, lastUsers, {}));
    EXPECT_EQ(onServer().stream, after);
    EXPECT_EQ(onServer().version, 2);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(SharedProcessesTest, SixteenProgramsGuessingAtOncePastTheFreeAttemptsGetOneCheck)
{
    // Five failures on the server, the last long enough ago that the next attempt may go.
    const QByteArray digest = LogonThrottle::nameDigest(testsupport::GuessedName).toHex();
    ASSERT_EQ(testsupport::admin("INSERT INTO rightsmith_logon_failures VALUES ('"
                                 + key.toCaseFolded().toUtf8() + "', '\\x" + digest
                                 + "', 5, (extract(epoch FROM clock_timestamp()) * 1000)::bigint"
                                   " - 600000)"),
              QString());
    UserStoreSettings store = settings();
    store.databasePath = home.filePath(u"guessers.sqlite3"_s);
    QStringList expected(15, u"throttled"_s);
    expected.prepend(u"refused"_s);
    EXPECT_EQ(
        testsupport::guessAtOnce(store, 16, std::chrono::seconds(60)).join(u' ').toStdString(),
        expected.join(u' ').toStdString());
    EXPECT_EQ(SharedStore::connect(PgServer::address)
                  ->failures(key, LogonThrottle::nameDigest(testsupport::GuessedName))
                  .failures,
              6);
}
