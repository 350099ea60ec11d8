// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/digestingwriter_p.h"
#include "toolkit/sodium_p.h"

#include <algorithm>

namespace zkSecurity {

namespace {

// Writes are handed over in pieces of about this size, and no more than a
// few wait: memory stays bounded when hashing is the slower of the two.
constexpr qsizetype PieceSize = 1 << 20;
constexpr size_t MaxWaitingPieces = 4;

} // namespace

DigestingWriter::DigestingWriter(QIODevice &target)
    : m_target(target)
{
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    rightsmith::toolkit::useSodium();
    m_thread = std::thread([this] { hashPieces(); });
}

DigestingWriter::~DigestingWriter()
{
    finish();
}

QByteArray DigestingWriter::digest()
{
    finish();
    close();
    return m_digest;
}

qint64 DigestingWriter::readData(char *, qint64)
{
    return -1;
}

bool DigestingWriter::seek(qint64 position)
{
    // Only where the next byte goes: what was written stays as it was hashed.
    return position == m_written && QIODevice::seek(position);
}

qint64 DigestingWriter::writeData(const char *data, qint64 size)
{
    const qint64 n = m_target.write(data, size);
    if (n < 0) {
        setErrorString(m_target.errorString());
        return -1;
    }
    m_written += n;
    // Handed over in pieces, copied one at a time: a large write costs no
    // second copy of itself in memory.
    for (qint64 done = 0; done < n;) {
        const qsizetype part =
            qsizetype(std::min<qint64>(n - done, PieceSize - m_collecting.size()));
        m_collecting.append(data + done, part);
        done += part;
        if (m_collecting.size() >= PieceSize)
            hand(std::exchange(m_collecting, QByteArray()));
    }
    return n;
}

void DigestingWriter::hand(QByteArray piece)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pieces.size() < MaxWaitingPieces; });
    m_pieces.push_back(std::move(piece));
    m_changed.notify_all();
}

void DigestingWriter::finish()
{
    if (!m_thread.joinable())
        return;
    if (!m_collecting.isEmpty())
        hand(std::exchange(m_collecting, QByteArray()));
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void DigestingWriter::hashPieces()
{
    crypto_generichash_state state;
    QByteArray digest(crypto_generichash_BYTES_MAX, Qt::Uninitialized);
    crypto_generichash_init(&state, nullptr, 0, size_t(digest.size()));
    for (;;) {
        QByteArray piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_pieces.empty() || m_finished; });
            if (m_pieces.empty())
                break;
            piece = std::move(m_pieces.front());
            m_pieces.pop_front();
        }
        m_changed.notify_all();
        crypto_generichash_update(&state,
                                  reinterpret_cast<const unsigned char *>(piece.constData()),
                                  quint64(piece.size()));
    }
    crypto_generichash_final(&state, reinterpret_cast<unsigned char *>(digest.data()),
                             size_t(digest.size()));
    // Read by the writing thread only after the join.
    m_digest = digest;
}

} // namespace zkSecurity
