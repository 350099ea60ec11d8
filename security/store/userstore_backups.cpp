// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store's backups (the user templates saves replaced, kept by each
// back end) and the way back from a damaged registry database.
#include "security/model/tzksecuritytemplate.h"
#include "security/store/ownfile_p.h"
#include "security/store/sharedstore_p.h"
#include "security/store/storedigest_p.h"
#include "security/store/storenames_p.h"
#include "security/store/userstore.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/error.h"

#include <QBuffer>

using rightsmith::toolkit::Error;
using rightsmith::toolkit::Registry;
using rightsmith::toolkit::RegistryTransaction;

namespace zkSecurity {

namespace {

// The users of the template stream \a stream (-1 when it does not load) and
// whether it is exactly as a save writes it: read back and written again.
int usersIn(const QByteArray &stream, bool &complete)
{
    complete = false;
    try {
        TzkSecurityTemplate users;
        QBuffer in;
        in.setData(stream);
        in.open(QIODevice::ReadOnly);
        users.LoadFromStreamSecurity(in);
        QBuffer out;
        out.open(QIODevice::ReadWrite);
        users.SaveToStreamSecurity(out);
        complete = out.data() == stream;
        return users.topLevelCount();
    } catch (const Error &) {
        return -1;
    }
}

// The local backups of \a settings, their digests checked; without a readable
// registry database, good when they load exactly as a save writes them.
QList<std::pair<LocalBackend::Backup, bool>> localBackups(const UserStoreSettings &settings,
                                                          Registry *registry)
{
    const auto backend = UserStoreBackend::open(settings, UserStoreBackend::Scope::Local);
    QList<std::pair<LocalBackend::Backup, bool>> list;
    for (const LocalBackend::Backup &backup : backend->local()->backups(registry)) {
        bool complete = false;
        const bool loads = usersIn(backup.bytes, complete) >= 0;
        list.append(
            {backup,
             backup.digest ? matchesDigest(backup.bytes, *backup.digest) && loads : complete});
    }
    return list;
}

QString noSuchBackup(int number, qsizetype kept, const QString &where)
{
    return UserStore::tr("There is no backup %1 of %2 (%3 kept); nothing was changed.")
        .arg(number)
        .arg(where)
        .arg(kept);
}

QString backupNotGood(int number, const QString &where)
{
    return UserStore::tr("Backup %1 of %2 fails its digest check (it was damaged since it was "
                         "kept); nothing was changed.")
        .arg(number)
        .arg(where);
}

// The digest the stored user template reads back with, when it is good: it
// has the digest its save recorded and loads. Nothing when it is not.
std::optional<QByteArray> readsBackGood(LocalBackend &local, Registry &registry)
{
    const QByteArray stored = local.storedBytes(registry);
    bool complete = false;
    if (stored.isEmpty() || !matchesDigest(stored, local.heldDigest(registry))
        || usersIn(stored, complete) < 0)
        return std::nullopt;
    return digestOf(stored);
}

QString restoreSharedBackup(const UserStoreSettings &settings, int number)
{
    const auto store = SharedStore::connect(settings.sharedAddress);
    const QString where = UserStore::location(settings);
    const QString restored = UserStore::tr("backup %1 of %2").arg(number).arg(where);
    const auto record = [&] {
        if (!settings.hardening.auditTrail)
            return;
        AuditRecord entry;
        entry.event = AuditEvent::StoreRestored;
        entry.actor = settings.actor;
        entry.detail = restored;
        store->appendAudit(settings.key, entry, settings.hardening.auditLimits,
                           settings.hardening.now());
    };
    qsizetype kept = 0;
    switch (store->restoreBackup(settings.key, number, &kept, record)) {
    case SharedStore::RestoreResult::Restored:
        return UserStore::tr("backup 1 of %1").arg(where);
    case SharedStore::RestoreResult::NoSuchBackup:
        throw Error(noSuchBackup(number, kept, where));
    case SharedStore::RestoreResult::NotGood:
        break;
    }
    throw Error(backupNotGood(number, where));
}

} // namespace

bool UserStore::isCompleteStream(const QByteArray &data)
{
    bool complete = false;
    usersIn(data, complete);
    return complete;
}

QString UserStore::setDamagedDatabaseAside(const UserStoreSettings &settings)
{
    if (Registry::damage(settings.registryPath()).isEmpty())
        return {};
    return Registry::moveAside(settings.registryPath());
}

QList<UserStore::Backup> UserStore::backups(const UserStoreSettings &settings)
{
    QList<std::pair<QDateTime, QByteArray>> found;
    QList<bool> good;
    if (settings.isShared()) {
        if (!settings.addressProblem.isEmpty())
            throw Error(settings.addressProblem);
        for (const SharedStore::StoredBackup &backup :
             SharedStore::connect(settings.sharedAddress)->backups(settings.key)) {
            found.append({backup.keptAt, backup.stream});
            good.append(backup.good);
        }
    } else {
        // Read only; a damaged database keeps its own backups out of reach,
        // not those of a user template file.
        std::unique_ptr<Registry> registry;
        const QString path = settings.registryPath();
        try {
            if (pathExists(path)) {
                registry = std::make_unique<Registry>(path, Registry::ReadOnly);
                if (!registry->openKey(settings.key, false))
                    registry.reset();
            }
        } catch (const Error &) {
            if (Registry::damage(path).isEmpty())
                throw;
            registry.reset();
        }
        for (const auto &[backup, isGood] : localBackups(settings, registry.get())) {
            found.append({backup.keptAt, backup.bytes});
            good.append(isGood);
        }
    }
    QList<Backup> list;
    for (qsizetype i = 0; i < found.size(); ++i) {
        bool complete = false;
        list.append({int(i + 1), found.at(i).first, found.at(i).second.size(),
                     usersIn(found.at(i).second, complete), good.at(i)});
    }
    return list;
}

QString UserStore::restoreBackup(const UserStoreSettings &settings, int number)
{
    if (settings.isShared()) {
        if (!settings.addressProblem.isEmpty())
            throw Error(settings.addressProblem);
        return restoreSharedBackup(settings, number);
    }
    // A store lost with its database is made anew around the backup.
    Registry registry(settings.registryPath(), Registry::ReadWrite);
    RegistryTransaction transaction(registry, Registry::WriteTransaction);
    registry.openKey(settings.key, true);
    const QString where = location(settings);
    const QList<std::pair<LocalBackend::Backup, bool>> list = localBackups(settings, &registry);
    if (number < 1 || number > list.size())
        throw Error(noSuchBackup(number, list.size(), where));
    if (!list.at(number - 1).second)
        throw Error(backupNotGood(number, where));
    const QByteArray stream = list.at(number - 1).first.bytes;

    // Like the copy of restore(), a save like any other; the user template it
    // replaces becomes a backup in turn, so that the restore can be undone.
    const auto backend = UserStoreBackend::open(settings, UserStoreBackend::Scope::Local);
    LocalBackend &local = *backend->local();
    if (const auto digest = readsBackGood(local, registry)) {
        local.keepReplaced(*digest);
        keepRolesWithBackup(registry, *digest);
    }
    const QString kept = local.replace(registry, stream);
    registry.writeInteger(StoreNames::UserTemplateSize, qint32(stream.size()));
    // The roles the backup's members followed come back with it; a backup
    // kept without them leaves the roles as they are.
    restoreRolesOfBackup(registry, stream);
    recordInTrail(settings, registry, AuditEvent::StoreRestored,
                  UserStore::tr("backup %1 of %2").arg(number).arg(where));
    local.putInPlace();
    transaction.commit();
    local.committed();
    return kept;
}

} // namespace zkSecurity
