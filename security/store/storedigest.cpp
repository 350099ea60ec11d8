// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/storedigest_p.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sodium_p.h"

#include <QCoreApplication>
#include <QCryptographicHash>

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
