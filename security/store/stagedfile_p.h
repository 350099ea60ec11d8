// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The new file of a file-mode save, from its staging to the commit.
// Internal: not installed.

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace rightsmith::toolkit {
class Error;
}

namespace zkSecurity {

// What a file-mode save leaves beside the user template until it commits:
// its new file ("<name>.saving-<random>"; earlier versions used
// "<name>.saving") and the file it replaces ("<name>.previous-<random>").
inline const QString SavingInfix = QStringLiteral(".saving");
inline const QString PreviousInfix = QStringLiteral(".previous-");

/// The error of a user template file \a fileName that cannot be written.
rightsmith::toolkit::Error cannotCreateFile(const QString &fileName, const QString &reason);

// The new file of a file-mode save, from its staging to the commit: written
// whole under a name of its own, created exclusively and never through a
// link; put in place under the store's write lock just before the commit,
// with the file it replaces kept under a name of its own. The staged name
// stays on the new file until the commit: a load that finds it there knows
// the file in place was not committed. Undone unless committed.
class StagedFile
{
public:
    // Writes the new file for \a path through \a write; errors name
    // \a fileName, the file the user knows.
    StagedFile(const QString &path, const std::function<void(QIODevice &)> &write,
               const QString &fileName);
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    QByteArray digest() const { return m_digest; }
    qint64 size() const { return m_size; }

    // Puts the new file in place; throws with the reason.
    void putInPlace();
    void committed() { m_committed = true; }

private:
    QString m_path;
    QString m_staged;
    QString m_previous;
    QByteArray m_digest;
    qint64 m_size = 0;
    bool m_inPlace = false;
    bool m_committed = false;
};

} // namespace zkSecurity
