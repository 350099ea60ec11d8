// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The idle-time update pass: which actions it updates, that it needs no call
// of its own, and that a pass that changes nothing lets the loop sleep.
#include "support/testsupport.h"
#include "toolkit/action.h"
#include "toolkit/actionlist.h"
#include "toolkit/errorhandler.h"
#include "toolkit/updatesource.h"
#include "toolkit/widgets/idleupdater.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Action;
using rightsmith::toolkit::IdleUpdater;

namespace {

/// An action whose update step answers a right, the way a protected action
/// does, and counts its updates. The right is state outside the action: a
/// change of it asks for an update, as such state must.
class RightAction : public Action
{
public:
    explicit RightAction(QObject *owner, const QString &text = QString())
        : Action(owner)
    {
        setText(text);
        setDisableIfNoHandler(false);
    }
    bool Update() override
    {
        ++updates;
        if (onUpdateStep)
            onUpdateStep();
        setEnabled(granted);
        return Action::Update();
    }
    void setGranted(bool value)
    {
        granted = value;
        requestUpdate();
    }
    bool granted = true;
    int updates = 0;
    std::function<void()> onUpdateStep;
};

/// Lets the event loop run (and go idle) for \a ms: a real loop that blocks,
/// unlike QTest::qWait, which only polls.
void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class tst_IdleUpdater : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void deniedMenuActionIsDisabledWhenTheLoopIdles();
    void reachabilityOfMenus();
    void hiddenWidgetsActionIsNotUpdated();
    void boundControlHiddenByItsActionStaysHidden();
    void passThatChangesNothingLetsTheLoopSleep();
    void overriddenDenialLetsTheLoopSleepAndReachesTheWidgets();
    void passDoesNotRecurseAndSurvivesDeletion();
    void quietPassRunsNoUpdate();
    void anUpdateThatAsksForAnotherGetsItAtTheNextPass_data();
    void anUpdateThatAsksForAnotherGetsItAtTheNextPass();
    void updateHandlerRunsOnEveryPass_data();
    void updateHandlerRunsOnEveryPass();
    void failingUpdateIsRetriedOnEveryPass();
    void anInputsCheckThatThrowsCountsAsDue();
};

void tst_IdleUpdater::initTestCase()
{
    IdleUpdater::install();
    IdleUpdater::install(); // a second install changes nothing
    QVERIFY(IdleUpdater::isInstalled());
}

void tst_IdleUpdater::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_IdleUpdater::deniedMenuActionIsDisabledWhenTheLoopIdles()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    auto *action = new RightAction(&window, u"&New"_s);
    file->addAction(action);
    QMenu *recent = file->addMenu(u"&Recent"_s);
    auto *nested = new RightAction(&window, u"First"_s);
    recent->addAction(nested);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    idleFor(20);
    QVERIFY(action->isEnabled());
    QVERIFY(nested->isEnabled());

    // No call of ours: only the loop going idle applies the new answer.
    action->setGranted(false);
    nested->setGranted(false);
    idleFor(50);
    QVERIFY(!action->isEnabled());
    QVERIFY(!nested->isEnabled());

    action->setGranted(true);
    idleFor(50);
    QVERIFY(action->isEnabled());
}

void tst_IdleUpdater::reachabilityOfMenus()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    auto *item = new RightAction(&window, u"Item"_s);
    file->addAction(item);
    QMenu *sub = file->addMenu(u"Sub"_s);
    auto *subItem = new RightAction(&window, u"Sub item"_s);
    sub->addAction(subItem);
    auto *loose = new QMenu(&window); // a context menu, not open
    auto *looseItem = new RightAction(&window, u"Loose"_s);
    loose->addAction(looseItem);
    auto *toolBar = window.addToolBar(u"Tools"_s);
    auto *tool = new RightAction(&window, u"Tool"_s);
    toolBar->addAction(tool);
    auto *shortcutOnly = new RightAction(&window, u"Shortcut"_s);
    window.addAction(shortcutOnly);

    // Nothing is reachable while the window is hidden.
    for (QAction *action : {static_cast<QAction *>(item), static_cast<QAction *>(subItem),
                            static_cast<QAction *>(tool), static_cast<QAction *>(shortcutOnly)})
        QVERIFY(!IdleUpdater::isReachable(action));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(IdleUpdater::isReachable(item));
    QVERIFY(IdleUpdater::isReachable(subItem));
    QVERIFY(IdleUpdater::isReachable(tool));
    QVERIFY(IdleUpdater::isReachable(shortcutOnly));
    QVERIFY(!IdleUpdater::isReachable(looseItem));

    // A hidden submenu entry makes its items unreachable; a hidden item in a
    // reachable menu is not updated either (the pass must not bring it back).
    sub->menuAction()->setVisible(false);
    QVERIFY(!IdleUpdater::isReachable(subItem));
    item->setVisible(false);
    QVERIFY(!IdleUpdater::isReachable(item));

    // An open context menu is visible, and so are its items.
    loose->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(loose));
    QVERIFY(IdleUpdater::isReachable(looseItem));
    loose->hide();

    const int before = looseItem->updates;
    const int subBefore = subItem->updates;
    const int itemBefore = item->updates;
    idleFor(30);
    QCOMPARE(looseItem->updates, before);
    QCOMPARE(subItem->updates, subBefore);
    QCOMPARE(item->updates, itemBefore);
    QVERIFY(tool->updates > 0);
}

