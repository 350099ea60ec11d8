// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store under stress: a process killed at random moments while it
// saves, and two processes saving and loading the same store at once. Every
// load must find exactly one complete save: all of its users, its recent
// names and its password, nothing of another save.
//
// The other processes are made with fork(): a fork costs far less than
// starting a program, which is what lets hundreds of kills run in seconds.
// The parent holds no open registry connection when it forks (SaveUsers and
// LoadUsers open and close their own), so a child never shares an SQLite
// connection with it; each child makes its own component and ends through
// SIGKILL or _exit(), never running the parent's destructors or exit handlers.
#include "security/component/tzksecurity.h"
#include "security/model/tcripter.h"
#include "security/model/tree.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zkSecurity;
using namespace Qt::StringLiterals;

namespace {

constexpr int Kills = 200; // per mode
constexpr int Rounds = 200; // saves, each followed by a load, per process and mode
constexpr int ShownExamples = 8;

const QString StoreKey = u"\\Software\\RightsmithTest\\StoreStress\\UserTemplate"_s;

struct Mode
{
    const char *name;
    TzkSecurityOptionSet options;
};

void PrintTo(const Mode &mode, std::ostream *out)
{
    *out << mode.name;
}

const Mode Modes[] = {
    {"File", TzkSecurityOptionSet::defaults().with(soSaveUsersInFile).with(soStorePassword)},
    {"Registry", TzkSecurityOptionSet::defaults().without(soSaveUsersInFile).with(soStorePassword)},
};

// The seed of this run: RIGHTSMITH_STRESS_SEED when set (to repeat a failed
// run), otherwise a fresh one. Printed either way.
quint64 runSeed()
{
    bool ok = false;
    const quint64 given = qEnvironmentVariable("RIGHTSMITH_STRESS_SEED").toULongLong(&ok);
    const quint64 seed =
        ok ? given : (quint64(std::random_device {}()) << 32) ^ std::random_device {}();
    std::cout << "[   SEED   ] RIGHTSMITH_STRESS_SEED=" << seed << std::endl;
    return seed;
}

// One save of the stress tests: the users "<prefix><number>-1" ... "-m" with
// m = 1 + number % 5 after "Supervisor", those names as the recent names, and
// the password "pw-<prefix><number>". Neighbouring saves differ in their
// length, so a stored template paired with another save's size shows.
struct Generation
{
    char prefix = 0;
    int number = 0;

    QByteArray label() const { return prefix + QByteArray::number(number); }
    QByteArrayList names() const
    {
        QByteArrayList names;
        for (int i = 1; i <= 1 + number % 5; ++i)
            names << label() + '-' + QByteArray::number(i);
        return names;
    }
    QByteArrayList users() const { return QByteArrayList {"Supervisor"} + names(); }
    QByteArray password() const { return zkCript::TCripter::Scramble("pw-" + label()); }
};

std::unique_ptr<TzkSecurity> makeComponent(TzkSecurityOptionSet options)
{
    auto security = std::make_unique<TzkSecurity>();
    security->SetOptions(options);
    security->setUserTemplateRegistryKeyName(StoreKey);
    return security;
}

// Replaces the users and recent names of \a security by those of \a generation.
void fill(TzkSecurity &security, TzkSecurityTemplate &rights, const Generation &generation)
{
    security.UserTemplate()->ClearTemplate();
    for (const QByteArray &user : generation.users())
        security.UserTemplate()->AddUserToUserTemplate(&rights, user, {}, true);
    security.LastUsers() = generation.names();
}

// What one LoadUsers on a fresh component found.
struct Loaded
{
    bool returned = false;
    std::optional<QString> error;
    QByteArrayList users;
    QByteArrayList lastUsers;
    QByteArray password;

