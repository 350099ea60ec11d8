// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The shared user store of a build without PostgreSQL: connect() fails with
// the reason, and no SharedStore is ever made, so that every caller takes the
// path it takes for a server it cannot reach. The other members exist only so
// that their callers link; none of them can run.
#include "security/store/sharedstore_p.h"
#include "security/store/storeaddress_p.h"
#include "toolkit/error.h"

using rightsmith::toolkit::Error;

namespace zkSecurity {

namespace {

[[noreturn]] void leftOut()
{
    throw Error(StoreAddress::sharedStoreLeftOut());
}

} // namespace

const char *const SharedStore::Channel = "rightsmith_user_template";

std::unique_ptr<SharedStore> SharedStore::connect(const QString &)
{
    leftOut();
}

SharedStore::~SharedStore() = default;

QString SharedStore::displayAddress(const QString &)
{
    // Without libpq the address cannot be read, so nothing of it (a password
    // among the rest) is shown.
    return SharedStore::tr("(a shared store address)");
}

QStringList SharedStore::grantStatements(const QString &, const QString &)
{
    leftOut();
}

void SharedStore::Rows::loadedInto(const TzkSecurityTemplate &)
{
}

void SharedStore::initSchema()
{
    leftOut();
}
QStringList SharedStore::upgradeSchema()
{
    leftOut();
}
int SharedStore::schemaVersion()
{
    leftOut();
}
QString SharedStore::upgradeAdvice()
{
    leftOut();
}
SharedStore::Stored SharedStore::load(const QString &)
{
    leftOut();
}
SharedStore::Update SharedStore::update(const QString &, Rows &, TzkSecurityTemplate &)
{
    leftOut();
}
qint64 SharedStore::version(const QString &)
{
    leftOut();
}

SharedStore::SaveResult
SharedStore::save(const QString &, const QByteArray &, qint64, qint64 *,
                  const std::function<void(const QByteArray &, const QByteArray &)> &,
                  const QByteArray *)
{
    leftOut();
}

SharedStore::SaveResult SharedStore::save(const QString &, const QByteArray &, Rows &, qint64 *,
                                          const Alongside &, const QByteArray *)
{
    leftOut();
}

SharedStore::SaveResult SharedStore::save(const QString &, TzkSecurityTemplate &, Rows &, qint64 *,
                                          const Alongside &, const QByteArray *, const QByteArray *)
{
    leftOut();
}

QList<SharedStore::StoredBackup> SharedStore::backups(const QString &)
{
    leftOut();
}

SharedStore::RestoreResult SharedStore::restoreBackup(const QString &, int, qsizetype *,
                                                      const std::function<void()> &)
{
    leftOut();
}

SharedStore::Transaction::Transaction(SharedStore &store)
    : m_store(store)
{
    leftOut();
}
SharedStore::Transaction::~Transaction() = default;
void SharedStore::Transaction::commit()
{
    leftOut();
}

ThrottleState SharedStore::failures(const QString &, const QByteArray &)
{
    leftOut();
}
std::chrono::seconds SharedStore::wait(const QString &, const QByteArray &,
                                       const ThrottleSettings &, const QDateTime &)
{
    leftOut();
}
ThrottleReservation SharedStore::reserve(const QString &, const QByteArray &, const QByteArray &,
                                         const ThrottleSettings &, const QDateTime &)
{
    leftOut();
}
void SharedStore::release(const QString &, const QByteArray &, const QByteArray &,
                          const ThrottleReservation &)
{
    leftOut();
}
bool SharedStore::clearFailures(const QString &, const QByteArray &)
{
    leftOut();
}
void SharedStore::appendAudit(const QString &, AuditRecord, const AuditLimits &, const QDateTime &)
{
    leftOut();
}
QList<AuditRecord> SharedStore::readAudit(const QString &, const QDateTime &, const QByteArray &)
{
    leftOut();
}
bool SharedStore::hasAuditRecords(const QString &)
{
    leftOut();
}
void SharedStore::listen()
{
    leftOut();
}
int SharedStore::socket() const
{
    leftOut();
}
QStringList SharedStore::takeNotifications()
{
    leftOut();
}
void SharedStore::setNotificationsPending(std::function<void()>)
{
    leftOut();
}
bool SharedStore::isLost() const
{
    leftOut();
}
QString SharedStore::serverName() const
{
    leftOut();
}

SharedStoreWatcher::SharedStoreWatcher(SharedStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    leftOut();
}
SharedStoreWatcher::~SharedStoreWatcher() = default;
void SharedStoreWatcher::checkNow()
{
    leftOut();
}
void SharedStoreWatcher::drain()
{
    leftOut();
}

} // namespace zkSecurity
