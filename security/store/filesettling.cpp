// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/filesettling_p.h"
#include "security/store/ownfile_p.h"
#include "security/store/stagedfile_p.h"
#include "security/store/storedigest_p.h"
#include "toolkit/logging_p.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using rightsmith::logging::lcStore;

namespace zkSecurity {

namespace {

// A file a save of this account left beside the user template: staged
// ("<name>.saving..."), or the file a save replaced ("<name>.previous-...").
// Only regular files of this account count; a link never does.
struct Leftover
{
    QString path;
    bool staged = false;
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
};

QList<Leftover> leftoversBeside(const QString &path)
{
    const QFileInfo info(path);
    const QString base = info.fileName();
    QList<Leftover> found;
    const QDir folder = info.dir();
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const bool staged = name.startsWith(base + SavingInfix);
        if (!staged && !name.startsWith(base + PreviousInfix))
            continue;
        const QString candidate = folder.filePath(name);
        struct stat status
        {
        };
        if (::lstat(encoded(candidate).constData(), &status) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid())
            continue;
        found.append({candidate, staged, status.st_dev, status.st_ino, qint64(status.st_size)});
    }
    return found;
}

// \a path opened and read in pieces, when it is a file of this account with
// \a digest.
std::optional<VerifiedFile> openVerified(const QString &path, const QByteArray &digest)
{
    VerifiedFile verified {openOwnFile(path), {}};
    if (!verified.file || !matchesDigest(*verified.file, digest, &verified.read))
        return std::nullopt;
    return verified;
}

} // namespace

QString settleFile(const QString &path, const std::optional<QByteArray> &digest,
                   const std::optional<qint64> &size, bool locked,
                   std::optional<VerifiedFile> *data)
{
    const QList<Leftover> left = leftoversBeside(path);
    // Nothing left beside it: the file in place is all there is. Only a
    // caller that wants the bytes verified has them read.
    if (left.isEmpty() && !data)
        return path;
    struct stat status
    {
    };
    const bool present = ::lstat(encoded(path).constData(), &status) == 0;
    QString from = path;
    std::optional<VerifiedFile> verified;
    if (digest) {
        verified = openVerified(path, *digest);
        if (!verified) {
            for (const Leftover &leftover : left) {
                verified = openVerified(leftover.path, *digest);
                if (verified) {
                    from = leftover.path;
                    break;
                }
            }
        }
    } else {
        const bool uncommitted =
            present && std::any_of(left.cbegin(), left.cend(), [&](const Leftover &l) {
                return l.staged && l.device == status.st_dev && l.inode == status.st_ino;
            });
        const auto previous =
            std::find_if(left.cbegin(), left.cend(), [](const Leftover &l) { return !l.staged; });
        if (uncommitted) {
            from = previous != left.cend() ? previous->path : QString();
        } else if (previous != left.cend() && size && previous->size == *size
                   && (!present || status.st_size != *size)) {
            from = previous->path;
        }
    }
    const bool matched = verified.has_value();
    if (data)
        *data = std::move(verified);
    if (!locked)
        return from;
    if (from != path) {
        const int done = from.isEmpty()
            ? ::unlink(encoded(path).constData())
            : ::rename(encoded(from).constData(), encoded(path).constData());
        if (done != 0) {
            qCWarning(lcStore, "%ls: the last save could not be put in place: %s",
                      qUtf16Printable(path), std::strerror(errno));
            return from;
        }
        syncFolder(path);
        qCInfo(lcStore, "%ls: put back the last committed save", qUtf16Printable(path));
        from = path;
    }
    // Once the committed file is in place, whatever saves left is of no use.
    if (!digest || matched) {
        for (const Leftover &leftover : left) {
            if (leftover.path != from)
                ::unlink(encoded(leftover.path).constData());
        }
    }
    return from;
}

} // namespace zkSecurity