void tst_IdleUpdater::hiddenWidgetsActionIsNotUpdated()
{
    QWidget window;
    auto *shown = new QLineEdit(&window);
    auto *panel = new QWidget(&window);
    auto *hidden = new QLineEdit(panel);
    auto *shownAction = new RightAction(&window, u"shown"_s);
    auto *hiddenAction = new RightAction(&window, u"hidden"_s);
    auto *unbound = new RightAction(&window, u"unbound"_s);
    rightsmith::toolkit::bindWidget(shown, shownAction);
    rightsmith::toolkit::bindWidget(hidden, hiddenAction);
    panel->hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    shownAction->setGranted(false);
    hiddenAction->setGranted(false);
    idleFor(50);
    QVERIFY(!shown->isEnabled());
    QVERIFY(shownAction->updates > 0);
    QCOMPARE(hiddenAction->updates, 0);
    QVERIFY(hidden->isEnabled());
    QCOMPARE(unbound->updates, 0);

    panel->show();
    idleFor(50);
    QVERIFY(hiddenAction->updates > 0);
    QVERIFY(!hidden->isEnabled());
}

void tst_IdleUpdater::boundControlHiddenByItsActionStaysHidden()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *action = new RightAction(&window, u"memo"_s);
    bool visible = true;
    action->onUpdateStep = [&] {
        action->setVisible(visible);
    };
    rightsmith::toolkit::bindWidget(edit, action);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    visible = false;
    idleFor(50);
    QVERIFY(edit->isHidden());
    QVERIFY(!IdleUpdater::isBindingReachable(edit));

    // The pass no longer reaches it; only making the action visible brings it back.
    visible = true;
    idleFor(50);
    QVERIFY(edit->isHidden());
    action->setVisible(true);
    QVERIFY(!edit->isHidden());
}

void tst_IdleUpdater::passThatChangesNothingLetsTheLoopSleep()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    auto *denied = new RightAction(&window, u"Denied"_s);
    denied->setGranted(false);
    file->addAction(denied);
    auto *granted = new RightAction(&window, u"Granted"_s);
    file->addAction(granted);
    auto *edit = new QLineEdit(&window);
    window.setCentralWidget(edit);
    rightsmith::toolkit::bindWidget(edit, denied);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    idleFor(100); // let the first changes settle

    const quint64 before = IdleUpdater::passCount();
    idleFor(300);
    const quint64 passes = IdleUpdater::passCount() - before;
    // A loop that spins would run a pass thousands of times here.
    QVERIFY2(passes >= 1 && passes < 20, QByteArray::number(passes).constData());
    QVERIFY(!denied->isEnabled());
    QVERIFY(!edit->isEnabled());
}

void tst_IdleUpdater::overriddenDenialLetsTheLoopSleepAndReachesTheWidgets()
{
    // A denied action whose update handler enables it again in the same step,
    // on a tool bar and bound to a control: a pass that ends where it started
    // must not repaint them, or every pass would wake the loop for the next.
    QMainWindow window;
    QToolBar *bar = window.addToolBar(u"bar"_s);
    auto *action = new RightAction(&window, u"Override"_s);
    action->setGranted(false);
    bool overrideDenial = true;
    action->setOnUpdate([&overrideDenial](Action *sender) {
        if (overrideDenial)
            sender->setEnabled(true);
    });
    bar->addAction(action);
    auto *edit = new QLineEdit(&window);
    window.setCentralWidget(edit);
    rightsmith::toolkit::bindWidget(edit, action);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    idleFor(100);

    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
    QVERIFY(button);
    QVERIFY(action->isEnabled());
    QVERIFY(button->isEnabled());
    QVERIFY(edit->isEnabled());

    const quint64 before = IdleUpdater::passCount();
    const int updatesBefore = action->updates;
    idleFor(300);
    const quint64 passes = IdleUpdater::passCount() - before;
    QVERIFY2(passes >= 1 && passes < 20, QByteArray::number(passes).constData());
    QVERIFY(action->updates > updatesBefore);
    QVERIFY(button->isEnabled());

    // Once nothing overrides it, the denial reaches the tool button and the control.
    overrideDenial = false;
    idleFor(50);
    QVERIFY(!action->isEnabled());
    QVERIFY(!button->isEnabled());
    QVERIFY(!edit->isEnabled());
}

