// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store: the user template (as a template stream), its size, the
// recent user names and, when asked, the remembered scrambled password, under
// a key of the per-user registry; the user template itself optionally in a
// file or a shared store (see userstorebackend_p.h for its back ends). Here
// is the policy that holds whichever keeps it.
#include "security/store/userstore.h"

#include "security/hardening/audittrail.h"
#include "security/model/templatenames_p.h"
#include "security/model/tree.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/ownfile_p.h"
#include "security/store/sharedstore_p.h"
#include "security/store/storedigest_p.h"
#include "security/store/storenames_p.h"
#include "security/store/toolcommand_p.h"
#include "security/store/userstore_shared_p.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"
#include "toolkit/textlines_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QIODevice>
#include <QLoggingCategory>
#include <QScopeGuard>

#include <memory>
#include <optional>

using rightsmith::logging::lcStore;
using rightsmith::toolkit::Registry;
using rightsmith::toolkit::RegistryTransaction;

namespace zkSecurity {

QString UserStoreSettings::registryPath() const
{
    return databasePath.isEmpty() ? Registry::defaultPath() : databasePath;
}

namespace {

using Problem = UserStore::SaveResult::Problem;

UserStore::SaveResult notWritten(const UserStoreSettings &settings, const QString &reason)
{
    // What a shared store refused is not kept: the users are read again.
    if (settings.isShared())
        return {Problem::NotWritten,
                UserStore::tr("The users could not be saved: %1\nStore: %2.\nYour "
                              "changes were not saved.")
                    .arg(reason, UserStore::location(settings))};
    return {Problem::NotWritten,
            UserStore::tr(
                "The users could not be saved: %1\nStore: %2.\nChanges made since the last save "
                "stay in effect until the program ends.")
                .arg(reason, UserStore::location(settings))};
}

UserStore::SaveResult notWritten(const UserStoreSettings &settings,
                                 const LocalBackend::Failure &failure)
{
    if (!failure.message.isEmpty())
        return {Problem::NotWritten, failure.message};
    return notWritten(settings, failure.reason);
}

// The template stream of \a userTemplate, as a save writes it.
QByteArray streamOf(TzkSecurityTemplate &userTemplate)
{
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    userTemplate.SaveToStreamSecurity(stream);
    return stream.data();
}

QString sizeMissing()
{
    return UserStore::tr("\"%1\" is missing, but the user template is there")
        .arg(StoreNames::UserTemplateSize);
}

// Commits \a transaction; what it cannot commit is rolled back, and logged.
void commitOrWarn(RegistryTransaction &transaction)
{
    try {
        transaction.commit();
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
    }
}

// Opens the store's key in \a registry for a save, under the write lock,
// creating what is missing; throws naming the database and the reason.
std::unique_ptr<RegistryTransaction> beginSave(const UserStoreSettings &settings,
                                               std::unique_ptr<Registry> &registry)
{
    registry = std::make_unique<Registry>(settings.registryPath(), Registry::ReadWrite);
    auto transaction = std::make_unique<RegistryTransaction>(*registry, Registry::WriteTransaction);
    if (!registry->openKey(settings.key, true))
        throw rightsmith::toolkit::Error(UserStore::tr("the key cannot be created"));
    return transaction;
}

// The local key of a shared store, under the write lock as a local load
// takes it; none when it cannot be opened (without the server, nothing is
// known then).
std::unique_ptr<RegistryTransaction> beginLocalKey(const UserStoreSettings &settings,
                                                   Registry::Access access,
                                                   std::unique_ptr<Registry> &registry)
{
    const bool writable = access == Registry::ReadWrite;
    std::unique_ptr<RegistryTransaction> transaction;
    try {
        if (writable || pathExists(settings.registryPath())) {
            registry = std::make_unique<Registry>(settings.registryPath(), access);
            transaction = std::make_unique<RegistryTransaction>(
                *registry, writable ? Registry::WriteTransaction : Registry::ReadTransaction);
            if (!registry->openKey(settings.key, writable)) {
                transaction.reset();
                registry.reset();
            }
        }
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
        transaction.reset();
        registry.reset();
    }
    return transaction;
}

// Records in the audit trail how \a after differs from the user template the
// store holds (before it is replaced, in the same transaction).
std::optional<LocalBackend::Failure> recordChanges(const UserStoreSettings &settings,
                                                   LocalBackend &local, Registry &registry,
                                                   const TzkSecurityTemplate &after)
{
    try {
        const QByteArray stored = local.storedBytes(registry);
        AuditTrail trail(registry, settings.key, settings.hardening.auditLimits);
        const QDateTime now = settings.hardening.now();
        for (const AuditRecord &entry : changesFrom(settings, stored, after))
            trail.append(entry, now);
    } catch (const rightsmith::toolkit::Error &error) {
        return LocalBackend::Failure {error.message(), {}};
    }
    return std::nullopt;
}

// Writes the recent users and (with storePassword) the remembered password
// to the open key, or deletes it when passwords are hashed: none is
// remembered then. Failures are logged, not reported.
void writeLocalValues(const UserStoreSettings &settings, Registry &registry,
                      const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword)
{
    QByteArray lastUsersText;
    for (const QByteArray &name : lastUsers)
        lastUsersText += name + QByteArrayLiteral("\r\n");
    writeQuietly(StoreNames::LastUsers, [&] {
        registry.writeBinary(StoreNames::LastUsers, lastUsersText);
        registry.writeInteger(StoreNames::LastUsersSize, qint32(lastUsersText.size()));
    });
    if (settings.storePassword && settings.hardening.hashPasswords)
        writeQuietly(StoreNames::Password, [&] { registry.deleteValue(StoreNames::Password); });
    else if (settings.storePassword)
        writeQuietly(StoreNames::Password,
                     [&] { registry.writeString(StoreNames::Password, scrambledPassword); });
}

// Writes a user template that changed, and the values of the key with it,
// in the store's transaction: the changes to the audit trail first, then the
// user template's values, the recent users and the password, and what the
// back end keeps outside the registry last.
std::optional<LocalBackend::Failure>
writeChanged(const UserStoreSettings &settings, LocalBackend &local, Registry &registry,
             TzkSecurityTemplate &userTemplate, const QByteArray &bytes, bool keepUnreadable,
             LocalBackend::Written &written, const QList<QByteArray> &lastUsers,
             const QByteArray &scrambledPassword)
{
    if (settings.hardening.auditTrail) {
        if (auto failure = recordChanges(settings, local, registry, userTemplate))
            return failure;
    }
    if (auto failure = local.writeValues(registry, bytes, keepUnreadable, written))
        return failure;
    writeLocalValues(settings, registry, lastUsers, scrambledPassword);
    return local.stage(registry, userTemplate, bytes, keepUnreadable, written);
}

// The remembered password of the open key, when one is kept.
void readPassword(const UserStoreSettings &settings, Registry &registry,
                  QByteArray &scrambledPassword)
{
    if (settings.storePassword && !settings.hardening.hashPasswords
        && registry.valueType(StoreNames::Password) == Registry::String)
        scrambledPassword = registry.readString(StoreNames::Password).value_or(QByteArray());
}

// Reads the recent users of the open key; false when their size is not
// stored. A value of the wrong type throws, naming the registry and the key.
bool readLastUsers(const UserStoreSettings &settings, Registry &registry,
                   QList<QByteArray> &lastUsers)
{
    try {
        if (registry.valueType(StoreNames::LastUsersSize) != Registry::Integer)
            return false;
        const qint64 lastUsersSize = registry.readInteger(StoreNames::LastUsersSize).value_or(0);
        const Registry::ValueType lastUsersType = registry.valueType(StoreNames::LastUsers);
        if (lastUsersType != Registry::None) {
            if (lastUsersType != Registry::Binary
                || registry.valueSize(StoreNames::LastUsers) > lastUsersSize)
                throwInvalidDataType(StoreNames::LastUsers);
            const QByteArray text =
                registry.readBinary(StoreNames::LastUsers, lastUsersSize).value_or(QByteArray());
            if (text.size() == lastUsersSize)
                lastUsers = rightsmith::toolkit::splitTextLines(text);
        } else if (lastUsersSize == 0) {
            // A missing value reads no bytes, which is all of a size of zero.
            lastUsers.clear();
        }
    } catch (const rightsmith::toolkit::Error &error) {
        throw rightsmith::toolkit::Error(
            UserStore::tr("%1\n(read from the registry database \"%2\", key \"%3\")")
                .arg(error.message(), settings.registryPath(), settings.key));
    }
    return true;
}

QString changedElsewhereMessage()
{
    // The shared store's message, told of another program on this computer.
    return UserStore::tr(
        "The users were changed by another program since this dialog was opened; your changes "
        "were not saved. Open the dialog again to see the current users.");
}

} // namespace

struct UserStore::SharedRows : SharedStore::Rows
{
    // What the local copy's rows are, as this store last wrote or read them.
    SharedBackend::CopyRows copy;
};

UserStore::UserStore(Registry::Access access)
    : m_access(access)
    , m_sharedRows(std::make_shared<SharedRows>())
{
}

QString UserStore::location(const UserStoreSettings &settings)
{
    return UserStoreBackend::open(settings)->location();
}

bool UserStore::unreadable(const QString &problem)
{
    m_state = State::Unreadable;
    m_problem = problem;
    return false;
}

void UserStore::noteStored(const UserStoreSettings &settings,
                           const TzkSecurityTemplate &userTemplate, qint64 size,
                           quint64 contentHash, bool asSaved)
{
    // The hash is compared only for bytes that were read, never for a save's.
    m_stored = {&userTemplate, userTemplate.generation(), location(settings),
                size,          asSaved ? 0 : contentHash, asSaved};
}

bool UserStore::holdsAsStored(const TzkSecurityTemplate &userTemplate) const
{
    return m_stored.tree == &userTemplate && m_stored.generation == userTemplate.generation();
}

// Whether the store still holds the user template this store last read or
// wrote, at the size it had then. Read bytes count only when a save would
// write them alike; \a bytes then holds what it would write.
bool UserStore::stillStored(LocalBackend &local, Registry &registry,
                            TzkSecurityTemplate &userTemplate, QByteArray &bytes) const
{
    if (registry.valueType(StoreNames::UserTemplateSize) != Registry::Integer
        || registry.readInteger(StoreNames::UserTemplateSize).value_or(-1) != m_stored.size)
        return false;
    if (local.storedSize(registry) != m_stored.size)
        return false;
    // A tree unchanged since it was read from bytes a save writes back alike
    // needs no save to tell.
    if (m_stored.asSaved || userTemplate.SavesAsRead())
        return true;
    bytes = streamOf(userTemplate);
    return bytes.size() == m_stored.size && ContentHash::of(bytes) == m_stored.hash;
}

UserStore::Mark UserStore::markOf(LocalBackend &local, Registry &registry) const
{
    Mark mark;
    mark.location = local.location();
    if (registry.valueType(StoreNames::UserTemplateSize) == Registry::Integer)
        mark.size = registry.readInteger(StoreNames::UserTemplateSize).value_or(-1);
    mark.digest = local.heldDigest(registry);
    mark.roles = storedRoleDigest(registry);
    return mark;
}

// Notes which save a load read: the stored user template with the digest
// \a stored (none: nothing was stored), whose recorded digest was
// \a recorded. A recorded digest the stored bytes do not have was left behind
// by a program that does not keep one: it is dropped, so that the next save
// compares what is really there.
void UserStore::noteRead(LocalBackend &local, Registry &registry,
                         const std::optional<QByteArray> &stored,
                         std::optional<QByteArray> recorded)
{
    if (recorded && recorded != stored) {
        if (m_writeLocked) {
            try {
                local.forgetRecord(registry);
            } catch (const rightsmith::toolkit::Error &error) {
                qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            }
        }
        recorded.reset();
    }
    m_read.location = local.location();
    m_read.digest = stored.value_or(QByteArray());
    m_read.size = -1;
    if (registry.valueType(StoreNames::UserTemplateSize) == Registry::Integer)
        m_read.size = registry.readInteger(StoreNames::UserTemplateSize).value_or(-1);
    m_read.roles = storedRoleDigest(registry);
    m_tracking = true;
}

UserStore::SaveResult UserStore::trySave(const UserStoreSettings &settings,
                                         TzkSecurityTemplate &userTemplate,
                                         const QList<QByteArray> &lastUsers,
                                         const QByteArray &scrambledPassword,
                                         TzkSecurityTemplate *roleTemplate)
{
    m_changedElsewhere = false;
    const auto backend = UserStoreBackend::open(settings);
    if (SharedBackend *shared = backend->shared())
        return saveShared(settings, *shared, userTemplate, lastUsers, scrambledPassword,
                          roleTemplate);
    return saveLocal(settings, *backend->local(), userTemplate, lastUsers, scrambledPassword,
                     roleTemplate);
}

UserStore::SaveResult UserStore::saveLocal(const UserStoreSettings &settings, LocalBackend &local,
                                           TzkSecurityTemplate &userTemplate,
                                           const QList<QByteArray> &lastUsers,
                                           const QByteArray &scrambledPassword,
                                           TzkSecurityTemplate *roleTemplate)
{
    // The write lock comes first: until it is held nothing is replaced, and a
    // store that cannot be written is found out before anything is destroyed.
    std::unique_ptr<Registry> registry;
    std::unique_ptr<RegistryTransaction> transaction;
    try {
        transaction = beginSave(settings, registry);
    } catch (const rightsmith::toolkit::Error &error) {
        return notWritten(settings, error.message());
    }

    // The save is undone before the message, which waits for the user: other
    // programs can use the store meanwhile.
    auto failed = [&settings, &transaction](const LocalBackend::Failure &failure) {
        transaction.reset();
        return notWritten(settings, failure);
    };

    if (const auto failure = local.prepareWrite(*registry))
        return failed(*failure);

    const QString where = local.location();
    const bool sameTree =
        holdsAsStored(userTemplate) && m_stored.location == where && m_unreadable.isEmpty();
    // Another program's save since this store read its own is never undone.
    if (m_tracking && m_read.location == where) {
        try {
            m_changedElsewhere = !(markOf(local, *registry) == m_read);
        } catch (const rightsmith::toolkit::Error &error) {
            return failed({error.message(), {}});
        }
    }
    // The role template is written when it changed since it was read; one
    // that could not be read is left as it is.
    const QByteArray roleBytes = roleBytesToSave(roleTemplate);
    const bool rolesChanged = roleBytes != m_roles;
    if (m_changedElsewhere && (!sameTree || rolesChanged)) {
        writeLocalValues(settings, *registry, lastUsers, scrambledPassword);
        commitOrWarn(*transaction);
        return {Problem::ChangedElsewhere, changedElsewhereMessage()};
    }

    // The registry takes the stream as one value; a file is written from
    // the tree in pieces, unless the stream is at hand already.
    QByteArray bytes;
    const bool unchanged =
        sameTree && (m_changedElsewhere || stillStored(local, *registry, userTemplate, bytes));
    if (!unchanged && local.writesBytes() && bytes.isNull())
        bytes = streamOf(userTemplate);
    // A user template the last load could not read must not be replaced by
    // what the program made up instead: the back end keeps a copy aside first.
    const bool keepUnreadable = !m_unreadable.isEmpty() && local.isAt(m_unreadable);
    // What the store holds once this save is committed.
    LocalBackend::Written written {bytes.size(), {}};
    // The user template this save replaces becomes a backup when it is the
    // one this store read back good (or wrote) and still stands there.
    if (!unchanged && !keepUnreadable && m_tracking && m_read.location == where
        && !m_changedElsewhere && !m_read.digest.isEmpty()) {
        local.keepReplaced(m_read.digest);
        try {
            keepRolesWithBackup(*registry, m_read.digest);
        } catch (const rightsmith::toolkit::Error &error) {
            return failed({error.message(), {}});
        }
    }

    if (rolesChanged) {
        if (const auto failure = writeRoles(settings, *registry, *roleTemplate, roleBytes))
            return failed({*failure, {}});
    }
    if (unchanged) // only the recent users and the password are written
        writeLocalValues(settings, *registry, lastUsers, scrambledPassword);
    else if (const auto failure =
                 writeChanged(settings, local, *registry, userTemplate, bytes, keepUnreadable,
                              written, lastUsers, scrambledPassword))
        return failed(*failure);

    try {
        transaction->commit();
    } catch (const rightsmith::toolkit::Error &error) {
        local.rollBack();
        return failed({error.message(), {}});
    }
    local.committed();
    m_unreadable.clear();
    m_roles = roleBytes;
    if (m_tracking && rolesChanged)
        m_read.roles = roleBytes.isEmpty() ? QByteArray() : digestOf(roleBytes);
    if (!unchanged) {
        noteStored(settings, userTemplate, written.size, 0, true);
        if (m_tracking)
            m_read = {where, written.digest, written.size, m_read.roles};
    } else if (!m_changedElsewhere) {
        m_stored.asSaved = true; // what is stored is what a save writes
    }
    return {};
}

bool UserStore::load(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                     QList<QByteArray> &lastUsers, QByteArray &scrambledPassword,
                     TzkSecurityTemplate *roleTemplate)
{
    if (const std::optional<bool> updated =
            updateShared(settings, userTemplate, lastUsers, scrambledPassword, roleTemplate))
        return *updated;
    m_roles.clear();
    m_roleProblem.clear();
    if (roleTemplate)
        roleTemplate->ClearTemplate();
    scrambledPassword.clear();
    m_state = State::NotLoaded;
    m_problem.clear();
    m_unreadable.clear();
    m_readOnly = false;
    m_sharedVersion = 0;
    *m_sharedRows = {};
    m_tracking = false;
    m_changedElsewhere = false;
    m_writeLocked = false;
    m_databaseDamaged = false;
    const auto backend = UserStoreBackend::open(settings);
    if (SharedBackend *shared = backend->shared())
        return loadShared(settings, *shared, userTemplate, lastUsers, scrambledPassword,
                          roleTemplate);
    return loadLocal(settings, *backend->local(), userTemplate, lastUsers, scrambledPassword,
                     roleTemplate);
}

bool UserStore::loadUserNames(const UserStoreSettings &settings, QList<QByteArray> &names)
{
    names.clear();
    m_names = &names;
    const auto forget = qScopeGuard([this] { m_names = nullptr; });
    TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray password;
    const bool read = load(settings, users, lastUsers, password);
    // A shared store's template is read whole.
    for (int i = 0; i < users.topLevelCount(); ++i)
        names << users.topLevel(i)->text();
    return read;
}

bool UserStore::loadLocal(const UserStoreSettings &settings, LocalBackend &local,
                          TzkSecurityTemplate &userTemplate, QList<QByteArray> &lastUsers,
                          QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate)
{
    std::unique_ptr<Registry> registry;
    std::unique_ptr<RegistryTransaction> transaction;
    if (!beginLoad(settings, local, registry, transaction))
        return false;

    // Until the user template has been read, whatever stands where it is kept
    // is kept aside by the next save rather than overwritten.
    m_unreadable = local.place();

    // Ends the transaction on every way out but an exception, which rolls it
    // back; what is committed is the key, when it was created.
    const auto finish = [&](bool result) {
        commitOrWarn(*transaction);
        return result;
    };

    try {
        bool loaded = loadUserTemplate(settings, local, *registry, userTemplate, scrambledPassword);
        // Without the write lock, a save that committed and removed what it
        // replaced between reading the digest and the file makes the file
        // look foreign: it is read again, from a newer snapshot.
        for (int again = 0; !loaded && m_readRaced && again < 3; ++again) {
            transaction->commit();
            transaction.reset();
            transaction =
                std::make_unique<RegistryTransaction>(*registry, Registry::ReadTransaction);
            if (!registry->openKey(settings.key, false))
                return finish(false);
            m_state = State::NotLoaded;
            m_problem.clear();
            loaded = loadUserTemplate(settings, local, *registry, userTemplate, scrambledPassword);
        }
        if (!loaded)
            return finish(false);
    } catch (const rightsmith::toolkit::Error &error) {
        userTemplate.ClearTemplate();
        if (m_state != State::Unreadable)
            noteDamage(settings, error.message());
        if (m_databaseDamaged)
            return finish(false);
        throw rightsmith::toolkit::Error(
            UserStore::tr("%1\n(read from %2)").arg(error.message(), local.location()));
    }
    m_state = State::Loaded;
    m_unreadable.clear();
    if (roleTemplate)
        readRoles(*registry, userTemplate, *roleTemplate);

    const bool read = readLastUsers(settings, *registry, lastUsers);
    return finish(read);
}

// Opens the store's key for a load: under the write lock, which keeps saves
// out while the size, the template and the file are read, when it can be
// had; a store that cannot be written is still read. False, with the state
// set, when there is nothing to read.
bool UserStore::beginLoad(const UserStoreSettings &settings, LocalBackend &local,
                          std::unique_ptr<Registry> &registry,
                          std::unique_ptr<RegistryTransaction> &transaction)
{
    const bool writable = m_access == Registry::ReadWrite;

    // Read-only, a database that is not there holds nothing: as on a first start.
    if (!writable && !pathExists(settings.registryPath())) {
        if (local.existsOutsideDatabase())
            return unreadable(sizeMissing());
        m_state = State::NeverWritten;
        return false;
    }
    try {
        registry = std::make_unique<Registry>(settings.registryPath(), m_access);
        if (writable) {
            try {
                transaction =
                    std::make_unique<RegistryTransaction>(*registry, Registry::WriteTransaction);
                m_writeLocked = true;
            } catch (const rightsmith::toolkit::Error &error) {
                qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            }
        }
        if (!transaction)
            transaction =
                std::make_unique<RegistryTransaction>(*registry, Registry::ReadTransaction);
        if (!registry->openKey(settings.key, writable)) {
            if (writable)
                return unreadable(UserStore::tr("the key cannot be opened"));
            m_state = State::NeverWritten;
            return false;
        }
    } catch (const rightsmith::toolkit::Error &error) {
        // Nobody can tell whether users are stored there: the door stays shut.
        return noteDamage(settings, error.message());
    }
    return true;
}

// Unreadable with \a problem, or, when the registry database itself is
// damaged, with what is wrong with it: nothing in it can be read then.
bool UserStore::noteDamage(const UserStoreSettings &settings, const QString &problem)
{
    const QString damage = Registry::damage(settings.registryPath());
    if (damage.isEmpty())
        return unreadable(problem);
    m_databaseDamaged = true;
    return unreadable(UserStore::tr("the registry database \"%1\" is damaged: %2")
                          .arg(settings.registryPath(), damage));
}

// The user template and its size; false (with the state set) when they cannot
// be read, true when the user template was loaded.
bool UserStore::loadUserTemplate(const UserStoreSettings &settings, LocalBackend &local,
                                 Registry &registry, TzkSecurityTemplate &userTemplate,
                                 QByteArray &scrambledPassword)
{
    m_readRaced = false;
    const QString unsafe = local.prepareRead(registry, m_writeLocked);
    if (!unsafe.isEmpty())
        return unreadable(unsafe);

    const Registry::ValueType sizeType = registry.valueType(StoreNames::UserTemplateSize);
    if (sizeType == Registry::None) {
        // No size: a first start, unless a user template is there all the same.
        if (local.isThere(registry))
            return unreadable(sizeMissing());
        m_state = State::NeverWritten;
        m_unreadable.clear();
        noteRead(local, registry, std::nullopt, std::nullopt);
        return false;
    }
    if (sizeType != Registry::Integer)
        return unreadable(
            UserStore::tr("\"%1\" is not a 32-bit integer").arg(StoreNames::UserTemplateSize));
    const qint64 size = registry.readInteger(StoreNames::UserTemplateSize).value_or(0);
    readPassword(settings, registry, scrambledPassword);
    if (size < 0)
        return unreadable(
            UserStore::tr("\"%1\" is negative (%2)").arg(StoreNames::UserTemplateSize).arg(size));

    // No buffer of "UserTemplateSize" bytes is ever made: the size is checked
    // against what the file or the value really holds first.
    LocalBackend::Read read = local.read(registry, size, m_writeLocked);
    if (!read.problem.isEmpty()) {
        m_readRaced = read.raced;
        return unreadable(read.problem);
    }
    if (m_names) {
        // Only the names: no tree, and nothing noted for a save.
        *m_names = templateTopLevelTexts(*read.stream);
        return true;
    }
    userTemplate.LoadFromStreamSecurity(*read.stream);
    noteStored(settings, userTemplate, read.size, read.contentHash, false);
    if (read.hashing.valid())
        read.digest = read.hashing.get();
    noteRead(local, registry, read.digest, read.recorded);
    return true;
}

QByteArray UserStore::roleBytesToSave(TzkSecurityTemplate *roleTemplate) const
{
    if (!roleTemplate || !m_roleProblem.isEmpty())
        return m_roles;
    return roleTemplate->topLevelCount() > 0 ? streamOf(*roleTemplate) : QByteArray();
}

QString UserStore::keepUnreadableAside(const UserStoreSettings &settings)
{
    try {
        const QString kept = UserStoreBackend::open(settings)->keepAside();
        if (kept.isEmpty())
            return UserStore::tr("There was nothing to keep aside; the store was left as it is.");
        return UserStore::tr(
                   "A copy of the unreadable user template is kept as %1; the store was left as it "
                   "is.")
            .arg(kept);
    } catch (const rightsmith::toolkit::Error &error) {
        return UserStore::tr("No copy could be kept aside (%1); the store was left as it is.")
            .arg(error.message());
    }
}
QString UserStore::unreadableMessage(const UserStoreSettings &settings, const QString &kept) const
{
    // The message ends the problem with a period of its own.
    QString problem = m_problem;
    if (problem.endsWith(u'.'))
        problem.chop(1);
    if (settings.isShared())
        return UserStore::tr(
                   "The stored users cannot be read, so nobody has been logged on and no new "
                   "\"Supervisor\" has been made.\n\nStore: %1.\nProblem: %2.\n\nIf the server "
                   "cannot be reached, start again when it is back. An administrator can examine "
                   "the store with:\n%3\nlist the last good user templates it kept with:\n%4\nand "
                   "put one of them (number N) back with:\n%5")
            .arg(location(settings), problem, toolCommand(settings, QStringLiteral("verify")),
                 toolCommand(settings, QStringLiteral("backups")),
                 toolCommand(settings, QStringLiteral("restore --backup N")));
    if (m_databaseDamaged)
        return UserStore::tr(
                   "The stored users cannot be read, so nobody has been logged on and no new "
                   "\"Supervisor\" has been made.\n\nStore: %1.\nProblem: %2.\n%3\n\nAn "
                   "administrator can examine the store with:\n%4\nand move the damaged database "
                   "aside (it is kept) and make a new one with:\n%5\nor, putting a good copy COPY "
                   "of the user template back at the same time:\n%6")
            .arg(location(settings), problem, kept, toolCommand(settings, QStringLiteral("verify")),
                 toolCommand(settings, QStringLiteral("restore")),
                 toolCommand(settings, QStringLiteral("restore COPY")));
    return UserStore::tr(
               "The stored users cannot be read, so nobody has been logged on and no new "
               "\"Supervisor\" has been made.\n\nStore: %1.\nProblem: %2.\n%3\n\nAn administrator "
               "can examine the store with:\n%4\nlist the last good user templates it kept "
               "with:\n%5\nand put one of them (number N) back with:\n%6\nor a good copy COPY "
               "of your own with:\n%7")
        .arg(location(settings), problem, kept, toolCommand(settings, QStringLiteral("verify")),
             toolCommand(settings, QStringLiteral("backups")),
             toolCommand(settings, QStringLiteral("restore --backup N")),
             toolCommand(settings, QStringLiteral("restore COPY")));
}

void UserStore::markServerLost(const QString &problem)
{
    if (m_readOnly || m_state == State::NotLoaded || m_state == State::Unreadable)
        return;
    m_readOnly = true;
    m_problem = problem;
}

QString UserStore::readOnlyMessage(const UserStoreSettings &settings) const
{
    return UserStore::tr(
               "The user store on the server \"%1\" cannot be reached:\n%2\n\nUntil it is back, "
               "logons use the users this workstation last read from it, and the users cannot be "
               "changed.")
        .arg(SharedStore::displayAddress(settings.sharedAddress), m_problem);
}

QString UserStore::restore(const UserStoreSettings &settings, const QByteArray &stream)
{
    // A store lost with its database is made anew around the copy.
    Registry registry(settings.registryPath(), Registry::ReadWrite);
    RegistryTransaction transaction(registry, Registry::WriteTransaction);
    registry.openKey(settings.key, true);

    // The copy is a save like any other: its digest tells every program that
    // read the users before that they were changed. What a shared store's
    // settings name locally is restored: the server is the tool's to write.
    const auto backend = UserStoreBackend::open(settings, UserStoreBackend::Scope::Local);
    LocalBackend &local = *backend->local();
    const QString kept = local.replace(registry, stream);
    registry.writeInteger(StoreNames::UserTemplateSize, qint32(stream.size()));
    recordInTrail(settings, registry, AuditEvent::StoreRestored, location(settings));
    local.putInPlace();
    transaction.commit();
    local.committed();
    return kept;
}

QStringList UserStore::keptAside(const UserStoreSettings &settings)
{
    return UserStoreBackend::open(settings, UserStoreBackend::Scope::Local)->local()->keptAside();
}

// The shared store: the user template and its version come from the server
// and are copied into the local key; without the server, that copy is read
// and nothing is saved. The recent users and the password stay local.

bool UserStore::loadShared(const UserStoreSettings &settings, SharedBackend &shared,
                           TzkSecurityTemplate &userTemplate, QList<QByteArray> &lastUsers,
                           QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate)
{
    m_stored = {};
    if (!settings.addressProblem.isEmpty())
        return unreadable(settings.addressProblem);

    std::optional<SharedStore::Stored> fromServer;
    QString serverProblem;
    try {
        fromServer = shared.fetch(m_connection);
    } catch (const rightsmith::toolkit::Error &error) {
        serverProblem = error.message();
    }

    const bool writable = m_access == Registry::ReadWrite;
    std::unique_ptr<Registry> registry;
    const auto transaction = beginLocalKey(settings, m_access, registry);
    const auto finish = [&](bool result) {
        if (transaction)
            commitOrWarn(*transaction);
        return result;
    };

    std::optional<SharedStore::Stored> stored = fromServer;
    if (!stored && registry) {
        stored = shared.readCopy(*registry);
        m_readOnly = stored.has_value();
    }
    if (!stored) {
        unreadable(serverProblem);
        return finish(false);
    }
    if (!stored->exists) {
        m_state = State::NeverWritten;
        return finish(false);
    }
    const QByteArray bytes = stored->stream;
    m_sharedVersion = stored->version;
    if (fromServer)
        static_cast<SharedStore::Rows &>(*m_sharedRows) = stored->rows;

    try {
        QBuffer stream;
        stream.setData(bytes);
        stream.open(QIODevice::ReadOnly);
        userTemplate.LoadFromStreamSecurity(stream);
        if (fromServer)
            m_sharedRows->loadedInto(userTemplate);
    } catch (const rightsmith::toolkit::Error &error) {
        userTemplate.ClearTemplate();
        unreadable(error.message());
        finish(false);
        throw rightsmith::toolkit::Error(
            UserStore::tr("%1\n(read from %2)")
                .arg(error.message(), m_readOnly ? shared.copyLocation() : shared.location()));
    }
    noteStored(settings, userTemplate, bytes.size(), ContentHash::of(bytes), false);
    m_state = State::Loaded;
    if (m_readOnly)
        m_problem = serverProblem;
    // The roles come from the server only: the local copy keeps none, and
    // nothing is saved while it stands in.
    if (roleTemplate) {
        m_roleProblem = readRoleTemplate(stored->roles, shared.location(), userTemplate,
                                         *roleTemplate, stored->rolesProblem);
        if (m_roleProblem.isEmpty())
            m_roles = stored->roles;
    }
    if (!registry)
        return false;

    // The copy is written again only when the server's version moved on.
    if (fromServer && writable
        && !shared.copyIsAt(*registry, m_sharedVersion, stored->rows, m_sharedRows->copy))
        shared.writeCopy(*registry, bytes, m_sharedVersion, stored->rows, m_sharedRows->copy);
    readPassword(settings, *registry, scrambledPassword);
    const bool read = readLastUsers(settings, *registry, lastUsers);
    return finish(read);
}

// A shared store whose users were read from the server as rows, and that
// are unchanged here since, is brought up to date on the lent connection
// with the rows saved since; nothing (a whole load follows) when it cannot be.
std::optional<bool> UserStore::updateShared(const UserStoreSettings &settings,
                                            TzkSecurityTemplate &userTemplate,
                                            QList<QByteArray> &lastUsers,
                                            QByteArray &scrambledPassword,
                                            TzkSecurityTemplate *roleTemplate)
{
    if (!m_connection || !settings.isShared() || !settings.addressProblem.isEmpty()
        || m_state != State::Loaded || m_readOnly || !m_sharedRows->split
        || !holdsAsStored(userTemplate) || m_stored.location != location(settings))
        return std::nullopt;
    SharedStore::Update update;
    try {
        update = m_connection->update(settings.key, *m_sharedRows, userTemplate);
    } catch (const rightsmith::toolkit::Error &error) {
        // The tree may be half brought up to date: the whole load replaces it.
        qCInfo(lcStore, "%ls", qUtf16Printable(error.message()));
        *m_sharedRows = {};
        return std::nullopt;
    }
    if (!update.applied)
        return std::nullopt;
    m_sharedVersion = m_sharedRows->version;
    const auto backend = UserStoreBackend::open(settings);
    SharedBackend &shared = *backend->shared();
    if (update.roles && roleTemplate) {
        roleTemplate->ClearTemplate();
        m_roles.clear();
        m_roleProblem = readRoleTemplate(*update.roles, shared.location(), userTemplate,
                                         *roleTemplate, update.rolesProblem);
        if (m_roleProblem.isEmpty())
            m_roles = *update.roles;
    }
    noteStored(settings, userTemplate, 0, 0, true);

    std::unique_ptr<Registry> registry;
    const auto transaction = beginLocalKey(settings, m_access, registry);
    if (!registry)
        return false;
    // Another program of this desk may have written the copy already.
    if (update.changed && m_access == Registry::ReadWrite
        && !shared.copyIsAt(*registry, m_sharedVersion, *m_sharedRows, m_sharedRows->copy))
        shared.updateCopy(*registry, userTemplate, m_sharedVersion, *m_sharedRows,
                          m_sharedRows->copy);
    readPassword(settings, *registry, scrambledPassword);
    const bool read = readLastUsers(settings, *registry, lastUsers);
    commitOrWarn(*transaction);
    return read;
}

// Whether the user template is the tree this store last read from or wrote to
// \a where, unchanged since and still what a save would send.
bool UserStore::unchangedSinceShared(TzkSecurityTemplate &userTemplate, const QString &where) const
{
    if (m_stored.tree != &userTemplate || m_stored.generation != userTemplate.generation()
        || m_stored.location != where || m_sharedVersion == 0)
        return false;
    if (m_stored.asSaved || userTemplate.SavesAsRead())
        return true;
    const QByteArray bytes = streamOf(userTemplate);
    return bytes.size() == m_stored.size && ContentHash::of(bytes) == m_stored.hash;
}

UserStore::SaveResult
UserStore::saveShared(const UserStoreSettings &settings, SharedBackend &shared,
                      TzkSecurityTemplate &userTemplate, const QList<QByteArray> &lastUsers,
                      const QByteArray &scrambledPassword, TzkSecurityTemplate *roleTemplate)
{
    const QByteArray roleBytes = roleBytesToSave(roleTemplate);
    const bool rolesChanged = roleBytes != m_roles;
    const bool unchanged = m_state == State::Loaded && settings.addressProblem.isEmpty()
        && unchangedSinceShared(userTemplate, shared.location()) && !rolesChanged;

    // The user template first: what the server refuses is reported, and the
    // local values below are written all the same.
    SaveResult result;
    if (unchanged) {
        // Nothing is sent: a logon that changed nothing writes nothing there.
        m_stored.asSaved = true; // what the server holds is what a save sends
    } else if (!settings.addressProblem.isEmpty() || m_state == State::Unreadable) {
        result = notWritten(
            settings, settings.addressProblem.isEmpty() ? m_problem : settings.addressProblem);
    } else if (m_readOnly) {
        result = {Problem::ServerAway,
                  UserStore::tr("The users cannot be changed until the server \"%1\" "
                                "is back; your changes were not saved.\n(%2)")
                      .arg(shared.server(), m_problem)};
    } else {
        try {
            qint64 version = 0;
            // Roles are sent, and their changes recorded, only when they
            // changed: tables without them keep working for every other save,
            // and roles that were not read are neither written nor compared.
            if (shared.send(userTemplate, *m_sharedRows, version,
                            rolesChanged ? &roleBytes : nullptr,
                            rolesChanged ? roleTemplate : nullptr)
                == SharedStore::SaveResult::Conflict) {
                result = {Problem::ChangedOnServer,
                          UserStore::tr(
                              "The users were changed on another workstation since this dialog "
                              "was opened; your changes were not saved. Open the dialog again to "
                              "see the current users.")};
            } else {
                // Behind the version saved when others saved in between.
                m_sharedVersion = m_sharedRows->version;
                m_roles = roleBytes;
                // A saved tree is compared by its generation alone: no size.
                noteStored(settings, userTemplate, 0, 0, true);
            }
        } catch (const rightsmith::toolkit::Error &error) {
            result = notWritten(settings, error.message());
        }
    }

    try {
        std::unique_ptr<Registry> registry;
        const auto transaction = beginSave(settings, registry);
        if (result.saved() && !unchanged)
            shared.updateCopy(*registry, userTemplate, m_sharedVersion, *m_sharedRows,
                              m_sharedRows->copy);
        writeLocalValues(settings, *registry, lastUsers, scrambledPassword);
        transaction->commit();
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
    }
    return result;
}

} // namespace zkSecurity
