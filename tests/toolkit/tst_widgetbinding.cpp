// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Plain widgets bound to actions, and the action of a control or menu item.
#include "support/testsupport.h"
#include "toolkit/action.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Action;

class tst_WidgetBinding : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void copiesStateAtOnceAndOnChange_data();
    void copiesStateAtOnceAndOnChange();
    void neverOverwritesWhatTheUserTyped();
    void buttonTakesMnemonicAndClickRunsExecute();
    void memoTakesTheCaption();
    void topLevelWindowIsNotShownByBinding();
    void endsWhenEitherDies();
    void rebindingReplaces();
    void controlAction();
    void menuItemAction();
};

void tst_WidgetBinding::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(rightsmith::toolkit::allBoundWidgets().isEmpty());
}

void tst_WidgetBinding::copiesStateAtOnceAndOnChange_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("statusTip");
    QTest::newRow("split hint") << u"Name|The user's name"_s << u"Name"_s << u"The user's name"_s;
    QTest::newRow("plain hint") << u"Name"_s << u"Name"_s << u"Name"_s;
    QTest::newRow("no hint") << QString() << QString() << QString();
}

void tst_WidgetBinding::copiesStateAtOnceAndOnChange()
{
    QFETCH(QString, hint);
    QFETCH(QString, toolTip);
    QFETCH(QString, statusTip);

    QWidget form;
    auto *edit = new QLineEdit(u"design text"_s, &form);
    auto *panel = new QWidget(&form);
    Action action(&form);
    action.setText(u"R&&D notes"_s);
    action.setHint(hint);
    action.setEnabled(false);

    rightsmith::toolkit::bindWidget(edit, &action);
    rightsmith::toolkit::bindWidget(panel, &action);
    // The edit shows the caption exactly as the action holds it.
    QCOMPARE(edit->text(), u"R&&D notes"_s);
    QVERIFY(!edit->isEnabled());
    QVERIFY(!panel->isEnabled());
    QCOMPARE(edit->toolTip(), toolTip);
    QCOMPARE(edit->statusTip(), statusTip);
    QCOMPARE(panel->toolTip(), toolTip);
    QCOMPARE(rightsmith::toolkit::boundAction(edit), &action);
    QCOMPARE(rightsmith::toolkit::boundWidgets(&action).size(), 2);

    action.setEnabled(true);
    QVERIFY(edit->isEnabled());
    action.setVisible(false);
    QVERIFY(edit->isHidden());
    QVERIFY(panel->isHidden());
    action.setVisible(true);
    QVERIFY(!edit->isHidden());
    action.setHint(u"Other|Other status"_s);
    QCOMPARE(edit->toolTip(), u"Other"_s);
    QCOMPARE(edit->statusTip(), u"Other status"_s);
    action.setText(u"New caption"_s);
    QCOMPARE(edit->text(), u"New caption"_s);

    // A widget already disabled through its parent still takes the action's
    // own state, which shows once the parent is enabled again.
    form.setEnabled(false);
    action.setEnabled(false);
    form.setEnabled(true);
    QVERIFY(!edit->isEnabled());
}

void tst_WidgetBinding::neverOverwritesWhatTheUserTyped()
{
    QWidget form;
    auto *edit = new QLineEdit(&form);
    Action action(&form);
    action.setText(u"caption"_s);
    rightsmith::toolkit::bindWidget(edit, &action);
    QCOMPARE(edit->text(), u"caption"_s);

    edit->setText(u"typed by the user"_s);
    QSignalSpy textChanged(edit, &QLineEdit::textChanged);
    action.setEnabled(false);
    action.setEnabled(true);
    action.setText(u"a new caption"_s);
    QCOMPARE(edit->text(), u"typed by the user"_s);
    QCOMPARE(textChanged.count(), 0);

    // Back to the caption it last had: the link to the caption is there again.
    edit->setText(u"a new caption"_s);
    action.setText(u"third caption"_s);
    QCOMPARE(edit->text(), u"third caption"_s);
}

void tst_WidgetBinding::buttonTakesMnemonicAndClickRunsExecute()
{
    QWidget form;
    auto *button = new QPushButton(&form);
    Action action(&form);
    action.setText(u"&Check ID 30"_s);
    int executed = 0;
    action.setOnExecute([&](Action *) { ++executed; });
    rightsmith::toolkit::bindWidget(button, &action);
    QCOMPARE(button->text(), u"&Check ID 30"_s);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(executed, 1);

    // A disabled action disables its button: no click gets through.
    action.setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(executed, 1);
    action.setEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(executed, 2);
}

void tst_WidgetBinding::memoTakesTheCaption()
{
    QWidget form;
    auto *memo = new QPlainTextEdit(u"memo text"_s, &form);
    Action action(&form);
    action.setText(u"memo text"_s);
    rightsmith::toolkit::bindWidget(memo, &action);
    QCOMPARE(memo->toPlainText(), u"memo text"_s);
    memo->appendPlainText(u"more lines"_s);
    action.setEnabled(false);
    QCOMPARE(memo->toPlainText(), u"memo text\nmore lines"_s);
    QVERIFY(!memo->isEnabled());
}

