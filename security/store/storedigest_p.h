// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The digests that tell which save of a user template a store holds: of the
// bytes, and as recorded by the save that committed them. Internal: not
// installed.

#include <QByteArray>
#include <QString>

#include <optional>

namespace rightsmith::toolkit {
class Registry;
}

namespace zkSecurity {

// Digests of the user template files whose saves were committed, one value a
// file named by its absolute path: they tell a committed save's file from one
// a stopped save left behind. Kept apart from the store's own key, whose
// values stay exactly those every program of this format reads and writes.
inline const QString FileDigestKey = QStringLiteral("\\Software\\Rightsmith\\UserTemplateFiles");
// Digests of the "UserTemplate" values saves committed, one value a store
// key: which save a program read, without reading the value again.
inline const QString ValueDigestKey = QStringLiteral("\\Software\\Rightsmith\\UserTemplateValues");

/// The digest a save records for its user template: BLAKE2b, 64 bytes,
/// several times faster than SHA-256 over a large user template.
QByteArray digestOf(const QByteArray &bytes);
/// Whether \a bytes have the recorded \a digest; one of 32 bytes is a SHA-256
/// digest, as earlier versions recorded it.
bool matchesDigest(const QByteArray &bytes, const QByteArray &digest);

/// The digest recorded under \a recordKey as \a name (a file's absolute path,
/// or a store key); the open key is \a storeKey again afterwards.
std::optional<QByteArray> recordedDigest(rightsmith::toolkit::Registry &registry,
                                         const QString &recordKey, const QString &name,
                                         const QString &storeKey);
/// Records \a digest under \a recordKey as \a name (none: deletes it); the open
/// key is \a storeKey again afterwards. Throws when it cannot be written.
void recordDigest(rightsmith::toolkit::Registry &registry, const QString &recordKey,
                  const QString &name, const std::optional<QByteArray> &digest,
                  const QString &storeKey);

} // namespace zkSecurity
