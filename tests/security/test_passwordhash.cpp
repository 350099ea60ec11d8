// Argon2id passwords in the node record: what matches, what a program that
// compares scrambled captions only makes of a hashed record, and which bytes
// of the record a store changes.
#include "security/passwordhash.h"
#include "security/tcripter.h"
#include "security/tzknoderecord.h"
#include "toolkit/error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <sodium.h>

using namespace zkSecurity;
using zkCript::TCripter;

namespace {

const PasswordHashCost Minimum = PasswordHashCost::minimum();
// 41 bytes: a hash of the first 40 alone would match a typed 40-byte prefix.
const QByteArray LongPassword = QByteArrayLiteral("forty-one bytes of password, all of them!");

// A record with every field other than the password set, and reserved bytes
// that a store must overwrite.
TzkNodeRecord filledRecord()
{
    TzkNodeRecord r;
    r.SecurityId = 0x11223344;
    r.setCaption(QByteArrayLiteral("old caption"));
    r.Granted = 1;
    r.Alignment[0] = 0xA1;
    r.Alignment[1] = 0xA2;
    r.NodeIndex = -2;
    r.ImageIndex = 0x0A0B0C0D;
    std::memset(r.Reserved, 0xEE, sizeof(r.Reserved));
    return r;
}

// One hash for the tests that only read it: each costs tens of milliseconds.
const TzkNodeRecord &hashedRecord()
{
    static const TzkNodeRecord record = [] {
        TzkNodeRecord r = filledRecord();
        PasswordHash::store(r, LongPassword, Minimum);
        return r;
    }();
    return record;
}

// A hashed record made here at any cost and version, bypassing store()'s checks.
TzkNodeRecord forgedRecord(const QByteArray &password, quint32 passes, quint32 memoryKiB,
                           quint8 version)
{
    EXPECT_GE(sodium_init(), 0);
    TzkNodeRecord r;
    r.setCaption(PasswordHash::caption());
    std::memcpy(r.Reserved, "A2id", 4);
    r.Reserved[4] = version;
    for (int i = 0; i < 4; ++i) {
        r.Reserved[5 + i] = quint8(passes >> (8 * i));
        r.Reserved[9 + i] = quint8(memoryKiB >> (8 * i));
    }
    randombytes_buf(r.Reserved + 13, 16);
    EXPECT_EQ(crypto_pwhash(r.Reserved + 29, 32, password.constData(), quint64(password.size()),
                            r.Reserved + 13, passes, size_t(memoryKiB) * 1024,
                            crypto_pwhash_ALG_ARGON2ID13),
              0);
    return r;
}

// The stored bytes other than the caption (4..45) and the reserved bytes (56..).
QByteArray otherFields(const TzkNodeRecord &r)
{
    const QByteArray b = r.toBytes();
    return b.left(4) + b.mid(45, 11);
}

} // namespace

TEST(PasswordHash, HashedRecordMatchesOnlyTheWholePassword)
{
    const TzkNodeRecord &record = hashedRecord();
    ASSERT_TRUE(PasswordHash::isHashed(record));
    const struct
    {
        QByteArray typed;
        bool expected;
    } cases[] = {
        {LongPassword, true},        {LongPassword.left(40), false}, {LongPassword.left(5), false},
        {LongPassword + 'x', false}, {QByteArray(), false},          {LongPassword + '\0', false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PasswordHash::matches(&record, c.typed), c.expected) << c.typed.toHex().data();
}

TEST(PasswordHash, StoreWritesTheLayoutWithAFreshSalt)
{
    TzkNodeRecord first = filledRecord();
    TzkNodeRecord second = filledRecord();
    PasswordHash::store(first, "same", Minimum);
    PasswordHash::store(second, "same", Minimum);

    // "A2id", version 1, 2 passes, 19456 KiB (0x4C00), little-endian.
    const QByteArray head = QByteArray::fromHex("4132696401"
                                                "02000000"
                                                "004c0000");
    for (const TzkNodeRecord *r : {&first, &second}) {
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(r->Reserved), 13), head);
        EXPECT_EQ(r->caption(), PasswordHash::caption());
        EXPECT_EQ(PasswordHash::costOf(*r), Minimum);
        for (int i = 61; i < 124; ++i)
            ASSERT_EQ(r->Reserved[i], 0) << i;
    }
    EXPECT_NE(std::memcmp(first.Reserved + 13, second.Reserved + 13, 16), 0) << "salt";
    EXPECT_NE(std::memcmp(first.Reserved + 29, second.Reserved + 29, 32), 0) << "hash";
}