void tst_WidgetBinding::topLevelWindowIsNotShownByBinding()
{
    QWidget window;
    Action action;
    rightsmith::toolkit::bindWidget(&window, &action);
    QVERIFY(!window.isVisible());
    action.setVisible(false);
    action.setVisible(true);
    QVERIFY(!window.isVisible());
    rightsmith::toolkit::unbindWidget(&window);
    QCOMPARE(rightsmith::toolkit::boundAction(&window), nullptr);
}

void tst_WidgetBinding::endsWhenEitherDies()
{
    QWidget form;
    auto *edit = new QLineEdit(&form);
    auto *action = new Action(&form);
    action->setEnabled(false);
    rightsmith::toolkit::bindWidget(edit, action);
    delete action;
    QCOMPARE(rightsmith::toolkit::boundAction(edit), nullptr);
    QVERIFY(!edit->isEnabled()); // keeps the state it last received

    Action survivor;
    auto *second = new QLineEdit(&form);
    rightsmith::toolkit::bindWidget(second, &survivor);
    delete second;
    QVERIFY(rightsmith::toolkit::boundWidgets(&survivor).isEmpty());
    survivor.setText(u"still fine"_s); // no dangling widget is touched
}

void tst_WidgetBinding::rebindingReplaces()
{
    QWidget form;
    auto *edit = new QLineEdit(&form);
    Action first(&form);
    Action second(&form);
    first.setText(u"first"_s);
    second.setText(u"second"_s);
    rightsmith::toolkit::bindWidget(edit, &first);
    rightsmith::toolkit::bindWidget(edit, &second);
    QCOMPARE(rightsmith::toolkit::boundAction(edit), &second);
    QCOMPARE(edit->text(), u"second"_s);
    first.setEnabled(false);
    QVERIFY(edit->isEnabled());
    QVERIFY(rightsmith::toolkit::boundWidgets(&first).isEmpty());

    rightsmith::toolkit::bindWidget(edit, nullptr);
    QCOMPARE(rightsmith::toolkit::boundAction(edit), nullptr);
    second.setEnabled(false);
    QVERIFY(edit->isEnabled());
}

void tst_WidgetBinding::controlAction()
{
    QWidget form;
    auto *edit = new QLineEdit(&form);
    Action action(&form);
    QVERIFY(rightsmith::toolkit::isControl(edit));
    QVERIFY(!rightsmith::toolkit::isControl(&action));
    QVERIFY(!rightsmith::toolkit::isMenuItem(edit));
    QCOMPARE(rightsmith::toolkit::controlAction(edit), nullptr);

    rightsmith::toolkit::setControlAction(edit, &action);
    QCOMPARE(rightsmith::toolkit::controlAction(edit), &action);
    QCOMPARE(rightsmith::toolkit::boundAction(edit), &action);
    rightsmith::toolkit::setControlAction(edit, nullptr);
    QCOMPARE(rightsmith::toolkit::controlAction(edit), nullptr);

    // Neither a control nor a menu item.
    QObject plain;
    rightsmith::toolkit::setControlAction(&plain, &action);
    QCOMPARE(rightsmith::toolkit::controlAction(&plain), nullptr);
}

void tst_WidgetBinding::menuItemAction()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(u"&File"_s);
    QMenu *popup = new QMenu(&window);
    QToolBar *toolBar = window.addToolBar(u"Tools"_s);
    auto *standalone = new QToolButton(&window);
    auto *before = new QAction(u"Open"_s, &window);
    auto *standard = new Action(&window);
    standard->setText(u"&New"_s);
    auto *after = new QAction(u"Close"_s, &window);
    file->addActions({before, standard, after});
    popup->addAction(standard);
    toolBar->addAction(standard);
    standalone->setDefaultAction(standard);
    auto *unplaced = new Action(&window);

    QVERIFY(rightsmith::toolkit::isMenuItem(standard));
    QVERIFY(!rightsmith::toolkit::isMenuItem(unplaced));
    QCOMPARE(rightsmith::toolkit::controlAction(standard), standard);
    QCOMPARE(rightsmith::toolkit::controlAction(unplaced), nullptr);
    QCOMPARE(rightsmith::toolkit::controlAction(before),
             nullptr); // a plain QAction is no toolkit action

    auto *made = new Action(&window);
    made->assign(*standard);
    rightsmith::toolkit::setControlAction(standard, made);
    QCOMPARE(file->actions(), (QList<QAction *> {before, made, after}));
    QCOMPARE(popup->actions(), QList<QAction *> {made});
    QCOMPARE(toolBar->actions(), QList<QAction *> {made});
    QVERIFY(toolBar->widgetForAction(made));
    QCOMPARE(standalone->defaultAction(), made);
    QVERIFY(!standalone->actions().contains(standard));
    QVERIFY(!rightsmith::toolkit::isMenuItem(standard));
    QCOMPARE(rightsmith::toolkit::controlAction(made), made);

    // Without an action to put in its place a menu item stays.
    rightsmith::toolkit::setControlAction(made, nullptr);
    QCOMPARE(file->actions(), (QList<QAction *> {before, made, after}));
}

RIGHTSMITH_TEST_MAIN(tst_WidgetBinding)
#include "tst_widgetbinding.moc"
