// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The password rules: each rule's message, in the order they are checked,
// and everything accepted while they are off.
#include "security/hardening/passwordrules.h"

#include <QString>

#include <gtest/gtest.h>

using namespace zkSecurity;
using namespace Qt::StringLiterals;

TEST(PasswordRules, EachBrokenRuleIsNamedAndNothingIsRefusedWhileOff)
{
    const QString empty = u"The password cannot be empty."_s;
    const QString name = u"The password cannot be the user name."_s;
    struct Row
    {
        const char *what;
        bool enabled;
        int minimum;
        QByteArray password;
        QByteArray user;
        QString message;
    };
    const Row rows[] = {
        {"off: empty", false, 8, "", "Anna", {}},
        {"off: short and the name", false, 8, "anna", "Anna", {}},
        {"empty", true, 8, "", "Anna", empty},
        {"empty, whatever the minimum", true, 0, "", "Anna", empty},
        {"one short", true, 8, "1234567", "Anna",
         u"The password is too short: it must have at least 8 characters."_s},
        // Windows-1252: one byte is one character typed.
        {"characters, not UTF-8 bytes", true, 4, "\xe9\xe9\xe9", "Anna",
         u"The password is too short: it must have at least 4 characters."_s},
        {"exactly the minimum", true, 8, "12345678", "Anna", {}},
        {"the name", true, 4, "Anna", "Anna", name},
        {"the name in other capitals", true, 4, "sUPERVISOR", "Supervisor", name},
        {"the name with an accent in other capitals", true, 3, "ZO\xcb", "Zo\xeb", name},
        {"the name and more", true, 4, "Anna1", "Anna", {}},
        {"the short name: length first", true, 8, "Anna", "Anna",
         u"The password is too short: it must have at least 8 characters."_s},
    };
    for (const Row &row : rows) {
        const PasswordRules rules {row.enabled, row.minimum};
        EXPECT_EQ(rules.check(row.password, row.user), row.message) << row.what;
    }
}
