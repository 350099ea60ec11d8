// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The choice of a user store's back end, and what its back ends share.
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;
using rightsmith::logging::lcStore;

namespace zkSecurity {

std::unique_ptr<UserStoreBackend> UserStoreBackend::open(const UserStoreSettings &settings,
                                                         Scope scope)
{
    if (settings.isShared() && scope == Scope::AsSet)
        return makeSharedBackend(settings);
    if (settings.inFile)
        return makeFileBackend(settings);
    return makeValueBackend(settings);
}

QString asideName(const QString &base, const std::function<bool(const QString &)> &taken)
{
    const QString stem =
        base + AsideInfix + QDateTime::currentDateTime().toString(u"yyyyMMdd'T'HHmmss"_s);
    QString name = stem;
    for (int counter = 1; taken(name); ++counter)
        name = stem + u'-' + QString::number(counter);
    return name;
}

void recordInTrail(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
                   AuditEvent event, const QString &detail)
{
    if (!settings.hardening.auditTrail || detail.isEmpty())
        return;
    AuditRecord entry;
    entry.event = event;
    entry.actor = settings.actor;
    entry.detail = detail;
    AuditTrail(registry, settings.key, settings.hardening.auditLimits)
        .append(entry, settings.hardening.now());
}

namespace {

// The records \a differ finds between the stored template stream \a stored
// (one that cannot be read counts as empty) and \a after, as done by
// settings.actor.
QList<AuditRecord> changesBetween(const UserStoreSettings &settings, QByteArray stored,
                                  const TzkSecurityTemplate &after,
                                  QList<AuditRecord> (*differ)(const TzkSecurityTemplate &,
                                                               const TzkSecurityTemplate &))
{
    TzkSecurityTemplate before;
    if (!stored.isEmpty()) {
        try {
            QBuffer buffer(&stored);
            buffer.open(QIODevice::ReadOnly);
            before.LoadFromStreamSecurity(buffer);
        } catch (const rightsmith::toolkit::Error &) {
            before.ClearTemplate();
        }
    }
    QList<AuditRecord> records = differ(before, after);
    for (AuditRecord &entry : records)
        entry.actor = settings.actor;
    return records;
}

} // namespace

QList<AuditRecord> changesFrom(const UserStoreSettings &settings, const QByteArray &stored,
                               const TzkSecurityTemplate &after)
{
    return changesBetween(settings, stored, after, &AuditTrail::changes);
}

QList<AuditRecord> roleChangesFrom(const UserStoreSettings &settings, const QByteArray &stored,
                                   const TzkSecurityTemplate &after)
{
    return changesBetween(settings, stored, after, &AuditTrail::roleChanges);
}

void throwInvalidDataType(const QString &name)
{
    throw rightsmith::toolkit::Error(UserStore::tr("Invalid data type for '%1'").arg(name));
}

void writeQuietly(const QString &name, const std::function<void()> &write)
{
    try {
        write();
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls not written: %ls", qUtf16Printable(name),
                  qUtf16Printable(error.message()));
    }
}

} // namespace zkSecurity
