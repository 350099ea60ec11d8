// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Rightsmith Demo driven as a user would, through the program's own start-up
// code: logon, documents, the user management dialog, a change of user, a
// restart on the same home and working directory.
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "demo/about.h"
#include "demo/childwin.h"
#include "demo/demoactions.h"
#include "demo/demoapp.h"
#include "demo/mainform.h"
#include "dialogs/tdlgnewuser.h"
#include "dialogs/tdlgpassword.h"
#include "dialogs/tdlguserpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/tzksecurity.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/widgets/treeview.h"
#include "support/testsupport.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"
#include "toolkit/termination.h"
#include "toolkit/widgets/idleupdater.h"

#include <QAbstractEventDispatcher>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using testsupport::bytes;

namespace {

using Main::TMainForm;
using zkEntryPasswordDlg::TdlgPassword;

// What the logon dialog showed when it was answered.
struct LogonSeen
{
    bool shown = false;
    QString userName;
    QString password;
    QStringList recentUsers;
};

// Answers the next logon dialog: OK with \a name and \a password (nullopt:
// keep what the dialog offers), or Cancel when \a accept is false.
std::shared_ptr<LogonSeen> answerLogon(bool accept, std::optional<QString> name = {},
                                       std::optional<QString> password = {})
{
    auto seen = std::make_shared<LogonSeen>();
    testsupport::answerNextModal([=](QWidget *modal) {
        auto *dialog = qobject_cast<TdlgPassword *>(modal);
        if (!dialog) {
            qWarning("expected the logon dialog, got %s", modal->metaObject()->className());
            if (auto *other = qobject_cast<QDialog *>(modal))
                other->reject();
            return;
        }
        seen->shown = true;
        seen->userName = dialog->edtUserName->currentText();
        seen->password = dialog->edtPassword->text();
        for (int i = 0; i < dialog->edtUserName->count(); ++i)
            seen->recentUsers << dialog->edtUserName->itemText(i);
        if (!accept) {
            dialog->btnCancel->click();
            return;
        }
        if (name)
            dialog->edtUserName->setEditText(*name);
        if (password)
            dialog->edtPassword->setText(*password);
        rightsmith::toolkit::IdleUpdater::runPass();
        dialog->btnOK->click();
    });
    return seen;
}

// Every protected action of the frame, in list order.
QList<zkActnLst::TzkAction *> protectedActions(const TMainForm *form)
{
    QList<zkActnLst::TzkAction *> result;
    for (rightsmith::toolkit::Action *action : form->ActionList1->actions())
        result << qobject_cast<zkActnLst::TzkAction *>(action);
    return result;
}

QStringList captions(const QList<Childwin::TMDIChild *> &windows)
{
    QStringList result;
    for (const Childwin::TMDIChild *window : windows)
        result << window->windowTitle();
    return result;
}

// The first node below \a parent (depth-first) whose text is \a text.
zkSecurity::TreeNode *findText(zkSecurity::TreeNode *parent, const QByteArray &text)
{
    for (int i = 0; i < parent->count(); ++i) {
        zkSecurity::TreeNode *child = parent->item(i);
        if (child->text() == text)
            return child;
        if (zkSecurity::TreeNode *found = findText(child, text))
            return found;
    }
    return nullptr;
}

// Double-clicks \a node in the management dialog's tree view, as a user would.
void doubleClickNode(zkDlgSecurity::TfrmSecurity *dialog, zkSecurity::TreeNode *node)
{
    zkSecurity::TreeView *view = dialog->treeView();
    const QModelIndex index = view->indexForNode(node);
    view->scrollTo(index);
    const QPoint centre = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre);
}

// A termination asked for while no loop ran (a refused logon at start-up)
// leaves Qt's request to quit standing, and every later event loop of this
// thread would return at once. The program ends there; a test that goes on
// clears it the way a new main loop does.
void forgetTermination()
{
    rightsmith::toolkit::clearTermination();
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// Flushes windows closed with delete-on-close.
void processDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class tst_DemoScenario : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void supervisorManagesAUserAcrossRestarts();
    void refusedLogonAtStartEndsTheProgram();
    void documentNamesFollowTheOpenWindows();
    void fileNamedLikeANewDocumentIsLoaded();
    void controlsFollowTheirIdentifiers();
    void windowMenuListsTheDocuments();
    void aboutBoxShowsAndCloses();
    void statusBarShowsTheLongHint();
    void securityMenuShortcutAndLoggedOnField();
    void frameAsTheFormDescribesIt();
    void documentWindowAsTheFormDescribesIt();
    void fileOpenMakesADocumentOfTheChosenFile();

private:
    TMainForm *startAsSupervisor();
    void idlePass();
    QString pressButton1();

    std::unique_ptr<testsupport::TemporaryHome> m_home;
    std::unique_ptr<demo::DemoSession> m_session;
    QStringList m_messages;
    QList<bool> m_answers; // answers to the next questions, in order
    rightsmith::toolkit::MessageHook m_oldHook;
};

