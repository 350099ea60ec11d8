// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "security/model/tzknoderecord.h"

#include <QtGlobal>

namespace zkSecurity::TemplateStreamLayout {

/// A template stream: a 16-byte version stamp, the node count N as a 32-bit
/// little-endian integer, N node records in absolute-index order, then one
/// text line per node.
constexpr int StampSize = 16;
constexpr int CountOffset = StampSize;
constexpr int HeaderSize = StampSize + 4;
constexpr char Stamp[StampSize] = {1, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

/// Where the text lines of a stream of \a nodeCount nodes begin.
constexpr qint64 linesOffset(qint64 nodeCount)
{
    return HeaderSize + qint64(TzkNodeRecord::Size) * nodeCount;
}

} // namespace zkSecurity::TemplateStreamLayout
