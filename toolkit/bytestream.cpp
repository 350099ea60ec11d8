// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

namespace {

[[noreturn]] void throwReadError()
{
    throw Error(
        QCoreApplication::translate("rightsmith::toolkit::ByteStream", "Stream read error"));
}

[[noreturn]] void throwWriteError()
{
    throw Error(
        QCoreApplication::translate("rightsmith::toolkit::ByteStream", "Stream write error"));
}

// A sequential device cannot tell its length, so large blocks from it are
// read in pieces: memory then grows only with the bytes that really arrive.
constexpr qint64 SequentialChunk = 64 * 1024;

} // namespace

ByteReader::ByteReader(QIODevice &device)
    : m_device(device)
{
}

qint32 ByteReader::readInt32()
{
    char buffer[4];
    readExact(buffer, 4);
    return readInt32LE(buffer);
}

quint8 ByteReader::readUInt8()
{
    char byte;
    readExact(&byte, 1);
    return quint8(byte);
}

QByteArray ByteReader::readExact(qint64 size)
{
    if (size < 0)
        throwReadError();
    if (!m_device.isSequential()) {
        // Refuse before allocating: the bytes must really be there.
        if (size > remaining())
            throwReadError();
        QByteArray bytes(size, Qt::Uninitialized);
        readExact(bytes.data(), size);
        return bytes;
    }
    QByteArray bytes;
    while (bytes.size() < size) {
        const qint64 piece = qMin(SequentialChunk, size - bytes.size());
        const qsizetype old = bytes.size();
        bytes.resize(old + piece);
        readExact(bytes.data() + old, piece);
    }
    return bytes;
}

void ByteReader::readExact(char *data, qint64 size)
{
    if (size < 0)
        throwReadError();
    qint64 done = 0;
    while (done < size) {
        const qint64 n = m_device.read(data + done, size - done);
        if (n <= 0) {
            // A sequential device may simply not have the bytes yet.
            if (n == 0 && m_device.isSequential() && m_device.waitForReadyRead(30000))
                continue;
            throwReadError();
        }
        done += n;
    }
}

QByteArray ByteReader::readAll()
{
    if (!m_device.isReadable())
        throwReadError();
    return m_device.readAll();
}

qint64 ByteReader::remaining() const
{
    if (m_device.isSequential())
        return 0;
    return qMax<qint64>(0, m_device.size() - m_device.pos());
}

void ByteReader::seek(qint64 position)
{
    if (position < 0 || !m_device.seek(position))
        throwReadError();
}

qint64 ByteReader::position() const
{
    return m_device.pos();
}

ByteWriter::ByteWriter(QIODevice &device)
    : m_device(device)
{
}

void ByteWriter::writeInt32(qint32 value)
{
    char buffer[4];
    writeInt32LE(buffer, value);
    writeBytes(buffer, 4);
}

void ByteWriter::writeUInt8(quint8 value)
{
    const char byte = char(value);
    writeBytes(&byte, 1);
}

void ByteWriter::writeBytes(const QByteArray &bytes)
{
    writeBytes(bytes.constData(), bytes.size());
}

void ByteWriter::writeBytes(const char *data, qint64 size)
{
    if (size < 0)
        throwWriteError();
    qint64 done = 0;
    while (done < size) {
        const qint64 n = m_device.write(data + done, size - done);
        if (n <= 0)
            throwWriteError();
        done += n;
    }
}

void ByteWriter::seek(qint64 position)
{
    if (position < 0 || !m_device.seek(position))
        throwWriteError();
}

} // namespace rightsmith::toolkit