void tst_DemoScenario::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void tst_DemoScenario::init()
{
    m_home = std::make_unique<testsupport::TemporaryHome>();
    m_messages.clear();
    m_answers.clear();
    m_oldHook = rightsmith::toolkit::setMessageHook(
        [this](rightsmith::toolkit::MessageKind kind, const QString &text) {
            m_messages << text;
            if (kind == rightsmith::toolkit::MessageKind::Question && !m_answers.isEmpty())
                return m_answers.takeFirst();
            return false;
        });
}

void tst_DemoScenario::cleanup()
{
    m_session.reset();
    processDeletes();
    rightsmith::toolkit::setMessageHook(m_oldHook);
    forgetTermination();
    m_home.reset();
    // Every window of the demo went with the session.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            QFAIL(qPrintable(u"window left open: "_s + widget->objectName()));
    }
}

TMainForm *tst_DemoScenario::startAsSupervisor()
{
    m_session = std::make_unique<demo::DemoSession>();
    auto seen = answerLogon(true);
    if (!m_session->start() || !seen->shown)
        return nullptr;
    TMainForm *form = m_session->mainForm();
    form->show();
    if (!QTest::qWaitForWindowExposed(form))
        return nullptr;
    idlePass();
    return form;
}

void tst_DemoScenario::idlePass()
{
    rightsmith::toolkit::IdleUpdater::runPass();
}

QString tst_DemoScenario::pressButton1()
{
    m_messages.clear();
    m_session->mainForm()->Button1->click();
    return m_messages.value(0);
}

