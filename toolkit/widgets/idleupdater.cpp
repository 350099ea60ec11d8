// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/widgets/idleupdater.h"

#include "toolkit/action.h"
#include "toolkit/errorhandler.h"
#include "toolkit/updatesource.h"
#include "toolkit/widgets/application.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QAbstractEventDispatcher>
#include <QActionEvent>
#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <vector>

namespace rightsmith::toolkit {

namespace {

QPointer<IdleUpdater> s_instance;
quint64 s_passes = 0;
bool s_running = false;
// The action whose Update() runs; its change notices to widgets are held back.
const QAction *s_holding = nullptr;

// An action the pass reaches: through a visible bound control, and/or through
// a widget holding it (which counts only while the action is visible).
struct Reached
{
    QPointer<Action> action;
    bool bound = false;
    // Its position among the reachable actions.
    qsizetype at = 0;

    bool reachableNow() const { return bound || action->isVisible(); }
};

// What the previous passes found, kept until something may change it.
struct PassCache
{
    QList<Reached> reachable; // in creation order
    QList<Reached> everyPass; // those of them due on every pass
    // Those that any change of an update source may make due.
    QList<Reached> anySource;
    // Those that only a source naming their update key makes due, by action.
    QHash<const Action *, qsizetype> keyed;
    bool stale = true;
    quint64 liveGeneration = 0;
    quint64 epoch = 0;
};

bool s_narrowing = true;
quint64 s_narrowedPasses = 0;

PassCache &passCache()
{
    static PassCache cache;
    return cache;
}

// What the widgets of an action show of it: the QAction properties whose
// change QAction announces to them (its data() aside, which they do not show
// and which may hold a type that cannot be compared).
struct ActionState
{
    QString text;
    QString iconText;
    QString toolTip;
    QString statusTip;
    QString whatsThis;
    qint64 icon = 0;
    QFont font;
    QList<QKeySequence> shortcuts;
    int shortcutContext = 0;
    bool autoRepeat = false;
    bool checkable = false;
    bool checked = false;
    bool enabled = false;
    bool visible = false;
    bool iconVisibleInMenu = false;
    bool shortcutVisibleInContextMenu = false;
    int menuRole = 0;
    int priority = 0;

