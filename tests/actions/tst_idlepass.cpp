// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The idle-time update pass alone keeps protected commands in line with the
// rights of whoever is logged on: nothing here calls Update().
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/testsupport.h"
#include "toolkit/component.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/idleupdater.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;
using namespace zkActnLst;
using zkSecurity::TzkSecurity;

namespace {

zkSecurity::TreeNode *addNode(zkSecurity::TzkSecurityTemplate &tree, zkSecurity::TreeNode *parent,
                              const QByteArray &text, qint32 id)
{
    zkSecurity::TreeNode *node = tree.addChild(parent, text);
    auto record = std::make_unique<zkSecurity::TzkNodeRecord>();
    record->SecurityId = id;
    node->setData(std::move(record));
    return node;
}

// Lets the event loop run until it has gone idle at least once.
bool goIdle()
{
    const quint64 before = rightsmith::toolkit::IdleUpdater::passCount();
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    return rightsmith::toolkit::IdleUpdater::passCount() > before;
}

// A protected action of \a list, owned by \a owner.
TzkAction *addProtectedAction(QObject *owner, TzkActionList *list, const QString &caption,
                              qint32 id)
{
    auto *action = new TzkAction(owner);
    action->setText(caption);
    action->setSecurityId(id);
    action->setActionList(list);
    return action;
}

/// A protected action that counts its updates.
class CountingAction : public TzkAction
{
public:
    using TzkAction::TzkAction;
    bool Update() override
    {
        ++updates;
        return TzkAction::Update();
    }
    int updates = 0;
};

// Adds user \a name with password "pw" and the rights \a rights, granted or not.
void addUser(zkSecurity::TzkSecurityTemplate &users, const QByteArray &name,
             const QList<std::pair<QByteArray, qint32>> &rights)
{
    zkSecurity::TreeNode *user = addNode(users, nullptr, name, 0);
    addNode(users, user, QByteArrayLiteral("Password(********)"), 0)
        ->editData()
        ->setCaption(zkCript::TCripter::Scramble(QByteArrayLiteral("pw")));
    zkSecurity::TreeNode *rightsNode = addNode(users, user, QByteArrayLiteral("Rights"), 0);
    for (const auto &[text, id] : rights)
        addNode(users, rightsNode, text, id);
}

enum class Change {
    RightRevoked,
    OtherUserLogsOn,
    SecurityIdChanged,
    ListOptionChanged,
    ShownAgainByCode,
    MenuShown,
    ControlBound,
};

} // namespace

Q_DECLARE_METATYPE(Change)

class tst_IdlePass : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { rightsmith::toolkit::IdleUpdater::install(); }
    void rightsFollowLogonRevocationAndRefusal();
    void hiddenCommandsComeBackOnlyAfterALogonThatForcesThem_data();
    void hiddenCommandsComeBackOnlyAfterALogonThatForcesThem();
    void quietPassPicksUpEachChangeAtTheNextPass_data();
    void quietPassPicksUpEachChangeAtTheNextPass();
};

