#include "security/nodeimages.h"

#include <QString>

namespace zkSecurity {

QImage NodeImage(const char *resourceName)
{
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