void tst_DemoScenario::supervisorManagesAUserAcrossRestarts()
{
    // First start on a clean home: "Supervisor" is created and offered, and
    // an empty password logs on.
    m_session = std::make_unique<demo::DemoSession>();
    auto firstLogon = answerLogon(true);
    QVERIFY(m_session->start());
    QVERIFY(firstLogon->shown);
    QCOMPARE(firstLogon->userName, u"Supervisor"_s);
    QCOMPARE(firstLogon->password, QString());
    TMainForm *form = m_session->mainForm();
    QCOMPARE(form->zkSecurity1->CurrentUserName(), bytes("Supervisor"));
    QCOMPARE(form->windowTitle(), u"Rightsmith Demo"_s);
    QCOMPARE(form->zkSecurity1->SecurityTemplate()->count(), 30);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));

    idlePass();
    for (zkActnLst::TzkAction *action : protectedActions(form))
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    QVERIFY(form->edtMainWnd->isEnabled());
    QVERIFY(form->BitBtn1->isEnabled());
    QVERIFY(form->BitBtn2->isEnabled());
    QCOMPARE(pressButton1(), u"ID 30 Enabled"_s);

    form->FileNew1->trigger();
    form->FileNew1->trigger();
    QCOMPARE(captions(form->mdiChildren()), (QStringList {u"NONAME1"_s, u"NONAME2"_s}));
    QCOMPARE(form->zkSecurity1->Clients().size(), 3);

    // Check Rights: add "Alice", give her the password "secret" and revoke File > New.
    QString managementFailure = u"the user management dialog did not open"_s;
    testsupport::answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<zkDlgSecurity::TfrmSecurity *>(modal);
        if (!dialog) {
            managementFailure = u"expected the user management dialog"_s;
            return;
        }
        // Whatever fails below, the dialog closes, so the test does not hang.
        auto fail = [&](const QString &why) {
            managementFailure = why;
            dialog->reject();
        };
        idlePass();
        if (!dialog->btnNewUser->isEnabled())
            return fail(u"New User is disabled for Supervisor"_s);
        testsupport::answerNextModal([](QWidget *modal) {
            auto *newUser = qobject_cast<zkNewUserDlg::TdlgNewUser *>(modal);
            if (!newUser)
                return;
            newUser->edtNewUserName->setText(u"Alice"_s);
            rightsmith::toolkit::IdleUpdater::runPass();
            newUser->OKBtn->click();
        });
        dialog->btnNewUser->click();

        zkSecurity::TreeNode *alice =
            dialog->ftvUserTemplate()->GetUserNodeByUserName(bytes("Alice"));
        if (!alice)
            return fail(u"New User added no \"Alice\""_s);
        testsupport::answerNextModal([](QWidget *modal) {
            auto *change = qobject_cast<zkUserPasswordDlg::TdlgUserPassword *>(modal);
            if (!change)
                return;
            change->edtCurrentPassword->clear();
            change->edtNewPassword->setText(u"secret"_s);
            change->edtNewPasswordRetype->setText(u"secret"_s);
            rightsmith::toolkit::IdleUpdater::runPass();
            change->OKBtn->click();
        });
        const QByteArray passwordBefore = alice->firstChild()->data()->caption();
        doubleClickNode(dialog, alice->firstChild());
        if (alice->firstChild()->data()->caption() == passwordBefore)
            return fail(u"the password of \"Alice\" did not change"_s);

        zkSecurity::TreeNode *newRight = findText(alice, bytes("New (Yes)"));
        if (!newRight)
            return fail(u"\"Alice\" has no \"New (Yes)\""_s);
        doubleClickNode(dialog, newRight);
        // A toggled right reads caption, two blanks, then the mark.
        if (newRight->text() != bytes("New  (No)"))
            return fail(u"double-clicking \"New (Yes)\" gave \"%1\""_s.arg(
                QString::fromLatin1(newRight->text())));
        managementFailure.clear();
        dialog->btnOK->click();
    });
    form->BitBtn1->click(); // "Check Rights"
    QVERIFY2(managementFailure.isEmpty(), qPrintable(managementFailure));
    QVERIFY(form->zkSecurity1->UserTemplate()->GetUserNodeByUserName(bytes("Alice")));

    // Change User to Alice: File > New is gone for her, the rest stays.
    auto aliceLogon = answerLogon(true, u"Alice"_s, u"secret"_s);
    form->BitBtn2->click(); // "Change User"
    QVERIFY(aliceLogon->shown);
    QCOMPARE(form->zkSecurity1->CurrentUserName(), bytes("Alice"));
    QVERIFY(!form->zkSecurity1->IsSupervisor());
    idlePass();
    QVERIFY(!form->FileNew1->isEnabled());
    QVERIFY(!form->ToolBar2->widgetForAction(form->FileNew1)->isEnabled());
    for (zkActnLst::TzkAction *action : protectedActions(form)) {
        if (action != form->FileNew1)
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    }
    QCOMPARE(pressButton1(), u"ID 30 Enabled"_s);

    // Change User, Cancel, and No to keeping the logon: nobody is logged on,
    // every protected command is off, Change User included; Button1 still works.
    m_answers = {false};
    auto refused = answerLogon(false);
    form->zkactChangeLogon->trigger();
    QVERIFY(refused->shown);
    QVERIFY(m_messages.contains(
        u"Do you want to keep the current logon? If no, all protected functionality will be disabled."_s));
    QVERIFY(!form->zkSecurity1->LoggedOn());
    idlePass();
    for (zkActnLst::TzkAction *action : protectedActions(form))
        QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
    QVERIFY(!form->BitBtn2->isEnabled());
    QVERIFY(!form->edtMainWnd->isEnabled());
    for (Childwin::TMDIChild *child : form->mdiChildren()) {
        QVERIFY(!child->Memo1->isEnabled());
        QVERIFY(!child->SpeedButton1->isEnabled());
    }
    QVERIFY(form->Button1->isEnabled());
    QCOMPARE(pressButton1(), u"ID 30 Disabled"_s);

    // The store: the file's size is the one the registry key holds.
    const QFileInfo userFile(m_home->filePath(u"UserTemplate"_s));
    QVERIFY(userFile.isFile());
    {
        rightsmith::toolkit::Registry registry;
        QVERIFY(registry.openKey(demo::securityRegistryKey(), false));
        QCOMPARE(registry.readInteger(u"UserTemplateSize"_s),
                 std::optional<qint32>(qint32(userFile.size())));
    }

    // Shutdown destroys the documents first; nothing is written at exit.
    const QDateTime written = userFile.lastModified();
    const qint64 writtenSize = userFile.size();
    m_session.reset();
    processDeletes();
    QCOMPARE(QFileInfo(userFile.filePath()).size(), writtenSize);
    QCOMPARE(QFileInfo(userFile.filePath()).lastModified(), written);

    // Second start on the same home and directory: the last user is offered
    // with the remembered password, the recent names are kept, and so are
    // Alice's rights.
    m_session = std::make_unique<demo::DemoSession>();
    auto again = answerLogon(true);
    QVERIFY(m_session->start());
    QVERIFY(again->shown);
    QCOMPARE(again->userName, u"Alice"_s);
    QCOMPARE(again->password, u"secret"_s);
    QCOMPARE(again->recentUsers, (QStringList {u"Supervisor"_s, u"Alice"_s}));
    form = m_session->mainForm();
    QCOMPARE(form->zkSecurity1->CurrentUserName(), bytes("Alice"));
    QVERIFY(form->zkSecurity1->UserTemplate()->GetUserNodeByUserName(bytes("Supervisor")));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    idlePass();
    QVERIFY(!form->FileNew1->isEnabled());
    QVERIFY(form->FileOpen1->isEnabled());
    QVERIFY(form->mdiChildren().isEmpty());
}

void tst_DemoScenario::refusedLogonAtStartEndsTheProgram()
{
    m_session = std::make_unique<demo::DemoSession>();
    auto seen = answerLogon(false);
    QVERIFY(!m_session->start());
    QVERIFY(seen->shown);
    QVERIFY(rightsmith::toolkit::terminationRequested());
    // Start-up still ran to its end, with nobody logged on.
    QVERIFY(m_session->mainForm());
    QVERIFY(m_session->aboutBox());
    QVERIFY(!m_session->mainForm()->zkSecurity1->LoggedOn());
    QVERIFY(!m_session->mainForm()->isVisible());
    // Cancel with nobody logged on asks nothing.
    QVERIFY(m_messages.isEmpty());
}

