// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Writes the user stores that the rightsmith-users tests read, with the real
// security component: KEY holds a registry-mode store (Supervisor and Alice,
// Alice granted only "Open", recent users Alice then Supervisor); KEY\File
// describes a file-mode store in FILE (Supervisor, Bob and Zoë); KEY\Hardened
// holds a store with every hardening option on, where Carol logged on once
// (her password hashed since) and then failed five times.
#include "dialogs/installwidgets.h"
#include "security/component/logoncheck.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>

using namespace zkSecurity;
using namespace Qt::StringLiterals;

namespace {

zkSecurity::TreeNode *addNode(TzkSecurityTemplate &tree, zkSecurity::TreeNode *parent,
                              const char *text, qint32 id)
{
    zkSecurity::TreeNode *node = tree.addChild(parent, QByteArray(text));
    auto record = std::make_unique<TzkNodeRecord>();
    record->SecurityId = id;
    if (parent)
        record->setCaption(QByteArray(text));
    node->setData(std::move(record));
    return node;
}

void grant(TzkSecurityTemplate &users, const QByteArray &user, const QByteArray &right)
{
    zkSecurity::TreeNode *node = users.GetUserNodeByUserName(user);
    for (int i = node->absoluteIndex() + 1; (node = users.nodeAt(i)) && node->level() > 0; ++i) {
        if (node->text() == right + " (No)") {
            node->setText(right + " (Yes)");
            node->editData()->setGranted(true);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    rightsmith::installWidgets();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage: usertool_makestore KEY FILE\n", stderr);
        return 2;
    }
    const QString key = args.at(1);
    const QString file = args.at(2);
    QDir().mkpath(QFileInfo(file).absolutePath());

    TzkSecurityTemplate rights;
    zkSecurity::TreeNode *root = addNode(rights, nullptr, "User", 0);
    zkSecurity::TreeNode *fileMenu = addNode(rights, root, "File", 0);
    addNode(rights, fileMenu, "New", 1);
    addNode(rights, fileMenu, "Open", 2);
    addNode(rights, root, "Manage users", 3);

    try {
        TzkSecurity inRegistry;
        inRegistry.SetOptions(TzkSecurityOptionSet::defaults().without(soSaveUsersInFile));
        inRegistry.setUserTemplateRegistryKeyName(key);
        TzkSecurityTemplate &users = *inRegistry.UserTemplate();
        users.AddUserToUserTemplate(&rights, "Supervisor", zkCript::TCripter::Scramble({}), true);
        users.AddUserToUserTemplate(&rights, "Alice", zkCript::TCripter::Scramble("alice pw"),
                                    false);
        grant(users, "Alice", "Open");
        inRegistry.LastUsers() = {"Alice", "Supervisor"};
        if (!inRegistry.SaveUsers({}))
            return 1;

        TzkSecurity inFile;
        inFile.SetOptions(TzkSecurityOptionSet::defaults().with(soSaveUsersInFile));
        inFile.setUserTemplateRegistryKeyName(key + u"\\File"_s);
        inFile.setUserTemplateFileName(file);
        for (const QString &name : {u"Supervisor"_s, u"Bob"_s, u"Zo\u00EB"_s}) {
            inFile.UserTemplate()->AddUserToUserTemplate(
                &rights, rightsmith::toolkit::Codec::fromUnicodeChecked(name), {}, true);
        }
        if (!inFile.SaveUsers({}))
            return 1;

        TzkSecurity hardened;
        hardened.SetOptions(TzkSecurityOptionSet::defaults().without(soSaveUsersInFile));
        hardened.setUserTemplateRegistryKeyName(key + u"\\Hardened"_s);
        HardeningSettings hardening;
        hardening.hashPasswords = true;
        hardening.hashCost = PasswordHashCost::minimum();
        hardening.throttleLogons = true;
        hardening.auditTrail = true;
        hardened.SetHardening(hardening);
        hardened.UserTemplate()->AddUserToUserTemplate(&rights, "Supervisor", {}, true);
        hardened.UserTemplate()->AddUserToUserTemplate(
            &rights, "Carol", zkCript::TCripter::Scramble("carol pw"), true);
        hardened.Dialogs()->SetSecurity(&hardened);
        if (!hardened.Logon("Carol", "carol pw", true))
            return 1;
        const LogonCheck check = hardened.CreateLogonCheck();
        for (int i = 0; i < 5; ++i)
            check.check(*hardened.UserTemplate(), "Carol", "not carol's");
    } catch (const rightsmith::toolkit::Error &error) {
        std::fprintf(stderr, "usertool_makestore: %s\n", error.what());
        return 1;
    }
    return 0;
}
