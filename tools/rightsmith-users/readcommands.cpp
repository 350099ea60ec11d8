// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The commands that only read: the users, one user's rights, a password
// check, the recent user names, the audit trail and the store's health.
#include "commands.h"
#include "console.h"
#include "security/hardening/audittrail.h"
#include "security/model/passwordhash.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/toolcommand_p.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QTextStream>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

// Granted the way the rights check decides: the first " (Yes)" ends the text.
bool isGranted(const QByteArray &nodeText)
{
    const qsizetype at = nodeText.indexOf(" (Yes)");
    return at >= 0 && at + 6 == nodeText.size();
}

qint32 securityIdOf(const zkSecurity::TreeNode *node)
{
    return node->data() ? node->data()->SecurityId : 0;
}

QJsonArray rightsJson(const zkSecurity::TreeNode *parent)
{
    QJsonArray nodes;
    for (int i = 0; i < parent->count(); ++i) {
        const zkSecurity::TreeNode *node = parent->item(i);
        QJsonObject object {{u"text"_s, text(node->text())}};
        const qint32 id = securityIdOf(node);
        object.insert(u"securityId"_s, id);
        if (id != 0)
            object.insert(u"granted"_s, isGranted(node->text()));
        if (node->hasChildren())
            object.insert(u"children"_s, rightsJson(node));
        nodes.append(object);
    }
    return nodes;
}

void printRights(const zkSecurity::TreeNode *parent, int depth)
{
    for (int i = 0; i < parent->count(); ++i) {
        const zkSecurity::TreeNode *node = parent->item(i);
        out() << QString(depth * 2, u' ') << text(node->text());
        if (const qint32 id = securityIdOf(node))
            out() << "  [" << id << ']';
        out() << '\n';
        printRights(node, depth + 1);
    }
}

// A right of a user: its path of captions ("File/New"), identifier and grant.
struct HeldRight
{
    QString path;
    qint32 securityId;
    bool granted;
};

void collectRights(const zkSecurity::TreeNode *parent, const QString &path,
                   QList<HeldRight> &rights)
{
    for (int i = 0; i < parent->count(); ++i) {
        const zkSecurity::TreeNode *node = parent->item(i);
        const QString nodePath = rightPath(path, node);
        if (const qint32 id = securityIdOf(node))
            rights.append({nodePath, id, isGranted(node->text())});
        collectRights(node, nodePath, rights);
    }
}

// One row of the matrix: a user and the rights the user's node holds.
struct MatrixRow
{
    QString user;
    QList<HeldRight> rights;

    // "Yes", "No", or "-" when the user's node does not hold the right.
    QString cell(qint32 securityId) const
    {
        for (const HeldRight &right : rights) {
            if (right.securityId == securityId)
                return right.granted ? u"Yes"_s : u"No"_s;
        }
        return u"-"_s;
    }
};

// A column of the matrix: "File/New [1]".
QString columnName(const HeldRight &right)
{
    return u"%1 [%2]"_s.arg(right.path).arg(right.securityId);
}

// A field of comma-separated values, quoted when it must be.
QString csvField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n')
        && !field.contains(u'\r'))
        return field;
    return u'"' + QString(field).replace(u'"', u"\"\""_s) + u'"';
}

void printCsv(const QStringList &header, const QList<QStringList> &rows)
{
    for (const QStringList &cells : QList<QStringList> {header} + rows) {
        QStringList fields;
        for (const QString &cell : cells)
            fields << csvField(cell);
        out() << fields.join(u',') << '\n';
    }
}

// Columns as wide as their widest cell, two spaces apart.
void printTable(const QStringList &header, const QList<QStringList> &rows)
{
    const QList<QStringList> lines = QList<QStringList> {header} + rows;
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList &cells : lines) {
        for (qsizetype i = 0; i < cells.size(); ++i)
            widths[i] = qMax(widths[i], cells.at(i).size());
    }
    for (const QStringList &cells : lines) {
        QString line;
        for (qsizetype i = 0; i < cells.size(); ++i)
            line +=
                i + 1 < cells.size() ? cells.at(i).leftJustified(widths.at(i) + 2) : cells.at(i);
        out() << line << '\n';
    }
}

