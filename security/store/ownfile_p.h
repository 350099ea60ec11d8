// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// Files of this account beside a user template: read without following a
// link, and the check that nobody else can swap them. Internal: not installed.

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QFile;

namespace zkSecurity {

/// \a path in the file system's encoding.
QByteArray encoded(const QString &path);
/// The operating system's reason for \a error.
QString systemError(int error);
/// True when \a path names anything, a dangling link included.
bool pathExists(const QString &path);
QString absoluteFile(const QString &fileName);

/// The whole of \a path when it is a regular file of this account, opened
/// without following a link; nothing when it is not, cannot be read or is
/// larger than any user template can be.
std::optional<QByteArray> readOwnFile(const QString &path);
/// \a path opened for reading, at its start, when readOwnFile() would read
/// it; nullptr when it would not.
std::unique_ptr<QFile> openOwnFile(const QString &path);
/// The whole of \a path as readOwnFile() reads it; empty when it cannot.
QByteArray readWholeFile(const QString &path);

/// Why a user template at \a path is not kept where only its own account can
/// change it, or empty.
QString unsafeLocation(const QString &path);

/// Makes the directory entries of the folder of \a path durable.
void syncFolder(const QString &path);

} // namespace zkSecurity
