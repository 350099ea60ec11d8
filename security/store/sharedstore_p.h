// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <span>

struct pg_conn;
class QSocketNotifier;

namespace zkSecurity {

class TzkSecurityTemplate;

/// A user store on a PostgreSQL server, shared by many workstations: one user
/// template (the stream TzkSecurityTemplate::SaveToStreamSecurity writes) per
/// store key, with a version that every successful save raises by one. A save
/// names the version it was based on and is refused when another workstation
/// saved in between. Owns one connection; not for use from several threads.
/// Every failure of the server or the connection throws rightsmith::toolkit::Error.
class RIGHTSMITH_CORE_AUTOTEST_EXPORT SharedStore
{
    Q_DECLARE_TR_FUNCTIONS(zkSecurity::SharedStore)

public:
    /// The version of the tables initSchema() makes and accepts. Version 2
    /// keeps the failed logons and the audit trail out of the workstations'
    /// reach: they write them only through functions that run as the tables'
    /// owner and stamp the server's time and the role that called them.
    /// Version 3 keeps the user templates that saves replace as backups.
    /// Version 5 keeps each user of the user template as a row of its own,
    /// so that a save writes, and a workstation reads, only the users that
    /// changed; backups keep the role template with them.
    static constexpr int SchemaVersion = 5;
    /// The notification channel a successful save notifies, with the store key
    /// as payload. Store keys compare without case, and the payload is case-folded.
    /// From version 5 on the key is followed by a line "version:positions"
    /// (the users' rows the save wrote or removed, comma-separated; "*" for
    /// a save that changed too many to name).
    static const char *const Channel;

    /// How long a connection may take unless the address or PGCONNECT_TIMEOUT says.
    static constexpr int DefaultConnectTimeoutSeconds = 10;

    /// Connects to \a address, a libpq connection string or URI.
    static std::unique_ptr<SharedStore> connect(const QString &address);
    ~SharedStore();
    SharedStore(const SharedStore &) = delete;
    SharedStore &operator=(const SharedStore &) = delete;

    /// Makes the tables when there are none, in one transaction; does nothing
    /// when they are already ours at SchemaVersion. Throws, changing nothing,
    /// when tables of those names exist but were not made by this class, and
    /// when they are of version 1 (upgradeSchema() upgrades them).
    void initSchema();
    /// Upgrades tables of version 1 to SchemaVersion in one transaction,
    /// keeping every row: the trail learns who wrote each record, and every
    /// role that could write the trail or the failed logons directly may from
    /// now on only call the functions that write them. Only the tables' owner
    /// may. Returns the roles whose rights were moved (quoted as in SQL);
    /// does nothing for tables at SchemaVersion; throws as initSchema().
    QStringList upgradeSchema();
    /// The version of the tables of this store, asked once per connection.
    /// A store of version 1 keeps working as it always did, with a warning
    /// (upgradeAdvice()) logged once per program.
    int schemaVersion();
    /// What the administrator should do about the store's tables; empty when
    /// they are at SchemaVersion.
    QString upgradeAdvice();

    /// The statements (without the closing semicolon) an administrator runs,
    /// as the tables' owner, after initSchema(): \a workstationRole may read
    /// the user template, and count failed logons and add to the audit trail
    /// through the store's functions; \a administratorRole may in addition
    /// save the user template. The role names are quoted; throws for an empty one.
    static QStringList grantStatements(const QString &workstationRole,
                                       const QString &administratorRole);

    /// What a workstation read of a store whose users are kept as rows:
    /// enough to save only the users it changed, refused when another saved
    /// one of those meanwhile, and to fetch only what others changed.
    struct Rows
    {
        /// False for a store kept as one stream (older tables, a template
        /// that a save does not lay out, or one an older program wrote):
        /// it is then saved and read whole.
        bool split = false;
        /// The store version that the rows are as of.
        qint64 version = 0;
        qint64 rolesVersion = 0;
        qint64 nodes = 0;
        /// Per user row: the store version that last wrote it, and a hash of its bytes.
        QList<qint64> versions;
        QList<size_t> hashes;
        /// The tree that, saved whole at its generation() treeGeneration,
        /// gives exactly these rows; nullptr when none is known. A save of
        /// that tree then writes out only the users changed since.
        const TzkSecurityTemplate *tree = nullptr;
        quint64 treeGeneration = 0;
        /// True when the rows are cut from the stream read with them byte for byte.
        bool asStream = false;
        /// Notes that \a loaded was just loaded from the stream read with
        /// these rows: when it saves back as read, they are its rows.
        void loadedInto(const TzkSecurityTemplate &loaded);
    };

    struct Stored
    {
        QByteArray stream;
        qint64 version = 0;
        bool exists = false;
        /// The role template saved with it (tables of version 4 on); empty
        /// when the store keeps none.
        QByteArray roles;
        /// Why the role template cannot be read as stored (its size is
        /// not the one saved with it); empty when it can.
        QString rolesProblem;
        /// What a save based on this read needs to know.
        Rows rows;
    };
    /// The user template stored under \a storeKey; exists is false (version 0) when none is.
    Stored load(const QString &storeKey);

