// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The application object: title, forms, a sticky terminate, exceptions that
// never cross the event loop, message boxes and application-wide handlers.
#include "support/testsupport.h"
#include "toolkit/action.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"
#include "toolkit/termination.h"
#include "toolkit/widgets/application.h"
#include "toolkit/widgets/idleupdater.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Application;

namespace {

void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Ends a run() that was meant to return at once, so a failure cannot hang.
struct RunGuard
{
    RunGuard()
    {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        timer.start(5000);
    }
    QTimer timer;
};

} // namespace

class tst_Application : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void titleIsKeptOutOfWindowCaptions();
    void terminateBeforeRunIsSticky();
    void terminateWhileRunningEndsTheLoop();
    void runShowsTheMainForm();
    void exceptionFromASlotIsShown_data();
    void exceptionFromASlotIsShown();
    void exceptionFromAClickIsShownAndTheApplicationGoesOn();
    void handleExceptionShowsWithoutALoop();
    void messageBoxesCarryTheTitleAndIcon_data();
    void messageBoxesCarryTheTitleAndIcon();
    void applicationWideActionHandlers();
    void idleUpdaterIsInstalled();

private:
    QStringList m_messages;
    rightsmith::toolkit::MessageHook m_previousHook;
};

void tst_Application::init()
{
    m_messages.clear();
    m_previousHook = rightsmith::toolkit::setMessageHook(
        [this](rightsmith::toolkit::MessageKind, const QString &text) {
            m_messages << text;
            return false;
        });
}

void tst_Application::cleanup()
{
    rightsmith::toolkit::setMessageHook(m_previousHook);
    rightsmith::toolkit::clearTermination();
}

void tst_Application::titleIsKeptOutOfWindowCaptions()
{
    auto *app = Application::instance();
    QVERIFY(app);
    app->setTitle(u"Rightsmith Demo"_s);
    QCOMPARE(app->title(), u"Rightsmith Demo"_s);
    QCOMPARE(rightsmith::toolkit::applicationTitle(), u"Rightsmith Demo"_s);
    // Window captions stay exactly as set: the title is not appended to them.
    QVERIFY(QGuiApplication::applicationDisplayName() != u"Rightsmith Demo"_s);
}

void tst_Application::terminateBeforeRunIsSticky()
{
    auto *app = Application::instance();
    QVERIFY(!app->isTerminated());
    app->terminate();
    QVERIFY(app->isTerminated());
    {
        RunGuard guard;
        QCOMPARE(app->run(), 0);
        QVERIFY(guard.timer.isActive());
    }
    // Still asked for: a second run returns at once too.
    {
        RunGuard guard;
        QCOMPARE(app->run(), 0);
        QVERIFY(guard.timer.isActive());
    }
}

void tst_Application::terminateWhileRunningEndsTheLoop()
{
    auto *app = Application::instance();
    bool ran = false;
    QTimer::singleShot(0, app, [&] {
        ran = true;
        rightsmith::toolkit::terminateApplication(); // what the core asks for
    });
    RunGuard guard;
    QCOMPARE(app->run(), 0);
    QVERIFY(ran);
    QVERIFY(guard.timer.isActive());
    QVERIFY(app->isTerminated());
}

void tst_Application::runShowsTheMainForm()
{
    auto *app = Application::instance();
    QCOMPARE(app->mainForm(), nullptr);
    auto *form = app->createForm<QWidget>();
    auto *second = app->createForm<QWidget>();
    QCOMPARE(app->mainForm(), form);
    bool visibleInLoop = false;
    QTimer::singleShot(0, app, [&] {
        visibleInLoop = form->isVisible();
        app->terminate();
    });
    RunGuard guard;
    QCOMPARE(app->run(), 0);
    QVERIFY(visibleInLoop);
    QVERIFY(!second->isVisible());
    form->hide();
}

void tst_Application::exceptionFromASlotIsShown_data()
{
    QTest::addColumn<bool>("toolkitError");
    QTest::addColumn<QString>("message");
    QTest::newRow("toolkit error") << true << u"Cannot build Security template from clients"_s;
    QTest::newRow("standard exception") << false << u"plain failure"_s;
}

void tst_Application::exceptionFromASlotIsShown()
{
    QFETCH(bool, toolkitError);
    QFETCH(QString, message);

    QObject context;
    QTimer::singleShot(0, &context, [&] {
        if (toolkitError)
            throw rightsmith::toolkit::Error(message);
        throw std::runtime_error(message.toStdString());
    });
    idleFor(20);
    QCOMPARE(m_messages, QStringList {message});
}

void tst_Application::exceptionFromAClickIsShownAndTheApplicationGoesOn()
{
    QWidget form;
    auto *button = new QPushButton(u"Throw"_s, &form);
    int clicks = 0;
    connect(button, &QAbstractButton::clicked, this, [&] {
        if (++clicks == 1)
            throw rightsmith::toolkit::Error(
                u"No more than one instance of Security Component allowed."_s);
    });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_messages,
             QStringList {u"No more than one instance of Security Component allowed."_s});
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(m_messages.size(), 1);
}

