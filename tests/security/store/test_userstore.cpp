// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store: SaveUsers and LoadUsers of the security component against a
// real registry database and real files in a temporary home.
#include "security/component/tzksecurity.h"
#include "security/model/tcripter.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"
#include "support/backupchecks.h"
#include "support/demotemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"
#include "toolkit/termination.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sqlite3.h>

#if !defined(__SANITIZE_ADDRESS__)
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using testsupport::bytes;

namespace {

const QString DemoKey =
    u"\\Software\\Tenvarro\\RightsmithDemo\\CurrentVersion\\SecurityObject\\UserTemplate"_s;

const TzkSecurityOptionSet FileOptions =
    TzkSecurityOptionSet::defaults().with(soSaveUsersInFile).with(soStorePassword);
const TzkSecurityOptionSet RegistryOptions =
    TzkSecurityOptionSet::defaults().without(soSaveUsersInFile).with(soStorePassword);

QByteArray templateBytes(TzkSecurityTemplate &tmpl)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    tmpl.SaveToStreamSecurity(buffer);
    return buffer.data();
}

QByteArrayList userNames(const TzkSecurityTemplate &tmpl)
{
    QByteArrayList names;
    for (int i = 0; i < tmpl.topLevelCount(); ++i)
        names << tmpl.topLevel(i)->text();
    return names;
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &data)
{
    QSaveFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    ASSERT_TRUE(file.commit());
}

int fileMode(const QString &name)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(name).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                     : -1;
}

// A store error: the fixed message first, then where the data came from.
void expectStoreError(const QString &message, const QString &fixed, const QString &source)
{
    EXPECT_TRUE(message.startsWith(fixed + u"\n(read from "_s)) << qPrintable(message);
    EXPECT_TRUE(message.contains(source)) << qPrintable(message);
}

// Files of the working directory named "<name>.unreadable-...".
QStringList asideFiles(const QString &name)
{
    return QDir::current().entryList({name + u".unreadable-*"_s}, QDir::Files, QDir::Name);
}

