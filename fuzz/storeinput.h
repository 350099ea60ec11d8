// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The byte format through which the LoadUsers fuzz target receives a whole
// user store, shared with the corpus generator that writes real stores in it.
//
//   flags    1 byte   bit 0: the user template is kept in a file (soSaveUsersInFile)
//                     bit 1: soStorePassword; the other bits are ignored
//   count    1 byte   number of values, modulo 8
//   count values, each:
//     name   1 byte   modulo 7: 0 to 5 pick one of KnownNames; 6: a name of the
//                     input's own follows: a length byte (modulo 64), then
//                     that many bytes, read as Latin-1
//     type   1 byte   modulo 3: 0 binary, 1 32-bit integer, 2 string
//     data   integer: 4 bytes little-endian; binary and string: a 2-byte
//            little-endian length, then that many bytes
//   the rest of the input is the content of the user template file
//
// An input that ends early reads as if zero bytes followed; a length beyond
// the end takes what is there. So every input decodes to some store.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace fuzzstore {

enum class ValueKind : quint8 { Binary = 0, Integer = 1, String = 2 };

struct StoreValue
{
    QString name;
    ValueKind kind = ValueKind::Binary;
    QByteArray bytes; // binary and string values
    qint32 integer = 0; // integer values
};

struct StoreInput
{
    bool inFile = false;
    bool storePassword = false;
    QList<StoreValue> values;
    QByteArray file;
};

constexpr int MaxValues = 7;
constexpr int MaxNameLength = 63;
constexpr int MaxPayload = 0xFFFF;

/// The names of the values the user store reads and writes, in the order of
/// their name bytes.
const QStringList &knownNames();

StoreInput decode(const uint8_t *data, size_t size);

/// The input that decodes to \a store. Throws std::invalid_argument when
/// the format cannot hold it (too many values, too long a name or payload, a
/// name outside Latin-1).
QByteArray encode(const StoreInput &store);

} // namespace fuzzstore
