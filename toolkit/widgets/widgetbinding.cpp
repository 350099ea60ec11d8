// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/widgets/widgetbinding.h"

#include "toolkit/action.h"
#include "toolkit/errorhandler.h"
#include "toolkit/widgets/idleupdater.h"

#include <QAbstractButton>
#include <QHash>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QToolButton>
#include <QWidget>

#include <algorithm>

namespace rightsmith::toolkit {

namespace {

/// One binding; the context object of its connections, so that deleting it
/// disconnects everything.
class Binding : public QObject
{
public:
    Binding(QWidget *widget, Action *action)
        : m_widget(widget)
        , m_action(action)
    {
    }

    QWidget *widget() const { return m_widget.data(); }
    Action *action() const { return m_action.data(); }

    void copyFromAction(bool initial);

private:
    QPointer<QWidget> m_widget;
    QPointer<Action> m_action;
    QString m_copiedText;
};

QHash<const QWidget *, Binding *> &bindings()
{
    static QHash<const QWidget *, Binding *> map;
    return map;
}

bool hasText(const QWidget *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget)
        || qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QAbstractButton *>(widget);
}

QString widgetText(const QWidget *widget)
{
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *memo = qobject_cast<const QPlainTextEdit *>(widget))
        return memo->toPlainText();
    if (auto *memo = qobject_cast<const QTextEdit *>(widget))
        return memo->toPlainText();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    return {};
}

void setWidgetText(QWidget *widget, const QString &text)
{
    if (widgetText(widget) == text)
        return; // setting the same text would still reset cursor and undo history
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(text);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        memo->setPlainText(text);
    else if (auto *memo = qobject_cast<QTextEdit *>(widget))
        memo->setPlainText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(text);
}

void Binding::copyFromAction(bool initial)
{
    QWidget *widget = m_widget.data();
    Action *action = m_action.data();
    if (!widget || !action)
        return;

    if (hasText(widget)) {
        const QString text = action->text();
        if (initial || (text != m_copiedText && widgetText(widget) == m_copiedText))
            setWidgetText(widget, text);
        m_copiedText = text;
    }

    // Each property only when it differs: the idle pass triggers this often,
    // and a pass that changes nothing must post nothing.
    const bool enabled = action->isEnabled();
    if (widget->testAttribute(Qt::WA_ForceDisabled) == enabled)
        widget->setEnabled(enabled);
    const bool visible = action->isVisible();
    if (!widget->isWindow() && widget->isHidden() == visible)
        widget->setVisible(visible);
    const QString toolTip = Action::shortHint(action->hint());
    if (widget->toolTip() != toolTip)
        widget->setToolTip(toolTip);
    const QString statusTip = Action::longHint(action->hint());
    if (widget->statusTip() != statusTip)
        widget->setStatusTip(statusTip);
}

// Puts \a action in the place of the menu item \a item in every widget that
// holds it (menus, menu bars, tool bars, tool buttons, any widget's actions).
void replaceMenuItem(QAction *item, Action *action)
{
    if (!item || !action || item == action)
        return;
    QList<QPointer<QWidget>> holders;
    for (QObject *holder : item->associatedObjects()) {
        if (auto *widget = qobject_cast<QWidget *>(holder))
            holders.append(widget);
    }
    // Tool buttons last: a tool bar deletes the button it made for the item
    // when the item leaves it.
    std::stable_partition(holders.begin(), holders.end(), [](const QPointer<QWidget> &holder) {
        return !qobject_cast<QToolButton *>(holder.data());
    });
    for (const QPointer<QWidget> &holder : std::as_const(holders)) {
        if (!holder || !holder->actions().contains(item))
            continue;
        if (auto *button = qobject_cast<QToolButton *>(holder.data());
            button && button->defaultAction() == item) {
            button->setDefaultAction(action);
            button->removeAction(item);
            continue;
        }
        holder->insertAction(item, action);
        holder->removeAction(item);
    }
}

Action *controlActionOf(const QObject *control)
{
    return boundAction(qobject_cast<const QWidget *>(control));
}

void setControlActionOf(QObject *control, Action *action)
{
    if (auto *widget = qobject_cast<QWidget *>(control))
        bindWidget(widget, action);
    else
        replaceMenuItem(qobject_cast<QAction *>(control), action);
}

} // namespace

ControlActionBackend widgetControlActionBackend()
{
    return {&controlActionOf, &setControlActionOf};
}

void bindWidget(QWidget *widget, Action *action)
{
    if (!widget)
        return;
    if (Binding *existing = bindings().value(widget)) {
        if (existing->action() == action)
            return;
        unbindWidget(widget);
    }
    if (!action)
        return;

    auto *binding = new Binding(widget, action);
    bindings().insert(widget, binding);
    IdleUpdater::invalidateReachability();
    QObject::connect(action, &QAction::changed, binding, [binding] {
        // During its idle update the action announces its final state once, afterwards.
        if (!IdleUpdater::isHoldingChanges(binding->action()))
            binding->copyFromAction(false);
    });
    QObject::connect(action, &QObject::destroyed, binding, [widget] { unbindWidget(widget); });
    QObject::connect(widget, &QObject::destroyed, binding, [widget] { unbindWidget(widget); });
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QObject::connect(button, &QAbstractButton::clicked, binding, [binding] {
            if (Action *bound = binding->action())
                runGuarded([bound] { bound->Execute(); });
        });
    }
    binding->copyFromAction(true);
}

void unbindWidget(QWidget *widget)
{
    // The key is only compared, never dereferenced: this also runs while the
    // widget is being destroyed.
    if (Binding *binding = bindings().take(widget)) {
        delete binding;
        IdleUpdater::invalidateReachability();
    }
}

Action *boundAction(const QWidget *widget)
{
    const Binding *binding = bindings().value(widget);
    return binding ? binding->action() : nullptr;
}

QList<QWidget *> boundWidgets(const Action *action)
{
    QList<QWidget *> result;
    if (!action)
        return result;
    for (const Binding *binding : std::as_const(bindings())) {
        if (binding->action() == action && binding->widget())
            result.append(binding->widget());
    }
    return result;
}

QList<QWidget *> allBoundWidgets()
{
    QList<QWidget *> result;
    for (const Binding *binding : std::as_const(bindings())) {
        if (binding->widget() && binding->action())
            result.append(binding->widget());
    }
    return result;
}

} // namespace rightsmith::toolkit
