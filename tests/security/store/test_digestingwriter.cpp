// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user file's digest is taken on another thread while the file is
// written: it must be the digest of exactly the bytes that reached the file,
// in their order, however the writes were cut.
#include "security/store/digestingwriter_p.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <sodium.h>

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
