// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"
#include "toolkit/action.h"

#include <QApplication>
#include <QList>
#include <QPointer>

#include <exception>
#include <utility>

namespace rightsmith::toolkit {

/// The application object: title, forms, the main loop and its termination,
/// and the application-level handler for exceptions. Installs the idle-time
/// update pass of actions.
///
/// A program entry:
/// \code
///     rightsmith::toolkit::Application app(argc, argv);
///     app.setTitle(u"Rightsmith Demo"_s);
///     try {
///         app.createForm<MainForm>();
///     } catch (const std::exception &error) {
///         rightsmith::toolkit::Application::handleException(error);
///         return 1;
///     }
///     return app.run();
/// \endcode
class RIGHTSMITH_WIDGETS_EXPORT Application : public QApplication
{
    Q_OBJECT
public:
    /// Makes the application object, plugs the widget services into the core and installs the idle
    /// update pass; clears an earlier termination request.
    Application(int &argc, char **argv);
    ~Application() override; // destroys the forms, the latest first

    /// The running application, or nullptr when there is none or it is a
    /// plain QApplication.
    static Application *instance();

    /// The title message boxes carry. It is not made the application display
    /// name, which would be appended to every window caption.
    QString title() const { return m_title; }
    /// Sets title() and the title of the core's message boxes.
    void setTitle(const QString &title);

    /// Creates a form owned by the application; the first one created is the
    /// main form. An exception of the form's constructor reaches the caller.
    template<typename Form, typename... Args> Form *createForm(Args &&...args)
    {
        auto *form = new Form(std::forward<Args>(args)...);
        addForm(form);
        return form;
    }
    /// Takes ownership of a form made elsewhere (the first becomes the main form).
    void addForm(QWidget *form);
    /// The first form created or added, or nullptr.
    QWidget *mainForm() const;
    /// Whether run() shows the main form first (default true).
    bool showMainForm() const { return m_showMainForm; }
    /// Sets showMainForm().
    void setShowMainForm(bool show) { m_showMainForm = show; }

    /// Shows the main form and runs the main loop until terminate() or the
    /// last window closes; returns the exit code. Returns 0 at once when
    /// termination was asked for before.
    int run();
    /// Ends the main loop; sticky (see rightsmith::toolkit::terminateApplication()).
    void terminate();
    /// Whether termination was asked for (see terminate()).
    bool isTerminated() const;

    /// Catches every exception that a handler lets out, so that none crosses
    /// Qt's event loop, and shows it through handleException().
    bool notify(QObject *receiver, QEvent *event) override;

    /// The application-level handler: shows the message of \a error (for a
    /// rightsmith::toolkit::Error its fixed text) in a message box with OK. Usable
    /// without an application object, e.g. for an error while the main form
    /// loads, after which the program entry exits non-zero.
    static void handleException(const std::exception &error);

    /// Application-wide update and execute handlers of every rightsmith::toolkit::Action,
    /// consulted after the list's; return true when handled.
    void setOnActionUpdate(Action::ListHandler handler);
    /// The application-wide execute handler (see setOnActionUpdate()).
    void setOnActionExecute(Action::ListHandler handler);

private:
    QString m_title;
    QList<QPointer<QWidget>> m_forms;
    bool m_showMainForm = true;
};

} // namespace rightsmith::toolkit
