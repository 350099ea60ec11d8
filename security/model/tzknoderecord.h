// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <type_traits>

namespace zkSecurity {

/// The fixed 180-byte record attached to every template node. Its layout is
/// the one the template stream stores, field for field; toBytes()/fromBytes()
/// convert explicitly (little-endian) so the stream never depends on the host.
struct RIGHTSMITH_CORE_EXPORT TzkNodeRecord
{
    /// Bytes in the stored record.
    static constexpr int Size = 180;
    /// Bytes the caption holds at most.
    static constexpr int MaxCaptionLength = 40;

    /// The right's identifier (a right node's; 0 on other nodes).
    qint32 SecurityId = 0;
    /// Number of significant bytes in CaptionBytes (at most 40 in a sound record).
    quint8 CaptionLength = 0;
    /// The caption; a password node keeps the scrambled password (or the hashed caption) here.
    char CaptionBytes[MaxCaptionLength] = {};
    /// 1 when the right is granted, 0 when not.
    quint8 Granted = 0;
    /// Padding, kept as read.
    quint8 Alignment[2] = {};
    /// Position of the node in the template, as the last save numbered it.
    qint32 NodeIndex = 0;
    /// The node's image index, as the last save wrote it.
    qint32 ImageIndex = 0;
    /// Unused by most nodes; a password node keeps its hash and its must-change mark here (see
    /// PasswordHash).
    quint8 Reserved[124] = {};

    /// The significant bytes of Caption.
    QByteArray caption() const;
    /// Stores \a text cut to its first 40 bytes; the unused bytes become zero.
    void setCaption(const QByteArray &text);
    /// Whether Granted is set.
    bool granted() const { return Granted != 0; }
    /// Sets Granted to 1 or 0.
    void setGranted(bool value) { Granted = value ? 1 : 0; }

    /// The 180 stored bytes. A caption length above 40 in a damaged record is
    /// written as it was read; the bytes past 40 are never touched.
    QByteArray toBytes() const;
    /// Writes the 180 stored bytes to \a bytes.
    void writeTo(char *bytes) const;
    /// Reads a record from exactly 180 bytes at \a bytes.
    static TzkNodeRecord fromBytes(const char *bytes);
};

static_assert(sizeof(TzkNodeRecord) == TzkNodeRecord::Size);
static_assert(std::is_trivially_copyable_v<TzkNodeRecord>);
static_assert(offsetof(TzkNodeRecord, CaptionLength) == 4);
static_assert(offsetof(TzkNodeRecord, CaptionBytes) == 5);
static_assert(offsetof(TzkNodeRecord, Granted) == 45);
static_assert(offsetof(TzkNodeRecord, Alignment) == 46);
static_assert(offsetof(TzkNodeRecord, NodeIndex) == 48);
static_assert(offsetof(TzkNodeRecord, ImageIndex) == 52);
static_assert(offsetof(TzkNodeRecord, Reserved) == 56);

} // namespace zkSecurity
