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
    /// What this program knows of the local copy's rows: the mark of the
    /// copy it last wrote or read, and the server's version of each user's
    /// row it holds. An empty mark knows nothing.
    struct CopyRows
    {
        QByteArray writer;
        QList<qint64> versions;
    };

    /// The local copy kept in the open key of \a registry; nothing when there
    /// is none of a valid version.
    std::optional<SharedStore::Stored> readCopy(rightsmith::toolkit::Registry &registry) const;
    /// True when the local copy is the server's \a version. \a copy then
    /// learns what its rows are when \a rows tells.
    bool copyIsAt(rightsmith::toolkit::Registry &registry, qint64 version,
                  const SharedStore::Rows &rows, CopyRows &copy) const;
    /// Keeps \a bytes, the server's user template at \a version, as the
    /// local copy in the open key of \a registry: as rows where \a rows
    /// holds the server's users as rows, else whole. Failures are logged.
    void writeCopy(rightsmith::toolkit::Registry &registry, const QByteArray &bytes, qint64 version,
                   const SharedStore::Rows &rows, CopyRows &copy) const;
    /// Brings the local copy up to \a tree, which holds the server's users
    /// at \a version as \a rows tells: only the rows whose server version
    /// moved since \a copy are written, when the copy is still the one this
    /// program knows; else the whole copy. Failures are logged.
    void updateCopy(rightsmith::toolkit::Registry &registry, TzkSecurityTemplate &tree,
                    qint64 version, const SharedStore::Rows &rows, CopyRows &copy) const;
    /// Sends \a userTemplate to replace what was
    /// \a read (only the users that changed, where the server keeps them as
    /// rows, and only those read from the tree when \a read was held by it),
    /// on a connection of its own; \a version gets the version
    /// stored, and \a read follows. With the trail on, the changes are recorded in the
    /// same transaction. Throws when the server cannot be reached or refuses.
    /// With \a roles (the stream of \a roleTemplate), the role template is
    /// sent in the same compare-and-set.
    SharedStore::SaveResult send(TzkSecurityTemplate &userTemplate, SharedStore::Rows &read,
                                 qint64 &version, const QByteArray *roles = nullptr,
                                 const TzkSecurityTemplate *roleTemplate = nullptr) const;
};

} // namespace zkSecurity
