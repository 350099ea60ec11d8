// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The local user store's boundaries, tried with real processes and a real
// second account: a save writes only files it created and a load takes only
// what the last save committed, whatever another account plants beside the
// user template; and no program undoes another program's save.
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/passwordhash.h"
#include "security/model/tcripter.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"
#include "support/demotemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;
using testsupport::bytes;

namespace {

const QString Key = u"\\Software\\RightsmithTest\\Boundaries\\UserTemplate"_s;
#ifdef RIGHTSMITH_USERS_TOOL
const QString Tool = QString::fromLocal8Bit(RIGHTSMITH_USERS_TOOL);
#else
const QString Tool;
#endif

QByteArray streamOf(const TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const_cast<TzkSecurityTemplate &>(tree).SaveToStreamSecurity(buffer);
    return buffer.data();
}

QByteArrayList userNames(const TzkSecurityTemplate &tree)
{
    QByteArrayList names;
    for (int i = 0; i < tree.topLevelCount(); ++i)
        names << tree.topLevel(i)->text();
    return names;
}

const TzkNodeRecord *passwordOf(const TzkSecurityTemplate &tree, const char *user)
{
    const TreeNode *node = tree.GetUserNodeByUserName(bytes(user));
    return node && node->firstChild() ? node->firstChild()->data() : nullptr;
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &data)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(data), data.size());
}

int changeMode(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode);
}

// What a save stopped or failed left beside the user template in the current folder.
QStringList leftovers()
{
    return QDir::current().entryList({u"UserTemplate.*"_s}, QDir::Files);
}

bool canActAsAnother()
{
    return ::geteuid() == 0 && !QStandardPaths::findExecutable(u"runuser"_s).isEmpty();
}

// Runs \a command as the account "nobody"; its exit status.
int asNobody(const QStringList &command)
{
    return QProcess::execute(u"runuser"_s, QStringList {u"-u"_s, u"nobody"_s, u"--"_s} + command);
}

// A fresh program's read of the store.
struct Read
{
    explicit Read(const UserStoreSettings &settings, Registry::Access access = Registry::ReadWrite)
        : store(access)
    {
        ok = store.load(settings, tree, lastUsers, password);
    }
    // That program adds \a user and saves.
    bool add(const UserStoreSettings &settings, TzkSecurityTemplate &rights, const QByteArray &user)
    {
        tree.AddUserToUserTemplate(&rights, user, {}, true);
        return store.save(settings, tree, lastUsers, password);
    }
    TzkSecurityTemplate tree;
    UserStore store;
    QList<QByteArray> lastUsers;
    QByteArray password;
    bool ok = false;
};

// A read that must find a committed save.
struct Stored : Read
{
    explicit Stored(const UserStoreSettings &settings)
        : Read(settings)
    {
        EXPECT_EQ(store.state(), UserStore::State::Loaded) << qPrintable(store.problem());
    }
};

// Runs \a work in a process of its own, messages unshown; the process's id.
pid_t inAnotherProcess(const std::function<bool()> &work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        rightsmith::toolkit::setMessageHook([](auto, const QString &) { return false; });
        ::_exit(work() ? 0 : 1);
    }
    return child;
}

bool succeeded(pid_t child)
{
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

// Runs rightsmith-users on the store with \a command and \a input on its
// standard input; its exit status and its standard output and error.
std::pair<int, QByteArray> runTool(const UserStoreSettings &settings, const QStringList &command,
                                   const QByteArray &input = {})
{
    QProcess tool;
    // The same registry database as this test's, which is in test mode.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    tool.setProcessEnvironment(environment);
    QStringList arguments {u"--key"_s, settings.key};
    if (settings.inFile)
        arguments << u"--file"_s << settings.fileName;
    tool.start(Tool, arguments + command);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished())
        return {-1, "did not finish"};
    return {tool.exitCode(), tool.readAllStandardOutput() + tool.readAllStandardError()};
}