    QString describe() const
    {
        const QString result = error ? u"threw \"%1\""_s.arg(*error)
                                     : (returned ? u"returned true"_s : u"returned false"_s);
        return u"%1; users [%2], recent [%3], password \"%4\""_s.arg(
            result, QString::fromLatin1(users.join(", ")),
            QString::fromLatin1(lastUsers.join(", ")),
            QString::fromLatin1(zkCript::TCripter::Unscramble(password)));
    }
};

Loaded load(TzkSecurityOptionSet options)
{
    Loaded loaded;
    auto security = makeComponent(options);
    try {
        loaded.returned = security->LoadUsers(loaded.password);
    } catch (const rightsmith::toolkit::Error &error) {
        loaded.error = error.message();
    }
    const TzkSecurityTemplate &users = *security->UserTemplate();
    for (int i = 0; i < users.topLevelCount(); ++i)
        loaded.users << users.topLevel(i)->text();
    loaded.lastUsers = security->LastUsers();
    return loaded;
}

// The save \a loaded holds in full; otherwise nullopt with \a category naming
// what is wrong.
std::optional<Generation> savedGeneration(const Loaded &loaded, QString &category)
{
    if (loaded.error) {
        category = u"threw"_s;
        return std::nullopt;
    }
    if (!loaded.returned) {
        category = u"returned false"_s;
        return std::nullopt;
    }
    Generation generation;
    const QByteArray first = loaded.users.value(1);
    const int dash = first.indexOf('-');
    bool numbered = false;
    if (dash > 1) {
        generation.prefix = first.at(0);
        generation.number = first.mid(1, dash - 1).toInt(&numbered);
    }
    if (!numbered || loaded.users != generation.users()) {
        category = u"users of no single save"_s;
        return std::nullopt;
    }
    if (loaded.lastUsers != generation.names()) {
        category = u"recent names of another save"_s;
        return std::nullopt;
    }
    if (loaded.password != generation.password()) {
        category = u"password of another save"_s;
        return std::nullopt;
    }
    return generation;
}

// Failures by category with the first few in full.
class Tally
{
public:
    void add(const QString &category, const QString &detail)
    {
        ++m_counts[category];
        if (m_examples.size() < ShownExamples)
            m_examples << u"  %1: %2"_s.arg(category, detail);
    }
    int total() const
    {
        int total = 0;
        for (int count : m_counts)
            total += count;
        return total;
    }
    QString summary() const
    {
        QStringList counts;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            counts << u"%1 %2"_s.arg(it.value()).arg(it.key());
        return u"%1 failures (%2)\n%3\n"_s.arg(total()).arg(counts.join(u", "_s),
                                                            m_examples.join(u'\n'));
    }

private:
    QMap<QString, int> m_counts;
    QStringList m_examples;
};

void writeAll(int fd, const QByteArray &data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray readAll(int fd)
{
    QByteArray data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return data;
        data.append(buffer, n);
    }
}

QString exitText(int status)
{
    if (WIFEXITED(status))
        return u"exit status %1"_s.arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return u"signal %1 (%2)"_s.arg(WTERMSIG(status))
            .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    return u"status %1"_s.arg(status);
}

// Puts temporary directories made during its lifetime on /dev/shm when that
// memory file system is there. A killed process loses nothing the kernel
// already holds, so the store's syncs to disk prove nothing in these tests,
// yet on a busy disk they would take nearly all of their time.
class TemporaryDirsInMemory
{
public:
    TemporaryDirsInMemory()
        : m_wasSet(qEnvironmentVariableIsSet("TMPDIR"))
        , m_old(qgetenv("TMPDIR"))
    {
        const QFileInfo memory(u"/dev/shm"_s);
        if (memory.isDir() && memory.isWritable())
            qputenv("TMPDIR", "/dev/shm");
    }
    ~TemporaryDirsInMemory()
    {
        if (m_wasSet)
            qputenv("TMPDIR", m_old);
        else
            qunsetenv("TMPDIR");
    }

private:
    bool m_wasSet;
    QByteArray m_old;
};

class StoreStress : public ::testing::TestWithParam<Mode>
{
protected:
    void SetUp() override
    {
        demotemplate::build(m_rights);
        m_seed = runSeed();
    }

    TzkSecurityOptionSet options() const { return GetParam().options; }

    // A complete save of \a generation by this process.
    void save(const Generation &generation)
    {
        auto security = makeComponent(options());
        fill(*security, m_rights, generation);
        ASSERT_TRUE(security->SaveUsers(generation.password())) << generation.label().constData();
    }

    std::string context() const
    {
        return u"mode %1, RIGHTSMITH_STRESS_SEED=%2"_s.arg(QString::fromLatin1(GetParam().name))
            .arg(m_seed)
            .toStdString();
    }

