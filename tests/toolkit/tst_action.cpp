// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Standard actions and action lists: hints, images, the update and execute
// steps with their handlers, and execution from real menus and shortcuts.
#include "support/testsupport.h"
#include "toolkit/action.h"
#include "toolkit/actionlist.h"
#include "toolkit/imagelist.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Action;
using rightsmith::toolkit::ActionList;

namespace {

/// Counts how often the execute step runs, whatever its result.
class CountingAction : public Action
{
public:
    using Action::Action;
    bool Execute() override
    {
        ++executions;
        return Action::Execute();
    }
    int executions = 0;
};

QImage filled(QColor colour)
{
    QImage image(rightsmith::toolkit::ImageList::Width, rightsmith::toolkit::ImageList::Height,
                 QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QColor iconColour(const QAction &action)
{
    return action.icon().pixmap(16, 16).toImage().pixelColor(8, 8);
}

} // namespace

class tst_Action : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void hint_data();
    void hint();
    void imageIndexFollowsTheListImages();
    void listMembershipAndLifetime();
    void updateAsksHandlersInOrder_data();
    void updateAsksHandlersInOrder();
    void disableIfNoHandler();
    void executeRunsHandlersInOrder_data();
    void executeRunsHandlersInOrder();
    void executeRefusesWhileSuspendedOrDisabled();
    void executeWithoutHandlerDoesNothing();
    void assignCopiesPropertiesAndHandlers();
    void menuItemRunsExecuteOnce();
    void shortcutRunsExecuteOnce();
};

void tst_Action::cleanup()
{
    Action::setApplicationUpdateHandler({});
    Action::setApplicationExecuteHandler({});
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_Action::hint_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("statusTip");
    QTest::newRow("short and long")
        << u"New|Creates a new document"_s << u"New"_s << u"Creates a new document"_s;
    QTest::newRow("no bar") << u"Open a file"_s << u"Open a file"_s << u"Open a file"_s;
    QTest::newRow("only the first bar splits") << u"A|B|C"_s << u"A"_s << u"B|C"_s;
    QTest::newRow("empty short part") << u"|Long only"_s << QString() << u"Long only"_s;
    QTest::newRow("empty long part") << u"Short only|"_s << u"Short only"_s << QString();
}

void tst_Action::hint()
{
    QFETCH(QString, hint);
    QFETCH(QString, toolTip);
    QFETCH(QString, statusTip);

    Action action;
    action.setText(u"&Caption"_s);
    action.setHint(u"old|old status"_s);
    action.setHint(hint);
    QCOMPARE(action.hint(), hint);
    QCOMPARE(action.statusTip(), statusTip);
    // QAction falls back to the caption for an empty tool tip.
    QCOMPARE(action.toolTip(), toolTip.isEmpty() ? u"Caption"_s : toolTip);
    QCOMPARE(Action::shortHint(hint), toolTip);
    QCOMPARE(Action::longHint(hint), statusTip);

    QSignalSpy changed(&action, &QAction::changed);
    action.setHint(hint);
    QCOMPARE(changed.count(), 0);
}

void tst_Action::imageIndexFollowsTheListImages()
{
    QObject form;
    ActionList list(&form);
    auto *red = new rightsmith::toolkit::ImageList(&form);
    red->add(filled(Qt::red));
    red->add(filled(Qt::green));
    Action action(&form);
    action.setImageIndex(1);
    QVERIFY(action.icon().isNull()); // no list yet

    action.setActionList(&list);
    list.setImages(red);
    QCOMPARE(iconColour(action), QColor(Qt::green));

    action.setImageIndex(0);
    QCOMPARE(iconColour(action), QColor(Qt::red));

    auto *blue = new rightsmith::toolkit::ImageList(&form);
    blue->add(filled(Qt::blue));
    list.setImages(blue);
    QCOMPARE(iconColour(action), QColor(Qt::blue));

    // Changes of the images themselves reach the icon too.
    blue->clear();
    QVERIFY(action.icon().isNull());
    blue->add(filled(Qt::yellow));
    QCOMPARE(iconColour(action), QColor(Qt::yellow));

    delete blue;
    QVERIFY(action.icon().isNull());
    QCOMPARE(list.images(), nullptr);

    // An icon not taken from the images is left alone.
    list.setImages(red);
    action.setImageIndex(-1);
    action.setIcon(QIcon(QPixmap::fromImage(filled(Qt::magenta))));
    red->add(filled(Qt::black));
    QCOMPARE(iconColour(action), QColor(Qt::magenta));
}

void tst_Action::listMembershipAndLifetime()
{
    QObject form;
    auto *list = new ActionList(&form);
    auto *other = new ActionList(&form);
    int changes = 0;
    list->setOnChange([&](ActionList *sender) {
        QCOMPARE(sender, list);
        ++changes;
    });

    QPointer<Action> first = new Action(&form);
    QPointer<Action> second = new Action(&form);
    QPointer<Action> third = new Action(&form);
    first->setActionList(list);
    second->setActionList(list);
    third->setActionList(list);
    QCOMPARE(changes, 3);
    QCOMPARE(list->actions(), (QList<Action *> {first, second, third}));
    QCOMPARE(first->parent(), &form); // owned by the form, not by the list

    second->setActionList(other);
    QCOMPARE(list->actions(), (QList<Action *> {first, third}));
    QCOMPARE(other->actions(), QList<Action *> {second});
    QCOMPARE(list->indexOf(third), 1);
    QCOMPARE(list->action(5), nullptr);
    QCOMPARE(list->action(-1), nullptr);

    delete first.data();
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->action(0), third.data());
    QCOMPARE(changes, 5);

