// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "fuzz/storeinput.h"

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace fuzzstore {

namespace {

constexpr int OwnName = 6;

class Reader
{
public:
    Reader(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    quint32 uint(int bytes)
    {
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= quint32(byte()) << (8 * i);
        return value;
    }

    QByteArray bytes(size_t count)
    {
        const size_t available = qMin(count, m_size - m_pos);
        QByteArray result(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(available));
        m_pos += available;
        return result;
    }

    QByteArray rest() { return bytes(m_size - m_pos); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void appendUInt(QByteArray &out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

} // namespace

const QStringList &knownNames()
{
    static const QStringList names {u"UserTemplate"_s,     u"UserTemplateFileName"_s,
                                    u"UserTemplateSize"_s, u"LastUsers"_s,
                                    u"LastUsersSize"_s,    u"Password"_s};
    return names;
}

StoreInput decode(const uint8_t *data, size_t size)
{
    Reader in(data, size);
    StoreInput store;
    const uint8_t flags = in.byte();
    store.inFile = flags & 1;
    store.storePassword = flags & 2;

    const int count = in.byte() % (MaxValues + 1);
    for (int i = 0; i < count; ++i) {
        StoreValue value;
        const int name = in.byte() % (OwnName + 1);
        if (name == OwnName)
            value.name = QString::fromLatin1(in.bytes(in.byte() % (MaxNameLength + 1)));
        else
            value.name = knownNames().at(name);
        value.kind = ValueKind(in.byte() % 3);
        if (value.kind == ValueKind::Integer)
            value.integer = qint32(in.uint(4));
        else
            value.bytes = in.bytes(in.uint(2));
        store.values.append(value);
    }
    store.file = in.rest();
    return store;
}

QByteArray encode(const StoreInput &store)
{
    if (store.values.size() > MaxValues)
        throw std::invalid_argument("too many values");
    QByteArray out;
    out.append(char((store.inFile ? 1 : 0) | (store.storePassword ? 2 : 0)));
    out.append(char(store.values.size()));
    for (const StoreValue &value : store.values) {
        const qsizetype known = knownNames().indexOf(value.name);
        if (known >= 0) {
            out.append(char(known));
        } else {
            const QByteArray name = value.name.toLatin1();
            if (name.size() > MaxNameLength || QString::fromLatin1(name) != value.name)
                throw std::invalid_argument("value name cannot be encoded");
            out.append(char(OwnName));
            out.append(char(name.size()));
            out.append(name);
        }
        out.append(char(value.kind));
        if (value.kind == ValueKind::Integer) {
            appendUInt(out, quint32(value.integer), 4);
        } else {
            if (value.bytes.size() > MaxPayload)
                throw std::invalid_argument("value too long");
            appendUInt(out, quint32(value.bytes.size()), 2);
            out.append(value.bytes);
        }
    }
    out.append(store.file);
    return out;
}

} // namespace fuzzstore
