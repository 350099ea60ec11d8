// Which user store a program uses: its own address, the administrator's
// rightsmith/store.conf, RIGHTSMITH_STORE, or the local store, in that order.
#include "security/storeaddress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    {"first folder only", nullptr, "address = host=first\n", Remote, nullptr, "host=first",
     StoreAddress::SystemFile, "first", nullptr},
    {"first file decides", nullptr, "pin = false\n", Remote, nullptr, "", StoreAddress::Local, "",
     nullptr},
    {"pinned to local", nullptr, "pin = true\n", nullptr, "host=env", "", StoreAddress::SystemFile,
     "first", nullptr},
    {"pinned with address", nullptr, "pin = true\naddress = host=db\n", nullptr, "host=env",
     "host=db", StoreAddress::SystemFile, "first", nullptr},
    {"not pinned", nullptr, "address =\npin = false\n", nullptr, "host=env", "host=env",
     StoreAddress::Environment, "env", nullptr},
    {"uri", nullptr, "address = postgresql://anna@db:5432,db2/users?sslmode=require\n", nullptr,
     nullptr, "postgresql://anna@db:5432,db2/users?sslmode=require", StoreAddress::SystemFile,
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

TEST(StoreAddress, FirstMatchWinsAndAProblemFileFailsClosed)
{
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

TEST(StoreAddress, AFileOrFolderOthersMayChangeIsRefused)
{
    for (const bool folder : {false, true}) {
        for (const QFile::Permission write : {QFile::WriteOther, QFile::WriteGroup}) {
            QTemporaryDir dir;
            writeStoreConf(dir.path(), Remote);
            const QString path =
                dir.filePath(folder ? u"rightsmith"_s : u"rightsmith/store.conf"_s);
            ASSERT_TRUE(QFile::setPermissions(path, QFile::permissions(path) | write));
            const StoreAddress found =
                resolveStoreAddress({}, {dir.path()}, [](const char *) { return u"host=env"_s; });
            EXPECT_EQ(found.address, QString());
            EXPECT_EQ(found.source, StoreAddress::SystemFile);
            EXPECT_TRUE(found.problem.contains(u"other than its owner"_s)) << folder << write;
        }
    }
    // Nor may the environment choose the folder of the file that overrules it.
    qputenv("XDG_CONFIG_DIRS", "/tmp/mine:/etc/xdg");
    EXPECT_EQ(StoreAddress::systemFolders(), QStringList {u"/etc/xdg"_s});
    qunsetenv("XDG_CONFIG_DIRS");
}
