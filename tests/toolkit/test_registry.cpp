// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

namespace {

const QString DemoKey =
    u"\\Software\\Tenvarro\\RightsmithDemo\\CurrentVersion\\SecurityObject\\UserTemplate"_s;

/// Runs \a statements on the database file directly, the way a damaged or
/// foreign file would have been written.
void runSql(const QString &path, const char *statements)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, statements, nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

/// The first column of the first row of \a query, as text.
QString queryText(const QString &path, const char *query)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    QString result = u"<no row>"_s;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_prepare_v2(db, query, -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        result =
            QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_text16(statement, 0)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

/// The message of the rightsmith::toolkit::Error that \a call throws, or a note that it threw none.
QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const rightsmith::toolkit::Error &error) {
        return error.message();
    }
    return u"<no rightsmith::toolkit::Error>"_s;
}

constexpr int WritesPerWriter = 40;

/// Writes WritesPerWriter values to the registry named by \a spec
/// ("<writer id>:<path>"), each through a fresh object, while others do the same.
void writeConcurrently(const QString &spec)
{
    const QString id = spec.section(u':', 0, 0);
    const QString path = spec.section(u':', 1);
    for (int i = 0; i < WritesPerWriter; ++i) {
        Registry registry(path);
        if (!registry.openKey(u"\\Writers\\"_s + id, true))
            throw rightsmith::toolkit::Error(u"cannot open the writer's key"_s);
        registry.writeInteger(u"Value%1"_s.arg(i), i);
        registry.openKey(u"\\Shared"_s, true);
        registry.writeBinary(u"Last"_s, QByteArray(1000, char('a' + i % 26)));
    }
}

// A test that needs several processes runs this same program as a writer: the
// writer does its work before main() and exits with its outcome.
const bool writerProcess = [] {
    const QByteArray spec = qgetenv("RIGHTSMITH_REGISTRY_WRITER");
    if (spec.isEmpty())
        return false;
    try {
        writeConcurrently(QFile::decodeName(spec));
    } catch (const rightsmith::toolkit::Error &error) {
        fprintf(stderr, "%s\n", error.what());
        std::_Exit(1);
    }
    std::_Exit(0);
}();

mode_t modeOf(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return mode_t(-1);
    return st.st_mode & 07777;
}

// Follows XDG_CONFIG_HOME as a program does: out of QStandardPaths' test mode.
class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override { QStandardPaths::setTestModeEnabled(false); }
    void TearDown() override { QStandardPaths::setTestModeEnabled(true); }
    testsupport::TemporaryHome home;
    // A file beside the registry's default database.
    QString configPath(const QString &name) const
    {
        return QFileInfo(Registry::defaultPath()).absolutePath() + u'/' + name;
    }
};

// --- location -------------------------------------------------------------

TEST_F(RegistryTest, DefaultPathIsTheStandardConfigLocationAtEachConstruction)
{
    // In test mode Qt keeps it apart from the user's own.
    QStandardPaths::setTestModeEnabled(true);
    EXPECT_EQ(Registry::defaultPath(),
              home.filePath(u".qttest/config/rightsmith/registry.sqlite3"_s));
    QStandardPaths::setTestModeEnabled(false);
    {
        Registry registry;
        EXPECT_EQ(registry.path(), home.filePath(u"config/rightsmith/registry.sqlite3"_s));
        EXPECT_TRUE(QFileInfo::exists(registry.path()));
    }

    const QString other = home.filePath(u"other"_s);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(other));
    {
        Registry registry;
        EXPECT_EQ(registry.path(), other + u"/rightsmith/registry.sqlite3"_s);
        EXPECT_TRUE(QFileInfo::exists(registry.path()));
    }

    // Unset, empty and relative all fall back to $HOME/.config.
    const QString fallback = home.filePath(u".config/rightsmith/registry.sqlite3"_s);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Registry::defaultPath(), fallback);
    qputenv("XDG_CONFIG_HOME", QByteArray());
    EXPECT_EQ(Registry::defaultPath(), fallback);
    qputenv("XDG_CONFIG_HOME", QByteArrayLiteral("relative/config"));
    EXPECT_EQ(Registry().path(), fallback);
}

// --- keys -----------------------------------------------------------------

TEST_F(RegistryTest, KeysAreFoundByPathIgnoringCase)
{
    Registry registry;
    EXPECT_FALSE(registry.openKey(DemoKey, false));
    EXPECT_FALSE(registry.keyExists(DemoKey)) << "a failed open must not create the key";
    EXPECT_EQ(registry.currentKey(), QString());

    ASSERT_TRUE(registry.openKey(DemoKey, true));
    EXPECT_EQ(registry.currentKey(), DemoKey.mid(1));
    EXPECT_TRUE(registry.keyExists(DemoKey.toUpper()));
    EXPECT_TRUE(registry.keyExists(u"\\software\\TENVARRO"_s));

    // Another case opens the same key and reports the case it was created with.
    ASSERT_TRUE(registry.openKey(u"\\SOFTWARE\\tenvarro\\rightsmithdemo"_s, true));
    EXPECT_EQ(registry.currentKey(), u"Software\\Tenvarro\\RightsmithDemo"_s);
    EXPECT_EQ(registry.subKeys(u"\\Software"_s), QStringList {u"Tenvarro"_s});

    // A failed open leaves the open key as it was.
    EXPECT_FALSE(registry.openKey(u"\\Software\\Missing"_s, false));
    EXPECT_EQ(registry.currentKey(), u"Software\\Tenvarro\\RightsmithDemo"_s);
}

