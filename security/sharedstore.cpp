// The shared user store on PostgreSQL: one row a store key holding the user
// template stream and its version, changed only by compare-and-set saves that
// notify the other workstations.
#include "security/sharedstore.h"

#include "toolkit/error.h"

#include <QCoreApplication>
#include <QHash>
#include <QSocketNotifier>
#include <QtEndian>

#include <algorithm>
#include <libpq-fe.h>
#include <limits>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Error;

namespace zkSecurity {

const char *const SharedStore::Channel = "rightsmith_user_template";

namespace {

const char *const Context = "zkSecurity::SharedStore";
const char *const InsufficientPrivilege = "42501";
// Serialises initSchema() between workstations that start at the same time.
const char *const SchemaLock = "SELECT pg_advisory_xact_lock(7236617348571296101)";

/// Each relation's columns as the catalog describes them: "kind name type notnull;...".
const char *const DescribeTables =
    "SELECT c.relname, string_agg(c.relkind::text || ' ' || a.attname || ' ' "
    "    || format_type(a.atttypid, a.atttypmod) || ' ' || a.attnotnull::text, ';' "
    "    ORDER BY a.attnum) "
    "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
    "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
    "WHERE n.nspname = current_schema() "
    "AND c.relname IN ('rightsmith_schema', 'rightsmith_user_template', "
    "    'rightsmith_logon_failures', 'rightsmith_audit_trail', 'rightsmith_audit_trail_by_time') "
    "GROUP BY c.relname";

/// The relations initSchema() makes, with the columns DescribeTables shows for them.
struct Relation
{
    const char *name;
    const char *columns;
};
const Relation Relations[] = {
    {"rightsmith_schema", "r version integer false"},
    {"rightsmith_user_template",
     "r store_key text true;r version bigint true;r template bytea true;r size integer true;"
     "r changed_at timestamp with time zone true"},
    {"rightsmith_logon_failures",
     "r store_key text true;r name_digest bytea true;r failures integer true;"
     "r last_failure bigint true"},
    {"rightsmith_audit_trail",
     "r id bigint true;r store_key text true;r time bigint true;r os_user text true;"
     "r host text true;r program text true;r event text true;r user_name bytea true;"
     "r actor bytea true;r detail text true"},
    {"rightsmith_audit_trail_by_time", "i store_key text false;i time bigint false"},
};

/// The sequence of the audit trail's ids, named in the grants: true when the
/// column's default draws from the sequence of that name in this schema.
const char *const AuditSequenceName = "rightsmith_audit_trail_id_seq";
const char *const AuditSequenceIsOurs =
    "SELECT to_regclass(pg_get_serial_sequence('rightsmith_audit_trail', 'id')) "
    "    = to_regclass('rightsmith_audit_trail_id_seq') IS TRUE";

// Times are milliseconds since the epoch, blobs bytea, as in the local store's tables.
const char *const CreateTables[] = {
    "CREATE TABLE rightsmith_schema (version integer)",
    "INSERT INTO rightsmith_schema (version) VALUES (1)",
    "CREATE TABLE rightsmith_user_template ("
    " store_key text PRIMARY KEY,"
    " version bigint NOT NULL,"
    " template bytea NOT NULL,"
    " size integer NOT NULL,"
    " changed_at timestamptz NOT NULL DEFAULT now())",
    "CREATE TABLE rightsmith_logon_failures ("
    " store_key text NOT NULL,"
    " name_digest bytea NOT NULL,"
    " failures integer NOT NULL,"
    " last_failure bigint NOT NULL,"
    " PRIMARY KEY (store_key, name_digest))",
    "CREATE TABLE rightsmith_audit_trail ("
    " id bigserial PRIMARY KEY,"
    " store_key text NOT NULL,"
    " time bigint NOT NULL,"
    " os_user text NOT NULL,"
    " host text NOT NULL,"
    " program text NOT NULL,"
    " event text NOT NULL,"
    " user_name bytea NOT NULL,"
    " actor bytea NOT NULL,"
    " detail text NOT NULL)",
    "CREATE INDEX rightsmith_audit_trail_by_time ON rightsmith_audit_trail (store_key, time)",
};

/// \a name as a quoted SQL identifier; throws for a name no role can have.
QString quotedIdentifier(const QString &name)
{
    if (name.isEmpty() || name.contains(QChar(0)))
        throw Error(QCoreApplication::translate(Context, "\"%1\" cannot name a role.").arg(name));
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

/// A store key as the tables hold it: store keys name registry keys, which
/// compare without regard to case, and so do they on the server.
QByteArray keyOf(const QString &storeKey)
{
    return storeKey.toCaseFolded().toUtf8();
}

QString fromServer(const char *text)
{
    // libpq indents the hint on the next line with a tab.
    return QString::fromUtf8(text ? text : "").trimmed().replace(u"\n\t"_s, u"\n"_s);
}

/// \a address as libpq reads it, its server, port, database and user only:
/// whatever else it holds (a password, in any of its forms) is left out.
QString withoutPassword(const QString &address)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(address.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return QCoreApplication::translate(Context, "(an address that cannot be read)");
    QStringList parts;
    for (const char *keyword : {"host", "hostaddr", "port", "dbname", "user", "service"}) {
        for (const PQconninfoOption *option = options; option->keyword; ++option) {
            if (qstrcmp(option->keyword, keyword) != 0 || !option->val || !*option->val)
                continue;
            QString value = QString::fromUtf8(option->val);
            if (value.contains(u' ') || value.contains(u'\'') || value.contains(u'\\'))
                value = u'\'' + value.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s) + u'\'';
            parts << QLatin1StringView(keyword) + u'=' + value;
        }
    }
    PQconninfoFree(options);
    return parts.join(u' ');
}

QString describe(PGconn *connection, const QString &address)
{
    const QString database = fromServer(PQdb(connection));
    const QString host = fromServer(PQhost(connection));
    if (database.isEmpty() || host.isEmpty())
        return withoutPassword(address);
    return u"\"%1\" on %2"_s.arg(database, host);
}

} // namespace

namespace {

/// What the server refused for want of a privilege: what it said.
struct PrivilegeError : Error
{
    explicit PrivilegeError(const QString &reason)
        : Error(QCoreApplication::translate(Context, "The user store refused this workstation: %1")
                    .arg(reason))
        , reason(reason)
    {
    }
    QString reason;
};

} // namespace

struct SharedStore::Result
{
    std::unique_ptr<PGresult, decltype(&PQclear)> result {nullptr, &PQclear};

