// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/storedigest_p.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sodium_p.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace zkSecurity {

QByteArray digestOf(const QByteArray &bytes)
{
    rightsmith::toolkit::useSodium();
    QByteArray digest(crypto_generichash_BYTES_MAX, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char *>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()),
                       quint64(bytes.size()), nullptr, 0);
    return digest;
}

void ContentHash::addBlock(const char *block)
{
    for (size_t lane = 0; lane < 4; ++lane) {
        quint64 word;
        std::memcpy(&word, block + 8 * lane, 8);
        quint64 &h = m_lanes[lane];
        h = (h ^ word) * 0x9E3779B97F4A7C15u;
        h ^= h >> 29;
    }
}

void ContentHash::add(const char *data, size_t size)
{
    m_size += size;
    if (m_pendingSize > 0) {
        const size_t taken = std::min(size, Block - m_pendingSize);
        std::memcpy(m_pending + m_pendingSize, data, taken);
        m_pendingSize += taken;
        data += taken;
        size -= taken;
        if (m_pendingSize < Block)
            return;
        addBlock(m_pending);
        m_pendingSize = 0;
    }
    for (; size >= Block; data += Block, size -= Block)
        addBlock(data);
    std::memcpy(m_pending, data, size);
    m_pendingSize = size;
}

quint64 ContentHash::value() const
{
    ContentHash last = *this;
    // The tail, zero-padded to a block; the size tells tails apart.
    std::memset(last.m_pending + m_pendingSize, 0, Block - m_pendingSize);
    last.addBlock(last.m_pending);
    quint64 h = m_size;
    for (quint64 lane : last.m_lanes) {
        h = (h ^ lane) * 0xC2B2AE3D27D4EB4Fu;
        h ^= h >> 31;
    }
    return h;
}

quint64 ContentHash::of(const QByteArray &bytes)
{
    ContentHash hash;
    hash.add(bytes.constData(), size_t(bytes.size()));
    return hash.value();
}

std::optional<DeviceDigest> digestOf(QIODevice &device, bool sha256)
{
    rightsmith::toolkit::useSodium();
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    ContentHash hash;
    DeviceDigest result;
    if (!device.seek(0))
        return std::nullopt;
    QByteArray piece(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(piece.data(), piece.size());
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        if (sha256)
            sha.addData(QByteArrayView(piece.constData(), got));
        else
            crypto_generichash_update(
                &state, reinterpret_cast<const unsigned char *>(piece.constData()), quint64(got));
        hash.add(piece.constData(), size_t(got));
        result.size += got;
    }
    if (!device.seek(0))
        return std::nullopt;
    if (sha256) {
        result.digest = sha.result();
    } else {
        result.digest.resize(crypto_generichash_BYTES_MAX);
        crypto_generichash_final(&state, reinterpret_cast<unsigned char *>(result.digest.data()),
                                 size_t(result.digest.size()));
    }
    result.contentHash = hash.value();
    return result;
}

bool matchesDigest(QIODevice &device, const QByteArray &digest, DeviceDigest *read)
{
    const std::optional<DeviceDigest> found = digestOf(device, digest.size() == 32);
    if (!found || found->digest != digest)
        return false;
    if (read)
        *read = *found;
    return true;
}

bool matchesDigest(const QByteArray &bytes, const QByteArray &digest)
{
    if (digest.size() == 32)
        return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) == digest;
    return digestOf(bytes) == digest;
}

std::optional<QByteArray> recordedDigest(rightsmith::toolkit::Registry &registry,
                                         const QString &recordKey, const QString &name,
                                         const QString &storeKey)
{
    std::optional<QByteArray> digest;
    if (registry.openKey(recordKey, false)
        && registry.valueType(name) == rightsmith::toolkit::Registry::Binary)
        digest = registry.readBinary(name);
    // From the root, as the store key was opened: it may be written without
    // its leading backslash.
    registry.closeKey();
    registry.openKey(storeKey, false);
    return digest;
}

void recordDigest(rightsmith::toolkit::Registry &registry, const QString &recordKey,
                  const QString &name, const std::optional<QByteArray> &digest,
                  const QString &storeKey)
{
    if (digest) {
        registry.openKey(recordKey, true);
        registry.writeBinary(name, *digest);
    } else if (registry.openKey(recordKey, false)) {
        registry.deleteValue(name);
    }
    registry.closeKey();
    if (!registry.openKey(storeKey, false))
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore", "the key cannot be opened"));
}

} // namespace zkSecurity
