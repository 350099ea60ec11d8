// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Protected actions and lists with real menus and widgets: options, message
// mode, update handlers, control binding by ActionDesigner, naming of new
// actions, the security object, and the design-mode conversion of standard lists.
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/testsupport.h"
#include "toolkit/actionlist.h"
#include "toolkit/component.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace zkActnLst;
using zkSecurity::TzkSecurity;

namespace {

constexpr qint32 GrantedId = 1;
constexpr qint32 DeniedId = 2;

// Records every message and question; questions get the queued answers
// (No once they run out).
class MessageRecorder
{
public:
    explicit MessageRecorder(QList<bool> answers = {})
        : m_answers(std::move(answers))
    {
        m_previous = rightsmith::toolkit::setMessageHook(
            [this](rightsmith::toolkit::MessageKind kind, const QString &text) {
                if (kind == rightsmith::toolkit::MessageKind::Information) {
                    messages.append(text);
                    return true;
                }
                questions.append(text);
                return m_answers.isEmpty() ? false : m_answers.takeFirst();
            });
    }
    ~MessageRecorder() { rightsmith::toolkit::setMessageHook(m_previous); }
    QStringList messages;
    QStringList questions;

private:
    QList<bool> m_answers;
    rightsmith::toolkit::MessageHook m_previous;
};

const QString ConvertQuestion =
    u"A standard ActionList component found. Do you want to convert to Rightsmith one (strongly recomended)?"_s;
const QString DeleteQuestion =
    u"Do you want to delete the conveted standard ActionList component?"_s;

// A main window with a menu, a security component whose user "Anna" holds
// GrantedId and not DeniedId, logged on, and one protected list.
struct Form
{
    Form()
    {
        window.setObjectName(u"Form"_s);
        menu = window.menuBar()->addMenu(u"&File"_s);
        security = new TzkSecurity(&window);
        auto &users = *security->UserTemplate();
        zkSecurity::TreeNode *user = addNode(users, nullptr, QByteArrayLiteral("Anna"), 0);
        addNode(users, user, QByteArrayLiteral("Password(********)"), 0);
        zkSecurity::TreeNode *rights = addNode(users, user, QByteArrayLiteral("Rights"), 0);
        addNode(users, rights, QByteArrayLiteral("Open (Yes)"), GrantedId);
        addNode(users, rights, QByteArrayLiteral("Close (No)"), DeniedId);
        security->Dialogs()->SetSecurity(security);
        const bool loggedOn = security->Logon(QByteArrayLiteral("Anna"), QByteArray(), true);
        Q_ASSERT(loggedOn);
        list = new TzkActionList(&window);
        list->setObjectName(u"zkActionList1"_s);
        list->SetSecurityObject(security);
    }
    static zkSecurity::TreeNode *addNode(zkSecurity::TzkSecurityTemplate &tree,
                                         zkSecurity::TreeNode *parent, const QByteArray &text,
                                         qint32 id)
    {
        zkSecurity::TreeNode *node = tree.addChild(parent, text);
        auto record = std::make_unique<zkSecurity::TzkNodeRecord>();
        record->SecurityId = id;
        node->setData(std::move(record));
        return node;
    }
    TzkAction *addAction(const QString &name, qint32 id)
    {
        auto *action = new TzkAction(&window);
        action->setObjectName(name);
        action->setText(name);
        action->setSecurityId(id);
        action->setActionList(list);
        menu->addAction(action);
        return action;
    }

    testsupport::TemporaryHome home;
    QMainWindow window;
    QMenu *menu = nullptr;
    TzkSecurity *security = nullptr;
    TzkActionList *list = nullptr;
};

} // namespace

class tst_TzkAction : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void options_data();
    void options();
    void noHandlerStaysEnabledAndDoesNothing();
    void deniedInDisableModeDoesNotRun();
    void protectedActionInAStandardListIsAnInvalidCast_data();
    void protectedActionInAStandardListIsAnInvalidCast();
    void messageMode_data();
    void messageMode();
    void updateHandlerOverridesUntilTheNextPass();
    void actionDesigner_data();
    void actionDesigner();
    void boundControlsFollowTheRight();
    void generatedNames();
    void copyOfAStandardAction();
    void switchingSecurityObject();
    void runtimeCreationNeverScans();
    void designScanConvertsOnYes();
    void designScanAnsweredNoStopsEverything();
    void designScanAsksToDeleteAfterEveryFurtherList();
};

