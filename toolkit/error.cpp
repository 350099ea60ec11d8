#include "toolkit/error.h"

namespace toolkit {

Error::Error(const QString &message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

} // namespace toolkit
