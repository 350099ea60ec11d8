// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Argon2id passwords in the node record: what matches, what a program that compares scrambled
// captions only makes of a hashed record, and which record bytes a store changes.
#include "security/model/passwordhash.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/error.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sodium.h>

using namespace zkSecurity;
using zkCript::TCripter;

namespace {

const PasswordHashCost Minimum = PasswordHashCost::minimum();
// 41 bytes: a hash of the first 40 alone would match a typed 40-byte prefix.
const QByteArray LongPassword = QByteArrayLiteral("forty-one bytes of password, all of them!");

QByteArray reserved(const TzkNodeRecord &r, int from = 0, int size = 124)
{
    return r.toBytes().mid(56 + from, size);
}

// Every byte 0xEE but the caption (4..44): fields set, reserved bytes (56..) of another program.
const TzkNodeRecord Filled = TzkNodeRecord::fromBytes(
    (QByteArray(4, char(0xEE)) + QByteArray(41, '\0') + QByteArray(135, char(0xEE))).constData());

// One hash for the tests that only read it: each costs tens of milliseconds.
const TzkNodeRecord Hashed = [] {
    TzkNodeRecord r = Filled;
    PasswordHash::store(r, LongPassword, Minimum);
    return r;
}();

// A genuine hash of "pw" over 8 KiB at any passes and version, bypassing store()'s checks.
TzkNodeRecord forgedRecord(quint8 passes, quint8 version)
{
    TzkNodeRecord r;
    r.setCaption(PasswordHash::caption());
    const quint8 head[] = {'A', '2', 'i', 'd', version, passes, 0, 0, 0, 8}; // little-endian
    std::memcpy(r.Reserved, head, sizeof head);
    randombytes_buf(r.Reserved + 13, 16);
    EXPECT_EQ(crypto_pwhash(r.Reserved + 29, 32, "pw", 2, r.Reserved + 13, passes, 8192,
                            crypto_pwhash_ALG_ARGON2ID13),
              0); // sodium_init() ran for Hashed
    return r;
}

} // namespace

TEST(PasswordHash, StoreWritesAFreshSaltAndMatchesOnlyTheWholePassword)
{
    const TzkNodeRecord &record = Hashed;
    // "A2id", version 1, 2 passes, 19456 KiB, little-endian; the rest cleared.
    EXPECT_EQ(reserved(record, 0, 13), QByteArray::fromHex("413269640102000000004c0000"));
    EXPECT_EQ(reserved(record, 61), QByteArray(63, '\0'));
    for (const QByteArray &wrong :
         {LongPassword.left(40), LongPassword + 'x', QByteArray(), LongPassword + '\0'})
        EXPECT_FALSE(PasswordHash::matches(&record, wrong)) << wrong.toHex().data();
    EXPECT_TRUE(PasswordHash::matches(&record, LongPassword));
    TzkNodeRecord again = Filled;
    PasswordHash::store(again, LongPassword, Minimum);
    EXPECT_NE(reserved(again, 13, 16), reserved(record, 13, 16)) << "salt";
    EXPECT_FALSE(PasswordHash::needsRehash(record, Minimum));
    EXPECT_FALSE(PasswordHash::needsRehash(record, {1, 8}));
    EXPECT_TRUE(PasswordHash::needsRehash(record, {Minimum.passes + 1, Minimum.memoryKiB}));
    EXPECT_TRUE(PasswordHash::needsRehash(record, PasswordHashCost::recommended()));
}

