// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// `rightsmith-users list` on a store of many users of 300 rights each, run as
// the process an administrator runs: its wall time, and its peak resident
// memory from the kernel's accounting of the child. The tool is the one built
// beside this benchmark, or the one RIGHTSMITH_USERS_TOOL names (to measure
// another build against the same stores):
//   build-bench/bench/bench_userslist --benchmark_repetitions=3
//   --benchmark_report_aggregates_only=true
#include "benchusers.h"
#include "security/store/userstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const QString RegistryKey = QStringLiteral("\\Software\\RightsmithBench\\Registry");
const QString FileKey = QStringLiteral("\\Software\\RightsmithBench\\File");

// Saves \a users users in registry mode and, under another key, in a file.
void makeStores(int users)
{
    benchusers::TzkSecurityTemplate tmpl;
    benchusers::addUsers(tmpl, users);
    for (const bool inFile : {false, true}) {
        zkSecurity::UserStoreSettings settings;
        settings.key = inFile ? FileKey : RegistryKey;
        settings.inFile = inFile;
        settings.fileName = QDir::current().absoluteFilePath(QStringLiteral("UserTemplate"));
        zkSecurity::UserStore store;
        if (!store.trySave(settings, tmpl, {}, {}).saved())
            qFatal("the store could not be written");
    }
}

std::string toolPath()
{
    const QByteArray given = qgetenv("RIGHTSMITH_USERS_TOOL");
    return given.isEmpty() ? std::string(RIGHTSMITH_USERS_TOOL) : given.toStdString();
}

// Runs the tool's list once, its output thrown away; its peak resident
// memory in bytes, or -1 when it failed.
long runList(bool inFile)
{
    std::vector<std::string> args {toolPath(), "list", "--key",
                                   (inFile ? FileKey : RegistryKey).toStdString()};
    if (inFile)
        args.insert(args.end(), {"--file", "UserTemplate"});
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    struct rusage usage
    {
    };
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss * 1024L;
}

void listUsers(benchmark::State &state)
{
    static int made = -1;
    if (made != state.range(0)) {
        // Made by a child that then exits: the tool is started from a small
        // process, whose size the kernel would count in the tool's peak.
        const pid_t maker = fork();
        if (maker == 0) {
            makeStores(int(state.range(0)));
            _exit(0);
        }
        int status = 0;
        if (maker < 0 || waitpid(maker, &status, 0) != maker || status != 0) {
            state.SkipWithError("the stores could not be made");
            return;
        }
        made = int(state.range(0));
    }
    long peak = 0;
    for (auto _ : state) {
        const long bytes = runList(state.range(1) != 0);
        if (bytes < 0) {
            state.SkipWithError("rightsmith-users list failed");
            return;
        }
        peak = qMax(peak, bytes);
    }
    state.counters["peak_MB"] = double(peak) / (1 << 20);
}

} // namespace

int main(int argc, char **argv)
{
    // The stores live in a scratch home, which the tool finds through the
    // same environment.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(home.path());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("list", listUsers)
        ->ArgNames({"users", "file"})
        ->Args({3000, 0})
        ->Args({3000, 1})
        ->Args({100, 0})
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
