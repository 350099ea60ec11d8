// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/hardening/hardening.h"
#include "toolkit/registry.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace zkSecurity {

class LocalBackend;
class SharedBackend;
class SharedStore;
class TzkSecurityTemplate;

/// Where the users are kept: a key of the per-user registry and, in file
/// mode, a file holding the user template.
struct RIGHTSMITH_CORE_EXPORT UserStoreSettings
{
    /// The key of the per-user registry the users are kept under (and, in a shared store, the user
    /// template's key).
    QString key;
    /// The user template file, in file mode.
    QString fileName;
    /// File mode: a local user template is kept in fileName, not as a registry value.
    bool inFile = true;
    /// Whether the remembered scrambled password is read and written.
    bool storePassword = false;
    /// The registry database; empty for the current user's.
    QString databasePath;
    /// The hardening in force: with the audit trail on, every change a save
    /// stores is recorded in the same transaction.
    HardeningSettings hardening;
    /// The user on whose behalf the store is changed (empty: nobody logged on).
    QByteArray actor;
    /// A PostgreSQL connection string or URI of a shared store that keeps the
    /// user template under \a key; empty: the user template is kept locally.
    /// The recent users and the remembered password stay local either way.
    QString sharedAddress;
    /// Why the store could not be decided safely: nothing is read or written
    /// then, and the store counts as unreadable.
    QString addressProblem;

    /// True when the user template is kept in a shared store (or the store
    /// could not be decided).
    bool isShared() const { return !sharedAddress.isEmpty() || !addressProblem.isEmpty(); }

    /// databasePath, or the current user's registry database.
    QString registryPath() const;
};

/// Reads and writes the users of a security component: the user template
/// (as a template stream) and its size, the recent user names and the
/// remembered scrambled password.
///
/// One save is one atomic unit: the registry's write lock is taken before
/// anything is written and held across the file and every value, and
/// committed only after the file is in place. A load reads under the same
/// lock, so it never sees half of a save. A user template that could not be
/// read is never overwritten: it is kept aside first.
///
/// A file-mode save writes only files it created (exclusively, never through
/// a link) and a load takes only the file whose digest the last save
/// committed; a user template in a folder or file other accounts can change
/// is refused.
class RIGHTSMITH_CORE_EXPORT UserStore
{
    Q_DECLARE_TR_FUNCTIONS(zkSecurity::UserStore)

public:
    /// What the last load() found.
    enum class State {
        NotLoaded,
        Loaded,
        /// No user template was ever written: a first start.
        NeverWritten,
        /// A store that exists but cannot be read: damaged, of the wrong
        /// size or type, foreign, or a database that cannot be opened.
        Unreadable,
    };

    /// A store that opens the registry with \a access; with ReadOnly, nothing can be saved.
    explicit UserStore(
        rightsmith::toolkit::Registry::Access access = rightsmith::toolkit::Registry::ReadWrite);

    /// Reads the user template into \a userTemplate and the recent users into
    /// \a lastUsers; \a scrambledPassword gets the remembered password (with
    /// storePassword). True when both were read in full. Errors of a damaged
    /// stream or of a value of the wrong type are thrown, their message
    /// followed by where the data came from; the user template is then empty.
    ///
    /// With \a roleTemplate, the role template kept beside the user template
    /// is read into it too (emptied when the store keeps none). A role
    /// template that cannot be read leaves it empty and is told by
    /// roleProblem(); the users load all the same.
    bool load(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
              QList<QByteArray> &lastUsers, QByteArray &scrambledPassword,
              TzkSecurityTemplate *roleTemplate = nullptr);
    /// As load() without the role template, but only the texts of the user
    /// template's top-level nodes, the user names, are read into \a names: a
    /// local store's template is checked as load() checks it, with the same
    /// errors, without being built. For a store that only reads: the users
    /// cannot be saved from it.
    bool loadUserNames(const UserStoreSettings &settings, QList<QByteArray> &names);
    /// Whether save() tells of a refused save (see changedElsewhere()) in a message.
    enum class ConflictMessage { Shown, Silent };

