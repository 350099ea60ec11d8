// The costs that grow with the user template: the rights check every
// protected action makes on every idle pass, and reading and writing the
// stored user template. Run by hand:
//   build/bench/bench_security --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "security/tzksecurity.h"
#include "security/tzksecuritydialogs.h"
#include "security/tzksecuritytemplate.h"
#include "tests/security/demotemplate.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using zkSecurity::TzkSecurity;

QByteArray userName(int i)
{
    return QByteArrayLiteral("User") + QByteArray::number(i);
}

// A component whose user template holds "Supervisor" and \a users more users
// over the demo's security template, logged on as the last of them.
void fill(TzkSecurity &security, int users)
{
    demotemplate::build(*security.SecurityTemplate());
    security.UserTemplate()->AddUserToUserTemplate(security.SecurityTemplate(),
                                                   QByteArrayLiteral("Supervisor"), {}, true);
    for (int i = 0; i < users; ++i)
        security.UserTemplate()->AddUserToUserTemplate(security.SecurityTemplate(), userName(i), {},
                                                       true);
    security.SetOptions(security.Options().without(zkSecurity::soSaveUsersInFile));
    security.Dialogs()->SetSecurity(&security);
    const QByteArray last = users > 0 ? userName(users - 1) : QByteArrayLiteral("Supervisor");
    if (!security.Logon(last, {}, true))
        qFatal("silent logon failed");
}

// One idle pass of the demo's frame: 18 protected actions ask their right.
void checkIdPass(benchmark::State &state)
{
    TzkSecurity security;
    fill(security, int(state.range(0)));
    static constexpr qint32 ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 31, 36};
    for (auto _ : state) {
        int granted = 0;
        for (qint32 id : ids)
            granted += security.CheckId(id) ? 1 : 0;
        benchmark::DoNotOptimize(granted);
    }
    state.SetItemsProcessed(state.iterations() * qint64(std::size(ids)));
}
BENCHMARK(checkIdPass)->Arg(0)->Arg(10)->Arg(100);

void saveUserTemplate(benchmark::State &state)
{
    TzkSecurity security;
    fill(security, int(state.range(0)));
    QByteArray bytes;
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadWrite);
        security.UserTemplate()->SaveToStreamSecurity(buffer);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(saveUserTemplate)->Arg(1)->Arg(10)->Arg(100);

void loadUserTemplate(benchmark::State &state)
{
    TzkSecurity security;
    fill(security, int(state.range(0)));
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadWrite);
        security.UserTemplate()->SaveToStreamSecurity(buffer);
    }
    zkSecurity::TzkSecurityTemplate tree;
    for (auto _ : state) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        tree.LoadFromStreamSecurity(buffer);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(loadUserTemplate)->Arg(1)->Arg(10)->Arg(100);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    // Logons write the store: keep it in a scratch home.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(home.path());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