// The time --since names: an ISO 8601 time, or a date (from its start, UTC).
QDateTime sinceTime(const QString &since)
{
    if (since.isEmpty())
        return {};
    QDateTime from = QDateTime::fromString(since, Qt::ISODateWithMs);
    if (!from.isValid())
        from = QDate::fromString(since, Qt::ISODate).startOfDay(Qt::UTC);
    if (!from.isValid())
        throw Failure {ExitUsage, u"not a time: %1 (use e.g. 2026-12-08T10:00:00Z)"_s.arg(since)};
    return from;
}

void printAuditRecord(const zkSecurity::AuditRecord &entry)
{
    out() << entry.time.toUTC().toString(Qt::ISODateWithMs) << "  "
          << zkSecurity::AuditRecord::name(entry.event);
    if (!entry.user.isEmpty())
        out() << "  user=" << text(entry.user);
    if (!entry.actor.isEmpty())
        out() << "  by=" << text(entry.actor);
    if (!entry.detail.isEmpty())
        out() << "  (" << entry.detail << ')';
    if (entry.count > 1)
        out() << "  x" << entry.count;
    out() << "  [" << entry.osUser << '@' << entry.host << ", " << entry.program;
    // The role the server saw write it: what a workstation says of itself
    // (user, by, machine) is only what it says.
    if (!entry.role.isEmpty())
        out() << ", role " << entry.role;
    out() << "]\n";
}

QJsonObject auditJson(const zkSecurity::AuditRecord &entry)
{
    return QJsonObject {{u"time"_s, entry.time.toUTC().toString(Qt::ISODateWithMs)},
                        {u"event"_s, zkSecurity::AuditRecord::name(entry.event)},
                        {u"user"_s, text(entry.user)},
                        {u"actor"_s, text(entry.actor)},
                        {u"detail"_s, entry.detail},
                        {u"osUser"_s, entry.osUser},
                        {u"host"_s, entry.host},
                        {u"program"_s, entry.program},
                        {u"count"_s, entry.count},
                        {u"role"_s, entry.role}};
}

} // namespace

int list(const Invocation &call)
{
    // Only the names: the rights are never built.
    QJsonArray array;
    for (const QByteArray &user : call.store.userNames()) {
        const QString name = text(user);
        if (call.json)
            array.append(name);
        else
            out() << name << '\n';
    }
    if (call.json)
        printJson(array);
    return ExitOk;
}

int rights(const Invocation &call)
{
    zkSecurity::TzkSecurityTemplate userTemplate;
    call.store.loadUserTemplate(userTemplate);
    // The second child of a user node holds the rights.
    const zkSecurity::TreeNode *rights = findUser(userTemplate, call.argument)->item(1);
    if (call.json)
        printJson(rights ? rightsJson(rights) : QJsonArray());
    else if (rights)
        printRights(rights, 0);
    return ExitOk;
}

bool matrixAccepts(const QCommandLineParser &parser)
{
    return !(parser.isSet(Option::Csv) && parser.isSet(Option::Json));
}

