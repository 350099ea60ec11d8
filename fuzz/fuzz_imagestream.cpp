// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Fuzz target: the image stream reader. Any input either reads or fails with
// rightsmith::toolkit::Error. Whatever it appends to the list is 16x16 ARGB32, and the
// list written out and read back writes the same bytes again.
#include "security/model/imagestream.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray write(const rightsmith::toolkit::ImageList &images)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    zkSecurity::WriteImageStream(buffer, images);
    return buffer.data();
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer buffer;
    buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    buffer.open(QIODevice::ReadOnly);

    // Images read before an error stay appended, so the list is checked either way.
    rightsmith::toolkit::ImageList images;
    try {
        zkSecurity::ReadImageStream(buffer, images);
    } catch (const rightsmith::toolkit::Error &) {
    }
    if (images.count() == 0)
        return 0;
    for (int i = 0; i < images.count(); ++i) {
        const QImage image = images.image(i);
        if (image.width() != rightsmith::toolkit::ImageList::Width
            || image.height() != rightsmith::toolkit::ImageList::Height
            || image.format() != QImage::Format_ARGB32)
            fail("the image list holds an image that is not 16x16 ARGB32");
    }

    const QByteArray written = write(images);
    QBuffer again;
    again.setData(written);
    again.open(QIODevice::ReadOnly);
    rightsmith::toolkit::ImageList reread;
    try {
        zkSecurity::ReadImageStream(again, reread);
    } catch (const rightsmith::toolkit::Error &e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        fail("a written image stream does not read again");
    }
    if (write(reread) != written)
        fail("a written image stream writes differently once read again");
    return 0;
}
