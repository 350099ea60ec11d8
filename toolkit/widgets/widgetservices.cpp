// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/widgets/widgetservices.h"

#include "toolkit/action.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/widgetbinding.h"
#include "toolkit/windowsystem.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace rightsmith::toolkit {

namespace {

bool presentWithMessageBox(MessageKind kind, const QString &text)
{
    // QMessageBox needs a QApplication; a QGuiApplication or no application
    // at all gets the log instead of a crash.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return presentOnConsole(kind, text);

    QMessageBox box(QApplication::activeWindow());
    const QString title = applicationTitle();
    box.setWindowTitle(title.isEmpty() ? QCoreApplication::applicationName() : title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if (kind == MessageKind::Question) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    box.setIcon(kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return true;
}

std::optional<quint64> widgetTopLevelWindowId(const QObject *owner)
{
    const auto *widget = qobject_cast<const QWidget *>(owner);
    if (!widget)
        return std::nullopt;
    // winId() creates the platform window when there is none yet; asked of the
    // top level only, so that no child widget is turned into a native one.
    return quint64(widget->window()->winId());
}

bool widgetIsForm(const QObject *owner)
{
    const auto *widget = qobject_cast<const QWidget *>(owner);
    return widget && widget->isWindow();
}

} // namespace

void installWidgetServices()
{
    setMessagePresenter(&presentWithMessageBox);
    setWindowSystem({&widgetTopLevelWindowId, &widgetIsForm});
    setControlActionBackend(widgetControlActionBackend());
}

} // namespace rightsmith::toolkit
