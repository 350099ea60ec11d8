// The shared user store on PostgreSQL: one row a store key holding the user
// template stream and its version, changed only by compare-and-set saves that
// notify the other workstations.
#include "security/sharedstore.h"

#include "toolkit/error.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QtEndian>

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

QString fromServer(const char *text)
{
    return QString::fromUtf8(text ? text : "").trimmed();
}

/// \a address with the values of password keywords and a URI's password hidden.
QString withoutPassword(QString address)
{
    static const QRegularExpression keyword(
        u"(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|[^\\s&]*)"_s,
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression uriPassword(u"^(postgres(?:ql)?://[^:/@?]*:)[^@/?]*@"_s,
                                                QRegularExpression::CaseInsensitiveOption);
    address.replace(keyword, u"\\1***"_s);
    address.replace(uriPassword, u"\\1***@"_s);
    return address;
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

/// BEGIN on construction; ROLLBACK on destruction unless commit() was called.
class SharedStore::Transaction
{
public:
    explicit Transaction(SharedStore &store)
        : m_store(store)
    {
        m_store.run("BEGIN");
    }
    ~Transaction()
    {
        if (!m_done)
            PQclear(PQexec(m_store.m_connection, "ROLLBACK"));
    }
    void commit()
    {
        m_store.run("COMMIT");
        m_done = true;
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    SharedStore &m_store;
    bool m_done = false;
};

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
    PGconn *connection = PQconnectdb(address.toUtf8().constData());
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
        throw Error(QCoreApplication::translate(Context,
                                                "This workstation may read the users but "
                                                "not change them (the server refused: "
                                                "%1).")
                        .arg(reason));
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
                              {storeKey.toUtf8()}, {}, true);
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

SharedStore::SaveResult SharedStore::save(const QString &storeKey, const QByteArray &stream,
                                          qint64 basedOnVersion, qint64 *newVersion)
{
    // The size column and libpq's parameter lengths are ints.
    if (stream.size() > std::numeric_limits<int>::max())
        throw Error(QCoreApplication::translate(Context,
                                                "The user template is too large for the "
                                                "user store."));
    const QByteArray key = storeKey.toUtf8();
    const QByteArray size = QByteArray::number(stream.size());
    Transaction transaction(*this);
    const Result written = basedOnVersion == 0
        ? run("INSERT INTO rightsmith_user_template (store_key, version, template, size) "
              "VALUES ($1, 1, $2, $3) ON CONFLICT (store_key) DO NOTHING RETURNING version",
              {key, stream, size}, {false, true, false})
        : run("UPDATE rightsmith_user_template "
              "SET version = version + 1, template = $2, size = $3, changed_at = now() "
              "WHERE store_key = $1 AND version = $4 RETURNING version",
              {key, stream, size, QByteArray::number(basedOnVersion)}, {false, true, false, false});
    if (written.rows() != 1)
        return SaveResult::Conflict; // the transaction rolls back
    run("SELECT pg_notify($1, $2)", {QByteArray(Channel), key});
    const qint64 version = written.text(0, 0).toLongLong();
    transaction.commit();
    if (newVersion)
        *newVersion = version;
    return SaveResult::Saved;
}

void SharedStore::listen()
{
    run((u"LISTEN "_s + QLatin1StringView(Channel)).toUtf8().constData());
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
