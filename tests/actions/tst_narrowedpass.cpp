// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// After a change of rights the idle pass looks only at the actions whose
// identifiers turned. Random changes of rights and of actions, each followed
// by a pass, run once with that narrowing off and once with it on: after
// every step both runs must leave every action, and every control bound to
// one, exactly alike, having changed them in the same order.
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/testsupport.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/idleupdater.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace Qt::StringLiterals;
using namespace zkActnLst;
using rightsmith::toolkit::IdleUpdater;
using zkSecurity::TreeNode;
using zkSecurity::TzkSecurity;

namespace {

const QByteArrayList UserNames {"Anna", "Bob", "Cleo"};
constexpr int Identifiers = 8; // rights 1..8; actions also use 0 and 9, which no user holds

/// A protected action whose update also reads who is logged on and whether
/// that user holds right 1: the identifiers that turned cannot vouch for it.
class GreetingAction : public TzkAction
{
public:
    using TzkAction::TzkAction;
    bool Update() override
    {
        setStatusTip(greeting());
        return TzkAction::Update();
    }

protected:
    bool updateInputsChanged() const override
    {
        return TzkAction::updateInputsChanged() || m_greeting != greeting();
    }
    void noteUpdated() override
    {
        TzkAction::noteUpdated();
        m_greeting = greeting();
    }

private:
    QString greeting() const
    {
        auto *list = qobject_cast<TzkActionList *>(actionList());
        const TzkSecurity *security = list ? list->SecurityObject() : nullptr;
        if (!security)
            return {};
        return QString::fromLatin1(security->GetCurrentUser())
            + (security->CheckId(1) ? u" may"_s : u" may not"_s);
    }
    QString m_greeting;
};

// One program: a window with menus, a tool bar and two edits, a security
// component with three users, two protected lists (one disables, one hides)
// and a third without a component; everything it does is drawn from one seed.
class World
{
public:
    explicit World(quint32 seed)
        : m_random(seed)
    {
        m_security = new TzkSecurity(&m_window);
        // Showing hidden actions after a logon changes actions: such a pass is never narrowed.
        const zkSecurity::TzkSecurityOptionSet options {zkSecurity::soShowIcons};
        m_security->SetOptions(pick(2) ? options
                                       : options.with(zkSecurity::soForceClientsVisibleAfterLogon));
        for (int i = 0; i < 3; ++i) {
            auto *list = new TzkActionList(&m_window);
            list->setOptions(i == 1 ? sorSetInvisibleOnFail : sorSetDisabledOnFail);
            if (i < 2)
                list->SetSecurityObject(m_security);
            m_lists.append(list);
        }
        m_menus.append(m_window.menuBar()->addMenu(u"&File"_s));
        m_menus.append(m_window.menuBar()->addMenu(u"&Edit"_s));
        m_menus.append(m_menus[0]->addMenu(u"More"_s));
        m_toolBar = m_window.addToolBar(u"Tools"_s);
        for (int i = 0; i < 2; ++i) {
            auto *edit = new QLineEdit(&m_window);
            m_edits.append(edit);
        }
        m_window.setCentralWidget(m_edits[0]);
        m_edits[1]->setParent(m_window.statusBar());

        for (const QByteArray &name : UserNames)
            addUser(name);
        m_security->Dialogs()->SetSecurity(m_security);
        for (int i = 0; i < 14; ++i)
            addAction();
        m_window.show();
        logon(UserNames[0]);
    }

    // One or two random changes.
    void change()
    {
        const int changes = pick(4) == 0 ? 2 : 1;
        for (int i = 0; i < changes; ++i)
            changeOnce();
    }

    // What a user sees of every action, in creation order, and of the edits.
    QStringList state() const
    {
        QStringList lines;
        for (const TzkAction *action : m_actions) {
            if (!action)
                continue;
            lines.append(u"%1 id %2 enabled %3 visible %4 tip %5"_s.arg(action->objectName())
                             .arg(action->SecurityId())
                             .arg(action->isEnabled())
                             .arg(action->isVisible())
                             .arg(action->statusTip()));
        }
        for (const QLineEdit *edit : m_edits)
            lines.append(
                u"edit enabled %1 hidden %2"_s.arg(edit->isEnabled()).arg(edit->isHidden()));
        return lines;
    }

    // The actions that announced a change, in order, since last asked.
    QStringList takeChanged() { return std::exchange(m_changed, {}); }

private:
    int pick(int size) { return int(m_random.bounded(quint32(size))); }

    TreeNode *addNode(TreeNode *parent, const QByteArray &text, qint32 id)
    {
        TreeNode *node = m_security->UserTemplate()->addChild(parent, text);
        zkSecurity::TzkNodeRecord record;
        record.SecurityId = id;
        node->setData(record);
        return node;
    }

