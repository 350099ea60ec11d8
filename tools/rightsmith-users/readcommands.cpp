// The commands that only read: the users, one user's rights, a password
// check, the recent user names, the audit trail and the store's health.
#include "commands.h"
#include "console.h"
#include "security/hardening/audittrail.h"
#include "security/model/passwordhash.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

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
    zkSecurity::TzkSecurityTemplate userTemplate;
    call.store.loadUserTemplate(userTemplate);
    QJsonArray array;
    for (int i = 0; i < userTemplate.topLevelCount(); ++i) {
        const QString name = text(userTemplate.topLevel(i)->text());
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
    QList<QByteArray> lastUsers;
    QByteArray password;
    out() << "store: " << zkSecurity::UserStore::location(settings) << '\n';
    int code = ExitOk;
    try {
        const bool complete = userStore.load(settings, userTemplate, lastUsers, password);
        switch (userStore.state()) {
        case zkSecurity::UserStore::State::Loaded:
            if (userStore.readOnly()) {
                out() << "unreachable: " << userStore.problem() << '\n';
                code = ExitError;
                break;
            }
            out() << "ok: " << userTemplate.topLevelCount() << " users\n";
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
