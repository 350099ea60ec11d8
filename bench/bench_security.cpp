// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The costs that grow with the organisation: the rights check every protected
// action makes on every idle pass, adding a user, building the security
// template from clients, reading and writing template streams, and saving the
// users through the store. Each is reported next to what it is measured
// against: the walk the rights check answers like, a hash lookup, memcpy, or
// a plain QSaveFile write of the same bytes. Run from a RelWithDebInfo build:
//   build/bench/bench_security --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "benchusers.h"
#include "dialogs/installwidgets.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/passwordhash.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/imagelist.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>
#include <unordered_map>

using namespace zkSecurity;
using namespace benchusers;
using namespace Qt::StringLiterals;

namespace {

const QByteArray Target = QByteArrayLiteral("Target");

// One component for the whole run (a program has one), logged on as Target.
TzkSecurity &component()
{
    static TzkSecurity *security = [] {
        auto *s = new TzkSecurity;
        s->SetOptions(s->Options().without(soSaveUsersInFile));
        s->Dialogs()->SetSecurity(s);
        s->UserTemplate()->AddUserToUserTemplate(
            const_cast<TzkSecurityTemplate *>(&securityTemplate()), Target, {}, true);
        if (!s->Logon(Target, {}, true))
            qFatal("silent logon failed");
        return s;
    }();
    return *security;
}

// The logged-on user among \a users users of 300 rights each, first or last.
// Kept between benchmarks of the same shape: a large template takes seconds.
void shapeUsers(int users, bool targetFirst)
{
    static int shapedUsers = -1;
    static bool shapedFirst = false;
    if (shapedUsers == users && shapedFirst == targetFirst)
        return;
    TzkSecurityTemplate &tmpl = *component().UserTemplate();
    tmpl.ClearTemplate();
    auto *rights = const_cast<TzkSecurityTemplate *>(&securityTemplate());
    if (targetFirst)
        tmpl.AddUserToUserTemplate(rights, Target, {}, true);
    addUsers(tmpl, users - 1);
    if (!targetFirst)
        tmpl.AddUserToUserTemplate(rights, Target, {}, true);
    shapedUsers = users;
    shapedFirst = targetFirst;
}

// The rights check as a plain walk: every node by absolute index for the
// first top-level node with the name, then depth-first for the first leaf
// with the identifier.
bool walkCheckId(const TzkSecurity &security, qint32 id)
{
    const TzkSecurityTemplate &users = *security.UserTemplate();
    TreeNode *user = nullptr;
    for (int i = 0, n = users.count(); i < n && !user; ++i) {
        TreeNode *node = users.nodeAt(i);
        if (!node->parent() && node->text() == security.CurrentUserName())
            user = node;
    }
    const TreeNode *right = user ? security.FindRightNode(user, id) : nullptr;
    if (!right)
        return false;
    const qsizetype at = right->text().indexOf(" (Yes)");
    return at >= 0 && at + 6 == right->text().size();
}

void checkIdIndexed(benchmark::State &state, bool targetFirst)
{
    shapeUsers(int(state.range(0)), targetFirst);
    const TzkSecurity &security = component();
    qint32 id = 0;
    for (auto _ : state) {
        id = id % Rights + 1;
        benchmark::DoNotOptimize(security.CheckId(id));
    }
}

void checkIdWalk(benchmark::State &state, bool targetFirst)
{
    shapeUsers(int(state.range(0)), targetFirst);
    const TzkSecurity &security = component();
    qint32 id = 0;
    for (auto _ : state) {
        id = id % Rights + 1;
        benchmark::DoNotOptimize(walkCheckId(security, id));
    }
}

void checkIdFloor(benchmark::State &state)
{
    std::unordered_map<int, bool> granted;
    for (int id = 1; id <= Rights; ++id)
        granted.emplace(id, id % 3 != 0);
    qint32 id = 0;
    for (auto _ : state) {
        id = id % Rights + 1;
        const auto it = granted.find(id);
        benchmark::DoNotOptimize(it != granted.end() && it->second);
    }
}

// Adding one user as the new-user dialog does: the name must be free, then the
// user gets a password and a copy of every right.
void addUser(benchmark::State &state)
{
    TzkSecurityTemplate users;
    addUsers(users, int(state.range(0)));
    auto *rights = const_cast<TzkSecurityTemplate *>(&securityTemplate());
    const QByteArray password = zkCript::TCripter::Scramble("secret");
    int next = int(state.range(0));
    for (auto _ : state) {
        const QByteArray name = "User" + QByteArray::number(next++);
        if (users.GetUserNodeByUserName(name))
            state.SkipWithError("name taken");
        users.AddUserToUserTemplate(rights, name, password, true);
        benchmark::DoNotOptimize(users.count());
    }
    state.counters["users"] = double(users.topLevelCount());
}

// Building the security template from client lists whose categories
// interleave: action i sits in category i % 30, below sub-category i % 7.
void buildFromClients(benchmark::State &state)
{
    TzkSecurity &security = component();
    zkActnLst::TzkActionList list;
    for (int i = 0; i < state.range(0); ++i) {
        auto *action = new zkActnLst::TzkAction(&list);
        action->setText(u"Action "_s + QString::number(i));
        action->setCategory(u"Category "_s + QString::number(i % Categories) + u"/Sub "_s
                            + QString::number(i % 7));
        action->setActionList(&list);
    }
    list.SetSecurityObject(&security);
    TzkSecurityTemplate tmpl;
    rightsmith::toolkit::ImageList images;
    for (auto _ : state)
        security.BuildSecurityTemplateFromClients(&tmpl, &images);
    list.SetSecurityObject(nullptr);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Template streams of about range(0) nodes: users of 333 nodes each.
QByteArray streamOfNodes(int nodes, TzkSecurityTemplate &tmpl)
{
    tmpl.ClearTemplate();
    addUsers(tmpl, qMax(1, nodes / (Rights + 33)));
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    tmpl.SaveToStreamSecurity(buffer);
    return buffer.data();
}

// Into a buffer of the last save (arg 1 = 0), as memcpy into memory touched
// before, or into a new one each time (1), which pays for every fresh page.
void streamSave(benchmark::State &state)
{
    TzkSecurityTemplate tmpl;
    const QByteArray bytes = streamOfNodes(int(state.range(0)), tmpl);
    const bool fresh = state.range(1) != 0;
    QBuffer reused;
    reused.open(QIODevice::ReadWrite);
    tmpl.SaveToStreamSecurity(reused);
    for (auto _ : state) {
        QBuffer buffer;
        QBuffer &target = fresh ? buffer : reused;
        if (fresh)
            buffer.open(QIODevice::ReadWrite);
        tmpl.SaveToStreamSecurity(target);
        benchmark::DoNotOptimize(target.data().constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * tmpl.count());
}

// Loading into an empty tree, as a program does at start-up; the tree is
// destroyed outside the timing.
void streamLoad(benchmark::State &state)
{
    TzkSecurityTemplate tmpl;
    const QByteArray bytes = streamOfNodes(int(state.range(0)), tmpl);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    for (auto _ : state) {
        auto loaded = std::make_unique<TzkSecurityTemplate>();
        loaded->LoadFromStreamSecurity(buffer);
        state.PauseTiming();
        loaded.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * tmpl.count());
}

// The same bytes copied, into memory touched before (arg 2 = 0) or into a
// fresh allocation each time (1), which on some machines costs more than the
// copy: every new page is a page fault.
void streamMemcpy(benchmark::State &state)
{
    TzkSecurityTemplate tmpl;
    const QByteArray bytes = streamOfNodes(int(state.range(0)), tmpl);
    const bool fresh = state.range(1) != 0;
    QByteArray copy(bytes.size(), '\0');
    for (auto _ : state) {
        if (fresh)
            copy = QByteArray(bytes.size(), Qt::Uninitialized);
        std::memcpy(copy.data(), bytes.constData(), size_t(bytes.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.SetItemsProcessed(state.iterations() * tmpl.count());
}

// SaveUsers of range(0) users through the store, in the registry (arg 1 = 0)
// or in a file (1); with a changed right each time (arg 2 = 1) or unchanged,
// as a logon of someone who changed nothing. With arg 3 = 1 the users are
// read back first, as a program does at its start: each changed save then
// keeps the user template it replaces as a backup.
void saveUsers(benchmark::State &state)
{
    TzkSecurity &security = component();
    const bool inFile = state.range(1) != 0;
    const bool changed = state.range(2) != 0;
    const bool read = state.range(3) != 0;
    security.SetOptions(inFile ? security.Options().with(soSaveUsersInFile)
                               : security.Options().without(soSaveUsersInFile));
    shapeUsers(int(state.range(0)), false);
    if (read) {
        security.SaveUsers({});
        QByteArray password;
        security.LoadUsers(password);
    }
    TreeNode *right = security.UserTemplate()->topLevel(0)->lastChild()->firstChild()->firstChild();
    const QByteArray granted = right->text();
    const QByteArray denied = granted.left(granted.size() - 6) + " (No)";
    security.SaveUsers({});
    qint64 bytes = 0;
    ::sync(); // what earlier benchmarks left to write back is not counted here
    for (auto _ : state) {
        if (changed)
            right->setText(right->text() == granted ? denied : granted);
        if (!security.SaveUsers({}))
            state.SkipWithError("not saved");
    }
    {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        security.UserTemplate()->SaveToStreamSecurity(buffer);
        bytes = buffer.size();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    security.SetOptions(security.Options().without(soSaveUsersInFile));
}

// The same bytes written whole with QSaveFile, which syncs them on commit.
void saveFileFloor(benchmark::State &state)
{
    shapeUsers(int(state.range(0)), false);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    component().UserTemplate()->SaveToStreamSecurity(buffer);
    const QByteArray bytes = buffer.data();
    ::sync();
    for (auto _ : state) {
        QSaveFile file(QStringLiteral("floor"));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            state.SkipWithError("not written");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// Checking the password of a user stored hashed at \a cost, as a logon does.
void hashedLogon(benchmark::State &state, PasswordHashCost cost)
{
    TzkNodeRecord record;
    PasswordHash::store(record, "correct horse", cost);
    for (auto _ : state) {
        if (!PasswordHash::matches(&record, "correct horse"))
            state.SkipWithError("no match");
    }
}

// The first logon after a program read its users: the read is not timed; the
// logon, with the save it ends with, is. Target's password is empty, so the
// password check is a comparison of scrambled bytes.
void firstLogon(benchmark::State &state)
{
    TzkSecurity &security = component();
    security.SetOptions(security.Options().without(soSaveUsersInFile));
    shapeUsers(int(state.range(0)), false);
    if (!security.SaveUsers({}))
        state.SkipWithError("not saved");
    double loadMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QElapsedTimer load;
        load.start();
        QByteArray password;
        if (!security.LoadUsers(password))
            state.SkipWithError("not read");
        loadMs += double(load.nsecsElapsed()) / 1e6;
        state.ResumeTiming();
        if (!security.Logon(Target, {}, true))
            state.SkipWithError("logon refused");
    }
    state.counters["load_ms"] = benchmark::Counter(loadMs, benchmark::Counter::kAvgIterations);
}

// Resident and peak memory of the process, in bytes.
struct Memory
{
    qint64 resident = 0;
    qint64 peak = 0;
};

Memory memoryNow()
{
    Memory memory;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 2)
            continue;
        if (words[0] == "VmRSS:")
            memory.resident = words[1].toLongLong() * 1024;
        else if (words[0] == "VmHWM:")
            memory.peak = words[1].toLongLong() * 1024;
    }
    return memory;
}

// Run as "--load-memory FILE file|buffer|store|registry" in a process of its
// own: loads the stream in FILE from the file itself, or from a buffer of its
// bytes held by the caller, or reads the users through the store, kept in a
// file or in the registry (what loadMemoryStore saved), and prints the node
// count, the resident bytes before and after, and the peak.
int loadMemoryChild(int argc, char **argv)
{
    const char *path = argv[2];
    const char *source = argv[3];
    const bool store = std::strcmp(source, "store") == 0 || std::strcmp(source, "registry") == 0;
    std::optional<QCoreApplication> app;
    std::optional<TzkSecurity> security;
    if (store) {
        app.emplace(argc, argv);
        security.emplace();
        security->SetOptions(std::strcmp(source, "store") == 0
                                 ? security->Options().with(soSaveUsersInFile)
                                 : security->Options().without(soSaveUsersInFile));
    }
    const Memory before = memoryNow();
    TzkSecurityTemplate tmpl;
    if (store) {
        QByteArray password;
        if (!security->LoadUsers(password))
            return 1;
        const Memory after = memoryNow();
        std::printf("%d %lld %lld %lld\n", security->UserTemplate()->count(),
                    qint64(before.resident), qint64(after.resident), qint64(after.peak));
        return 0;
    }
    {
        QFile file(QFile::decodeName(path));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        if (std::strcmp(source, "file") == 0) {
            tmpl.LoadFromStreamSecurity(file);
        } else {
            QBuffer buffer;
            buffer.setData(file.readAll());
            buffer.open(QIODevice::ReadOnly);
            tmpl.LoadFromStreamSecurity(buffer);
        }
    }
    const Memory after = memoryNow();
    std::printf("%d %lld %lld %lld\n", tmpl.count(), qint64(before.resident),
                qint64(after.resident), qint64(after.peak));
    return 0;
}

// Runs the load-memory child reading \a path from \a source and reports its figures.
void measureLoadMemory(benchmark::State &state, const QString &path, const char *source)
{
    double nodes = 0;
    double resident = 0;
    double peak = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--load-memory"_s, path, QString::fromLatin1(source)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            state.SkipWithError("child failed");
            break;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 4) {
            state.SkipWithError("no figures");
            break;
        }
        nodes = figures[0].toDouble();
        resident = figures[2].toDouble() - figures[1].toDouble();
        peak = figures[3].toDouble() - figures[1].toDouble();
    }
    state.counters["nodes"] = nodes;
    state.counters["resident_per_node"] = resident / nodes;
    state.counters["peak_per_node"] = peak / nodes;
    state.counters["peak_to_resident"] = peak / resident;
}

// The memory a load of range(0) users of 300 rights takes, from a file (arg 1
// = 0) or from the stream's bytes held in memory by the caller (1), measured
// in a fresh process.
void loadMemory(benchmark::State &state)
{
    const int users = int(state.range(0));
    const QString path = u"users-"_s + QString::number(users) + u".stream"_s;
    if (!QFile::exists(path)) {
        TzkSecurityTemplate tmpl;
        addUsers(tmpl, users);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            state.SkipWithError("not written");
        tmpl.SaveToStreamSecurity(file);
    }
    measureLoadMemory(state, path, state.range(1) ? "buffer" : "file");
}

// The memory LoadUsers takes to read range(0) users of 300 rights through the
// store, kept in a file (arg 1 = 1) or in the registry (0), in a fresh process.
void loadMemoryStore(benchmark::State &state)
{
    TzkSecurity &security = component();
    const bool inFile = state.range(1) != 0;
    security.SetOptions(inFile ? security.Options().with(soSaveUsersInFile)
                               : security.Options().without(soSaveUsersInFile));
    shapeUsers(int(state.range(0)), false);
    if (!security.SaveUsers({}))
        state.SkipWithError("not saved");
    security.SetOptions(security.Options().without(soSaveUsersInFile));
    measureLoadMemory(state, QString(), inFile ? "store" : "registry");
}

void registerAll()
{
    for (int users : {1, 10, 100, 1000, 10000}) {
        for (bool first : {true, false}) {
            const std::string where = first ? "first" : "last";
            benchmark::RegisterBenchmark(("checkId/index/" + where).c_str(), checkIdIndexed, first)
                ->Arg(users);
            benchmark::RegisterBenchmark(("checkId/walk/" + where).c_str(), checkIdWalk, first)
                ->Arg(users);
        }
    }
    benchmark::RegisterBenchmark("checkId/unordered_map", checkIdFloor);
    benchmark::RegisterBenchmark("addUser", addUser)->Arg(10)->Arg(1000)->Arg(3000);
    benchmark::RegisterBenchmark("buildFromClients", buildFromClients)
        ->Arg(1000)
        ->Arg(3000)
        ->Arg(6000)
        ->Arg(12000)
        ->Arg(24000)
        ->Unit(benchmark::kMillisecond);
    for (int nodes : {1000, 10000, 100000, 1000000}) {
        benchmark::RegisterBenchmark("stream/save", streamSave)
            ->ArgNames({"nodes", "fresh"})
            ->Args({nodes, 0})
            ->Args({nodes, 1});
        benchmark::RegisterBenchmark("stream/load", streamLoad)->Arg(nodes);
        benchmark::RegisterBenchmark("stream/memcpy", streamMemcpy)
            ->ArgNames({"nodes", "fresh"})
            ->Args({nodes, 0})
            ->Args({nodes, 1});
    }
    benchmark::RegisterBenchmark("saveUsers", saveUsers)
        ->ArgNames({"users", "file", "changed", "read"})
        ->Args({3000, 0, 1, 0})
        ->Args({3000, 1, 1, 0})
        ->Args({3000, 0, 0, 0})
        ->Args({3000, 1, 0, 0})
        ->Args({3000, 0, 1, 1})
        ->Args({3000, 1, 1, 1})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("saveUsers/QSaveFile", saveFileFloor)
        ->Arg(3000)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("firstLogon", firstLogon)
        ->Arg(10000)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("loadMemory", loadMemory)
        ->ArgNames({"users", "buffer"})
        ->Args({10000, 0})
        ->Args({10000, 1})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("loadMemory/store", loadMemoryStore)
        ->ArgNames({"users", "file"})
        ->Args({10000, 0})
        ->Args({10000, 1})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("hashedLogon/recommended", hashedLogon,
                                 PasswordHashCost::recommended())
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("hashedLogon/minimum", hashedLogon, PasswordHashCost::minimum())
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--load-memory") == 0)
        return loadMemoryChild(argc, argv);
    // Logons and saves write the store: keep it in a scratch home.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(home.path());
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    // A logon needs the dialogs installed, even one that shows none.
    rightsmith::installWidgets();
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
