// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/model/passwordhash.h"
#include "security/model/rightnodes.h"

#include <QByteArray>

#include <optional>

namespace zkSecurity {

class LogonCheck;
class TreeNode;
class TzkSecurityTemplate;
class UserManagementDialog;

/// Copies into \a Dest the part of \a Source that \a UserName may see.
/// "Supervisor" (exactly) gets a full copy of Source, whatever
/// \a ShowCheckedOKOnly says. Anyone else: Dest's first node of that name is
/// removed and every top-level node of Source with that name is appended,
/// its rights filtered (with \a ShowCheckedOKOnly only granted ones), and
/// with \a ShowCheckedOKOnly the categories left empty are removed.
RIGHTSMITH_CORE_EXPORT void CopyUserTemplate(TzkSecurityTemplate *Source, TzkSecurityTemplate *Dest,
                                             const QByteArray &UserName, bool ShowCheckedOKOnly);

/// After the management dialog ended with OK for a user other than
/// "Supervisor": copies the whole record of \a UserName's password node
/// (the first child) from \a Edited onto the one in \a UserTemplate.
/// Nothing else is taken over.
RIGHTSMITH_CORE_EXPORT void TakeOverPassword(TzkSecurityTemplate *Edited,
                                             TzkSecurityTemplate *UserTemplate,
                                             const QByteArray &UserName);

/// Stores \a password as the new password of the password node
/// \a passwordNode, hashed at \a cost or scrambled when it is empty, and
/// sets the must-change mark when \a mustChange (a reset) or clears it.
/// Throws rightsmith::toolkit::Error as PasswordHash::storePassword() does;
/// the node is then unchanged.
RIGHTSMITH_CORE_EXPORT void SetUserPassword(TreeNode *passwordNode, const QByteArray &password,
                                            const std::optional<PasswordHashCost> &cost,
                                            bool mustChange = false);

/// Opens the user management \a dialog for \a userName: copies in what the
/// user may see (images from \a securityTemplate), runs it, and when it ends
/// with OK takes the changes over into \a userTemplate: everything for
/// "Supervisor", only the own password for anyone else. The first user node
/// is expanded, with its subtree when \a expandRecursively. New passwords
/// are stored as \a userTemplate's NewPasswordCost() says; \a logonCheck,
/// when given, lets "Supervisor" clear locks. With \a roleTemplate (for
/// "Supervisor" only, and when the dialog can show roles) the dialog edits a
/// copy of the roles too, with the roles applied to its copy of the users,
/// and OK takes both over. True when the dialog ended with OK.
RIGHTSMITH_CORE_EXPORT bool RunUserManagement(UserManagementDialog &dialog,
                                              TzkSecurityTemplate *userTemplate,
                                              const TzkSecurityTemplate *securityTemplate,
                                              const QByteArray &userName, bool showCheckedOKOnly,
                                              bool expandRecursively,
                                              const LogonCheck *logonCheck = nullptr,
                                              TzkSecurityTemplate *roleTemplate = nullptr);

} // namespace zkSecurity