// Runs \a sql on the registry database directly: triggers make chosen writes fail.
void execOnRegistry(const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(
                  QFile::encodeName(rightsmith::toolkit::Registry::defaultPath()).constData(), &db),
              SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

void refuseWritesOf(const char *valueName)
{
    const QByteArray sql = QByteArrayLiteral("CREATE TRIGGER refuse_") + valueName
        + QByteArrayLiteral(" BEFORE INSERT ON \"values\" WHEN NEW.name = '") + valueName
        + QByteArrayLiteral("' BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    execOnRegistry(sql.constData());
}

void allowWritesOf(const char *valueName)
{
    const QByteArray sql = QByteArrayLiteral("DROP TRIGGER refuse_") + valueName;
    execOnRegistry(sql.constData());
}

// Drops the digests saves recorded for user template files: the store is then
// one that another program of this format wrote.
void forgetFileDigests()
{
    rightsmith::toolkit::Registry().deleteKey(u"\\Software\\Rightsmith\\UserTemplateFiles"_s);
}

class UserStore : public ::testing::Test
{
protected:
    void SetUp() override { demotemplate::build(m_securityTemplate); }

    std::unique_ptr<TzkSecurity> component(TzkSecurityOptionSet options) const
    {
        auto security = std::make_unique<TzkSecurity>();
        security->SetOptions(options);
        security->setUserTemplateRegistryKeyName(DemoKey);
        return security;
    }

    // A component holding \a users (each with password "pw-<name>", all rights
    // granted) and the recent names \a lastUsers.
    std::unique_ptr<TzkSecurity> withUsers(TzkSecurityOptionSet options,
                                           const QByteArrayList &users,
                                           const QByteArrayList &lastUsers = {})
    {
        auto security = component(options);
        for (const QByteArray &user : users) {
            security->UserTemplate()->AddUserToUserTemplate(
                &m_securityTemplate, user, zkCript::TCripter::Scramble("pw-" + user), true);
        }
        security->LastUsers() = lastUsers;
        return security;
    }

    std::unique_ptr<rightsmith::toolkit::Registry> key() const
    {
        auto registry = std::make_unique<rightsmith::toolkit::Registry>();
        EXPECT_TRUE(registry->openKey(DemoKey, false));
        return registry;
    }

    testsupport::TemporaryHome m_home;
    TzkSecurityTemplate m_securityTemplate;
    QStringList m_messages;
    testsupport::CapturedMessages m_captured {m_messages};
};

TEST_F(UserStore, FirstStartCreatesAnEmptyKeyAndReadsNothing)
{
    auto security = component(FileOptions);
    QByteArray password = "stale";
    EXPECT_FALSE(security->LoadUsers(password));
    EXPECT_TRUE(password.isEmpty());
    EXPECT_EQ(security->UserTemplate()->count(), 0);
    EXPECT_EQ(security->LastError(), seNone);

    auto registry = key();
    EXPECT_TRUE(registry->valueNames().isEmpty());
}

TEST_F(UserStore, FileModeWritesTheFileAndTheDescribingValues)
{
    auto security = withUsers(FileOptions, {"Supervisor", "Alice"}, {"Alice", "Supervisor"});
    const QByteArray scrambled = zkCript::TCripter::Scramble("pw-Alice");
    ASSERT_TRUE(security->SaveUsers(scrambled));

    const QByteArray file = readFile(u"UserTemplate"_s);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(file, templateBytes(*security->UserTemplate()));
    EXPECT_EQ(fileMode(u"UserTemplate"_s), 0600);

    auto registry = key();
    QStringList names = registry->valueNames();
    names.sort();
    EXPECT_EQ(names,
              (QStringList {u"LastUsers"_s, u"LastUsersSize"_s, u"Password"_s,
                            u"UserTemplateFileName"_s, u"UserTemplateSize"_s}));
    EXPECT_EQ(registry->readString(u"UserTemplateFileName"_s), bytes("UserTemplate"));
    EXPECT_EQ(registry->readInteger(u"UserTemplateSize"_s), qint32(file.size()));
    EXPECT_EQ(registry->valueType(u"LastUsers"_s), rightsmith::toolkit::Registry::Binary);
    EXPECT_EQ(registry->readBinary(u"LastUsers"_s), bytes("Alice\r\nSupervisor\r\n"));
    EXPECT_EQ(registry->readInteger(u"LastUsersSize"_s), 19);
    EXPECT_EQ(registry->readString(u"Password"_s), scrambled);

    auto next = component(FileOptions);
    QByteArray password;
    ASSERT_TRUE(next->LoadUsers(password));
    EXPECT_EQ(password, scrambled);
    EXPECT_EQ(templateBytes(*next->UserTemplate()), file);
    EXPECT_EQ(next->LastUsers(), (QList<QByteArray> {"Alice", "Supervisor"}));
}

TEST_F(UserStore, AnExistingFileBecomesPrivate)
{
    writeFile(u"UserTemplate"_s, "old");
    QFile::setPermissions(u"UserTemplate"_s,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                              | QFileDevice::ReadOther);
    ASSERT_EQ(fileMode(u"UserTemplate"_s), 0644);
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor"})->SaveUsers({}));
    EXPECT_EQ(fileMode(u"UserTemplate"_s), 0600);
}

TEST_F(UserStore, OneUserOverTheDemoTemplateIsAStreamOf32Nodes)
{
    auto security = component(FileOptions);
    security->UserTemplate()->AddUserToUserTemplate(&m_securityTemplate, "Supervisor", {}, true);
    ASSERT_TRUE(security->SaveUsers({}));

    const QByteArray file = readFile(u"UserTemplate"_s);
    ASSERT_GE(file.size(), 20);
    EXPECT_EQ(file.left(16), QByteArray::fromHex("01000000040000000000000000000000"));
    EXPECT_EQ(file.mid(16, 4), QByteArray::fromHex("20000000"));
    const QByteArray text = file.mid(20 + 32 * 180);
    EXPECT_TRUE(
        text.startsWith("Supervisor\r\n\tPassword(********)\r\n\tRights\r\n\t\tChild memo text"));
    EXPECT_EQ(text.count("\r\n"), 32);
}

TEST_F(UserStore, EmptyListAndEmptyPasswordRoundTrip)
{
    auto security = withUsers(FileOptions, {"Supervisor"});
    ASSERT_TRUE(security->SaveUsers({}));

    auto registry = key();
    EXPECT_EQ(registry->valueType(u"LastUsers"_s), rightsmith::toolkit::Registry::Binary);
    EXPECT_EQ(registry->valueSize(u"LastUsers"_s), 0);
    EXPECT_EQ(registry->readInteger(u"LastUsersSize"_s), 0);
    EXPECT_EQ(registry->valueType(u"Password"_s), rightsmith::toolkit::Registry::String);
    EXPECT_EQ(registry->readString(u"Password"_s), QByteArray());

    auto next = component(FileOptions);
    next->LastUsers() = {"Someone"};
    QByteArray password = "stale";
    ASSERT_TRUE(next->LoadUsers(password));
    EXPECT_TRUE(password.isEmpty());
    EXPECT_TRUE(next->LastUsers().isEmpty());
}

TEST_F(UserStore, RecentNamesAreSplitAsTemplateLines)
{
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor"})->SaveUsers({}));
    auto registry = key();

    const QByteArray text("A\r\nB\rC\nD\r\n\0E", 12);
    registry->writeBinary(u"LastUsers"_s, text);
    registry->writeInteger(u"LastUsersSize"_s, qint32(text.size()));
    auto security = component(FileOptions);
    QByteArray password;
    ASSERT_TRUE(security->LoadUsers(password));
    EXPECT_EQ(security->LastUsers(), (QList<QByteArray> {"A", "B", "C", "D"}));

    // Fewer bytes than announced: the list stays as it was.
    registry->writeInteger(u"LastUsersSize"_s, qint32(text.size() + 1));
    auto shorter = component(FileOptions);
    shorter->LastUsers() = {"Kept"};
    EXPECT_TRUE(shorter->LoadUsers(password));
    EXPECT_EQ(shorter->LastUsers(), (QList<QByteArray> {"Kept"}));

    // No size: false, but the user template is read.
    registry->deleteValue(u"LastUsersSize"_s);
    auto noSize = component(FileOptions);
    EXPECT_FALSE(noSize->LoadUsers(password));
    EXPECT_EQ(userNames(*noSize->UserTemplate()), (QByteArrayList {"Supervisor"}));
}

TEST_F(UserStore, FileOfAnotherLengthOrNoneIsNotRead)
{
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor", "Alice"})->SaveUsers({}));
    const QByteArray file = readFile(u"UserTemplate"_s);

    // One more byte is an extra line, no longer a stream as a save writes it.
    writeFile(u"UserTemplate"_s, file + "x");
    auto security = withUsers(FileOptions, {"Before"}, {"Before"});
    QByteArray password;
    EXPECT_FALSE(security->LoadUsers(password));
    EXPECT_TRUE(security->UsersUnreadable());
    EXPECT_EQ(userNames(*security->UserTemplate()), (QByteArrayList {"Before"}));
    EXPECT_EQ(security->LastUsers(), (QList<QByteArray> {"Before"}));

    QFile::remove(u"UserTemplate"_s);
    auto missing = component(FileOptions);
    EXPECT_FALSE(missing->LoadUsers(password));
    EXPECT_TRUE(missing->UsersUnreadable());

    // Without a digest, a size of zero lets the empty buffer through to the
    // stream reader.
    forgetFileDigests();
    key()->writeInteger(u"UserTemplateSize"_s, 0);
    try {
        component(FileOptions)->LoadUsers(password);
        FAIL() << "no error";
    } catch (const rightsmith::toolkit::Error &error) {
        expectStoreError(error.message(), u"Stream read error"_s,
                         QDir::current().absoluteFilePath(u"UserTemplate"_s));
    }
}

TEST_F(UserStore, HugeOrNegativeSizesAllocateNothing)
{
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor"})->SaveUsers({}));
    auto registry = key();
    const QByteArray stream = readFile(u"UserTemplate"_s);

#if !defined(__SANITIZE_ADDRESS__)
    // Room for the test, not for a buffer of two gigabytes.
    rlimit previous {};
    getrlimit(RLIMIT_AS, &previous);
    QFile statm(u"/proc/self/statm"_s);
    ASSERT_TRUE(statm.open(QIODevice::ReadOnly));
    const rlim_t used =
        statm.readAll().split(' ').value(0).toULongLong() * rlim_t(sysconf(_SC_PAGESIZE));
    rlimit limited = previous;
    limited.rlim_cur = used + (512u << 20);
    setrlimit(RLIMIT_AS, &limited);
    EXPECT_THROW(QByteArray(0x7FFFFFFF, 0), std::bad_alloc) << "the limit is not in force";
#endif

    // A file of another length than recorded is refused without reading a
    // byte more than it holds, be it the committed one or not.
    QByteArray password;
    registry->writeInteger(u"UserTemplateSize"_s, 0x7FFFFFFF);
    EXPECT_FALSE(component(FileOptions)->LoadUsers(password));
    writeFile(u"UserTemplate"_s, stream.left(stream.size() - 1));
    EXPECT_FALSE(component(FileOptions)->LoadUsers(password));
    registry->writeInteger(u"UserTemplateSize"_s, -1);
    EXPECT_FALSE(component(FileOptions)->LoadUsers(password));

    // In the registry a shorter value is read as if padded with zeros up to the
    // size: the stream still reads, its text ending at the first zero byte.
    registry->writeBinary(u"UserTemplate"_s, stream);
    registry->writeInteger(u"UserTemplateSize"_s, 0x7FFFFFFF);
    auto padded = component(RegistryOptions);
    const bool loaded = padded->LoadUsers(password);

#if !defined(__SANITIZE_ADDRESS__)
    setrlimit(RLIMIT_AS, &previous);
#endif
    EXPECT_TRUE(loaded);
    EXPECT_EQ(userNames(*padded->UserTemplate()), (QByteArrayList {"Supervisor"}));
}

TEST_F(UserStore, RegistryValueErrorsReachTheCaller)
{
    ASSERT_TRUE(withUsers(RegistryOptions, {"Supervisor"})->SaveUsers("pw"));
    auto registry = key();
    const QByteArray stream = *registry->readBinary(u"UserTemplate"_s);
    EXPECT_FALSE(registry->valueExists(u"UserTemplateFileName"_s));
    EXPECT_EQ(registry->readInteger(u"UserTemplateSize"_s), qint32(stream.size()));

    auto expectError = [this](const QString &message) {
        QByteArray password;
        try {
            component(RegistryOptions)->LoadUsers(password);
            ADD_FAILURE() << "no error, expected " << message.toStdString();
        } catch (const rightsmith::toolkit::Error &error) {
            expectStoreError(error.message(), message, DemoKey);
        }
    };

    registry->writeString(u"UserTemplate"_s, "text");
    expectError(u"Invalid data type for 'UserTemplate'"_s);
    registry->writeInteger(u"UserTemplate"_s, 7);
    expectError(u"Invalid data type for 'UserTemplate'"_s);
    registry->writeBinary(u"UserTemplate"_s, stream + "x");
    expectError(u"Invalid data type for 'UserTemplate'"_s);
    registry->deleteValue(u"UserTemplate"_s);
    expectError(u"Version mismatch. Cannot continue"_s);

    registry->writeBinary(u"UserTemplate"_s, stream);
    registry->writeString(u"LastUsers"_s, "A");
    expectError(u"Invalid data type for 'LastUsers'"_s);
    registry->writeBinary(u"LastUsers"_s, "Alice\r\n");
    expectError(u"Invalid data type for 'LastUsers'"_s); // longer than LastUsersSize 0

    // A shorter value reads with a zero tail.
    registry->writeBinary(u"LastUsers"_s, {});
    registry->writeInteger(u"UserTemplateSize"_s, qint32(stream.size() + 100));
    QByteArray password;
    EXPECT_TRUE(component(RegistryOptions)->LoadUsers(password));

    // A password of another type is ignored; a size of another type reads nothing.
    registry->writeInteger(u"Password"_s, 5);
    password = "stale";
    EXPECT_TRUE(component(RegistryOptions)->LoadUsers(password));
    EXPECT_TRUE(password.isEmpty());
    registry->writeString(u"Password"_s, "pw");
    registry->writeString(u"UserTemplateSize"_s, "1");
    auto security = component(RegistryOptions);
    EXPECT_FALSE(security->LoadUsers(password));
    EXPECT_TRUE(password.isEmpty());
    EXPECT_EQ(security->UserTemplate()->count(), 0);
}

TEST_F(UserStore, SwitchingOptionsLeavesEarlierValues)
{
    ASSERT_TRUE(withUsers(RegistryOptions, {"Supervisor"})->SaveUsers("old"));
    auto registry = key();
    const QByteArray inRegistry = *registry->readBinary(u"UserTemplate"_s);

    auto security = withUsers(FileOptions.without(soStorePassword), {"Supervisor", "Alice"});
    ASSERT_TRUE(security->SaveUsers("new"));
    EXPECT_EQ(registry->readBinary(u"UserTemplate"_s), inRegistry);
    EXPECT_EQ(registry->readString(u"Password"_s), bytes("old"));
    EXPECT_TRUE(QFile::exists(u"UserTemplate"_s));

    // Neither is read while the options do not ask for it.
    auto next = component(FileOptions.without(soStorePassword));
    QByteArray password;
    ASSERT_TRUE(next->LoadUsers(password));
    EXPECT_TRUE(password.isEmpty());
    EXPECT_EQ(userNames(*next->UserTemplate()), (QByteArrayList {"Supervisor", "Alice"}));
}

TEST_F(UserStore, FailedWritesEndTheSaveWhereTheyShould)
{
    // A file that cannot be created: the error reaches the caller, no size is written.
    auto security = withUsers(FileOptions, {"Supervisor"});
    security->setUserTemplateFileName(u"missing-dir/UserTemplate"_s);
    try {
        security->SaveUsers({});
        FAIL() << "no error";
    } catch (const rightsmith::toolkit::Error &error) {
        EXPECT_TRUE(error.message().startsWith(u"Cannot create file missing-dir/UserTemplate\n"_s))
            << qPrintable(error.message());
    }
    // The whole save was undone, the key it created included.
    EXPECT_FALSE(rightsmith::toolkit::Registry().keyExists(DemoKey));

    refuseWritesOf("LastUsers");
    refuseWritesOf("Password");
    EXPECT_TRUE(withUsers(RegistryOptions, {"Supervisor"})->SaveUsers("pw"));
    EXPECT_EQ(m_messages, QStringList());

    // From here on the list and the password could be written; a save that
    // ends early must not reach them.
    allowWritesOf("LastUsers");
    allowWritesOf("Password");
    refuseWritesOf("UserTemplateSize");
    // The message waits for the user: by then the save has let go of the
    // store, which other programs may write meanwhile.
    bool lockedDuringMessage = false;
    rightsmith::toolkit::MessageHook hook;
    hook = rightsmith::toolkit::setMessageHook(
        [&](rightsmith::toolkit::MessageKind kind, const QString &text) {
            try {
                rightsmith::toolkit::Registry other;
                other.beginTransaction(rightsmith::toolkit::Registry::WriteTransaction);
                other.rollback();
            } catch (const rightsmith::toolkit::Error &) {
                lockedDuringMessage = true;
            }
            return hook(kind, text);
        });
    EXPECT_FALSE(withUsers(RegistryOptions, {"Supervisor"}, {"Supervisor"})->SaveUsers("pw"));
    rightsmith::toolkit::setMessageHook(hook);
    EXPECT_FALSE(lockedDuringMessage);
    // Not in silence: the message names the store and the reason.
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages.first().startsWith(u"The users could not be saved: "_s));
    EXPECT_TRUE(m_messages.first().contains(u"refused"_s));
    EXPECT_TRUE(m_messages.first().contains(rightsmith::toolkit::Registry::defaultPath()));
    m_messages.clear();
    EXPECT_FALSE(key()->valueExists(u"LastUsers"_s));
    EXPECT_FALSE(key()->valueExists(u"LastUsersSize"_s));
    EXPECT_FALSE(key()->valueExists(u"Password"_s));

    refuseWritesOf("UserTemplate");
    allowWritesOf("UserTemplateSize");
    key()->deleteValue(u"UserTemplateSize"_s);
    EXPECT_FALSE(withUsers(RegistryOptions, {"Supervisor"}, {"Supervisor"})->SaveUsers("pw"));
    EXPECT_FALSE(key()->valueExists(u"UserTemplateSize"_s));
    EXPECT_FALSE(key()->valueExists(u"LastUsers"_s));
    EXPECT_FALSE(key()->valueExists(u"Password"_s));
    EXPECT_EQ(
        m_messages,
        QStringList {u"Error saving Users into Windows Registry. \t\rProbably you work with an "
                     u"older version of Windows that limits the size of binary block to be "
                     u"written to the registry. \t\r\t\rTo resolve this problem you may chose "
                     u"to save Users into a file, pointed by a registry entry. (set "
                     u"\"soSaveUsersInFile\" option to your TzkSecurity component and rebuild)"_s});
}

// LoadUsers that could not read a stored user template must not let the next
// SaveUsers overwrite it with a template that lacks its users.
TEST_F(UserStore, UnreadableFileIsKeptAsideBeforeTheNextSave)
{
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor", "Alice", "Bob"})->SaveUsers({}));
    const QByteArray stored = readFile(u"UserTemplate"_s);
    auto registry = key();

    // A cut file, then a damaged stream of the right size.
    const QList<std::function<void()>> damages {
        [&] { writeFile(u"UserTemplate"_s, stored.left(stored.size() - 1)); },
        [&] {
            QByteArray damaged = readFile(u"UserTemplate"_s);
            damaged[0] = 2;
            writeFile(u"UserTemplate"_s, damaged);
        },
    };
    int kept = 0;
    for (const auto &damage : damages) {
        damage();
        const QByteArray before = readFile(u"UserTemplate"_s);
        auto security = component(FileOptions);
        QByteArray password;
        try {
            EXPECT_FALSE(security->LoadUsers(password));
        } catch (const rightsmith::toolkit::Error &error) {
            expectStoreError(error.message(), u"Version mismatch. Cannot continue"_s,
                             QDir::current().absoluteFilePath(u"UserTemplate"_s));
        }
        EXPECT_TRUE(security->UsersUnreadable());
        EXPECT_EQ(security->UserTemplate()->count(), 0);
        security->UserTemplate()->AddUserToUserTemplate(&m_securityTemplate, "Supervisor", {},
                                                        true);
        ASSERT_TRUE(security->SaveUsers({}));

        // Within one second the second name takes a counter.
        const QStringList aside = asideFiles(u"UserTemplate"_s);
        ASSERT_EQ(aside.size(), ++kept);
        EXPECT_TRUE(aside.last().contains(
            QRegularExpression(u"^UserTemplate\\.unreadable-\\d{8}T\\d{6}(-\\d+)?$"_s)))
            << aside.last().toStdString();
        bool found = false;
        for (const QString &name : aside)
            found = found || readFile(name) == before;
        EXPECT_TRUE(found);

        auto next = component(FileOptions);
        ASSERT_TRUE(next->LoadUsers(password));
        EXPECT_EQ(userNames(*next->UserTemplate()), (QByteArrayList {"Supervisor"}));
    }

    // After a successful read nothing more is kept aside.
    auto security = component(FileOptions);
    QByteArray password;
    ASSERT_TRUE(security->LoadUsers(password));
    ASSERT_TRUE(security->SaveUsers({}));
    EXPECT_EQ(asideFiles(u"UserTemplate"_s).size(), kept);
}

TEST_F(UserStore, UnreadableValueIsKeptAsideBeforeTheNextSave)
{
    ASSERT_TRUE(withUsers(RegistryOptions, {"Supervisor", "Alice"})->SaveUsers({}));
    auto registry = key();
    const QByteArray longer = *registry->readBinary(u"UserTemplate"_s) + "tail";
    registry->writeBinary(u"UserTemplate"_s, longer);

    auto security = component(RegistryOptions);
    QByteArray password;
    EXPECT_THROW(security->LoadUsers(password), rightsmith::toolkit::Error);
    security->UserTemplate()->AddUserToUserTemplate(&m_securityTemplate, "Supervisor", {}, true);
    ASSERT_TRUE(security->SaveUsers({}));

    QStringList aside;
    for (const QString &name : registry->valueNames()) {
        if (name.startsWith(u"UserTemplate.unreadable-"_s))
            aside << name;
    }
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(registry->readBinary(aside.first()), longer);
    EXPECT_EQ(registry->readBinary(u"UserTemplate"_s), templateBytes(*security->UserTemplate()));
}

// Only the file the last save committed is loaded: any other file in its
// place, complete or not, of its length or not, is unreadable. A store
// without a digest (written by another program of this format) is held to
// the recorded size alone.
TEST_F(UserStore, OnlyTheCommittedFileIsLoaded)
{
    auto security = withUsers(FileOptions, {"Supervisor", "Alice"});
    ASSERT_TRUE(security->SaveUsers({}));
    const QByteArray committed = readFile(u"UserTemplate"_s);
    security->UserTemplate()->AddUserToUserTemplate(&m_securityTemplate, "Carol", "pw", false);
    const QByteArray longer = templateBytes(*security->UserTemplate());
    QByteArray sameLength = committed;
    sameLength.replace("Alice", "Mallo");

    const struct
    {
        const char *name;
        QByteArray file;
        bool digest;
        bool loads;
    } cases[] = {
        {"committed", committed, true, true},
        {"complete, another length", longer, true, false},
        {"complete, same length", sameLength, true, false},
        {"no digest, another length", longer, false, false},
        {"no digest, same length", sameLength, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(withUsers(FileOptions, {"Supervisor", "Alice"})->SaveUsers({}));
        writeFile(u"UserTemplate"_s, c.file);
        if (!c.digest)
            forgetFileDigests();
        auto restarted = component(FileOptions);
        QByteArray password;
        EXPECT_EQ(restarted->LoadUsers(password), c.loads);
        EXPECT_EQ(restarted->UsersUnreadable(), !c.loads);
        if (c.loads)
            EXPECT_EQ(templateBytes(*restarted->UserTemplate()), c.file);
        else
            EXPECT_EQ(restarted->UserTemplate()->count(), 0);
        EXPECT_EQ(readFile(u"UserTemplate"_s), c.file);
    }
}

// A file-mode save writes its file beside the old one, commits, then renames
// it into place. Stopped after the commit, it is completed by the next load;
// stopped before, its waiting file is not taken.
TEST_F(UserStore, ASaveStoppedAfterItsCommitIsCompletedByTheNextLoad)
{
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor"}, {"Supervisor"})->SaveUsers({}));
    const QByteArray older = readFile(u"UserTemplate"_s);
    ASSERT_TRUE(withUsers(FileOptions, {"Supervisor", "Alice"}, {"Alice"})->SaveUsers("pw"));
    const QByteArray newer = readFile(u"UserTemplate"_s);
    ASSERT_TRUE(QFile::rename(u"UserTemplate"_s, u"UserTemplate.saving"_s));
    writeFile(u"UserTemplate"_s, older);

    auto restarted = component(FileOptions);
    QByteArray password;
    ASSERT_TRUE(restarted->LoadUsers(password));
    EXPECT_EQ(userNames(*restarted->UserTemplate()), (QByteArrayList {"Supervisor", "Alice"}));
    EXPECT_EQ(restarted->LastUsers(), QList<QByteArray> {"Alice"});
    EXPECT_EQ(password, bytes("pw"));
    EXPECT_EQ(readFile(u"UserTemplate"_s), newer);
    EXPECT_FALSE(QFile::exists(u"UserTemplate.saving"_s));

    // A file left waiting by a save that never committed is not taken.
    writeFile(u"UserTemplate.saving"_s, older);
    ASSERT_TRUE(component(FileOptions)->LoadUsers(password));
    EXPECT_EQ(readFile(u"UserTemplate"_s), newer);

    // That file is gone once the committed one was found in place.
    EXPECT_FALSE(QFile::exists(u"UserTemplate.saving"_s));

    // Earlier versions recorded SHA-256 digests; a save they left is completed too.
    writeFile(u"UserTemplate"_s, older);
    writeFile(u"UserTemplate.saving"_s, newer);
    {
        rightsmith::toolkit::Registry registry;
        ASSERT_TRUE(registry.openKey(u"\\Software\\Rightsmith\\UserTemplateFiles"_s, false));
        registry.writeBinary(QDir::current().absoluteFilePath(u"UserTemplate"_s),
                             QCryptographicHash::hash(newer, QCryptographicHash::Sha256));
    }
    ASSERT_TRUE(component(FileOptions)->LoadUsers(password));
    EXPECT_EQ(readFile(u"UserTemplate"_s), newer);
    EXPECT_FALSE(QFile::exists(u"UserTemplate.saving"_s));
}

// An administrator puts a good copy back over a damaged value: the damaged
// one is kept aside in turn, and the store loads every user again.
TEST_F(UserStore, RestorePutsACopyBackAndKeepsWhatItReplaces)
{
    ASSERT_TRUE(withUsers(RegistryOptions, {"Supervisor", "Alice"})->SaveUsers({}));
    const QByteArray good = *key()->readBinary(u"UserTemplate"_s);
    key()->writeBinary(u"UserTemplate"_s, good.left(100));

    auto security = component(RegistryOptions);
    const QString kept = zkSecurity::UserStore::restore(security->StoreSettings(), good);
    EXPECT_TRUE(kept.startsWith(u"UserTemplate.unreadable-"_s)) << qPrintable(kept);
    EXPECT_EQ(key()->readBinary(kept), good.left(100));
    QByteArray password;
    ASSERT_TRUE(security->LoadUsers(password));
    EXPECT_EQ(userNames(*security->UserTemplate()), (QByteArrayList {"Supervisor", "Alice"}));
    EXPECT_EQ(zkSecurity::UserStore::keptAside(security->StoreSettings()), QStringList {kept});
}

// Start-up over a store that exists but cannot be read: one message naming
// the store and what is wrong, no "Supervisor" made up, nobody logged on, the
// application asked to end, and the unreadable data kept. A store never
// written still gets its "Supervisor".
TEST_F(UserStore, AnUnreadableStoreNeverBecomesAFreshSupervisor)
{
    const TzkSecurityOptionSet startOptions = FileOptions.with(soSilentLogonTry);
    // Each case has a home of its own; these follow it.
    QString database;
    QString file;
    auto saveTwoUsers = [this](TzkSecurityOptionSet options) {
        ASSERT_TRUE(withUsers(options, {"Supervisor", "Alice"}, {"Supervisor"})
                        ->SaveUsers(zkCript::TCripter::Scramble("pw-Supervisor")));
    };
    auto replaceDatabase = [&database](const QByteArray &content) {
        QFile::remove(database + u"-wal"_s);
        QFile::remove(database + u"-shm"_s);
        writeFile(database, content);
    };
    auto foreignDatabase = [&database]() {
        QFile::remove(database);
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(database).constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text)", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    };
    const struct
    {
        const char *name;
        TzkSecurityOptionSet options;
        std::function<void()> damage;
        QString problem; // in the message; empty: a first start
        bool keptFile; // a copy expected beside the user template file
    } cases[] = {
        {"never written", startOptions, [] {}, {}, false},
        {"cut file", startOptions, [&] { writeFile(file, readFile(file).chopped(7)); },
         u"not the one its last save stored"_s, true},
        {"file missing", startOptions, [&] { QFile::remove(file); },
         u"the user template file is missing"_s, false},
        {"size of another type", startOptions,
         [this] { key()->writeString(u"UserTemplateSize"_s, "5800"); },
         u"is not a 32-bit integer"_s, true},
        {"no size beside a file", startOptions,
         [this] { key()->deleteValue(u"UserTemplateSize"_s); }, u"is missing, but"_s, true},
        {"garbage database", startOptions, [&] { replaceDatabase(QByteArray(4096, 'x')); },
         u"file is not a database"_s, true},
        {"foreign database", startOptions, foreignDatabase, u"another program"_s, true},
        {"registry value cut", startOptions.without(soSaveUsersInFile),
         [this] {
             auto registry = key();
             registry->writeBinary(u"UserTemplate"_s,
                                   registry->readBinary(u"UserTemplate"_s)->left(300));
         },
         u"Invalid index"_s, false},
    };

    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TemporaryHome home;
        database = rightsmith::toolkit::Registry::defaultPath();
        file = QDir::current().absoluteFilePath(u"UserTemplate"_s);
        if (!c.problem.isEmpty()) {
            saveTwoUsers(c.options);
            c.damage();
        }
        const QByteArray databaseBefore = readFile(database);
        const QByteArray fileBefore = readFile(file);
        m_messages.clear();
        rightsmith::toolkit::clearTermination();

        for (int start = 0; start < 2; ++start) {
            testsupport::FakeForm form;
            auto *security = new TzkSecurity(&form);
            security->SetOptions(c.options);
            security->setUserTemplateRegistryKeyName(DemoKey);
            QString thrown;
            try {
                security->Loaded();
            } catch (const rightsmith::toolkit::Error &error) {
                thrown = error.message();
            }
            if (c.problem.isEmpty()) {
                EXPECT_TRUE(security->IsSupervisor());
                EXPECT_TRUE(m_messages.isEmpty());
                break;
            }
            // The fixed message of a damaged stream still ends the start-up;
            // every other case is told in a message of its own.
            const QString told = thrown.isEmpty() ? m_messages.value(start) : thrown;
            EXPECT_TRUE(told.contains(c.problem)) << qPrintable(told);
            EXPECT_TRUE(told.contains(database)) << qPrintable(told);
            EXPECT_FALSE(security->LoggedOn());
            EXPECT_EQ(security->UserTemplate()->count(), 0);
            EXPECT_EQ(rightsmith::toolkit::terminationRequested(), thrown.isEmpty());
            rightsmith::toolkit::clearTermination();
        }
        if (c.problem.isEmpty())
            continue;
        // Both starts left the store as it was; one copy was kept, however
        // often it starts. A database that is not ours is not touched at all.
        if (c.problem.contains(u"database"_s) || c.problem.contains(u"another program"_s)) {
            EXPECT_EQ(readFile(database), databaseBefore);
            // The way out is named: the restore that moves it aside.
            EXPECT_TRUE(m_messages.value(0).contains(
                u"rightsmith-users --key '%1' --file '%2' restore\n"_s.arg(DemoKey, file)))
                << qPrintable(m_messages.value(0));
        }
        EXPECT_EQ(readFile(file), fileBefore);
        const QStringList kept = asideFiles(u"UserTemplate"_s);
        EXPECT_EQ(kept.size(), c.keptFile ? 1 : 0);
        if (!kept.isEmpty()) {
            EXPECT_EQ(readFile(kept.first()), fileBefore);
        }
    }
}

// The message of an unreadable store names the rightsmith-users command for
// that very store; run as written, it finds the same damage.
TEST_F(UserStore, TheUnreadableMessageNamesTheCommandForThisStore)
{
    const struct
    {
        const char *name;
        TzkSecurityOptionSet options;
        QString key;
        QString arguments; // of the command, before "verify"
    } cases[] = {
        {"value", RegistryOptions, DemoKey, u"--key '%1'"_s.arg(DemoKey)},
        {"file", FileOptions, DemoKey, u"--key '%1' --file '%2'"_s.arg(DemoKey)},
        {"quote in the key", RegistryOptions, u"\\Software\\O'Brien\\UserTemplate"_s,
         u"--key '\\Software\\O'\\''Brien\\UserTemplate'"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TemporaryHome home;
        const QString file = QDir::current().absoluteFilePath(u"UserTemplate"_s);
        auto saved = withUsers(c.options, {"Supervisor", "Alice"});
        saved->setUserTemplateRegistryKeyName(c.key);
        ASSERT_TRUE(saved->SaveUsers({}));
        if (c.options.contains(soSaveUsersInFile)) {
            writeFile(file, readFile(file).chopped(7));
        } else {
            rightsmith::toolkit::Registry registry;
            ASSERT_TRUE(registry.openKey(c.key, false));
            registry.writeString(u"UserTemplateSize"_s, "5800");
        }

        m_messages.clear();
        testsupport::FakeForm form;
        auto *security = new TzkSecurity(&form);
        security->SetOptions(c.options.with(soSilentLogonTry));
        security->setUserTemplateRegistryKeyName(c.key);
        try {
            security->Loaded();
        } catch (const rightsmith::toolkit::Error &) {
        }
        rightsmith::toolkit::clearTermination();
        ASSERT_FALSE(m_messages.isEmpty());
        const QString arguments =
            c.options.contains(soSaveUsersInFile) ? c.arguments.arg(file) : c.arguments;
        const QString verify = u"rightsmith-users "_s + arguments + u" verify"_s;
        EXPECT_TRUE(m_messages.last().contains(u"\n"_s + verify + u"\n"_s))
            << qPrintable(m_messages.last());
        for (const char *command : {" backups\n", " restore --backup N\n", " restore COPY"})
            EXPECT_TRUE(m_messages.last().contains(u"rightsmith-users "_s + arguments
                                                   + QLatin1StringView(command)))
                << command;

        // The command as the administrator would paste it into a shell.
        // The tool finds the registry where this test's store keeps it.
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(
            u"XDG_CONFIG_HOME"_s,
            QFileInfo(rightsmith::toolkit::Registry::defaultPath()).dir().absolutePath()
                + u"/.."_s);
        shell.setProcessEnvironment(environment);
        shell.setProcessChannelMode(QProcess::MergedChannels);
        shell.start(u"sh"_s,
                    {u"-c"_s, u"\"$0\" "_s + arguments + u" verify"_s,
                     QStringLiteral(RIGHTSMITH_USERS_TOOL)});
        ASSERT_TRUE(shell.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(shell.readAll());
        EXPECT_TRUE(said.contains(u"unreadable"_s)) << qPrintable(said);
        EXPECT_NE(shell.exitCode(), 0) << qPrintable(said);
    }
}

// A save finds out whether the user template must be written: not when the
// tree is unchanged since this store read or wrote it and still stands in the
// store. To tell, the stored template is swapped behind the store's back for
// other bytes of the same size: a save that writes puts its own bytes back.
class UnchangedUserTemplate : public UserStore, public ::testing::WithParamInterface<bool>
{
protected:
    bool inFile() const { return GetParam(); }
    QByteArray stored() const
    {
        return inFile() ? readFile(u"UserTemplate"_s)
                        : key()->readBinary(u"UserTemplate"_s).value_or(QByteArray());
    }
    void replaceStored(const QByteArray &data)
    {
        if (inFile()) {
            writeFile(u"UserTemplate"_s, data);
        } else {
            rightsmith::toolkit::Registry registry;
            ASSERT_TRUE(registry.openKey(DemoKey, false));
            registry.writeBinary(u"UserTemplate"_s, data);
        }
    }
    // The stored template with its last byte changed: same size, other bytes.
    QByteArray swapped()
    {
        QByteArray data = stored();
        data[data.size() - 1] = 'X';
        replaceStored(data);
        return data;
    }
};

TEST_P(UnchangedUserTemplate, IsNotWrittenAgainUntilSomethingChanged)
{
    const TzkSecurityOptionSet options = inFile() ? FileOptions : RegistryOptions;
    auto security = withUsers(options, {"Supervisor", "Alice"});
    ASSERT_TRUE(security->SaveUsers({}));

    // Unchanged after its own save: only the recent users are written.
    QByteArray other = swapped();
    security->LastUsers() = {"Alice"};
    ASSERT_TRUE(security->SaveUsers({}));
    EXPECT_EQ(stored(), other);
    EXPECT_EQ(key()->readBinary(u"LastUsers"_s), bytes("Alice\r\n"));

    // Any change of the tree writes it.
    security->UserTemplate()->topLevel(1)->setText("Alicia");
    ASSERT_TRUE(security->SaveUsers({}));
    EXPECT_NE(stored(), other);
    EXPECT_EQ(stored(), templateBytes(*security->UserTemplate()));

    // Gone from the store, or of another size: written again though unchanged.
    replaceStored("short");
    ASSERT_TRUE(security->SaveUsers({}));
    EXPECT_EQ(stored(), templateBytes(*security->UserTemplate()));

    // Read by another component: unchanged, and stored as a save writes it.
    auto next = component(options);
    QByteArray password;
    ASSERT_TRUE(next->LoadUsers(password));
    other = swapped();
    ASSERT_TRUE(next->SaveUsers({}));
    EXPECT_EQ(stored(), other);
}

TEST_P(UnchangedUserTemplate, ReadInAnotherLayoutIsWrittenAsASaveWritesIt)
{
    auto security = withUsers(inFile() ? FileOptions : RegistryOptions, {"Supervisor"});
    ASSERT_TRUE(security->SaveUsers({}));
    // Spaces indent as TABs do when read; a save writes TABs. Another program
    // wrote the spaces (a file of ours would have to match its digest).
    QByteArray spaced = stored();
    spaced.replace("\r\n\t", "\r\n ");
    replaceStored(spaced);
    forgetFileDigests();
    auto next = component(inFile() ? FileOptions : RegistryOptions);
    QByteArray password;
    ASSERT_TRUE(next->LoadUsers(password));
    ASSERT_TRUE(next->SaveUsers({}));
    EXPECT_EQ(stored(), templateBytes(*next->UserTemplate()));
    EXPECT_NE(stored(), spaced);
}

INSTANTIATE_TEST_SUITE_P(FileAndRegistry, UnchangedUserTemplate, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "File" : "Registry"; });

// Every save keeps the user template it replaces when it read it back good:
// in a table of the registry database, or linked into "UserTemplate.backups";
// the store's key keeps exactly its values.
class Backups : public UserStore, public ::testing::WithParamInterface<bool>
{
};

TEST_P(Backups, FourSavesKeepThreeNewestFirstAndEachCanBePutBack)
{
    const bool inFile = GetParam();
    const TzkSecurityOptionSet options = inFile ? FileOptions : RegistryOptions;
    ASSERT_TRUE(withUsers(options, {"Supervisor"})->SaveUsers({}));
    auto security = component(options);
    QByteArray password;
    ASSERT_TRUE(security->LoadUsers(password));
    const QStringList values = key()->valueNames();

    UserStoreSettings settings;
    settings.key = DemoKey;
    settings.inFile = inFile;
    settings.fileName = u"UserTemplate"_s;
    const auto current = [&] {
        return inFile ? readFile(u"UserTemplate"_s)
                      : key()->readBinary(u"UserTemplate"_s).value_or(QByteArray());
    };
    const auto damage = [&](int number) {
        if (!inFile) {
            execOnRegistry(QByteArray("UPDATE user_template_backups SET template = "
                                      "zeroblob(length(template)) WHERE id = (SELECT id FROM "
                                      "user_template_backups ORDER BY id DESC LIMIT 1 OFFSET ")
                               .append(QByteArray::number(number - 1))
                               .append(")")
                               .constData());
            return;
        }
        const QDir folder(u"UserTemplate.backups"_s);
        QFile file(folder.filePath(
            folder.entryList(QDir::Files, QDir::Name | QDir::Reversed).value(number - 1)));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write("\x7f");
    };
    testsupport::expectBackupRotation(
        settings, 1,
        [&](const QByteArray &name) {
            security->UserTemplate()->AddUserToUserTemplate(&m_securityTemplate, name, {}, true);
            ASSERT_TRUE(security->SaveUsers({}));
        },
        current, damage);
    EXPECT_EQ(key()->valueNames(), values);
}

// Where this SQLite zeroes what is deleted, a user template that leaves the
// registry database leaves nothing behind: after four changed saves of a
// template of many pages, the bytes of the one whose backup was dropped are
// nowhere in the file, while those of a kept backup are.
TEST_F(UserStore, ADroppedBackupLeavesNothingInTheDatabase)
{
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        sqlite3_stmt *pragma = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA secure_delete", -1, &pragma, nullptr);
        const bool zeroes = sqlite3_step(pragma) == SQLITE_ROW && sqlite3_column_int(pragma, 0);
        sqlite3_finalize(pragma);
        sqlite3_close(db);
        if (!zeroes)
            GTEST_SKIP() << "this SQLite leaves deleted content in free pages";
    }
    QByteArrayList users;
    for (int i = 0; i < 40; ++i)
        users << "User" + QByteArray::number(i);
    users << "Marker0";
    ASSERT_TRUE(withUsers(RegistryOptions, users)->SaveUsers({}));
    auto security = component(RegistryOptions);
    QByteArray password;
    ASSERT_TRUE(security->LoadUsers(password));
    for (int save = 1; save <= 4; ++save) {
        security->UserTemplate()
            ->GetUserNodeByUserName("Marker" + QByteArray::number(save - 1))
            ->setText("Marker" + QByteArray::number(save));
        ASSERT_TRUE(security->SaveUsers({}));
    }
    const QString database = rightsmith::toolkit::Registry::defaultPath();
    const QByteArray file = readFile(database) + readFile(database + u"-wal"_s);
    EXPECT_GT(file.size(), 4 * 64 * 1024) << "a template of many pages";
    EXPECT_FALSE(file.contains("Marker0"));
    EXPECT_TRUE(file.contains("Marker1"));
}

INSTANTIATE_TEST_SUITE_P(FileAndRegistry, Backups, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "File" : "Registry"; });