    // A change handler that moves the action on as it leaves: it ends in one
    // list, once.
    auto *last = new ActionList(&form);
    other->setOnChange([&](ActionList *) {
        if (second->actionList() == other)
            second->setActionList(last);
    });
    second->setActionList(last);
    QCOMPARE(last->actions(), QList<Action *> {second});
    QCOMPARE(other->count(), 0);
    other->setOnChange({});
    second->setActionList(other);

    // Destroying a list destroys its actions, and only its own.
    delete list;
    QVERIFY(third.isNull());
    QVERIFY(!second.isNull());
    QCOMPARE(second->actionList(), other);
}

void tst_Action::updateAsksHandlersInOrder_data()
{
    QTest::addColumn<bool>("listHandles");
    QTest::addColumn<bool>("applicationHandles");
    QTest::addColumn<bool>("hasOwnHandler");
    QTest::addColumn<QStringList>("expectedCalls");
    QTest::addColumn<bool>("expectedResult");
    QTest::newRow("list handles") << true << true << true << QStringList {u"list"_s} << true;
    QTest::newRow("application handles")
        << false << true << true << QStringList {u"list"_s, u"application"_s} << true;
    QTest::newRow("own handler") << false << false << true
                                 << QStringList {u"list"_s, u"application"_s, u"own"_s} << true;
    QTest::newRow("nobody") << false << false << false << QStringList {u"list"_s, u"application"_s}
                            << false;
}

void tst_Action::updateAsksHandlersInOrder()
{
    QFETCH(bool, listHandles);
    QFETCH(bool, applicationHandles);
    QFETCH(bool, hasOwnHandler);
    QFETCH(QStringList, expectedCalls);
    QFETCH(bool, expectedResult);

    QStringList calls;
    ActionList list;
    Action action;
    action.setActionList(&list);
    action.setDisableIfNoHandler(false);
    list.setOnUpdate([&](Action *a) {
        calls << (a == &action ? u"list"_s : u"another action"_s);
        return listHandles;
    });
    Action::setApplicationUpdateHandler([&](Action *) {
        calls << u"application"_s;
        return applicationHandles;
    });
    if (hasOwnHandler)
        action.setOnUpdate([&](Action *) { calls << u"own"_s; });

    QCOMPARE(action.Update(), expectedResult);
    QCOMPARE(calls, expectedCalls);
}

void tst_Action::disableIfNoHandler()
{
    Action action;
    QVERIFY(action.disableIfNoHandler());
    QVERIFY(!action.Update());
    QVERIFY(!action.isEnabled());

    action.setOnExecute([](Action *) {});
    action.Update();
    QVERIFY(action.isEnabled());

    // Once an update handler handles the action, the rule no longer applies.
    action.setOnExecute({});
    action.setOnUpdate([](Action *) {});
    action.Update();
    QVERIFY(action.isEnabled());

    Action plain;
    plain.setDisableIfNoHandler(false);
    plain.setEnabled(true);
    plain.Update();
    QVERIFY(plain.isEnabled());

    // A pass that changes nothing emits nothing.
    Action quiet;
    quiet.Update();
    QSignalSpy changed(&quiet, &QAction::changed);
    quiet.Update();
    QCOMPARE(changed.count(), 0);
}

void tst_Action::executeRunsHandlersInOrder_data()
{
    updateAsksHandlersInOrder_data();
}

void tst_Action::executeRunsHandlersInOrder()
{
    QFETCH(bool, listHandles);
    QFETCH(bool, applicationHandles);
    QFETCH(bool, hasOwnHandler);
    QFETCH(QStringList, expectedCalls);
    QFETCH(bool, expectedResult);

    QStringList calls;
    ActionList list;
    Action action;
    action.setActionList(&list);
    action.setDisableIfNoHandler(false);
    action.setOnUpdate([&](Action *) { calls << u"update"_s; });
    list.setOnExecute([&](Action *) {
        calls << u"list"_s;
        return listHandles;
    });
    Action::setApplicationExecuteHandler([&](Action *) {
        calls << u"application"_s;
        return applicationHandles;
    });
    if (hasOwnHandler)
        action.setOnExecute([&](Action *) { calls << u"own"_s; });

    QCOMPARE(action.Execute(), expectedResult);
    QCOMPARE(calls, QStringList {u"update"_s} + expectedCalls);
}