    /// What a save did: whether the user template was stored and, when it
    /// was not, why and the message that tells the user.
    struct SaveResult
    {
        /// Why a save did not store the user template.
        enum class Problem {
            None,
            /// The store could not be opened or written, or was not read.
            NotWritten,
            /// Another program saved the users to this store since they were
            /// read (see changedElsewhere()).
            ChangedElsewhere,
            /// Another workstation saved the users to the shared store since
            /// they were read.
            ChangedOnServer,
            /// The shared store could not be reached when the users were
            /// read: they cannot be changed until it is back (see readOnly()).
            ServerAway,
        };
        /// Why the save did not store the user template; None when it did.
        Problem problem = Problem::None;
        /// What to tell the user; empty when the save succeeded.
        QString message;

        /// True when the user template was stored.
        bool saved() const { return problem == Problem::None; }
    };

    /// Writes \a userTemplate, its size, \a lastUsers and (with storePassword)
    /// \a scrambledPassword, and returns what happened; shows nothing. The
    /// user template and its size were stored when the result is saved(). A
    /// user template that has not changed since this store read or wrote it
    /// is not written again while the store still holds it. A store that
    /// cannot be opened or written is reported in a message naming it and
    /// the reason; a file that cannot be created throws.
    ///
    /// After a load() of a local store, a save knows which save of the user
    /// template it read: when another program saved one since, an unchanged
    /// user template is not written, and a changed one is refused
    /// (ChangedElsewhere); changedElsewhere() then asks for the users to be
    /// read again.
    ///
    /// With \a roleTemplate, a role template that changed since this store
    /// read or wrote it is written in the same transaction (an empty one
    /// removes it); a refused save stores neither. A role template the last
    /// load could not read is never overwritten.
    SaveResult trySave(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                       const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword,
                       TzkSecurityTemplate *roleTemplate = nullptr);
    /// As trySave(), showing the message of a save that failed through the
    /// message presenter (rightsmith::toolkit::showMessage()), that of a
    /// refused save only when \a conflict is Shown. True when the user
    /// template and its size were stored. (Defined with the security
    /// component, which shows the store's messages: the store shows none.)
    bool save(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
              const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword,
              ConflictMessage conflict = ConflictMessage::Shown,
              TzkSecurityTemplate *roleTemplate = nullptr);
    /// True when the last save() found a user template that another program
    /// saved after this store read its own: the users should be read again.
    bool changedElsewhere() const { return m_changedElsewhere; }
    /// True when \a userTemplate is the tree this store last read or wrote,
    /// unchanged since.
    bool holdsAsStored(const TzkSecurityTemplate &userTemplate) const;

    /// What the last load() found.
    State state() const { return m_state; }
    /// What is wrong with the role template the last load() found, naming
    /// the value; empty when it was read or there is none. Members' rights
    /// must not be rewritten from it then.
    QString roleProblem() const { return m_roleProblem; }
    /// The message for a load that found the role template unreadable: the
    /// store, the problem and the command to examine it.
    QString roleProblemMessage(const UserStoreSettings &settings) const;
    /// True when the last load() found the registry database itself damaged
    /// (see rightsmith::toolkit::Registry::damage()): nothing in it can be read.
    bool databaseDamaged() const { return m_databaseDamaged; }
    /// What is wrong with an unreadable store; for a read-only one, why the
    /// shared store could not be reached.
    QString problem() const { return m_problem; }
    /// True when the last load() could not reach the shared store and read
    /// the local copy of its user template instead: a changed user template
    /// is not saved until the shared store is back.
    bool readOnly() const { return m_readOnly; }
    /// Marks the users last read from a shared store as cut off from it: the
    /// connection a program listened on was lost, \a problem says how. They
    /// are then readOnly(), as if a load() had read the local copy, until the
    /// next load() reaches the server. For a shared store only; nothing
    /// when the users were not read.
    void markServerLost(const QString &problem);
    /// The version of the shared store's user template the last load() or
    /// save() saw; 0 when none.
    qint64 sharedVersion() const { return m_sharedVersion; }
    /// Lends the store a connection to the shared store (not owned; nullptr:
    /// none) for its loads, instead of one of their own each: a program that
    /// listens to the store reloads on that connection. Saves connect anew.
    void setSharedConnection(SharedStore *connection) { m_connection = connection; }