    TemporaryDirsInMemory m_inMemory; // before m_home, which it places
    testsupport::TemporaryHome m_home;
    TzkSecurityTemplate m_rights;
    QStringList m_messages;
    testsupport::CapturedMessages m_captured {m_messages};
    quint64 m_seed = 0;
};

// Runs in the child: saves generations "G<first>", "G<first+1>", ... until
// killed, telling \a startedFd just before the first save begins.
[[noreturn]] void saveUntilKilled(TzkSecurityOptionSet options, TzkSecurityTemplate &rights,
                                  int first, int startedFd)
{
    alarm(60); // a child the parent failed to kill does not outlive the test
    // Nobody would read a message box of this process; the load afterwards judges its saves.
    rightsmith::toolkit::setMessageHook(
        [](rightsmith::toolkit::MessageKind, const QString &) { return false; });
    auto security = makeComponent(options);
    for (int number = first;; ++number) {
        const Generation generation {'G', number};
        fill(*security, rights, generation);
        if (number == first) {
            writeAll(startedFd, "S");
            ::close(startedFd);
        }
        try {
            security->SaveUsers(generation.password());
        } catch (...) {
        }
    }
}

// A process saving in a tight loop is killed at a random moment, Kills times;
// after each kill the store must load and hold one complete save, no older
// than the last one seen.
TEST_P(StoreStress, KillDuringSaveLeavesOneCompleteSave)
{
    SCOPED_TRACE(context());
    std::mt19937_64 random(m_seed);

    // The delay before a kill spans two saves, so the kills fall anywhere
    // within one; its length follows how long a save takes in this build
    // (the median of a few, the first of which also creates the store).
    QElapsedTimer timer;
    std::vector<qint64> saveTimes;
    int last = 6; // the newest save the store is known to hold
    for (int number = 0; number <= last; ++number) {
        timer.start();
        ASSERT_NO_FATAL_FAILURE(save({'G', number}));
        saveTimes.push_back(timer.nsecsElapsed() / 1000);
    }
    std::sort(saveTimes.begin(), saveTimes.end());
    const qint64 saveTime = saveTimes[saveTimes.size() / 2];
    const qint64 delayRange = qMax<qint64>(15000, 2 * saveTime); // microseconds
    std::uniform_int_distribution<qint64> delay(0, delayRange);

    Tally tally;
    int newer = 0; // kills after which the store held one of the killed process's saves
    for (int kill = 0; kill < Kills; ++kill) {
        const int first = (kill + 1) * 10000; // this process's generations
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0) << "fork failed";
        if (child == 0) {
            ::close(started[0]);
            saveUntilKilled(options(), m_rights, first, started[1]);
        }
        ::close(started[1]);
        const bool saving = readAll(started[0]) == "S";
        ::close(started[0]);
        const qint64 waited = delay(random);
        if (saving)
            std::this_thread::sleep_for(std::chrono::microseconds(waited));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "kill " << kill << ": the saving process ended with "
            << exitText(status).toStdString() << " before it was killed";

        const Loaded loaded = load(options());
        const QString detail =
            u"kill %1 after %2 us: %3"_s.arg(kill).arg(waited).arg(loaded.describe());
        QString category;
        const std::optional<Generation> found = savedGeneration(loaded, category);
        if (found && found->number != last && found->number < first)
            category = u"an older save came back"_s;
        if (!found || !category.isEmpty()) {
            tally.add(category, detail);
            // A fresh complete save, so that the next kill is judged on its own.
            last = first + 9999;
            ASSERT_NO_FATAL_FAILURE(save({'G', last}));
            continue;
        }
        newer += found->number >= first;
        last = found->number;
    }
    std::cout << "[   INFO   ] " << GetParam().name << ": a save takes " << saveTime << " us; "
              << Kills << " kills within " << delayRange << " us of the first save, " << newer
              << " left one of the killed process's saves, " << tally.total()
              << " left a store that failed the check" << std::endl;
    EXPECT_EQ(tally.total(), 0) << "of " << Kills << " kills during a save, "
                                << tally.summary().toStdString();
    EXPECT_EQ(m_messages, QStringList());
}