void tst_TzkAction::defaults()
{
    TzkAction action;
    QVERIFY(!action.disableIfNoHandler());
    QCOMPARE(action.SecurityId(), 0);
    QVERIFY(action.ActionDesigner().isEmpty());
    QCOMPARE(action.Options(), soParent);
    QVERIFY(action.DisabledMessage().isEmpty());
    QVERIFY(action.isEnabled());
    QVERIFY(action.isVisible());
    QCOMPARE(action.imageIndex(), -1);

    TzkActionList list;
    QCOMPARE(list.Options(), sorSetDisabledOnFail);
    QCOMPARE(list.SecurityObject(), nullptr);
    QCOMPARE(list.ActionListDesigner(), nullptr);
}

void tst_TzkAction::options_data()
{
    QTest::addColumn<int>("listOption");
    QTest::addColumn<int>("actionOption");
    QTest::addColumn<qint32>("id");
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");

    QTest::newRow("list disables, denied")
        << int(sorSetDisabledOnFail) << int(soParent) << DeniedId << true << false << true;
    QTest::newRow("list disables, granted")
        << int(sorSetDisabledOnFail) << int(soParent) << GrantedId << false << true << true;
    QTest::newRow("list hides, denied: hidden, not disabled")
        << int(sorSetInvisibleOnFail) << int(soParent) << DeniedId << true << true << false;
    QTest::newRow("list hides, enabled left alone")
        << int(sorSetInvisibleOnFail) << int(soParent) << GrantedId << false << false << true;
    QTest::newRow("list shows message, denied")
        << int(sorShowMessageOnFail) << int(soParent) << DeniedId << true << true << true;
    QTest::newRow("own disable ignores hiding list")
        << int(sorSetInvisibleOnFail) << int(soSetDisabledOnFail) << DeniedId << true << false
        << true;
    QTest::newRow("own hide ignores disabling list")
        << int(sorSetDisabledOnFail) << int(soSetInvisibleOnFail) << DeniedId << true << true
        << false;
    QTest::newRow("own message ignores disabling list")
        << int(sorSetDisabledOnFail) << int(soShowMessageOnFail) << DeniedId << true << true
        << true;
    QTest::newRow("own hide, granted") << int(sorShowMessageOnFail) << int(soSetInvisibleOnFail)
                                       << GrantedId << true << true << true;
}

void tst_TzkAction::options()
{
    QFETCH(int, listOption);
    QFETCH(int, actionOption);
    QFETCH(qint32, id);
    QFETCH(bool, startEnabled);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);

    Form form;
    form.list->setOptions(TzkSecurityOptionsRoot(listOption));
    TzkAction *action = form.addAction(u"act"_s, id);
    action->setOptions(TzkSecurityOptions(actionOption));
    action->setEnabled(startEnabled);
    // In the hiding mode start from the other state, so that the right has to set it.
    action->setVisible(action->effectiveOption() == soSetInvisibleOnFail ? !visible : true);

    action->Update();
    QCOMPARE(action->isVisible(), visible);
    // A hidden QAction reports itself disabled; its own enabled state shows once visible again.
    if (!visible) {
        QVERIFY(!action->isEnabled());
        action->setVisible(true);
    }
    QCOMPARE(action->isEnabled(), enabled);
    // The menu shows what the action says.
    QCOMPARE(form.menu->actions().contains(action), true);

    // Without a security object nothing is protected.
    form.list->SetSecurityObject(nullptr);
    action->setEnabled(true);
    action->setVisible(true);
    action->Update();
    QVERIFY(action->isEnabled());
    QVERIFY(action->isVisible());
}

void tst_TzkAction::noHandlerStaysEnabledAndDoesNothing()
{
    Form form;
    TzkAction *action = form.addAction(u"act"_s, GrantedId);
    action->Update();
    QVERIFY(action->isEnabled());
    QVERIFY(!action->Execute());
    QVERIFY(action->isEnabled());

    // A standard action without a handler disables itself; the protected one must not.
    rightsmith::toolkit::ActionList standardList;
    rightsmith::toolkit::Action standard;
    standard.setActionList(&standardList);
    standard.Update();
    QVERIFY(!standard.isEnabled());
}

