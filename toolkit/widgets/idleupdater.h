// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

#include <QObject>

class QAction;
class QWidget;

namespace rightsmith::toolkit {

/// The idle-time update pass: whenever the GUI thread's event loop is about
/// to wait for events, Update() runs for each live rightsmith::toolkit::Action
/// that is due for it (Action::isUpdateDue()) and that a user can reach: a
/// visible one in a visible menu, in a menu whose entry sits in a visible menu
/// bar or reachable menu, in any other visible widget (tool bar, tool button, a
/// window holding it for its shortcut), or one bound to a widget through
/// bindWidget() that is visible. A hidden action, and a control hidden by its
/// action, are therefore not updated: the pass never brings them back; only
/// setting the action visible again does. Actions run in creation order.
///
/// A pass costs what changed. The reachable actions are kept from one pass to
/// the next, and found anew only after a widget is shown, hidden, reparented
/// or destroyed, an action is added to or removed from a widget, a menu entry
/// changes, a control is bound or unbound, or an action is created or
/// destroyed. While updateEpoch() stays where it was at the start of the
/// previous pass, only the actions due on every pass (those with an update
/// handler) are looked at. When only update sources changed and they named
/// what they changed (a change of rights names the identifiers whose answer
/// turned), the pass looks at the actions filed under those keys besides,
/// and at those whose class the keys do not cover, in the same order and
/// with the same outcome as a pass over every reachable action.
///
/// A pass changes only what differs (QAction emits only on a change), so a
/// pass that changes nothing posts nothing and the loop goes to sleep. The
/// widgets of an action with an update handler hear of its changes once, after
/// its Update(), and only when its state then differs from before: a right
/// that the handler overrides in the same step (disabled, then enabled again)
/// repaints nothing, or every pass would wake the loop for the next. Without a
/// handler an Update() sets each property once, and QAction announces it. A
/// pass never starts inside another (an update that opens a modal loop). An
/// exception from an Update() is shown through Application::handleException.
class RIGHTSMITH_WIDGETS_EXPORT IdleUpdater : public QObject
{
    Q_OBJECT
public:
    /// Hooks the pass into the event loop of the application's thread. Needs a
    /// QCoreApplication; installing twice changes nothing. Lasts as long as the
    /// application object.
    static void install();
    /// Unhooks the pass and forgets what it knew; nothing when it is not installed.
    static void uninstall();
    /// Whether the pass is hooked into the event loop.
    static bool isInstalled();

    /// Runs one pass now (as the event loop does when it goes idle).
    static void runPass();
    /// Passes run so far, by the event loop or by runPass().
    static quint64 passCount();
    /// Of them, the passes after a change of update sources alone that
    /// looked only at the actions the sources named.
    static quint64 narrowedPassCount();
    /// Whether such passes are narrowed (the default). Off, every pass that
    /// is not quiet looks at every reachable action; both leave every action
    /// alike, which is what turning it off is for.
    static void setNarrowingEnabled(bool enabled);

    /// Whether the pass updates \a action: true when it is visible and
    /// reachable in a visible menu or widget.
    static bool isReachable(const QAction *action);
    /// Whether the pass updates the action bound to \a widget.
    static bool isBindingReachable(const QWidget *widget);
    /// True while the pass holds back the change notices of \a action (during
    /// its Update()); what changed is announced once afterwards.
    static bool isHoldingChanges(const QAction *action);
    /// Forgets which actions are reachable; the next pass finds them anew.
    /// Binding and unbinding a control call it.
    static void invalidateReachability();

protected:
    /// Notes the changes of widgets and menus that change which actions are reachable, and holds
    /// back the change notices of an action while its Update() runs (see isHoldingChanges()).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit IdleUpdater(QObject *parent);
};

} // namespace rightsmith::toolkit
