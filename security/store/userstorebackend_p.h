// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The back ends of the user store: where its user template is kept.
// Internal: not installed.

#include "security/hardening/audittrail.h"
#include "security/store/userstore.h"
#include "toolkit/registry.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>
#include <memory>
#include <optional>

namespace zkSecurity {

class LocalBackend;
class SharedBackend;
class TzkSecurityTemplate;

/// Where a user store keeps its user template: the "UserTemplate" value of
/// its key or a file it names (LocalBackend), or a shared store on a server
/// (SharedBackend). UserStore holds the policy: the transaction and its write
/// lock, unreadable versus never written, the unchanged-template rule,
/// conflicts, keeping an unreadable user template before a save; a back end
/// reads and writes the user template where it lies.
class UserStoreBackend
{
public:
    /// Which back end open() chooses for a store with a shared store.
    enum class Scope {
        /// The shared store's.
        AsSet,
        /// The local one its settings name: what is kept on this computer.
        Local,
    };
    /// The back end of \a settings: the shared store's when it has one (see
    /// \a scope), else the file's in file mode, else the value's.
    static std::unique_ptr<UserStoreBackend> open(const UserStoreSettings &settings,
                                                  Scope scope = Scope::AsSet);
    virtual ~UserStoreBackend() = default;

    /// Where the user template is kept, in words.
    virtual QString location() const = 0;
    /// Keeps a copy of the stored user template aside, unless an identical
    /// one is kept already. Returns where, in words; empty when there was
    /// nothing to keep. Throws with the reason when it cannot be kept.
    virtual QString keepAside() = 0;

    /// The back end as what it is: exactly one of these is not null.
    virtual LocalBackend *local() { return nullptr; }
    virtual SharedBackend *shared() { return nullptr; }

protected:
    explicit UserStoreBackend(const UserStoreSettings &settings)
        : m_settings(settings)
    {
    }
    UserStoreSettings m_settings;
};

/// A user template kept on this computer, with the values of the store's
/// key, under the registry's transaction: the operations taking a registry
/// work on the store's key, open in that transaction.
class LocalBackend : public UserStoreBackend
{
public:
    LocalBackend *local() override { return this; }

    // Reading.

    /// What read() found: a \a problem (unreadable, with \a raced when a save
    /// that committed meanwhile may explain it), or the \a stream to read the
    /// user template from, the \a size and ContentHash of the bytes stored,
    /// their digest (known, or being computed) and the digest their save
    /// \a recorded.
    struct Read
    {
        QString problem;
        bool raced = false;
        std::unique_ptr<QIODevice> stream;
        qint64 size = 0;
        quint64 contentHash = 0;
        std::optional<QByteArray> recorded;
        std::optional<QByteArray> digest;
        std::future<QByteArray> hashing;
    };
    /// Finds the user template before it is read (with \a locked, putting
    /// back what a save that stopped anywhere left); returns why it cannot be
    /// read where it is kept, or empty.
    virtual QString prepareRead(rightsmith::toolkit::Registry &registry, bool locked) = 0;
    /// True when a user template lies outside the registry database (a file),
    /// where a missing database does not make it unwritten.
    virtual bool existsOutsideDatabase() const = 0;
    /// True when a user template is stored, whatever "UserTemplateSize" says.
    virtual bool isThere(rightsmith::toolkit::Registry &registry) const = 0;
    /// Reads the user template that "UserTemplateSize" says has \a size bytes,
    /// never making a buffer of that size before checking what is really
    /// stored. Throws for a value of the wrong type.
    virtual Read read(rightsmith::toolkit::Registry &registry, qint64 size, bool locked) = 0;
    /// Forgets, with the write lock held, a recorded digest that the stored
    /// user template does not have.
    virtual void forgetRecord(rightsmith::toolkit::Registry &registry) = 0;
    /// Which save the store holds: the digest its save recorded, or that of
    /// what is stored; empty when nothing is.
    virtual QByteArray heldDigest(rightsmith::toolkit::Registry &registry) const = 0;
    /// The size of the stored user template; nothing when none is stored as a
    /// save stores it.
    virtual std::optional<qint64> storedSize(rightsmith::toolkit::Registry &registry) const = 0;
    /// The stored user template, as it is; empty when there is none.
    virtual QByteArray storedBytes(rightsmith::toolkit::Registry &registry) const = 0;
    /// The place of the user template (a file path, or a key), and whether
    /// \a place is it.
    virtual QString place() const = 0;
    virtual bool isAt(const QString &place) const = 0;

    // Writing, in the store's transaction with its write lock held.

