// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The hardening's per-logon work on one open registry: a throttle
// reservation taken and given back (a logon that passes), and one record
// appended to the audit trail. Both run a handful of small statements per
// call, so the price of preparing them shows here.
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"
#include "toolkit/registry.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

const QString StoreKey = u"\\Software\\Tenvarro\\RightsmithDemo"_s;

void throttleReserveAndRelease(benchmark::State &state)
{
    QTemporaryDir home;
    rightsmith::toolkit::Registry registry(home.filePath(u"registry.sqlite3"_s));
    zkSecurity::LogonThrottle throttle(registry, StoreKey);
    const QByteArray workstation = zkSecurity::LogonThrottle::workstationDigest();
    const zkSecurity::ThrottleSettings settings;
    for (auto _ : state) {
        const auto reservation = throttle.reserve(QByteArrayLiteral("Supervisor"), workstation,
                                                  settings, QDateTime::currentDateTimeUtc());
        throttle.release(QByteArrayLiteral("Supervisor"), workstation, reservation);
    }
}
BENCHMARK(throttleReserveAndRelease)->Unit(benchmark::kMicrosecond);

void trailAppend(benchmark::State &state)
{
    QTemporaryDir home;
    rightsmith::toolkit::Registry registry(home.filePath(u"registry.sqlite3"_s));
    // Few rows kept: every append also trims, as a full trail does.
    zkSecurity::AuditTrail trail(registry, StoreKey, zkSecurity::AuditLimits {365, 1000});
    for (auto _ : state) {
        zkSecurity::AuditRecord record;
        record.event = zkSecurity::AuditEvent::PasswordChanged;
        record.user = QByteArrayLiteral("Guest");
        record.actor = QByteArrayLiteral("Supervisor");
        trail.append(record, QDateTime());
    }
}
BENCHMARK(trailAppend)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
