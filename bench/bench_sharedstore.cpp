// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Workstations against one PostgreSQL 15 server that keeps their user
// template: how long a logon takes when fifty of them log on at once; how
// long a saved change takes until every one of 50 or 200 desks answers by it,
// what each desk is sent for it and what the server spends on it; how long a
// save of one user's change and a first load take with 1,000 and 10,000
// users. The server is a throw-away one of tests/support/pgserver.sh; without
// its binaries every benchmark is skipped. Run from a RelWithDebInfo build (as
// root the server runs as nobody):
//   build-bench/bench/bench_sharedstore
#include "security/component/logoncheck.h"
#include "security/hardening/hardening.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "toolkit/error.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <latch>
#include <linux/tcp.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

using namespace zkSecurity;
using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Workstations = 50;
constexpr int MostDesks = 200;
constexpr int Users = 100;
constexpr int Categories = 30;
constexpr int RightsPerCategory = 10;
constexpr int Rights = Categories * RightsPerCategory;
constexpr int ChecksPerLogon = 600; // every right twice, as two idle passes ask them
const QByteArray Password = QByteArrayLiteral("secret");
const QString StoreKey = u"\\Software\\Rightsmith\\Bench\\Shared"_s;

QString address; // the server's connection string
QString skipReason; // why no server could be started
QString registries; // the folder of the workstations' local registries
QString serverDir; // the server's folder

double ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

QByteArray userName(int i)
{
    return "User" + QByteArray::number(i);
}