void tst_Application::handleExceptionShowsWithoutALoop()
{
    Application::handleException(
        rightsmith::toolkit::Error(u"Version mismatch. Cannot continue"_s));
    Application::handleException(std::logic_error("logic"));
    QCOMPARE(m_messages, (QStringList {u"Version mismatch. Cannot continue"_s, u"logic"_s}));

    // A hook that throws in turn does not let the exception escape.
    rightsmith::toolkit::setMessageHook(
        [](rightsmith::toolkit::MessageKind, const QString &) -> bool {
            throw std::runtime_error("hook failed");
        });
    Application::handleException(std::runtime_error("first"));
}

// How a row shows its text: as a message, as a warning, or as an error that
// reaches the application's handler.
enum class ShownBy { Message, Warning, HandledError };
Q_DECLARE_METATYPE(ShownBy)

void tst_Application::messageBoxesCarryTheTitleAndIcon_data()
{
    QTest::addColumn<ShownBy>("shownBy");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QMessageBox::Icon>("expectedIcon");
    QTest::newRow("information") << ShownBy::Message << u"Wrong user name or password."_s
                                 << QMessageBox::Information;
    QTest::newRow("warning") << ShownBy::Warning << u"The store cannot be written."_s
                             << QMessageBox::Warning;
    QTest::newRow("error") << ShownBy::HandledError << u"Version mismatch. Cannot continue"_s
                           << QMessageBox::Warning;
}

void tst_Application::messageBoxesCarryTheTitleAndIcon()
{
    QFETCH(ShownBy, shownBy);
    QFETCH(QString, message);
    QFETCH(QMessageBox::Icon, expectedIcon);
    rightsmith::toolkit::setMessageHook({}); // the real message boxes
    Application::instance()->setTitle(u"Rightsmith Demo"_s);

    QString title;
    QString text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString selected;
    testsupport::answerNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        buttons = int(box->buttons().size());
        icon = box->icon();
        // The text can be selected and copied: a message may hold a command.
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() != text)
                continue;
            label->setFocus();
            QTest::keySequence(label, QKeySequence::SelectAll);
            selected = label->selectedText();
        }
        box->button(QMessageBox::Ok)->click();
    });
    switch (shownBy) {
    case ShownBy::Message:
        rightsmith::toolkit::showMessage(message);
        break;
    case ShownBy::Warning:
        rightsmith::toolkit::showWarning(message);
        break;
    case ShownBy::HandledError:
        Application::handleException(rightsmith::toolkit::Error(message));
        break;
    }
    QCOMPARE(title, u"Rightsmith Demo"_s);
    QCOMPARE(text, message);
    QCOMPARE(selected, message);
    QCOMPARE(buttons, 1);
    QCOMPARE(icon, expectedIcon);

    for (const bool yes : {true, false}) {
        testsupport::answerNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            buttons = int(box->buttons().size());
            icon = box->icon();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QCOMPARE(rightsmith::toolkit::askYesNo(
                     u"Do you want to delete the conveted standard ActionList component?"_s),
                 yes);
        QCOMPARE(buttons, 2);
        QCOMPARE(icon, QMessageBox::Question);
    }
}

void tst_Application::applicationWideActionHandlers()
{
    auto *app = Application::instance();
    QStringList calls;
    rightsmith::toolkit::Action action;
    action.setDisableIfNoHandler(false);
    action.setOnUpdate([&](rightsmith::toolkit::Action *) { calls << u"own update"_s; });
    action.setOnExecute([&](rightsmith::toolkit::Action *) { calls << u"own execute"_s; });
    app->setOnActionUpdate([&](rightsmith::toolkit::Action *) {
        calls << u"application update"_s;
        return false;
    });
    app->setOnActionExecute([&](rightsmith::toolkit::Action *sender) {
        calls << u"application execute"_s;
        return sender == &action;
    });

    QVERIFY(action.Execute());
    QCOMPARE(calls,
             (QStringList {u"application update"_s, u"own update"_s, u"application execute"_s}));

    app->setOnActionUpdate({});
    app->setOnActionExecute({});
    calls.clear();
    QVERIFY(action.Execute());
    QCOMPARE(calls, (QStringList {u"own update"_s, u"own execute"_s}));
}

void tst_Application::idleUpdaterIsInstalled()
{
    QVERIFY(rightsmith::toolkit::IdleUpdater::isInstalled());
    const quint64 before = rightsmith::toolkit::IdleUpdater::passCount();
    idleFor(20);
    QVERIFY(rightsmith::toolkit::IdleUpdater::passCount() > before);
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    tst_Application test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