    int rows() const { return PQntuples(result.get()); }
    bool isNull(int row, int column) const { return PQgetisnull(result.get(), row, column); }
    QByteArray bytes(int row, int column) const
    {
        return QByteArray(PQgetvalue(result.get(), row, column),
                          PQgetlength(result.get(), row, column));
    }
    QString text(int row, int column) const { return QString::fromUtf8(bytes(row, column)); }
};

SharedStore::Transaction::Transaction(SharedStore &store)
    : m_store(store)
{
    m_store.run("BEGIN");
}

SharedStore::Transaction::~Transaction()
{
    if (!m_done)
        PQclear(PQexec(m_store.m_connection, "ROLLBACK"));
}

void SharedStore::Transaction::commit()
{
    m_store.run("COMMIT");
    m_done = true;
}

SharedStore::SharedStore(pg_conn *connection)
    : m_connection(connection)
{
}

SharedStore::~SharedStore()
{
    PQfinish(m_connection);
}

std::unique_ptr<SharedStore> SharedStore::connect(const QString &address)
{
    // The address's own settings win over these defaults: a server that does
    // not answer must not hang the program's start-up for minutes, and the
    // server's administrator sees which program holds a connection.
    const QByteArray conninfo = address.toUtf8();
    const QByteArray timeout = qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT")
        ? qgetenv("PGCONNECT_TIMEOUT")
        : QByteArray::number(DefaultConnectTimeoutSeconds);
    QByteArray program = QCoreApplication::applicationName().toUtf8();
    if (program.isEmpty())
        program = "rightsmith";
    // A connection cut without a word is noticed within a minute or so, and no
    // statement waits for a lock longer than the lock timeout (the program's
    // window waits with it).
    const char *const keywords[] = {"connect_timeout",
                                    "keepalives_idle",
                                    "keepalives_interval",
                                    "keepalives_count",
                                    "options",
                                    "fallback_application_name",
                                    "dbname",
                                    nullptr};
    const char *const values[] = {
        timeout.constData(),  "30",   "10", "3", "-c lock_timeout=10s", program.constData(),
        conninfo.constData(), nullptr};
    PGconn *connection = PQconnectdbParams(keywords, values, 1);
    if (!connection)
        throw Error(QCoreApplication::translate(Context,
                                                "Out of memory connecting to the user "
                                                "store."));
    if (PQstatus(connection) != CONNECTION_OK) {
        const QString message =
            QCoreApplication::translate(Context,
                                        "Cannot connect to the user "
                                        "store %1: %2")
                .arg(describe(connection, address), fromServer(PQerrorMessage(connection)));
        PQfinish(connection);
        throw Error(message);
    }
    std::unique_ptr<SharedStore> store(new SharedStore(connection));
    // Keys and payloads travel as UTF-8 whatever the server's default is.
    store->run("SET client_encoding TO 'UTF8'");
    return store;
}

QString SharedStore::serverName() const
{
    return describe(m_connection, QString());
}

QString SharedStore::displayAddress(const QString &address)
{
    return withoutPassword(address);
}

SharedStore::Result SharedStore::run(const char *sql, const QList<QByteArray> &parameters,
                                     const QList<bool> &binary, bool binaryResult)
{
    QList<const char *> values;
    QList<int> lengths;
    QList<int> formats;
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        values.append(parameters[i].constData());
        lengths.append(int(parameters[i].size()));
        formats.append(i < binary.size() && binary[i] ? 1 : 0);
    }
    Result result;
    result.result.reset(PQexecParams(m_connection, sql, int(parameters.size()), nullptr,
                                     values.constData(), lengths.constData(), formats.constData(),
                                     binaryResult ? 1 : 0));
    collectNotifications();
    const ExecStatusType status = PQresultStatus(result.result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    const QString reason = result.result ? fromServer(PQresultErrorMessage(result.result.get()))
                                         : fromServer(PQerrorMessage(m_connection));
    const char *state = PQresultErrorField(result.result.get(), PG_DIAG_SQLSTATE);
    if (state && qstrcmp(state, InsufficientPrivilege) == 0)
        throw PrivilegeError(reason);
    throw Error(QCoreApplication::translate(Context, "The user store %1 failed: %2")
                    .arg(serverName(), reason));
}

void SharedStore::initSchema()
{
    Transaction transaction(*this);
    run(SchemaLock);
    const Result tables = run(DescribeTables);
    QHash<QString, QString> found;
    for (int row = 0; row < tables.rows(); ++row)
        found.insert(tables.text(row, 0), tables.text(row, 1));

    const auto foreign = [this](const QString &why) {
        return Error(QCoreApplication::translate(Context,
                                                 "The user store %1 holds tables this "
                                                 "program did not make: %2")
                         .arg(serverName(), why));
    };
    const auto checkSequence = [&] {
        if (run(AuditSequenceIsOurs).text(0, 0) != u"t"_s)
            throw foreign(QLatin1StringView(AuditSequenceName));
    };
    if (found.isEmpty()) {
        for (const char *statement : CreateTables)
            run(statement);
        checkSequence(); // a foreign relation took its name: the grants would miss it
        transaction.commit();
        return;
    }
    // A table of other columns is named before one that is missing.
    for (const bool present : {true, false}) {
        for (const Relation &relation : Relations) {
            const QString name = QLatin1StringView(relation.name);
            if (found.contains(name) == present
                && found.value(name) != QLatin1StringView(relation.columns))
                throw foreign(name);
        }
    }
    checkSequence();
    const Result version = run("SELECT version FROM rightsmith_schema");
    if (version.rows() != 1 || version.isNull(0, 0)
        || version.text(0, 0) != QString::number(SchemaVersion))
        throw Error(QCoreApplication::translate(Context,
                                                "The user store %1 has a layout this "
                                                "program does not know (version %2).")
                        .arg(serverName(), version.rows() == 1 ? version.text(0, 0) : u"?"_s));
    transaction.commit();
}

QStringList SharedStore::grantStatements(const QString &workstationRole,
                                         const QString &administratorRole)
{
    const QString sequence = QLatin1StringView(AuditSequenceName);
    QStringList statements;
    for (const QString &role :
         {quotedIdentifier(workstationRole), quotedIdentifier(administratorRole)}) {
        statements
            << u"GRANT SELECT ON rightsmith_schema, rightsmith_user_template TO %1"_s.arg(role)
            << u"GRANT SELECT, INSERT, UPDATE, DELETE ON rightsmith_logon_failures TO %1"_s.arg(
                   role)
            << u"GRANT SELECT, INSERT, DELETE ON rightsmith_audit_trail TO %1"_s.arg(role)
            << u"GRANT USAGE ON SEQUENCE %1 TO %2"_s.arg(sequence, role);
    }
    statements << u"GRANT INSERT, UPDATE ON rightsmith_user_template TO %1"_s.arg(
        quotedIdentifier(administratorRole));
    return statements;
}

SharedStore::Stored SharedStore::load(const QString &storeKey)
{
    const Result result = run("SELECT version, template FROM rightsmith_user_template "
                              "WHERE store_key = $1",
                              {keyOf(storeKey)}, {}, true);
    Stored stored;
    if (result.rows() == 0)
        return stored;
    const QByteArray version = result.bytes(0, 0);
    if (version.size() != sizeof(qint64))
        throw Error(QCoreApplication::translate(Context,
                                                "The user store %1 answered with a "
                                                "malformed version.")
                        .arg(serverName()));
    stored.version = qFromBigEndian<qint64>(version.constData());
    stored.stream = result.bytes(0, 1);
    stored.exists = true;
    return stored;
}

qint64 SharedStore::version(const QString &storeKey)
{
    const Result result =
        run("SELECT version FROM rightsmith_user_template WHERE store_key = $1", {keyOf(storeKey)});
    return result.rows() == 1 ? result.text(0, 0).toLongLong() : 0;
}

SharedStore::SaveResult SharedStore::save(const QString &storeKey, const QByteArray &stream,
                                          qint64 basedOnVersion, qint64 *newVersion,
                                          const std::function<void(const QByteArray &)> &alongside)
{
    // The size column and libpq's parameter lengths are ints.
    if (stream.size() > std::numeric_limits<int>::max())
        throw Error(QCoreApplication::translate(Context,
                                                "The user template is too large for the "
                                                "user store."));
    // Only the template's save says what a role that may only read cannot do.
    try {
        return [&] {
            const QByteArray key = keyOf(storeKey);
            const QByteArray size = QByteArray::number(stream.size());
            Transaction transaction(*this);
            QByteArray replaced;
            if (alongside && basedOnVersion != 0) {
                // The row stays locked until the update below, so it replaces exactly this.
                const Result old = run("SELECT template FROM rightsmith_user_template "
                                       "WHERE store_key = $1 AND version = $2 FOR UPDATE",
                                       {key, QByteArray::number(basedOnVersion)}, {}, true);
                if (old.rows() != 1)
                    return SaveResult::Conflict;
                replaced = old.bytes(0, 0);
            }
            const Result written = basedOnVersion == 0
                ? run("INSERT INTO rightsmith_user_template (store_key, version, template, size) "
                      "VALUES ($1, 1, $2, $3) ON CONFLICT (store_key) DO NOTHING RETURNING version",
                      {key, stream, size}, {false, true, false})
                : run("UPDATE rightsmith_user_template "
                      "SET version = version + 1, template = $2, size = $3, changed_at = now() "
                      "WHERE store_key = $1 AND version = $4 RETURNING version",
                      {key, stream, size, QByteArray::number(basedOnVersion)},
                      {false, true, false, false});
            if (written.rows() != 1)
                return SaveResult::Conflict; // the transaction rolls back
            if (alongside)
                alongside(replaced);
            run("SELECT pg_notify($1, $2)", {QByteArray(Channel), key});
            const qint64 version = written.text(0, 0).toLongLong();
            transaction.commit();
            if (newVersion)
                *newVersion = version;
            return SaveResult::Saved;
        }();
    } catch (const PrivilegeError &error) {
        throw Error(QCoreApplication::translate(Context,
                                                "This workstation may read the users but "
                                                "not change them (the server refused: "
                                                "%1).")
                        .arg(error.reason));
    }
}

namespace {

qint64 msSinceEpoch(const QDateTime &time)
{
    return (time.isValid() ? time : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

ThrottleState SharedStore::failures(const QString &storeKey, const QByteArray &nameDigest)
{
    const Result result = run("SELECT failures, last_failure FROM rightsmith_logon_failures "
                              "WHERE store_key = $1 AND name_digest = $2",
                              {keyOf(storeKey), nameDigest}, {false, true});
    ThrottleState state;
    if (result.rows() == 1) {
        state.failures = std::max(0, result.text(0, 0).toInt());
        state.lastFailure = QDateTime::fromMSecsSinceEpoch(result.text(0, 1).toLongLong(), Qt::UTC);
    }
    return state;
}

ThrottleState SharedStore::noteFailure(const QString &storeKey, const QByteArray &nameDigest,
                                       const QDateTime &now, std::chrono::seconds forgetAfter)
{
    const qint64 at = msSinceEpoch(now);
    const qint64 forgotten =
        at - std::chrono::duration_cast<std::chrono::milliseconds>(forgetAfter).count();
    const QByteArray key = keyOf(storeKey);
    // One statement: two workstations counting the same name at once both count.
    const Result result =
        run("INSERT INTO rightsmith_logon_failures AS f "
            "(store_key, name_digest, failures, last_failure) VALUES ($1, $2, 1, $3) "
            "ON CONFLICT (store_key, name_digest) DO UPDATE SET "
            "failures = CASE WHEN f.last_failure < $4 THEN 1 "
            "ELSE least(f.failures::bigint + 1, 2147483647) END, "
            "last_failure = excluded.last_failure RETURNING failures, last_failure",
            {key, nameDigest, number(at), number(forgotten)}, {false, true, false, false});
    run("DELETE FROM rightsmith_logon_failures WHERE store_key = $1 AND last_failure < $2",
        {key, number(forgotten)});
    ThrottleState state;
    state.failures = result.text(0, 0).toInt();
    state.lastFailure = QDateTime::fromMSecsSinceEpoch(result.text(0, 1).toLongLong(), Qt::UTC);
    return state;
}

bool SharedStore::clearFailures(const QString &storeKey, const QByteArray &nameDigest)
{
    return run("DELETE FROM rightsmith_logon_failures WHERE store_key = $1 AND name_digest = $2 "
               "RETURNING 1",
               {keyOf(storeKey), nameDigest}, {false, true})
               .rows()
        > 0;
}

void SharedStore::appendAudit(const QString &storeKey, AuditRecord record,
                              const AuditLimits &limits, const QDateTime &now)
{
    record.complete(now);
    const QByteArray key = keyOf(storeKey);
    // Records expire by the newest time already stored when that is earlier
    // than now: a clock set far ahead, once, does not wipe the trail.
    const Result latest =
        run("SELECT max(time) FROM rightsmith_audit_trail WHERE store_key = $1", {key});
    qint64 newest = msSinceEpoch(now);
    if (!latest.isNull(0, 0))
        newest = std::min(newest, latest.text(0, 0).toLongLong());
    run("INSERT INTO rightsmith_audit_trail (store_key, time, os_user, host, program, event, "
        "user_name, actor, detail) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)",
        {key, number(msSinceEpoch(record.time)), record.osUser.toUtf8(), record.host.toUtf8(),
         record.program.toUtf8(), AuditRecord::name(record.event).toUtf8(), record.user,
         record.actor, record.detail.toUtf8()},
        {false, false, false, false, false, false, true, true, false});
    if (limits.keepDays > 0)
        run("DELETE FROM rightsmith_audit_trail WHERE store_key = $1 AND time < $2",
            {key, number(newest - qint64(limits.keepDays) * 24 * 60 * 60 * 1000)});
    if (limits.keepRows > 0) {
        // By order of writing, not by time, as the local trail does.
        run("DELETE FROM rightsmith_audit_trail WHERE store_key = $1 AND id <= "
            "(SELECT id FROM rightsmith_audit_trail WHERE store_key = $1 "
            "ORDER BY id DESC OFFSET $2 LIMIT 1)",
            {key, number(limits.keepRows)});
    }
}

QList<AuditRecord> SharedStore::readAudit(const QString &storeKey, const QDateTime &since,
                                          const QByteArray &user)
{
    const Result result = run(
        "SELECT time::text, os_user, host, program, event, user_name, actor, detail "
        "FROM rightsmith_audit_trail WHERE store_key = $1 AND time >= $2 "
        "AND ($3 = 0 OR user_name = $4 OR actor = $4) ORDER BY time, id",
        {keyOf(storeKey),
         number(since.isValid() ? since.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min()),
         number(user.isEmpty() ? 0 : 1), user},
        {false, false, false, true}, true);
    QList<AuditRecord> records;
    for (int row = 0; row < result.rows(); ++row) {
        AuditRecord record;
        // A record of an event this version does not know is left out.
        if (!AuditRecord::fromName(result.text(row, 4), record.event))
            continue;
        record.time = QDateTime::fromMSecsSinceEpoch(result.bytes(row, 0).toLongLong(), Qt::UTC);
        record.osUser = result.text(row, 1);
        record.host = result.text(row, 2);
        record.program = result.text(row, 3);
        record.user = result.bytes(row, 5);
        record.actor = result.bytes(row, 6);
        record.detail = result.text(row, 7);
        records.append(record);
    }
    return records;
}

bool SharedStore::hasAuditRecords(const QString &storeKey)
{
    return run("SELECT 1 FROM rightsmith_audit_trail WHERE store_key = $1 LIMIT 1",
               {keyOf(storeKey)})
               .rows()
        > 0;
}

void SharedStore::listen()
{
    run((u"LISTEN "_s + QLatin1StringView(Channel)).toUtf8().constData());
}

bool SharedStore::isLost() const
{
    return PQstatus(m_connection) == CONNECTION_BAD;
}

int SharedStore::socket() const
{
    return PQsocket(m_connection);
}

void SharedStore::collectNotifications()
{
    const qsizetype before = m_pending.size();
    while (PGnotify *notify = PQnotifies(m_connection)) {
        if (qstrcmp(notify->relname, Channel) == 0)
            m_pending.append(QString::fromUtf8(notify->extra));
        PQfreemem(notify);
    }
    if (m_pending.size() > before && m_notificationsPending)
        m_notificationsPending();
}

QStringList SharedStore::takeNotifications()
{
    if (!PQconsumeInput(m_connection))
        throw Error(QCoreApplication::translate(Context, "The user store %1 failed: %2")
                        .arg(serverName(), fromServer(PQerrorMessage(m_connection))));
    const auto callback = std::exchange(m_notificationsPending, nullptr);
    collectNotifications();
    m_notificationsPending = callback;
    return std::exchange(m_pending, {});
}

void SharedStore::setNotificationsPending(std::function<void()> callback)
{
    m_notificationsPending = std::move(callback);
}

SharedStoreWatcher::SharedStoreWatcher(SharedStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_notifier(new QSocketNotifier(store.socket(), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &SharedStoreWatcher::drain);
    m_store.setNotificationsPending([this] {
        QMetaObject::invokeMethod(this, &SharedStoreWatcher::drain, Qt::QueuedConnection);
    });
    // Notifications that arrived with earlier answers never show on the socket.
    QMetaObject::invokeMethod(this, &SharedStoreWatcher::drain, Qt::QueuedConnection);
}

SharedStoreWatcher::~SharedStoreWatcher()
{
    m_store.setNotificationsPending(nullptr);
}

void SharedStoreWatcher::drain()
{
    if (!m_notifier->isEnabled())
        return;
    QStringList keys;
    try {
        keys = m_store.takeNotifications();
    } catch (const Error &error) {
        // A lost connection keeps its socket readable: stop watching it.
        m_notifier->setEnabled(false);
        emit lost(error.message());
        return;
    }
    for (const QString &key : std::as_const(keys))
        emit changed(key);
}

} // namespace zkSecurity
