// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "security/store/userstore.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace rightsmith::toolkit {
class Registry;
}

namespace zkSecurity {
class LogonLedger;
struct AuditRecord;
class SharedStore;
class TreeNode;
class TzkSecurityTemplate;
} // namespace zkSecurity

namespace rightsmithusers {

// The user store a command works on: the local one under a key of the
// per-user registry (and, in file mode, a file), or the shared store at an
// address. Nothing is opened before it is asked for; the registry only ever
// read-only, and only when it exists.
class Store
{
public:
    // \a shared: the address of a shared store that holds the user template
    // under \a key; empty for the local one.
    Store(const QString &key, const QString &file, const QString &shared = {});
    ~Store();

    const QString &key() const { return m_where.key; }
    bool isShared() const { return m_where.isShared(); }

    // The shared store, connected on first use; throws when it cannot be reached.
    zkSecurity::SharedStore &shared();

    // The open key of the existing registry; throws a Failure when there is none.
    rightsmith::toolkit::Registry &registry();

    // Makes sure the store is there before a command writes to it: connects
    // to the shared store, or opens the existing registry. A store that is
    // not there is not made here, and a server that cannot be reached is an
    // error, not a reason to change the local store instead.
    void open();

    // The stored user template; empty when the key holds none.
    void loadUserTemplate(zkSecurity::TzkSecurityTemplate &tmpl);

    // The stored role template; empty when the store keeps none. Throws when
    // it cannot be read.
    void loadRoleTemplate(zkSecurity::TzkSecurityTemplate &roles);

    // The texts of the stored user template's top-level nodes, the user
    // names, as loadUserTemplate() would load them, with the same errors;
    // never building the tree, and reading the "UserTemplate" value in pieces.
    QList<QByteArray> userNames();

    // The stored user template's stream, from the file given or the file a
    // file-mode store records when there is one; none when the key holds none.
    std::optional<QByteArray> stream();

    // True when the store's key holds the binary value \a name.
    bool hasValue(const QString &name);

    // Where the component keeps the user template: in the file given, or in
    // the file the store records when it holds no "UserTemplate" value (a
    // relative name is taken from the current directory, as the program
    // does), or in the "UserTemplate" value.
    zkSecurity::UserStoreSettings settings();

    QList<QByteArray> lastUsers();

    // The store's failed logons and audit trail, to read.
    std::unique_ptr<zkSecurity::LogonLedger> ledger();
    // True when the store keeps an audit trail: the program that writes it
    // has the trail on, so changes made here are recorded too.
    bool keepsTrail();

    // The audit trail, oldest first: records from \a since on, about or made
    // by \a user when given.
    QList<zkSecurity::AuditRecord> auditTrail(const QDateTime &since, const QByteArray &user);

private:
    QByteArray sharedStream();
    QByteArray fileStream();
    // Into \a users, or only the user names into \a names.
    void loadFromFile(zkSecurity::TzkSecurityTemplate *users, QList<QByteArray> *names);
    std::optional<QByteArray> registryStream();
    std::unique_ptr<QIODevice> registryValue();

    zkSecurity::UserStoreSettings m_where;
    std::unique_ptr<zkSecurity::SharedStore> m_sharedStore;
    std::unique_ptr<rightsmith::toolkit::Registry> m_registry;
};

// The user \a name of \a tmpl; a usage failure when there is none.
zkSecurity::TreeNode *findUser(const zkSecurity::TzkSecurityTemplate &tmpl, const QString &name);

// A node's caption; its text without the " (Yes)" or " (No)" that marks a
// right when its record holds none.
QString captionOf(const zkSecurity::TreeNode *node);
// The path of captions of \a node below the one at \a parentPath ("File/New").
QString rightPath(const QString &parentPath, const zkSecurity::TreeNode *node);

// The number of users in the template stream \a stream; when it does not
// load, fails with \a failure and the reason.
int usersIn(QByteArray stream, const QString &failure);

} // namespace rightsmithusers