TEST_F(RegistryTest, RelativePathsStartAtTheOpenKey)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(u"\\A"_s, true));
    ASSERT_TRUE(registry.openKey(u"B\\C"_s, true));
    EXPECT_EQ(registry.currentKey(), u"A\\B\\C"_s);
    EXPECT_TRUE(registry.keyExists(u"\\A\\B\\C"_s));
    EXPECT_FALSE(registry.keyExists(u"\\B"_s));

    // Empty segments are ignored; "\" alone is the root.
    ASSERT_TRUE(registry.openKey(u"\\\\a\\\\b\\"_s, false));
    EXPECT_EQ(registry.currentKey(), u"A\\B"_s);
    ASSERT_TRUE(registry.openKey(u"\\"_s, false));
    EXPECT_EQ(registry.currentKey(), QString());

    // With no key open, a relative path starts at the root.
    ASSERT_TRUE(registry.openKey(u"A"_s, false));
    registry.closeKey();
    EXPECT_TRUE(registry.keyExists(u"A\\B"_s));
    EXPECT_FALSE(registry.keyExists(u"B"_s));
}

TEST_F(RegistryTest, SubKeysListsDirectChildrenSorted)
{
    Registry registry;
    for (const QString &path : {u"\\P\\beta\\x"_s, u"\\P\\Alpha"_s, u"\\P\\gamma"_s})
        ASSERT_TRUE(registry.openKey(path, true));
    EXPECT_EQ(registry.subKeys(u"\\p"_s), (QStringList {u"Alpha"_s, u"beta"_s, u"gamma"_s}));
    EXPECT_TRUE(registry.subKeys(u"\\P\\Alpha"_s).isEmpty());
    EXPECT_TRUE(registry.subKeys(u"\\Nowhere"_s).isEmpty());
}

// --- values ---------------------------------------------------------------

TEST_F(RegistryTest, EachValueTypeRoundTrips)
{
    const QByteArray binary("\0\x01\xff\0zero\0", 9);
    {
        Registry registry;
        ASSERT_TRUE(registry.openKey(DemoKey, true));
        registry.writeBinary(u"Binary"_s, binary);
        registry.writeBinary(u"Empty"_s, QByteArray());
        registry.writeInteger(u"Negative"_s, -123456);
        registry.writeInteger(u"Min"_s, std::numeric_limits<qint32>::min());
        registry.writeInteger(u"Max"_s, std::numeric_limits<qint32>::max());
        registry.writeString(u"String"_s, QByteArrayLiteral("Supervisor \xe9"));
        registry.writeString(u"EmptyString"_s, QByteArray());
    }

    // Read back through a new object: nothing is cached in memory.
    Registry registry;
    ASSERT_TRUE(registry.openKey(DemoKey, false));
    EXPECT_EQ(registry.readBinary(u"Binary"_s), binary);
    // Read in pieces, from any position, as from the whole value.
    for (const QString &name : {u"Binary"_s, u"Empty"_s}) {
        const std::unique_ptr<QIODevice> reader = registry.binaryReader(name);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->size(), registry.valueSize(name));
        EXPECT_EQ(reader->read(4) + reader->readAll(), registry.readBinary(name));
        EXPECT_TRUE(reader->seek(reader->size() / 2));
        EXPECT_EQ(reader->readAll(), registry.readBinary(name)->mid(reader->size() / 2));
    }
    ASSERT_TRUE(registry.readBinary(u"Empty"_s).has_value());
    EXPECT_TRUE(registry.readBinary(u"Empty"_s)->isEmpty());
    EXPECT_EQ(registry.readInteger(u"Negative"_s), -123456);
    EXPECT_EQ(registry.readInteger(u"Min"_s), std::numeric_limits<qint32>::min());
    EXPECT_EQ(registry.readInteger(u"Max"_s), std::numeric_limits<qint32>::max());
    EXPECT_EQ(registry.readString(u"String"_s), QByteArrayLiteral("Supervisor \xe9"));
    ASSERT_TRUE(registry.readString(u"EmptyString"_s).has_value());
    EXPECT_TRUE(registry.readString(u"EmptyString"_s)->isEmpty());

    EXPECT_EQ(registry.valueType(u"Binary"_s), Registry::Binary);
    EXPECT_EQ(registry.valueType(u"Empty"_s), Registry::Binary);
    EXPECT_EQ(registry.valueType(u"Min"_s), Registry::Integer);
    EXPECT_EQ(registry.valueType(u"String"_s), Registry::String);
    EXPECT_EQ(registry.valueSize(u"Binary"_s), 9);
    EXPECT_EQ(registry.valueSize(u"Empty"_s), 0);
    EXPECT_EQ(registry.valueSize(u"Negative"_s), 4);
    EXPECT_EQ(registry.valueSize(u"String"_s), 13) << "12 bytes and the terminating zero";
    EXPECT_EQ(registry.valueSize(u"EmptyString"_s), 1);
    EXPECT_EQ(registry.valueNames(),
              (QStringList {u"Binary"_s, u"Empty"_s, u"Negative"_s, u"Min"_s, u"Max"_s, u"String"_s,
                            u"EmptyString"_s}));
}

