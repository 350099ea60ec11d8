// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/error.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

Error::Error(const QString &message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

InvalidCast::InvalidCast()
    : Error(QCoreApplication::translate("rightsmith::toolkit::Error", "Invalid type cast"))
{
}

} // namespace rightsmith::toolkit
