// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/hardening/audittrail.h"

#include "security/hardening/registrytables_p.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/codec.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement_p.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSysInfo>

#include <algorithm>
#include <array>
#include <limits>
#include <pwd.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::detail::Statement;

namespace zkSecurity {

namespace {

constexpr const char *TableName = "audit_trail";
constexpr const char *CreateTableSql =
    "CREATE TABLE IF NOT EXISTS audit_trail("
    "id INTEGER PRIMARY KEY AUTOINCREMENT, store_key TEXT NOT NULL COLLATE NOCASE, "
    "time INTEGER NOT NULL, os_user TEXT NOT NULL, host TEXT NOT NULL, program TEXT NOT NULL, "
    "event TEXT NOT NULL, user_name BLOB NOT NULL, actor BLOB NOT NULL, detail TEXT NOT NULL, "
    "repeats INTEGER NOT NULL DEFAULT 1);"
    "CREATE INDEX IF NOT EXISTS audit_trail_by_time ON audit_trail(store_key, time);";
// A trail written by an older version has no count of repeats; older
// versions name their columns and still read and write it.
constexpr const char *AddRepeatsSql =
    "ALTER TABLE audit_trail ADD COLUMN repeats INTEGER NOT NULL DEFAULT 1";
// The events of AuditRecord::isLogon(), as stored, for SQL.
constexpr const char *LogonEventsSql = "('logon accepted', 'logon refused', 'logon throttled')";

constexpr qint64 MsPerDay = 24 * 60 * 60 * 1000;
constexpr qint64 MsPerMinute = 60 * 1000;

// The stored names, in the order of AuditEvent.
constexpr std::array<const char *, 18> EventNames {
    "logon accepted",
    "logon refused",
    "logon throttled",
    "user added",
    "user removed",
    "right granted",
    "right denied",
    "password changed",
    "lock cleared",
    "store kept aside",
    "store restored",
    "role added",
    "role removed",
    "right granted to role",
    "right denied to role",
    "user assigned to role",
    "user unassigned from role",
    "role renamed",
};
static_assert(EventNames.size() == std::size_t(AuditEvent::RoleRenamed) + 1);

QString readFailure()
{
    return QCoreApplication::translate("zkSecurity::AuditTrail", "Cannot read the audit trail");
}

QString writeFailure()
{
    return QCoreApplication::translate("zkSecurity::AuditTrail", "Cannot write the audit trail");
}

bool hasRepeats(const rightsmith::toolkit::Registry &registry)
{
    Statement column(registry,
                     "SELECT 1 FROM pragma_table_info('audit_trail') WHERE name = 'repeats'");
    return column.step() == SQLITE_ROW;
}

// Drops the \a excess oldest records of \a storeKey, those of logon attempts first.
void trimOldest(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                qint64 excess)
{
    for (const char *events : {"IN ", "NOT IN "}) {
        if (excess <= 0)
            return;
        const QByteArray sql = QByteArrayLiteral("DELETE FROM audit_trail WHERE id IN (SELECT id "
                                                 "FROM audit_trail WHERE store_key = ?1 AND event ")
            + events + LogonEventsSql + " ORDER BY id LIMIT ?2)";
        Statement trim(registry, sql.constData());
        trim.bind(1, storeKey);
        trim.bind(2, excess);
        if (trim.step() != SQLITE_DONE)
            registry.fail(writeFailure());
        excess -= sqlite3_changes(registry.database());
    }
}

// Records expire by the newest time already stored, when that is
// earlier than now: a clock set far ahead, once, does not wipe the trail.
qint64 expiryTime(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                  qint64 now)
{
    qint64 newest = now;
    Statement latest(registry, "SELECT max(time) FROM audit_trail WHERE store_key = ?");
    latest.bind(1, storeKey);
    if (latest.step() == SQLITE_ROW && latest.columnType(0) != SQLITE_NULL)
        newest = std::min(newest, latest.columnInt(0));
    return newest;
}

// Raises the count of the same record in the same minute, if there is one;
// true when it did.
bool countRepeat(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                 const AuditRecord &record, qint64 time)
{
    const qint64 minute = time - ((time % MsPerMinute) + MsPerMinute) % MsPerMinute;
    Statement again(registry,
                    "UPDATE audit_trail SET repeats = repeats + 1 WHERE id = ("
                    "SELECT id FROM audit_trail WHERE store_key = ?1 AND time >= ?2 "
                    "AND time < ?3 AND event = ?4 AND user_name = ?5 AND actor = ?6 "
                    "AND detail = ?7 AND os_user = ?8 AND host = ?9 AND program = ?10 "
                    "ORDER BY id DESC LIMIT 1)");
    again.bind(1, storeKey);
    again.bind(2, minute);
    again.bind(3, minute + MsPerMinute);
    again.bind(4, AuditRecord::name(record.event));
    again.bindBlob(5, record.user);
    again.bindBlob(6, record.actor);
    again.bind(7, record.detail);
    again.bind(8, record.osUser);
    again.bind(9, record.host);
    again.bind(10, record.program);
    if (again.step() != SQLITE_DONE)
        registry.fail(writeFailure());
    return sqlite3_changes(registry.database()) > 0;
}

void insertRecord(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                  const AuditRecord &record, qint64 time)
{
    Statement insert(registry,
                     "INSERT INTO audit_trail(store_key, time, os_user, host, program, "
                     "event, user_name, actor, detail, repeats) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, storeKey);
    insert.bind(2, time);
    insert.bind(3, record.osUser);
    insert.bind(4, record.host);
    insert.bind(5, record.program);
    insert.bind(6, AuditRecord::name(record.event));
    insert.bindBlob(7, record.user);
    insert.bindBlob(8, record.actor);
    insert.bind(9, record.detail);
    insert.bind(10, qint64(std::max(record.count, 1)));
    if (insert.step() != SQLITE_DONE)
        registry.fail(writeFailure());
}

// Drops the records of \a storeKey older than \a cutoff.
void expireBefore(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                  qint64 cutoff)
{
    Statement expire(registry, "DELETE FROM audit_trail WHERE store_key = ? AND time < ?");
    expire.bind(1, storeKey);
    expire.bind(2, cutoff);
    if (expire.step() != SQLITE_DONE)
        registry.fail(writeFailure());
}

// The records of logon attempts go first, then the changes; each
// by order of writing, not by time: after the clock was set back
// the newest records carry the earliest times. Each delete walks
// the ids from the oldest and stops at its limit.
void keepNewestRows(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                    qint64 keepRows)
{
    Statement count(registry, "SELECT count(*) FROM audit_trail WHERE store_key = ?");
    count.bind(1, storeKey);
    if (count.step() != SQLITE_ROW)
        registry.fail(writeFailure());
    const qint64 excess = count.columnInt(0) - keepRows;
    trimOldest(registry, storeKey, excess);
}

QString operatingSystemUser()
{
    std::vector<char> buffer(16384);
    passwd entry;
    passwd *found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found
        && found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return qEnvironmentVariable("USER");
}

QString programName()
{
    QString name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        return name;
    // Without an application object the name is that of the executable.
    const QString executable = QCoreApplication::instance()
        ? QCoreApplication::applicationFilePath()
        : QFile::symLinkTarget(u"/proc/self/exe"_s);
    return QFileInfo(executable).fileName();
}

// --- comparing user templates ------------------------------------------------

const QByteArray GrantedSuffix = QByteArrayLiteral(" (Yes)");

// Granted when the text ends with " (Yes)" and that is its first occurrence,
// as every reader of the user template decides it.
bool isGranted(const QByteArray &text)
{
    const qsizetype at = text.indexOf(GrantedSuffix);
    return at >= 0 && at + GrantedSuffix.size() == text.size();
}

QByteArray recordBytes(const TreeNode *node)
{
    // A node without a record counts as one with an all-zero record.
    return node && node->data() ? node->data()->toBytes() : TzkNodeRecord().toBytes();
}

// The rights below \a root, first leaf of each identifier only, in
// depth-first child order.
std::vector<std::pair<qint32, const TreeNode *>> rightsBelow(const TreeNode *root)
{
    std::vector<std::pair<qint32, const TreeNode *>> rights;
    if (!root)
        return rights;
    QHash<qint32, bool> seen;
    // An explicit stack: a deep template must not exhaust the call stack.
    std::vector<std::pair<const TreeNode *, int>> stack {{root, 0}};
    while (!stack.empty()) {
        auto &[parent, next] = stack.back();
        const TreeNode *node = parent->item(next);
        if (!node) {
            stack.pop_back();
            continue;
        }
        ++next;
        if (node->hasChildren()) {
            stack.emplace_back(node, 0); // invalidates parent and next
            continue;
        }
        const TzkNodeRecord *record = node->data();
        if (record && record->SecurityId != 0 && !seen.contains(record->SecurityId)) {
            seen.insert(record->SecurityId, true);
            rights.emplace_back(record->SecurityId, node);
        }
    }
    return rights;
}

// The rights below \a after granted or denied since \a before: "<id> <caption>"
// and whether it is now granted. Without \a before, the rights granted.
QList<std::pair<QString, bool>> toggledRights(const TreeNode *before, const TreeNode *after)
{
    QHash<qint32, bool> wasGranted;
    for (const auto &[id, node] : rightsBelow(before))
        wasGranted.insert(id, isGranted(node->text()));
    QList<std::pair<QString, bool>> toggled;
    for (const auto &[id, node] : rightsBelow(after)) {
        const auto found = wasGranted.constFind(id);
        const bool granted = isGranted(node->text());
        // Without a copy before (a role just added), each right was denied.
        const bool was = found != wasGranted.constEnd() ? *found : false;
        if ((found == wasGranted.constEnd() && before) || was == granted)
            continue;
        toggled.append({QString::number(id) + u' '
                            + rightsmith::toolkit::Codec::toUnicode(node->data()->caption()),
                        granted});
    }
    return toggled;
}

// The members of a role node (its second child's leaves).
QByteArrayList membersOf(const TreeNode *role)
{
    QByteArrayList members;
    if (const TreeNode *list = role->count() > 1 ? role->item(1) : nullptr)
        for (int i = 0; i < list->count(); ++i)
            members.append(list->item(i)->text());
    return members;
}

const TreeNode *roleNamed(const TzkSecurityTemplate &roles, const QByteArray &name)
{
    for (int i = 0; i < roles.topLevelCount(); ++i)
        if (roles.topLevel(i)->text() == name)
            return roles.topLevel(i);
    return nullptr;
}

// Whether two roles grant the same rights to the same members, as a role
// renamed does.
bool sameRole(const TreeNode *a, const TreeNode *b)
{
    if (membersOf(a) != membersOf(b))
        return false;
    const auto grants = [](const TreeNode *role) {
        QHash<qint32, bool> granted;
        for (const auto &[id, node] : rightsBelow(role->firstChild()))
            granted.insert(id, isGranted(node->text()));
        return granted;
    };
    return grants(a) == grants(b);
}

AuditRecord changeRecord(AuditEvent event, const QByteArray &user, const QString &detail = {})
{
    AuditRecord record;
    record.event = event;
    record.user = user;
    record.detail = detail;
    return record;
}

} // namespace

QString AuditRecord::name(AuditEvent event)
{
    const auto index = std::size_t(event);
    return index < EventNames.size() ? QString::fromLatin1(EventNames[index]) : QString();
}

bool AuditRecord::isLogon(AuditEvent event)
{
    return event == AuditEvent::LogonAccepted || event == AuditEvent::LogonRefused
        || event == AuditEvent::LogonThrottled;
}

bool AuditRecord::isCounted() const
{
    return event == AuditEvent::LogonThrottled
        || (event == AuditEvent::LogonRefused && user.isEmpty());
}

bool AuditRecord::fromName(const QString &name, AuditEvent &event)
{
    for (std::size_t i = 0; i < EventNames.size(); ++i) {
        if (name == QLatin1StringView(EventNames[i])) {
            event = AuditEvent(i);
            return true;
        }
    }
    return false;
}

AuditTrail::AuditTrail(rightsmith::toolkit::Registry &registry, const QString &storeKey,
                       const AuditLimits &limits)
    : m_registry(registry)
    , m_storeKey(storeKey)
    , m_limits(limits)
{
}

void AuditRecord::complete(const QDateTime &now)
{
    time = time.isValid() ? time.toUTC()
                          : (now.isValid() ? now.toUTC() : QDateTime::currentDateTimeUtc());
    if (osUser.isEmpty())
        osUser = operatingSystemUser();
    if (host.isEmpty())
        host = QSysInfo::machineHostName();
    if (program.isEmpty())
        program = programName();
}

void AuditTrail::append(AuditRecord record, const QDateTime &now)
{
    const QDateTime current = now.isValid() ? now.toUTC() : QDateTime::currentDateTimeUtc();
    record.complete(current);

    detail::writeTable(m_registry, writeFailure(), [&] {
        detail::execute(m_registry, CreateTableSql, writeFailure());
        if (!hasRepeats(m_registry))
            detail::execute(m_registry, AddRepeatsSql, writeFailure());
        const qint64 newest = expiryTime(m_registry, m_storeKey, current.toMSecsSinceEpoch());
        const qint64 time = record.time.toMSecsSinceEpoch();
        if (!(record.isCounted() && countRepeat(m_registry, m_storeKey, record, time)))
            insertRecord(m_registry, m_storeKey, record, time);

        if (m_limits.keepDays > 0)
            expireBefore(m_registry, m_storeKey, newest - qint64(m_limits.keepDays) * MsPerDay);
        if (m_limits.keepRows > 0)
            keepNewestRows(m_registry, m_storeKey, m_limits.keepRows);
    });
}

bool AuditTrail::hasRecords() const
{
    if (!detail::tableExists(m_registry, TableName, readFailure()))
        return false;
    Statement select(m_registry, "SELECT 1 FROM audit_trail WHERE store_key = ? LIMIT 1");
    select.bind(1, m_storeKey);
    const int rc = select.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        m_registry.fail(readFailure());
    return rc == SQLITE_ROW;
}

QList<AuditRecord> AuditTrail::read(const QDateTime &since, const QByteArray &user) const
{
    QList<AuditRecord> records;
    if (!detail::tableExists(m_registry, TableName, readFailure()))
        return records;
    // A trail an older version made counts no repeats.
    Statement select(m_registry,
                     hasRepeats(m_registry)
                         ? "SELECT time, os_user, host, program, event, user_name, actor, detail, "
                           "repeats FROM audit_trail WHERE store_key = ?1 AND time >= ?2 "
                           "AND (?3 = 0 OR user_name = ?4 OR actor = ?4) ORDER BY time, id"
                         : "SELECT time, os_user, host, program, event, user_name, actor, detail, "
                           "1 FROM audit_trail WHERE store_key = ?1 AND time >= ?2 "
                           "AND (?3 = 0 OR user_name = ?4 OR actor = ?4) ORDER BY time, id");
    select.bind(1, m_storeKey);
    select.bind(2,
                since.isValid() ? since.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min());
    select.bind(3, qint64(user.isEmpty() ? 0 : 1));
    select.bindBlob(4, user);
    int rc;
    while ((rc = select.step()) == SQLITE_ROW) {
        AuditRecord record;
        // A record of an event this version does not know is left out.
        if (!AuditRecord::fromName(select.columnText(4), record.event))
            continue;
        record.time = QDateTime::fromMSecsSinceEpoch(select.columnInt(0), Qt::UTC);
        record.osUser = select.columnText(1);
        record.host = select.columnText(2);
        record.program = select.columnText(3);
        record.user = select.columnBlob(5);
        record.actor = select.columnBlob(6);
        record.detail = select.columnText(7);
        record.count =
            int(std::clamp<qint64>(select.columnInt(8), 1, std::numeric_limits<int>::max()));
        records.append(record);
    }
    if (rc != SQLITE_DONE)
        m_registry.fail(readFailure());
    return records;
}

QList<AuditRecord> AuditTrail::changes(const TzkSecurityTemplate &before,
                                       const TzkSecurityTemplate &after)
{
    QList<AuditRecord> records;
    for (int i = 0; i < after.topLevelCount(); ++i) {
        const TreeNode *user = after.topLevel(i);
        const QByteArray &name = user->text();
        if (after.GetUserNodeByUserName(name) != user)
            continue; // a later user of the same name
        const TreeNode *old = before.GetUserNodeByUserName(name);
        if (!old) {
            records.append(changeRecord(AuditEvent::UserAdded, name));
            continue;
        }
        // The whole record of the password node: a new hash or salt counts as
        // well as a new scrambled caption. The detail says nothing of either.
        if (recordBytes(old->firstChild()) != recordBytes(user->firstChild()))
            records.append(changeRecord(AuditEvent::PasswordChanged, name));

        for (const auto &[right, granted] :
             toggledRights(old->count() > 1 ? old->item(1) : nullptr,
                           user->count() > 1 ? user->item(1) : nullptr))
            records.append(changeRecord(
                granted ? AuditEvent::RightGranted : AuditEvent::RightDenied, name, right));
    }
    for (int i = 0; i < before.topLevelCount(); ++i) {
        const TreeNode *user = before.topLevel(i);
        if (before.GetUserNodeByUserName(user->text()) == user
            && !after.GetUserNodeByUserName(user->text()))
            records.append(changeRecord(AuditEvent::UserRemoved, user->text()));
    }
    return records;
}

QList<AuditRecord> AuditTrail::roleChanges(const TzkSecurityTemplate &before,
                                           const TzkSecurityTemplate &after)
{
    QList<AuditRecord> records;
    // A role gone and one new that grants the same rights to the same
    // members is a role renamed.
    QSet<const TreeNode *> renamed;
    for (int i = 0; i < after.topLevelCount(); ++i) {
        const TreeNode *role = after.topLevel(i);
        if (roleNamed(before, role->text()))
            continue;
        for (int j = 0; j < before.topLevelCount(); ++j) {
            const TreeNode *old = before.topLevel(j);
            if (renamed.contains(old) || roleNamed(after, old->text()) || !sameRole(old, role))
                continue;
            renamed << old << role;
            records.append(changeRecord(
                AuditEvent::RoleRenamed, {},
                rightsmith::toolkit::Codec::toUnicode(old->text() + " -> " + role->text())));
            break;
        }
    }
    for (int i = 0; i < after.topLevelCount(); ++i) {
        const TreeNode *role = after.topLevel(i);
        if (renamed.contains(role))
            continue;
        const QString name = rightsmith::toolkit::Codec::toUnicode(role->text());
        const TreeNode *old = roleNamed(before, role->text());
        if (!old)
            records.append(changeRecord(AuditEvent::RoleAdded, {}, name));
        for (const auto &[right, granted] :
             toggledRights(old ? old->firstChild() : nullptr, role->firstChild()))
            records.append(
                changeRecord(granted ? AuditEvent::RoleRightGranted : AuditEvent::RoleRightDenied,
                             {}, name + QStringLiteral(": ") + right));
        const QByteArrayList was = old ? membersOf(old) : QByteArrayList();
        const QByteArrayList now = membersOf(role);
        for (const QByteArray &member : now)
            if (!was.contains(member))
                records.append(changeRecord(AuditEvent::UserAssigned, member, name));
        for (const QByteArray &member : was)
            if (!now.contains(member))
                records.append(changeRecord(AuditEvent::UserUnassigned, member, name));
    }
    for (int i = 0; i < before.topLevelCount(); ++i) {
        const TreeNode *role = before.topLevel(i);
        if (!renamed.contains(role) && !roleNamed(after, role->text()))
            records.append(changeRecord(AuditEvent::RoleRemoved, {},
                                        rightsmith::toolkit::Codec::toUnicode(role->text())));
    }
    return records;
}

} // namespace zkSecurity