// Every user against every right any user holds, in the order the users'
// nodes first hold them.
int matrix(const Invocation &call)
{
    zkSecurity::TzkSecurityTemplate userTemplate;
    call.store.loadUserTemplate(userTemplate);
    // Where each user's rights come from: their roles, or their own; said
    // only by a store that keeps roles.
    // Roles that cannot be read say so in their column; the users are shown.
    zkSecurity::TzkSecurityTemplate roleTemplate;
    const zkSecurity::Roles roles(roleTemplate, userTemplate);
    QString rolesProblem;
    try {
        call.store.loadRoleTemplate(roleTemplate);
        rolesProblem = roles.Damage();
    } catch (const Failure &failure) {
        rolesProblem = failure.message;
    }
    if (!rolesProblem.isEmpty()) {
        err() << "rightsmith-users: warning: the roles cannot be read: " << rolesProblem << '\n';
        roleTemplate.ClearTemplate();
    }
    const bool withRoles = !rolesProblem.isEmpty() || roleTemplate.topLevelCount() > 0;
    const auto rolesOf = [&](const QString &user) {
        QStringList names;
        const QByteArray name =
            rightsmith::toolkit::Codec::fromUnicode(user).value_or(QByteArray());
        for (const QByteArray &role : roles.RolesOfUser(name))
            names << text(role);
        return names;
    };
    QList<MatrixRow> rows;
    QList<HeldRight> columns;
    for (int i = 0; i < userTemplate.topLevelCount(); ++i) {
        const zkSecurity::TreeNode *user = userTemplate.topLevel(i);
        MatrixRow row {text(user->text()), {}};
        // The second child of a user node holds the rights.
        if (const zkSecurity::TreeNode *rights = user->item(1))
            collectRights(rights, QString(), row.rights);
        for (const HeldRight &right : row.rights) {
            if (std::none_of(columns.cbegin(), columns.cend(), [&](const HeldRight &column) {
                    return column.securityId == right.securityId;
                }))
                columns.append(right);
        }
        rows.append(row);
    }
    if (call.json) {
        QJsonArray array;
        for (const MatrixRow &row : rows) {
            QJsonArray rights;
            for (const HeldRight &right : row.rights)
                rights.append(QJsonObject {{u"right"_s, right.path},
                                           {u"securityId"_s, right.securityId},
                                           {u"granted"_s, right.granted}});
            QJsonObject object {{u"user"_s, row.user}, {u"rights"_s, rights}};
            if (withRoles)
                object.insert(u"roles"_s,
                              rolesProblem.isEmpty()
                                  ? QJsonValue(QJsonArray::fromStringList(rolesOf(row.user)))
                                  : QJsonValue());
            array.append(object);
        }
        printJson(array);
        return ExitOk;
    }
    QStringList header {call.isSet(Option::Csv) ? u"user"_s : QString()};
    if (withRoles)
        header << u"roles"_s;
    for (const HeldRight &column : columns)
        header << columnName(column);
    QList<QStringList> cells;
    for (const MatrixRow &row : rows) {
        QStringList line {row.user};
        if (withRoles) {
            const QStringList names = rolesOf(row.user);
            line << (!rolesProblem.isEmpty() ? u"unreadable"_s
                         : names.isEmpty()   ? u"own"_s
                                             : names.join(u' '));
        }
        for (const HeldRight &column : columns)
            line << row.cell(column.securityId);
        cells.append(line);
    }
    if (call.isSet(Option::Csv))
        printCsv(header, cells);
    else
        printTable(header, cells);
    return ExitOk;
}

// Hashed or scrambled, as the logon dialog compares.
int check(const Invocation &call)
{
    zkSecurity::TzkSecurityTemplate userTemplate;
    call.store.loadUserTemplate(userTemplate);
    const zkSecurity::TreeNode *user = findUser(userTemplate, call.argument);
    QByteArray password;
    try {
        password = passwordFromStdin();
    } catch (const Failure &failure) {
        // A text the store cannot hold matches no stored password.
        err() << "rightsmith-users: " << failure.message << '\n';
        return ExitError;
    }
    const zkSecurity::TreeNode *passwordNode = user->firstChild();
    const bool matches =
        zkSecurity::PasswordHash::matches(passwordNode ? passwordNode->data() : nullptr, password);
    return matches ? ExitOk : ExitError;
}

int recent(const Invocation &call)
{
    const QList<QByteArray> names = call.store.lastUsers();
    if (call.json) {
        QJsonArray array;
        for (const QByteArray &name : names)
            array.append(text(name));
        printJson(array);
    } else {
        for (const QByteArray &name : names)
            out() << text(name) << '\n';
    }
    return ExitOk;
}

