// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"
#include "toolkit/action.h"

#include <QList>

class QObject;
class QWidget;

namespace rightsmith::toolkit {

class Action;

/// Binds \a widget to \a action: the widget follows the action's caption,
/// enabled and visible state and hint (short part as tool tip, long part as
/// status tip), at once and on every change of the action; clicking a bound
/// button runs the action's Execute(). A widget has at most one action:
/// binding again replaces the earlier binding, nullptr unbinds. The binding
/// ends by itself when either of the two is destroyed; the widget keeps the
/// state it last received.
///
/// The caption goes to the text of a QLineEdit, QPlainTextEdit or QTextEdit
/// exactly as the action holds it (such an action carries the control's own
/// text as its caption), and to a QAbstractButton as its text with "&" marking
/// the mnemonic. Other widgets take no text. After the first copy a changed
/// caption is copied only while the widget still shows the previous one, so
/// what a user typed into an edit is never overwritten. Visibility is not
/// applied to a top-level window, which binding must never pop up.
RIGHTSMITH_WIDGETS_EXPORT void bindWidget(QWidget *widget, Action *action);
/// Ends the binding of \a widget, which keeps its current state.
RIGHTSMITH_WIDGETS_EXPORT void unbindWidget(QWidget *widget);
/// The action bound to \a widget, or nullptr.
RIGHTSMITH_WIDGETS_EXPORT Action *boundAction(const QWidget *widget);
/// The widgets bound to \a action, in no particular order.
RIGHTSMITH_WIDGETS_EXPORT QList<QWidget *> boundWidgets(const Action *action);
/// Every bound widget.
RIGHTSMITH_WIDGETS_EXPORT QList<QWidget *> allBoundWidgets();

/// controlAction() and setControlAction() over widgets and menu items, for
/// installWidgetServices().
RIGHTSMITH_WIDGETS_EXPORT ControlActionBackend widgetControlActionBackend();

} // namespace rightsmith::toolkit