    bool operator==(const ActionState &) const = default;
};

ActionState stateOf(const QAction *action)
{
    ActionState state;
    state.text = action->text();
    state.iconText = action->iconText();
    state.toolTip = action->toolTip();
    state.statusTip = action->statusTip();
    state.whatsThis = action->whatsThis();
    state.icon = action->icon().cacheKey();
    state.font = action->font();
    state.shortcuts = action->shortcuts();
    state.shortcutContext = int(action->shortcutContext());
    state.autoRepeat = action->autoRepeat();
    state.checkable = action->isCheckable();
    state.checked = action->isChecked();
    state.enabled = action->isEnabled();
    state.visible = action->isVisible();
    state.iconVisibleInMenu = action->isIconVisibleInMenu();
    state.shortcutVisibleInContextMenu = action->isShortcutVisibleInContextMenu();
    state.menuRole = int(action->menuRole());
    state.priority = int(action->priority());
    return state;
}

// Tells the widgets of \a action (and bound controls) what it now holds.
void announceChange(QAction *action)
{
    QActionEvent event(QEvent::ActionChanged, action);
    const QList<QObject *> holders = action->associatedObjects();
    QList<QPointer<QObject>> guarded(holders.cbegin(), holders.cend());
    for (const QPointer<QObject> &holder : std::as_const(guarded)) {
        if (holder)
            QCoreApplication::sendEvent(holder.data(), &event);
    }
    Q_EMIT action->changed();
}

// Menus nest; a deeper chain than this is a cycle, not a menu.
constexpr int MaxMenuDepth = 32;

bool menuReachable(const QMenu *menu, int depth)
{
    if (menu->isVisible())
        return true; // popped up
    if (depth >= MaxMenuDepth)
        return false;
    const QAction *entry = menu->menuAction();
    if (!entry || !entry->isVisible())
        return false;
    // The menu opens from its entry: reachable when the entry is.
    for (QObject *holder : entry->associatedObjects()) {
        if (auto *parentMenu = qobject_cast<const QMenu *>(holder)) {
            if (menuReachable(parentMenu, depth + 1))
                return true;
        } else if (auto *widget = qobject_cast<const QWidget *>(holder)) {
            if (widget->isVisible())
                return true; // a menu bar, tool bar or tool button
        }
    }
    return false;
}

// Whether a widget holding \a action makes it reachable, its own visibility aside.
bool heldReachable(const QAction *action)
{
    for (QObject *holder : action->associatedObjects()) {
        if (auto *menu = qobject_cast<const QMenu *>(holder)) {
            if (menuReachable(menu, 0))
                return true;
        } else if (auto *widget = qobject_cast<const QWidget *>(holder)) {
            if (widget->isVisible())
                return true;
        }
    }
    return false;
}

void rebuildReachable(PassCache &cache)
{
    QSet<const Action *> bound;
    for (const QWidget *widget : allBoundWidgets()) {
        if (IdleUpdater::isBindingReachable(widget))
            bound.insert(boundAction(widget));
    }
    cache.reachable.clear();
    cache.everyPass.clear();
    cache.anySource.clear();
    cache.keyed.clear();
    for (Action *action : Action::liveActions()) {
        const bool isBound = bound.contains(action);
        if (!isBound && !heldReachable(action))
            continue;
        const Reached reached {action, isBound, cache.reachable.size()};
        cache.reachable.append(reached);
        switch (action->sourceDependence()) {
        case Action::NoSourceDependence:
            break;
        case Action::KeyedSourceDependence:
            cache.keyed.insert(action, reached.at);
            break;
        case Action::AnySourceDependence:
            cache.anySource.append(reached);
            break;
        }
    }
    cache.liveGeneration = Action::liveActionsGeneration();
    // Filled by the walk that follows every rebuild.
    cache.stale = false;
}

// Runs the scheduled update of \a action. Only an update handler can undo in
// the same step what the action's own update set (a right overridden), so
// only then are its change notices held back and the difference announced
// once; without one, what Update() sets is announced by Qt as it happens.
void updateAction(Action *action)
{
    if (!s_instance || !action->hasUpdateHandler()) {
        runGuarded([action] { action->runScheduledUpdate(); });
        return;
    }
    QPointer<Action> guard(action);
    const ActionState before = stateOf(action);
    s_holding = action;
    runGuarded([action] {
        const auto release = qScopeGuard([] { s_holding = nullptr; });
        action->runScheduledUpdate();
    });
    if (guard && !(stateOf(action) == before))
        announceChange(action);
}

// Updates \a reached when a user can reach it now and it is due; returns
// whether it is then due on every pass.
bool visit(const Reached &reached)
{
    if (!reached.action || !reached.reachableNow())
        return false;
    Action *action = reached.action.data();
    // A subclass's updateInputsChanged() may throw as its Update() may;
    // an action that cannot tell whether it is due is updated.
    bool due = true;
    runGuarded([action, &due] { due = action->isUpdateDue(); });
    if (due)
        updateAction(action);
    return reached.action && reached.action->isUpdateDueOnEveryPass();
}

// Positions of the reachable actions, ascending and each once. Few are
// sorted; many are marked on a map of all and read off in order.
void sortPositions(std::vector<qsizetype> &positions, qsizetype reachableCount)
{
    constexpr size_t FewPositions = 64;
    if (positions.size() <= FewPositions) {
        std::sort(positions.begin(), positions.end());
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
        return;
    }
    static std::vector<bool> marked;
    marked.assign(size_t(reachableCount), false);
    for (const qsizetype at : positions)
        marked[size_t(at)] = true;
    positions.clear();
    for (qsizetype at = 0; at < reachableCount; ++at) {
        if (marked[size_t(at)])
            positions.push_back(at);
    }
}

// After a change of update sources alone, which named the update keys
// \a keys: the actions a full pass would find due are among those filed
// under these keys, those any change of a source may make due and those due
// on every pass. Only they are visited, in the full pass's order.
void runNarrowedPass(const PassCache &cache, const std::vector<qint32> &keys)
{
    static std::vector<Action *> filed;
    static std::vector<qsizetype> picked;
    picked.clear();
    for (const qint32 key : keys) {
        filed.clear();
        Action::appendActionsWithUpdateKey(key, filed);
        for (const Action *action : filed) {
            if (const qsizetype at = cache.keyed.value(action, -1); at >= 0)
                picked.push_back(at);
        }
    }
    for (const Reached &reached : cache.anySource)
        picked.push_back(reached.at);
    for (const Reached &reached : cache.everyPass)
        picked.push_back(reached.at);
    sortPositions(picked, cache.reachable.size());

    // Copies share the data; a rebuild during the walk does not disturb them.
    const QList<Reached> reachable = cache.reachable;
    QList<Reached> everyPass = cache.everyPass;
    const auto alreadyEveryPass = [&everyPass](qsizetype at) {
        const auto it = std::lower_bound(
            everyPass.cbegin(), everyPass.cend(), at,
            [](const Reached &reached, qsizetype key) { return reached.at < key; });
        return it != everyPass.cend() && it->at == at;
    };
    QList<Reached> nowEveryPass;
    for (const qsizetype at : std::as_const(picked)) {
        const Reached &reached = reachable.at(at);
        if (visit(reached) && !alreadyEveryPass(at))
            nowEveryPass.append(reached);
    }
    // One whose update failed now is due on every pass from now on, as after a full pass.
    if (!nowEveryPass.isEmpty()) {
        everyPass.append(nowEveryPass);
        std::sort(everyPass.begin(), everyPass.end(),
                  [](const Reached &a, const Reached &b) { return a.at < b.at; });
        passCache().everyPass = everyPass;
    }
}

} // namespace

IdleUpdater::IdleUpdater(QObject *parent)
    : QObject(parent)
{
}

void IdleUpdater::install()
{
    if (s_instance)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(app->thread());
    if (!dispatcher)
        return;
    s_instance = new IdleUpdater(app);
    // One filter for the updater's lifetime: it notes what may change which
    // actions are reachable, and holds back the notices of the action being updated.
    app->installEventFilter(s_instance.data());
    invalidateReachability();
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, s_instance.data(),
            &IdleUpdater::runPass, Qt::DirectConnection);
}