// rightsmith-users, asked for the users and to check the password of theirs,
// fails with \a problem.
void expectToolRefuses(const UserStoreSettings &settings, const QString &problem)
{
    if (Tool.isEmpty())
        return;
    for (const QStringList &command :
         {QStringList {u"check"_s, u"Supervisor"_s}, QStringList {u"list"_s}}) {
        const auto [exitCode, output] = runTool(settings, command, "theirs\n");
        EXPECT_EQ(exitCode, 1) << output.constData();
        EXPECT_TRUE(QString::fromUtf8(output).contains(problem)) << output.constData();
    }
}

class StoreBoundaries : public ::testing::Test
{
protected:
    void SetUp() override { demotemplate::build(m_rights); }

    UserStoreSettings settings(bool inFile, const QString &file = u"UserTemplate"_s) const
    {
        UserStoreSettings settings;
        settings.key = Key;
        settings.fileName = file;
        settings.inFile = inFile;
        return settings;
    }
    // Saves \a users (each with password "pw-<name>") as a program that never read the store.
    void saveUsers(const UserStoreSettings &settings, const QByteArrayList &users)
    {
        TzkSecurityTemplate tree;
        for (const QByteArray &user : users)
            tree.AddUserToUserTemplate(&m_rights, user, zkCript::TCripter::Scramble("pw-" + user),
                                       true);
        ASSERT_TRUE(UserStore().save(settings, tree, {}, {}));
    }
    // Another account's complete template, of another length than ours, in
    // the home folder and readable by all; its path.
    QString theirTemplate()
    {
        TzkSecurityTemplate theirs;
        theirs.AddUserToUserTemplate(&m_rights, "Supervisor", zkCript::TCripter::Scramble("theirs"),
                                     true);
        const QString path = m_home.filePath(u"theirs"_s);
        writeFile(path, streamOf(theirs));
        EXPECT_EQ(changeMode(path, 0644), 0);
        return path;
    }

    bool addUserInAnotherProcess(const UserStoreSettings &settings, const QByteArray &user)
    {
        return succeeded(
            inAnotherProcess([&] { return Read(settings).add(settings, m_rights, user); }));
    }

    testsupport::TemporaryHome m_home;
    TzkSecurityTemplate m_rights;
    QStringList m_messages;
    testsupport::CapturedMessages m_captured {m_messages};
};