// Runs in a child: Rounds times saves its own generation "<prefix><round>"
// and loads the store again. Writes what went wrong to \a reportFd and ends
// with exit status 1 when anything did.
[[noreturn]] void saveAndLoad(TzkSecurityOptionSet options, TzkSecurityTemplate &rights,
                              char prefix, quint64 seed, int goFd, int reportFd)
{
    alarm(100); // a hung child does not outlive the test
    QStringList messages;
    rightsmith::toolkit::setMessageHook(
        [&messages](rightsmith::toolkit::MessageKind, const QString &text) {
            messages << text;
            return false;
        });
    std::mt19937_64 random(seed ^ quint64(prefix));
    std::uniform_int_distribution<int> pause(0, 1000); // microseconds between save and load
    Tally tally;
    int otherSeen = -1; // the newest save of the other process this one has loaded

    auto security = makeComponent(options);
    readAll(goFd); // both start when the parent closes the pipe
    ::close(goFd);
    for (int round = 1; round <= Rounds; ++round) {
        const Generation own {prefix, round};
        fill(*security, rights, own);
        bool saved = false;
        try {
            saved = security->SaveUsers(own.password());
            if (!saved)
                tally.add(u"save returned false"_s, u"save %1"_s.arg(round));
        } catch (const rightsmith::toolkit::Error &error) {
            tally.add(u"save threw"_s, u"save %1: %2"_s.arg(round).arg(error.message()));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));

        const Loaded loaded = load(options);
        const QString detail = u"load %1: %2"_s.arg(round).arg(loaded.describe());
        QString category;
        const std::optional<Generation> found = savedGeneration(loaded, category);
        if (!found) {
            tally.add(category, detail);
            continue;
        }
        // Its own save is there until the other process saves over it, and
        // once a save of the other process was seen, no older one comes back.
        if (found->prefix == prefix && found->number != round && saved)
            tally.add(u"own save lost"_s, detail);
        else if (found->prefix != prefix && found->number < otherSeen)
            tally.add(u"an older save came back"_s, detail);
        else if (found->prefix != prefix)
            otherSeen = found->number;
    }
    for (const QString &message : std::as_const(messages))
        tally.add(u"message"_s, message);
    writeAll(reportFd,
             u"process %1: %2"_s.arg(QLatin1Char(prefix)).arg(tally.summary()).toLocal8Bit());
    ::close(reportFd);
    _exit(tally.total() == 0 ? 0 : 1);
}

// Two processes save their own users to one store and load it between
// saves, at the same time; every load holds one complete save.
TEST_P(StoreStress, ConcurrentSavesAndLoadsSeeOneCompleteSave)
{
    SCOPED_TRACE(context());
    // The store holds a complete save before either process starts.
    ASSERT_NO_FATAL_FAILURE(save({'A', 0}));

    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    struct Child
    {
        char prefix;
        pid_t pid = -1;
        int report = -1;
    };
    Child children[] = {{'A'}, {'B'}};
    for (Child &child : children) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        child.pid = ::fork();
        ASSERT_GE(child.pid, 0) << "fork failed";
        if (child.pid == 0) {
            ::close(go[1]);
            ::close(report[0]);
            for (const Child &other : children) {
                if (other.report >= 0)
                    ::close(other.report);
            }
            saveAndLoad(options(), m_rights, child.prefix, m_seed, go[0], report[1]);
        }
        ::close(report[1]);
        child.report = report[0];
    }
    ::close(go[0]);
    ::close(go[1]);

    for (Child &child : children) {
        const QByteArray report = readAll(child.report);
        ::close(child.report);
        int status = 0;
        ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "of " << Rounds << " saves and loads, " << report.toStdString() << "(ended with "
            << exitText(status).toStdString() << ")";
    }

    const Loaded loaded = load(options());
    QString category;
    EXPECT_TRUE(savedGeneration(loaded, category))
        << "after both processes: " << category.toStdString() << ": "
        << loaded.describe().toStdString();
    EXPECT_EQ(m_messages, QStringList());
}

INSTANTIATE_TEST_SUITE_P(Modes, StoreStress, ::testing::ValuesIn(Modes),
                         [](const ::testing::TestParamInfo<Mode> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