void tst_IdleUpdater::passDoesNotRecurseAndSurvivesDeletion()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    auto *nesting = new RightAction(&window, u"Nesting"_s);
    QPointer<RightAction> victim = new RightAction(&window, u"Victim"_s);
    file->addAction(nesting);
    file->addAction(victim);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    int depth = 0;
    int deepest = 0;
    nesting->onUpdateStep = [&] {
        ++depth;
        deepest = qMax(deepest, depth);
        // A modal loop inside an update goes idle too.
        idleFor(10);
        delete victim.data();
        --depth;
    };
    const quint64 before = IdleUpdater::passCount();
    IdleUpdater::runPass();
    QCOMPARE(IdleUpdater::passCount(), before + 1);
    QCOMPARE(deepest, 1);
    QVERIFY(victim.isNull());
    nesting->onUpdateStep = {};
}

void tst_IdleUpdater::quietPassRunsNoUpdate()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    auto *item = new RightAction(&window, u"Item"_s);
    file->addAction(item);
    auto *tool = new RightAction(&window, u"Tool"_s);
    window.addToolBar(u"Tools"_s)->addAction(tool);
    auto *edit = new QLineEdit(&window);
    window.setCentralWidget(edit);
    auto *bound = new RightAction(&window, u"Bound"_s);
    rightsmith::toolkit::bindWidget(edit, bound);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IdleUpdater::runPass();
    QCOMPARE(item->updates, 1);
    QCOMPARE(tool->updates, 1);
    QCOMPARE(bound->updates, 1);

    for (int i = 0; i < 3; ++i)
        IdleUpdater::runPass();
    QCOMPARE(item->updates + tool->updates + bound->updates, 3);

    // A change of one action updates that one only, at the next pass.
    tool->setText(u"Tool!"_s);
    IdleUpdater::runPass();
    QCOMPARE(tool->updates, 2);
    QCOMPARE(item->updates + bound->updates, 2);
}

void tst_IdleUpdater::anUpdateThatAsksForAnotherGetsItAtTheNextPass_data()
{
    QTest::addColumn<QString>("asker");
    QTest::addColumn<QString>("asked");
    QTest::newRow("itself") << u"First"_s << u"First"_s;
    QTest::newRow("an action passed before it") << u"Second"_s << u"First"_s;
    // The handler runs on a pass that looks at nothing else.
    QTest::newRow("from an update handler, on a quiet pass") << u"Handled"_s << u"First"_s;
}

void tst_IdleUpdater::anUpdateThatAsksForAnotherGetsItAtTheNextPass()
{
    QFETCH(QString, asker);
    QFETCH(QString, asked);
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    QMap<QString, RightAction *> actions;
    for (const QString &name : {u"First"_s, u"Second"_s, u"Handled"_s}) {
        actions.insert(name, new RightAction(&window, name));
        file->addAction(actions.value(name));
    }
    actions.value(u"Handled"_s)->setOnUpdate([](Action *) {});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IdleUpdater::runPass();
    IdleUpdater::runPass();

    RightAction *asking = actions.value(asker);
    RightAction *target = actions.value(asked);
    bool ask = true;
    asking->onUpdateStep = [&ask, target] {
        if (std::exchange(ask, false))
            target->requestUpdate();
    };
    if (!asking->hasUpdateHandler())
        asking->requestUpdate();
    int expected = target->updates + (asking == target ? 1 : 0);
    IdleUpdater::runPass();
    QVERIFY(!ask);
    QCOMPARE(target->updates, expected);
    IdleUpdater::runPass();
    QCOMPARE(target->updates, ++expected);
    IdleUpdater::runPass();
    QCOMPARE(target->updates, expected);
}

void tst_IdleUpdater::updateHandlerRunsOnEveryPass_data()
{
    QTest::addColumn<QString>("owner");
    QTest::newRow("own handler") << u"action"_s;
    QTest::newRow("list handler") << u"list"_s;
    QTest::newRow("application handler") << u"application"_s;
}

