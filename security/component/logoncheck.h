// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/hardening/hardening.h"
#include "security/store/userstore.h"

#include <QByteArray>
#include <QString>

#include <chrono>

namespace zkSecurity {

class TzkSecurityTemplate;

/// Decides whether a user name and a typed password may log on, the one
/// place where passwords are compared: hashed or scrambled, with the failed
/// logons counted and the attempt recorded as the hardening settings say.
/// Throttling and the trail live in the store that the settings name.
///
/// A name without a user is refused like a wrong password: it is counted
/// the same way, it waits the same and, with hashing on, it takes as long.
class RIGHTSMITH_CORE_EXPORT LogonCheck
{
public:
    /// The outcome of a check.
    enum class Verdict { Accepted, Refused, Throttled };
    /// What check() decided.
    struct Result
    {
        /// Accepted, refused, or refused unchecked because the name or workstation must wait.
        Verdict verdict = Verdict::Refused;
        /// For Throttled: how long before the next attempt for the name.
        std::chrono::seconds wait {0};
        /// Why an attempt could not be checked at all (the store could not
        /// record it); the attempt is then refused.
        QString problem;
    };

    /// Without hardening and without a store: plain comparison only.
    LogonCheck() = default;
    /// Checks with the hardening of \a store, counting and recording in the store it names.
    explicit LogonCheck(const UserStoreSettings &store);

    /// The hardening in force.
    const HardeningSettings &hardening() const { return m_store.hardening; }
    /// Where failed logons are counted and the trail kept.
    const UserStoreSettings &store() const { return m_store; }

    /// What an attempt is for.
    enum class Attempt {
        /// A person logging on: counted when it fails, recorded either way.
        Logon,
        /// The program trying a remembered password: a failure is neither
        /// counted nor recorded.
        Silent,
        /// A person proving who they are without logging on (the logon
        /// dialog's Security button): a failure counts as for a logon; success
        /// is not recorded and leaves the count as it was before the attempt.
        Verify,
    };

    /// Checks \a password for \a userName in \a users. An attempt (but a
    /// Silent one) is counted as a failed logon before the password is looked
    /// at, in the one write transaction that decides whether the name or this
    /// workstation must wait; one that must wait is refused unchecked. The
    /// password is then compared without holding the store's lock, and the
    /// outcome recorded: a match clears the counts (or, for Verify, takes back
    /// the attempt's own count, recording nothing).
    Result check(const TzkSecurityTemplate &users, const QByteArray &userName,
                 const QByteArray &password, Attempt attempt = Attempt::Logon) const;

    /// True when attempts for \a userName must wait by its own failed logons
    /// (throttling on). Also true when the store's counts cannot be read: the
    /// answer decides whether someone may try, and a count that cannot be
    /// read may be one that must wait, so it fails closed, as check() does.
    bool isLocked(const QByteArray &userName) const;
    /// Forgets the failed logons of \a userName, recording that \a actor did
    /// so; true when there were any. Throws naming the store when it cannot.
    bool unlock(const QByteArray &userName, const QByteArray &actor) const;

    /// True when \a userName, just logged on with \a password, must choose a
    /// new password before going on: the password was reset (its record
    /// carries the must-change mark), or the password rules are on and
    /// \a password breaks them (the empty password "Supervisor" starts with).
    bool mustChangePassword(const TzkSecurityTemplate &users, const QByteArray &userName,
                            const QByteArray &password) const;

    /// "Too many failed logons. Try again in ..." for \a wait.
    static QString throttledMessage(std::chrono::seconds wait);

private:
    UserStoreSettings m_store;
};

} // namespace zkSecurity
