// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/hardening/passwordrules.h"

#include "toolkit/codec.h"

#include <QCoreApplication>

namespace zkSecurity {

QString PasswordRules::check(const QByteArray &password, const QByteArray &userName) const
{
    if (!enabled)
        return {};
    if (password.isEmpty())
        return QCoreApplication::translate("zkSecurity::PasswordRules",
                                           "The password cannot be empty.");
    // Every code page the codec knows has one byte per character: the
    // bytes counted are the characters typed.
    if (password.size() < minimumLength)
        return QCoreApplication::translate("zkSecurity::PasswordRules",
                                           "The password is too short: it must have at least "
                                           "%1 characters.")
            .arg(minimumLength);
    const QString text = rightsmith::toolkit::Codec::toUnicode(password);
    if (text.compare(rightsmith::toolkit::Codec::toUnicode(userName), Qt::CaseInsensitive) == 0)
        return QCoreApplication::translate("zkSecurity::PasswordRules",
                                           "The password cannot be the user name.");
    return {};
}

} // namespace zkSecurity
