// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/nodeimages_p.h"

#include <QString>

// The resources are registered when the library loads; registering them once
// more here also covers a static link, where that registration can be dropped.
static void initNodeImageResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(security);
        return true;
    }();
    Q_UNUSED(done);
}

namespace zkSecurity {

QImage NodeImage(const char *resourceName)
{
    initNodeImageResources();
    // Resource names are ASCII identifiers, so Latin-1 is exact here.
    const QImage image(QStringLiteral(":/rightsmith/") + QLatin1StringView(resourceName));
    if (image.isNull())
        return image;
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    if (result.size() != QSize(16, 16))
        result = result.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_ARGB32);
    return result;
}

} // namespace zkSecurity