    /// A write that failed and is reported rather than thrown: the \a reason
    /// for the store's message, or a \a message of its own.
    struct Failure
    {
        QString reason;
        QString message;
    };
    /// What a save stored: the user template's size and digest.
    struct Written
    {
        qint64 size = 0;
        QByteArray digest;
    };
    /// True when the back end writes the template stream from bytes rather
    /// than from the tree.
    virtual bool writesBytes() const = 0;
    /// Settles what a save that stopped anywhere left, before the store is
    /// compared with what was read. Throws when nothing may be written there.
    virtual std::optional<Failure> prepareWrite(rightsmith::toolkit::Registry &registry) = 0;
    /// Writes the values of the key that go before the recent users: the
    /// user template, or where it is. With \a keepUnreadable, the user
    /// template the last load could not read is kept aside first.
    virtual std::optional<Failure> writeValues(rightsmith::toolkit::Registry &registry,
                                               const QByteArray &bytes, bool keepUnreadable,
                                               Written &written) = 0;
    /// Puts in place, after the key's values, what is kept outside the
    /// registry; undone by rollBack() or when the back end is destroyed
    /// before committed().
    virtual std::optional<Failure> stage(rightsmith::toolkit::Registry &registry,
                                         TzkSecurityTemplate &userTemplate, const QByteArray &bytes,
                                         bool keepUnreadable, Written &written) = 0;
    virtual void committed() { }
    virtual void rollBack() { }

    // Copies.

    /// Kept-aside copies: file paths, or value names of the key.
    virtual QStringList keptAside() const = 0;
    /// Writes the template stream \a stream as the user template (its size
    /// excepted), keeping the current one aside first when it differs;
    /// returns where it was kept. putInPlace() finishes it before the commit.
    virtual QString replace(rightsmith::toolkit::Registry &registry, const QByteArray &stream) = 0;
    virtual void putInPlace() { }

    // Backups: the user templates that saves replaced, newest first.

    struct Backup
    {
        QDateTime keptAt;
        QByteArray bytes;
        /// The digest recorded when it was kept; none when it cannot be read.
        std::optional<QByteArray> digest;
    };
    /// The next writeValues()/stage() or replace() keeps the user template it
    /// replaces, whose bytes read back with \a digest, as the newest backup
    /// (instead of keeping a differing one aside), dropping the oldest beyond
    /// UserStore::KeptBackups, in the same transaction.
    void keepReplaced(const QByteArray &digest) { m_keepReplaced = digest; }
    /// The backups, newest first, at most UserStore::KeptBackups; without
    /// \a registry (a damaged database) their digests are not known. Throws
    /// when they cannot be read.
    virtual QList<Backup> backups(rightsmith::toolkit::Registry *registry) const = 0;

protected:
    using UserStoreBackend::UserStoreBackend;
    std::optional<QByteArray> m_keepReplaced;
};

// Helpers of the back ends and the store.

/// What names a copy kept aside: "<name>.unreadable-<time>".
inline const QString AsideInfix = QStringLiteral(".unreadable-");
/// "<base>.unreadable-<yyyyMMddThhmmss>", with a counter when that is taken.
QString asideName(const QString &base, const std::function<bool(const QString &)> &taken);
/// With the trail on, records \a event (a copy kept at \a detail, a restore)
/// in the open transaction of \a registry; nothing when \a detail is empty.
void recordInTrail(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
                   AuditEvent event, const QString &detail);
/// The audit records of how \a after differs from the stored template stream
/// \a stored, as done by settings.actor. A stored template that cannot be read
/// counts as empty.
QList<AuditRecord> changesFrom(const UserStoreSettings &settings, const QByteArray &stored,
                               const TzkSecurityTemplate &after);
/// The audit records of how the role template \a after differs from the
/// stored role template \a stored (empty: none), as done by settings.actor.
QList<AuditRecord> roleChangesFrom(const UserStoreSettings &settings, const QByteArray &stored,
                                   const TzkSecurityTemplate &after);
/// What is wrong with the role template \a bytes (empty: none) read from
/// \a where; empty when it was read into \a roleTemplate, which is otherwise
/// left empty. A \a storedProblem (the bytes are not as saved) is
/// what is wrong, the bytes unread.
QString readRoleTemplate(const QByteArray &bytes, const QString &where,
                         TzkSecurityTemplate &userTemplate, TzkSecurityTemplate &roleTemplate,
                         const QString &storedProblem = {});
/// The digest of the role template stored in the open key of \a registry;
/// empty when none is stored.
QByteArray storedRoleDigest(rightsmith::toolkit::Registry &registry);
/// Keeps the role template stored in the open key of \a registry with the
/// backup of the user template kept with \a digest; in the open transaction.
void keepRolesWithBackup(rightsmith::toolkit::Registry &registry, const QByteArray &digest);
/// Puts back the role template kept with the backup whose user template is
/// \a stream; false (nothing changed) when none was kept with it.
bool restoreRolesOfBackup(rightsmith::toolkit::Registry &registry, const QByteArray &stream);
[[noreturn]] void throwInvalidDataType(const QString &name);
/// Runs \a write, a write of the value \a name whose failure does not fail
/// the save: a failure is logged.
void writeQuietly(const QString &name, const std::function<void()> &write);

// Each back end in a file of its own; only UserStoreBackend::open() makes them.
std::unique_ptr<UserStoreBackend> makeValueBackend(const UserStoreSettings &settings);
std::unique_ptr<UserStoreBackend> makeFileBackend(const UserStoreSettings &settings);
std::unique_ptr<UserStoreBackend> makeSharedBackend(const UserStoreSettings &settings);

} // namespace zkSecurity