void tst_TzkAction::deniedInDisableModeDoesNotRun()
{
    Form form;
    int runs = 0;
    TzkAction *denied = form.addAction(u"denied"_s, DeniedId);
    denied->setOnExecute([&runs](rightsmith::toolkit::Action *) { ++runs; });
    TzkAction *granted = form.addAction(u"granted"_s, GrantedId);
    granted->setOnExecute([&runs](rightsmith::toolkit::Action *) { runs += 10; });
    MessageRecorder recorder;
    QVERIFY(!denied->Execute());
    QVERIFY(!denied->isEnabled());
    granted->trigger();
    QCOMPARE(runs, 10);
    QVERIFY(recorder.messages.isEmpty());
}

void tst_TzkAction::protectedActionInAStandardListIsAnInvalidCast_data()
{
    QTest::addColumn<bool>("execute");
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("suspended");
    QTest::addColumn<bool>("raises");

    QTest::newRow("update, list option") << false << int(soParent) << false << true;
    QTest::newRow("update, own disable") << false << int(soSetDisabledOnFail) << false << true;
    QTest::newRow("update, own message") << false << int(soShowMessageOnFail) << false << true;
    // Execute reads the list before the standard step refuses a suspended list.
    QTest::newRow("execute, list option") << true << int(soParent) << true << true;
    QTest::newRow("execute, own message") << true << int(soShowMessageOnFail) << true << true;
    QTest::newRow("execute, own hide, through update")
        << true << int(soSetInvisibleOnFail) << false << true;
    QTest::newRow("execute, own disable, refused by the suspended list")
        << true << int(soSetDisabledOnFail) << true << false;
}

void tst_TzkAction::protectedActionInAStandardListIsAnInvalidCast()
{
    QFETCH(bool, execute);
    QFETCH(int, option);
    QFETCH(bool, suspended);
    QFETCH(bool, raises);

    rightsmith::toolkit::ActionList standardList;
    standardList.setSuspended(suspended);
    TzkAction action;
    action.setActionList(&standardList);
    action.setOptions(TzkSecurityOptions(option));
    action.setSecurityId(DeniedId);
    int runs = 0;
    action.setOnExecute([&runs](rightsmith::toolkit::Action *) { ++runs; });
    MessageRecorder recorder;

    QString error;
    try {
        if (execute)
            action.Execute();
        else
            action.Update();
    } catch (const rightsmith::toolkit::Error &e) {
        error = e.message();
    }
    QCOMPARE(error, raises ? u"Invalid type cast"_s : QString());
    QCOMPARE(runs, 0);
    QVERIFY(recorder.messages.isEmpty());

    // In no list at all the action is simply unprotected.
    action.setActionList(nullptr);
    action.Update();
    QVERIFY(action.Execute());
    QCOMPARE(runs, 1);
}

void tst_TzkAction::messageMode_data()
{
    QTest::addColumn<bool>("ownOption");
    QTest::addColumn<QString>("disabledMessage");
    QTest::addColumn<QString>("shown");

    const QString standard = u"Insuficient rights to access this functionality."_s;
    QTest::newRow("list option, standard text") << false << QString() << standard;
    QTest::newRow("own option, standard text") << true << QString() << standard;
    QTest::newRow("own text") << false << u"Ask your supervisor."_s << u"Ask your supervisor."_s;
}

void tst_TzkAction::messageMode()
{
    QFETCH(bool, ownOption);
    QFETCH(QString, disabledMessage);
    QFETCH(QString, shown);

    Form form;
    if (ownOption)
        form.list->setOptions(sorSetDisabledOnFail);
    else
        form.list->setOptions(sorShowMessageOnFail);
    int runs = 0;
    TzkAction *denied = form.addAction(u"denied"_s, DeniedId);
    denied->setDisabledMessage(disabledMessage);
    denied->setOnExecute([&runs](rightsmith::toolkit::Action *) { ++runs; });
    TzkAction *granted = form.addAction(u"granted"_s, GrantedId);
    granted->setOnExecute([&runs](rightsmith::toolkit::Action *) { runs += 10; });
    if (ownOption) {
        denied->setOptions(soShowMessageOnFail);
        granted->setOptions(soShowMessageOnFail);
    }

    MessageRecorder recorder;
    denied->Update();
    QVERIFY(denied->isEnabled());
    QVERIFY(denied->isVisible());
    // Chosen from its menu: the message instead of the handler.
    denied->trigger();
    QCOMPARE(recorder.messages, QStringList {shown});
    QCOMPARE(runs, 0);
    QVERIFY(!denied->Execute());
    QCOMPARE(recorder.messages.size(), 2);

    granted->trigger();
    QCOMPARE(runs, 10);
    QCOMPARE(recorder.messages.size(), 2);

    // A list without a security object lets everything run.
    form.list->SetSecurityObject(nullptr);
    denied->trigger();
    QCOMPARE(runs, 11);
    QCOMPARE(recorder.messages.size(), 2);
}