// A program that knows no hashing compares Scramble(typed) with the caption.
TEST(PasswordHash, PlainComparisonRefusesEveryTextForAHashedRecord)
{
    const TzkNodeRecord &record = Hashed;
    const auto refuses = [&](const QByteArray &typed) {
        return !(zkCript::TCripter::Scramble(typed) == record.caption());
    };
    const QByteArray preimage = TCripter::Unscramble(record.caption());
    ASSERT_EQ(preimage.size(), 40);
    EXPECT_EQ(preimage.at(0), '\0'); // Scramble keeps the length and is one-to-one
    EXPECT_FALSE(PasswordHash::matches(&record, preimage));
    EXPECT_TRUE(refuses(QByteArray()));
    EXPECT_TRUE(refuses(LongPassword));
    for (int a = 1; a < 256; ++a) {
        ASSERT_TRUE(refuses(QByteArray(1, char(a)))) << a;
        for (int b = 1; b < 256; ++b)
            ASSERT_TRUE(refuses(QByteArray(1, char(a)) + char(b))) << a << ' ' << b;
    }
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(1, 40), byte(1, 255);
    for (int i = 0; i < 200000; ++i) {
        QByteArray typed(length(random), Qt::Uninitialized);
        for (char &c : typed)
            c = char(byte(random));
        ASSERT_TRUE(refuses(typed)) << typed.toHex().data();
    }
}

TEST(PasswordHash, ScrambledRecordsCompareWholeScrambledCaptions)
{
    TzkNodeRecord secret;
    PasswordHash::storeScrambled(secret, "secret");
    EXPECT_TRUE(PasswordHash::matches(&secret, "secret"));
    for (const char *wrong : {"secre", "secrets", ""})
        EXPECT_FALSE(PasswordHash::matches(&secret, wrong)) << wrong;
    EXPECT_TRUE(PasswordHash::matches(nullptr, "")); // no record: an empty password
    EXPECT_FALSE(PasswordHash::matches(nullptr, "x"));
    // A tagged record whose caption a program unaware of hashing changed, or damaged.
    TzkNodeRecord changed = Hashed;
    changed.setCaption(TCripter::Scramble("new"));
    TzkNodeRecord damaged = Hashed;
    damaged.CaptionLength = 200;
    for (const TzkNodeRecord *r : {&changed, &damaged}) {
        EXPECT_FALSE(PasswordHash::isHashed(*r));
        EXPECT_EQ(PasswordHash::costOf(*r), std::nullopt);
        EXPECT_FALSE(PasswordHash::matches(r, LongPassword));
        EXPECT_TRUE(PasswordHash::needsRehash(*r, Minimum));
    }
    EXPECT_TRUE(PasswordHash::matches(&changed, "new"));
    EXPECT_FALSE(PasswordHash::matches(&damaged, QByteArray()));
}

TEST(PasswordHash, AScrambledPasswordOverFortyBytesIsRefusedNotCut)
{
    EXPECT_TRUE(PasswordHash::fits(LongPassword.left(40), std::nullopt));
    EXPECT_TRUE(PasswordHash::fits(LongPassword, Minimum));
    QString message;
    EXPECT_FALSE(PasswordHash::fits(LongPassword, std::nullopt, &message));
    EXPECT_TRUE(message.contains(QLatin1String("41")) && message.contains(QLatin1String("40")))
        << qPrintable(message);
    TzkNodeRecord record = Filled;
    EXPECT_THROW(PasswordHash::storePassword(record, LongPassword, std::nullopt),
                 rightsmith::toolkit::Error);
    EXPECT_EQ(record.toBytes(), Filled.toBytes());
}

TEST(PasswordHash, CostsAndVersionsOutsideTheAcceptedRangeFailClosed)
{
    // passes, version, then 0 or 1 for: hashed, matches
    const int cases[][4] = {{1, 1, 1, 1}, {32, 1, 1, 1}, {33, 1, 1, 0}, {1, 2, 0, 0}, {1, 0, 0, 0}};
    for (const auto &[passes, version, hashed, accepted] : cases) {
        const TzkNodeRecord record = forgedRecord(quint8(passes), quint8(version));
        EXPECT_EQ(PasswordHash::isHashed(record), bool(hashed)) << passes << 'v' << version;
        EXPECT_EQ(PasswordHash::matches(&record, "pw"), bool(accepted)) << passes << 'v' << version;
        for (const QByteArray &typed : {QByteArray(), TCripter::Unscramble(record.caption())})
            EXPECT_FALSE(PasswordHash::matches(&record, typed)) << typed.toHex().data();
    }
    const PasswordHashCost refused[] = {{2, 19455}, {1, 19456}, {33, 19456}, {2, (1 << 20) + 1}};
    for (const PasswordHashCost &cost : refused) {
        TzkNodeRecord record = Filled;
        EXPECT_THROW(PasswordHash::store(record, "pw", cost), rightsmith::toolkit::Error)
            << cost.passes << ' ' << cost.memoryKiB;
        EXPECT_EQ(record.toBytes(), Filled.toBytes());
    }
}

