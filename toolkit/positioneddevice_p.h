// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// A read-only device whose bytes are fetched by position. Internal: not installed.

#include <QIODevice>

namespace rightsmith::toolkit {

/// A read-only, random-access device of a known size: a subclass says in
/// readAt() how the bytes at a position are fetched, and nothing is held
/// here beyond what a read asks for.
class PositionedDevice : public QIODevice
{
public:
    explicit PositionedDevice(qint64 size)
        : m_size(size)
    {
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    /// Fetches the \a length bytes at \a at, all within the size, into
    /// \a data; false when they cannot be read.
    virtual bool readAt(char *data, qint64 at, qint64 length) = 0;

    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 at = pos();
        const qint64 length = qMin(maxSize, m_size - at);
        if (length <= 0)
            return 0;
        return readAt(data, at, length) ? length : -1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_size;
};

} // namespace rightsmith::toolkit
