// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "security/component/securityui.h"
#include "toolkit/messagebox.h"
#include "toolkit/windowsystem.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace testsupport {

/// Collects the texts of every message shown while alive, answering No, into
/// the list it is given; the hook before it is back afterwards.
class CapturedMessages
{
public:
    explicit CapturedMessages(QStringList &texts)
        : m_previous(rightsmith::toolkit::setMessageHook(
            [&texts](rightsmith::toolkit::MessageKind, const QString &text) {
                texts << text;
                return false;
            }))
    {
    }
    ~CapturedMessages() { rightsmith::toolkit::setMessageHook(m_previous); }
    CapturedMessages(const CapturedMessages &) = delete;
    CapturedMessages &operator=(const CapturedMessages &) = delete;

private:
    rightsmith::toolkit::MessageHook m_previous;
};

/// Stands in for a top-level widget: the fake window system calls it a form
/// with a window of its own; its descendants share that window.
class FakeForm : public QObject
{
public:
    using QObject::QObject;
};

/// The window system for widget-free tests, installed while alive: FakeForms
/// are forms, and an owner's window is that of its nearest FakeForm ancestor.
class FakeWindowSystem
{
public:
    FakeWindowSystem();
    ~FakeWindowSystem();

private:
    rightsmith::toolkit::WindowSystem m_previous;
};

/// The security component's dialogs for widget-free tests, installed while
/// alive. A logon dialog checks passwords as the real one does; shown, it
/// takes the next of logonAnswers (none left: Cancel). The user management
/// dialog runs manageUsers on its tree (none: Cancel).
class FakeSecurityUi : public zkSecurity::SecurityUi
{
public:
    struct LogonAnswer
    {
        zkSecurity::DialogResult result = zkSecurity::DialogResult::Rejected;
        QByteArray userName;
        QByteArray password;
    };

    FakeSecurityUi();
    ~FakeSecurityUi() override;
    /// The one installed by the test program's main().
    static FakeSecurityUi &current();

    QList<LogonAnswer> logonAnswers;
    int logonDialogsShown = 0;
    std::function<zkSecurity::DialogResult(zkSecurity::TzkSecurityTemplate *edited,
                                           bool supervisorMode)>
        manageUsers;
    /// What the last user management dialog was told of why it may not change the users.
    QString readOnlyReason;
    /// The answers to the next requests for a new password at a logon, in
    /// order (none left: cancelled), and the users asked.
    QList<std::optional<QByteArray>> newPasswordAnswers;
    QList<QByteArray> newPasswordsAsked;

    std::unique_ptr<zkSecurity::LogonDialog> CreateLogonDialog() override;
    std::unique_ptr<zkSecurity::UserManagementDialog>
    CreateUserManagementDialog(zkSecurity::TzkSecurityTemplate *securityTemplate) override;
    std::optional<QByteArray>
    AskNewPassword(const QByteArray &userName, const zkSecurity::PasswordRules &rules,
                   const std::optional<zkSecurity::PasswordHashCost> &cost) override;

private:
    zkSecurity::SecurityUi *m_previous;
};

} // namespace testsupport
