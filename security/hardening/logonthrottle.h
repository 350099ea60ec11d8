// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>

namespace rightsmith::toolkit {
class Registry;
}

namespace zkSecurity {

/// When failed logons start to cost time: after freeAttempts failures for a
/// user name, each further attempt for that name must wait firstDelay after
/// the last failure, doubled with every failure since, up to maxDelay.
struct RIGHTSMITH_CORE_EXPORT ThrottleSettings
{
    /// Failed logons of a name that cost no time.
    int freeAttempts = 5;
    /// The wait after the first failure beyond freeAttempts.
    std::chrono::seconds firstDelay {1};
    /// The longest wait.
    std::chrono::seconds maxDelay {15 * 60};
    /// Failures older than this are forgotten when the next one is counted,
    /// and so are the counters of names that failed no later than that: a
    /// typo months after the last failure starts again from one, and names
    /// typed once do not pile up in the store.
    std::chrono::seconds forgetAfter {24 * 60 * 60};
    /// Failed logons are counted per workstation (its host and operating-system
    /// user) as well, whatever the name: after this many (never fewer than
    /// freeAttempts) every attempt from it waits as for a name. A run of
    /// made-up names is throttled as one guesser; and as every name counts
    /// alike, the workstation's count does not tell which names exist. A
    /// logon accepted from the workstation clears it.
    int workstationFreeAttempts = 20;

    /// How long after the last of \a failures failed logons the next attempt
    /// must wait (zero below freeAttempts).
    std::chrono::seconds delayAfter(int failures) const;
    /// The settings of the workstation's count: these, with freeAttempts
    /// raised to workstationFreeAttempts.
    ThrottleSettings forWorkstation() const;
};

/// The failed logons of one user name as the store keeps them.
struct RIGHTSMITH_CORE_EXPORT ThrottleState
{
    /// Failed logons counted.
    int failures = 0;
    /// UTC; invalid when there has been no failure.
    QDateTime lastFailure;

    /// How much longer an attempt at \a now must wait; zero when it may go on.
    std::chrono::seconds remaining(const ThrottleSettings &settings, const QDateTime &now) const;
};

/// An attempt counted before it is checked (LogonThrottle::reserve()).
struct RIGHTSMITH_CORE_EXPORT ThrottleReservation
{
    /// How long the attempt must wait; when not zero, nothing was counted.
    std::chrono::seconds wait {0};
    /// The counts of the name and of the workstation before the attempt.
    ThrottleState name;
    /// The count of the workstation.
    ThrottleState workstation;
    /// When the attempt was counted (milliseconds since the epoch, UTC): the
    /// last failure both counts now carry.
    qint64 at = 0;

    /// True when the attempt was counted and may go on (no wait).
    bool counted() const { return wait.count() == 0; }
};

/// The failed-logon counters of the users under one store key, kept in a
/// table of the registry's database so that they outlive the program. Names
/// are kept only as keyed digests: neither user names nor whatever was typed
/// into the name box (a password, now and then) stand in the store.
///
/// Every function works in the registry's open transaction, when there is
/// one, so that a counter changes in the same unit as what is recorded with it.
class RIGHTSMITH_CORE_EXPORT LogonThrottle
{
public:
    /// The counters of the users under \a storeKey in \a registry's database (not owned).
    LogonThrottle(rightsmith::toolkit::Registry &registry, const QString &storeKey);

    /// The failures of \a userName; a registry without the table has none
    /// (reading never creates it).
    ThrottleState state(const QByteArray &userName) const;
    /// Counts one more failure at \a now (the current time when invalid);
    /// returns the new state. Throws rightsmith::toolkit::Error when it cannot
    /// be written, and always with a read-only registry.
    ThrottleState noteFailure(const QByteArray &userName, const QDateTime &now,
                              std::chrono::seconds forgetAfter = ThrottleSettings().forgetAfter);
    /// Forgets the failures of \a userName; true when there were any. Throws
    /// like noteFailure().
    bool clear(const QByteArray &userName);

    /// Counts an attempt for \a userName from the workstation whose digest is
    /// \a workstation (workstationDigest()) as a failure, before it is
    /// checked, unless the name or the workstation must wait: both are decided
    /// and written in one write transaction (the registry's open one, or one
    /// of its own), so that of programs trying at once only one gets past a
    /// delay. Throws like noteFailure().
    ThrottleReservation reserve(const QByteArray &userName, const QByteArray &workstation,
                                const ThrottleSettings &settings, const QDateTime &now);
    /// Takes back what \a reservation counted for \a userName and
    /// \a workstation (a password proved right without logging on): the
    /// counts are as before it, unless others were counted since, which stay.
    void release(const QByteArray &userName, const QByteArray &workstation,
                 const ThrottleReservation &reservation);
    /// The failures counted for the workstation whose digest is \a workstation.
    ThrottleState workstationState(const QByteArray &workstation) const;
    /// Forgets the failures of the workstation whose digest is \a workstation.
    bool clearWorkstation(const QByteArray &workstation);

    /// How \a userName is kept: a keyed digest, the same in every store.
    static QByteArray nameDigest(const QByteArray &userName);
    /// How the workstation of this process (its host and operating-system
    /// user) is kept: a digest under another key, which no name's digest equals.
    static QByteArray workstationDigest();

private:
    ThrottleState stateOf(const QByteArray &digest) const;
    bool clearDigest(const QByteArray &digest);

    rightsmith::toolkit::Registry &m_registry;
    QString m_storeKey;
};

} // namespace zkSecurity