    /// Keeps a copy of the user template that the last load() could not read
    /// beside it ("<name>.unreadable-<time>"), unless an identical copy is
    /// kept already; the original stays where it is. Returns a sentence that
    /// says where the copy is, or why none could be made.
    QString keepUnreadableAside(const UserStoreSettings &settings);
    /// The message for a start-up that found the store unreadable: the store,
    /// what is wrong with it and \a kept (from keepUnreadableAside()).
    QString unreadableMessage(const UserStoreSettings &settings, const QString &kept) const;

    /// The message for a start-up that could not reach the shared store and
    /// read the local copy of its user template (readOnly()): the server and why.
    QString readOnlyMessage(const UserStoreSettings &settings) const;

    /// Puts the template stream \a stream back as the current user template,
    /// with its size, in one transaction (creating the database and the key
    /// when they are gone); the current user template, when there is one and
    /// it differs, is kept aside first. Returns where it was
    /// kept (empty when nothing was). Throws naming the store and the reason.
    static QString restore(const UserStoreSettings &settings, const QByteArray &stream);
    /// Kept-aside copies of the user template of \a settings: file paths, or
    /// value names of its key.
    static QStringList keptAside(const UserStoreSettings &settings);
    /// When the registry database of \a settings is damaged, moves it aside
    /// (with its journal), so that the next write makes a new one, and
    /// returns where it is kept; empty, changing nothing, when it is not
    /// damaged. Throws with the reason when it cannot be moved.
    static QString setDamagedDatabaseAside(const UserStoreSettings &settings);

    /// How many user templates that saves replaced are kept as backups.
    static constexpr int KeptBackups = 3;
    /// A user template that a save replaced, kept as a backup: in the
    /// registry database beside the "UserTemplate" value, in the folder
    /// "<file>.backups" beside the user template file, or on the server.
    struct Backup
    {
        /// 1 for the newest.
        int number = 0;
        /// When the save that replaced it was made (UTC).
        QDateTime keptAt;
        /// Its size in bytes.
        qint64 size = 0;
        /// Its users; -1 when it does not load.
        int users = -1;
        /// True when its bytes have the digest recorded when it was kept (or,
        /// where none can be read, when it loads exactly as a save writes it).
        bool good = false;
    };
    /// The backups of the user template of \a settings, newest first. Throws
    /// naming the store and the reason when they cannot be read.
    static QList<Backup> backups(const UserStoreSettings &settings);
    /// Puts backup \a number back as the user template, with its size, in one
    /// transaction; the current user template becomes the newest backup in
    /// turn (kept aside instead when it does not read back good), so that a
    /// restore can be undone. Returns where the current one went. Throws,
    /// changing nothing, when there is no such backup or it is not good.
    static QString restoreBackup(const UserStoreSettings &settings, int number);

