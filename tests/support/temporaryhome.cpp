// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "support/temporaryhome.h"

#include <QDir>
#include <QFile>

namespace testsupport {

TemporaryHome::TemporaryHome()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_oldHome(qgetenv("HOME"))
    , m_oldCurrent(QDir::currentPath())
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    QDir::setCurrent(m_dir.path());
}

TemporaryHome::~TemporaryHome()
{
    QDir::setCurrent(m_oldCurrent);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("HOME", m_oldHome);
}

} // namespace testsupport