    /// What update() did.
    struct Update
    {
        /// False when the store cannot be brought up to date row by row (it
        /// is kept whole, or the rows read are not its): load() it instead.
        bool applied = false;
        /// True when the users or the roles changed.
        bool changed = false;
        /// The role template when it changed (see Stored).
        std::optional<QByteArray> roles;
        QString rolesProblem;
    };
    /// Brings \a tree, which holds the users as \a read says, up to the
    /// store: fetches only the rows saved since (whether or not their
    /// notifications arrived) and puts them in place (see
    /// TemplateRows::splice()); \a read follows.
    Update update(const QString &storeKey, Rows &read, TzkSecurityTemplate &tree);

    /// The version of the user template stored under \a storeKey; 0 when none is.
    qint64 version(const QString &storeKey);

    enum class SaveResult { Saved, Conflict };
    /// Stores \a stream under \a storeKey when the stored version is still
    /// \a basedOnVersion (0: nothing stored yet) and notifies Channel; else
    /// writes nothing and answers Conflict. \a newVersion (may be null) gets
    /// the stored version after a save. \a alongside, when set, is called in
    /// the save's transaction with the stream it replaces (empty for the
    /// first): what it writes through this store is committed with the save,
    /// and what it throws undoes the save, and with the role template it
    /// replaces. With \a roles, the role template is stored too, in the same
    /// compare-and-set (empty: none); tables older than version 4 keep none,
    /// and such a save throws naming the upgrade.
    SaveResult save(const QString &storeKey, const QByteArray &stream, qint64 basedOnVersion,
                    qint64 *newVersion = nullptr,
                    const std::function<void(const QByteArray &replaced,
                                             const QByteArray &replacedRoles)> &alongside = {},
                    const QByteArray *roles = nullptr);
    /// Called in a save's transaction with what it replaces: the users it
    /// replaced (a template stream of those rows; all of them when
    /// \a written is null), the role template, and the users it wrote in
    /// their place when not all of them.
    using Alongside = std::function<void(
        const QByteArray &replaced, const QByteArray &replacedRoles, const QByteArray *written)>;
    /// As save() above, based on what was \a read: with tables of version 5
    /// it writes only the users whose rows changed since, each refused (the
    /// whole save then) when another save wrote it meanwhile, and the count
    /// of users only when it changes. Saves of other users in between do not
    /// refuse it. \a read follows what was written; its version stays behind
    /// the store's when other saves came in between (update() fetches them).
    SaveResult save(const QString &storeKey, const QByteArray &stream, Rows &read,
                    qint64 *newVersion, const Alongside &alongside,
                    const QByteArray *roles = nullptr);

    /// As save() above, of the stream a save of \a tree writes. When \a read
    /// was held by \a tree (Rows::heldBy()) and no node was added or removed
    /// since, only the users changed since are written out, and nothing else
    /// of the tree; otherwise the whole stream is, as above. Either way the
    /// server ends as that save leaves it, and after a save \a read is held
    /// by the tree.
    /// \a whole, when the caller has it, is that whole stream.
    SaveResult save(const QString &storeKey, TzkSecurityTemplate &tree, Rows &read,
                    qint64 *newVersion, const Alongside &alongside,
                    const QByteArray *roles = nullptr, const QByteArray *whole = nullptr);

    /// A user template that a save replaced, kept on the server (tables of
    /// version 3 on) with the time of that save and its digest.
    struct StoredBackup
    {
        QDateTime keptAt;
        QByteArray stream;
        /// True when the stream still has the digest recorded with it.
        bool good = false;
    };
    /// The backups of the user template of \a storeKey, newest first; none
    /// with tables of an older version.
    QList<StoredBackup> backups(const QString &storeKey);

    enum class RestoreResult { Restored, NoSuchBackup, NotGood };
    /// Puts backup \a number (1: the newest) of \a storeKey back as its user
    /// template, raising its version and notifying Channel, in one
    /// transaction in which the user template it replaces becomes the newest
    /// backup; \a alongside is called in it as save()'s is. Changes nothing
    /// when there is no such backup (\a kept gets how many there are) or it
    /// fails its digest.
    RestoreResult restoreBackup(const QString &storeKey, int number, qsizetype *kept,
                                const std::function<void()> &alongside = {});

    /// BEGIN on construction; ROLLBACK on destruction unless commit() was
    /// called. What the store does meanwhile is one unit.
    class Transaction
    {
    public:
        explicit Transaction(SharedStore &store);
        ~Transaction();
        void commit();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

    private:
        SharedStore &m_store;
        bool m_done = false;
    };

