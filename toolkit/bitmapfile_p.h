// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QImage>

class QIODevice;

namespace rightsmith::toolkit {

/// Writes \a image as an uncompressed 32-bit Windows bitmap file
/// (BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up rows, no colour table):
/// a 16x16 image gives exactly 1078 bytes.
RIGHTSMITH_CORE_AUTOTEST_EXPORT QByteArray writeBitmapFile(const QImage &image);

/// Reads one whole bitmap file from the current position of \a device, its
/// length taken from its own header, and leaves the position after it.
/// Throws rightsmith::toolkit::Error("Bitmap image is not valid") on anything else, and
/// "Stream read error" when the device ends early. Sizes are checked against
/// the bytes actually present before anything is allocated.
RIGHTSMITH_CORE_AUTOTEST_EXPORT QImage readBitmapFile(QIODevice &device);

} // namespace rightsmith::toolkit
