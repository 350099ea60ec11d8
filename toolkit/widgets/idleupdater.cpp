#include "toolkit/widgets/idleupdater.h"

#include "toolkit/action.h"
#include "toolkit/widgets/application.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QSet>
#include <QThread>
#include <QWidget>

#include <exception>
#include <stdexcept>

namespace toolkit {

namespace {

QPointer<IdleUpdater> s_instance;
quint64 s_passes = 0;
bool s_running = false;

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
    if (!action)
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
    const Action *action = boundAction(widget);
    if (!action)
        return false;
    if (widget->isVisible())
        return true;
    // A control hidden by its own (invisible) action must still be updated,
    // or it could never come back.
    const QWidget *parent = widget->parentWidget();
    return !action->isVisible() && !widget->isWindow() && parent && parent->isVisible();
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
    for (const QPointer<Action> &action : std::as_const(due)) {
        if (!action)
            continue; // destroyed by an earlier update
        try {
            action->Update();
        } catch (const std::exception &error) {
            Application::handleException(error);
        } catch (...) {
            Application::handleException(std::runtime_error("Unknown exception"));
        }
    }
}

} // namespace toolkit