void tst_IdleUpdater::updateHandlerRunsOnEveryPass()
{
    QFETCH(QString, owner);
    QMainWindow window;
    rightsmith::toolkit::ActionList list(&window);
    auto *action = new RightAction(&window, u"Handled"_s);
    action->setActionList(&list);
    window.addToolBar(u"Tools"_s)->addAction(action);
    auto *other = new RightAction(&window, u"Other"_s);
    window.addAction(other);
    int handled = 0;
    if (owner == u"action"_s) {
        action->setOnUpdate([&handled](Action *) { ++handled; });
    } else if (owner == u"list"_s) {
        list.setOnUpdate([&handled](Action *) { return ++handled > 0; });
    } else {
        Action::setApplicationUpdateHandler([&handled, action](Action *sender) {
            if (sender == action)
                ++handled;
            return false;
        });
    }
    const auto restore = qScopeGuard([] { Action::setApplicationUpdateHandler({}); });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IdleUpdater::runPass();
    const int handledBefore = handled;
    const int otherBefore = other->updates;
    QVERIFY(handledBefore > 0);

    // Its handler may read anything: it runs on every pass, nothing else does.
    for (int i = 0; i < 3; ++i)
        IdleUpdater::runPass();
    QCOMPARE(handled, handledBefore + 3);
    QCOMPARE(other->updates, otherBefore + (owner == u"application"_s ? 3 : 0));

    // Without the handler the action gets one more update, then none.
    if (owner == u"action"_s)
        action->setOnUpdate({});
    else if (owner == u"list"_s)
        list.setOnUpdate({});
    else
        Action::setApplicationUpdateHandler({});
    const int updatesBefore = action->updates;
    IdleUpdater::runPass();
    IdleUpdater::runPass();
    QCOMPARE(action->updates, updatesBefore + 1);
}

void tst_IdleUpdater::failingUpdateIsRetriedOnEveryPass()
{
    static int reported = 0;
    reported = 0;
    const rightsmith::toolkit::ErrorHandler previous =
        rightsmith::toolkit::setErrorHandler([](const std::exception &) { ++reported; });
    const auto restore =
        qScopeGuard([previous] { rightsmith::toolkit::setErrorHandler(previous); });
    QMainWindow window;
    auto *action = new RightAction(&window, u"Broken"_s);
    window.addToolBar(u"Tools"_s)->addAction(action);
    bool broken = true;
    action->onUpdateStep = [&broken] {
        if (broken)
            throw std::runtime_error("broken");
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IdleUpdater::runPass();
    const int before = reported;
    QVERIFY(before > 0);
    IdleUpdater::runPass();
    IdleUpdater::runPass();
    QCOMPARE(reported, before + 2);

    // Once it succeeds it rests like any other.
    broken = false;
    IdleUpdater::runPass();
    const int updates = action->updates;
    IdleUpdater::runPass();
    QCOMPARE(action->updates, updates);
    QCOMPARE(reported, before + 2);
}

// An action whose own check of its inputs reads state kept elsewhere; the
// check can be made to fail once.
class InputsAction : public Action
{
public:
    explicit InputsAction(QObject *owner, const bool &allowed)
        : Action(owner)
        , m_allowed(allowed)
    {
        setDisableIfNoHandler(false);
    }
    bool Update() override
    {
        setEnabled(m_allowed);
        return Action::Update();
    }
    mutable bool throwOnce = false;

protected:
    bool updateInputsChanged() const override
    {
        if (std::exchange(throwOnce, false))
            throw std::runtime_error("inputs unknown");
        return m_seen != m_allowed;
    }
    void noteUpdated() override { m_seen = m_allowed; }

private:
    const bool &m_allowed;
    bool m_seen = true;
};

void tst_IdleUpdater::anInputsCheckThatThrowsCountsAsDue()
{
    const auto previous = rightsmith::toolkit::setErrorHandler([](const std::exception &) {});
    const auto restore =
        qScopeGuard([previous] { rightsmith::toolkit::setErrorHandler(previous); });
    QMainWindow window;
    bool allowed = true;
    auto *action = new InputsAction(&window, allowed);
    window.addToolBar(u"Tools"_s)->addAction(action);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IdleUpdater::runPass();
    QVERIFY(action->isEnabled());

    allowed = false; // a right revoked, and said so
    rightsmith::toolkit::noteUpdateInputsChanged();
    action->throwOnce = true;
    IdleUpdater::runPass();
    QVERIFY2(!action->isEnabled(), "an action that cannot tell whether it is due stays as it was");
}

RIGHTSMITH_TEST_MAIN(tst_IdleUpdater)
#include "tst_idleupdater.moc"
