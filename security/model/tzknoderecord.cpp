// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/tzknoderecord.h"

#include "toolkit/bytestream_p.h"

#include <cstring>

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity {

namespace {

// Field offsets within the stored 180 bytes.
constexpr int OffSecurityId = 0;
constexpr int OffCaptionLength = 4;
constexpr int OffCaptionBytes = 5;
constexpr int OffGranted = 45;
constexpr int OffAlignment = 46;
constexpr int OffNodeIndex = 48;
constexpr int OffImageIndex = 52;
constexpr int OffReserved = 56;
constexpr int ReservedSize = TzkNodeRecord::Size - OffReserved;

static_assert(ReservedSize == int(sizeof(TzkNodeRecord::Reserved)));

} // namespace

QByteArray TzkNodeRecord::caption() const
{
    // A damaged record may claim more than 40 bytes; never read past the field.
    const int length = qMin<int>(CaptionLength, MaxCaptionLength);
    return QByteArray(CaptionBytes, length);
}

void TzkNodeRecord::setCaption(const QByteArray &text)
{
    const int length = int(qMin<qsizetype>(text.size(), MaxCaptionLength));
    std::memset(CaptionBytes, 0, sizeof(CaptionBytes));
    std::memcpy(CaptionBytes, text.constData(), size_t(length));
    CaptionLength = quint8(length);
}

QByteArray TzkNodeRecord::toBytes() const
{
    QByteArray bytes(Size, Qt::Uninitialized);
    writeTo(bytes.data());
    return bytes;
}

// The fields lie in memory as they are stored (see the header's asserts):
// on a little-endian host a record is its 180 bytes, copied whole.
constexpr bool StoredAsInMemory = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;

void TzkNodeRecord::writeTo(char *p) const
{
    if constexpr (StoredAsInMemory) {
        std::memcpy(p, this, Size);
        return;
    }
    toolkit::writeInt32LE(p + OffSecurityId, SecurityId);
    p[OffCaptionLength] = char(CaptionLength);
    std::memcpy(p + OffCaptionBytes, CaptionBytes, sizeof(CaptionBytes));
    p[OffGranted] = char(Granted);
    std::memcpy(p + OffAlignment, Alignment, sizeof(Alignment));
    toolkit::writeInt32LE(p + OffNodeIndex, NodeIndex);
    toolkit::writeInt32LE(p + OffImageIndex, ImageIndex);
    std::memcpy(p + OffReserved, Reserved, sizeof(Reserved));
}

TzkNodeRecord TzkNodeRecord::fromBytes(const char *bytes)
{
    TzkNodeRecord record;
    if constexpr (StoredAsInMemory) {
        std::memcpy(&record, bytes, Size);
        return record;
    }
    record.SecurityId = toolkit::readInt32LE(bytes + OffSecurityId);
    record.CaptionLength = quint8(bytes[OffCaptionLength]);
    std::memcpy(record.CaptionBytes, bytes + OffCaptionBytes, sizeof(record.CaptionBytes));
    record.Granted = quint8(bytes[OffGranted]);
    std::memcpy(record.Alignment, bytes + OffAlignment, sizeof(record.Alignment));
    record.NodeIndex = toolkit::readInt32LE(bytes + OffNodeIndex);
    record.ImageIndex = toolkit::readInt32LE(bytes + OffImageIndex);
    std::memcpy(record.Reserved, bytes + OffReserved, sizeof(record.Reserved));
    return record;
}

} // namespace zkSecurity