// In a sticky folder every account can write to, another account plants a
// link under the name saves used to stage under, then puts links and files of
// its own where the user template belongs. The save writes only its own
// file; the planted target stays untouched; the load refuses every foreign
// file; a folder others can change is refused with what to change.
TEST_F(StoreBoundaries, AnotherAccountCannotSteerTheUserTemplateFile)
{
    if (!canActAsAnother())
        GTEST_SKIP() << "needs root and runuser to act as a second account";
    ASSERT_EQ(changeMode(m_home.path(), 0701), 0);
    const QString folder = m_home.filePath(u"shared"_s);
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(changeMode(folder, 01777), 0);
    const QString file = folder + u"/UserTemplate"_s;
    const QString victim = m_home.filePath(u"victim"_s);
    ASSERT_NO_FATAL_FAILURE(writeFile(victim, "root's own file\n"));
    ASSERT_EQ(changeMode(victim, 0644), 0);
    const auto victimMode = QFile::permissions(victim);
    const UserStoreSettings where = settings(true, file);

    ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Alice"}));
    ASSERT_EQ(asNobody({u"ln"_s, u"-s"_s, victim, file + u".saving"_s}), 0);
    ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Alice", "Carol"}));
    EXPECT_EQ(readFile(victim), bytes("root's own file\n"));
    EXPECT_EQ(QFile::permissions(victim), victimMode);
    EXPECT_TRUE(QFileInfo(file + u".saving"_s).isSymLink());
    EXPECT_TRUE(QFileInfo(file).isFile() && !QFileInfo(file).isSymLink());
    EXPECT_EQ(QFileInfo(file).ownerId(), 0u);
    EXPECT_EQ(userNames(Stored(where).tree), (QByteArrayList {"Supervisor", "Alice", "Carol"}));

    const QString theirFile = theirTemplate();
    ASSERT_FALSE(HasFatalFailure());
    const QByteArray theirs = readFile(theirFile);
    // In a sticky folder the other account cannot remove the user's file: it
    // is taken away first, as an earlier save that put the planted link in place would have.
    const struct
    {
        const char *name;
        const char *planter; // run by the other account on its template and the user's file
        mode_t folderMode;
        uid_t folderOwner;
        QString problem;
    } cases[] = {
        {"link to a template of another account", "ln -s", 01777, 0, u"is a symbolic link"_s},
        {"template of another account", "cp", 01777, 0, u"belongs to another account"_s},
        {"folder writable by others, not sticky", nullptr, 0777, 0,
         u"chmod go-w \"%1\""_s.arg(folder)},
        {"folder of another account", nullptr, 01777, 65534,
         u"folder \"%1\" of the user template belongs to another account"_s.arg(folder)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file);
        ASSERT_EQ(changeMode(folder, 01777), 0);
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 0, 0), 0);
        ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Alice"}));
        if (c.planter) {
            QFile::remove(file);
            ASSERT_EQ(asNobody(QString::fromLatin1(c.planter).split(u' ')
                               + QStringList {theirFile, file}),
                      0);
        }
        ASSERT_EQ(changeMode(folder, c.folderMode), 0);
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), c.folderOwner, c.folderOwner), 0);

        Read read(where);
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.store.state(), UserStore::State::Unreadable);
        EXPECT_TRUE(read.store.problem().contains(c.problem)) << qPrintable(read.store.problem());
        EXPECT_EQ(read.tree.count(), 0);
        try {
            read.add(where, m_rights, "Supervisor");
            ADD_FAILURE() << "saved";
        } catch (const rightsmith::toolkit::Error &error) {
            EXPECT_TRUE(error.message().contains(c.problem)) << qPrintable(error.message());
        }
        EXPECT_EQ(readFile(theirFile), theirs);
        EXPECT_EQ(readFile(victim), bytes("root's own file\n"));
        expectToolRefuses(where, c.problem);
    }
}

// Only copies this account kept are listed as kept aside: a link or a file
// another account put under such a name beside the user template is not one,
// and restoring it would put that account's users in place.
TEST_F(StoreBoundaries, OnlyOwnCopiesAreListedAsKeptAside)
{
    if (!canActAsAnother())
        GTEST_SKIP() << "needs root and runuser to act as a second account";
    ASSERT_EQ(changeMode(m_home.path(), 01777), 0);
    const QString file = m_home.filePath(u"UserTemplate"_s);
    const UserStoreSettings where = settings(true, file);
    ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor"}));
    const QString own = file + u".unreadable-20261209T000000"_s;
    ASSERT_NO_FATAL_FAILURE(writeFile(own, readFile(file)));
    ASSERT_EQ(asNobody({u"cp"_s, own, file + u".unreadable-20261209T000002"_s}), 0);
    ASSERT_EQ(asNobody({u"ln"_s, u"-s"_s, own, file + u".unreadable-20261209T000003"_s}), 0);
    EXPECT_EQ(UserStore::keptAside(where), QStringList {own});
}