void tst_DemoScenario::documentNamesFollowTheOpenWindows()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);

    // File > Close without a document does nothing.
    form->FileClose1->trigger();
    QVERIFY(form->mdiChildren().isEmpty());

    form->FileNew1->trigger();
    QCOMPARE(captions(form->mdiChildren()), QStringList {u"NONAME1"_s});
    form->FileNew1->trigger();
    form->FileNew1->trigger();
    QCOMPARE(captions(form->mdiChildren()),
             (QStringList {u"NONAME1"_s, u"NONAME2"_s, u"NONAME3"_s}));
    QCOMPARE(form->activeMDIChild()->windowTitle(), u"NONAME3"_s);

    // The number follows the count of open windows: after closing NONAME1 the
    // next one is a second NONAME3.
    form->mdiArea->setActiveSubWindow(form->mdiChildren().first());
    QCOMPARE(form->activeMDIChild()->windowTitle(), u"NONAME1"_s);
    form->FileClose1->trigger();
    processDeletes();
    QCOMPARE(captions(form->mdiChildren()), (QStringList {u"NONAME2"_s, u"NONAME3"_s}));
    form->FileNew1->trigger();
    QCOMPARE(captions(form->mdiChildren()),
             (QStringList {u"NONAME2"_s, u"NONAME3"_s, u"NONAME3"_s}));
    QCOMPARE(captions(m_session->documentWindows()), captions(form->mdiChildren()));

    // A closed document window is destroyed and its list leaves the component.
    QCOMPARE(form->zkSecurity1->Clients().size(), 4);
    QPointer<Childwin::TMDIChild> closing = form->mdiChildren().first();
    closing->SpeedButton1->click();
    processDeletes();
    QVERIFY(!closing);
    QCOMPARE(form->zkSecurity1->Clients().size(), 3);
    QCOMPARE(captions(form->mdiChildren()), (QStringList {u"NONAME3"_s, u"NONAME3"_s}));

    // File > Close closes the active one until none is left, then does nothing.
    while (!form->mdiChildren().isEmpty()) {
        const qsizetype before = form->mdiChildren().size();
        form->FileClose1->trigger();
        processDeletes();
        QCOMPARE(form->mdiChildren().size(), before - 1);
    }
    form->FileClose1->trigger();
    QCOMPARE(form->zkSecurity1->Clients().size(), 1);
}

void tst_DemoScenario::fileNamedLikeANewDocumentIsLoaded()
{
    {
        QFile file(m_home->filePath(u"NONAME2"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("first line\r\nsecond line\r\ncaf\xe9\r\n");
    }
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    form->FileNew1->trigger();
    form->FileNew1->trigger();
    const QList<Childwin::TMDIChild *> children = form->mdiChildren();
    QCOMPARE(children.size(), 2);
    // No file NONAME1: the initial text stays, and no message.
    QCOMPARE(children.at(0)->Memo1->toPlainText(), u"Child memo text"_s);
    QCOMPARE(children.at(1)->Memo1->toPlainText(), u"first line\nsecond line\ncaf\u00e9"_s);
    QVERIFY(m_messages.isEmpty());

    // A directory of that name is no document to load.
    QVERIFY(QDir(m_home->path()).mkdir(u"NONAME3"_s));
    form->FileNew1->trigger();
    QCOMPARE(form->mdiChildren().at(2)->Memo1->toPlainText(), u"Child memo text"_s);
}

void tst_DemoScenario::controlsFollowTheirIdentifiers()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    form->FileNew1->trigger();
    form->FileNew1->trigger();
    idlePass();

    zkSecurity::TzkSecurityTemplate *users = form->zkSecurity1->UserTemplate();
    zkSecurity::TreeNode *supervisor = users->GetUserNodeByUserName(bytes("Supervisor"));
    QVERIFY(supervisor);
    auto setRight = [&](qint32 id, bool granted) {
        zkSecurity::TreeNode *node = form->zkSecurity1->FindRightNode(supervisor, id);
        QVERIFY(node);
        QByteArray text = node->text();
        text.truncate(text.lastIndexOf(" ("));
        node->setText(text + (granted ? " (Yes)" : " (No)"));
        idlePass();
    };
    auto childrenState = [&](auto widgetOf) {
        QList<bool> states;
        for (Childwin::TMDIChild *child : form->mdiChildren())
            states << (child->*widgetOf)->isEnabled();
        return states;
    };
    const QList<bool> bothOn {true, true};
    const QList<bool> bothOff {false, false};

    QVERIFY(form->edtMainWnd->isEnabled());
    QCOMPARE(childrenState(&Childwin::TMDIChild::Memo1), bothOn);
    QCOMPARE(childrenState(&Childwin::TMDIChild::SpeedButton1), bothOn);

    setRight(36, false);
    QVERIFY(!form->edtMainWnd->isEnabled());
    QCOMPARE(childrenState(&Childwin::TMDIChild::Memo1), bothOn);
    setRight(36, true);
    QVERIFY(form->edtMainWnd->isEnabled());

    setRight(33, false);
    QCOMPARE(childrenState(&Childwin::TMDIChild::Memo1), bothOff);
    QCOMPARE(childrenState(&Childwin::TMDIChild::SpeedButton1), bothOn);
    QVERIFY(form->edtMainWnd->isEnabled());
    setRight(33, true);
    QCOMPARE(childrenState(&Childwin::TMDIChild::Memo1), bothOn);

    setRight(34, false);
    QCOMPARE(childrenState(&Childwin::TMDIChild::SpeedButton1), bothOff);
    // A disabled "Close child" button closes nothing.
    form->mdiChildren().first()->SpeedButton1->click();
    processDeletes();
    QCOMPARE(form->mdiChildren().size(), 2);
    setRight(34, true);
    QCOMPARE(childrenState(&Childwin::TMDIChild::SpeedButton1), bothOn);

    // Identifier 30 belongs to no action: only Button1 asks for it.
    setRight(30, false);
    QCOMPARE(pressButton1(), u"ID 30 Disabled"_s);
    for (zkActnLst::TzkAction *action : protectedActions(form))
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    setRight(30, true);
    QCOMPARE(pressButton1(), u"ID 30 Enabled"_s);

    // The edit and the memo show their actions' captions.
    QCOMPARE(form->edtMainWnd->text(), u"Non Action Control"_s);
    QCOMPARE(form->mdiChildren().first()->SpeedButton1->text(), u"Close child"_s);
}

void tst_DemoScenario::windowMenuListsTheDocuments()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    auto entries = [form] {
        Q_EMIT form->Window1->aboutToShow();
        QStringList texts;
        bool afterCommands = false;
        for (QAction *action : form->Window1->actions()) {
            if (action->isSeparator()) {
                afterCommands = true;
                continue;
            }
            if (afterCommands)
                texts << action->text() + (action->isChecked() ? u" *"_s : QString());
        }
        return texts;
    };
    QCOMPARE(entries(), QStringList());
    form->FileNew1->trigger();
    form->FileNew1->trigger();
    QCOMPARE(entries(), (QStringList {u"&1 NONAME1"_s, u"&2 NONAME2 *"_s}));

    // Choosing an entry activates that window.
    Q_EMIT form->Window1->aboutToShow();
    const QList<QAction *> actions = form->Window1->actions();
    actions.at(actions.size() - 2)->trigger();
    QCOMPARE(form->activeMDIChild()->windowTitle(), u"NONAME1"_s);
    QCOMPARE(entries(), (QStringList {u"&1 NONAME1 *"_s, u"&2 NONAME2"_s}));
}

