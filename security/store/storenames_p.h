// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The names under which the security component keeps its users in the
// per-user registry: its default key and the values of a store's key. The
// library and the tools that read a store take them from here. Internal: not
// installed.

#include <QString>

namespace zkSecurity::StoreNames {

using namespace Qt::StringLiterals;

/// The key a security component keeps its users under unless told otherwise.
inline const QString DefaultKey =
    u"\\Software\\Tenvarro\\Kelvrin\\CurrentVersion\\SecurityObject\\UserTemplate"_s;
/// The user template file's name unless told otherwise.
inline const QString DefaultFileName = u"UserTemplate"_s;

// The values of a store's key.
inline const QString UserTemplate = u"UserTemplate"_s;
inline const QString UserTemplateFileName = u"UserTemplateFileName"_s;
inline const QString UserTemplateSize = u"UserTemplateSize"_s;
inline const QString LastUsers = u"LastUsers"_s;
inline const QString LastUsersSize = u"LastUsersSize"_s;
inline const QString Password = u"Password"_s;
/// The role template (in either mode) and its size: older programs never
/// read them.
inline const QString RoleTemplate = u"RoleTemplate"_s;
inline const QString RoleTemplateSize = u"RoleTemplateSize"_s;
/// The local copy of a shared store's user template, and its version.
inline const QString SharedUserTemplate = u"SharedUserTemplate"_s;
inline const QString SharedUserTemplateVersion = u"SharedUserTemplateVersion"_s;
/// The local copy kept as its users' rows instead: a subkey of the store's
/// key with a value per user (named by its position), their number, and a
/// mark that each write of the copy renews.
inline const QString SharedUserTemplateRows = u"SharedUserTemplateRows"_s;
inline const QString SharedRowCount = u"Users"_s;
inline const QString SharedRowsWriter = u"Writer"_s;

} // namespace zkSecurity::StoreNames
