// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/imagestream.h"

#include "toolkit/bitmapfile_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/imagelist.h"

#include <QIODevice>

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity {

void WriteImageStream(QIODevice &stream, const toolkit::ImageList &images)
{
    toolkit::ByteWriter writer(stream);
    writer.seek(0);
    const int count = images.count();
    writer.writeInt32(count);
    for (int i = 0; i < count; ++i)
        writer.writeBytes(toolkit::writeBitmapFile(images.image(i)));
}

void ReadImageStream(QIODevice &stream, toolkit::ImageList &images)
{
    toolkit::ByteReader reader(stream);
    const qint32 count = reader.readInt32();
    // One file at a time, never reserving for the count: a damaged count costs
    // at most one failed header read past the real end of the data.
    for (qint32 i = 0; i < count; ++i)
        images.add(toolkit::readBitmapFile(stream));
}

} // namespace zkSecurity
