// Plain widgets bound to actions, and the action of a control or menu item.
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
using toolkit::Action;

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
    QVERIFY(toolkit::allBoundWidgets().isEmpty());
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

    toolkit::bindWidget(edit, &action);
    toolkit::bindWidget(panel, &action);
    // The edit shows the caption exactly as the action holds it.
    QCOMPARE(edit->text(), u"R&&D notes"_s);
    QVERIFY(!edit->isEnabled());
    QVERIFY(!panel->isEnabled());
    QCOMPARE(edit->toolTip(), toolTip);
    QCOMPARE(edit->statusTip(), statusTip);
    QCOMPARE(panel->toolTip(), toolTip);
    QCOMPARE(toolkit::boundAction(edit), &action);
    QCOMPARE(toolkit::boundWidgets(&action).size(), 2);

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
    toolkit::bindWidget(edit, &action);
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
    toolkit::bindWidget(button, &action);
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
    toolkit::bindWidget(memo, &action);
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
    toolkit::bindWidget(&window, &action);
    QVERIFY(!window.isVisible());
    action.setVisible(false);
    action.setVisible(true);
    QVERIFY(!window.isVisible());
    toolkit::unbindWidget(&window);
    QCOMPARE(toolkit::boundAction(&window), nullptr);
}

void tst_WidgetBinding::endsWhenEitherDies()
{
    QWidget form;
    auto *edit = new QLineEdit(&form);
    auto *action = new Action(&form);
    action->setEnabled(false);
    toolkit::bindWidget(edit, action);
    delete action;
    QCOMPARE(toolkit::boundAction(edit), nullptr);
    QVERIFY(!edit->isEnabled()); // keeps the state it last received

    Action survivor;
    auto *second = new QLineEdit(&form);
    toolkit::bindWidget(second, &survivor);
    delete second;
    QVERIFY(toolkit::boundWidgets(&survivor).isEmpty());
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
    toolkit::bindWidget(edit, &first);
    toolkit::bindWidget(edit, &second);
    QCOMPARE(toolkit::boundAction(edit), &second);
    QCOMPARE(edit->text(), u"second"_s);
    first.setEnabled(false);
    QVERIFY(edit->isEnabled());
    QVERIFY(toolkit::boundWidgets(&first).isEmpty());

    toolkit::bindWidget(edit, nullptr);
    QCOMPARE(toolkit::boundAction(edit), nullptr);
    second.setEnabled(false);
    QVERIFY(edit->isEnabled());
}

void tst_WidgetBinding::controlAction()
{
    QWidget form;
    auto *edit = new QLineEdit(&form);
    Action action(&form);
    QVERIFY(toolkit::isControl(edit));
    QVERIFY(!toolkit::isControl(&action));
    QVERIFY(!toolkit::isMenuItem(edit));
    QCOMPARE(toolkit::controlAction(edit), nullptr);

    toolkit::setControlAction(edit, &action);
    QCOMPARE(toolkit::controlAction(edit), &action);
    QCOMPARE(toolkit::boundAction(edit), &action);
    toolkit::setControlAction(edit, nullptr);
    QCOMPARE(toolkit::controlAction(edit), nullptr);

    // Neither a control nor a menu item.
    QObject plain;
    toolkit::setControlAction(&plain, &action);
    QCOMPARE(toolkit::controlAction(&plain), nullptr);
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

    QVERIFY(toolkit::isMenuItem(standard));
    QVERIFY(!toolkit::isMenuItem(unplaced));
    QCOMPARE(toolkit::controlAction(standard), standard);
    QCOMPARE(toolkit::controlAction(unplaced), nullptr);
    QCOMPARE(toolkit::controlAction(before), nullptr); // a plain QAction is no toolkit action

    auto *made = new Action(&window);
    made->assign(*standard);
    toolkit::setControlAction(standard, made);
    QCOMPARE(file->actions(), (QList<QAction *> {before, made, after}));
    QCOMPARE(popup->actions(), QList<QAction *> {made});
    QCOMPARE(toolBar->actions(), QList<QAction *> {made});
    QVERIFY(toolBar->widgetForAction(made));
    QCOMPARE(standalone->defaultAction(), made);
    QVERIFY(!standalone->actions().contains(standard));
    QVERIFY(!toolkit::isMenuItem(standard));
    QCOMPARE(toolkit::controlAction(made), made);

    // Without an action to put in its place a menu item stays.
    toolkit::setControlAction(made, nullptr);
    QCOMPARE(file->actions(), (QList<QAction *> {before, made, after}));
}

QTEST_MAIN(tst_WidgetBinding)
#include "tst_widgetbinding.moc"