void tst_DemoScenario::aboutBoxShowsAndCloses()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    QString title;
    QStringList labels;
    bool textsFit = false;
    QList<QRect> geometries;
    // Fixed border, and no label cut short.
    const auto fixedAndFitting = [](About::TAboutBox *box) {
        box->Panel1->layout()->activate();
        for (const QLabel *label : {box->ProductName, box->Version, box->Copyright}) {
            if (label->width() < label->minimumSizeHint().width())
                return false;
        }
        return box->minimumSize() == box->maximumSize();
    };
    testsupport::answerNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<About::TAboutBox *>(modal);
        if (!box)
            return;
        title = box->windowTitle();
        labels << box->ProductName->text() << box->Version->text() << box->Comments->text();
        textsFit = fixedAndFitting(box);
        geometries << QRect(QPoint(), box->size()) << box->Panel1->geometry()
                   << box->OKButton->geometry();
        QTest::keyClick(box, Qt::Key_Return);
    });
    form->HelpAbout1->trigger();
    QCOMPARE(title, u"About"_s);
    QCOMPARE(
        labels,
        (QStringList {u"Rightsmith Demonstration Program"_s, u"Version 2.0"_s, u"Comments"_s}));
    QVERIFY(!m_session->aboutBox()->isVisible());
    QCOMPARE(m_session->aboutBox()->result(), int(QDialog::Accepted));
    QVERIFY(textsFit);
    QCOMPARE(
        geometries,
        (QList<QRect> {QRect(0, 0, 298, 218), QRect(8, 8, 281, 161), QRect(120, 178, 65, 33)}));

    // A large font: the box grows so that every text fits, and stays fixed.
    About::TAboutBox large;
    QFont font = large.font();
    font.setPixelSize(40);
    large.setFont(font);
    large.show();
    QCoreApplication::processEvents(); // the panel lays its labels out
    QVERIFY(fixedAndFitting(&large));
    const QRect button = large.OKButton->geometry();
    QVERIFY(button.width()
            > QFontMetrics(font).horizontalAdvance(testsupport::shownText(large.OKButton->text())));
    QVERIFY(large.Panel1->geometry().bottom() < button.top());
    QVERIFY(QRect(QPoint(), large.size()).contains(button));

    // By keyboard: OK is all there is to reach, and Alt+O reaches it.
    const QStringList problems = testsupport::keyboardProblems(&large, {u"OKButton"_s});
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void tst_DemoScenario::statusBarShowsTheLongHint()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    QWidget *newButton = form->ToolBar2->widgetForAction(form->FileNew1);
    QVERIFY(newButton);
    QCOMPARE(newButton->toolTip(), u"New"_s);
    QTest::mouseMove(newButton);
    QTRY_COMPARE(form->StatusBar->currentMessage(), u"Create a new file"_s);
}