// A registry database that is no database, or whose tables are gone, is
// reported as damaged and moved aside whole: nothing in it is lost, and the
// store works again in a new one.
TEST_F(UserStore, ADamagedDatabaseIsMovedAsideWholeAndMadeAnew)
{
    const struct
    {
        const char *name;
        std::function<void()> damage;
    } cases[] = {
        {"not a database",
         [] {
             writeFile(rightsmith::toolkit::Registry::defaultPath(), QByteArray(8192, 'j'));
         }},
        {"values dropped",
         [] {
             execOnRegistry("DROP TABLE \"values\"");
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TemporaryHome home;
        ASSERT_TRUE(withUsers(RegistryOptions, {"Supervisor", "Alice"})->SaveUsers({}));
        c.damage();
        const QString database = rightsmith::toolkit::Registry::defaultPath();
        QFile::remove(database + u"-wal"_s);
        QFile::remove(database + u"-shm"_s);
        const QByteArray junk = readFile(database);

        UserStoreSettings settings;
        settings.key = DemoKey;
        settings.inFile = false;
        zkSecurity::UserStore store(rightsmith::toolkit::Registry::ReadOnly);
        TzkSecurityTemplate users;
        QList<QByteArray> lastUsers;
        QByteArray password;
        EXPECT_FALSE(store.load(settings, users, lastUsers, password));
        EXPECT_EQ(store.state(), zkSecurity::UserStore::State::Unreadable);
        EXPECT_TRUE(store.databaseDamaged());
        EXPECT_TRUE(store.problem().contains(u"is damaged"_s)) << qPrintable(store.problem());
        EXPECT_EQ(readFile(database), junk);

        const QString kept = zkSecurity::UserStore::setDamagedDatabaseAside(settings);
        EXPECT_TRUE(kept.startsWith(database + u".damaged-"_s)) << qPrintable(kept);
        EXPECT_EQ(readFile(kept), junk);
        EXPECT_FALSE(QFileInfo::exists(database));
        EXPECT_EQ(zkSecurity::UserStore::setDamagedDatabaseAside(settings), QString());
        ASSERT_TRUE(withUsers(RegistryOptions, {"Supervisor"})->SaveUsers({}));
        EXPECT_TRUE(rightsmith::toolkit::Registry::damage(database).isEmpty());
    }
}

// The store reports what a save did and shows nothing: its caller decides.
TEST_F(UserStore, TrySaveReportsARefusedSaveAndShowsNothing)
{
    const auto withUser = [this](TzkSecurityTemplate &users, const QByteArray &name) {
        users.AddUserToUserTemplate(&m_securityTemplate, name, zkCript::TCripter::Scramble("pw"),
                                    true);
    };
    for (const bool inFile : {true, false}) {
        SCOPED_TRACE(inFile ? "file" : "value");
        UserStoreSettings settings;
        settings.key = DemoKey + (inFile ? u"File"_s : u"Value"_s);
        settings.fileName = m_home.filePath(u"Users"_s);
        settings.inFile = inFile;
        TzkSecurityTemplate read;
        TzkSecurityTemplate other;
        QList<QByteArray> lastUsers;
        QByteArray password;
        zkSecurity::UserStore reader;
        zkSecurity::UserStore writer;
        reader.load(settings, read, lastUsers, password);
        withUser(other, "Bob");
        ASSERT_TRUE(writer.trySave(settings, other, {}, {}).saved());

        withUser(read, "Alice");
        const zkSecurity::UserStore::SaveResult refused = reader.trySave(settings, read, {}, {});
        EXPECT_FALSE(refused.saved());
        EXPECT_EQ(refused.problem, zkSecurity::UserStore::SaveResult::Problem::ChangedElsewhere);
        EXPECT_EQ(refused.message,
                  u"The users were changed by another program since this dialog was opened; your "
                  u"changes were not saved. Open the dialog again to see the current users."_s);
        EXPECT_TRUE(reader.changedElsewhere());
    }

    UserStoreSettings unopenable;
    unopenable.key = DemoKey;
    unopenable.inFile = false;
    unopenable.databasePath = m_home.path(); // a folder, not a database
    TzkSecurityTemplate users;
    withUser(users, "Alice");
    const zkSecurity::UserStore::SaveResult failed =
        zkSecurity::UserStore().trySave(unopenable, users, {}, {});
    EXPECT_EQ(failed.problem, zkSecurity::UserStore::SaveResult::Problem::NotWritten);
    EXPECT_TRUE(failed.message.startsWith(u"The users could not be saved: "_s))
        << failed.message.toStdString();
    EXPECT_TRUE(failed.message.contains(zkSecurity::UserStore::location(unopenable)));

    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'\n').toStdString();
}

// Reading only the user names decides as a full load does: the same names,
// result and state, and the same error on a damaged user template.
TEST_F(UserStore, NamesAreReadAsALoadReadsTheUsers)
{
    for (const bool inFile : {false, true}) {
        SCOPED_TRACE(inFile ? "file" : "registry");
        const TzkSecurityOptionSet options = inFile ? FileOptions : RegistryOptions;
        auto security = withUsers(options, {"Supervisor", "Alice", "Bob"});
        ASSERT_TRUE(security->SaveUsers({}));
        const QByteArray stream = templateBytes(*security->UserTemplate());
        UserStoreSettings settings;
        settings.key = DemoKey;
        settings.inFile = inFile;
        settings.fileName = u"UserTemplate"_s;
        QByteArray tooDeep = stream;
        tooDeep.replace("\r\nAlice", "\r\n\t\tAlice");
        // Intact, damaged in its lines, with a record naming no node, and
        // not the size the store says.
        for (const QByteArray &stored :
             {stream, tooDeep, stream.left(68) + QByteArray(4, '\x7f') + stream.mid(72),
              stream + "x"}) {
            if (inFile) {
                writeFile(u"UserTemplate"_s, stored);
                forgetFileDigests();
            } else {
                key()->writeBinary(u"UserTemplate"_s, stored);
            }
            const auto outcome = [&](bool namesOnly) {
                zkSecurity::UserStore store(rightsmith::toolkit::Registry::ReadOnly);
                TzkSecurityTemplate users;
                QList<QByteArray> names, lastUsers;
                QByteArray password;
                QString result;
                try {
                    const bool read = namesOnly ? store.loadUserNames(settings, names)
                                                : store.load(settings, users, lastUsers, password);
                    result = u"%1 %2 %3"_s.arg(read).arg(int(store.state())).arg(store.problem());
                } catch (const rightsmith::toolkit::Error &error) {
                    result = error.message();
                }
                return std::pair {result, namesOnly ? names : userNames(users)};
            };
            const auto expected = outcome(false);
            EXPECT_EQ(outcome(true), expected);
            EXPECT_EQ(expected.second.isEmpty(), stored != stream) << qPrintable(expected.first);
        }
    }
}

} // namespace