// Runs tests/support/pgserver.sh \a command for \a dir: its exit code (-1
// when it crashed or hung), \a output what it printed; \a more: its further arguments.
int pgserver(const QString &command, const QString &dir, QString *output = nullptr,
             const QStringList &more = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(u"sh"_s,
                  QStringList {QStringLiteral(RIGHTSMITH_SOURCE_DIR "/tests/support/pgserver.sh"),
                               command, dir}
                      + more);
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished();
    if (output)
        *output = QString::fromUtf8(process.readAll()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The user template: Users users, each with the password and every one of
// Rights rights (identifiers 1 to Rights, in Categories categories) granted.
QByteArray userTemplateStream(int userCount = Users)
{
    TzkSecurityTemplate rights;
    TzkNodeRecord record;
    TreeNode *root = rights.addChild(nullptr, QByteArrayLiteral("User"));
    root->setData(record);
    for (int c = 0; c < Categories; ++c) {
        TreeNode *category = rights.addChild(root, "Category " + QByteArray::number(c));
        record.setCaption(category->text());
        category->setData(record);
        for (int r = 0; r < RightsPerCategory; ++r) {
            TreeNode *right = rights.addChild(category, "Right " + QByteArray::number(r));
            record.SecurityId = c * RightsPerCategory + r + 1;
            record.setCaption(right->text());
            right->setData(record);
            record.SecurityId = 0;
        }
    }
    TzkSecurityTemplate users;
    const QByteArray scrambled = zkCript::TCripter::Scramble(Password);
    for (int i = 0; i < userCount; ++i)
        users.AddUserToUserTemplate(&rights, userName(i), scrambled, true);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    users.SaveToStreamSecurity(buffer);
    return buffer.data();
}

// True, the benchmark skipped, when no server could be started.
bool noServer(benchmark::State &state)
{
    if (!skipReason.isEmpty())
        state.SkipWithError(qPrintable(skipReason));
    return !skipReason.isEmpty();
}

// Replaces \a tree by the template stream \a bytes.
void read(TzkSecurityTemplate &tree, QByteArray bytes)
{
    QBuffer stream(&bytes);
    stream.open(QIODevice::ReadOnly);
    tree.LoadFromStreamSecurity(stream);
}

// Calls \a f for every leaf below \a node, depth-first in child order.
template<typename Node, typename F> void forEachLeaf(Node *node, F f)
{
    std::vector<Node *> pending;
    if (node)
        pending.push_back(node);
    while (!pending.empty()) {
        node = pending.back();
        pending.pop_back();
        for (int i = node->count() - 1; i >= 0; --i)
            pending.push_back(node->item(i));
        if (!node->hasChildren() && node->data())
            f(node);
    }
}

// What CheckId answers for one user, indexed as the security component
// indexes it: the first leaf with an identifier decides, granted when its
// text ends in its first " (Yes)".
class RightsOf
{
public:
    RightsOf(const TzkSecurityTemplate &users, const QByteArray &name)
    {
        forEachLeaf(static_cast<const TreeNode *>(users.firstTopLevel(name)),
                    [this](const TreeNode *leaf) {
                        const qsizetype at = leaf->text().indexOf(" (Yes)");
                        m_granted.try_emplace(leaf->data()->SecurityId,
                                              at >= 0 && at + 6 == leaf->text().size());
                    });
    }
    bool check(qint32 id) const
    {
        const auto it = m_granted.find(id);
        return it != m_granted.end() && it->second;
    }

private:
    std::unordered_map<qint32, bool> m_granted;
};

// Runs body(i) for \a count workstations, each in a thread of its own, all
// released at once, then \a released in this thread; returns when all have
// finished. The first error of any of them is thrown.
template<typename Body>
void concurrently(int count, Body body, const std::function<void()> &released)
{
    std::latch ready(count);
    std::latch go(1);
    std::vector<QString> errors(size_t(count) + 1);
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([&, i] {
                ready.count_down();
                go.wait();
                try {
                    body(i);
                } catch (const rightsmith::toolkit::Error &error) {
                    errors[size_t(i)] = error.message();
                }
            });
        }
        ready.wait();
        go.count_down();
        try {
            released();
        } catch (const rightsmith::toolkit::Error &error) {
            errors.back() = error.message();
        }
    }
    for (const QString &error : errors) {
        if (!error.isEmpty())
            throw rightsmith::toolkit::Error(error);
    }
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(p * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

// One logon of workstation \a settings as \a name: the user template read from
// the server (and its local copy written), the password checked, and the
// rights asked as the protected actions of a program ask them.
void logOn(const UserStoreSettings &settings, const QByteArray &name)
{
    UserStore store;
    TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray remembered;
    store.load(settings, users, lastUsers, remembered);
    if (store.state() != UserStore::State::Loaded || store.readOnly())
        throw rightsmith::toolkit::Error(u"not loaded from the server: "_s + store.problem());
    const LogonCheck::Result result = LogonCheck(settings).check(users, name, Password);
    if (result.verdict != LogonCheck::Verdict::Accepted)
        throw rightsmith::toolkit::Error(u"logon refused: "_s + result.problem);
    const RightsOf rights(users, name);
    bool all = true;
    for (int i = 0; i < ChecksPerLogon; ++i)
        all = rights.check(i % Rights + 1) && all;
    if (!all)
        throw rightsmith::toolkit::Error(u"a right is denied"_s);
}

// range(0) workstations log on at once, each as its own user with its own
// local registry; the time is until the last one is logged on.
void logons(benchmark::State &state, bool hardened)
{
    if (noServer(state))
        return;
    const int count = int(state.range(0));
    std::vector<UserStoreSettings> stations(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        UserStoreSettings &s = stations[size_t(i)];
        s.key = StoreKey;
        s.inFile = false;
        s.sharedAddress = address;
        s.databasePath = registries + u"/ws%1-%2.db"_s.arg(i).arg(hardened);
        s.hardening.throttleLogons = s.hardening.auditTrail = hardened;
    }
    std::vector<double> latencies;
    std::vector<double> round(static_cast<size_t>(count));
    Clock::time_point start;
    const auto logOnAll = [&] {
        concurrently(
            count,
            [&](int i) {
                const auto begun = Clock::now();
                logOn(stations[size_t(i)], userName(i));
                round[size_t(i)] = ms(Clock::now() - begun);
            },
            [&] { start = Clock::now(); });
    };
    try {
        logOnAll(); // the first start of each workstation makes its registry
        for (auto _ : state) {
            logOnAll();
            state.SetIterationTime(ms(Clock::now() - start) / 1000);
            latencies.insert(latencies.end(), round.begin(), round.end());
        }
    } catch (const rightsmith::toolkit::Error &error) {
        state.SkipWithError(qPrintable(error.message()));
        return;
    }
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["max_ms"] = percentile(latencies, 1);
    state.counters["logons"] = double(latencies.size());
}

// What a desk read, where the store keeps its users as rows; nothing where
// it keeps the whole template (the same benchmark builds against either).
template<typename S>
concept KeepsRows = requires
{
    typename S::Rows;
};
template<typename S> struct RowsOf
{
    struct type
    {
    };
};
template<KeepsRows S> struct RowsOf<S>
{
    using type = typename S::Rows;
};
using Rows = RowsOf<SharedStore>::type;

// A desk's first load of \a key into \a tree.
template<typename S>
void loadInto(S &store, const QString &key, TzkSecurityTemplate &tree, Rows &rows)
{
    const auto stored = store.load(key);
    read(tree, stored.stream);
    if constexpr (KeepsRows<S>) {
        rows = stored.rows;
        rows.loadedInto(tree);
    }
}

// What a desk does when told of a save: only what changed where it can.
template<typename S>
void refresh(S &store, const QString &key, TzkSecurityTemplate &tree, Rows &rows)
{
    if constexpr (KeepsRows<S>) {
        if (store.update(key, rows, tree).applied)
            return;
    }
    loadInto(store, key, tree, rows);
}

// A save of \a tree as the user management dialog's save sends it.
template<typename S>
bool saveFrom(S &store, const QString &key, TzkSecurityTemplate &tree, Rows &rows, qint64 &version)
{
    if constexpr (KeepsRows<S>) {
        return store.save(key, tree, rows, &version, {}) == SharedStore::SaveResult::Saved;
    } else {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        tree.SaveToStreamSecurity(out);
        return store.save(key, out.data(), version, &version) == SharedStore::SaveResult::Saved;
    }
}

// Revokes (or grants again) right \a id of \a name, as the user management dialog does.
void toggle(TzkSecurityTemplate &users, const QByteArray &name, qint32 id)
{
    forEachLeaf(users.firstTopLevel(name), [&](TreeNode *leaf) {
        if (leaf->data()->SecurityId != id)
            return;
        const bool granted = leaf->text().endsWith(" (Yes)");
        leaf->setText(leaf->text().chopped(granted ? 6 : 5) + (granted ? " (No)" : " (Yes)"));
        leaf->editData()->setGranted(!granted);
    });
}

// The server's processes: the postmaster and its children.
std::vector<int> serverProcesses()
{
    std::ifstream pidFile((serverDir + u"/data/postmaster.pid"_s).toStdString());
    int postmaster = 0;
    pidFile >> postmaster;
    std::vector<int> pids {postmaster};
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.value(1).toInt() == postmaster)
            pids.push_back(pid);
    }
    return pids;
}

