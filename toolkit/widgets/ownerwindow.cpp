// Tells the core the top-level window identifier of a widget, for the
// one-component-per-window claim. Registered when the library is loaded.
#include "toolkit/namedclaim.h"

#include <QWidget>

namespace rightsmith::toolkit {

namespace {

std::optional<quint64> topLevelWindowId(const QObject *owner)
{
    const auto *widget = qobject_cast<const QWidget *>(owner);
    if (!widget)
        return std::nullopt;
    // winId() creates the platform window when there is none yet; asked of the
    // top level only, so that no child widget is turned into a native one.
    return quint64(widget->window()->winId());
}

[[maybe_unused]] const bool registered = [] {
    NamedClaim::setWindowIdFunction(&topLevelWindowId);
    return true;
}();

} // namespace

} // namespace rightsmith::toolkit
