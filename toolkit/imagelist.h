// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QImage>
#include <QList>
#include <QObject>

class QIcon;

namespace rightsmith::toolkit {

/// An ordered list of 16x16 images, as the template trees and action lists use.
class RIGHTSMITH_CORE_EXPORT ImageList : public QObject
{
    Q_OBJECT
public:
    /// Width of every image, in pixels.
    static constexpr int Width = 16;
    /// Height of every image, in pixels.
    static constexpr int Height = 16;

    /// An empty list; masked() is true.
    explicit ImageList(QObject *parent = nullptr);

    /// Number of images.
    int count() const { return int(m_images.size()); }
    /// Image \a i (16x16, ARGB32), or a null image when out of range.
    QImage image(int i) const;
    /// Image \a i as an icon, or a null icon when out of range.
    QIcon icon(int i) const;
    /// Appends \a image as ARGB32, scaled to 16x16 when it has another size.
    /// A null image is stored as a transparent one.
    void add(const QImage &image);
    /// Appends \a image with the pixels of \a transparent colour made transparent.
    void addMasked(const QImage &image, QColor transparent);
    /// Inserts before \a position (clamped to 0..count()), converted like add().
    void insert(int position, const QImage &image);
    /// Removes every image.
    void clear();
    /// Becomes a copy of \a other (same images in the same order).
    void assign(const ImageList &other);
    /// The masked flag: a property of the list only; no image is changed by it.
    bool masked() const { return m_masked; }
    /// Sets the masked flag; emits changed() on a change.
    void setMasked(bool masked);

Q_SIGNALS:
    /// Emitted after every change of the images or of the masking flag.
    void changed();

private:
    QList<QImage> m_images;
    bool m_masked = true;
};

} // namespace rightsmith::toolkit