TEST(PasswordHash, StoresKeepTheOtherFieldsAndForeignReservedBytes)
{
    for (const std::optional<PasswordHashCost> &cost : {std::optional(Minimum), {}}) {
        TzkNodeRecord record = Hashed;
        PasswordHash::storePassword(record, "pw", cost);
        EXPECT_EQ(record.toBytes().remove(4, 41).left(15), QByteArray(15, char(0xEE)));
        EXPECT_EQ(PasswordHash::isHashed(record), bool(cost));
        EXPECT_TRUE(PasswordHash::matches(&record, "pw"));
        EXPECT_TRUE(cost || reserved(record) == QByteArray(124, '\0')); // our old hash goes
    }
    TzkNodeRecord foreign = Filled;
    PasswordHash::storeScrambled(foreign, "pw");
    EXPECT_EQ(foreign.toBytes().remove(4, 41), QByteArray(15 + 124, char(0xEE)));
    EXPECT_TRUE(PasswordHash::needsRehash(foreign, Minimum));
}

TEST(PasswordHash, TheMustChangeMarkSitsBesideTheHashSurvivesTheStreamAndGoesWithANewPassword)
{
    for (const std::optional<PasswordHashCost> &cost :
         {std::optional(Minimum), std::optional<PasswordHashCost>()}) {
        SCOPED_TRACE(cost ? "hashed" : "scrambled");
        TzkNodeRecord record = Filled;
        PasswordHash::storePassword(record, "old", cost);
        EXPECT_FALSE(PasswordHash::mustChange(record));
        const QByteArray unmarked = record.toBytes();
        PasswordHash::setMustChange(record, true);
        // "Chg!" at reserved offset 64 (record offset 120); nothing else moves.
        const QByteArray marked = record.toBytes();
        EXPECT_EQ(marked.mid(120, 4), QByteArray("Chg!"));
        EXPECT_EQ(marked.left(120) + marked.mid(124), unmarked.left(120) + unmarked.mid(124));
        EXPECT_TRUE(PasswordHash::matches(&record, "old"));
        EXPECT_EQ(PasswordHash::isHashed(record), bool(cost));

        // Through a template stream and back.
        TzkSecurityTemplate users;
        users.AddUserToUserTemplate(nullptr, "Anna", {}, true);
        users.topLevel(0)->firstChild()->setData(record);
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        users.SaveToStreamSecurity(buffer);
        TzkSecurityTemplate loaded;
        loaded.LoadFromStreamSecurity(buffer);
        const TzkNodeRecord reloaded = *loaded.topLevel(0)->firstChild()->data();
        EXPECT_TRUE(PasswordHash::mustChange(reloaded));

        // Hashed again (the same password, at a logon) it stays; a new password clears it.
        TzkNodeRecord rehashed = reloaded;
        PasswordHash::store(rehashed, "old", Minimum);
        EXPECT_TRUE(PasswordHash::mustChange(rehashed));
        TzkNodeRecord renewed = reloaded;
        PasswordHash::storePassword(renewed, "new", cost);
        EXPECT_FALSE(PasswordHash::mustChange(renewed));
        EXPECT_EQ(renewed.toBytes().mid(120, 4), QByteArray(4, '\0'));
        EXPECT_TRUE(PasswordHash::matches(&renewed, "new"));
    }
    // A tag that differs in a byte is no mark, and clearing leaves it alone.
    TzkNodeRecord stray = Filled;
    std::memcpy(stray.Reserved + 64, "Chg?", 4);
    const QByteArray strayBytes = stray.toBytes();
    EXPECT_FALSE(PasswordHash::mustChange(stray));
    PasswordHash::setMustChange(stray, false);
    EXPECT_EQ(stray.toBytes(), strayBytes);
}