// CPU time (user and system) of \a pids, in milliseconds.
double cpuMs(const std::vector<int> &pids)
{
    double ticks = 0;
    for (const int pid : pids) {
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        ticks += fields.value(11).toDouble() + fields.value(12).toDouble();
    }
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// Bytes the server sent on the TCP connection of socket \a fd so far.
double received(int fd)
{
    tcp_info info {};
    socklen_t size = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return 0;
    return double(info.tcpi_bytes_received);
}

double received(const std::vector<std::unique_ptr<SharedStore>> &stores)
{
    double bytes = 0;
    for (const auto &store : stores)
        bytes += received(store->socket());
    return bytes;
}

// range(0) desks, each with a listening connection of its own and the users
// read; one more connection revokes a right of User0 and saves. Every desk
// waits on its socket for the notification, brings its users up to date
// (only what changed, where the store keeps rows) and checks that the right
// is denied. The time is until the last one has; also what the server sent
// each desk and the server's CPU time, per change.
void changeReachesAll(benchmark::State &state)
{
    if (noServer(state))
        return;
    const int desks = int(state.range(0));
    // Time points, read by this thread only after the desks have finished.
    std::vector<Clock::time_point> arrived(static_cast<size_t>(desks)),
        reloaded(static_cast<size_t>(desks));
    std::vector<double> allArrived, allReloaded, lasts, saves, sent, serverCpu;
    try {
        std::vector<std::unique_ptr<SharedStore>> listeners;
        std::vector<std::unique_ptr<TzkSecurityTemplate>> trees;
        std::vector<Rows> read(static_cast<size_t>(desks));
        for (int i = 0; i < desks; ++i) {
            listeners.push_back(SharedStore::connect(address));
            listeners.back()->listen();
            trees.push_back(std::make_unique<TzkSecurityTemplate>());
            loadInto(*listeners.back(), StoreKey, *trees.back(), read[size_t(i)]);
        }
        const std::vector<int> server = serverProcesses();
        const auto writer = SharedStore::connect(address);
        TzkSecurityTemplate users;
        Rows rows;
        loadInto(*writer, StoreKey, users, rows);
        qint64 version = writer->version(StoreKey);
        qint32 revoked = 0;

        for (auto _ : state) {
            revoked = revoked % Rights + 1;
            toggle(users, userName(0), revoked);
            const bool denied = !RightsOf(users, userName(0)).check(revoked);
            const double cpuBefore = cpuMs(server);
            const double sentBefore = received(listeners);
            Clock::time_point start;
            concurrently(
                desks,
                [&](int i) {
                    SharedStore &store = *listeners[size_t(i)];
                    pollfd socket {store.socket(), POLLIN, 0};
                    while (!store.takeNotifications().contains(StoreKey, Qt::CaseInsensitive)) {
                        if (poll(&socket, 1, 20000) <= 0)
                            throw rightsmith::toolkit::Error(u"no notification"_s);
                    }
                    arrived[size_t(i)] = Clock::now();
                    TzkSecurityTemplate &tree = *trees[size_t(i)];
                    refresh(store, StoreKey, tree, read[size_t(i)]);
                    if (RightsOf(tree, userName(0)).check(revoked) == denied)
                        throw rightsmith::toolkit::Error(u"the change is not in force"_s);
                    reloaded[size_t(i)] = Clock::now();
                },
                [&] {
                    // The desks are idle, waiting on their sockets, when it is saved.
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    start = Clock::now();
                    if (!saveFrom(*writer, StoreKey, users, rows, version))
                        throw rightsmith::toolkit::Error(u"save refused"_s);
                    saves.push_back(ms(Clock::now() - start));
                });
            serverCpu.push_back(cpuMs(server) - cpuBefore);
            sent.push_back((received(listeners) - sentBefore) / desks);
            double last = 0;
            for (int i = 0; i < desks; ++i) {
                allArrived.push_back(ms(arrived[size_t(i)] - start));
                allReloaded.push_back(ms(reloaded[size_t(i)] - start));
                last = std::max(last, allReloaded.back());
            }
            lasts.push_back(last);
            state.SetIterationTime(last / 1000);
        }
    } catch (const rightsmith::toolkit::Error &error) {
        state.SkipWithError(qPrintable(error.message()));
        return;
    }
    state.counters["save_ms"] = percentile(saves, 0.5);
    state.counters["bytes_per_desk"] = percentile(sent, 0.5);
    state.counters["server_cpu_ms"] = percentile(serverCpu, 0.5);
    state.counters["arrived_median_ms"] = percentile(allArrived, 0.5);
    state.counters["arrived_max_ms"] = percentile(allArrived, 1);
    state.counters["reloaded_median_ms"] = percentile(allReloaded, 0.5);
    state.counters["last_desk_ms"] = percentile(lasts, 0.5);
}

// The store key of the template of range(0) users.
QString bigKey(int users)
{
    return StoreKey + u"\\%1"_s.arg(users);
}

// Stores the template of range(0) users once, with a connection of its own.
void storeBig(int users)
{
    static std::vector<int> stored;
    if (std::find(stored.begin(), stored.end(), users) != stored.end())
        return;
    const QByteArray stream = userTemplateStream(users);
    if (SharedStore::connect(address)->save(bigKey(users), stream, 0)
        != SharedStore::SaveResult::Saved)
        throw rightsmith::toolkit::Error(u"the template was not stored"_s);
    std::printf("%d users: %lld bytes\n", users, qlonglong(stream.size()));
    stored.push_back(users);
}

// Times \a step (given the number of users) once per iteration, with the
// template of range(0) users stored; \a prepare runs first, untimed.
void timedWithUsers(benchmark::State &state, const std::function<void(int)> &prepare,
                    const std::function<void(int)> &step)
{
    if (noServer(state))
        return;
    const int users = int(state.range(0));
    std::vector<double> times;
    try {
        storeBig(users);
        prepare(users);
        for (auto _ : state) {
            const auto start = Clock::now();
            step(users);
            times.push_back(ms(Clock::now() - start));
            state.SetIterationTime(times.back() / 1000);
        }
    } catch (const rightsmith::toolkit::Error &error) {
        state.SkipWithError(qPrintable(error.message()));
        return;
    }
    state.counters["median_ms"] = percentile(times, 0.5);
}

// A save of one user's change (a right revoked, then granted again) at a
// desk that read range(0) users, as the user management dialog's save sends
// it: the time from the tree to the answer.
void saveOneUser(benchmark::State &state)
{
    std::unique_ptr<SharedStore> desk;
    TzkSecurityTemplate tree;
    Rows rows;
    qint64 version = 0;
    qint32 id = 0;
    timedWithUsers(
        state,
        [&](int users) {
            desk = SharedStore::connect(address);
            loadInto(*desk, bigKey(users), tree, rows);
            version = desk->version(bigKey(users));
            id = id % Rights + 1;
            toggle(tree, userName(users / 2), id);
        },
        [&](int users) {
            if (!saveFrom(*desk, bigKey(users), tree, rows, version))
                throw rightsmith::toolkit::Error(u"save refused"_s);
            id = id % Rights + 1;
            toggle(tree, userName(users / 2), id);
        });
}

// The same change saved as the component's SaveUsers saves it, at a desk on
// the shared store that read range(0) users: the store's whole save, the
// server's part and the desk's local copy of the users together.
void saveOneUserAtDesk(benchmark::State &state)
{
    UserStoreSettings settings;
    UserStore store;
    TzkSecurityTemplate tree;
    QList<QByteArray> lastUsers;
    QByteArray remembered;
    qint32 id = 0;
    timedWithUsers(
        state,
        [&](int users) {
            settings.key = bigKey(users);
            settings.inFile = false;
            settings.sharedAddress = address;
            settings.databasePath = registries + u"/desk-%1.db"_s.arg(users);
            store.load(settings, tree, lastUsers, remembered);
            if (store.state() != UserStore::State::Loaded || store.readOnly())
                throw rightsmith::toolkit::Error(u"not loaded: "_s + store.problem());
            id = id % Rights + 1;
            toggle(tree, userName(users / 2), id);
        },
        [&](int users) {
            const UserStore::SaveResult saved =
                store.trySave(settings, tree, lastUsers, remembered, nullptr);
            if (!saved.saved())
                throw rightsmith::toolkit::Error(u"save refused: "_s + saved.message);
            id = id % Rights + 1;
            toggle(tree, userName(users / 2), id);
        });
}

// A desk's first load of range(0) users: connected, read, in its tree.
void firstLoad(benchmark::State &state)
{
    timedWithUsers(
        state, [](int) {},
        [](int users) {
            const auto desk = SharedStore::connect(address);
            TzkSecurityTemplate tree;
            Rows rows;
            loadInto(*desk, bigKey(users), tree, rows);
        });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Short (a Unix socket's path is limited) and searchable by the server's
    // user; the workstations' registries lie beside the server's folder.
    QTemporaryDir scratch(u"/tmp/rsXXXXXX"_s);
    QFile::setPermissions(scratch.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    registries = scratch.path();
    const QString dir = scratch.path() + u"/server"_s;
    QString output;
    // A connection for each of the most desks, and a few more.
    qputenv("PGSERVER_MAX_CONNECTIONS", QByteArray::number(MostDesks + 20));
    serverDir = dir;
    // Over TCP, which counts what each desk is sent.
    const QString port = QString::number(20000 + getpid() % 20000);
    const int started = pgserver(u"start"_s, dir, &output, {port, u"127.0.0.1"_s});
    if (started == 77) {
        skipReason = output;
        std::printf("%s\n", qPrintable(skipReason));
    } else if (started != 0) {
        std::fprintf(stderr, "pgserver.sh start failed: %s\n", qPrintable(output));
        return 1;
    } else {
        address = u"host=127.0.0.1 port=%1 dbname=rightsmith user=postgres"_s.arg(port);
    }
    const auto stop = qScopeGuard([&] {
        if (!address.isEmpty() && pgserver(u"stop"_s, dir) != 0)
            std::fprintf(stderr, "pgserver.sh stop failed\n");
    });
    try {
        if (!address.isEmpty()) {
            const auto store = SharedStore::connect(address);
            store->initSchema();
            const QByteArray stream = userTemplateStream();
            store->save(StoreKey, stream, 0);
            std::printf("user template: %d users of %d rights, %lld bytes\n", Users, Rights,
                        qlonglong(stream.size()));
        }
    } catch (const rightsmith::toolkit::Error &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    // One workstation alone, for comparison, then all of them at once.
    for (const bool hardened : {false, true}) {
        benchmark::RegisterBenchmark(hardened ? "logon/hardened" : "logon", logons, hardened)
            ->ArgName("workstations")
            ->Arg(1)
            ->Arg(Workstations)
            ->Iterations(3)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    const struct
    {
        const char *name;
        void (*run)(benchmark::State &);
        const char *argument;
        int small, large;
    } sized[] = {
        {"change/reachesAll", changeReachesAll, "desks", Workstations, MostDesks},
        {"save/oneUser", saveOneUser, "users", 1000, 10000},
        {"save/oneUserAtDesk", saveOneUserAtDesk, "users", 1000, 10000},
        {"load/first", firstLoad, "users", 1000, 10000},
    };
    for (const auto &b : sized) {
        benchmark::RegisterBenchmark(b.name, b.run)
            ->ArgName(b.argument)
            ->Arg(b.small)
            ->Arg(b.large)
            ->Iterations(3)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