    /// Where the user template of \a settings is kept, in words.
    static QString location(const UserStoreSettings &settings);
    /// True when \a data is a template stream exactly as a save writes it.
    static bool isCompleteStream(const QByteArray &data);

private:
    bool loadLocal(const UserStoreSettings &settings, LocalBackend &local,
                   TzkSecurityTemplate &userTemplate, QList<QByteArray> &lastUsers,
                   QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate);
    std::optional<bool> updateShared(const UserStoreSettings &settings,
                                     TzkSecurityTemplate &userTemplate,
                                     QList<QByteArray> &lastUsers, QByteArray &scrambledPassword,
                                     TzkSecurityTemplate *roleTemplate);
    bool loadShared(const UserStoreSettings &settings, SharedBackend &shared,
                    TzkSecurityTemplate &userTemplate, QList<QByteArray> &lastUsers,
                    QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate);
    bool beginLoad(const UserStoreSettings &settings, LocalBackend &local,
                   std::unique_ptr<rightsmith::toolkit::Registry> &registry,
                   std::unique_ptr<rightsmith::toolkit::RegistryTransaction> &transaction);
    bool loadUserTemplate(const UserStoreSettings &settings, LocalBackend &local,
                          rightsmith::toolkit::Registry &registry,
                          TzkSecurityTemplate &userTemplate, QByteArray &scrambledPassword);
    SaveResult saveLocal(const UserStoreSettings &settings, LocalBackend &local,
                         TzkSecurityTemplate &userTemplate, const QList<QByteArray> &lastUsers,
                         const QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate);
    void readRoles(rightsmith::toolkit::Registry &registry, TzkSecurityTemplate &userTemplate,
                   TzkSecurityTemplate &roleTemplate);
    std::optional<QString> writeRoles(const UserStoreSettings &settings,
                                      rightsmith::toolkit::Registry &registry,
                                      const TzkSecurityTemplate &roleTemplate,
                                      const QByteArray &bytes);
    SaveResult saveShared(const UserStoreSettings &settings, SharedBackend &shared,
                          TzkSecurityTemplate &userTemplate, const QList<QByteArray> &lastUsers,
                          const QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate);
    // The role template a save writes: \a roleTemplate's stream, or what the
    // store holds when there is none or the stored one could not be read.
    QByteArray roleBytesToSave(TzkSecurityTemplate *roleTemplate) const;
    bool unchangedSinceShared(TzkSecurityTemplate &userTemplate, const QString &where) const;
    bool unreadable(const QString &problem);
    bool noteDamage(const UserStoreSettings &settings, const QString &problem);
    bool stillStored(LocalBackend &local, rightsmith::toolkit::Registry &registry,
                     TzkSecurityTemplate &userTemplate, QByteArray &bytes) const;

    // Which save of the user template a local store holds: the digest its
    // save recorded (or, where none was, of what is stored; empty when
    // nothing is) and its "UserTemplateSize" (-1: none).
    struct Mark
    {
        QString location;
        QByteArray digest;
        qint64 size = -1;
        // The digest of the stored role template; empty when none is stored.
        QByteArray roles;
        bool operator==(const Mark &) const = default;
    };
    Mark markOf(LocalBackend &local, rightsmith::toolkit::Registry &registry) const;
    void noteRead(LocalBackend &local, rightsmith::toolkit::Registry &registry,
                  const std::optional<QByteArray> &stored, std::optional<QByteArray> recorded);
    void noteStored(const UserStoreSettings &settings, const TzkSecurityTemplate &userTemplate,
                    qint64 size, quint64 contentHash, bool asSaved);

    rightsmith::toolkit::Registry::Access m_access;
    State m_state = State::NotLoaded;
    QString m_problem;
    // Where a user template lies that the last load could not read (absolute
    // file path, or the key of the "UserTemplate" value): the next save keeps
    // it aside instead of overwriting it.
    QString m_unreadable;

    // The user template as this store last read or wrote it: which tree, at
    // which generation, where, and the stored bytes' size and hash. Bytes
    // this store wrote are exactly what a save writes; bytes it read may not be.
    struct Stored
    {
        const TzkSecurityTemplate *tree = nullptr;
        quint64 generation = 0;
        QString location;
        qint64 size = -1;
        quint64 hash = 0;
        bool asSaved = false;
    };
    Stored m_stored;

    // The save the last load() read (and this store's own saves since):
    // tracked only once a local store was read, so that a save refuses to
    // undo another program's.
    Mark m_read;
    bool m_tracking = false;
    bool m_changedElsewhere = false;
    // Whether the load under way holds the store's write lock, and whether,
    // without it, what it read may be half of another program's save.
    bool m_writeLocked = false;
    bool m_readRaced = false;
    bool m_databaseDamaged = false;
    // The role template as this store last read or wrote it (empty: none),
    // and what was wrong with it when it could not be read.
    QByteArray m_roles;
    QString m_roleProblem;
    // Where loadUserNames() wants the names instead of a tree; null otherwise.
    QList<QByteArray> *m_names = nullptr;

    // With a shared store: the version the user template was read or saved
    // at, and whether it came from the local copy because the server could
    // not be reached.
    qint64 m_sharedVersion = 0;
    // What was read of a shared store that keeps its users as rows (never null).
    struct SharedRows;
    std::shared_ptr<SharedRows> m_sharedRows;
    bool m_readOnly = false;
    SharedStore *m_connection = nullptr;
};

} // namespace zkSecurity