// A save stopped at each point of putting its file in place, as a SIGKILL
// leaves it: the next load takes the committed save and removes the rest. In
// a folder without hard links, on a store another program of this format
// wrote (no digest recorded), a save moves the old file aside and its own in
// place unmarked: stopped there, the next load puts the old file back.
TEST_F(StoreBoundaries, ALoadSettlesWhereverASaveStopped)
{
    const UserStoreSettings where = settings(true);
    TzkSecurityTemplate tree;
    tree.AddUserToUserTemplate(&m_rights, "Supervisor", {}, true);
    const QByteArray unmarked = streamOf(tree);
    enum Stop { FirstNotCommitted, NotCommitted, Committed, MovedAside, UnmarkedInPlace };
    for (const Stop stop :
         {FirstNotCommitted, NotCommitted, Committed, MovedAside, UnmarkedInPlace}) {
        SCOPED_TRACE(int(stop));
        testsupport::TemporaryHome home;
        QByteArray kept; // the user template the load must settle on; empty: none
        if (stop == MovedAside || stop == UnmarkedInPlace) {
            Registry registry(where.registryPath(), Registry::ReadWrite);
            registry.openKey(Key, true);
            registry.writeInteger(u"UserTemplateSize"_s, qint32(unmarked.size()));
            registry.writeString(u"UserTemplateFileName"_s, "UserTemplate");
            kept = unmarked;
            ASSERT_NO_FATAL_FAILURE(writeFile(u"UserTemplate.previous-x1"_s, unmarked));
            if (stop == UnmarkedInPlace) {
                ASSERT_NO_FATAL_FAILURE(writeFile(u"UserTemplate"_s, unmarked + "longer"));
            }
        } else {
            if (stop != FirstNotCommitted) {
                ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Old"}));
                kept = readFile(u"UserTemplate"_s);
            }
            const QByteArray old = kept;
            if (stop == Committed) {
                ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "New", "Newer"}));
                kept = readFile(u"UserTemplate"_s);
            } else {
                ASSERT_NO_FATAL_FAILURE(writeFile(u"UserTemplate"_s, "not committed"));
            }
            // Until its commit a save leaves its new file in place under its
            // staged name too, and the old one under a name of its own.
            ASSERT_EQ(::link("UserTemplate", "UserTemplate.saving-x1"), 0);
            if (!old.isEmpty()) {
                ASSERT_NO_FATAL_FAILURE(writeFile(u"UserTemplate.previous-x2"_s, old));
            }
        }

        const Read read(where);
        EXPECT_EQ(read.store.state(),
                  kept.isEmpty() ? UserStore::State::NeverWritten : UserStore::State::Loaded)
            << qPrintable(read.store.problem());
        EXPECT_EQ(readFile(u"UserTemplate"_s), kept);
        EXPECT_EQ(QFile::exists(u"UserTemplate"_s), !kept.isEmpty());
        EXPECT_EQ(leftovers(), QStringList {}) << "what the stopped save left is removed";
    }
}

// Two stores whose user template files differ only in letter case are two
// stores: a save of one leaves the other loadable.
TEST_F(StoreBoundaries, FilesDifferingInLetterCaseAreTwoStores)
{
    ASSERT_TRUE(QDir().mkdir(u"Payroll"_s) && QDir().mkdir(u"payroll"_s));
    const UserStoreSettings upper = settings(true, u"Payroll/UserTemplate"_s);
    UserStoreSettings lower = settings(true, u"payroll/UserTemplate"_s);
    lower.key += u"Lower"_s;
    ASSERT_NO_FATAL_FAILURE(saveUsers(upper, {"Supervisor", "Alice"}));
    ASSERT_NO_FATAL_FAILURE(saveUsers(lower, {"Supervisor", "Bob", "Carol"}));
    EXPECT_EQ(userNames(Stored(upper).tree), (QByteArrayList {"Supervisor", "Alice"}));
    EXPECT_EQ(userNames(Stored(lower).tree), (QByteArrayList {"Supervisor", "Bob", "Carol"}));

    // An earlier version recorded the digest under the plain path; a save it
    // stopped after its commit is still completed.
    const QByteArray older = readFile(upper.fileName);
    ASSERT_NO_FATAL_FAILURE(saveUsers(upper, {"Supervisor", "Alice", "Dora"}));
    const QByteArray newer = readFile(upper.fileName);
    ASSERT_NO_FATAL_FAILURE(writeFile(upper.fileName, older));
    ASSERT_NO_FATAL_FAILURE(writeFile(upper.fileName + u".saving"_s, newer));
    {
        const QString digests = u"\\Software\\Rightsmith\\UserTemplateFiles"_s;
        Registry registry(upper.registryPath(), Registry::ReadWrite);
        registry.deleteKey(digests);
        ASSERT_TRUE(registry.openKey(digests, true));
        registry.writeBinary(QDir::current().absoluteFilePath(upper.fileName),
                             QCryptographicHash::hash(newer, QCryptographicHash::Sha256));
    }
    EXPECT_EQ(userNames(Stored(upper).tree), (QByteArrayList {"Supervisor", "Alice", "Dora"}));
}

