// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/digestingwriter_p.h"
#include "security/store/ownfile_p.h"
#include "security/store/stagedfile_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using rightsmith::logging::lcStore;

namespace zkSecurity {

namespace {

// A name "<path><infix><random>" that no file had, taken by \a make (which
// fails with EEXIST when it is taken); empty with errno set when it fails
// otherwise.
QString takeFreshName(const QString &path, const QString &infix,
                      const std::function<bool(const QByteArray &)> &make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            path + infix + QString::number(QRandomGenerator::system()->generate64(), 36);
        if (make(encoded(name)))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

} // namespace

rightsmith::toolkit::Error cannotCreateFile(const QString &fileName, const QString &reason)
{
    return rightsmith::toolkit::Error(
        QCoreApplication::translate("zkSecurity::UserStore", "Cannot create file %1\n%2")
            .arg(fileName, reason));
}

StagedFile::StagedFile(const QString &path, const std::function<void(QIODevice &)> &write,
                       const QString &fileName)
    : m_path(path)
{
    int fd = -1;
    m_staged = takeFreshName(path, SavingInfix + u'-', [&fd](const QByteArray &name) {
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        return fd >= 0;
    });
    if (m_staged.isEmpty())
        throw cannotCreateFile(fileName, systemError(errno));
    // The constructor's own failures remove it: no destructor runs then.
    auto removeStaged = qScopeGuard([this] { ::unlink(encoded(m_staged).constData()); });
    QFile file;
    file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    DigestingWriter digesting(file);
    try {
        write(digesting);
    } catch (const rightsmith::toolkit::Error &) {
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore", "Stream write error\n%1: %2")
                .arg(fileName, file.errorString()));
    }
    // Synced while the pieces still waiting are hashed.
    const bool flushed = file.flush() && ::fsync(fd) == 0;
    m_digest = digesting.digest();
    m_size = digesting.written();
    if (!flushed)
        throw cannotCreateFile(fileName, file.errorString());
    removeStaged.dismiss();
}

StagedFile::~StagedFile()
{
    if (m_committed) {
        // After the commit nobody else needs either name.
        ::unlink(encoded(m_staged).constData());
        if (!m_previous.isEmpty())
            ::unlink(encoded(m_previous).constData());
        return;
    }
    if (m_inPlace) {
        const int undone = m_previous.isEmpty()
            ? ::unlink(encoded(m_path).constData())
            : ::rename(encoded(m_previous).constData(), encoded(m_path).constData());
        if (undone != 0) // the next load puts it back
            qCWarning(lcStore, "%ls not put back: %s", qUtf16Printable(m_path),
                      std::strerror(errno));
    }
    if (!m_staged.isEmpty())
        ::unlink(encoded(m_staged).constData());
}

void StagedFile::putInPlace()
{
    const QByteArray path = encoded(m_path);
    struct stat status
    {
    };
    if (::lstat(path.constData(), &status) == 0) {
        // Linked, not moved: the name never stands empty. A folder
        // without links moves it instead.
        m_previous = takeFreshName(m_path, PreviousInfix, [&path](const QByteArray &name) {
            return ::link(path.constData(), name.constData()) == 0;
        });
        if (m_previous.isEmpty() && errno != EEXIST) {
            m_previous = takeFreshName(m_path, PreviousInfix, [&path](const QByteArray &name) {
                return ::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, name.constData(),
                                   RENAME_NOREPLACE)
                    == 0;
            });
        }
        if (m_previous.isEmpty())
            throw rightsmith::toolkit::Error(systemError(errno));
    }
    // A second name of the staged file goes over the old one; the first
    // stays. Without links it goes itself, and marks nothing.
    QString second = takeFreshName(m_path, SavingInfix + u'-', [this](const QByteArray &name) {
        return ::link(encoded(m_staged).constData(), name.constData()) == 0;
    });
    const bool marked = !second.isEmpty();
    if (!marked)
        second = m_staged;
    m_inPlace = true;
    if (::rename(encoded(second).constData(), path.constData()) != 0) {
        const int error = errno;
        if (marked)
            ::unlink(encoded(second).constData());
        if (!m_previous.isEmpty() && ::lstat(path.constData(), &status) != 0) {
            ::rename(encoded(m_previous).constData(), path.constData());
            m_previous.clear();
        }
        m_inPlace = false;
        throw rightsmith::toolkit::Error(systemError(error));
    }
    if (!marked)
        m_staged.clear();
    syncFolder(m_path);
}

} // namespace zkSecurity