void tst_DemoScenario::securityMenuShortcutAndLoggedOnField()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    QCOMPARE(form->Security1->actions(),
             (QList<QAction *> {form->zkactCheckRights, form->zkactChangeLogon}));
    QCOMPARE(form->lblLoggedOn->text(), u"Logged on: Supervisor"_s);

    // Tab reaches the tool bar's buttons with captions (Button1 is in no
    // menu) and the edit; a document window is a cycle of its own.
    form->BitBtn1->setFocus();
    QStringList problems = testsupport::tabWalkProblems(
        form, {u"BitBtn1"_s, u"BitBtn2"_s, u"Button1"_s, u"edtMainWnd"_s});
    form->FileNew1->trigger();
    form->activeMDIChild()->SpeedButton1->setFocus();
    problems +=
        testsupport::tabWalkProblems(form->activeMDIChild(), {u"SpeedButton1"_s, u"Memo1"_s});
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));

    // Ctrl+Shift+U is Change User: refused, and No to keeping the logon.
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    m_answers = {false};
    auto refused = answerLogon(false);
    QTest::keyClick(form, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(refused->shown);
    QVERIFY(!form->zkSecurity1->LoggedOn());
    // The field follows when the event loop next goes idle.
    QEventLoop loop;
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
            &QEventLoop::quit);
    loop.exec();
    QCOMPARE(form->lblLoggedOn->text(), u"Nobody is logged on"_s);
}

