// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The backups of the user template and the way back from a damaged registry
// database: list the backups, put one back, move the damaged database aside.
#include "commands.h"
#include "console.h"
#include "security/store/ownfile_p.h"
#include "security/store/sharedstore_p.h"
#include "security/store/toolcommand_p.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/registry.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

namespace rightsmithusers {

namespace {

QString timeOf(const zkSecurity::UserStore::Backup &backup)
{
    return backup.keptAt.toUTC().toString(u"yyyy-MM-dd HH:mm:ss 'UTC'"_s);
}

// The backup number given with --backup.
int backupNumber(const Invocation &call)
{
    bool ok = false;
    const int number = call.value(Option::Backup).toInt(&ok);
    if (!ok || number < 1)
        throw Failure {ExitUsage, u"--backup needs a backup number (1 is the newest)"_s};
    return number;
}

// Says, on a shared store of tables that keep no backups, how to upgrade them.
void warnWithoutBackups(Store &store)
{
    if (!store.isShared())
        return;
    const QString advice = store.shared().upgradeAdvice();
    if (!advice.isEmpty())
        err() << "rightsmith-users: warning: " << advice << '\n';
}

// The settings of the store a restore writes to, recorded in the trail when it keeps one.
zkSecurity::UserStoreSettings restoreSettings(Store &store)
{
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    return settings;
}

} // namespace

bool restoreAccepts(const QCommandLineParser &parser)
{
    // COPY or --backup N; neither only to move a damaged database aside.
    return !(parser.isSet(Option::Backup) && parser.positionalArguments().size() > 1);
}

void setDamagedDatabaseAside(const zkSecurity::UserStoreSettings &settings)
{
    const QString damage = Registry::damage(settings.registryPath());
    const QString kept = zkSecurity::UserStore::setDamagedDatabaseAside(settings);
    if (!kept.isEmpty())
        out() << "the registry database " << settings.registryPath() << " is damaged (" << damage
              << "); it is kept as " << kept << " and a new one is made\n";
}

int backups(const Invocation &call)
{
    Store &store = call.store;
    const zkSecurity::UserStoreSettings settings = store.settings();
    warnWithoutBackups(store);
    const QList<zkSecurity::UserStore::Backup> list = zkSecurity::UserStore::backups(settings);
    if (call.json) {
        QJsonArray array;
        for (const zkSecurity::UserStore::Backup &backup : list) {
            array.append(QJsonObject {
                {u"number"_s, backup.number},
                {u"keptAt"_s, backup.keptAt.toUTC().toString(Qt::ISODateWithMs)},
                {u"size"_s, backup.size},
                {u"users"_s, backup.users},
                {u"good"_s, backup.good},
            });
        }
        printJson(array);
        return ExitOk;
    }
    const QString where = zkSecurity::UserStore::location(settings);
    if (list.isEmpty()) {
        out() << "no backups of " << where << '\n';
        return ExitOk;
    }
    out() << "backups of " << where << ", newest first:\n";
    for (const zkSecurity::UserStore::Backup &backup : list) {
        out() << "  " << backup.number << "  kept " << timeOf(backup) << "  " << backup.size
              << " bytes  ";
        if (backup.users < 0)
            out() << "does not load";
        else
            out() << backup.users << " users";
        if (!backup.good)
            out() << "  (fails its digest check)";
        out() << '\n';
    }
    return ExitOk;
}

int restoreBackup(const Invocation &call)
{
    Store &store = call.store;
    const int number = backupNumber(call);
    const zkSecurity::UserStoreSettings settings = restoreSettings(store);
    warnWithoutBackups(store);
    const QList<zkSecurity::UserStore::Backup> list = zkSecurity::UserStore::backups(settings);
    const QString where = zkSecurity::UserStore::location(settings);
    if (number > list.size()) {
        QString message =
            u"there is no backup %1 of %2 (%3 kept); nothing was changed"_s.arg(number)
                .arg(where)
                .arg(list.size());
        if (!store.isShared() && !Registry::damage(settings.registryPath()).isEmpty())
            message += u"\nthe registry database is damaged: its backups cannot be read; move it "
                       u"aside with:\n%1"_s.arg(zkSecurity::toolCommand(settings, u"restore"_s));
        throw Failure {ExitError, message};
    }
    const zkSecurity::UserStore::Backup &backup = list.at(number - 1);
    if (!backup.good)
        throw Failure {ExitError,
                       u"backup %1 of %2 fails its digest check (it was damaged since it was "
                       u"kept); nothing was changed"_s.arg(number)
                           .arg(where)};
    if (!store.isShared())
        setDamagedDatabaseAside(settings);
    printKeptAs(zkSecurity::UserStore::restoreBackup(settings, number));
    out() << "restored backup " << number << " (kept " << timeOf(backup) << ", " << backup.users
          << " users) to " << where << '\n';
    return ExitOk;
}

int restoreDatabase(const Invocation &call)
{
    Store &store = call.store;
    if (store.isShared())
        throw Failure {ExitUsage, u"with --store, restore takes a COPY or --backup N"_s};
    const zkSecurity::UserStoreSettings settings = store.settings();
    const QString database = settings.registryPath();
    if (Registry::damage(database).isEmpty())
        throw Failure {ExitUsage,
                       u"the registry database %1 is not damaged; name a COPY or "
                       u"--backup N to put back"_s.arg(database)};
    // A user template file that loads is the user template still: it is
    // recorded anew in the new database, as restore records a copy.
    QByteArray stream;
    int users = -1;
    const QString file = zkSecurity::absoluteFile(settings.fileName);
    if (settings.inFile && zkSecurity::pathExists(file)) {
        stream = zkSecurity::readWholeFile(file);
        try {
            users = usersIn(stream, file);
        } catch (const Failure &failure) {
            err() << "rightsmith-users: " << failure.message << '\n';
        }
        if (users >= 0 && !zkSecurity::UserStore::isCompleteStream(stream))
            users = -1;
    }
    setDamagedDatabaseAside(settings);
    if (users < 0) {
        Registry made(database, Registry::ReadWrite);
        out() << "no user template was put back: the program makes \"Supervisor\" at its next "
                 "start; to put a good copy COPY back instead run:\n"
              << zkSecurity::toolCommand(settings, u"restore COPY"_s) << '\n';
        return ExitOk;
    }
    printKeptAs(zkSecurity::UserStore::restore(settings, stream));
    out() << "kept " << users << " users of " << zkSecurity::UserStore::location(settings) << '\n';
    return ExitOk;
}

} // namespace rightsmithusers
