// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

/// Points XDG_CONFIG_HOME (and HOME) at a fresh temporary directory for its
/// lifetime and makes it the current directory, so a test never touches the
/// real home or leaves files behind.
class TemporaryHome
{
public:
    TemporaryHome();
    ~TemporaryHome();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldHome;
    QString m_oldCurrent;
};

/// Bytes from a C string literal, no codec involved.
inline QByteArray bytes(const char *text)
{
    return QByteArray(text);
}

} // namespace testsupport