void tst_DemoScenario::frameAsTheFormDescribesIt()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);

    // The frame's security component.
    zkSecurity::TzkSecurity *security = form->zkSecurity1;
    QCOMPARE(security->Options().toInt(), quint16(3066));
    QCOMPARE(
        security->UserTemplateRegistryKeyName(),
        u"\\Software\\Tenvarro\\RightsmithDemo\\CurrentVersion\\SecurityObject\\UserTemplate"_s);
    QCOMPARE(security->UserTemplateFileName(), u"UserTemplate"_s);
    QCOMPARE(security->property("Tag").toInt(), 58);
    QCOMPARE(security->ImageList()->count(), 24);
    QCOMPARE(form->ImageList1->count(), 19);
    QCOMPARE(form->ActionList1->Options(), zkActnLst::sorSetDisabledOnFail);
    QCOMPARE(form->ActionList1->images(), form->ImageList1);

    // The protected actions in list order: category, caption, tool tip,
    // status bar text, shortcut, image, identifier.
    struct Expected
    {
        const char *name, *category, *caption, *toolTip, *statusTip, *shortcut;
        int image;
        qint32 id;
    };
    static constexpr Expected expected[] = {
        {"FileNew1", "File", "&New", "New", "Create a new file", "Ctrl+N", 6, 1},
        {"FileOpen1", "File", "&Open", "Open", "Open a file", "Ctrl+O", 7, 2},
        {"FileClose1", "File", "&Close", "Close", "Close current file", "", 5, 3},
        {"FileSave1", "File", "&Save", "Save", "Save current file", "Ctrl+S", 8, 4},
        {"FileSaveAs1", "File", "Save &As...", "Save As", "Save current file with different name",
         "", -1, 5},
        {"FileExit1", "File", "E&xit", "Exit", "Exit application", "", -1, 6},
        {"EditCut1", "Edit", "Cu&t", "Cut", "Cuts the selection and puts it on the Clipboard",
         "Ctrl+X", 0, 7},
        {"EditCopy1", "Edit", "&Copy", "Copy", "Copies the selection and puts it on the Clipboard",
         "Ctrl+C", 1, 8},
        {"EditPaste1", "Edit", "&Paste", "Paste", "Inserts Clipboard contents", "Ctrl+V", 2, 9},
        {"WindowCascade1", "Window", "&Cascade", "Cascade", "Cascade", "", 17, 10},
        {"WindowTileHorizontal1", "Window", "Tile &Horizontally", "Tile Horizontally",
         "Tile Horizontally", "", 15, 11},
        {"WindowTileVertical1", "Window", "Tile &Vertically", "Tile Vertically", "Tile Vertically",
         "", 16, 12},
        {"WindowMinimizeAll1", "Window", "&Minimize All", "Minimize All", "Minimize All", "", -1,
         13},
        {"WindowArrangeAll1", "Window", "&Arrange All", "Arrange All", "Arrange All", "", -1, 14},
        {"HelpAbout1", "Help", "&About...", "About",
         "Displays program information, version number, and copyright", "", -1, 15},
        {"zkactCheckRights", "Security/Services/Checks", "Check Rights", nullptr, "", "", 18, 16},
        {"zkactChangeLogon", "Security/Services/Checks", "Change User", nullptr, "", "", -1, 31},
        {"zkAutoGenerated", "", "Non Action Control", nullptr, "", "", -1, 36},
    };
    const QList<zkActnLst::TzkAction *> actions = protectedActions(form);
    QCOMPARE(actions.size(), qsizetype(std::size(expected)));
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const Expected &e = expected[i];
        zkActnLst::TzkAction *action = actions.at(i);
        QVERIFY(action);
        const QByteArray where = e.name;
        QVERIFY2(action->objectName() == QLatin1StringView(e.name), where);
        QVERIFY2(action->category() == QLatin1StringView(e.category), where);
        QVERIFY2(action->text() == QLatin1StringView(e.caption), where);
        // Without a hint the tool tip is the caption without "&".
        if (e.toolTip)
            QVERIFY2(action->toolTip() == QLatin1StringView(e.toolTip), where);
        QVERIFY2(action->statusTip() == QLatin1StringView(e.statusTip), where);
        QVERIFY2(action->shortcut().toString(QKeySequence::PortableText)
                     == QLatin1StringView(e.shortcut),
                 where);
        QVERIFY2(action->imageIndex() == e.image, where);
        QVERIFY2(action->icon().isNull() == (e.image < 0), where);
        QVERIFY2(action->SecurityId() == e.id, where);
        QVERIFY2(action->Options() == zkActnLst::soParent, where);
    }
    QCOMPARE(form->zkAutoGenerated->ActionDesigner(), u"edtMainWnd"_s);

    // The menus: caption, hint in the status bar, the items in order.
    auto items = [](QMenu *menu) {
        QStringList names;
        for (QAction *action : menu->actions())
            names << (action->isSeparator() ? u"-"_s : action->objectName());
        return names;
    };
    QList<QMenu *> menus;
    for (QAction *action : form->MainMenu1->actions())
        menus << action->menu();
    QCOMPARE(
        menus,
        (QList<QMenu *> {form->File1, form->Edit1, form->Window1, form->Security1, form->Help1}));
    QCOMPARE(form->File1->title(), u"&File"_s);
    QCOMPARE(form->File1->menuAction()->statusTip(), u"File related commands"_s);
    QCOMPARE(items(form->File1),
             (QStringList {u"FileNew1"_s, u"FileOpen1"_s, u"FileClose1"_s, u"FileSave1"_s,
                           u"FileSaveAs1"_s, u"-"_s, u"FileExit1"_s}));
    QCOMPARE(form->Edit1->title(), u"&Edit"_s);
    QCOMPARE(form->Edit1->menuAction()->statusTip(), u"Edit commands"_s);
    QCOMPARE(items(form->Edit1), (QStringList {u"EditCut1"_s, u"EditCopy1"_s, u"EditPaste1"_s}));
    QCOMPARE(form->Window1->title(), u"&Window"_s);
    QCOMPARE(form->Window1->menuAction()->statusTip(), u"Window related commands"_s);
    QCOMPARE(
        items(form->Window1),
        (QStringList {u"WindowCascade1"_s, u"WindowTileHorizontal1"_s, u"WindowTileVertical1"_s,
                      u"WindowMinimizeAll1"_s, u"WindowArrangeAll1"_s}));
    QCOMPARE(form->Help1->title(), u"&Help"_s);
    QCOMPARE(form->Help1->menuAction()->statusTip(), u"Help topics"_s);
    QCOMPARE(items(form->Help1), QStringList {u"HelpAbout1"_s});

    // The tool bar, left to right, and what its buttons say.
    QStringList toolBar;
    for (QAction *action : form->ToolBar2->actions()) {
        if (action->isSeparator()) {
            toolBar << u"-"_s;
        } else {
            QWidget *widget = form->ToolBar2->widgetForAction(action);
            QVERIFY(widget);
            toolBar << widget->objectName();
        }
    }
    QCOMPARE(toolBar,
             (QStringList {u"ToolButton9"_s, u"ToolButton1"_s, u"ToolButton2"_s, u"-"_s,
                           u"ToolButton4"_s, u"ToolButton5"_s, u"ToolButton6"_s, u"-"_s,
                           u"ToolButton8"_s, u"ToolButton10"_s, u"ToolButton11"_s, u"BitBtn1"_s,
                           u"BitBtn2"_s, u"Button1"_s}));
    auto toolButtonAction = [form](const char *name) {
        auto *button = form->ToolBar2->findChild<QToolButton *>(QLatin1StringView(name));
        return button ? button->defaultAction() : nullptr;
    };
    QCOMPARE(toolButtonAction("ToolButton9"), form->FileNew1);
    QCOMPARE(toolButtonAction("ToolButton1"), form->FileOpen1);
    QCOMPARE(toolButtonAction("ToolButton2"), form->FileSave1);
    QCOMPARE(toolButtonAction("ToolButton4"), form->EditCut1);
    QCOMPARE(toolButtonAction("ToolButton5"), form->EditCopy1);
    QCOMPARE(toolButtonAction("ToolButton6"), form->EditPaste1);
    QCOMPARE(toolButtonAction("ToolButton8"), form->WindowCascade1);
    QCOMPARE(toolButtonAction("ToolButton10"), form->WindowTileHorizontal1);
    QCOMPARE(toolButtonAction("ToolButton11"), form->WindowTileVertical1);
    QCOMPARE(form->BitBtn1->text(), u"Check Rights"_s);
    QVERIFY(!form->BitBtn1->icon().isNull());
    QCOMPARE(form->BitBtn2->text(), u"Change User"_s);
    QCOMPARE(form->Button1->text(), u"Manually check ID= 30 (zkSecurity1.CheckId(30)"_s);
    QCOMPARE(form->ToolBar2->height(), 33);
    // The buttons with captions are in the font of the others, and the frame
    // opens wide enough to show each of them whole.
    const QFont toolBarFont = form->ToolBar2->findChild<QToolButton *>(u"ToolButton9"_s)->font();
    for (QToolButton *button : {form->BitBtn1, form->BitBtn2, form->Button1}) {
        const QByteArray name = button->objectName().toLatin1();
        QVERIFY2(button->isVisible(), name);
        QVERIFY2(button->font() == toolBarFont, name);
        QVERIFY2(button->width() >= button->sizeHint().width(), name);
    }

    // The edit: its place in the client area (the tool bar is its first 33
    // pixels), and no document window goes under it.
    QCOMPARE(form->edtMainWnd->text(), u"Non Action Control"_s);
    const QPoint editAt = form->edtMainWnd->mapTo(form, QPoint(0, 0));
    QCOMPARE(editAt, QPoint(208, form->ToolBar2->geometry().top() + 40));
    QCOMPARE(form->edtMainWnd->width(), 121);
    const QRect documents(form->mdiArea->mapTo(form, QPoint(0, 0)), form->mdiArea->size());
    QVERIFY(!documents.intersects(QRect(editAt, form->edtMainWnd->size())));
}