int audit(const Invocation &call)
{
    const QDateTime from = sinceTime(call.value(Option::Since));
    const QString name = call.value(Option::User);
    QByteArray user;
    if (!name.isEmpty()) {
        const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
        if (!bytes)
            throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
        user = *bytes;
    }
    Store &store = call.store;
    if (store.isShared()) {
        const QString advice = store.shared().upgradeAdvice();
        if (!advice.isEmpty())
            err() << "rightsmith-users: warning: " << advice << '\n';
    }
    const QList<zkSecurity::AuditRecord> records = store.auditTrail(from, user);
    if (!call.json) {
        for (const zkSecurity::AuditRecord &entry : records)
            printAuditRecord(entry);
        return ExitOk;
    }
    QJsonArray array;
    for (const zkSecurity::AuditRecord &entry : records)
        array.append(auditJson(entry));
    printJson(array);
    return ExitOk;
}

// Loads the store exactly as the security component does, read-only, and
// says what is wrong; 0 when it loads.
int verify(const Invocation &call)
{
    Store &store = call.store;
    const zkSecurity::UserStoreSettings settings = store.settings();
    zkSecurity::UserStore userStore(rightsmith::toolkit::Registry::ReadOnly);
    zkSecurity::TzkSecurityTemplate userTemplate;
    zkSecurity::TzkSecurityTemplate roleTemplate;
    QList<QByteArray> lastUsers;
    QByteArray password;
    out() << "store: " << zkSecurity::UserStore::location(settings) << '\n';
    int code = ExitOk;
    try {
        const bool complete =
            userStore.load(settings, userTemplate, lastUsers, password, &roleTemplate);
        switch (userStore.state()) {
        case zkSecurity::UserStore::State::Loaded:
            if (userStore.readOnly()) {
                out() << "unreachable: " << userStore.problem() << '\n';
                code = ExitError;
                break;
            }
            out() << "ok: " << userTemplate.topLevelCount() << " users\n";
            if (!userStore.roleProblem().isEmpty()) {
                out() << "unreadable: " << userStore.roleProblem() << '\n';
                code = ExitError;
            } else if (roleTemplate.topLevelCount() > 0) {
                out() << "ok: " << roleTemplate.topLevelCount() << " roles\n";
                // Left by a program without roles; the next change drops them.
                zkSecurity::Roles roles(roleTemplate, userTemplate);
                for (const auto &[role, member] : roles.DropMembersNotUsers())
                    out() << "warning: " << text(member) << " is a member of the role "
                          << text(role) << " but not a user\n";
            }
            if (!complete)
                out() << "warning: the recent user names cannot be read\n";
            break;
        case zkSecurity::UserStore::State::NeverWritten:
            out()
                << "ok: no users stored yet; the program makes \"Supervisor\" at its next start\n";
            break;
        default:
            out() << "unreadable: " << userStore.problem() << '\n';
            code = ExitError;
            break;
        }
        if (userStore.databaseDamaged()) {
            out() << "to move the damaged database aside (it is kept) and make a new one, run:\n  "
                  << zkSecurity::toolCommand(settings, u"restore"_s)
                  << "\nor, to put a good copy COPY of the user template back at the same time:\n  "
                  << zkSecurity::toolCommand(settings, u"restore COPY"_s) << '\n';
        }
    } catch (const rightsmith::toolkit::Error &error) {
        out() << "unreadable: " << error.message() << '\n';
        code = ExitError;
    }
    for (const QString &kept : zkSecurity::UserStore::keptAside(settings))
        out() << "kept aside: " << kept << '\n';
    if (store.isShared()) {
        try {
            const QString advice = store.shared().upgradeAdvice();
            if (!advice.isEmpty())
                out() << "warning: " << advice << '\n';
        } catch (const rightsmith::toolkit::Error &) {
            // Unreachable or unreadable: said above.
        }
    }
    return code;
}

} // namespace rightsmithusers
