// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"
#include "security/hardening/passwordrules.h"
#include "security/model/passwordhash.h"

#include <QDateTime>

#include <functional>

namespace zkSecurity {

/// The security component's opt-in hardening; everything is off by default,
/// and with everything off the component stores exactly what it always has.
struct RIGHTSMITH_CORE_EXPORT HardeningSettings
{
    /// New passwords are stored as Argon2id hashes at hashCost, and a
    /// scrambled one (or one hashed at a lower cost) is hashed again at its
    /// user's next logon. The password for the automatic logon is then not
    /// remembered: only the user name is.
    bool hashPasswords = false;
    /// The cost passwords are hashed at with hashPasswords.
    PasswordHashCost hashCost = PasswordHashCost::recommended();

    /// Failed logons are counted per user name in the store, and after
    /// throttle.freeAttempts of them each attempt waits a doubling delay.
    bool throttleLogons = false;
    /// When failed logons start to cost time, with throttleLogons.
    ThrottleSettings throttle;

    /// Logons and changes of the users are recorded in the store's audit trail.
    bool auditTrail = false;
    /// How long the trail keeps its records, with auditTrail.
    AuditLimits auditLimits;

    /// Every new password must keep these rules (in the user management
    /// dialog, the change asked for at a logon, rightsmith-users); a logon
    /// with a password that breaks them is accepted, then asks for a new one.
    PasswordRules passwordRules;

    /// "Supervisor" may reset another user's password without knowing it
    /// (Reset Password... in the user management dialog); that user must
    /// change it right after the next logon.
    bool passwordReset = false;

    /// The time in UTC for throttling and the trail; the system clock when empty.
    std::function<QDateTime()> clock;

    /// The current time in UTC, from clock when set.
    QDateTime now() const { return clock ? clock().toUTC() : QDateTime::currentDateTimeUtc(); }
    /// The cost new passwords are hashed at; empty when they are scrambled.
    std::optional<PasswordHashCost> newPasswordCost() const
    {
        return hashPasswords ? std::optional(hashCost) : std::nullopt;
    }
};

} // namespace zkSecurity