TEST_F(RegistryTest, StringsEndAtTheirFirstZeroByte)
{
    Registry registry;
    registry.writeString(u"Password"_s, QByteArray("ab\0cd", 5));
    EXPECT_EQ(registry.readString(u"Password"_s), QByteArrayLiteral("ab"));
    EXPECT_EQ(registry.valueSize(u"Password"_s), 3);
    EXPECT_EQ(queryText(registry.path(), "SELECT length(data) FROM \"values\""), u"2"_s)
        << "the tail after the zero byte must not be stored";
}

TEST_F(RegistryTest, StoredPayloadsKeepTheirSqlType)
{
    // Other tools read the file: the type column and the payload's SQL type agree.
    Registry registry;
    registry.writeBinary(u"B"_s, QByteArrayLiteral("1"));
    registry.writeBinary(u"E"_s, QByteArray());
    registry.writeInteger(u"I"_s, 1);
    registry.writeString(u"S"_s, QByteArrayLiteral("1"));
    EXPECT_EQ(queryText(registry.path(),
                        "SELECT group_concat(type || typeof(data), ',') FROM "
                        "(SELECT * FROM \"values\" ORDER BY name)"),
              u"1blob,1blob,2integer,3blob"_s);
}

TEST_F(RegistryTest, ValueNamesIgnoreCaseAndTheDefaultValueIsItsOwn)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(DemoKey, true));
    registry.writeInteger(u"UserTemplateSize"_s, 1);
    registry.writeInteger(u"USERTEMPLATESIZE"_s, 2);
    registry.writeBinary(QString(), QByteArrayLiteral("default"));
    EXPECT_EQ(registry.readInteger(u"usertemplatesize"_s), 2);
    EXPECT_EQ(registry.valueNames(), (QStringList {u"UserTemplateSize"_s, QString()}));
    EXPECT_EQ(registry.readBinary(QString()), QByteArrayLiteral("default"));

    // A value belongs to its key: the same name elsewhere is another value.
    ASSERT_TRUE(registry.openKey(u"\\Software"_s, false));
    EXPECT_FALSE(registry.valueExists(u"UserTemplateSize"_s));
    registry.writeInteger(u"UserTemplateSize"_s, 3);
    ASSERT_TRUE(registry.openKey(DemoKey, false));
    EXPECT_EQ(registry.readInteger(u"UserTemplateSize"_s), 2);
}

TEST_F(RegistryTest, MissingValuesReadAsNothing)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(DemoKey, true));
    EXPECT_FALSE(registry.valueExists(u"Password"_s));
    EXPECT_EQ(registry.valueType(u"Password"_s), Registry::None);
    EXPECT_EQ(registry.valueSize(u"Password"_s), -1);
    EXPECT_EQ(registry.readBinary(u"Password"_s), std::nullopt);
    EXPECT_EQ(registry.binaryReader(u"Password"_s), nullptr);
    EXPECT_EQ(registry.readInteger(u"Password"_s), std::nullopt);
    EXPECT_EQ(registry.readString(u"Password"_s), std::nullopt);
    EXPECT_FALSE(registry.deleteValue(u"Password"_s));

    registry.writeString(u"Password"_s, QByteArrayLiteral("x"));
    EXPECT_TRUE(registry.deleteValue(u"PASSWORD"_s));
    EXPECT_EQ(registry.readString(u"Password"_s), std::nullopt);
    EXPECT_TRUE(registry.valueNames().isEmpty());
}

