// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace zkSecurity {

struct TzkNodeRecord;

/// The cost of one Argon2id password hash: passes over memory and the
/// memory used, in KiB (libsodium's Argon2id always runs one lane).
struct RIGHTSMITH_CORE_EXPORT PasswordHashCost
{
    /// Passes over the memory.
    quint32 passes = 2;
    /// Memory used, in KiB.
    quint32 memoryKiB = 64 * 1024;

    /// Two passes over 64 MiB (libsodium's "interactive" level), above the
    /// least that current password storage guidance asks for Argon2id.
    static PasswordHashCost recommended() { return {}; }
    /// The least accepted for new hashes: two passes over 19 MiB.
    static PasswordHashCost minimum() { return {2, 19 * 1024}; }
    /// True when hashing at this cost is at least as strong as at \a other.
    bool atLeast(const PasswordHashCost &other) const
    {
        return passes >= other.passes && memoryKiB >= other.memoryKiB;
    }
    friend bool operator==(const PasswordHashCost &, const PasswordHashCost &) = default;
};

/// Passwords kept as Argon2id hashes in the reserved bytes of a password
/// node's record:
///
///   offset 0   4 bytes  "A2id"
///   offset 4   1 byte   format version (1)
///   offset 5   4 bytes  passes, little-endian
///   offset 9   4 bytes  memory in KiB, little-endian
///   offset 13 16 bytes  salt
///   offset 29 32 bytes  hash
///   offset 64  4 bytes  "Chg!" when the password must be changed at the
///                       next logon (set by a reset), zero otherwise
///
/// The mark is kept for scrambled and hashed passwords alike; offsets count
/// from the start of Reserved (record offset 56).
/// The caption then holds HashedPasswordCaption(): a program that compares
/// scrambled captions only can match it with nothing but a text whose first
/// byte is zero, which no text box hands over, so it refuses every password
/// of a hashed user instead of accepting an empty one.
namespace PasswordHash {

/// The caption of every hashed password record (40 bytes).
RIGHTSMITH_CORE_EXPORT QByteArray caption();
/// True when \a record holds a hash in this format under the hashed caption.
/// A record whose caption was changed by a program that does not know
/// hashing holds that program's scrambled password, and is not hashed.
RIGHTSMITH_CORE_EXPORT bool isHashed(const TzkNodeRecord &record);
/// The cost \a record's hash was made with; nullopt when it holds none.
RIGHTSMITH_CORE_EXPORT std::optional<PasswordHashCost> costOf(const TzkNodeRecord &record);

/// True when \a typed is the password of \a record: its hash verified in
/// constant time, or its scrambled caption compared byte for byte (in
/// constant time for equal lengths). A hash in a format or at a cost this
/// program does not accept (passes outside 1..32, memory outside 8 KiB..1 GiB)
/// matches nothing, and so does a \a typed text holding a zero byte. A null
/// \a record stands for an all-zero one (an empty scrambled password).
RIGHTSMITH_CORE_EXPORT bool matches(const TzkNodeRecord *record, const QByteArray &typed);

/// The most bytes a scrambled password keeps: the caption of its record.
inline constexpr int MaxScrambledLength = 40;

/// True when \a password is kept whole in the form new passwords take:
/// hashed when \a cost is set (any length), scrambled otherwise (at most
/// MaxScrambledLength bytes). When it is not, \a message (when given) gets
/// the text that tells the user why and what to do.
RIGHTSMITH_CORE_EXPORT bool fits(const QByteArray &password,
                                 const std::optional<PasswordHashCost> &cost,
                                 QString *message = nullptr);

/// Stores \a password in \a record as a hash at \a cost with a fresh random
/// salt, and the hashed caption. Throws rightsmith::toolkit::Error when the
/// hash cannot be made (out of memory), or \a cost is below minimum() or
/// above what matches() accepts; the record is then unchanged. The other
/// fields of \a record and its must-change mark are kept; its other
/// reserved bytes become zero.
RIGHTSMITH_CORE_EXPORT void store(TzkNodeRecord &record, const QByteArray &password,
                                  const PasswordHashCost &cost);
/// Stores \a password scrambled in the caption, as without hashing, and
/// clears a hash of this format from the reserved bytes; other reserved
/// bytes are kept. Throws rightsmith::toolkit::Error with fits()' message,
/// and leaves \a record unchanged, when the password does not fit: cut to
/// 40 bytes it would be another password.
RIGHTSMITH_CORE_EXPORT void storeScrambled(TzkNodeRecord &record, const QByteArray &password);
/// Stores \a password hashed at \a *cost, or scrambled when \a cost is
/// empty: a new password, so the must-change mark is cleared too.
RIGHTSMITH_CORE_EXPORT void storePassword(TzkNodeRecord &record, const QByteArray &password,
                                          const std::optional<PasswordHashCost> &cost);

/// True when \a record carries the mark that its password must be changed
/// at the next logon. Hashing a password again (store()) keeps the mark,
/// and so does storeScrambled(); storePassword() clears it.
RIGHTSMITH_CORE_EXPORT bool mustChange(const TzkNodeRecord &record);
/// Sets or clears the must-change mark of \a record; nothing else changes.
RIGHTSMITH_CORE_EXPORT void setMustChange(TzkNodeRecord &record, bool value);

/// True when \a record should be hashed again at \a cost: it holds a
/// scrambled password, or a hash made at a lower cost.
RIGHTSMITH_CORE_EXPORT bool needsRehash(const TzkNodeRecord &record, const PasswordHashCost &cost);

/// Spends the time of checking a password hashed at \a cost, and nothing
/// else: a name without a user, or a user not hashed yet, takes as long to
/// refuse as one that is.
RIGHTSMITH_CORE_EXPORT void spendCheck(const QByteArray &typed, const PasswordHashCost &cost);

} // namespace PasswordHash

} // namespace zkSecurity
