// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// What the idle update pass costs with many protected actions: a pass where
// nothing changed, a pass right after the rights changed (the change itself
// not timed), the same over plain actions, the floor of merely touching the
// actions a change turns (with their values as they are, and turned), and the
// CPU an idle window with a blinking cursor burns. Run by hand from a
// RelWithDebInfo build:
//   build-bench/bench/bench_idlepass --benchmark_repetitions=3
//   --benchmark_report_aggregates_only=true
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "dialogs/installwidgets.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/widgets/idleupdater.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <benchmark/benchmark.h>

#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

using rightsmith::toolkit::Action;
using rightsmith::toolkit::IdleUpdater;
using zkSecurity::TzkSecurity;

constexpr int ActionsPerMenu = 100;
constexpr int ToolBarActions = 10;

QByteArray userName(int i)
{
    return QByteArrayLiteral("User") + QByteArray::number(i);
}

QByteArray commandText(int i)
{
    return QByteArrayLiteral("Command ") + QByteArray::number(i);
}

// A security template "User" > "Category k" > "Command i" (SecurityId i + 1),
// a user template with \a users users who hold every right, the last one
// logged on, and \a count actions (protected ones unless \a plain) in the
// menus of a shown main window, the first few on its tool bar too.
struct Fixture
{
    TzkSecurity security;
    QMainWindow window;
    zkActnLst::TzkActionList *list = nullptr;
    QList<QAction *> actions;
    zkSecurity::TreeNode *toggledRight = nullptr;
    QLineEdit *edit = nullptr;

    Fixture(int count, int users, bool plain)
    {
        zkSecurity::TzkSecurityTemplate &rights = *security.SecurityTemplate();
        const auto addNode = [&rights](zkSecurity::TreeNode *parent, const QByteArray &text,
                                       qint32 id) {
            zkSecurity::TreeNode *node = rights.addChild(parent, text);
            auto record = std::make_unique<zkSecurity::TzkNodeRecord>();
            record->SecurityId = id;
            if (parent)
                record->setCaption(text);
            node->setData(std::move(record));
            return node;
        };
        zkSecurity::TreeNode *root = addNode(nullptr, QByteArrayLiteral("User"), 0);
        zkSecurity::TreeNode *category = nullptr;
        for (int i = 0; i < count; ++i) {
            if (i % ActionsPerMenu == 0)
                category = addNode(root, "Category " + QByteArray::number(i / ActionsPerMenu), 0);
            addNode(category, commandText(i), i + 1);
        }
        for (int u = 0; u < users; ++u)
            security.UserTemplate()->AddUserToUserTemplate(&rights, userName(u), {}, true);
        security.SetOptions(security.Options().without(zkSecurity::soSaveUsersInFile));
        security.Dialogs()->SetSecurity(&security);
        if (!security.Logon(userName(users - 1), {}, true))
            qFatal("silent logon failed");
        toggledRight = security.FindRightNode(
            security.UserTemplate()->GetUserNodeByUserName(userName(users - 1)), count);

        list = new zkActnLst::TzkActionList(&window);
        list->SetSecurityObject(&security);
        QToolBar *toolBar = window.addToolBar(QStringLiteral("Tools"));
        QMenu *menu = nullptr;
        for (int i = 0; i < count; ++i) {
            if (i % ActionsPerMenu == 0)
                menu = window.menuBar()->addMenu(QStringLiteral("Menu %1").arg(i / ActionsPerMenu));
            Action *action = nullptr;
            if (plain) {
                action = new Action(&window);
            } else {
                auto *protectedAction = new zkActnLst::TzkAction(&window);
                protectedAction->setSecurityId(i + 1);
                action = protectedAction;
            }
            action->setText(QString::fromLatin1(commandText(i)));
            action->setActionList(list);
            action->setOnExecute([](Action *) {});
            menu->addAction(action);
            if (i < ToolBarActions)
                toolBar->addAction(action);
            actions.append(action);
        }
        edit = new QLineEdit(&window);
        window.setCentralWidget(edit);
        window.show();
        window.activateWindow();
        edit->setFocus();
        settle();
    }

    ~Fixture() { settle(); }

    // Lets the shown window and the first passes come to rest.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            IdleUpdater::runPass();
        }
    }

    // Changes the rights stamp: one right that no action on the tool bar uses
    // goes back and forth.
    void toggleRight() { toggle(toggledRight); }

    // The last identifier, and every \a every-th before it.
    std::vector<int> turnedIds(int every) const
    {
        std::vector<int> ids;
        for (int id = int(actions.size()); id >= 1; id -= every)
            ids.push_back(id);
        return ids;
    }

    // The rights turnedIds(every) of the logged-on user go back and forth:
    // count / every actions change answer.
    void toggleRights(int every)
    {
        if (spread.empty()) {
            zkSecurity::TreeNode *user =
                security.UserTemplate()->GetUserNodeByUserName(security.GetCurrentUser());
            for (int id = int(actions.size()); id >= 1; id -= every)
                spread.push_back(security.FindRightNode(user, id));
        }
        for (zkSecurity::TreeNode *right : spread)
            toggle(right);
    }

    static void toggle(zkSecurity::TreeNode *right)
    {
        QByteArray text = right->text();
        if (text.endsWith(" (Yes)"))
            text.replace(text.size() - 5, 5, "(No)");
        else
            text.replace(text.size() - 4, 4, "(Yes)");
        right->setText(text);
    }

    std::vector<zkSecurity::TreeNode *> spread;
};

