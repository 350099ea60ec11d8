// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user file's digest is taken on another thread while the file is
// written: it must be the digest of exactly the bytes that reached the file,
// in their order, however the writes were cut.
#include "security/store/digestingwriter_p.h"
#include "security/store/storedigest_p.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <sodium.h>

using zkSecurity::ContentHash;
using zkSecurity::DigestingWriter;

namespace {

QByteArray blake2b(const QByteArray &bytes)
{
    QByteArray digest(crypto_generichash_BYTES_MAX, '\0');
    crypto_generichash(reinterpret_cast<unsigned char *>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()),
                       quint64(bytes.size()), nullptr, 0);
    return digest;
}

TEST(DigestingWriter, DigestsWhatReachedTheTargetInOrder)
{
    ASSERT_GE(sodium_init(), 0);
    // Nothing; one small write; pieces of every size around the hand-over size.
    const QList<QList<qsizetype>> cuts {
        {}, {5}, {1 << 20}, {3, (1 << 20) + 1, 17, 2 << 20, 1, (1 << 20) - 1, 5 << 20}};
    for (const QList<qsizetype> &sizes : cuts) {
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        QByteArray all;
        {
            DigestingWriter writer(target);
            EXPECT_TRUE(writer.seek(0)); // where the next byte goes, as a writer may ask
            for (qsizetype size : sizes) {
                QByteArray piece(size, Qt::Uninitialized);
                for (qsizetype i = 0; i < size; ++i)
                    piece[i] = char((all.size() + i) * 131 % 251);
                ASSERT_EQ(writer.write(piece), size);
                all += piece;
            }
            EXPECT_EQ(writer.written(), all.size());
            EXPECT_EQ(writer.seek(0), all.isEmpty()); // nothing written is written over
            EXPECT_EQ(writer.digest(), blake2b(all)) << sizes.size() << " writes";
        }
        EXPECT_EQ(target.data(), all);
    }
}

TEST(DigestingWriter, AFailingTargetFailsTheWrite)
{
    QBuffer target; // not open: every write fails
    DigestingWriter writer(target);
    EXPECT_EQ(writer.write("bytes", 5), -1);
    EXPECT_EQ(writer.written(), 0);
    EXPECT_EQ(writer.digest(), blake2b({}));
}

} // namespace

// A stored user template read in pieces, never whole: its digest and content
// hash are those of its bytes however the pieces were cut, and tell apart
// bytes that differ in one byte or only in length.
TEST(DeviceDigest, PiecesGiveTheValueOfTheWhole)
{
    ASSERT_GE(sodium_init(), 0);
    QByteArray all(3 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < all.size(); ++i)
        all[i] = char(i * 131 % 251);
    const quint64 whole = ContentHash::of(all);
    for (const qsizetype piece : {1, 7, 31, 32, 33, 4096, 1 << 20}) {
        ContentHash hash;
        for (qsizetype at = 0; at < all.size(); at += piece)
            hash.add(all.constData() + at, size_t(std::min(piece, all.size() - at)));
        EXPECT_EQ(hash.value(), whole) << piece;
    }
    QByteArray changed = all;
    changed[all.size() / 2] = char(changed[all.size() / 2] ^ 1);
    EXPECT_NE(ContentHash::of(changed), whole);
    EXPECT_NE(ContentHash::of(all + '\0'), whole);
    EXPECT_NE(ContentHash::of(QByteArray(5, '\0')), ContentHash::of(QByteArray(6, '\0')));

    QBuffer device(&all);
    device.open(QIODevice::ReadOnly);
    device.seek(100);
    const std::optional<zkSecurity::DeviceDigest> read = zkSecurity::digestOf(device);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->digest, blake2b(all));
    EXPECT_EQ(read->contentHash, whole);
    EXPECT_EQ(read->size, all.size());
    EXPECT_EQ(device.pos(), 0);
    EXPECT_TRUE(zkSecurity::matchesDigest(device, blake2b(all)));
    EXPECT_FALSE(zkSecurity::matchesDigest(device, blake2b(changed)));
}
