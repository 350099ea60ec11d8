// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QByteArray>
#include <QString>

namespace zkSecurity {
class Tree;
}

namespace rightsmithtemplate {

/// The tree in pre-order, one node a line, indented by two spaces a level:
/// text (control characters as \\xNN), then identifier, granted flag and
/// image in brackets.
QString dumpText(const zkSecurity::Tree &tree);

/// {"nodes":[...]} with one object per node in pre-order (level, text,
/// securityId, caption, granted, nodeIndex, imageIndex, hasRecord), UTF-8.
QByteArray dumpJson(const zkSecurity::Tree &tree);

/// \a text as a JSON string literal, quotes included: quote, backslash and
/// every control character (C0, DEL and C1) escaped.
QByteArray jsonString(const QString &text);

} // namespace rightsmithtemplate
