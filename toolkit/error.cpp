#include "toolkit/error.h"

namespace rightsmith::toolkit {

Error::Error(const QString &message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

} // namespace rightsmith::toolkit