    QByteArray rightText(qint32 id, bool granted)
    {
        return "Right " + QByteArray::number(id) + (granted ? " (Yes)" : " (No)");
    }

    // Password "pw"; rights 1..8 in two categories, in random order, some twice.
    void addUser(const QByteArray &name)
    {
        TreeNode *user = addNode(nullptr, name, 0);
        addNode(user, QByteArrayLiteral("Password(********)"), 0)
            ->editData()
            ->setCaption(zkCript::TCripter::Scramble(QByteArrayLiteral("pw")));
        TreeNode *rights = addNode(user, QByteArrayLiteral("Rights"), 0);
        TreeNode *categories[] {addNode(rights, "File", 0), addNode(rights, "Edit", 0)};
        for (int n = 0; n < Identifiers + 3; ++n) {
            const qint32 id = n < Identifiers ? n + 1 : pick(Identifiers) + 1;
            addNode(categories[pick(2)], rightText(id, pick(2)), id);
        }
    }

    void logon(const QByteArray &name)
    {
        QVERIFY(m_security->Logon(name, QByteArrayLiteral("pw"), true));
    }

    // A refused logon: the dialog that a failed silent try shows is cancelled.
    void logoff()
    {
        const rightsmith::toolkit::MessageHook previous = rightsmith::toolkit::setMessageHook(
            [](rightsmith::toolkit::MessageKind, const QString &) { return false; });
        testsupport::answerNextModal([](QWidget *modal) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        });
        QVERIFY(!m_security->Logon(QByteArrayLiteral("Nobody"), QByteArrayLiteral("x"), true));
        rightsmith::toolkit::setMessageHook(previous);
    }

    // Every leaf below "Rights" of the user \a name.
    QList<TreeNode *> rightsOf(const QByteArray &name) const
    {
        QList<TreeNode *> leaves;
        TreeNode *user = m_security->UserTemplate()->GetUserNodeByUserName(name);
        if (!user || user->count() < 2)
            return leaves;
        QList<TreeNode *> pending {user->item(1)};
        while (!pending.isEmpty()) {
            TreeNode *node = pending.takeLast();
            for (int i = 0; i < node->count(); ++i)
                pending.append(node->item(i));
            if (!node->hasChildren() && node->data() && node->data()->SecurityId > 0)
                leaves.append(node);
        }
        return leaves;
    }

    void toggleRight(const QByteArray &name)
    {
        const QList<TreeNode *> leaves = rightsOf(name);
        if (leaves.isEmpty())
            return;
        TreeNode *right = leaves[pick(int(leaves.size()))];
        right->setText(rightText(right->data()->SecurityId, !right->text().endsWith(" (Yes)")));
    }

    TzkAction *anyAction()
    {
        m_actions.removeAll(nullptr);
        return m_actions.isEmpty() ? nullptr : m_actions[pick(int(m_actions.size()))].data();
    }

    QObject *anyHolder()
    {
        const int at = pick(int(m_menus.size()) + 1);
        return at < m_menus.size() ? static_cast<QObject *>(m_menus[at]) : m_toolBar;
    }

    void addAction()
    {
        TzkAction *action = pick(5) == 0 ? new GreetingAction(&m_window) : new TzkAction(&m_window);
        action->setObjectName(u"action%1"_s.arg(m_made++));
        action->setText(action->objectName());
        action->setSecurityId(pick(Identifiers + 2));
        action->setOptions(TzkSecurityOptions(pick(6) < 3 ? soParent : pick(3)));
        action->setActionList(m_lists[pick(int(m_lists.size()))]);
        if (pick(6) == 0) // its own update handler: due on every pass
            action->setOnUpdate([](rightsmith::toolkit::Action *self) {
                self->setToolTip(self->isEnabled() ? u"on"_s : u"off"_s);
            });
        if (QObject *holder = anyHolder(); auto *widget = qobject_cast<QWidget *>(holder))
            widget->addAction(action);
        QObject::connect(action, &QAction::changed, action,
                         [this, action] { m_changed.append(action->objectName()); });
        m_actions.append(action);
    }

