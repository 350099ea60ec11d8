// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "security/component/securityui.h"

namespace zkSecurity {

/// The component's dialogs as widgets: the logon dialog (TdlgPassword) and
/// the user management dialog (TfrmSecurity), both without a parent and
/// application-modal.
class WidgetSecurityUi : public SecurityUi
{
public:
    std::unique_ptr<LogonDialog> CreateLogonDialog() override;
    std::unique_ptr<UserManagementDialog>
    CreateUserManagementDialog(TzkSecurityTemplate *securityTemplate) override;
    /// TdlgUserPassword asking for the new password only.
    std::optional<QByteArray> AskNewPassword(const QByteArray &userName, const PasswordRules &rules,
                                             const std::optional<PasswordHashCost> &cost) override;
};

} // namespace zkSecurity
