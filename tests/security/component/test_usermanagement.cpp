// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user management flow: what comes back from the dialog into the user template.
#include "security/component/securityui.h"
#include "security/component/usermanagement.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace zkSecurity;

namespace {

// The dialog's edits: a new password for Anna and a new user "Mallory".
DialogResult editAndEnd(TzkSecurityTemplate *edited, DialogResult result)
{
    if (TreeNode *anna = edited->GetUserNodeByUserName("Anna"))
        anna->firstChild()->editData()->setCaption("new");
    edited->AddUserToUserTemplate(nullptr, "Mallory", "m", false);
    return result;
}

} // namespace

TEST(UserManagement, EditsComeBackAsFarAsTheUserMayMakeThem)
{
    const struct
    {
        const char *user;
        DialogResult result;
        bool dialogReturns;
        QByteArray annasPassword;
        bool malloryAdded;
    } cases[] = {
        {"Supervisor", DialogResult::Accepted, true, "new", true}, // everything
        {"Anna", DialogResult::Accepted, true, "new", false}, // only the own password
        {"Anna", DialogResult::Rejected, false, "old", false}, // nothing
        {"Supervisor", DialogResult::Other, false, "old", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.user);
        TzkSecurityTemplate users;
        users.AddUserToUserTemplate(nullptr, SupervisorName, {}, true);
        users.AddUserToUserTemplate(nullptr, "Anna", "old", false);

        testsupport::FakeSecurityUi ui;
        bool supervisorMode = false;
        ui.manageUsers = [&](TzkSecurityTemplate *edited, bool supervisor) {
            supervisorMode = supervisor;
            return editAndEnd(edited, c.result);
        };
        const auto dialog = ui.CreateUserManagementDialog(nullptr);
        EXPECT_EQ(RunUserManagement(*dialog, &users, nullptr, c.user, false, true),
                  c.dialogReturns);
        EXPECT_EQ(supervisorMode, QByteArray(c.user) == SupervisorName);
        EXPECT_EQ(users.GetUserPassword("Anna"), c.annasPassword);
        EXPECT_EQ(users.GetUserNodeByUserName("Mallory") != nullptr, c.malloryAdded);
    }
}