TEST_F(RegistryTest, ReadingAnotherTypeThrowsTheFixedMessage)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(DemoKey, true));
    registry.writeBinary(u"UserTemplate"_s, QByteArrayLiteral("bytes"));
    registry.writeInteger(u"UserTemplateSize"_s, 5);
    registry.writeString(u"Password"_s, QByteArrayLiteral("secret"));

    const QString binary = u"Invalid data type for 'UserTemplate'"_s;
    EXPECT_EQ(errorOf([&] { registry.readInteger(u"UserTemplate"_s); }), binary);
    EXPECT_EQ(errorOf([&] { registry.readString(u"UserTemplate"_s); }), binary);
    const QString integer = u"Invalid data type for 'UserTemplateSize'"_s;
    EXPECT_EQ(errorOf([&] { registry.readBinary(u"UserTemplateSize"_s); }), integer);
    EXPECT_EQ(errorOf([&] { registry.binaryReader(u"UserTemplateSize"_s); }), integer);
    EXPECT_EQ(errorOf([&] { registry.readString(u"UserTemplateSize"_s); }), integer);
    const QString string = u"Invalid data type for 'Password'"_s;
    EXPECT_EQ(errorOf([&] { registry.readBinary(u"Password"_s); }), string);
    EXPECT_EQ(errorOf([&] { registry.binaryReader(u"Password"_s); }), string);
    EXPECT_EQ(errorOf([&] { registry.readInteger(u"Password"_s); }), string);

    // A fixed-size reader refuses a longer value with the same message.
    EXPECT_EQ(registry.readBinary(u"UserTemplate"_s, 5), QByteArrayLiteral("bytes"));
    EXPECT_EQ(errorOf([&] { registry.readBinary(u"UserTemplate"_s, 4); }), binary);

    // Writing another type replaces the value and its type.
    registry.writeInteger(u"UserTemplate"_s, 7);
    EXPECT_EQ(registry.valueType(u"UserTemplate"_s), Registry::Integer);
    EXPECT_EQ(registry.readInteger(u"UserTemplate"_s), 7);
    EXPECT_EQ(errorOf([&] { registry.readBinary(u"UserTemplate"_s); }), binary);
}

// --- deleting keys --------------------------------------------------------

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeSubtree)
{
    Registry registry;
    for (const QString &path : {u"\\T\\A\\B\\C"_s, u"\\T\\A\\B2"_s, u"\\T\\AB"_s, u"\\T2"_s}) {
        ASSERT_TRUE(registry.openKey(path, true));
        registry.writeInteger(u"Depth"_s, int(path.count(u'\\')));
    }

    EXPECT_TRUE(registry.deleteKey(u"\\t\\a"_s));
    for (const QString &gone : {u"\\T\\A"_s, u"\\T\\A\\B"_s, u"\\T\\A\\B\\C"_s, u"\\T\\A\\B2"_s})
        EXPECT_FALSE(registry.keyExists(gone)) << qPrintable(gone);
    EXPECT_EQ(registry.subKeys(u"\\T"_s), QStringList {u"AB"_s});
    ASSERT_TRUE(registry.openKey(u"\\T2"_s, false));
    EXPECT_EQ(registry.readInteger(u"Depth"_s), 1);

    // Created again, the key starts without the values it had.
    ASSERT_TRUE(registry.openKey(u"\\T\\A\\B\\C"_s, true));
    EXPECT_TRUE(registry.valueNames().isEmpty());

    EXPECT_FALSE(registry.deleteKey(u"\\T\\Missing"_s));
    registry.closeKey();
    registry.writeInteger(u"AtRoot"_s, 1);
    EXPECT_FALSE(registry.deleteKey(u"\\"_s));
    EXPECT_FALSE(registry.deleteKey(QString()));
    EXPECT_TRUE(registry.keyExists(u"\\T\\AB"_s));
    EXPECT_EQ(registry.readInteger(u"AtRoot"_s), 1);
}

TEST_F(RegistryTest, DeleteKeyTakesRelativePathsFromTheOpenKey)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(u"\\X\\Y"_s, true));
    ASSERT_TRUE(registry.openKey(u"\\Y"_s, true));
    ASSERT_TRUE(registry.openKey(u"\\X"_s, false));
    EXPECT_TRUE(registry.deleteKey(u"Y"_s));
    EXPECT_FALSE(registry.keyExists(u"\\X\\Y"_s));
    EXPECT_TRUE(registry.keyExists(u"\\Y"_s));
}

// --- files and sharing ----------------------------------------------------

TEST_F(RegistryTest, FilesAreOwnerOnlyWhateverTheUmask)
{
    // 0 would leave a default-created file readable by all, 0277 would take the
    // owner's own write right away.
    for (const mode_t mask : {mode_t(0), mode_t(0277)}) {
        const QString config = home.filePath(u"umask%1/config"_s.arg(mask, 0, 8));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        const mode_t old = ::umask(mask);
        {
            Registry registry;
            registry.writeInteger(u"Written"_s, 1); // brings the -wal file into being
            EXPECT_EQ(modeOf(config), mode_t(0700)) << mask;
            EXPECT_EQ(modeOf(config + u"/rightsmith"_s), mode_t(0700)) << mask;
            EXPECT_EQ(modeOf(registry.path()), mode_t(0600)) << mask;
            EXPECT_EQ(modeOf(registry.path() + u"-wal"_s), mode_t(0600)) << mask;
            EXPECT_EQ(modeOf(registry.path() + u"-shm"_s), mode_t(0600)) << mask;
        }
        ::umask(old);
    }

    // Files widened by hand are narrowed again when the next object opens them.
    Registry first;
    first.writeInteger(u"Written"_s, 2);
    for (const QString &suffix : {QString(), u"-wal"_s, u"-shm"_s})
        ASSERT_EQ(::chmod(QFile::encodeName(first.path() + suffix).constData(), 0644), 0);
    Registry second;
    for (const QString &suffix : {QString(), u"-wal"_s, u"-shm"_s})
        EXPECT_EQ(modeOf(second.path() + suffix), mode_t(0600)) << qPrintable(suffix);
}

