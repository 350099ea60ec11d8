#include "toolkit/widgets/idleupdater.h"

#include "toolkit/action.h"
#include "toolkit/errorhandler.h"
#include "toolkit/widgets/application.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QAbstractEventDispatcher>
#include <QActionEvent>
#include <QCoreApplication>
#include <QFont>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>
#include <QThread>
#include <QWidget>

#include <exception>
#include <stdexcept>

namespace rightsmith::toolkit {

namespace {

QPointer<IdleUpdater> s_instance;
quint64 s_passes = 0;
bool s_running = false;
// The action whose Update() runs; its change notices to widgets are held back.
const QAction *s_holding = nullptr;

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
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, s_instance.data(),
            &IdleUpdater::runPass, Qt::DirectConnection);
}

void IdleUpdater::uninstall()
{
    delete s_instance.data();
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
    if (!action || !action->isVisible())
        return false;
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

bool IdleUpdater::isBindingReachable(const QWidget *widget)
{
    // A control hidden by its own action is not updated either: it stays
    // hidden until something else makes the action visible.
    return boundAction(widget) && widget->isVisible();
}

void IdleUpdater::runPass()
{
    if (s_running)
        return;
    s_running = true;
    const auto done = qScopeGuard([] { s_running = false; });
    ++s_passes;

    QSet<const Action *> bound;
    for (const QWidget *widget : allBoundWidgets()) {
        if (isBindingReachable(widget))
            bound.insert(boundAction(widget));
    }
    QList<QPointer<Action>> due;
    for (Action *action : Action::liveActions()) {
        if (bound.contains(action) || isReachable(action))
            due.append(action);
    }

    // An application-wide filter holds back the change notices of the action
    // being updated; it is in place only while a pass runs.
    QPointer<IdleUpdater> filter = s_instance;
    if (filter)
        QCoreApplication::instance()->installEventFilter(filter);
    const auto removeFilter = qScopeGuard([filter] {
        if (filter && QCoreApplication::instance())
            QCoreApplication::instance()->removeEventFilter(filter);
    });

    for (const QPointer<Action> &action : std::as_const(due)) {
        if (!action)
            continue; // destroyed by an earlier update
        const ActionState before = stateOf(action);
        s_holding = filter ? action.data() : nullptr;
        runGuarded([&] {
            const auto release = qScopeGuard([] { s_holding = nullptr; });
            action->Update();
        });
        if (filter && action && !(stateOf(action) == before))
            announceChange(action);
    }
}

bool IdleUpdater::isHoldingChanges(const QAction *action)
{
    return action && action == s_holding;
}

bool IdleUpdater::eventFilter(QObject *watched, QEvent *event)
{
    if (s_holding && event->type() == QEvent::ActionChanged && watched != s_holding
        && static_cast<QActionEvent *>(event)->action() == s_holding)
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace rightsmith::toolkit