// A program that knows no hashing compares Scramble(typed) with the caption.
// Scramble is a bijection that keeps the length, so only the caption's
// preimage matches, and that starts with a zero byte.
TEST(PasswordHash, PlainComparisonRefusesEveryTextForAHashedRecord)
{
    const TzkNodeRecord &record = hashedRecord();
    const QByteArray stored = record.caption();
    const auto refuses = [&](const QByteArray &typed) {
        return TCripter::Scramble(typed) != stored;
    };
    const QByteArray preimage = TCripter::Unscramble(stored);
    ASSERT_EQ(preimage.size(), 40);
    EXPECT_EQ(preimage.at(0), '\0');
    EXPECT_FALSE(PasswordHash::matches(&record, preimage));

    EXPECT_TRUE(refuses(QByteArray()));
    EXPECT_TRUE(refuses(LongPassword));
    QByteArray one(1, '\0');
    QByteArray two(2, '\0');
    for (int a = 1; a < 256; ++a) {
        one[0] = char(a);
        ASSERT_TRUE(refuses(one)) << a;
        two[0] = char(a);
        for (int b = 1; b < 256; ++b) {
            two[1] = char(b);
            ASSERT_TRUE(refuses(two)) << a << ' ' << b;
        }
    }
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(1, 40);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int i = 0; i < 200000; ++i) {
        QByteArray typed(length(random), Qt::Uninitialized);
        for (char &c : typed)
            c = char(byte(random));
        ASSERT_TRUE(refuses(typed)) << typed.toHex().data();
    }
}

TEST(PasswordHash, ChangedCaptionOverATaggedRecordIsScrambled)
{
    // A program unaware of hashing set a new password and kept the reserved bytes.
    TzkNodeRecord record = hashedRecord();
    record.setCaption(TCripter::Scramble("new"));
    EXPECT_FALSE(PasswordHash::isHashed(record));
    EXPECT_EQ(PasswordHash::costOf(record), std::nullopt);
    EXPECT_TRUE(PasswordHash::matches(&record, "new"));
    EXPECT_FALSE(PasswordHash::matches(&record, LongPassword));
    EXPECT_TRUE(PasswordHash::needsRehash(record, Minimum));
}

// Each hash below is genuine for its fields; a refusal comes from the checks.
TEST(PasswordHash, HashesOutsideTheAcceptedFormatFailClosed)
{
    const QByteArray password = "pw";
    const struct
    {
        quint32 passes;
        quint32 memoryKiB;
        quint8 version;
        bool hashed;
        bool accepted;
    } cases[] = {
        {1, 8, 1, true, true},   {32, 8, 1, true, true},  {33, 8, 1, true, false},
        {1, 8, 2, false, false}, {1, 8, 0, false, false},
    };
    for (const auto &c : cases) {
        const TzkNodeRecord record = forgedRecord(password, c.passes, c.memoryKiB, c.version);
        SCOPED_TRACE(testing::Message() << c.passes << ' ' << c.memoryKiB << " v" << c.version);
        EXPECT_EQ(PasswordHash::isHashed(record), c.hashed);
        EXPECT_EQ(PasswordHash::matches(&record, password), c.accepted);
        EXPECT_FALSE(PasswordHash::matches(&record, QByteArray()));
        EXPECT_FALSE(PasswordHash::matches(&record, TCripter::Unscramble(record.caption())));
    }
}

TEST(PasswordHash, DamagedCaptionLengthRefusesWithoutReadingPastTheField)
{
    TzkNodeRecord record = hashedRecord();
    record.CaptionLength = 200;
    EXPECT_FALSE(PasswordHash::isHashed(record));
    EXPECT_FALSE(PasswordHash::matches(&record, LongPassword));
    EXPECT_FALSE(PasswordHash::matches(&record, QByteArray()));
    EXPECT_TRUE(PasswordHash::needsRehash(record, Minimum));
}