void tst_TzkAction::updateHandlerOverridesUntilTheNextPass()
{
    Form form;
    TzkAction *action = form.addAction(u"act"_s, DeniedId);
    bool force = true;
    action->setOnUpdate([&force](rightsmith::toolkit::Action *sender) {
        if (force)
            sender->setEnabled(true);
    });
    action->Update();
    QVERIFY(action->isEnabled());
    force = false;
    action->Update();
    QVERIFY(!action->isEnabled());
}

void tst_TzkAction::actionDesigner_data()
{
    QTest::addColumn<QString>("designer");
    QTest::addColumn<QStringList>("bound");

    QTest::newRow("two names, one TAB")
        << u"Edit1\tMemo1"_s << QStringList {u"Edit1"_s, u"Memo1"_s};
    QTest::newRow("two TABs end the list") << u"Edit1\t\tMemo1"_s << QStringList {u"Edit1"_s};
    QTest::newRow("blanks around names")
        << u"  Edit1 \t Memo1  "_s << QStringList {u"Edit1"_s, u"Memo1"_s};
    QTest::newRow("unknown name skipped") << u"Nothing\tButton1"_s << QStringList {u"Button1"_s};
    QTest::newRow("letter case ignored") << u"eDIT1"_s << QStringList {u"Edit1"_s};
    QTest::newRow("not a control") << u"zkActionList1\tother\tMemo1"_s << QStringList {u"Memo1"_s};
    QTest::newRow("empty") << QString() << QStringList {};
}

void tst_TzkAction::actionDesigner()
{
    QFETCH(QString, designer);
    QFETCH(QStringList, bound);

    Form form;
    auto *central = new QWidget(&form.window);
    form.window.setCentralWidget(central);
    QList<QWidget *> controls;
    for (QWidget *control : QList<QWidget *> {new QLineEdit(u"typed"_s, central),
                                              new QPlainTextEdit(u"memo"_s, central),
                                              new QPushButton(u"Press"_s, central)})
        controls.append(control);
    controls[0]->setObjectName(u"Edit1"_s);
    controls[1]->setObjectName(u"Memo1"_s);
    controls[2]->setObjectName(u"Button1"_s);
    TzkAction *other = form.addAction(u"other"_s, GrantedId);
    TzkAction *action = form.addAction(u"designed"_s, DeniedId);
    action->setActionDesigner(designer);
    action->Loaded();

    QStringList actual;
    for (QWidget *control : std::as_const(controls)) {
        if (rightsmith::toolkit::boundAction(control) == action)
            actual.append(control->objectName());
    }
    QCOMPARE(actual, bound);
    QCOMPARE(form.menu->actions(), (QList<QAction *> {other, action}));
}

void tst_TzkAction::boundControlsFollowTheRight()
{
    Form form;
    auto *edit = new QLineEdit(&form.window);
    edit->setObjectName(u"edtMainWnd"_s);
    auto *action = new TzkAction(&form.window);
    action->setText(u"Non Action Control"_s);
    action->setSecurityId(DeniedId);
    action->setActionDesigner(u"edtMainWnd"_s);
    action->setActionList(form.list);
    action->Loaded();
    QCOMPARE(rightsmith::toolkit::boundAction(edit), action);
    QCOMPARE(edit->text(), u"Non Action Control"_s);
    action->Update();
    QVERIFY(!edit->isEnabled());
    action->setSecurityId(GrantedId);
    action->Update();
    QVERIFY(edit->isEnabled());

    // An action in no list binds nothing.
    auto *loose = new TzkAction(&form.window);
    loose->setActionDesigner(u"edtMainWnd"_s);
    loose->Loaded();
    QCOMPARE(rightsmith::toolkit::boundAction(edit), action);
}