    // The failed logons and the audit trail of the users under a store key,
    // kept as LogonThrottle and AuditTrail keep them in the local store.

    // With tables of version 2 the server's clock stands for \a now, the
    // server's own limits (table rightsmith_settings, which its owner may
    // change) for \a limits and ThrottleSettings::forgetAfter.

    /// The failures of the name whose digest (LogonThrottle::nameDigest()) is \a nameDigest.
    ThrottleState failures(const QString &storeKey, const QByteArray &nameDigest);
    /// How long an attempt for the name must wait at \a now by its own count.
    std::chrono::seconds wait(const QString &storeKey, const QByteArray &nameDigest,
                              const ThrottleSettings &settings, const QDateTime &now);
    /// As LogonThrottle::reserve(), in the connection's open transaction (or
    /// one statement of its own): the rows of the name and the workstation stay
    /// locked until it ends.
    ThrottleReservation reserve(const QString &storeKey, const QByteArray &nameDigest,
                                const QByteArray &workstationDigest,
                                const ThrottleSettings &settings, const QDateTime &now);
    /// As LogonThrottle::release().
    void release(const QString &storeKey, const QByteArray &nameDigest,
                 const QByteArray &workstationDigest, const ThrottleReservation &reservation);
    /// Forgets the failures of a name (or a workstation); true when there were any.
    bool clearFailures(const QString &storeKey, const QByteArray &nameDigest);
    /// Adds \a record, completed as AuditRecord::complete() does (a counted
    /// record raises the count of one of the same minute), and drops what
    /// \a limits say, as AuditTrail::append(), counting back from \a now or
    /// the newest stored record, whichever is earlier.
    void appendAudit(const QString &storeKey, AuditRecord record, const AuditLimits &limits,
                     const QDateTime &now);
    /// As AuditTrail::read().
    QList<AuditRecord> readAudit(const QString &storeKey, const QDateTime &since = {},
                                 const QByteArray &user = {});
    /// True when the trail holds a record of \a storeKey.
    bool hasAuditRecords(const QString &storeKey);

    /// Asks the server for the notifications of Channel (see SharedStoreWatcher).
    void listen();

    /// The connection's socket, for waiting on notifications.
    int socket() const;
    /// Reads what the server sent and returns the payloads (store keys) of the
    /// notifications received so far, oldest first. Throws when the connection is lost.
    QStringList takeNotifications();
    /// Called (at most once per command) when a command of this connection
    /// received notifications along with its answer: they wait in
    /// takeNotifications() and the socket will not show them.
    void setNotificationsPending(std::function<void()> callback);

    /// True when the connection is known to be lost (a command found it so).
    bool isLost() const;

    /// The server and database, for messages; never holds a password.
    QString serverName() const;
    /// \a address as messages show it: any password hidden.
    static QString displayAddress(const QString &address);

private:
    explicit SharedStore(pg_conn *connection);
    struct Result;
    Result run(const char *sql, const QList<QByteArray> &parameters = {},
               const QList<bool> &binary = {}, bool binaryResult = false);
    void collectNotifications();

    bool prepareSchema(bool upgrade, QStringList *moved);
    QString checkTables(const QHash<QString, QString> &found);
    void checkAuditSequence();
    void makeVersion2();
    void makeVersion3();
    void makeVersion4();
    void makeVersion5();
    struct Cut;
    static Cut cutOf(const QByteArray &stream);
    static std::optional<Cut> cutChanged(TzkSecurityTemplate &tree, const Rows &read);
    SaveResult saveRows(const QByteArray &key, const QByteArray &stream, const Cut &cut, Rows &read,
                        qint64 *newVersion, const Alongside &alongside, const QByteArray *roles);
    void runVersionStatements(std::span<const char *const> statements);
    void revokeDirectWrites();
    void checkOwner();
    void upgradeFromVersion1(QStringList *moved);

    pg_conn *m_connection = nullptr;
    /// The address connected to, for the commands messages name.
    QString m_address;
    int m_schemaVersion = 0;
    QStringList m_pending;
    std::function<void()> m_notificationsPending;
};

/// Emits changed() for every notification of SharedStore::Channel the
/// store's connection receives, as soon as its socket shows them; no polling.
/// The store must listen() and must outlive the watcher.
class RIGHTSMITH_CORE_AUTOTEST_EXPORT SharedStoreWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SharedStoreWatcher(SharedStore &store, QObject *parent = nullptr);
    ~SharedStoreWatcher() override;

    /// Reads at once, without waiting, what the socket holds, as its next
    /// activation would: emits what there is to emit before it returns. For
    /// a caller that must know now that the connection still stands.
    void checkNow();

signals:
    /// Another save (possibly this connection's own) stored the user template
    /// of \a storeKey (case-folded).
    void changed(const QString &storeKey);
    /// The connection was lost; no more notifications follow.
    void lost(const QString &message);

private:
    void drain();

    SharedStore &m_store;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace zkSecurity