TEST(PasswordHash, ScrambledRecordsCompareScrambledCaptions)
{
    const struct
    {
        std::optional<QByteArray> stored; // nullopt: no record
        QByteArray typed;
        bool expected;
    } cases[] = {
        {"secret", "secret", true},
        {"secret", "secre", false},
        {"secret", "secrets", false},
        {"secret", "", false},
        {"", "", true},
        {"", "x", false},
        {std::nullopt, "", true},
        {std::nullopt, "x", false},
        {LongPassword.left(40), LongPassword.left(40), true},
        {QByteArray("a\0b", 3), QByteArray("a\0b", 3), false},
    };
    for (const auto &c : cases) {
        TzkNodeRecord record;
        if (c.stored)
            PasswordHash::storeScrambled(record, *c.stored);
        EXPECT_EQ(PasswordHash::matches(c.stored ? &record : nullptr, c.typed), c.expected)
            << (c.stored ? c.stored->data() : "null") << " / " << c.typed.toHex().data();
    }
}

TEST(PasswordHash, StoresKeepTheOtherFields)
{
    using Store = std::function<void(TzkNodeRecord &)>;
    const struct
    {
        const char *name;
        Store store;
        bool hashed;
    } cases[] = {
        {"store", [](TzkNodeRecord &r) { PasswordHash::store(r, "pw", Minimum); }, true},
        {"storePassword hashed",
         [](TzkNodeRecord &r) { PasswordHash::storePassword(r, "pw", Minimum); }, true},
        {"storeScrambled", [](TzkNodeRecord &r) { PasswordHash::storeScrambled(r, "pw"); }, false},
        {"storePassword scrambled",
         [](TzkNodeRecord &r) { PasswordHash::storePassword(r, "pw", std::nullopt); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TzkNodeRecord record = hashedRecord();
        const QByteArray before = otherFields(record);
        c.store(record);
        EXPECT_EQ(otherFields(record), before);
        EXPECT_EQ(PasswordHash::isHashed(record), c.hashed);
        EXPECT_EQ(record.caption(), c.hashed ? PasswordHash::caption() : TCripter::Scramble("pw"));
        if (!c.hashed) {
            for (int i = 0; i < 124; ++i)
                ASSERT_EQ(record.Reserved[i], 0) << i;
        }
    }
    // Reserved bytes that hold no hash of ours are another program's: kept.
    TzkNodeRecord foreign = filledRecord();
    PasswordHash::storeScrambled(foreign, "pw");
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(foreign.Reserved), 124),
              QByteArray(124, char(0xEE)));
}

TEST(PasswordHash, StoreRefusesCostsOutsideTheAcceptedRangeAndKeepsTheRecord)
{
    const PasswordHashCost refused[] = {
        {Minimum.passes, Minimum.memoryKiB - 1},
        {Minimum.passes - 1, Minimum.memoryKiB},
        {33, Minimum.memoryKiB},
        {Minimum.passes, 1024 * 1024 + 1},
    };
    for (const PasswordHashCost &cost : refused) {
        TzkNodeRecord record = filledRecord();
        const QByteArray before = record.toBytes();
        EXPECT_THROW(PasswordHash::store(record, "pw", cost), rightsmith::toolkit::Error)
            << cost.passes << ' ' << cost.memoryKiB;
        EXPECT_EQ(record.toBytes(), before);
    }
}

TEST(PasswordHash, NeedsRehash)
{
    TzkNodeRecord scrambled;
    PasswordHash::storeScrambled(scrambled, "pw");
    const struct
    {
        const TzkNodeRecord *record;
        PasswordHashCost cost;
        bool expected;
    } cases[] = {
        {&scrambled, Minimum, true},
        {&hashedRecord(), Minimum, false},
        {&hashedRecord(), {1, 8}, false},
        {&hashedRecord(), {Minimum.passes + 1, Minimum.memoryKiB}, true},
        {&hashedRecord(), PasswordHashCost::recommended(), true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PasswordHash::needsRehash(*c.record, c.cost), c.expected)
            << c.cost.passes << ' ' << c.cost.memoryKiB;
}