// rightsmith-users reads the users as the program does: a user template file
// that is not the one its last save stored is refused with the reason, and a
// password of the users in it is never taken.
TEST_F(StoreBoundaries, TheToolReadsOnlyTheCommittedUserTemplate)
{
    if (Tool.isEmpty())
        GTEST_SKIP() << "built without rightsmith-users";
    const UserStoreSettings where = settings(true);
    ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Alice"}));
    ASSERT_NO_FATAL_FAILURE(writeFile(u"UserTemplate"_s, readFile(theirTemplate())));
    expectToolRefuses(where, u"not the one its last save stored"_s);
}

// A program that reads the store without its write lock (as rightsmith-users
// does) while another program saves again and again always reads one of the
// committed saves, never "not the one its last save stored".
TEST_F(StoreBoundaries, AReadWithoutTheLockWhileAnotherProgramSavesFindsACommittedSave)
{
    const UserStoreSettings where = settings(true);
    ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor"}));
    const pid_t child = inAnotherProcess([&] {
        for (int i = 0; i < 60; ++i)
            if (!Read(where).add(where, m_rights, "User" + QByteArray::number(i)))
                return false;
        return true;
    });
    ASSERT_GT(child, 0);
    QStringList problems;
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        const Read read(where, Registry::ReadOnly);
        if (read.store.state() != UserStore::State::Loaded)
            problems << read.store.problem();
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(problems.isEmpty()) << qPrintable(problems.join(u'\n'));
}

class TwoPrograms : public StoreBoundaries, public ::testing::WithParamInterface<bool>
{
protected:
    void start(TzkSecurity &program)
    {
        const TzkSecurityOptionSet options = TzkSecurityOptionSet::defaults().without(soAutoLogon);
        program.SetOptions(GetParam() ? options.with(soSaveUsersInFile)
                                      : options.without(soSaveUsersInFile));
        program.setUserTemplateRegistryKeyName(Key);
        program.Dialogs()->SetSecurity(&program);
        QByteArray remembered;
        ASSERT_TRUE(program.LoadUsers(remembered));
    }
};

// Program A read the users; program B then changed them: rightsmith-users
// passwd set Alice's password (a user template of the same length), another
// program added Bert, or rightsmith-users restore put back a copy with Cleo
// (longer ones). A's save after a logon that changed nothing writes no user
// template; a save of A's own change is refused with a message. Either way
// B's change stays, and A reads it.
TEST_P(TwoPrograms, NoSaveUndoesAnotherProgramsSave)
{
    if (Tool.isEmpty())
        GTEST_SKIP() << "built without rightsmith-users";
    enum Change { PasswordSet, UserAdded, CopyRestored };
    const QByteArrayList users[] = {
        {"Supervisor", "Alice"}, {"Supervisor", "Alice", "Bert"}, {"Supervisor", "Alice", "Cleo"}};
    for (const Change change : {PasswordSet, UserAdded, CopyRestored}) {
        for (const bool changedByA : {false, true}) {
            SCOPED_TRACE(int(change) * 2 + int(changedByA));
            testsupport::TemporaryHome home;
            const UserStoreSettings where = settings(GetParam());
            ASSERT_NO_FATAL_FAILURE(saveUsers(where, users[CopyRestored]));
            ASSERT_NO_FATAL_FAILURE(writeFile(u"copy"_s, streamOf(Stored(where).tree)));
            ASSERT_NO_FATAL_FAILURE(saveUsers(where, users[PasswordSet]));
            TzkSecurity a;
            ASSERT_NO_FATAL_FAILURE(start(a));
            const qsizetype before = streamOf(Stored(where).tree).size();

            if (change == UserAdded) {
                ASSERT_TRUE(addUserInAnotherProcess(where, "Bert"));
            } else {
                const auto [exitCode, output] = change == PasswordSet
                    ? runTool(where, {u"passwd"_s, u"Alice"_s}, "set by B\n")
                    : runTool(where, {u"restore"_s, QDir::current().absoluteFilePath(u"copy"_s)});
                ASSERT_EQ(exitCode, 0) << output.constData();
            }
            EXPECT_EQ(streamOf(Stored(where).tree).size() == before, change == PasswordSet);
            if (changedByA)
                a.UserTemplate()->AddUserToUserTemplate(&m_rights, "Dora", {}, true);
            m_messages.clear();
            EXPECT_EQ(a.SaveUsers({}), !changedByA);
            EXPECT_EQ(m_messages.size(), changedByA ? 1 : 0);
            EXPECT_TRUE(
                !changedByA
                || m_messages.value(0).startsWith(
                    u"The users were changed by another program since this dialog was opened; "_s));

            const Stored stored(where);
            for (const TzkSecurityTemplate *read :
                 {&stored.tree, const_cast<const TzkSecurityTemplate *>(a.UserTemplate())}) {
                EXPECT_EQ(userNames(*read), users[change]);
                EXPECT_EQ(PasswordHash::matches(passwordOf(*read, "Alice"), "set by B"),
                          change == PasswordSet);
            }
            // A saves again on what it read: no message, nothing of B's lost.
            m_messages.clear();
            a.UserTemplate()->AddUserToUserTemplate(&m_rights, "Erik", {}, true);
            ASSERT_TRUE(a.SaveUsers({}));
            EXPECT_EQ(m_messages, QStringList {});
            EXPECT_EQ(userNames(Stored(where).tree), users[change] + QByteArrayList {"Erik"});
        }
    }
}

