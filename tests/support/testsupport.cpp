// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "support/testsupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace testsupport {

void answerNextModal(std::function<void(QWidget *modal)> answer, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto elapsed = std::make_shared<int>(0);
    auto seen = std::make_shared<QPointer<QWidget>>();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, elapsed, seen, timeoutMs] {
        *elapsed += timer->interval();
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && !*seen) {
            *seen = modal;
            timer->stop();
            timer->deleteLater();
            answer(modal);
            return;
        }
        if (*elapsed >= timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        }
    });
    timer->start();
}

QString shownText(const QString &caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size())
            ++i;
        shown += caption.at(i);
    }
    return shown;
}

namespace {

bool usable(const QWidget *widget)
{
    return widget->isVisible() && widget->isEnabled() && !widget->isWindow()
        && (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
}

// Records the shortcut events a button receives and keeps them from it: Alt
// with its letter shows that it reaches the button without pressing it.
class ShortcutCatcher : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Shortcut)
            reached << watched;
        return event->type() == QEvent::Shortcut;
    }
    QObjectList reached;
};

} // namespace

QStringList tabWalkProblems(QWidget *window, const QStringList &tabOrder)
{
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return {QStringLiteral("the window did not become active")};
    QStringList problems;
    const auto focusName = [] {
        QWidget *focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QStringLiteral("(nothing)");
    };
    QStringList visited {focusName()};
    for (qsizetype i = 0; i < tabOrder.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focusName();
    }
    if (visited != tabOrder + QStringList {tabOrder.value(0)})
        problems << QStringLiteral("Tab visits ") + visited.join(u", ");
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!usable(widget))
            continue;
        if (!tabOrder.contains(widget->objectName()))
            problems << widget->objectName() + QStringLiteral(": not in the tab order");
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).isEmpty())
            problems << widget->objectName() + QStringLiteral(": no accessible name");
    }
    return problems;
}

QStringList keyboardProblems(QDialog *dialog, const QStringList &tabOrder)
{
    QStringList problems = tabWalkProblems(dialog, tabOrder);
    QList<QKeySequence> keys;
    QWidgetList named;
    ShortcutCatcher catcher;
    for (QWidget *widget : dialog->findChildren<QWidget *>()) {
        auto *button = qobject_cast<QAbstractButton *>(widget);
        auto *label = qobject_cast<QLabel *>(widget);
        if (!button && !(label && label->buddy()))
            continue;
        const QKeySequence key = QKeySequence::mnemonic(button ? button->text() : label->text());
        if (key.isEmpty() || keys.contains(key))
            problems << widget->objectName() + QStringLiteral(": no mnemonic of its own");
        keys << key;
        QWidget *target = button ? widget : label->buddy();
        named << target;
        if (key.isEmpty() || !usable(target))
            continue;
        if (button)
            widget->installEventFilter(&catcher);
        else if (QApplication::focusWidget() == target) // a move that shows
            QTest::keyClick(target, Qt::Key_Tab);
        QTest::keySequence(QApplication::focusWidget(), key);
        if (button ? !catcher.reached.contains(widget) : QApplication::focusWidget() != target)
            problems << key.toString() + QStringLiteral(" does not reach ") + target->objectName();
    }
    // Every field is named by a label.
    for (QWidget *field : dialog->findChildren<QWidget *>()) {
        const bool isField = qobject_cast<QComboBox *>(field)
            || (qobject_cast<QLineEdit *>(field) && !qobject_cast<QComboBox *>(field->parent()));
        if (isField && !named.contains(field))
            problems << field->objectName() + QStringLiteral(": no label names it");
    }
    return problems;
}

} // namespace testsupport
