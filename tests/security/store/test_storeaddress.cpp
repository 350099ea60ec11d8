// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Which user store a program uses: its own address, the administrator's
// rightsmith/store.conf, RIGHTSMITH_STORE, or the local store, in that order.
// The administrator's file must be root's alone, as the tests (run as root)
// make it; they are skipped for anyone else.
#include "security/store/storeaddress_p.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

using namespace zkSecurity;
using namespace Qt::StringLiterals;

namespace {

const char *const Directory = "<a folder>"; // store.conf that is not a file

struct Case
{
    const char *name;
    const char *program; // nullptr: not set; likewise below
    const char *firstFile; // store.conf in the first system folder
    const char *secondFile;
    const char *environment;
    const char *address;
    StoreAddress::Source source;
    const char *origin; // "first", "second", "env" or ""
    const char *problem; // text the problem must hold, nullptr for none
};

const char *const Remote = "address = host=db.example.org dbname=users port=5432,5433\n";

const Case Cases[] = {
    {"program wins", "host=app", Remote, nullptr, "host=env", "host=app", StoreAddress::Program, "",
     nullptr},
    {"nothing set", nullptr, nullptr, nullptr, nullptr, "", StoreAddress::Local, "", nullptr},
    {"environment", nullptr, nullptr, nullptr, " host=env ", "host=env", StoreAddress::Environment,
     "env", nullptr},
    {"file before environment", nullptr,
     "# admin\n\n"
     "address=host=db.example.org dbname=users port=5432,5433",
     nullptr, "host=env", "host=db.example.org dbname=users port=5432,5433",
     StoreAddress::SystemFile, "first", nullptr},
    {"second folder", nullptr, nullptr, Remote, "host=env",
     "host=db.example.org dbname=users port=5432,5433", StoreAddress::SystemFile, "second",
     nullptr},
    {"first folder only", nullptr, "address = host=first dbname=a\n", Remote, nullptr,
     "host=first dbname=a", StoreAddress::SystemFile, "first", nullptr},
    {"first file decides", nullptr, "pin = false\n", Remote, nullptr, "", StoreAddress::Local, "",
     nullptr},
    {"pinned to local", nullptr, "pin = true\n", nullptr, "host=env", "", StoreAddress::SystemFile,
     "first", nullptr},
    {"pinned with address", nullptr, "pin = true\naddress = host=db dbname=a\n", nullptr,
     "host=env", "host=db dbname=a", StoreAddress::SystemFile, "first", nullptr},
    {"no database named", nullptr, "pin = true\naddress = host=db\n", nullptr, "host=env", "",
     StoreAddress::SystemFile, "first", "dbname"},
    {"not pinned", nullptr, "address =\npin = false\n", nullptr, "host=env", "host=env",
     StoreAddress::Environment, "env", nullptr},
    {"uri", nullptr, "address = postgresql://anna@db:5432,db2/users?sslmode=require\n", nullptr,
     nullptr, "postgresql://anna@db:5432,db2/users?sslmode=require", StoreAddress::SystemFile,
     "first", nullptr},
    {"quoted values", nullptr, "address = host='/run/pg sock' dbname='it\\'s' user=a\\\\b\n",
     nullptr, nullptr, "host='/run/pg sock' dbname='it\\'s' user=a\\\\b", StoreAddress::SystemFile,
     "first", nullptr},
    {"password in file", nullptr, "address = host=db password=secret\n", nullptr, "host=env", "",
     StoreAddress::SystemFile, "first", "not in "},
    {"ssl password in file", nullptr, "address = host=db sslpassword = secret\n", nullptr, nullptr,
     "", StoreAddress::SystemFile, "first", "password file"},
    {"password in uri", nullptr, "address = postgres://anna:secret@db/users\n", nullptr, nullptr,
     "", StoreAddress::SystemFile, "first", "password file"},
    {"password in uri before a question mark", nullptr, "address = postgresql://u:p?x@h/db\n",
     nullptr, nullptr, "", StoreAddress::SystemFile, "first", "password file"},
    {"encoded password parameter", nullptr, "address = postgresql:///users?pass%77ord=x\n", nullptr,
     nullptr, "", StoreAddress::SystemFile, "first", "password file"},
    {"password in environment", nullptr, nullptr, nullptr, "postgresql://anna:secret@db", "",
     StoreAddress::Environment, "env", "not in RIGHTSMITH_STORE"},
    {"line without key", nullptr, "# admin\nnonsense\n", nullptr, "host=env", "",
     StoreAddress::SystemFile, "first", "line 2"},
    {"pin neither true nor false", nullptr, "pin = yes\n", nullptr, "host=env", "",
     StoreAddress::SystemFile, "first", "malformed"},
    {"repeated key", nullptr, "address = a\naddress = b\n", nullptr, "host=env", "",
     StoreAddress::SystemFile, "first", "malformed"},
    {"unreadable file", nullptr, Directory, Remote, "host=env", "", StoreAddress::SystemFile,
     "first", "cannot be read"},
};

/// What \a address sets, keyword by keyword, as libpq reads it.
QMap<QString, QString> settingsOf(const QString &address)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(address.toUtf8().constData(), &error);
    PQfreemem(error);
    QMap<QString, QString> settings;
    if (!options)
        return {{u"unreadable"_s, address}};
    for (const PQconninfoOption *option = options; option->keyword; ++option)
        if (option->val && *option->val)
            settings.insert(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
    PQconninfoFree(options);
    return settings;
}

/// \a address as an administrator's address connects: with libpq's own
/// values for what it leaves out of the server's port and how it is trusted.
QMap<QString, QString> wholeSettingsOf(const QString &address)
{
    QMap<QString, QString> settings = settingsOf(address);
    for (const auto &[keyword, value] : {std::pair {"port", "5432"},
                                         {"sslmode", "prefer"},
                                         {"gssencmode", "prefer"},
                                         {"channel_binding", "prefer"},
                                         {"ssl_min_protocol_version", "TLSv1.2"},
                                         {"target_session_attrs", "any"}})
        if (!settings.contains(QString::fromUtf8(keyword)))
            settings.insert(QString::fromUtf8(keyword), QString::fromUtf8(value));
    return settings;
}

void writeStoreConf(const QString &folder, const char *content)
{
    ASSERT_TRUE(QDir(folder).mkpath(u"rightsmith"_s));
    const QString path = QDir(folder).filePath(u"rightsmith/store.conf"_s);
    if (content == Directory) {
        ASSERT_TRUE(QDir(folder).mkpath(u"rightsmith/store.conf"_s));
        return;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

const char *const NotRoot = "the store configuration must belong to root";

TEST(StoreAddress, FirstMatchWinsAndAProblemFileFailsClosed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << NotRoot;
    for (const Case &c : Cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir first, second;
        if (c.firstFile)
            writeStoreConf(first.path(), c.firstFile);
        if (c.secondFile)
            writeStoreConf(second.path(), c.secondFile);
        const auto environment = [&](const char *name) {
            return qstrcmp(name, "RIGHTSMITH_STORE") == 0 ? QString::fromUtf8(c.environment)
                                                          : QString();
        };
        const StoreAddress found = resolveStoreAddress(QString::fromUtf8(c.program),
                                                       {first.path(), second.path()}, environment);
        if (c.source == StoreAddress::SystemFile && *c.address)
            EXPECT_EQ(settingsOf(found.address), wholeSettingsOf(QString::fromUtf8(c.address)))
                << found.address.toStdString();
        else
            EXPECT_EQ(found.address, QString::fromUtf8(c.address));
        EXPECT_EQ(found.source, c.source);
        const QString origin = qstrcmp(c.origin, "env") == 0 ? u"RIGHTSMITH_STORE"_s
            : *c.origin == 0                                 ? QString()
                             : QDir(qstrcmp(c.origin, "first") == 0 ? first.path() : second.path())
                                   .filePath(u"rightsmith/store.conf"_s);
        EXPECT_EQ(found.origin, origin);
        if (c.problem)
            EXPECT_TRUE(found.problem.contains(QString::fromUtf8(c.problem)))
                << found.problem.toStdString();
        else
            EXPECT_EQ(found.problem, QString());
    }
}

TEST(StoreAddress, AnAdministratorsAddressIsTheWholeAddress)
{
    if (geteuid() != 0)
        GTEST_SKIP() << NotRoot;
    struct Row
    {
        const char *name;
        const char *inFile; // the address in store.conf; nullptr: RIGHTSMITH_STORE's
        const char *variable;
        const char *value;
        const char *refused; // what the problem says; nullptr: the address is used
    };
    const char *const Full = "host=db port=6543 dbname=users";
    const Row rows[] = {
        {"built-in values given", Full, "PGSSLMODE", "disable", nullptr},
        {"the address's own values", "host=db dbname=users sslmode=verify-full sslrootcert=/ca",
         "PGSSLROOTCERT", "/tmp/mine.pem", nullptr},
        {"a service file in the file", "host=db dbname=a servicefile=/tmp/mine", nullptr, nullptr,
         "servicefile"},
        {"an address from RIGHTSMITH_STORE", nullptr, "PGHOSTADDR", "127.0.0.1", nullptr},
        // The C library's resolver reads these: a search domain of the user's
        // own (db.example.org.127.0.0.1.nip.io first) or an alias file.
        {"the resolver's search domain", Full, "LOCALDOMAIN", "127.0.0.1.nip.io", "LOCALDOMAIN"},
        {"the resolver's options", "host=db.example.org dbname=users", "RES_OPTIONS", "ndots:9",
         "RES_OPTIONS"},
        {"the resolver's aliases", Full, "HOSTALIASES", "/tmp/aliases", "HOSTALIASES"},
        {"no name to look up", "host=/run/postgresql,db hostaddr=,192.0.2.7 dbname=users",
         "LOCALDOMAIN", "127.0.0.1.nip.io", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        if (row.inFile)
            writeStoreConf(dir.path(), QByteArray("address = ").append(row.inFile).constData());
        const auto environment = [&](const char *name) {
            if (!row.inFile && qstrcmp(name, "RIGHTSMITH_STORE") == 0)
                return QString::fromUtf8(Full);
            return row.variable && qstrcmp(name, row.variable) == 0 ? QString::fromUtf8(row.value)
                                                                    : QString();
        };
        const StoreAddress found = resolveStoreAddress({}, {dir.path()}, environment);
        if (row.refused) {
            EXPECT_EQ(found.address, QString());
            EXPECT_TRUE(found.problem.contains(QString::fromUtf8(row.refused)))
                << found.problem.toStdString();
        } else if (row.inFile) {
            EXPECT_EQ(found.problem, QString());
            EXPECT_EQ(settingsOf(found.address), wholeSettingsOf(QString::fromUtf8(row.inFile)));
        } else {
            // Not the administrator's: libpq may still fill it from the environment.
            EXPECT_EQ(found.problem, QString());
            EXPECT_EQ(found.address, QString::fromUtf8(Full));
        }
    }
}

TEST(StoreAddress, AFileOrFolderAnyoneButRootMayChangeIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << NotRoot;
    const passwd *nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    enum Change { GroupWrites, OthersWrite, AnotherOwner };
    for (const QString &which : {u"rightsmith/store.conf"_s, u"rightsmith"_s, QString()}) {
        for (const Change change : {GroupWrites, OthersWrite, AnotherOwner}) {
            SCOPED_TRACE(which.toStdString() + ' ' + std::to_string(change));
            QTemporaryDir dir;
            writeStoreConf(dir.path(), Remote);
            const QString path = which.isEmpty() ? dir.path() : dir.filePath(which);
            if (change == AnotherOwner)
                ASSERT_EQ(chown(QFile::encodeName(path).constData(), nobody->pw_uid, 0), 0);
            else
                ASSERT_TRUE(QFile::setPermissions(
                    path,
                    QFile::permissions(path)
                        | (change == GroupWrites ? QFile::WriteGroup : QFile::WriteOther)));
            const StoreAddress found =
                resolveStoreAddress({}, {dir.path()}, [](const char *) { return u"host=env"_s; });
            EXPECT_EQ(found.address, QString());
            EXPECT_EQ(found.source, StoreAddress::SystemFile);
            EXPECT_TRUE(found.problem.contains(u"chown root "_s + path + u';'))
                << found.problem.toStdString();
        }
    }
    // Nor may the environment choose the folder of the file that overrules it.
    qputenv("XDG_CONFIG_DIRS", "/tmp/mine:/etc/xdg");
    EXPECT_EQ(StoreAddress::systemFolders(), QStringList {u"/etc/xdg"_s});
    qunsetenv("XDG_CONFIG_DIRS");
}
