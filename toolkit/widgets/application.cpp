// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/widgets/application.h"

#include "toolkit/error.h"
#include "toolkit/errorhandler.h"
#include "toolkit/messagebox.h"
#include "toolkit/termination.h"
#include "toolkit/widgets/idleupdater.h"
#include "toolkit/widgets/widgetservices.h"

#include <QWidget>

namespace rightsmith::toolkit {

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    clearTermination();
    installWidgetServices();
    IdleUpdater::install();
}

Application::~Application()
{
    // Latest first: document windows go before the frame that made them.
    for (auto it = m_forms.crbegin(); it != m_forms.crend(); ++it)
        delete it->data();
    m_forms.clear();
    Action::setApplicationUpdateHandler({});
    Action::setApplicationExecuteHandler({});
}

Application *Application::instance()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

void Application::setTitle(const QString &title)
{
    m_title = title;
    setApplicationTitle(title);
}

void Application::addForm(QWidget *form)
{
    if (form && !m_forms.contains(form))
        m_forms.append(form);
}

QWidget *Application::mainForm() const
{
    return m_forms.isEmpty() ? nullptr : m_forms.constFirst().data();
}

int Application::run()
{
    if (terminationRequested())
        return 0;
    if (QWidget *form = mainForm(); form && m_showMainForm && !form->isVisible()) {
        form->show();
        // The main form takes the keyboard at start, also where no window
        // manager hands out the focus (e.g. after a logon dialog under Xvfb).
        form->activateWindow();
    }
    if (terminationRequested()) // asked for while the form was shown
        return 0;
    return exec();
}

void Application::terminate()
{
    terminateApplication();
}

bool Application::isTerminated() const
{
    return terminationRequested();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    // The last line of defence: slots catch their own errors.
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void Application::handleException(const std::exception &error)
{
    handleError(error);
}

void Application::setOnActionUpdate(Action::ListHandler handler)
{
    Action::setApplicationUpdateHandler(std::move(handler));
}

void Application::setOnActionExecute(Action::ListHandler handler)
{
    Action::setApplicationExecuteHandler(std::move(handler));
}

} // namespace rightsmith::toolkit
