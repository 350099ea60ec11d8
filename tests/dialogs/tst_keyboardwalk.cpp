// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// An administrator's walk with the keyboard only, on a real store: log on,
// open the user management, add a user, toggle two of their rights, reset
// their password, close; the store then holds exactly that.
#include "dialogs/tdlgnewuser.h"
#include "dialogs/tdlgpassword.h"
#include "dialogs/tdlguserpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/component/usermanagement.h"
#include "security/model/passwordhash.h"
#include "security/widgets/treeview.h"
#include "securityfixture.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;
using namespace fixture;
using zkSecurity::TzkSecurity;

namespace {

const QString Key = u"\\Software\\Test\\KeyboardWalk\\UserTemplate"_s;

// Steps of key presses, each run once its widget is there. A polling timer
// starts them, so that the walk goes on inside the modal loops its keys
// open; each step's keys go from a timer of their own, which may then wait
// in the dialog they opened. Steps still waiting after \a timeoutMs are
// given up, and every modal widget left is rejected.
class KeyWalk
{
public:
    struct Step
    {
        const char *what;
        // The widget the keys go to (its focused child), or nullptr while not there.
        std::function<QWidget *()> target;
        std::function<void(QWidget *focused)> keys;
    };

    KeyWalk(QList<Step> steps, int timeoutMs = 20000)
        : m_steps(std::move(steps))
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this, timeoutMs] {
            m_elapsed += m_poll.interval();
            if (m_steps.isEmpty() || m_elapsed > timeoutMs) {
                m_poll.stop();
                while (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                    modal->reject();
                return;
            }
            QWidget *target = m_steps.first().target();
            if (!target)
                return;
            const Step step = m_steps.takeFirst();
            QTimer::singleShot(0, [step, target = QPointer<QWidget>(target)] {
                if (target)
                    step.keys(target->focusWidget() ? target->focusWidget() : target.get());
            });
        });
        m_poll.start(10);
    }
    bool finished() const { return !m_poll.isActive(); }
    QString pending() const
    {
        return m_steps.isEmpty() ? QString() : QString::fromLatin1(m_steps.first().what);
    }

private:
    QList<Step> m_steps;
    QTimer m_poll;
    int m_elapsed = 0;
};

// The active modal widget when it is a \a Dialog for which \a ready holds.
template<typename Dialog> std::function<QWidget *()> when(std::function<bool(Dialog *)> ready = {})
{
    return [ready]() -> QWidget * {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        return dialog && (!ready || ready(dialog)) ? dialog : nullptr;
    };
}

// Presses Tab (or Shift+Tab) in \a dialog until \a target has the focus.
void tabTo(QWidget *dialog, QWidget *target, Qt::KeyboardModifiers modifiers = {})
{
    for (int i = 0; i < 20 && dialog->focusWidget() != target; ++i)
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab, modifiers);
}

// Types \a text into the focused box, replacing what it holds.
void retype(QWidget *focused, const QString &text)
{
    QTest::keyClick(focused, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focused, text);
}

QByteArray streamOf(zkSecurity::TzkSecurityTemplate &users)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    users.SaveToStreamSecurity(buffer);
    return buffer.data();
}

} // namespace

