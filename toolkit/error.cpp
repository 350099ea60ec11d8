#include "toolkit/error.h"

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

Error::Error(const QString &message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

InvalidCast::InvalidCast()
    : Error(u"Invalid type cast"_s)
{
}

} // namespace rightsmith::toolkit