TEST_F(RegistryTest, TwoObjectsOnOneFileSeeEachOthersWrites)
{
    Registry first;
    Registry second;
    ASSERT_TRUE(first.openKey(DemoKey, true));
    ASSERT_TRUE(second.openKey(DemoKey, false));

    first.writeBinary(u"UserTemplate"_s, QByteArrayLiteral("first"));
    EXPECT_EQ(second.readBinary(u"UserTemplate"_s), QByteArrayLiteral("first"));
    second.writeBinary(u"UserTemplate"_s, QByteArrayLiteral("second"));
    EXPECT_EQ(first.readBinary(u"UserTemplate"_s), QByteArrayLiteral("second"));

    // Each call leaves the statement it keeps for the next one reset, also
    // when it throws: else the connection would go on reading an old snapshot.
    first.writeInteger(u"UserTemplateSize"_s, 8);
    const std::vector<std::pair<const char *, std::function<void()>>> calls {
        {"a read",
         [&] {
             first.readBinary(u"UserTemplate"_s);
         }},
        {"a read that throws",
         [&] {
             first.readBinary(u"UserTemplate"_s, 4);
         }},
        {"a read of another type",
         [&] {
             first.readString(u"UserTemplateSize"_s);
         }},
    };
    for (const auto &[what, call] : calls) {
        SCOPED_TRACE(what);
        errorOf(call);
        second.writeInteger(u"UserTemplateSize"_s, 9);
        EXPECT_EQ(first.readInteger(u"UserTemplateSize"_s), 9);
        second.writeBinary(u"UserTemplate"_s, QByteArrayLiteral("changed"));
        EXPECT_EQ(first.readBinary(u"UserTemplate"_s), QByteArrayLiteral("changed"));
        EXPECT_EQ(first.valueSize(u"UserTemplate"_s), 7);
        second.writeBinary(u"UserTemplate"_s, QByteArrayLiteral("second"));
    }

    // The other object deletes the open key: reads find nothing, writes fail clearly.
    EXPECT_TRUE(second.deleteKey(u"\\Software"_s));
    EXPECT_EQ(first.readBinary(u"UserTemplate"_s), std::nullopt);
    const QString message = errorOf([&] { first.writeInteger(u"UserTemplateSize"_s, 1); });
    EXPECT_TRUE(message.startsWith(u"Cannot write value 'UserTemplateSize'"_s))
        << qPrintable(message);
    EXPECT_TRUE(message.contains(u"no longer exists"_s)) << qPrintable(message);
    EXPECT_FALSE(second.keyExists(DemoKey));
    EXPECT_FALSE(first.openKey(u"Child"_s, false));
    EXPECT_TRUE(errorOf([&] { first.openKey(u"Child"_s, true); }).contains(u"no longer exists"_s));
}

TEST_F(RegistryTest, AStatementTextRunsAgainWhileItIsStillStepping)
{
    Registry registry;
    ASSERT_TRUE(registry.openKey(DemoKey, true));
    for (const QString &name : {u"a"_s, u"b"_s, u"c"_s})
        registry.writeInteger(name, 1);
    const char *sql = "SELECT name FROM \"values\" ORDER BY rowid";
    auto rest = [](rightsmith::toolkit::detail::Statement &statement) {
        QStringList names;
        while (statement.step() == SQLITE_ROW)
            names.append(statement.columnText(0));
        return names;
    };

    for (int round = 0; round < 2; ++round) {
        rightsmith::toolkit::detail::Statement outer(registry, sql);
        ASSERT_EQ(outer.step(), SQLITE_ROW);
        EXPECT_EQ(outer.columnText(0), u"a"_s);
        {
            rightsmith::toolkit::detail::Statement inner(registry, sql);
            EXPECT_EQ(rest(inner), QStringList({u"a"_s, u"b"_s, u"c"_s}));
        }
        EXPECT_EQ(rest(outer), QStringList({u"b"_s, u"c"_s}));
    }
}