    void changeOnce()
    {
        TzkAction *action = anyAction();
        switch (pick(20)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4: // granted or revoked, for the user logged on
            toggleRight(m_security->CurrentUserName());
            break;
        case 5: // for another user
            toggleRight(UserNames[pick(int(UserNames.size()))]);
            break;
        case 6:
        case 7:
            logon(UserNames[pick(int(UserNames.size()))]);
            break;
        case 8:
            if (pick(4) == 0)
                logoff();
            break;
        case 9: { // a right taken away, or one the user had not appended (first only when new)
            const QList<TreeNode *> leaves = rightsOf(m_security->CurrentUserName());
            if (!leaves.isEmpty() && pick(2))
                m_security->UserTemplate()->deleteNode(leaves[pick(int(leaves.size()))]);
            else if (!leaves.isEmpty())
                addNode(leaves.first()->parent(), rightText(Identifiers + 1, pick(2)),
                        Identifiers + 1);
            break;
        }
        case 10:
            addAction();
            break;
        case 11:
            delete action;
            break;
        case 12:
            if (action)
                action->setSecurityId(pick(Identifiers + 2));
            break;
        case 13:
            if (action)
                action->setVisible(pick(2));
            break;
        case 14:
            if (action)
                action->setOptions(TzkSecurityOptions(pick(4)));
            break;
        case 15:
            m_lists[pick(2)]->setOptions(TzkSecurityOptionsRoot(pick(3)));
            break;
        case 16:
            if (action)
                action->setActionList(m_lists[pick(int(m_lists.size()))]);
            break;
        case 17:
            if (action) {
                for (QObject *holder : action->associatedObjects()) {
                    if (auto *widget = qobject_cast<QWidget *>(holder))
                        widget->removeAction(action);
                }
                if (auto *widget = qobject_cast<QWidget *>(anyHolder()); widget && pick(2))
                    widget->addAction(action);
            }
            break;
        case 18: // a control bound to an action, or unbound
            if (QLineEdit *edit = m_edits[pick(int(m_edits.size()))]; action && pick(3))
                rightsmith::toolkit::bindWidget(edit, action);
            else
                rightsmith::toolkit::unbindWidget(edit);
            break;
        case 19:
            m_menus[2]->menuAction()->setVisible(pick(2));
            break;
        }
    }

    QRandomGenerator m_random;
    QMainWindow m_window;
    TzkSecurity *m_security = nullptr;
    QList<TzkActionList *> m_lists;
    QList<QMenu *> m_menus;
    QToolBar *m_toolBar = nullptr;
    QList<QLineEdit *> m_edits;
    QList<QPointer<TzkAction>> m_actions;
    int m_made = 0;
    QStringList m_changed;
};

struct Step
{
    QStringList changed;
    QStringList state;
};

} // namespace

class tst_NarrowedPass : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { IdleUpdater::install(); }
    void cleanup() { IdleUpdater::setNarrowingEnabled(true); }
    void leavesEveryActionAsTheFullPass_data();
    void leavesEveryActionAsTheFullPass();

private:
    QList<Step> run(quint32 seed, int steps)
    {
        testsupport::TemporaryHome home;
        World world(seed);
        QList<Step> result;
        for (int i = 0; i < steps && !QTest::currentTestFailed(); ++i) {
            world.change();
            IdleUpdater::runPass();
            result.append({world.takeChanged(), world.state()});
        }
        return result;
    }
};

void tst_NarrowedPass::leavesEveryActionAsTheFullPass_data()
{
    QTest::addColumn<quint32>("seed");
    for (const quint32 seed : {1u, 29u, 456u, 7890u})
        QTest::addRow("seed %u", seed) << seed;
}

void tst_NarrowedPass::leavesEveryActionAsTheFullPass()
{
    QFETCH(quint32, seed);
    constexpr int Steps = 300;

    IdleUpdater::setNarrowingEnabled(false);
    const quint64 narrowedBefore = IdleUpdater::narrowedPassCount();
    const QList<Step> full = run(seed, Steps);
    QCOMPARE(IdleUpdater::narrowedPassCount(), narrowedBefore);

    IdleUpdater::setNarrowingEnabled(true);
    const QList<Step> narrowed = run(seed, Steps);
    // Most changes of rights alone were passed narrowed.
    QVERIFY2(IdleUpdater::narrowedPassCount() - narrowedBefore > Steps / 8,
             qPrintable(QString::number(IdleUpdater::narrowedPassCount() - narrowedBefore)));

    QCOMPARE(narrowed.size(), full.size());
    for (int i = 0; i < full.size(); ++i) {
        const QByteArray step = "step " + QByteArray::number(i);
        QVERIFY2(narrowed[i].changed == full[i].changed,
                 step + ": " + narrowed[i].changed.join(u' ').toLatin1() + " / "
                     + full[i].changed.join(u' ').toLatin1());
        QVERIFY2(narrowed[i].state == full[i].state,
                 step + ":\n" + narrowed[i].state.join(u'\n').toLatin1() + "\n/\n"
                     + full[i].state.join(u'\n').toLatin1());
    }
}

RIGHTSMITH_TEST_MAIN(tst_NarrowedPass)
#include "tst_narrowedpass.moc"
