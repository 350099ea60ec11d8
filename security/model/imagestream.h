// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

class QIODevice;

namespace rightsmith::toolkit {
class ImageList;
}

namespace zkSecurity {

/// Writes the image stream ("evImage"): from position 0, the signed 32-bit
/// little-endian count M, then M whole bitmap files in list order.
/// Throws rightsmith::toolkit::Error("Stream write error") when the device refuses bytes.
RIGHTSMITH_CORE_EXPORT void WriteImageStream(QIODevice &stream,
                                             const rightsmith::toolkit::ImageList &images);

/// Reads an image stream from the current position of \a stream and appends its
/// images to \a images. The count is trusted only as far as the data goes: a
/// count beyond the files present ends with "Stream read error" at the first
/// missing file (the images read before it stay appended), an entry that is not a
/// bitmap file with "Bitmap image is not valid". A negative count, which no writer
/// produces, reads no image, like a count of 0.
RIGHTSMITH_CORE_EXPORT void ReadImageStream(QIODevice &stream,
                                            rightsmith::toolkit::ImageList &images);

} // namespace zkSecurity
