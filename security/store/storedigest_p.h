// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The digests that tell which save of a user template a store holds: of the
// bytes, and as recorded by the save that committed them. Internal: not
// installed.

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

class QIODevice;

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

/// A quick hash of bytes that may come in pieces of any size: the same bytes
/// give the same value however they are cut. It tells whether a tree still
/// writes the bytes it was read from, without keeping them.
class RIGHTSMITH_CORE_AUTOTEST_EXPORT ContentHash
{
public:
    void add(const char *data, size_t size);
    quint64 value() const;
    static quint64 of(const QByteArray &bytes);

private:
    static constexpr size_t Block = 32;
    void addBlock(const char *block);
    quint64 m_lanes[4] = {0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu, 0x165667B19E3779F9u,
                          0x27D4EB2F165667C5u};
    char m_pending[Block] = {};
    size_t m_pendingSize = 0;
    quint64 m_size = 0;
};

/// What digestOf() and ContentHash give for the bytes of \a device from its
/// start to its end, read in pieces, never held whole; the device is at its
/// start again afterwards. Nothing when it cannot be read. With \a sha256,
/// the digest is a SHA-256 digest, as earlier versions recorded it.
struct DeviceDigest
{
    QByteArray digest;
    quint64 contentHash = 0;
    qint64 size = 0;
};
RIGHTSMITH_CORE_AUTOTEST_EXPORT std::optional<DeviceDigest> digestOf(QIODevice &device,
                                                                     bool sha256 = false);
/// Whether the bytes of \a device have the recorded \a digest, read as
/// digestOf(QIODevice &) reads them; their content hash and size go to \a read.
RIGHTSMITH_CORE_AUTOTEST_EXPORT bool matchesDigest(QIODevice &device, const QByteArray &digest,
                                                   DeviceDigest *read = nullptr);

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
