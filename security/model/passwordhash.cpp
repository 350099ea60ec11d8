// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/passwordhash.h"

#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"
#include "toolkit/sodium_p.h"

#include <QCoreApplication>

#include <cstring>

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity::PasswordHash {

namespace {

// The layout in TzkNodeRecord::Reserved.
constexpr char Tag[4] = {'A', '2', 'i', 'd'};
constexpr quint8 Version = 1;
constexpr int OffTag = 0;
constexpr int OffVersion = 4;
constexpr int OffPasses = 5;
constexpr int OffMemory = 9;
constexpr int OffSalt = 13;
constexpr int SaltSize = crypto_pwhash_SALTBYTES;
constexpr int OffHash = OffSalt + SaltSize;
constexpr int HashSize = 32;
constexpr int LayoutSize = OffHash + HashSize;

// The must-change mark, clear of the hash.
constexpr char MarkTag[4] = {'C', 'h', 'g', '!'};
constexpr int OffMark = 64;

static_assert(SaltSize == 16);
static_assert(OffMark >= LayoutSize);
static_assert(OffMark + int(sizeof(MarkTag)) <= int(sizeof(TzkNodeRecord::Reserved)));
static_assert(MaxScrambledLength == TzkNodeRecord::MaxCaptionLength);
static_assert(OffHash == 29);
static_assert(LayoutSize <= int(sizeof(TzkNodeRecord::Reserved)));

// What a hash may cost to check. A record can be written by anyone who can
// write the user store; beyond these bounds one logon could run for hours or
// take all memory, so such a hash matches nothing.
constexpr quint32 MaxPasses = 32;
constexpr quint32 MaxMemoryKiB = 1024 * 1024; // 1 GiB
constexpr quint32 MinPasses = qMax<quint32>(1, crypto_pwhash_OPSLIMIT_MIN);
constexpr quint32 MinMemoryKiB = qMax<quint32>(8, crypto_pwhash_MEMLIMIT_MIN / 1024);

static_assert(quint64(MaxMemoryKiB) * 1024 <= crypto_pwhash_MEMLIMIT_MAX);
static_assert(MaxPasses <= crypto_pwhash_OPSLIMIT_MAX);

bool checkable(const PasswordHashCost &cost)
{
    return cost.passes >= MinPasses && cost.passes <= MaxPasses && cost.memoryKiB >= MinMemoryKiB
        && cost.memoryKiB <= MaxMemoryKiB;
}

bool hasLayout(const TzkNodeRecord &record)
{
    return std::memcmp(record.Reserved + OffTag, Tag, sizeof(Tag)) == 0
        && record.Reserved[OffVersion] == Version;
}

// Argon2id of the whole \a password into \a out (HashSize bytes).
bool hashInto(unsigned char *out, const QByteArray &password, const unsigned char *salt,
              const PasswordHashCost &cost)
{
    if (!toolkit::useSodium())
        return false;
    return crypto_pwhash(out, HashSize, password.constData(), quint64(password.size()), salt,
                         cost.passes, size_t(cost.memoryKiB) * 1024U, crypto_pwhash_ALG_ARGON2ID13)
        == 0;
}

} // namespace

QByteArray caption()
{
    // Unscrambled, the caption is a zero byte, a tag and zero padding: the
    // only text whose scrambled form equals it starts with a zero byte.
    static const QByteArray hashed = [] {
        QByteArray plain(TzkNodeRecord::MaxCaptionLength, '\0');
        const QByteArray tag = QByteArrayLiteral("argon2id");
        std::memcpy(plain.data() + 1, tag.constData(), size_t(tag.size()));
        return zkCript::TCripter::Scramble(plain);
    }();
    return hashed;
}

bool isHashed(const TzkNodeRecord &record)
{
    // The exact length as well: a damaged record claiming more than 40 bytes
    // is not one this program wrote.
    return hasLayout(record) && record.CaptionLength == TzkNodeRecord::MaxCaptionLength
        && record.caption() == caption();
}

std::optional<PasswordHashCost> costOf(const TzkNodeRecord &record)
{
    if (!isHashed(record))
        return std::nullopt;
    return PasswordHashCost {toolkit::readUInt32LE(record.Reserved + OffPasses),
                             toolkit::readUInt32LE(record.Reserved + OffMemory)};
}

bool matches(const TzkNodeRecord *record, const QByteArray &typed)
{
    // A zero byte never comes from a text box; it could only reach the
    // preimage of the hashed caption.
    if (typed.contains('\0'))
        return false;
    const TzkNodeRecord empty;
    const TzkNodeRecord &r = record ? *record : empty;

    if (const std::optional<PasswordHashCost> cost = costOf(r)) {
        if (!checkable(*cost))
            return false;
        unsigned char computed[HashSize];
        const bool made = hashInto(computed, typed, r.Reserved + OffSalt, *cost);
        const bool equal = made && sodium_memcmp(computed, r.Reserved + OffHash, HashSize) == 0;
        sodium_memzero(computed, sizeof(computed));
        return equal;
    }

    const QByteArray scrambled = zkCript::TCripter::Scramble(typed);
    const QByteArray stored = r.caption();
    if (scrambled.size() != stored.size())
        return false;
    if (!toolkit::useSodium())
        return false;
    return sodium_memcmp(scrambled.constData(), stored.constData(), size_t(stored.size())) == 0;
}

void store(TzkNodeRecord &record, const QByteArray &password, const PasswordHashCost &cost)
{
    if (!cost.atLeast(PasswordHashCost::minimum()))
        throw toolkit::Error(QCoreApplication::translate(
            "zkSecurity::PasswordHash", "The password hash cost is below the least accepted."));
    // A hash that matches() would refuse to check would lock the user out.
    if (!checkable(cost))
        throw toolkit::Error(QCoreApplication::translate(
            "zkSecurity::PasswordHash", "The password hash cost is above the most accepted."));

    quint8 reserved[sizeof(TzkNodeRecord::Reserved)] = {};
    std::memcpy(reserved + OffTag, Tag, sizeof(Tag));
    reserved[OffVersion] = Version;
    toolkit::writeUInt32LE(reserved + OffPasses, cost.passes);
    toolkit::writeUInt32LE(reserved + OffMemory, cost.memoryKiB);
    toolkit::useSodium(); // hashInto() below refuses when it cannot be used
    randombytes_buf(reserved + OffSalt, SaltSize);
    if (!hashInto(reserved + OffHash, password, reserved + OffSalt, cost)) {
        sodium_memzero(reserved, sizeof(reserved));
        throw toolkit::Error(QCoreApplication::translate(
            "zkSecurity::PasswordHash", "The password could not be hashed: out of memory."));
    }

    // The same password hashed again must still be changed when it had to.
    if (mustChange(record))
        std::memcpy(reserved + OffMark, MarkTag, sizeof(MarkTag));
    record.setCaption(caption());
    std::memcpy(record.Reserved, reserved, sizeof(reserved));
    sodium_memzero(reserved, sizeof(reserved));
}

bool fits(const QByteArray &password, const std::optional<PasswordHashCost> &cost, QString *message)
{
    if (cost || password.size() <= MaxScrambledLength)
        return true;
    // The code page has one byte per character: the user counts characters.
    if (message)
        *message = QCoreApplication::translate(
                       "zkSecurity::PasswordHash",
                       "The password has %1 characters; a password that is not hashed can have "
                       "at most %2. Choose a shorter one, or have passwords hashed.")
                       .arg(password.size())
                       .arg(MaxScrambledLength);
    return false;
}

void storeScrambled(TzkNodeRecord &record, const QByteArray &password)
{
    QString message;
    if (!fits(password, std::nullopt, &message))
        throw toolkit::Error(message);
    record.setCaption(zkCript::TCripter::Scramble(password));
    // Only a hash of ours goes (it is of the old password); reserved bytes
    // that other programs may use stay as they are.
    if (std::memcmp(record.Reserved + OffTag, Tag, sizeof(Tag)) == 0)
        std::memset(record.Reserved, 0, LayoutSize);
}

void storePassword(TzkNodeRecord &record, const QByteArray &password,
                   const std::optional<PasswordHashCost> &cost)
{
    if (cost)
        store(record, password, *cost);
    else
        storeScrambled(record, password);
    setMustChange(record, false);
}

bool mustChange(const TzkNodeRecord &record)
{
    return std::memcmp(record.Reserved + OffMark, MarkTag, sizeof(MarkTag)) == 0;
}

void setMustChange(TzkNodeRecord &record, bool value)
{
    if (value)
        std::memcpy(record.Reserved + OffMark, MarkTag, sizeof(MarkTag));
    else if (mustChange(record))
        std::memset(record.Reserved + OffMark, 0, sizeof(MarkTag));
}

bool needsRehash(const TzkNodeRecord &record, const PasswordHashCost &cost)
{
    const std::optional<PasswordHashCost> held = costOf(record);
    return !held || !held->atLeast(cost);
}

void spendCheck(const QByteArray &typed, const PasswordHashCost &cost)
{
    // The same early refusals as matches(), then the same work.
    if (typed.contains('\0') || !checkable(cost))
        return;
    static const unsigned char salt[SaltSize] = {'r', 'i', 'g', 'h', 't', 's', 'm', 'i',
                                                 't', 'h', '.', 's', 'p', 'e', 'n', 'd'};
    unsigned char computed[HashSize];
    hashInto(computed, typed, salt, cost);
    sodium_memzero(computed, sizeof(computed));
}

} // namespace zkSecurity::PasswordHash
