#include <rightsmith/version.h>

namespace rightsmith {

const char *version() noexcept
{
    return RIGHTSMITH_VERSION_STRING;
}

} // namespace rightsmith