// A logon's own upgrade of a scrambled password to a hash, refused because
// another program saved the users meanwhile, is made again on the users read
// anew, without a word: neither the other program's user nor the hash is lost.
TEST_P(TwoPrograms, ALogonsUpgradeToAHashIsMadeAgainOnTheUsersReadAnew)
{
    const UserStoreSettings where = settings(GetParam());
    ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Alice"}));
    TzkSecurity a;
    HardeningSettings hardening;
    hardening.hashPasswords = true;
    hardening.hashCost = PasswordHashCost::minimum();
    a.SetHardening(hardening);
    ASSERT_NO_FATAL_FAILURE(start(a));

    ASSERT_TRUE(addUserInAnotherProcess(where, "Bert"));
    ASSERT_TRUE(a.Logon("Alice", "pw-Alice", true));
    EXPECT_EQ(m_messages, QStringList {});
    const Stored stored(where);
    EXPECT_EQ(userNames(stored.tree), (QByteArrayList {"Supervisor", "Alice", "Bert"}));
    const TzkNodeRecord *alice = passwordOf(stored.tree, "Alice");
    ASSERT_TRUE(alice && PasswordHash::isHashed(*alice));
    EXPECT_TRUE(PasswordHash::matches(alice, "pw-Alice"));
}

INSTANTIATE_TEST_SUITE_P(FileAndRegistry, TwoPrograms, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "File" : "Registry"; });

// A disk that fills up while a save writes: the save fails, the store still
// loads the save before it, and nothing the save began is left behind.
TEST_F(StoreBoundaries, ASaveOnAFullDiskLosesNothing)
{
    TzkSecurityTemplate larger;
    for (int i = 0; i < 60; ++i)
        larger.AddUserToUserTemplate(&m_rights, "User" + QByteArray::number(i), {}, true);
    for (const bool inFile : {true, false}) {
        SCOPED_TRACE(inFile ? "file" : "registry");
        testsupport::TemporaryHome home;
        const UserStoreSettings where = settings(inFile);
        ASSERT_NO_FATAL_FAILURE(saveUsers(where, {"Supervisor", "Alice"}));
        const QByteArray before = streamOf(Stored(where).tree);

        // No file may grow past 100 KiB, as on a full disk.
        rlimit previous {};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit full = previous;
        full.rlim_cur = 100 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &full);
        bool saved = false;
        try {
            saved = UserStore().save(where, larger, {}, {});
        } catch (const rightsmith::toolkit::Error &) {
        }
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_FALSE(saved);
        EXPECT_EQ(streamOf(Stored(where).tree), before);
        EXPECT_EQ(leftovers(), QStringList {});
    }
}

} // namespace