class tst_KeyboardWalk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addUserToggleTwoRightsResetPassword()
    {
        testsupport::TemporaryHome home;
        MessageCapture capture;
        zkSecurity::TzkSecurityTemplate expected;
        // The store as an administrator finds it: Supervisor and Anna.
        {
            TzkSecurity seed;
            seed.setUserTemplateRegistryKeyName(Key);
            fillSecurityTemplate(seed.SecurityTemplate());
            zkSecurity::TzkSecurityTemplate *users = seed.UserTemplate();
            users->AddUserToUserTemplate(seed.SecurityTemplate(), "Supervisor"_ba,
                                         scrambled("master-1"), true);
            users->AddUserToUserTemplate(seed.SecurityTemplate(), "Anna"_ba, scrambled("anna-pw-1"),
                                         true);
            QVERIFY(seed.SaveUsers({}));
            // What it must hold after the walk.
            CopyUserTemplate(users, &expected, "Supervisor"_ba, false);
            expected.AddUserToUserTemplate(seed.SecurityTemplate(), "Carl"_ba, {}, true);
            for (const QByteArray &right : {"New (Yes)"_ba, "Open (Yes)"_ba})
                zkSecurity::SetRightGranted(
                    findPath(&expected, {"Carl"_ba, "Rights"_ba, "File"_ba, right}), false);
            zkSecurity::SetUserPassword(findPath(&expected, {"Carl"_ba})->firstChild(),
                                        "carl-pw-1"_ba, std::nullopt, true);
        }

        // A program with resets and rules on, whose keys open the logon
        // dialog and the user management as the demo's Change User and
        // Check Rights do.
        QWidget form;
        TzkSecurity security;
        security.setUserTemplateRegistryKeyName(Key);
        fillSecurityTemplate(security.SecurityTemplate());
        zkSecurity::HardeningSettings hardening;
        hardening.passwordReset = true;
        hardening.passwordRules = {true, 6};
        security.SetHardening(hardening);
        QByteArray remembered;
        QVERIFY(security.LoadUsers(remembered));
        security.Dialogs()->SetSecurity(&security);
        QObject::connect(new QShortcut(QKeySequence(u"Ctrl+Shift+U"_s), &form),
                         &QShortcut::activated, [&] { security.Logon({}, {}, false); });
        QObject::connect(new QShortcut(QKeySequence(u"Ctrl+Shift+R"_s), &form),
                         &QShortcut::activated, [&] { security.ShowSecurityDialog(); });
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        using zkDlgSecurity::TfrmSecurity;
        using zkUserPasswordDlg::TdlgUserPassword;
        // Tabs to the management dialog's \a button and presses it with Space.
        const auto press = [](QPushButton *TfrmSecurity::*button) {
            return [button](QWidget *focused) {
                auto *dialog = static_cast<TfrmSecurity *>(focused->window());
                tabTo(dialog, dialog->*button);
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
            };
        };
        const auto carlsRecord = [](TfrmSecurity *dialog, const QList<QByteArray> &path) {
            const zkSecurity::TreeNode *node =
                findPath(dialog->ftvUserTemplate(), QList<QByteArray> {"Carl"_ba} + path);
            return node ? node->data() : nullptr;
        };
        const auto typePasswords = [](const QString &password) {
            return [password](QWidget *focused) {
                retype(focused, password);
                QTest::keyClick(focused, Qt::Key_Tab);
                retype(focused->window()->focusWidget(), password);
                QTest::keyClick(focused->window()->focusWidget(), Qt::Key_Return);
            };
        };
        const auto ctrlShift = [](Qt::Key key) {
            return [key](QWidget *focused) {
                QTest::keyClick(focused, key, Qt::ControlModifier | Qt::ShiftModifier);
            };
        };
        KeyWalk walk({
            {"change user", [&] { return QApplication::activeModalWidget() ? nullptr : &form; },
             ctrlShift(Qt::Key_U)},
            {"log on as Supervisor", when<zkEntryPasswordDlg::TdlgPassword>(),
             [](QWidget *focused) {
                 QTest::keyClicks(focused, u"master-1"_s);
                 QTest::keyClick(focused, Qt::Key_Return);
             }},
            {"open the user management",
             [&]() -> QWidget * {
                 if (QApplication::activeModalWidget() || !security.LoggedOn())
                     return nullptr;
                 // Offscreen, no window manager gives the main window the
                 // focus back when the dialog has closed: do what one would.
                 if (QApplication::activeWindow() != &form)
                     form.activateWindow();
                 return QApplication::activeWindow() == &form ? &form : nullptr;
             },
             ctrlShift(Qt::Key_R)},
            {"New User", when<TfrmSecurity>(), press(&TfrmSecurity::btnNewUser)},
            {"the new user's name", when<zkNewUserDlg::TdlgNewUser>(),
             [](QWidget *focused) {
                 QTest::keyClicks(focused, u"Carl"_s);
             }},
            // OK is enabled by the idle pass once the name is there.
            {"Enter",
             when<zkNewUserDlg::TdlgNewUser>([](auto *d) { return d->OKBtn->isEnabled(); }),
             [](QWidget *focused) {
                 QTest::keyClick(focused, Qt::Key_Return);
             }},
            {"deny two of Carl's rights",
             when<TfrmSecurity>([&](auto *d) { return carlsRecord(d, {}); }),
             [](QWidget *focused) {
                 auto *dialog = static_cast<TfrmSecurity *>(focused->window());
                 tabTo(dialog, dialog->treeView(), Qt::ShiftModifier);
                 // Carl, the last user, closed: open him, then Rights, File,
                 // and deny New and Open.
                 for (const Qt::Key key :
                      {Qt::Key_End, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right,
                       Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space, Qt::Key_Down,
                       Qt::Key_Space})
                     QTest::keyClick(dialog->focusWidget(), key);
             }},
            {"Reset Password", when<TfrmSecurity>([&](auto *d) {
                 return carlsRecord(d, {"Rights"_ba, "File"_ba, "Open  (No)"_ba});
             }),
             press(&TfrmSecurity::btnResetPassword)},
            {"a password the rules refuse", when<TdlgUserPassword>(), typePasswords(u"carl"_s)},
            {"Carl's new password",
             when<TdlgUserPassword>([&](auto *) { return !capture.messages.isEmpty(); }),
             typePasswords(u"carl-pw-1"_s)},
            // Its OK is no default button: reached with Tab and pressed with Enter.
            {"OK", when<TfrmSecurity>([&](auto *d) {
                 const zkSecurity::TzkNodeRecord *password =
                     carlsRecord(d, {"Password(********)"_ba});
                 return password && zkSecurity::PasswordHash::mustChange(*password);
             }),
             press(&TfrmSecurity::btnOK)},
        });
        QVERIFY2(QTest::qWaitFor([&] { return walk.finished(); }, 30000),
                 qPrintable(walk.pending()));
        QVERIFY2(walk.pending().isEmpty(), qPrintable(u"stuck at: "_s + walk.pending()));
        QCOMPARE(capture.messages,
                 QStringList {u"The password is too short: it must have at least 6 characters."_s});
        QVERIFY(security.LoggedOn());

        // What a program starting now reads from the store.
        TzkSecurity reader;
        reader.setUserTemplateRegistryKeyName(Key);
        QVERIFY(reader.LoadUsers(remembered));
        const zkSecurity::TreeNode *carl = reader.UserTemplate()->GetUserNodeByUserName("Carl"_ba);
        QVERIFY(carl);
        const zkSecurity::TzkNodeRecord *password = carl->firstChild()->data();
        QVERIFY(zkSecurity::PasswordHash::matches(password, "carl-pw-1"_ba));
        QVERIFY(zkSecurity::PasswordHash::mustChange(*password));
        QCOMPARE(texts(reader.UserTemplate()), texts(&expected));
        QCOMPARE(streamOf(*reader.UserTemplate()), streamOf(expected));
    }
};

RIGHTSMITH_TEST_MAIN(tst_KeyboardWalk)
#include "tst_keyboardwalk.moc"