void IdleUpdater::uninstall()
{
    if (s_instance && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(s_instance.data());
    delete s_instance.data();
    passCache() = PassCache();
}

bool IdleUpdater::isInstalled()
{
    return !s_instance.isNull();
}

quint64 IdleUpdater::passCount()
{
    return s_passes;
}

bool IdleUpdater::isReachable(const QAction *action)
{
    // A hidden action shows no menu item or button; only whatever hid it may
    // bring it back, never the pass.
    return action && action->isVisible() && heldReachable(action);
}

bool IdleUpdater::isBindingReachable(const QWidget *widget)
{
    // A control hidden by its own action is not updated either: it stays
    // hidden until something else makes the action visible.
    return boundAction(widget) && widget->isVisible();
}

void IdleUpdater::invalidateReachability()
{
    passCache().stale = true;
}

void IdleUpdater::runPass()
{
    if (s_running)
        return;
    s_running = true;
    const auto done = qScopeGuard([] { s_running = false; });
    ++s_passes;

    PassCache &cache = passCache();
    // Without the filter nothing tells when reachability changes.
    const bool rebuild =
        cache.stale || !s_instance || cache.liveGeneration != Action::liveActionsGeneration();
    if (rebuild)
        rebuildReachable(cache);
    // Read at the start: what an update changes in an action already passed
    // is seen by the next pass.
    const quint64 epoch = updateEpoch();
    const bool quiet = !rebuild && epoch == cache.epoch;
    cache.epoch = epoch;
    if (quiet) {
        // Copies share the data; a rebuild during the walk does not disturb it.
        const QList<Reached> everyPass = cache.everyPass;
        for (const Reached &reached : everyPass)
            visit(reached);
        return;
    }

    // Asked on every pass that is not quiet, so that the sources always
    // tell what changed since the previous one.
    static std::vector<qint32> keys;
    keys.clear();
    bool named = false;
    runGuarded([&named] { named = takeUpdateChanges(keys); });
    if (named && !rebuild && s_narrowing) {
        ++s_narrowedPasses;
        runNarrowedPass(cache, keys);
        return;
    }

    const QList<Reached> reachable = cache.reachable;
    QList<Reached> everyPass;
    for (const Reached &reached : reachable) {
        if (visit(reached))
            everyPass.append(reached);
    }
    passCache().everyPass = everyPass;
}

quint64 IdleUpdater::narrowedPassCount()
{
    return s_narrowedPasses;
}

void IdleUpdater::setNarrowingEnabled(bool enabled)
{
    s_narrowing = enabled;
}

bool IdleUpdater::isHoldingChanges(const QAction *action)
{
    return action && action == s_holding;
}

bool IdleUpdater::eventFilter(QObject *watched, QEvent *event)
{
    // A switch on the type: this sees every event of the application.
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
        if (watched->isWidgetType())
            passCache().stale = true;
        break;
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
        passCache().stale = true;
        break;
    case QEvent::ChildRemoved:
        if (watched->isWidgetType() && static_cast<QChildEvent *>(event)->child()->isWidgetType())
            passCache().stale = true;
        break;
    case QEvent::ActionChanged: {
        const QAction *action = static_cast<QActionEvent *>(event)->action();
        if (s_holding && watched != s_holding && action == s_holding)
            return true;
        // Sent first to the action itself. A menu entry's visibility decides
        // whether the menu's items are reachable; any action other than ours
        // may be such an entry.
        if (watched == action && (!qobject_cast<const Action *>(action) || action->menu()))
            passCache().stale = true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rightsmith::toolkit