// Times only the pass: the change of rights before it is left out.
template<typename Change> void timePasses(benchmark::State &state, Change change)
{
    for (auto _ : state) {
        change();
        QElapsedTimer timer;
        timer.start();
        IdleUpdater::runPass();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

void quietPass(benchmark::State &state)
{
    Fixture fixture(int(state.range(0)), 1, false);
    for (auto _ : state)
        IdleUpdater::runPass();
}
BENCHMARK(quietPass)->Arg(30)->Arg(300)->Arg(3000);

void rightsChangedPass(benchmark::State &state)
{
    Fixture fixture(int(state.range(0)), int(state.range(1)), false);
    for (auto _ : state) {
        fixture.toggleRight();
        IdleUpdater::runPass();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(rightsChangedPass)
    ->ArgNames({"actions", "users"})
    ->Args({30, 1})
    ->Args({300, 1})
    ->Args({3000, 1})
    ->Args({3000, 10})
    ->Unit(benchmark::kMicrosecond);

// All actions turned, every tenth, or one, as turnedRightsPass and the floors take them.
void turnArgs(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({"actions", "every"})
        ->Args({30, 1})
        ->Args({300, 1})
        ->Args({3000, 1})
        ->Args({3000, 10})
        ->Args({30, 30})
        ->Args({300, 300})
        ->Args({3000, 3000})
        ->Unit(benchmark::kMicrosecond);
}

// A change of rights that turns every every-th action (all of them, or one
// of them): the pass alone, against the floors over the actions it turns.
void turnedRightsPass(benchmark::State &state)
{
    Fixture fixture(int(state.range(0)), 1, false);
    const int every = int(state.range(1));
    timePasses(state, [&] { fixture.toggleRights(every); });
    state.counters["turned"] = double(fixture.spread.size());
}
BENCHMARK(turnedRightsPass)->Apply(turnArgs)->UseManualTime();

void plainActionsPass(benchmark::State &state)
{
    Fixture fixture(int(state.range(0)), 1, true);
    for (auto _ : state) {
        fixture.toggleRight();
        IdleUpdater::runPass();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(plainActionsPass)->Arg(30)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);

// Touches each action that toggleRights(every) turns once, setting what it
// holds, or (\a turn) turning it: what enabling or disabling them costs in Qt
// and in the widgets that show them, whoever does it.
void touchTurned(benchmark::State &state, bool turn)
{
    Fixture fixture(int(state.range(0)), 1, false);
    QList<QAction *> touched;
    for (const int id : fixture.turnedIds(int(state.range(1))))
        touched.append(fixture.actions.at(id - 1));
    for (auto _ : state) {
        for (QAction *action : std::as_const(touched))
            action->setEnabled(turn != action->isEnabled());
    }
    state.SetItemsProcessed(state.iterations() * touched.size());
}

void sameValuesFloor(benchmark::State &state)
{
    touchTurned(state, false);
}
BENCHMARK(sameValuesFloor)->Apply(turnArgs);

void turnedValuesFloor(benchmark::State &state)
{
    touchTurned(state, true);
}
BENCHMARK(turnedValuesFloor)->Apply(turnArgs);

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The share of a core an idle window burns while its cursor blinks.
void idleCpu(benchmark::State &state)
{
    Fixture fixture(3000, 10, false);
    for (auto _ : state) {
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        const quint64 passesBefore = IdleUpdater::passCount();
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        loop.exec();
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        state.SetIterationTime(elapsed);
        state.counters["cpuFraction"] = (cpuSeconds() - cpuBefore) / elapsed;
        state.counters["passes"] = double(IdleUpdater::passCount() - passesBefore);
        state.counters["cursorFocused"] = fixture.edit->hasFocus() ? 1 : 0;
    }
}
BENCHMARK(idleCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

QtMessageHandler s_standardHandler = nullptr;

// The offscreen platform warns about every window it cannot size by hints.
void dropPlatformNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (s_standardHandler)
        s_standardHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    s_standardHandler = qInstallMessageHandler(dropPlatformNoise);
    // Logons write the store: keep it in a scratch home.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QDir::setCurrent(home.path());
    QApplication app(argc, argv);
    // A silent logon goes through the logon dialog's checks.
    rightsmith::installWidgets();
    IdleUpdater::install();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