void tst_TzkAction::generatedNames()
{
    Form form;
    TzkAction *first = form.list->CreateSecurityAction(nullptr);
    TzkAction *second = form.list->CreateSecurityAction(nullptr);
    QCOMPARE(first->objectName(), u"zkAutoGenerated"_s);
    QCOMPARE(second->objectName(), u"zkAutoGenerated1"_s);
    // Another component of the owner holding the next name, in other letters, is skipped.
    auto *blocker = new QObject(&form.window);
    blocker->setObjectName(u"ZKAUTOGENERATED2"_s);
    QCOMPARE(form.list->CreateSecurityAction(nullptr)->objectName(), u"zkAutoGenerated3"_s);

    QCOMPARE(first->parent(), &form.window);
    QCOMPARE(first->actionList(), form.list);
    QCOMPARE(form.list->indexOf(second), 1);
    // Numbered above the list's actions and the (empty) security template.
    QCOMPARE(first->SecurityId(), 1);
    QCOMPARE(second->SecurityId(), 2);

    // Without a security object the identifier stays 0.
    TzkActionList unbound(&form.window);
    QCOMPARE(unbound.CreateSecurityAction(nullptr)->SecurityId(), 0);
}

void tst_TzkAction::copyOfAStandardAction()
{
    Form form;
    rightsmith::toolkit::ActionList standardList(&form.window);
    auto *source = new rightsmith::toolkit::Action(&form.window);
    source->setObjectName(u"FileNew1"_s);
    source->setActionList(&standardList);
    source->setText(u"&New"_s);
    source->setCategory(u"File"_s);
    source->setHint(u"New|Create a new file"_s);
    source->setShortcut(QKeySequence(u"Ctrl+N"_s));
    source->setTag(7);
    source->setImageIndex(3);
    source->setCheckable(true);
    source->setChecked(true);
    int runs = 0;
    source->setOnExecute([&runs](rightsmith::toolkit::Action *) { ++runs; });

    TzkAction *copy = form.list->CreateSecurityAction(source);
    QCOMPARE(copy->objectName(), u"zkFileNew1"_s);
    QCOMPARE(form.list->CreateSecurityAction(source)->objectName(), u"zkFileNew11"_s);
    QCOMPARE(copy->text(), u"&New"_s);
    QCOMPARE(copy->category(), u"File"_s);
    QCOMPARE(copy->hint(), u"New|Create a new file"_s);
    QCOMPARE(copy->shortcut(), QKeySequence(u"Ctrl+N"_s));
    QCOMPARE(copy->tag(), 7);
    QCOMPARE(copy->imageIndex(), 3);
    QVERIFY(copy->isChecked());
    QCOMPARE(copy->Options(), soParent);
    QCOMPARE(copy->actionList(), form.list);
    QVERIFY(!copy->disableIfNoHandler());
    copy->setSecurityId(GrantedId);
    QVERIFY(copy->Execute());
    QCOMPARE(runs, 1);
}

void tst_TzkAction::switchingSecurityObject()
{
    testsupport::TemporaryHome home;
    TzkSecurity first;
    TzkSecurity second;
    TzkActionList list;
    using Clients = QList<rightsmith::toolkit::ActionList *>;

    list.SetSecurityObject(&first);
    QCOMPARE(first.Clients(), Clients {&list});
    list.SetSecurityObject(&second);
    QCOMPARE(first.Clients(), Clients {});
    QCOMPARE(second.Clients(), Clients {&list});
    list.SetSecurityObject(&second);
    QCOMPARE(second.Clients(), Clients {&list});
    QCOMPARE(list.SecurityObject(), &second);
    list.SetSecurityObject(nullptr);
    QCOMPARE(second.Clients(), Clients {});
    QCOMPARE(list.SecurityObject(), nullptr);
}

namespace {

// A form with a security component first, then a standard list whose action
// "FileOpen1" is used by a menu item and a button, and "Unused" by nothing.
struct StandardForm
{
    explicit StandardForm(bool designMode)
    {
        rightsmith::toolkit::setDesignMode(&window, designMode);
        security = new TzkSecurity(&window);
        menu = window.menuBar()->addMenu(u"&File"_s);
        standardList = new rightsmith::toolkit::ActionList(&window);
        standardList->setObjectName(u"ActionList1"_s);
        images = new rightsmith::toolkit::ImageList(&window);
        standardList->setImages(images);
        standardList->setOnExecute(
            [this](rightsmith::toolkit::Action *) { return listExecuted = true; });
        open = new rightsmith::toolkit::Action(&window);
        open->setObjectName(u"FileOpen1"_s);
        open->setText(u"&Open"_s);
        open->setActionList(standardList);
        unused = new rightsmith::toolkit::Action(&window);
        unused->setObjectName(u"Unused"_s);
        unused->setActionList(standardList);
        menu->addAction(open);
        button = new QPushButton(&window);
        rightsmith::toolkit::bindWidget(button, open);
    }
    testsupport::TemporaryHome home;
    QMainWindow window;
    TzkSecurity *security;
    QMenu *menu;
    QPointer<rightsmith::toolkit::ActionList> standardList;
    rightsmith::toolkit::ImageList *images;
    QPointer<rightsmith::toolkit::Action> open;
    QPointer<rightsmith::toolkit::Action> unused;
    QPushButton *button;
    bool listExecuted = false;
};

} // namespace

