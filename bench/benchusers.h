// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The user templates the benchmarks measure: users of 300 rights each.
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"

namespace benchusers {

using zkSecurity::TreeNode;
using zkSecurity::TzkNodeRecord;
using zkSecurity::TzkSecurityTemplate;

constexpr int Categories = 30;
constexpr int RightsPerCategory = 10;
constexpr int Rights = Categories * RightsPerCategory; // 333 nodes per user

// A security template of 300 rights in 30 categories, identifiers 1 to 300.
inline const TzkSecurityTemplate &securityTemplate()
{
    static TzkSecurityTemplate tmpl;
    if (tmpl.count() == 0) {
        TzkNodeRecord record;
        TreeNode *root = tmpl.addChild(nullptr, QByteArrayLiteral("User"));
        root->setData(record);
        for (int c = 0; c < Categories; ++c) {
            TreeNode *category = tmpl.addChild(root, "Category " + QByteArray::number(c));
            record.setCaption(category->text());
            category->setData(record);
            for (int r = 0; r < RightsPerCategory; ++r) {
                TreeNode *right = tmpl.addChild(category, "Right " + QByteArray::number(r));
                record.SecurityId = c * RightsPerCategory + r + 1;
                record.setCaption(right->text());
                right->setData(record);
                record.SecurityId = 0;
            }
        }
    }
    return tmpl;
}

inline void addUsers(TzkSecurityTemplate &users, int count, int first = 0)
{
    auto *rights = const_cast<TzkSecurityTemplate *>(&securityTemplate());
    for (int i = 0; i < count; ++i)
        users.AddUserToUserTemplate(rights, "User" + QByteArray::number(first + i), {}, true);
}

} // namespace benchusers
