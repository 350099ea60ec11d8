// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>

class QIODevice;

namespace rightsmith::toolkit {

/// Reads little-endian integers and exact blocks from a device. Every short
/// read throws rightsmith::toolkit::Error("Stream read error").
class RIGHTSMITH_CORE_AUTOTEST_EXPORT ByteReader
{
public:
    explicit ByteReader(QIODevice &device);

    qint32 readInt32();
    quint8 readUInt8();
    /// Reads exactly \a size bytes or throws.
    QByteArray readExact(qint64 size);
    void readExact(char *data, qint64 size);
    /// Everything from the current position to the end.
    QByteArray readAll();
    /// Bytes left between the position and the end (0 for sequential devices).
    qint64 remaining() const;
    void seek(qint64 position);
    qint64 position() const;

private:
    QIODevice &m_device;
};

/// Writes little-endian integers and blocks to a device. A failed write
/// throws rightsmith::toolkit::Error("Stream write error").
class RIGHTSMITH_CORE_AUTOTEST_EXPORT ByteWriter
{
public:
    explicit ByteWriter(QIODevice &device);

    void writeInt32(qint32 value);
    void writeUInt8(quint8 value);
    void writeBytes(const QByteArray &bytes);
    void writeBytes(const char *data, qint64 size);
    void seek(qint64 position);

private:
    QIODevice &m_device;
};

/// Little-endian helpers on raw memory (inline: streams call them per field).
inline qint32 readInt32LE(const void *p)
{
    return qFromLittleEndian<qint32>(p);
}
inline quint32 readUInt32LE(const void *p)
{
    return qFromLittleEndian<quint32>(p);
}
inline quint16 readUInt16LE(const void *p)
{
    return qFromLittleEndian<quint16>(p);
}
inline void writeInt32LE(void *p, qint32 value)
{
    qToLittleEndian<qint32>(value, p);
}
inline void writeUInt32LE(void *p, quint32 value)
{
    qToLittleEndian<quint32>(value, p);
}
inline void writeUInt16LE(void *p, quint16 value)
{
    qToLittleEndian<quint16>(value, p);
}

} // namespace rightsmith::toolkit
