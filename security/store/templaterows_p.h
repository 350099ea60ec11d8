// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>
#include <span>

namespace zkSecurity {

class TzkSecurityTemplate;

/// A user template stream cut at its top-level nodes: each user (a top-level
/// node and its subtree) is one row holding its node records and its text
/// lines exactly as the stream holds them. The stream's header is derived:
/// assembling the rows again gives back the stream byte for byte.
namespace TemplateRows {

struct Row
{
    /// The subtree's node records, 180 bytes each, with the stream's NodeIndex.
    QByteArray records;
    /// The subtree's text lines, each indented and ended as in the stream.
    QByteArray lines;

    int nodes() const;
    bool operator==(const Row &other) const = default;
};

/// The rows of \a stream, which refer to its bytes (keep it alive and
/// unchanged while they are used); none when the stream is not laid out as a
/// save lays it out (such a stream is kept whole).
RIGHTSMITH_CORE_AUTOTEST_EXPORT std::optional<QList<Row>> split(const QByteArray &stream);

/// The row of the user at \a position of \a tree as split() cuts it from the
/// stream a save of the whole tree writes (see
/// TzkSecurityTemplate::SaveTopLevelSecurity()); none when split() would not
/// cut that stream into rows for this user's lines.
std::optional<Row> rowOf(TzkSecurityTemplate &tree, int position);

/// The template stream of \a rows: the header, the records with their
/// NodeIndex counted from the first, then the lines. \a renumbered (may be
/// null) tells whether a record's NodeIndex differed from the one it got.
RIGHTSMITH_CORE_AUTOTEST_EXPORT QByteArray assemble(std::span<const Row> rows,
                                                    bool *renumbered = nullptr);

/// A hash of a row's bytes, for telling within one program whether it changed.
size_t hashOf(const Row &row);

/// The records of the user at \a position of \a tree, which holds rows as
/// they were read, patched by \a changes: records of a row that differ from
/// the ones read, each as its index (4 bytes, big-endian) and its bytes.
/// Throws when the tree does not hold such a user.
QByteArray patchedRecords(const TzkSecurityTemplate &tree, int position, const QByteArray &changes);

/// Makes \a tree, which holds the rows a desk read, hold \a count users: the
/// user at each position of \a changed becomes that row, in place where its
/// nodes keep their shape; from the first position where they do not, the
/// users are made anew from \a from (called with that position, returning
/// the rows from it to the end). Users past \a count are removed. Observers
/// of the tree see one reset, as for a load. Throws for a row that cannot be
/// read; the tree is then incomplete, as after a failed load.
RIGHTSMITH_CORE_AUTOTEST_EXPORT void splice(TzkSecurityTemplate &tree,
                                            const QList<std::pair<int, Row>> &changed, int count,
                                            const std::function<QList<Row>(int)> &from);

} // namespace TemplateRows
} // namespace zkSecurity