TEST_F(RegistryTest, WritersInSeveralProcessesShareTheFileSafely)
{
    const QString path = configPath(u"registry.sqlite3"_s);
    {
        Registry registry(path);
    }
    QList<QProcess *> writers;
    for (const QString &id : {u"1"_s, u"2"_s}) {
        auto *process = new QProcess;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"RIGHTSMITH_REGISTRY_WRITER"_s, id + u':' + path);
        process->setProcessEnvironment(environment);
        process->start(QCoreApplication::applicationFilePath(), {});
        writers.append(process);
    }
    EXPECT_NO_THROW(writeConcurrently(u"0:"_s + path));
    for (QProcess *process : writers) {
        EXPECT_TRUE(process->waitForFinished(60000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().constData();
        delete process;
    }

    Registry registry(path);
    EXPECT_EQ(registry.subKeys(u"\\Writers"_s), (QStringList {u"0"_s, u"1"_s, u"2"_s}));
    for (const QString &id : {u"0"_s, u"1"_s, u"2"_s}) {
        ASSERT_TRUE(registry.openKey(u"\\Writers\\"_s + id, false));
        EXPECT_EQ(registry.valueNames().size(), WritesPerWriter) << qPrintable(id);
        EXPECT_EQ(registry.readInteger(u"Value%1"_s.arg(WritesPerWriter - 1)), WritesPerWriter - 1);
    }
    ASSERT_TRUE(registry.openKey(u"\\Shared"_s, false));
    EXPECT_EQ(registry.valueSize(u"Last"_s), 1000);
    EXPECT_EQ(queryText(path, "PRAGMA integrity_check"), u"ok"_s);
}

TEST_F(RegistryTest, AFileThatIsNotADatabaseGivesAnError)
{
    const QString path = configPath(u"registry.sqlite3"_s);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();

    const QString message = errorOf([] { Registry registry; });
    EXPECT_TRUE(message.contains(path)) << qPrintable(message);
    EXPECT_TRUE(message.contains(u"file is not a database"_s)) << qPrintable(message);
    EXPECT_EQ(file.size(), 4096) << "the file must be left as it was";
}

TEST_F(RegistryTest, AnUnusableLocationGivesAnError)
{
    // A regular file where the directory should be: fails even for root.
    QFile blocker(home.filePath(u"blocker"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
    const QString message = errorOf([] { Registry registry; });
    EXPECT_TRUE(message.contains(blocker.fileName())) << qPrintable(message);

    // A directory where the file should be.
    const QString directory = home.filePath(u"dir.sqlite3"_s);
    ASSERT_TRUE(QDir().mkpath(directory));
    EXPECT_TRUE(errorOf([&] { Registry registry(directory); }).contains(directory));
}

// A folder on a file system mounted read-only: the message names that cause,
// not a missing file. Mounting needs root (or its capability); skipped otherwise.
TEST_F(RegistryTest, AReadOnlyFileSystemIsNamedAsTheCause)
{
    const QString mountPoint = home.filePath(u"mount"_s);
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const QByteArray point = QFile::encodeName(mountPoint);
    if (::mount("rightsmith-test", point.constData(), "tmpfs", 0, "mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { ::umount2(point.constData(), MNT_DETACH); });
    const QString existing = mountPoint + u"/registry.sqlite3"_s;
    {
        Registry registry(existing);
        ASSERT_TRUE(registry.openKey(u"\\K"_s, true));
        registry.writeInteger(u"V"_s, 1);
    }
    if (::mount(nullptr, point.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "cannot remount it read-only: " << std::strerror(errno);

    // SQLite falls back to reading, then fails on the -wal and -shm files.
    for (const auto access : {Registry::ReadWrite, Registry::ReadOnly}) {
        const QString message = errorOf([&] { Registry registry(existing, access); });
        EXPECT_TRUE(message.contains(QString::fromLocal8Bit(std::strerror(EROFS))))
            << qPrintable(message);
        EXPECT_FALSE(message.contains(QString::fromLocal8Bit(std::strerror(ENOENT))))
            << qPrintable(message);
    }
}

// Files and folders the operating system's user nobody may not write: a
// writer process (above) run as nobody is told so.
TEST_F(RegistryTest, APermissionDeniedIsNamedAsTheCause)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can run a process as nobody";
    const QString folder = home.filePath(u"shared"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &path : {home.path(), folder})
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
    const QString rootsOwn = folder + u"/roots.sqlite3"_s;
    const QString everyones = folder + u"/everyones.sqlite3"_s;
    for (const QString &path : {rootsOwn, everyones}) {
        Registry registry(path);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(rootsOwn).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(everyones).constData(), 0666), 0);

    // This program run as nobody: a writer on \a path, or (empty) listing its tests.
    const auto asNobody = [](const QString &path) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!path.isEmpty())
            environment.insert(u"RIGHTSMITH_REGISTRY_WRITER"_s, u"nobody:"_s + path);
        process.setProcessEnvironment(environment);
        process.start(u"setpriv"_s,
                      {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                       QCoreApplication::applicationFilePath(), u"--gtest_list_tests"_s});
        process.waitForFinished(60000);
        return std::pair(process.exitCode(),
                         QString::fromLocal8Bit(process.readAllStandardError()));
    };
    if (asNobody(QString()).first != 0)
        GTEST_SKIP() << "this program cannot run as nobody here";
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    const QString noEntry = QString::fromLocal8Bit(std::strerror(ENOENT));
    // A file of root's; then one anybody may write, whose -wal and -shm files
    // cannot be made in the folder.
    const std::pair<QString, QString> cases[] = {
        {rootsOwn, denied}, {everyones, u"folder '%1': %2"_s.arg(folder, denied)}};
    for (const auto &[path, cause] : cases) {
        const auto [exitCode, message] = asNobody(path);
        EXPECT_EQ(exitCode, 1);
        EXPECT_TRUE(message.startsWith(u"Cannot open registry database '%1'"_s.arg(path)))
            << qPrintable(message);
        EXPECT_TRUE(message.contains(cause)) << qPrintable(message);
        EXPECT_FALSE(message.contains(noEntry)) << qPrintable(message);
    }
}

TEST_F(RegistryTest, AForeignOrNewerDatabaseIsRefused)
{
    const QString foreign = home.filePath(u"foreign.sqlite3"_s);
    runSql(foreign, "PRAGMA application_id=1234; CREATE TABLE notes(text);");
    QString message = errorOf([&] { Registry registry(foreign); });
    EXPECT_TRUE(message.contains(foreign)) << qPrintable(message);
    EXPECT_TRUE(message.contains(u"another program"_s)) << qPrintable(message);

    // No application id but tables of its own: another program's all the same,
    // and left exactly as it was (no tables, no journal mode, no file mode).
    const QString plain = home.filePath(u"plain.sqlite3"_s);
    runSql(plain, "CREATE TABLE notes(text);");
    QFile::setPermissions(plain,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                              | QFileDevice::ReadOther);
    for (const auto access : {Registry::ReadWrite, Registry::ReadOnly}) {
        message = errorOf([&] { Registry registry(plain, access); });
        EXPECT_TRUE(message.contains(u"another program"_s)) << qPrintable(message);
    }
    EXPECT_EQ(queryText(plain, "SELECT group_concat(name) FROM sqlite_master"), u"notes"_s);
    EXPECT_EQ(queryText(plain, "PRAGMA journal_mode"), u"delete"_s);
    EXPECT_EQ(QFileInfo(plain).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);

    const QString newer = home.filePath(u"newer.sqlite3"_s);
    {
        Registry registry(newer);
    }
    runSql(newer, "PRAGMA user_version=99;");
    message = errorOf([&] { Registry registry(newer); });
    EXPECT_TRUE(message.contains(u"newer version"_s)) << qPrintable(message);
}

TEST_F(RegistryTest, ReadOnlyCreatesAndChangesNothing)
{
    const QString path = home.filePath(u"sub/registry.sqlite3"_s);
    EXPECT_TRUE(errorOf([&] { Registry registry(path, Registry::ReadOnly); }).contains(path));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(path).path()));

    {
        Registry registry(path);
        ASSERT_TRUE(registry.openKey(u"\\K"_s, true));
        registry.writeInteger(u"V"_s, 1);
    }
    Registry reader(path, Registry::ReadOnly);
    EXPECT_TRUE(errorOf([&] { reader.openKey(u"\\Missing"_s, true); }).contains(u"readonly"_s));
    EXPECT_FALSE(reader.keyExists(u"\\Missing"_s));
    ASSERT_TRUE(reader.openKey(u"\\K"_s, false));
    EXPECT_EQ(reader.readInteger(u"V"_s), 1);
    EXPECT_TRUE(errorOf([&] { reader.writeInteger(u"V"_s, 2); }).contains(u"readonly"_s));
    EXPECT_EQ(reader.readInteger(u"V"_s), 1);
}

TEST_F(RegistryTest, ATransactionIsOneUnitAndHoldsOffOtherWriters)
{
    const QString path = home.filePath(u"registry.sqlite3"_s);
    Registry first(path);
    Registry second(path);
    ASSERT_TRUE(first.openKey(u"\\K"_s, true));
    ASSERT_TRUE(second.openKey(u"\\K"_s, false));
    {
        rightsmith::toolkit::RegistryTransaction transaction(first, Registry::WriteTransaction);
        first.writeInteger(u"A"_s, 1);
        first.writeInteger(u"B"_s, 2);
        // Not seen before the commit, and rolled back without one.
        EXPECT_FALSE(second.valueExists(u"A"_s));
    }
    EXPECT_FALSE(first.valueExists(u"A"_s));

    rightsmith::toolkit::RegistryTransaction transaction(first, Registry::WriteTransaction);
    first.writeInteger(u"A"_s, 1);
    // Nobody else can begin writing while it is open.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_BUSY);
    sqlite3_close(db);
    transaction.commit();
    EXPECT_EQ(second.readInteger(u"A"_s), 1);
}

// A write that fails inside the transaction the registry opens for it (no
// RegistryTransaction around it) is rolled back whole and leaves none open:
// the next write and the next transaction go through, here and elsewhere.
TEST_F(RegistryTest, AFailedWriteLeavesNoTransactionOpen)
{
    const QString path = home.filePath(u"registry.sqlite3"_s);
    Registry registry(path);
    ASSERT_TRUE(registry.openKey(u"\\K\\Sub"_s, true));
    registry.writeInteger(u"V"_s, 1);
    const struct
    {
        const char *trigger;
        std::function<void()> write;
    } cases[] = {
        {"BEFORE INSERT ON keys",
         [&] {
             registry.openKey(u"\\New\\Deeper"_s, true);
         }},
        {"BEFORE DELETE ON keys WHEN old.name = 'K'",
         [&] {
             registry.deleteKey(u"\\K"_s);
         }},
        {"BEFORE INSERT ON \"values\"",
         [&] {
             registry.writeInteger(u"W"_s, 2);
         }},
    };
    for (const auto &[trigger, write] : cases) {
        runSql(path,
               ("CREATE TRIGGER refuse " + std::string(trigger)
                + " BEGIN SELECT RAISE(ABORT, 'refused'); END;")
                   .c_str());
        EXPECT_TRUE(errorOf(write).contains(u"refused"_s)) << trigger;
        EXPECT_FALSE(registry.inTransaction()) << trigger;
        runSql(path, "DROP TRIGGER refuse;");

        // Nothing of it stayed, and the write lock is free for others.
        EXPECT_FALSE(registry.keyExists(u"\\New"_s)) << trigger;
        ASSERT_TRUE(registry.openKey(u"\\K\\Sub"_s, false)) << trigger;
        EXPECT_EQ(registry.readInteger(u"V"_s), 1) << trigger;
        Registry other(path);
        ASSERT_TRUE(other.openKey(u"\\K"_s, false));
        other.writeInteger(u"Other"_s, 1);
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        registry.writeInteger(u"T"_s, 1);
        transaction.commit();
        EXPECT_FALSE(registry.inTransaction()) << trigger;
    }
}

TEST_F(RegistryTest, DamagedRowsNeverCrashAndReadAsWrongType)
{
    const QString path = home.filePath(u"damaged.sqlite3"_s);
    {
        Registry registry(path);
        ASSERT_TRUE(registry.openKey(u"\\K"_s, true));
    }
    // Rows a damaged or hand-edited file may hold: the CHECK constraints of
    // this schema are dropped by rebuilding the table without them.
    runSql(path, R"sql(
        PRAGMA foreign_keys=OFF;
        CREATE TABLE v2(key INTEGER, name TEXT COLLATE NOCASE, type INTEGER, data BLOB,
                        UNIQUE(key, name));
        DROP TABLE "values";
        ALTER TABLE v2 RENAME TO "values";
        INSERT INTO "values" VALUES(2, 'Huge', 2, 4294967296);
        INSERT INTO "values" VALUES(2, 'TextInt', 2, 'twelve');
        INSERT INTO "values" VALUES(2, 'NullBin', 1, NULL);
        INSERT INTO "values" VALUES(2, 'OddType', 9, x'00');
        INSERT INTO "values" VALUES(2, 'Zeroed', 3, x'6869006869');
        UPDATE keys SET parent = (SELECT id FROM keys WHERE name = 'K') WHERE id = 1;
    )sql");

    Registry registry(path);
    ASSERT_TRUE(registry.openKey(u"\\K"_s, false));
    for (const QString &name : {u"Huge"_s, u"TextInt"_s, u"NullBin"_s, u"OddType"_s}) {
        EXPECT_EQ(registry.valueType(name), Registry::Unknown) << qPrintable(name);
        const QString expected = u"Invalid data type for '%1'"_s.arg(name);
        EXPECT_EQ(errorOf([&] { registry.readInteger(name); }), expected);
        EXPECT_EQ(errorOf([&] { registry.readBinary(name); }), expected);
        EXPECT_EQ(errorOf([&] { registry.readString(name); }), expected);
    }
    EXPECT_EQ(registry.readString(u"Zeroed"_s), QByteArrayLiteral("hi"));
    EXPECT_EQ(registry.valueSize(u"Zeroed"_s), 3);

    // The root now hangs below "K": deleting K stops at the cycle, is refused
    // as a whole and leaves root and K in place.
    const QString message = errorOf([&] { registry.deleteKey(u"\\K"_s); });
    EXPECT_TRUE(message.startsWith(u"Cannot delete registry key '\\K'"_s)) << qPrintable(message);
    EXPECT_TRUE(registry.keyExists(u"\\K"_s));
    EXPECT_TRUE(registry.openKey(u"\\New"_s, true));
}

} // namespace
