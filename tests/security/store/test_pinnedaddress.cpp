// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// A pinned store.conf against two real servers: the administrator's, and one
// the user runs with users of their own, reachable through a Unix socket and
// over TCP on 127.0.0.1. Whatever libpq variable the user sets, the program
// reads the administrator's users or is refused with a message naming the
// variable; it never reads the user's.
#include "security/store/sharedstore_p.h"
#include "security/store/storeaddress_p.h"
#include "support/pgserver.h"
#include "toolkit/error.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using testsupport::PgServer;
using zkSecurity::SharedStore;
using zkSecurity::StoreAddress;

namespace {

const auto *const administrators = ::testing::AddGlobalTestEnvironment(new PgServer);

/// A TCP port of 127.0.0.1 that nothing listens on now.
int freePort()
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = listener >= 0
        && bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0;
    if (listener >= 0)
        close(listener);
    return bound ? ntohs(address.sin_port) : 0;
}

/// The user's own server, on a free port and over TCP on 127.0.0.1 as well.
class UsersServer : public ::testing::Environment
{
public:
    static inline QString address;
    static inline QString folder;
    static inline int port = 0;

    void SetUp() override
    {
        if (!PgServer::skipReason.isEmpty() || !PgServer::failure.isEmpty())
            return;
        m_dir = std::make_unique<QTemporaryDir>(u"/tmp/rsXXXXXX"_s);
        QFile::setPermissions(m_dir->path(), QFile::permissions(m_dir->path()) | QFile::ExeOther);
        folder = m_dir->path() + u"/server"_s;
        port = freePort();
        const QString out = run({u"start"_s, folder, QString::number(port), u"127.0.0.1"_s});
        address = out.split(u'\n').constLast();
        if (!address.startsWith(u"host="_s))
            address.clear();
    }

