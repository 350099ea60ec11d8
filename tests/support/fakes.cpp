// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "support/fakes.h"

#include "security/component/logoncheck.h"
#include "security/model/tzksecuritytemplate.h"

namespace testsupport {

namespace {

FakeSecurityUi *s_current = nullptr;

const QObject *formOf(const QObject *owner)
{
    for (; owner; owner = owner->parent()) {
        if (dynamic_cast<const FakeForm *>(owner))
            return owner;
    }
    return nullptr;
}

class FakeLogonDialog final : public zkSecurity::LogonDialog
{
public:
    explicit FakeLogonDialog(FakeSecurityUi &ui)
        : m_ui(ui)
    {
    }
    void SetShowCheckedOKOnly(bool) override { }
    void SetTemplates(zkSecurity::TzkSecurityTemplate *userTemplate,
                      zkSecurity::TzkSecurityTemplate *) override
    {
        m_users = userTemplate;
    }
    QByteArray UserName() const override { return m_name; }
    void SetUserName(const QByteArray &name) override { m_name = name; }
    QByteArray Password() const override { return m_password; }
    void SetPassword(const QByteArray &password) override { m_password = password; }
    void SetRecentUsers(const QList<QByteArray> &) override { }
    void SetLogonCheck(const zkSecurity::LogonCheck *check) override { m_check = check; }
    bool CheckUserPassword() override
    {
        // Through the component's check, as the real dialog; an answer in
        // Exec() is a person pressing OK, anything else a silent try.
        static const zkSecurity::LogonCheck plain;
        return m_users
            && (m_check ? *m_check : plain)
                   .check(*m_users, m_name, m_password,
                          m_shown ? zkSecurity::LogonCheck::Attempt::Logon
                                  : zkSecurity::LogonCheck::Attempt::Silent)
                   .verdict
            == zkSecurity::LogonCheck::Verdict::Accepted;
    }
    zkSecurity::DialogResult Exec() override
    {
        ++m_ui.logonDialogsShown;
        if (m_ui.logonAnswers.isEmpty())
            return zkSecurity::DialogResult::Rejected;
        const FakeSecurityUi::LogonAnswer answer = m_ui.logonAnswers.takeFirst();
        m_name = answer.userName;
        m_password = answer.password;
        m_shown = true;
        // The real dialog closes with OK only for a matching password.
        if (answer.result == zkSecurity::DialogResult::Accepted && !CheckUserPassword())
            return zkSecurity::DialogResult::Rejected;
        return answer.result;
    }

private:
    FakeSecurityUi &m_ui;
    zkSecurity::TzkSecurityTemplate *m_users = nullptr;
    const zkSecurity::LogonCheck *m_check = nullptr;
    bool m_shown = false;
    QByteArray m_name;
    QByteArray m_password;
};

class FakeUserManagementDialog final : public zkSecurity::UserManagementDialog
{
public:
    explicit FakeUserManagementDialog(FakeSecurityUi &ui)
        : m_ui(ui)
    {
    }
    zkSecurity::TzkSecurityTemplate *EditedTemplate() override { return &m_tree; }
    void SetSupervisorMode(bool value) override { m_supervisor = value; }
    void SetReadOnlyReason(const QString &reason) override { m_ui.readOnlyReason = reason; }
    zkSecurity::DialogResult Exec() override
    {
        return m_ui.manageUsers ? m_ui.manageUsers(&m_tree, m_supervisor)
                                : zkSecurity::DialogResult::Rejected;
    }

private:
    FakeSecurityUi &m_ui;
    zkSecurity::TzkSecurityTemplate m_tree;
    bool m_supervisor = false;
};

} // namespace

FakeWindowSystem::FakeWindowSystem()
{
    m_previous = rightsmith::toolkit::setWindowSystem(
        {[](const QObject *owner) -> std::optional<quint64> {
             if (const QObject *form = formOf(owner))
                 return quint64(reinterpret_cast<quintptr>(form));
             return std::nullopt;
         },
         [](const QObject *owner) {
             return dynamic_cast<const FakeForm *>(owner) != nullptr;
         }});
}

FakeWindowSystem::~FakeWindowSystem()
{
    rightsmith::toolkit::setWindowSystem(m_previous);
}

FakeSecurityUi::FakeSecurityUi()
    : m_previous(zkSecurity::SecurityUi::Install(this))
{
    if (!s_current)
        s_current = this;
}

FakeSecurityUi::~FakeSecurityUi()
{
    zkSecurity::SecurityUi::Install(m_previous);
    if (s_current == this)
        s_current = nullptr;
}

FakeSecurityUi &FakeSecurityUi::current()
{
    return *s_current;
}

std::unique_ptr<zkSecurity::LogonDialog> FakeSecurityUi::CreateLogonDialog()
{
    return std::make_unique<FakeLogonDialog>(*this);
}

std::unique_ptr<zkSecurity::UserManagementDialog>
FakeSecurityUi::CreateUserManagementDialog(zkSecurity::TzkSecurityTemplate *)
{
    return std::make_unique<FakeUserManagementDialog>(*this);
}

std::optional<QByteArray>
FakeSecurityUi::AskNewPassword(const QByteArray &userName, const zkSecurity::PasswordRules &,
                               const std::optional<zkSecurity::PasswordHashCost> &)
{
    newPasswordsAsked << userName;
    return newPasswordAnswers.isEmpty() ? std::nullopt : newPasswordAnswers.takeFirst();
}

} // namespace testsupport