void tst_DemoScenario::documentWindowAsTheFormDescribesIt()
{
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);
    form->FileNew1->trigger();
    const QList<Childwin::TMDIChild *> children = form->mdiChildren();
    QCOMPARE(children.size(), 1);
    Childwin::TMDIChild *child = children.first();
    QVERIFY(child->isVisible());
    QCOMPARE(child->size(), QSize(290, 207));
    QCOMPARE(child->Memo1->toPlainText(), u"Child memo text"_s);
    QCOMPARE(child->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(child->ToolBar1->height(), 29);
    QCOMPARE(child->SpeedButton1->size(), QSize(89, 22));
    QVERIFY(!child->SpeedButton1->icon().isNull());
    QCOMPARE(child->zkActionList1->Options(), zkActnLst::sorSetDisabledOnFail);
    QCOMPARE(child->zkActionList1->images(), form->ImageList1);
    QCOMPARE(child->zkAutoGenerated->text(), u"Child memo text"_s);
    QCOMPARE(child->zkAutoGenerated->SecurityId(), 33);
    QCOMPARE(child->zkAutoGenerated->ActionDesigner(), u"Memo1"_s);
    QCOMPARE(child->zkAutoGenerated->Options(), zkActnLst::soParent);
    QCOMPARE(child->zkAutoGenerated1->text(), u"Close child"_s);
    QCOMPARE(child->zkAutoGenerated1->SecurityId(), 34);
    QCOMPARE(child->zkAutoGenerated1->Options(), zkActnLst::soParent);
    QVERIFY(form->zkSecurity1->Clients().contains(child->zkActionList1));
}

void tst_DemoScenario::fileOpenMakesADocumentOfTheChosenFile()
{
    // A name without a dot, as document names are: "All files" must list it.
    const QString chosen = m_home->filePath(u"notes"_s);
    {
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("one\ntwo\n");
    }
    TMainForm *form = startAsSupervisor();
    QVERIFY(form);

    // Cancel opens nothing.
    bool asked = false;
    testsupport::answerNextModal([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            asked = true;
            dialog->reject();
        }
    });
    form->FileOpen1->trigger();
    QVERIFY(asked);
    QVERIFY(form->mdiChildren().isEmpty());

    QString failure = u"no file-open dialog"_s;
    testsupport::answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        if (dialog != form->OpenDialog || dialog->fileMode() != QFileDialog::ExistingFile) {
            failure = u"not the frame's OpenDialog for one existing file"_s;
            dialog->reject();
            return;
        }
        const QString patterns = dialog->selectedNameFilter().section(u'(', 1).section(u')', 0, 0);
        if (!dialog->selectedNameFilter().startsWith(u"All files"_s)
            || !QDir::match(patterns.split(u' ', Qt::SkipEmptyParts), u"notes"_s)) {
            failure =
                u"the filter \"%1\" hides a file without a dot"_s.arg(dialog->selectedNameFilter());
            dialog->reject();
            return;
        }
        // The name typed into the file name box, then Open.
        auto *nameBox = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        if (!nameBox) {
            failure = u"the file-open dialog has no file name box"_s;
            dialog->reject();
            return;
        }
        nameBox->setText(chosen);
        failure.clear();
        static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
    });
    form->FileOpen1->trigger();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const QList<Childwin::TMDIChild *> children = form->mdiChildren();
    QCOMPARE(children.size(), 1);
    QCOMPARE(QFileInfo(children.first()->windowTitle()), QFileInfo(chosen));
    QCOMPARE(children.first()->Memo1->toPlainText(), u"one\ntwo"_s);

    // File > Exit closes the frame.
    form->FileExit1->trigger();
    QVERIFY(!form->isVisible());
}

RIGHTSMITH_TEST_MAIN(tst_DemoScenario)
#include "tst_demo_scenario.moc"