void tst_Action::executeRefusesWhileSuspendedOrDisabled()
{
    ActionList list;
    Action action;
    action.setActionList(&list);
    int executed = 0;
    int updated = 0;
    bool allow = true;
    action.setOnExecute([&](Action *) { ++executed; });
    action.setOnUpdate([&](Action *sender) {
        ++updated;
        sender->setEnabled(allow);
    });

    list.setSuspended(true);
    QVERIFY(!action.Execute());
    QCOMPARE(updated, 0);
    QCOMPARE(executed, 0);

    list.setSuspended(false);
    allow = false;
    QVERIFY(!action.Execute());
    QCOMPARE(updated, 1);
    QCOMPARE(executed, 0);

    // Execute runs Update first: an action disabled earlier may run again.
    allow = true;
    QVERIFY(action.Execute());
    QCOMPARE(executed, 1);

    // A hidden action counts as disabled (as QAction has it), so a command
    // hidden from the user cannot be reached through its shortcut either.
    action.setVisible(false);
    QVERIFY(!action.Execute());
    QCOMPARE(executed, 1);
    action.setVisible(true);
    QVERIFY(action.Execute());
    QCOMPARE(executed, 2);
}

void tst_Action::executeWithoutHandlerDoesNothing()
{
    Action action;
    action.setDisableIfNoHandler(false);
    QSignalSpy triggered(&action, &QAction::triggered);
    QVERIFY(!action.Execute());
    QVERIFY(action.isEnabled());
    QCOMPARE(triggered.count(), 0);

    // With DisableIfNoHandler the update step disables it first.
    Action standard;
    QVERIFY(!standard.Execute());
    QVERIFY(!standard.isEnabled());
}

void tst_Action::assignCopiesPropertiesAndHandlers()
{
    ActionList list;
    rightsmith::toolkit::ImageList images;
    images.add(filled(Qt::red));
    images.add(filled(Qt::green));
    list.setImages(&images);

    Action source;
    source.setText(u"&Open..."_s);
    source.setCheckable(true);
    source.setChecked(true);
    source.setEnabled(false);
    source.setHint(u"Open|Opens a file"_s);
    source.setImageIndex(1);
    source.setShortcut(QKeySequence(u"Ctrl+O"_s));
    source.setVisible(false);
    source.setCategory(u"File"_s);
    source.setTag(7);
    int executed = 0;
    source.setOnExecute([&](Action *) { ++executed; });

    Action copy;
    copy.assign(source);
    QCOMPARE(copy.text(), source.text());
    QVERIFY(copy.isChecked());
    QVERIFY(!copy.isEnabled());
    QCOMPARE(copy.toolTip(), u"Open"_s);
    QCOMPARE(copy.statusTip(), u"Opens a file"_s);
    QCOMPARE(copy.imageIndex(), 1);
    QCOMPARE(copy.shortcut(), QKeySequence(u"Ctrl+O"_s));
    QVERIFY(!copy.isVisible());
    // Category and tag are not part of the assignment.
    QVERIFY(copy.category().isEmpty());
    QCOMPARE(copy.tag(), 0);

    copy.setActionList(&list);
    QCOMPARE(iconColour(copy), QColor(Qt::green));
    copy.setEnabled(true);
    copy.setVisible(true);
    QVERIFY(copy.Execute());
    QCOMPARE(executed, 1);
}

void tst_Action::menuItemRunsExecuteOnce()
{
    QMainWindow window;
    QMenu *menu = window.menuBar()->addMenu(u"&File"_s);
    auto *action = new CountingAction(&window);
    action->setText(u"&New"_s);
    int executed = 0;
    action->setOnExecute([&](Action *) { ++executed; });
    menu->addAction(new QAction(u"Before"_s, &window));
    menu->addAction(action);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    menu->popup(window.mapToGlobal(QPoint(0, 0)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const QPoint centre = menu->actionGeometry(action).center();
    QTest::mouseMove(menu, centre);
    QTest::mouseClick(menu, Qt::LeftButton, {}, centre);
    QTRY_COMPARE(action->executions, 1);
    QCOMPARE(executed, 1);
    QTest::qWait(50);
    QCOMPARE(action->executions, 1);
}

void tst_Action::shortcutRunsExecuteOnce()
{
    QMainWindow window;
    auto *action = new CountingAction(&window);
    action->setText(u"&Save"_s);
    action->setShortcut(QKeySequence(u"Ctrl+S"_s));
    int executed = 0;
    action->setOnExecute([&](Action *) { ++executed; });
    window.menuBar()->addMenu(u"&File"_s)->addAction(action);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(action->executions, 1);
    QCOMPARE(executed, 1);

    // trigger() is the same single path.
    action->trigger();
    QCOMPARE(action->executions, 2);
    QCOMPARE(executed, 2);
}

RIGHTSMITH_TEST_MAIN(tst_Action)
#include "tst_action.moc"
