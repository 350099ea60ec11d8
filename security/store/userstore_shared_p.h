// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The user store's back end that keeps the user template in a shared store
// on a server. Internal: not installed.

#include "security/store/sharedstore_p.h"
#include "security/store/userstorebackend_p.h"

#include <optional>

namespace zkSecurity {

/// A user template kept under the store's key in a shared store: read from
/// the server and copied into the local key, whose copy stands in while the
/// server cannot be reached; saved to the server only. The recent users and
/// the password stay in the local key.
class SharedBackend final : public UserStoreBackend
{
public:
    explicit SharedBackend(const UserStoreSettings &settings)
        : UserStoreBackend(settings)
    {
    }

    SharedBackend *shared() override { return this; }
    QString location() const override;
    // Nothing of a shared store is kept locally but a copy, which is not the store.
    QString keepAside() override { return {}; }

    /// The server, as the user knows it.
    QString server() const;
    /// Where a user template read from the local copy came from, in words.
    QString copyLocation() const;

    /// The user template on the server, read on \a lent when there is one
    /// (unless it was lost), else on a connection of its own. Throws when the
    /// server cannot be reached.
    SharedStore::Stored fetch(SharedStore *lent) const;
    /// The local copy kept in the open key of \a registry; nothing when there
    /// is none of a valid version.
    std::optional<SharedStore::Stored> readCopy(rightsmith::toolkit::Registry &registry) const;
    /// True when the local copy is the server's \a version.
    bool copyIsAt(rightsmith::toolkit::Registry &registry, qint64 version) const;
    /// Keeps \a bytes, the server's user template at \a version, as the
    /// local copy in the open key of \a registry. Failures are logged.
    void writeCopy(rightsmith::toolkit::Registry &registry, const QByteArray &bytes,
                   qint64 version) const;
    /// Sends \a bytes, the stream of \a userTemplate, to replace what was
    /// \a read (only the users that changed, where the server keeps them as
    /// rows, and only those read from the tree when \a read was held by it),
    /// on a connection of its own; \a version gets the version
    /// stored, and \a read follows. With the trail on, the changes are recorded in the
    /// same transaction. Throws when the server cannot be reached or refuses.
    /// With \a roles (the stream of \a roleTemplate), the role template is
    /// sent in the same compare-and-set.
    SharedStore::SaveResult send(const QByteArray &bytes, TzkSecurityTemplate &userTemplate,
                                 SharedStore::Rows &read, qint64 &version,
                                 const QByteArray *roles = nullptr,
                                 const TzkSecurityTemplate *roleTemplate = nullptr) const;
};

} // namespace zkSecurity
