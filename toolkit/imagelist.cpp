// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/imagelist.h"

#include <QIcon>
#include <QPixmap>

namespace rightsmith::toolkit {

namespace {

// Every image of a list is a 16x16 ARGB32 image; a null image becomes a
// transparent one so that indexes and streams stay aligned.
QImage normalized(const QImage &image)
{
    if (image.isNull()) {
        QImage empty(ImageList::Width, ImageList::Height, QImage::Format_ARGB32);
        empty.fill(Qt::transparent);
        return empty;
    }
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    if (result.width() != ImageList::Width || result.height() != ImageList::Height) {
        result = result
                     .scaled(ImageList::Width, ImageList::Height, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_ARGB32);
    }
    return result;
}

} // namespace

ImageList::ImageList(QObject *parent)
    : QObject(parent)
{
}

QImage ImageList::image(int i) const
{
    if (i < 0 || i >= m_images.size())
        return QImage();
    return m_images.at(i);
}

QIcon ImageList::icon(int i) const
{
    if (i < 0 || i >= m_images.size())
        return QIcon();
    return QIcon(QPixmap::fromImage(m_images.at(i)));
}

void ImageList::add(const QImage &image)
{
    m_images.append(normalized(image));
    Q_EMIT changed();
}

void ImageList::addMasked(const QImage &image, QColor transparent)
{
    QImage masked = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & 0x00FFFFFFu;
    // Compared before scaling, so that smoothing cannot blend the key colour
    // into its neighbours and leave a fringe.
    for (int y = 0; y < masked.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == key)
                line[x] = 0;
        }
    }
    add(masked);
}

void ImageList::insert(int position, const QImage &image)
{
    m_images.insert(qBound(0, position, count()), normalized(image));
    Q_EMIT changed();
}

void ImageList::clear()
{
    if (m_images.isEmpty())
        return;
    m_images.clear();
    Q_EMIT changed();
}

void ImageList::assign(const ImageList &other)
{
    if (&other == this)
        return;
    m_images = other.m_images;
    Q_EMIT changed();
}

void ImageList::setMasked(bool masked)
{
    if (m_masked == masked)
        return;
    m_masked = masked;
    Q_EMIT changed();
}

} // namespace rightsmith::toolkit