void tst_IdlePass::rightsFollowLogonRevocationAndRefusal()
{
    testsupport::TemporaryHome home;
    QMainWindow window;
    auto *security = new TzkSecurity(&window);
    // No automatic logon: the test logs on itself.
    security->SetOptions(zkSecurity::TzkSecurityOptionSet {zkSecurity::soShowIcons});
    auto *list = new TzkActionList(&window);
    list->SetSecurityObject(security);

    QMenu *menu = window.menuBar()->addMenu(u"&File"_s);
    QToolBar *toolBar = window.addToolBar(u"Tools"_s);
    auto *edit = new QLineEdit(&window);
    edit->setObjectName(u"edtMainWnd"_s);
    window.setCentralWidget(edit);
    const auto protectedAction = [&](const QString &caption, qint32 id) {
        return addProtectedAction(&window, list, caption, id);
    };
    TzkAction *open = protectedAction(u"&Open"_s, 1);
    menu->addAction(open);
    TzkAction *close = protectedAction(u"&Close"_s, 2);
    menu->addAction(close);
    TzkAction *save = protectedAction(u"&Save"_s, 3);
    toolBar->addAction(save);
    TzkAction *control = protectedAction(u"Non Action Control"_s, 4);
    control->setActionDesigner(u"edtMainWnd"_s);
    rightsmith::toolkit::finishLoading(&window);
    QCOMPARE(rightsmith::toolkit::boundAction(edit), control);

    auto &users = *security->UserTemplate();
    zkSecurity::TreeNode *anna = addNode(users, nullptr, QByteArrayLiteral("Anna"), 0);
    addNode(users, anna, QByteArrayLiteral("Password(********)"), 0)
        ->editData()
        ->setCaption(zkCript::TCripter::Scramble(QByteArrayLiteral("pw")));
    zkSecurity::TreeNode *rights = addNode(users, anna, QByteArrayLiteral("Rights"), 0);
    zkSecurity::TreeNode *file = addNode(users, rights, QByteArrayLiteral("File"), 0);
    zkSecurity::TreeNode *openRight = addNode(users, file, QByteArrayLiteral("Open (Yes)"), 1);
    addNode(users, file, QByteArrayLiteral("Close (Yes)"), 2);
    addNode(users, file, QByteArrayLiteral("Save (Yes)"), 3);
    addNode(users, rights, QByteArrayLiteral("Non Action Control (Yes)"), 4);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<TzkAction *> all {open, close, save, control};

    // Nobody logged on: everything denied.
    QVERIFY(goIdle());
    for (TzkAction *action : all)
        QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
    QVERIFY(!edit->isEnabled());

    // Logged on silently, without any window.
    QVERIFY(security->Logon(QByteArrayLiteral("Anna"), QByteArrayLiteral("pw"), true));
    QVERIFY(goIdle());
    for (TzkAction *action : all)
        QVERIFY2(action->isEnabled(), qPrintable(action->text()));
    QVERIFY(edit->isEnabled());

    // The right revoked in the user template: the next pass disables that command only.
    openRight->setText(QByteArrayLiteral("Open (No)"));
    QVERIFY(goIdle());
    QVERIFY(!open->isEnabled());
    QVERIFY(close->isEnabled());
    QVERIFY(save->isEnabled());
    QVERIFY(edit->isEnabled());

    // A refused logon (wrong password, the dialog cancelled, the current logon
    // not kept) leaves every protected command disabled.
    const rightsmith::toolkit::MessageHook previous = rightsmith::toolkit::setMessageHook(
        [](rightsmith::toolkit::MessageKind, const QString &) { return false; });
    bool dialogShown = false;
    testsupport::answerNextModal([&dialogShown](QWidget *modal) {
        dialogShown = true;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    const bool accepted =
        security->Logon(QByteArrayLiteral("Anna"), QByteArrayLiteral("wrong"), true);
    rightsmith::toolkit::setMessageHook(previous);
    QVERIFY(!accepted);
    QVERIFY(dialogShown);
    QVERIFY(goIdle());
    for (TzkAction *action : all)
        QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
    QVERIFY(!edit->isEnabled());
}

void tst_IdlePass::hiddenCommandsComeBackOnlyAfterALogonThatForcesThem_data()
{
    QTest::addColumn<bool>("forceVisible");
    QTest::newRow("without soForceClientsVisibleAfterLogon") << false;
    QTest::newRow("with soForceClientsVisibleAfterLogon") << true;
}

void tst_IdlePass::hiddenCommandsComeBackOnlyAfterALogonThatForcesThem()
{
    QFETCH(bool, forceVisible);

    testsupport::TemporaryHome home;
    QMainWindow window;
    auto *security = new TzkSecurity(&window);
    const zkSecurity::TzkSecurityOptionSet options {zkSecurity::soShowIcons};
    security->SetOptions(forceVisible ? options.with(zkSecurity::soForceClientsVisibleAfterLogon)
                                      : options);
    auto *list = new TzkActionList(&window);
    list->setOptions(sorSetInvisibleOnFail);
    list->SetSecurityObject(security);

    QMenu *menu = window.menuBar()->addMenu(u"&File"_s);
    auto *edit = new QLineEdit(&window);
    window.setCentralWidget(edit);
    const auto protectedAction = [&](const QString &caption, qint32 id) {
        return addProtectedAction(&window, list, caption, id);
    };
    TzkAction *open = protectedAction(u"&Open"_s, 1);
    menu->addAction(open);
    TzkAction *close = protectedAction(u"&Close"_s, 2);
    menu->addAction(close);
    TzkAction *control = protectedAction(u"Memo"_s, 3);
    rightsmith::toolkit::bindWidget(edit, control);

    auto &users = *security->UserTemplate();
    zkSecurity::TreeNode *anna = addNode(users, nullptr, QByteArrayLiteral("Anna"), 0);
    addNode(users, anna, QByteArrayLiteral("Password(********)"), 0)
        ->editData()
        ->setCaption(zkCript::TCripter::Scramble(QByteArrayLiteral("pw")));
    zkSecurity::TreeNode *rights = addNode(users, anna, QByteArrayLiteral("Rights"), 0);
    zkSecurity::TreeNode *openRight = addNode(users, rights, QByteArrayLiteral("Open (No)"), 1);
    addNode(users, rights, QByteArrayLiteral("Close (No)"), 2);
    zkSecurity::TreeNode *memoRight = addNode(users, rights, QByteArrayLiteral("Memo (No)"), 3);
    security->Dialogs()->SetSecurity(security);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(security->Logon(QByteArrayLiteral("Anna"), QByteArrayLiteral("pw"), true));
    QVERIFY(goIdle());
    QVERIFY(!open->isVisible());
    QVERIFY(!close->isVisible());
    QVERIFY(edit->isHidden());

    // Granted now, yet no pass brings back what the invisible mode hid.
    openRight->setText(QByteArrayLiteral("Open (Yes)"));
    memoRight->setText(QByteArrayLiteral("Memo (Yes)"));
    QVERIFY(goIdle());
    QVERIFY(!open->isVisible());
    QVERIFY(edit->isHidden());

    // A logon shows them all again only with the option; the next pass hides
    // what the user still may not use.
    QVERIFY(security->Logon(QByteArrayLiteral("Anna"), QByteArrayLiteral("pw"), true));
    QCOMPARE(close->isVisible(), forceVisible);
    QVERIFY(goIdle());
    QCOMPARE(open->isVisible(), forceVisible);
    QCOMPARE(edit->isHidden(), !forceVisible);
    QVERIFY(!close->isVisible());
}

void tst_IdlePass::quietPassPicksUpEachChangeAtTheNextPass_data()
{
    QTest::addColumn<bool>("hiding");
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("updated");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");

    // Open, Close and Save sit in a menu (Save denied to Anna), Recent in a
    // submenu whose entry is hidden, Memo in no widget yet. A change of rights
    // updates only the reachable actions whose answer it turns (Bob holds
    // Open but neither Close nor Save).
    const QStringList reachable {u"Open"_s, u"Close"_s, u"Save"_s};
    QTest::newRow("right revoked, disabling")
        << false << Change::RightRevoked << QStringList {u"Open"_s} << u"Open"_s << false << true;
    QTest::newRow("right revoked, hiding")
        << true << Change::RightRevoked << QStringList {u"Open"_s} << u"Open"_s << false << false;
    QTest::newRow("another user logs on")
        << false << Change::OtherUserLogsOn << QStringList {u"Close"_s} << u"Close"_s << false
        << true;
    QTest::newRow("SecurityId changed") << false << Change::SecurityIdChanged
                                        << QStringList {u"Open"_s} << u"Open"_s << false << true;
    QTest::newRow("list option changed")
        << false << Change::ListOptionChanged << reachable << u"Save"_s << false << false;
    QTest::newRow("hidden action shown by code")
        << true << Change::ShownAgainByCode << QStringList {u"Save"_s} << u"Save"_s << false
        << false;
    QTest::newRow("submenu shown")
        << false << Change::MenuShown << QStringList {u"Recent"_s} << u"Recent"_s << false << true;
    QTest::newRow("control bound")
        << false << Change::ControlBound << QStringList {u"Memo"_s} << u"Memo"_s << false << true;
}

void tst_IdlePass::quietPassPicksUpEachChangeAtTheNextPass()
{
    QFETCH(bool, hiding);
    QFETCH(Change, change);
    QFETCH(QStringList, updated);
    QFETCH(QString, checked);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);
    using rightsmith::toolkit::IdleUpdater;

    testsupport::TemporaryHome home;
    QMainWindow window;
    auto *security = new TzkSecurity(&window);
    security->SetOptions(zkSecurity::TzkSecurityOptionSet {zkSecurity::soShowIcons});
    auto *list = new TzkActionList(&window);
    list->setOptions(hiding ? sorSetInvisibleOnFail : sorSetDisabledOnFail);
    list->SetSecurityObject(security);

    QMap<QString, CountingAction *> actions;
    const auto add = [&](const QString &caption, qint32 id) {
        auto *action = new CountingAction(&window);
        action->setText(caption);
        action->setSecurityId(id);
        action->setActionList(list);
        actions.insert(caption, action);
        return action;
    };
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    file->addAction(add(u"Open"_s, 1));
    file->addAction(add(u"Close"_s, 2));
    file->addAction(add(u"Save"_s, 3));
    QMenu *more = file->addMenu(u"More"_s);
    more->menuAction()->setVisible(false);
    more->addAction(add(u"Recent"_s, 4));
    add(u"Memo"_s, 5);
    auto *edit = new QLineEdit(&window);
    window.setCentralWidget(edit);

    auto &users = *security->UserTemplate();
    addUser(users, QByteArrayLiteral("Anna"),
            {{"Open (Yes)", 1},
             {"Close (Yes)", 2},
             {"Save (No)", 3},
             {"Recent (No)", 4},
             {"Memo (No)", 5}});
    addUser(users, QByteArrayLiteral("Bob"), {{"Open (Yes)", 1}, {"Close (No)", 2}});
    security->Dialogs()->SetSecurity(security);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(security->Logon(QByteArrayLiteral("Anna"), QByteArrayLiteral("pw"), true));
    QVERIFY(goIdle());
    IdleUpdater::runPass();

    const auto updatesNow = [&actions] {
        QMap<QString, int> counts;
        for (auto it = actions.cbegin(); it != actions.cend(); ++it)
            counts.insert(it.key(), it.value()->updates);
        return counts;
    };
    // Quiet: a pass updates nothing.
    const QMap<QString, int> settled = updatesNow();
    IdleUpdater::runPass();
    QCOMPARE(updatesNow(), settled);

    switch (change) {
    case Change::RightRevoked:
        security->FindRightNode(users.GetUserNodeByUserName("Anna"), 1)->setText("Open (No)");
        break;
    case Change::OtherUserLogsOn:
        QVERIFY(security->Logon(QByteArrayLiteral("Bob"), QByteArrayLiteral("pw"), true));
        break;
    case Change::SecurityIdChanged:
        actions[u"Open"_s]->setSecurityId(3);
        break;
    case Change::ListOptionChanged:
        list->setOptions(sorSetInvisibleOnFail);
        break;
    case Change::ShownAgainByCode:
        actions[u"Save"_s]->setVisible(true);
        break;
    case Change::MenuShown:
        more->menuAction()->setVisible(true);
        break;
    case Change::ControlBound:
        rightsmith::toolkit::bindWidget(edit, actions[u"Memo"_s]);
        break;
    }
    IdleUpdater::runPass();
    QMap<QString, int> expected = settled;
    for (const QString &name : std::as_const(updated))
        ++expected[name];
    QCOMPARE(updatesNow(), expected);
    QCOMPARE(actions[checked]->isEnabled(), enabled);
    QCOMPARE(actions[checked]->isVisible(), visible);

    // Quiet again.
    IdleUpdater::runPass();
    QCOMPARE(updatesNow(), expected);
}

RIGHTSMITH_TEST_MAIN(tst_IdlePass)
#include "tst_idlepass.moc"
