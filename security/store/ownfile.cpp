// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/ownfile_p.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace zkSecurity {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool pathExists(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

QString absoluteFile(const QString &fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

std::unique_ptr<QFile> openOwnFile(const QString &path)
{
    const int fd =
        ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()
        || status.st_size > std::numeric_limits<qint32>::max())
        return nullptr;
    return file;
}

std::optional<QByteArray> readOwnFile(const QString &path)
{
    const std::unique_ptr<QFile> file = openOwnFile(path);
    if (!file)
        return std::nullopt;
    QByteArray data = file->readAll();
    if (file->error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

QByteArray readWholeFile(const QString &path)
{
    return readOwnFile(path).value_or(QByteArray());
}

// A folder that belongs to another account, or that others can write to
// unless it is sticky and the user's own; a file that is a link or another
// account's. The same rule as OpenSSH's StrictModes.
QString unsafeLocation(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const uid_t user = ::geteuid();
    struct stat status
    {
    };
    // A folder that is not there fails later, with its own reason.
    if (::stat(encoded(folder).constData(), &status) != 0)
        return {};
    if (status.st_uid != user && status.st_uid != 0)
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the folder \"%1\" of the user template belongs to another account, which can "
                   "replace the user template; keep it in a folder of your own")
            .arg(folder);
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0
        && !((status.st_mode & S_ISVTX) != 0 && status.st_uid == user))
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "other accounts can write to the folder \"%1\" of the user template; take their "
                   "write permission away (chmod go-w \"%1\") or keep the user template in a "
                   "folder of your own")
            .arg(folder);
    if (::lstat(encoded(path).constData(), &status) != 0)
        return {};
    if (S_ISLNK(status.st_mode))
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the user template file \"%1\" is a symbolic link; remove the link and put a "
                   "good copy back with \"rightsmith-users restore\"")
            .arg(path);
    if (status.st_uid != user)
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the user template file \"%1\" belongs to another account; remove it and put a "
                   "good copy back with \"rightsmith-users restore\"")
            .arg(path);
    return {};
}

void syncFolder(const QString &path)
{
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace zkSecurity
