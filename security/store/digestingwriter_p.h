// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// Internal to the user store: not installed.

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QIODevice>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace zkSecurity {

/// A write-only device that passes every byte on to a target device and
/// takes the BLAKE2b digest (64 bytes) of what it passed on a thread of its
/// own: a large user template is hashed while it is being written, not
/// after, and costs hardly more time than the writing.
class RIGHTSMITH_CORE_AUTOTEST_EXPORT DigestingWriter : public QIODevice
{
public:
    /// Opens itself for writing; \a target must be open for writing.
    explicit DigestingWriter(QIODevice &target);
    ~DigestingWriter() override;
    DigestingWriter(const DigestingWriter &) = delete;
    DigestingWriter &operator=(const DigestingWriter &) = delete;

    /// The digest of every byte written, once the thread has taken them all.
    /// Closes the device.
    QByteArray digest();
    /// The number of bytes written to the target.
    qint64 written() const { return m_written; }

    /// Only to the current position (a writer may ask for it); nothing
    /// written can be written over.
    bool seek(qint64 position) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void hashPieces();
    void hand(QByteArray piece);
    void finish();

    QIODevice &m_target;
    qint64 m_written = 0;
    QByteArray m_collecting; // small writes, gathered into one piece
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_pieces;
    bool m_finished = false;
    QByteArray m_digest;
    std::thread m_thread;
};

} // namespace zkSecurity
