// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// Finding the committed save of a user template file after a save that
// stopped anywhere. Internal: not installed.

#include "security/store/storedigest_p.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

namespace zkSecurity {

/// A file whose bytes were found to have a recorded digest, still open at its
/// start (what is read from it is what was checked), with what the check read.
struct VerifiedFile
{
    std::unique_ptr<QFile> file;
    DeviceDigest read;
};

/// Where the committed save of the user template file \a path is, after a
/// save that stopped anywhere: the file in place when it has the committed
/// \a digest, otherwise a file a save of this account left beside it that
/// has. Without a digest, a file that a save put in place without committing
/// (it still has its staged name) gives way to the one it replaced; so does,
/// in a folder without links (where nothing marks it), a file in place that
/// is missing or not of the committed \a size, to a replaced one that is. With
/// \a locked (the store's write lock held) that file is put back in place and
/// what saves left behind is removed. \a verified gets the file, open, when
/// it was read in pieces and matched the digest.
QString settleFile(const QString &path, const std::optional<QByteArray> &digest,
                   const std::optional<qint64> &size, bool locked,
                   std::optional<VerifiedFile> *verified = nullptr);

} // namespace zkSecurity
