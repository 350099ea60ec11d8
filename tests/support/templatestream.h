// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once
// A template tree to and from the template stream it saves and loads.

#include "security/model/tzksecuritytemplate.h"

#include <QBuffer>
#include <QByteArray>

namespace testsupport {

inline QByteArray streamOf(zkSecurity::TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

inline void load(zkSecurity::TzkSecurityTemplate &tree, QByteArray stream)
{
    QBuffer buffer(&stream);
    buffer.open(QIODevice::ReadOnly);
    tree.LoadFromStreamSecurity(buffer);
}

} // namespace testsupport