void tst_TzkAction::runtimeCreationNeverScans()
{
    StandardForm form(false);
    MessageRecorder recorder({true, true});
    auto *list = new TzkActionList(&form.window);
    QVERIFY(recorder.questions.isEmpty());
    QCOMPARE(list->SecurityObject(), nullptr);
    QCOMPARE(list->count(), 0);
    QVERIFY(form.standardList);
    QCOMPARE(form.menu->actions(), QList<QAction *> {form.open.data()});
    QCOMPARE(form.security->Clients(), QList<rightsmith::toolkit::ActionList *> {});
}

void tst_TzkAction::designScanConvertsOnYes()
{
    StandardForm form(true);
    MessageRecorder recorder({true, true});
    auto *list = new TzkActionList(&form.window);
    QCOMPARE(recorder.questions, (QStringList {ConvertQuestion, DeleteQuestion}));
    QCOMPARE(list->SecurityObject(), form.security);
    QCOMPARE(form.security->Clients(), QList<rightsmith::toolkit::ActionList *> {list});

    // One protected action for the menu item and the button; the unused action is not converted.
    QCOMPARE(list->count(), 1);
    auto *made = qobject_cast<TzkAction *>(list->action(0));
    QVERIFY(made);
    QCOMPARE(made->objectName(), u"zkFileOpen1"_s);
    QCOMPARE(made->text(), u"&Open"_s);
    QCOMPARE(form.menu->actions(), QList<QAction *> {made});
    QCOMPARE(rightsmith::toolkit::boundAction(form.button), made);
    // The list took the standard list's images and handlers, and the standard list is gone.
    QCOMPARE(list->images(), form.images);
    QVERIFY(list->onExecute());
    QVERIFY(!form.standardList);
    QVERIFY(!form.open);
}

void tst_TzkAction::designScanAnsweredNoStopsEverything()
{
    StandardForm form(true);
    MessageRecorder recorder({false});
    auto *list = new TzkActionList(&form.window);
    QCOMPARE(recorder.questions, QStringList {ConvertQuestion});
    // The security component comes earlier in the owner's order: never reached.
    QCOMPARE(list->SecurityObject(), nullptr);
    QCOMPARE(list->count(), 0);
    QVERIFY(form.standardList);
    QCOMPARE(form.menu->actions(), QList<QAction *> {form.open.data()});
    QCOMPARE(rightsmith::toolkit::boundAction(form.button), form.open.data());
    QCOMPARE(list->images(), nullptr);
}

void tst_TzkAction::designScanAsksToDeleteAfterEveryFurtherList()
{
    StandardForm form(true);
    // An earlier standard list of which nothing is used.
    auto *earlier = new rightsmith::toolkit::ActionList(&form.window);
    auto *idle = new rightsmith::toolkit::Action(&form.window);
    idle->setActionList(earlier);
    // A later list whose action is used: met first by the scan.
    auto *later = new rightsmith::toolkit::ActionList(&form.window);
    auto *save = new rightsmith::toolkit::Action(&form.window);
    save->setObjectName(u"FileSave1"_s);
    save->setActionList(later);
    form.menu->addAction(save);

    MessageRecorder recorder({true, false, false});
    auto *list = new TzkActionList(&form.window);
    QCOMPARE(recorder.questions,
             (QStringList {ConvertQuestion, DeleteQuestion, DeleteQuestion, DeleteQuestion}));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->action(0)->objectName(), u"zkFileSave1"_s);
    QCOMPARE(list->action(1)->objectName(), u"zkFileOpen1"_s);
    // Only the first converted list hands over images and handlers, and it had none.
    QCOMPARE(list->images(), nullptr);
    QVERIFY(!list->onExecute());
    QCOMPARE(list->SecurityObject(), form.security);
    QVERIFY(form.standardList);
}

RIGHTSMITH_TEST_MAIN(tst_TzkAction)
#include "tst_tzkaction.moc"