    void TearDown() override
    {
        if (!address.isEmpty())
            run({u"stop"_s, folder});
        m_dir.reset();
    }

private:
    static QString run(const QStringList &arguments)
    {
        QProcess process;
        process.start(u"sh"_s,
                      QStringList {qEnvironmentVariable("RIGHTSMITH_SOURCE_DIR")
                                   + u"/tests/support/pgserver.sh"_s}
                          + arguments);
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())
            .trimmed();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

const auto *const users = ::testing::AddGlobalTestEnvironment(new UsersServer);

const QString Key = u"\\Software\\Rightsmith\\Pinned"_s;
const QByteArray Administrators = "the administrator's users";
const QByteArray Users = "the user's own users";

/// The value of \a keyword in a libpq connection string as pgserver.sh prints it.
QString valueOf(const QString &address, const QString &keyword)
{
    for (const QString &part : address.split(u' '))
        if (part.startsWith(keyword + u'='))
            return part.mid(keyword.size() + 1);
    return {};
}

TEST(PinnedAddress, NoVariableOfTheUserChoosesAnotherServer)
{
    if (!PgServer::skipReason.isEmpty())
        GTEST_SKIP() << qPrintable(PgServer::skipReason);
    if (geteuid() != 0)
        GTEST_SKIP() << "the store configuration must belong to root";
    ASSERT_TRUE(PgServer::failure.isEmpty()) << qPrintable(PgServer::failure);
    ASSERT_FALSE(UsersServer::address.isEmpty()) << "the user's server did not start";

    const QString admins = valueOf(PgServer::address, u"host"_s);
    const QString port = QString::number(UsersServer::port);
    // The administrator's server holds the user's users in a second database
    // too, and its host a second port (a link to the user's server).
    ASSERT_EQ(testsupport::admin("CREATE DATABASE mine"), QString());
    for (const auto &[address, stream] : {std::pair {PgServer::address, Administrators},
                                          {PgServer::address + u" dbname=mine"_s, Users},
                                          {UsersServer::address, Users}}) {
        const auto store = SharedStore::connect(address);
        store->initSchema();
        ASSERT_EQ(store->save(Key, stream, 0), SharedStore::SaveResult::Saved);
    }
    const QString socket = u"/.s.PGSQL."_s + port;
    ASSERT_TRUE(QFile::link(UsersServer::folder + socket, admins + socket));

    QTemporaryDir home;
    QFile service(home.filePath(u"pg_service.conf"_s));
    ASSERT_TRUE(service.open(QIODevice::WriteOnly));
    service.write("[mine]\nhostaddr=127.0.0.1\n");
    service.close();

    // {A}: the administrator's socket folder, {B} the user's; {P} the user's port.
    const char *const Remote = "host=rightsmith.invalid port={P} dbname=rightsmith user=postgres";
    const char *const Local = "host={A} dbname=rightsmith user=postgres";
    struct Row
    {
        const char *variable;
        const char *value;
        const char *address;
        const char *refusal; // what the refusal says; nullptr: the administrator's users are read
        const char *alongside = nullptr; // a second variable and its value
        const char *alongsideValue = nullptr;
    };
    const Row rows[] = {
        {"PGHOST", "{B}", "port={P} dbname=rightsmith user=postgres", "PGHOST"},
        {"PGHOSTADDR", "127.0.0.1", Remote, "PGHOSTADDR"},
        {"PGPORT", "{P}", Local, nullptr},
        {"PGDATABASE", "mine", "host={A} user=postgres", "PGDATABASE"},
        {"PGSERVICE", "mine", Remote, "PGSERVICE", "PGSERVICEFILE", "{H}/pg_service.conf"},
        {"PGSERVICE", "mine", Remote, "PGSERVICE", "PGSYSCONFDIR", "{H}"},
        {"PGSERVICEFILE", "{H}/pg_service.conf", Local, nullptr},
        {"PGSERVICEFILE", "{H}/pg_service.conf",
         "service=mine port={P} dbname=rightsmith user=postgres", "names a service"},
        {"PGSYSCONFDIR", "{H}", Local, nullptr},
        {"PGOPTIONS", "-c search_path=pg_catalog", Local, nullptr},
        {"PGSSLMODE", "verify-full", Local, nullptr},
        {"PGREQUIRESSL", "1", Local, nullptr},
        {"PGSSLROOTCERT", "{H}/root.crt", Local, "PGSSLROOTCERT"},
        {"PGSSLCRL", "{H}/root.crl", Local, "PGSSLCRL"},
        {"PGSSLCRLDIR", "{H}", Local, "PGSSLCRLDIR"},
        {"PGSSLMINPROTOCOLVERSION", "TLSv1", Local, nullptr},
        {"PGGSSENCMODE", "require", Local, nullptr},
        {"PGTARGETSESSIONATTRS", "standby", Local, nullptr},
        {"PGCHANNELBINDING", "require", Local, nullptr},
        // Who connects stays the user's own choice.
        {"PGUSER", "postgres", "host={A} dbname=rightsmith", nullptr},
    };
    const auto filled = [&](const char *text) {
        return QString::fromUtf8(text)
            .replace(u"{A}"_s, admins)
            .replace(u"{B}"_s, UsersServer::folder)
            .replace(u"{P}"_s, port)
            .replace(u"{H}"_s, home.path());
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.variable) + ' ' + (row.alongside ? row.alongside : ""));
        QTemporaryDir system;
        ASSERT_TRUE(QDir(system.path()).mkpath(u"rightsmith"_s));
        QFile conf(system.filePath(u"rightsmith/store.conf"_s));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("pin = true\naddress = " + filled(row.address).toUtf8() + '\n');
        conf.close();
        qputenv(row.variable, filled(row.value).toUtf8());
        if (row.alongside)
            qputenv(row.alongside, filled(row.alongsideValue).toUtf8());
        const auto restore = qScopeGuard([&] {
            qunsetenv(row.variable);
            if (row.alongside)
                qunsetenv(row.alongside);
        });

        const StoreAddress found =
            zkSecurity::resolveStoreAddress(QString(), {system.path()}, [](const char *name) {
                return qEnvironmentVariable(name);
            });
        if (row.refusal || !found.problem.isEmpty()) { // no store is opened
            EXPECT_TRUE(row.refusal && found.problem.contains(QLatin1StringView(row.refusal)))
                << qPrintable(found.problem);
            continue;
        }
        try {
            EXPECT_EQ(SharedStore::connect(found.address)->load(Key).stream, Administrators);
        } catch (const rightsmith::toolkit::Error &error) {
            ADD_FAILURE() << qPrintable(error.message());
        }
    }
}

} // namespace
