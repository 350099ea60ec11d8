// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The shared user store on PostgreSQL: one row a store key holding the user
// template stream and its version, changed only by compare-and-set saves that
// notify the other workstations.
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/templaterows_p.h"
#include "security/store/toolcommand_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <libpq-fe.h>
#include <limits>
#include <span>

using rightsmith::logging::lcStore;

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Error;

namespace zkSecurity {

const char *const SharedStore::Channel = "rightsmith_user_template";

namespace {

const char *const InsufficientPrivilege = "42501";
const char *const UndefinedTable = "42P01";
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
    "    'rightsmith_logon_failures', 'rightsmith_audit_trail', 'rightsmith_audit_trail_by_time', "
    "    'rightsmith_settings', 'rightsmith_user_template_backups', 'rightsmith_template_users', "
    "    'rightsmith_template_users_kept') "
    "GROUP BY c.relname";

/// The relations initSchema() makes, with the columns DescribeTables shows for them.
struct Relation
{
    const char *name;
    const char *columns;
};
#define RIGHTSMITH_TRAIL_COLUMNS                                                                   \
    "r id bigint true;r store_key text true;r time bigint true;r os_user text true;"               \
    "r host text true;r program text true;r event text true;r user_name bytea true;"               \
    "r actor bytea true;r detail text true"
#define RIGHTSMITH_USER_TEMPLATE_COLUMNS                                                           \
    "r store_key text true;r version bigint true;r template bytea true;r size integer true;"       \
    "r changed_at timestamp with time zone true"
#define RIGHTSMITH_COMMON_RELATIONS                                                                \
    {"rightsmith_schema", "r version integer false"},                                              \
        {"rightsmith_logon_failures",                                                              \
         "r store_key text true;r name_digest bytea true;r failures integer true;"                 \
         "r last_failure bigint true"},                                                            \
    {                                                                                              \
        "rightsmith_audit_trail_by_time", "i store_key text false;i time bigint false"             \
    }
#define RIGHTSMITH_V2_RELATIONS                                                                    \
    RIGHTSMITH_COMMON_RELATIONS,                                                                   \
        {"rightsmith_audit_trail",                                                                 \
         RIGHTSMITH_TRAIL_COLUMNS ";r role text true;r repeats integer true"},                     \
    {                                                                                              \
        "rightsmith_settings",                                                                     \
            "r keep_days integer true;r keep_rows bigint true;r forget_after_ms bigint true"       \
    }
// Version 1; version 2, which adds the settings and two columns of the trail;
// version 3, which adds the backups; version 4, which adds the role template.
const Relation RelationsV1[] = {
    RIGHTSMITH_COMMON_RELATIONS,
    {"rightsmith_user_template", RIGHTSMITH_USER_TEMPLATE_COLUMNS},
    {"rightsmith_audit_trail", RIGHTSMITH_TRAIL_COLUMNS},
    {"rightsmith_settings", nullptr},
    {"rightsmith_user_template_backups", nullptr},
    {"rightsmith_template_users", nullptr},
    {"rightsmith_template_users_kept", nullptr},
};
const Relation RelationsV2[] = {
    RIGHTSMITH_V2_RELATIONS,
    {"rightsmith_user_template", RIGHTSMITH_USER_TEMPLATE_COLUMNS},
    {"rightsmith_user_template_backups", nullptr},
    {"rightsmith_template_users", nullptr},
    {"rightsmith_template_users_kept", nullptr},
};
#define RIGHTSMITH_BACKUP_COLUMNS                                                                  \
    "r id bigint true;r store_key text true;r version bigint true;r template bytea true;"          \
    "r size integer true;r digest bytea true;r kept_at timestamp with time zone true"
const Relation RelationsV3[] = {
    RIGHTSMITH_V2_RELATIONS,
    {"rightsmith_user_template", RIGHTSMITH_USER_TEMPLATE_COLUMNS},
    {"rightsmith_user_template_backups", RIGHTSMITH_BACKUP_COLUMNS},
    {"rightsmith_template_users", nullptr},
    {"rightsmith_template_users_kept", nullptr},
};
const Relation RelationsV4[] = {
    RIGHTSMITH_V2_RELATIONS,
    {"rightsmith_user_template",
     RIGHTSMITH_USER_TEMPLATE_COLUMNS ";r roles bytea false;r roles_size integer false"},
    {"rightsmith_user_template_backups", RIGHTSMITH_BACKUP_COLUMNS},
    {"rightsmith_template_users", nullptr},
    {"rightsmith_template_users_kept", nullptr},
};
const Relation RelationsV5[] = {
    RIGHTSMITH_V2_RELATIONS,
    {"rightsmith_user_template",
     RIGHTSMITH_USER_TEMPLATE_COLUMNS ";r roles bytea false;r roles_size integer false;"
                                      "r users integer true;r nodes bigint true;"
                                      "r roles_version bigint true"},
    {"rightsmith_user_template_backups",
     RIGHTSMITH_BACKUP_COLUMNS
     ";r roles bytea false;r roles_size integer false;r users integer false"},
    {"rightsmith_template_users",
     "r store_key text true;r position integer true;"
     "r version bigint true;r records bytea true;r lines bytea true"},
    {"rightsmith_template_users_kept",
     "r store_key text true;r position integer true;r version bigint true;"
     "r replaced_in bigint true;r records bytea true;r lines bytea true"},
};
#undef RIGHTSMITH_BACKUP_COLUMNS
#undef RIGHTSMITH_USER_TEMPLATE_COLUMNS
#undef RIGHTSMITH_V2_RELATIONS
#undef RIGHTSMITH_COMMON_RELATIONS
#undef RIGHTSMITH_TRAIL_COLUMNS

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

// What version 2 adds to the tables of version 1, run by their owner in the
// transaction that makes or upgrades them; %1 is the tables' schema, quoted.
// The functions run as their owner (SECURITY DEFINER) with a search path of
// pg_catalog alone and the tables named with their schema: a role that may
// create objects in that schema cannot make an operator or function of its
// own run in their place, with the owner's rights. They stamp the server's
// time and the caller's session_user, and keep the server's own limits.
// Times are milliseconds since the epoch.
const char *const Version2[] = {
    "ALTER TABLE %1.rightsmith_audit_trail ADD COLUMN role text NOT NULL DEFAULT '', "
    " ADD COLUMN repeats integer NOT NULL DEFAULT 1",
    "CREATE TABLE %1.rightsmith_settings ("
    " keep_days integer NOT NULL,"
    " keep_rows bigint NOT NULL,"
    " forget_after_ms bigint NOT NULL)",
    "INSERT INTO %1.rightsmith_settings VALUES (365, 100000, 86400000)",
    // How long an attempt must wait after p_failures failures, the last at p_last.
    "CREATE FUNCTION %1.rightsmith_throttle_wait(p_failures integer, p_last bigint, p_now bigint,"
    " p_free integer, p_first_ms bigint, p_max_ms bigint) RETURNS bigint"
    " LANGUAGE sql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $f$"
    " SELECT CASE WHEN p_failures <= 0 OR p_failures < p_free OR p_first_ms <= 0"
    "  OR p_max_ms <= 0 THEN 0::bigint"
    " ELSE greatest(0, least(p_max_ms::numeric, p_first_ms::numeric"
    "  * power(2::numeric, least(p_failures - p_free, 100)::numeric))"
    "  - greatest(0, p_now - p_last))::bigint END $f$",
    // Counts an attempt for a name and a workstation unless either must wait,
    // with both rows locked (made, or locked as they are, by one statement
    // each: a row another attempt drops meanwhile is made afresh): the
    // decision and the count are one. Forgotten rows that another attempt
    // holds are left to a later one, rather than waited for.
    "CREATE FUNCTION %1.rightsmith_reserve_attempt(p_key text, p_name bytea, p_workstation bytea,"
    " p_free integer, p_workstation_free integer, p_first_ms bigint, p_max_ms bigint,"
    " OUT wait_ms bigint, OUT reserved_at bigint, OUT name_failures integer,"
    " OUT name_last bigint, OUT workstation_failures integer, OUT workstation_last bigint)"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " DECLARE v_forgotten bigint;"
    " BEGIN"
    "  reserved_at := (extract(epoch FROM clock_timestamp()) * 1000)::bigint;"
    "  v_forgotten := reserved_at"
    "   - coalesce((SELECT forget_after_ms FROM %1.rightsmith_settings LIMIT 1), 86400000);"
    "  INSERT INTO %1.rightsmith_logon_failures AS f VALUES (p_key, p_name, 0, 0)"
    "   ON CONFLICT (store_key, name_digest) DO UPDATE SET failures = f.failures"
    "   RETURNING failures, last_failure INTO name_failures, name_last;"
    "  INSERT INTO %1.rightsmith_logon_failures AS f VALUES (p_key, p_workstation, 0, 0)"
    "   ON CONFLICT (store_key, name_digest) DO UPDATE SET failures = f.failures"
    "   RETURNING failures, last_failure INTO workstation_failures, workstation_last;"
    "  wait_ms := greatest(%1.rightsmith_throttle_wait(name_failures, name_last, reserved_at,"
    "   p_free, p_first_ms, p_max_ms), %1.rightsmith_throttle_wait(workstation_failures,"
    "   workstation_last, reserved_at, greatest(p_free, p_workstation_free), p_first_ms,"
    "   p_max_ms));"
    "  IF wait_ms > 0 THEN RETURN; END IF;"
    "  UPDATE %1.rightsmith_logon_failures SET failures = CASE WHEN last_failure < v_forgotten"
    "   THEN 1 ELSE least(failures::bigint + 1, 2147483647) END, last_failure = reserved_at"
    "   WHERE store_key = p_key AND name_digest IN (p_name, p_workstation);"
    "  DELETE FROM %1.rightsmith_logon_failures WHERE (store_key, name_digest) IN"
    "   (SELECT store_key, name_digest FROM %1.rightsmith_logon_failures WHERE store_key = p_key"
    "   AND last_failure < v_forgotten FOR UPDATE SKIP LOCKED);"
    " END $f$",
    // Takes back one counted attempt: the count as before it when no other
    // came since, else one less; never below nothing, and never later than
    // the attempt (a time to come would keep the name waiting for good).
    "CREATE FUNCTION %1.rightsmith_release_attempt(p_key text, p_name bytea, p_workstation bytea,"
    " p_at bigint, p_name_failures integer, p_name_last bigint,"
    " p_workstation_failures integer, p_workstation_last bigint) RETURNS void"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " BEGIN"
    "  UPDATE %1.rightsmith_logon_failures SET"
    "   failures = CASE WHEN last_failure = p_at THEN least(p_name_failures, failures - 1)"
    "    ELSE failures - 1 END,"
    "   last_failure = CASE WHEN last_failure = p_at THEN least(p_name_last, p_at)"
    "    ELSE last_failure END"
    "   WHERE store_key = p_key AND name_digest = p_name;"
    "  UPDATE %1.rightsmith_logon_failures SET"
    "   failures = CASE WHEN last_failure = p_at"
    "    THEN least(p_workstation_failures, failures - 1) ELSE failures - 1 END,"
    "   last_failure = CASE WHEN last_failure = p_at THEN least(p_workstation_last, p_at)"
    "    ELSE last_failure END"
    "   WHERE store_key = p_key AND name_digest = p_workstation;"
    "  DELETE FROM %1.rightsmith_logon_failures WHERE store_key = p_key"
    "   AND name_digest IN (p_name, p_workstation) AND failures <= 0;"
    " END $f$",
    "CREATE FUNCTION %1.rightsmith_clear_failures(p_key text, p_digest bytea) RETURNS boolean"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " BEGIN"
    "  DELETE FROM %1.rightsmith_logon_failures WHERE store_key = p_key AND name_digest = p_digest;"
    "  RETURN FOUND;"
    " END $f$",
    // Adds a record stamped with the server's time and the caller's role;
    // only a role that may write the users records a change, so that no
    // workstation can push the real ones out with forged ones.
    // a refused or throttled logon of a name without a user, or any throttled
    // one, raises the count of the same record of the minute instead. Then
    // drops what the server's limits say: beyond the row limit the records of
    // logons first, those of changes only when no logon record is left.
    "CREATE FUNCTION %1.rightsmith_append_audit(p_key text, p_os_user text, p_host text,"
    " p_program text, p_event text, p_user bytea, p_actor bytea, p_detail text) RETURNS void"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " DECLARE"
    "  v_now bigint := (extract(epoch FROM clock_timestamp()) * 1000)::bigint;"
    "  v_minute bigint := v_now - v_now % 60000;"
    "  v_days integer; v_rows bigint; v_id bigint; v_excess bigint; v_deleted bigint;"
    " BEGIN"
    "  IF p_event NOT IN ('logon accepted', 'logon refused', 'logon throttled')"
    "   AND NOT has_table_privilege(session_user,"
    "    $n$%1.rightsmith_user_template$n$::regclass, 'UPDATE') THEN"
    "   RAISE EXCEPTION 'only a role that may change the users records a change'"
    "    USING ERRCODE = 'insufficient_privilege';"
    "  END IF;"
    "  SELECT keep_days, keep_rows INTO v_days, v_rows FROM %1.rightsmith_settings LIMIT 1;"
    "  PERFORM pg_advisory_xact_lock(7236617, hashtext(p_key));"
    "  IF p_event = 'logon throttled' OR (p_event = 'logon refused' AND p_user = ''::bytea) THEN"
    "   SELECT id INTO v_id FROM %1.rightsmith_audit_trail WHERE store_key = p_key"
    "    AND time >= v_minute AND time < v_minute + 60000 AND event = p_event"
    "    AND user_name = p_user AND actor = p_actor AND detail = p_detail"
    "    AND os_user = p_os_user AND host = p_host AND program = p_program"
    "    AND role = session_user ORDER BY id DESC LIMIT 1;"
    "  END IF;"
    "  IF v_id IS NOT NULL THEN"
    "   UPDATE %1.rightsmith_audit_trail SET repeats = repeats + 1 WHERE id = v_id;"
    "  ELSE"
    "   INSERT INTO %1.rightsmith_audit_trail (store_key, time, os_user, host, program, event,"
    "    user_name, actor, detail, role) VALUES (p_key, v_now, p_os_user, p_host, p_program,"
    "    p_event, p_user, p_actor, p_detail, session_user);"
    "  END IF;"
    "  IF coalesce(v_days, 0) > 0 THEN"
    "   DELETE FROM %1.rightsmith_audit_trail WHERE store_key = p_key"
    "    AND time < v_now - v_days::bigint * 86400000;"
    "  END IF;"
    "  IF coalesce(v_rows, 0) > 0 THEN"
    "   SELECT count(*) - v_rows INTO v_excess FROM %1.rightsmith_audit_trail"
    "    WHERE store_key = p_key;"
    "   IF v_excess > 0 THEN"
    "    DELETE FROM %1.rightsmith_audit_trail WHERE id IN (SELECT id FROM "
    "%1.rightsmith_audit_trail"
    "     WHERE store_key = p_key AND event IN ('logon accepted', 'logon refused',"
    "     'logon throttled') ORDER BY id LIMIT v_excess);"
    "    GET DIAGNOSTICS v_deleted = ROW_COUNT;"
    "    DELETE FROM %1.rightsmith_audit_trail WHERE id IN (SELECT id FROM "
    "%1.rightsmith_audit_trail"
    "     WHERE store_key = p_key ORDER BY id LIMIT v_excess - v_deleted);"
    "   END IF;"
    "  END IF;"
    " END $f$",
    "REVOKE ALL ON FUNCTION %1.rightsmith_reserve_attempt(text, bytea, bytea, integer, integer,"
    " bigint, bigint), %1.rightsmith_release_attempt(text, bytea, bytea, bigint, integer, bigint,"
    " integer, bigint), %1.rightsmith_clear_failures(text, bytea), %1.rightsmith_append_audit(text,"
    " text, text, text, text, bytea, bytea, text) FROM PUBLIC",
    "UPDATE rightsmith_schema SET version = 2",
};

// What version 3 adds: the backups of the user template. A save that changes
// the template keeps the one it replaces (with the time of that save and its
// digest) by a trigger, in the save's transaction and on the server alone:
// nothing is sent again. Only the trigger, as the tables' owner, writes them.
const char *const Version3[] = {
    "CREATE TABLE %1.rightsmith_user_template_backups ("
    " id bigserial PRIMARY KEY,"
    " store_key text NOT NULL,"
    " version bigint NOT NULL,"
    " template bytea NOT NULL,"
    " size integer NOT NULL,"
    " digest bytea NOT NULL,"
    " kept_at timestamptz NOT NULL DEFAULT now())",
    "CREATE FUNCTION %1.rightsmith_keep_backup() RETURNS trigger"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " BEGIN"
    "  IF OLD.template IS DISTINCT FROM NEW.template AND length(OLD.template) = OLD.size THEN"
    "   INSERT INTO %1.rightsmith_user_template_backups (store_key, version, template, size,"
    "    digest) VALUES (OLD.store_key, OLD.version, OLD.template, OLD.size,"
    "    sha256(OLD.template));"
    "   DELETE FROM %1.rightsmith_user_template_backups WHERE store_key = OLD.store_key"
    "    AND id NOT IN (SELECT id FROM %1.rightsmith_user_template_backups"
    "    WHERE store_key = OLD.store_key ORDER BY id DESC LIMIT 3);"
    "  END IF;"
    "  RETURN NEW;"
    " END $f$",
    "REVOKE ALL ON FUNCTION %1.rightsmith_keep_backup() FROM PUBLIC",
    "CREATE TRIGGER rightsmith_keep_backup BEFORE UPDATE OF template"
    " ON %1.rightsmith_user_template FOR EACH ROW EXECUTE PROCEDURE %1.rightsmith_keep_backup()",
    "UPDATE rightsmith_schema SET version = 3",
};
// What version 4 adds: the role template, saved with the user template in
// the same compare-and-set. Older programs name their columns and never
// see it.
const char *const Version4[] = {
    "ALTER TABLE %1.rightsmith_user_template ADD COLUMN roles bytea,"
    " ADD COLUMN roles_size integer",
    "UPDATE rightsmith_schema SET version = 4",
};

// What the template column of a store kept as rows holds: the stamp of a
// stream of a version no program reads, so that an older program, which
// reads the column as the whole template, refuses it ("Version mismatch").
// Anything else there is a whole template (an older program's save, or a
// restored backup), which stands until the next save splits it.
#define RIGHTSMITH_ROWS_MARKER "'\\x01000000050000000000000000000000'::bytea"
const QByteArray RowsMarker("\x01\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0", 16);

// What version 5 adds: the users of each user template as rows of their own
// (their records and text lines as the stream holds them, NodeIndex
// included), each with the store version that last wrote it, so that the
// stream is their concatenation behind a derived header. The store's row
// keeps the version, the count of users and nodes, and the roles with their
// own version. A row is mostly records of zeros: kept compressed (the
// column's default) it is far smaller and read faster than uncompressed.
// A backup of a store kept as rows is the store version it was at: the rows
// a save replaces or removes are kept (with the version that replaced them)
// for as long as a backup needs them, and the backup's stream is put
// together from them when it is read. A save thus copies only the users it
// changes. A backup keeps the role template with it.
const char *const Version5[] = {
    "CREATE TABLE %1.rightsmith_template_users ("
    " store_key text NOT NULL,"
    " position integer NOT NULL,"
    " version bigint NOT NULL,"
    " records bytea NOT NULL,"
    " lines bytea NOT NULL,"
    " PRIMARY KEY (store_key, position))",
    "CREATE INDEX rightsmith_template_users_by_version"
    " ON %1.rightsmith_template_users (store_key, version)",
    "CREATE TABLE %1.rightsmith_template_users_kept ("
    " store_key text NOT NULL,"
    " position integer NOT NULL,"
    " version bigint NOT NULL,"
    " replaced_in bigint NOT NULL,"
    " records bytea NOT NULL,"
    " lines bytea NOT NULL)",
    "CREATE INDEX rightsmith_template_users_kept_by_version"
    " ON %1.rightsmith_template_users_kept (store_key, replaced_in)",
    "ALTER TABLE %1.rightsmith_user_template ADD COLUMN users integer NOT NULL DEFAULT 0,"
    " ADD COLUMN nodes bigint NOT NULL DEFAULT 0,"
    " ADD COLUMN roles_version bigint NOT NULL DEFAULT 0",
    // users: the count of users of a backup kept as a version (NULL: kept whole).
    "ALTER TABLE %1.rightsmith_user_template_backups ADD COLUMN roles bytea,"
    " ADD COLUMN roles_size integer, ADD COLUMN users integer",
    // The stream of backup p_id: kept whole, or the rows of its version put
    // together (the stamp, the node count little-endian, the records, the lines).
    "CREATE FUNCTION %1.rightsmith_backup_stream(p_id bigint) RETURNS bytea"
    " LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $f$"
    " SELECT CASE WHEN b.users IS NULL THEN b.template ELSE"
    "  '\\x01000000040000000000000000000000'::bytea"
    "  || set_byte(set_byte(set_byte(set_byte('\\x00000000'::bytea, 0, (s.n % 256)::int),"
    "   1, (s.n / 256 % 256)::int), 2, (s.n / 65536 % 256)::int), 3,"
    "   (s.n / 16777216 % 256)::int) || s.r || s.l END"
    " FROM %1.rightsmith_user_template_backups b CROSS JOIN LATERAL"
    "  (SELECT coalesce(sum(length(u.records)), 0) / 180 AS n,"
    "   coalesce(string_agg(u.records, ''::bytea ORDER BY u.position), ''::bytea) AS r,"
    "   coalesce(string_agg(u.lines, ''::bytea ORDER BY u.position), ''::bytea) AS l"
    "   FROM (SELECT position, records, lines FROM %1.rightsmith_template_users t"
    "    WHERE b.users IS NOT NULL AND t.store_key = b.store_key AND t.version <= b.version"
    "    AND t.position < b.users"
    "    UNION ALL SELECT position, records, lines FROM %1.rightsmith_template_users_kept k"
    "    WHERE b.users IS NOT NULL AND k.store_key = b.store_key AND k.version <= b.version"
    "    AND k.replaced_in > b.version AND k.position < b.users) u) s"
    " WHERE b.id = p_id $f$",
    // The records of p_new that differ from those of p_old, each as its
    // index (4 bytes, big-endian) and its 180 bytes; NULL when p_old has
    // another number of them. A desk that holds p_old is sent only these.
    "CREATE FUNCTION %1.rightsmith_changed_records(p_old bytea, p_new bytea) RETURNS bytea"
    " LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $f$"
    " DECLARE v_old bytea := p_old || ''::bytea; v_new bytea := p_new || ''::bytea;"
    "  v_changes bytea := ''::bytea;"
    " BEGIN"
    "  IF v_old IS NULL OR length(v_old) <> length(v_new) THEN RETURN NULL; END IF;"
    "  FOR i IN 0 .. length(v_new) / 180 - 1 LOOP"
    "   IF substring(v_new FROM i * 180 + 1 FOR 180)"
    "    <> substring(v_old FROM i * 180 + 1 FOR 180) THEN"
    "    v_changes := v_changes || int4send(i) || substring(v_new FROM i * 180 + 1 FOR 180);"
    "   END IF;"
    "  END LOOP;"
    "  RETURN v_changes;"
    " END $f$",
    // A user's row as it was before a save replaced or removed it.
    "CREATE FUNCTION %1.rightsmith_keep_user() RETURNS trigger"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " BEGIN"
    "  INSERT INTO %1.rightsmith_template_users_kept VALUES (OLD.store_key, OLD.position,"
    "   OLD.version, CASE WHEN TG_OP = 'UPDATE' THEN NEW.version ELSE (SELECT version"
    "   FROM %1.rightsmith_user_template WHERE store_key = OLD.store_key) END,"
    "   OLD.records, OLD.lines);"
    "  IF TG_OP = 'UPDATE' THEN RETURN NEW; END IF;"
    "  RETURN OLD;"
    " END $f$",
    "REVOKE ALL ON FUNCTION %1.rightsmith_keep_user() FROM PUBLIC",
    "CREATE TRIGGER rightsmith_keep_user BEFORE UPDATE OR DELETE"
    " ON %1.rightsmith_template_users FOR EACH ROW EXECUTE PROCEDURE %1.rightsmith_keep_user()",
    // Every save raises the version first, before it writes rows. Rows
    // replaced before the oldest backup kept as a version are let go.
    "CREATE OR REPLACE FUNCTION %1.rightsmith_keep_backup() RETURNS trigger"
    " LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $f$"
    " BEGIN"
    "  IF OLD.template = " RIGHTSMITH_ROWS_MARKER " THEN"
    "   INSERT INTO %1.rightsmith_user_template_backups (store_key, version, template, size,"
    "    digest, roles, roles_size, users) VALUES (OLD.store_key, OLD.version, ''::bytea,"
    "    (SELECT 20 + coalesce(sum(length(records)::bigint + length(lines)), 0)"
    "    FROM %1.rightsmith_template_users WHERE store_key = OLD.store_key"
    "    AND position < OLD.users), ''::bytea, OLD.roles, coalesce(OLD.roles_size, 0), OLD.users);"
    "  ELSIF length(OLD.template) = OLD.size THEN"
    "   INSERT INTO %1.rightsmith_user_template_backups (store_key, version, template, size,"
    "    digest, roles, roles_size) VALUES (OLD.store_key, OLD.version, OLD.template, OLD.size,"
    "    sha256(OLD.template), OLD.roles, coalesce(OLD.roles_size, 0));"
    "  END IF;"
    "  DELETE FROM %1.rightsmith_user_template_backups WHERE store_key = OLD.store_key"
    "   AND id NOT IN (SELECT id FROM %1.rightsmith_user_template_backups"
    "   WHERE store_key = OLD.store_key ORDER BY id DESC LIMIT 3);"
    "  DELETE FROM %1.rightsmith_template_users_kept WHERE store_key = OLD.store_key"
    "   AND replaced_in <= coalesce((SELECT min(version)"
    "   FROM %1.rightsmith_user_template_backups WHERE store_key = OLD.store_key"
    "   AND users IS NOT NULL), 9223372036854775807);"
    "  RETURN NEW;"
    " END $f$",
    "DROP TRIGGER rightsmith_keep_backup ON %1.rightsmith_user_template",
    "CREATE TRIGGER rightsmith_keep_backup BEFORE UPDATE OF version"
    " ON %1.rightsmith_user_template FOR EACH ROW"
    " WHEN (OLD.version IS DISTINCT FROM NEW.version)"
    " EXECUTE PROCEDURE %1.rightsmith_keep_backup()",
    "UPDATE rightsmith_schema SET version = 5",
};
// The roles that may read the user template, who may read its backups too.
const char *const TemplateReaders =
    "SELECT DISTINCT CASE WHEN a.grantee = 0 THEN 'PUBLIC' "
    "    ELSE quote_ident(pg_get_userbyid(a.grantee)) END "
    "FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a "
    "WHERE c.oid = 'rightsmith_user_template'::regclass AND a.privilege_type = 'SELECT' "
    "AND a.grantee <> c.relowner ORDER BY 1";

// The roles that may change the user template.
const char *const TemplateWriters =
    "SELECT DISTINCT CASE WHEN a.grantee = 0 THEN 'PUBLIC' "
    "    ELSE quote_ident(pg_get_userbyid(a.grantee)) END "
    "FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a "
    "WHERE c.oid = 'rightsmith_user_template'::regclass AND a.privilege_type = 'UPDATE' "
    "AND a.grantee <> c.relowner ORDER BY 1";

// The functions the roles of the workstations may call.
const char *const WorkstationFunctions =
    "rightsmith_reserve_attempt(text, bytea, bytea, integer, integer, bigint, bigint), "
    "rightsmith_release_attempt(text, bytea, bytea, bigint, integer, bigint, integer, bigint), "
    "rightsmith_clear_failures(text, bytea), "
    "rightsmith_append_audit(text, text, text, text, text, bytea, bytea, text)";

// The roles (PUBLIC included) that may write the trail, its sequence, the
// failed logons or the settings directly, by table or by column, as SQL
// names: those of version 1, to be moved to the functions, and any that the
// owner's default privileges gave them. TRUNCATE empties a table; a trigger
// of TRIGGER's would run inside the functions with their owner's rights.
#define DIRECTLY_WRITTEN                                                                           \
    "('rightsmith_logon_failures'::regclass, 'rightsmith_audit_trail'::regclass, "                 \
    "to_regclass('rightsmith_audit_trail_id_seq'), to_regclass('rightsmith_settings'), "           \
    "to_regclass('rightsmith_user_template_backups'), "                                            \
    "to_regclass('rightsmith_user_template_backups_id_seq'), "                                     \
    "to_regclass('rightsmith_template_users_kept'))"
const char *const DirectWriters =
    "SELECT DISTINCT CASE WHEN g.grantee = 0 THEN 'PUBLIC' "
    "    ELSE quote_ident(pg_get_userbyid(g.grantee)) END "
    "FROM (SELECT c.relowner, a.grantee, a.privilege_type "
    "      FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a "
    "      WHERE c.oid IN " DIRECTLY_WRITTEN
    "      UNION ALL SELECT c.relowner, a.grantee, a.privilege_type "
    "      FROM pg_class c JOIN pg_attribute col ON col.attrelid = c.oid "
    "      CROSS JOIN LATERAL aclexplode(col.attacl) a WHERE c.oid IN " DIRECTLY_WRITTEN ") g "
    "WHERE g.privilege_type IN ('INSERT', 'UPDATE', 'DELETE', 'TRUNCATE', 'TRIGGER', "
    "'REFERENCES', 'USAGE') AND g.grantee <> g.relowner "
    "ORDER BY 1";
#undef DIRECTLY_WRITTEN

std::atomic_bool upgradeAdviceLogged {false};

/// \a name as a quoted SQL identifier; throws for a name no role can have.
QString quotedIdentifier(const QString &name)
{
    if (name.isEmpty() || name.contains(QChar(0)))
        throw Error(SharedStore::tr("\"%1\" cannot name a role.").arg(name));
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
        return SharedStore::tr("(an address that cannot be read)");
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
        : Error(SharedStore::tr("The user store refused this workstation: %1").arg(reason))
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
    /// A value sent as text, as a number.
    qint64 number(int row, int column) const { return bytes(row, column).toLongLong(); }
    /// The value's bytes where the result holds them, for as long as it lives.
    QByteArray view(int row, int column) const
    {
        return QByteArray::fromRawData(PQgetvalue(result.get(), row, column),
                                       PQgetlength(result.get(), row, column));
    }
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
        throw Error(SharedStore::tr("Out of memory connecting to the user "
                                    "store."));
    if (PQstatus(connection) != CONNECTION_OK) {
        const QString message =
            SharedStore::tr("Cannot connect to the user "
                            "store %1: %2")
                .arg(describe(connection, address), fromServer(PQerrorMessage(connection)));
        PQfinish(connection);
        throw Error(message);
    }
    // What the server says outside an answer (why it ends the connection,
    // say) goes to the store's log, not straight to standard error.
    PQsetNoticeProcessor(
        connection,
        [](void *, const char *message) {
            qCInfo(lcStore, "%s", QByteArray(message).trimmed().constData());
        },
        nullptr);
    std::unique_ptr<SharedStore> store(new SharedStore(connection));
    store->m_address = address;
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
    // A database nobody prepared: the administrator is told how to prepare it.
    if (state && qstrcmp(state, UndefinedTable) == 0)
        throw Error(SharedStore::tr("The user store %1 has not been made in this database (%2). "
                                    "An administrator makes it by running init-store:\n%3")
                        .arg(serverName(), reason, initStoreCommand(m_address)));
    throw Error(SharedStore::tr("The user store %1 failed: %2").arg(serverName(), reason));
}

void SharedStore::initSchema()
{
    prepareSchema(false, nullptr);
}

QStringList SharedStore::upgradeSchema()
{
    QStringList moved;
    prepareSchema(true, &moved);
    return moved;
}

namespace {

Error foreignTables(const QString &server, const QString &why)
{
    return Error(SharedStore::tr("The user store %1 holds tables this "
                                 "program did not make: %2")
                     .arg(server, why));
}

} // namespace

void SharedStore::checkAuditSequence()
{
    if (run(AuditSequenceIsOurs).text(0, 0) != u"t"_s)
        throw foreignTables(serverName(), QLatin1StringView(AuditSequenceName));
}

// Runs a version's \a statements, each with the current schema for "%1".
void SharedStore::runVersionStatements(std::span<const char *const> statements)
{
    const QString schema = run("SELECT quote_ident(current_schema())").text(0, 0);
    for (const char *statement : statements) {
        const QString sql = QString::fromLatin1(statement);
        run(sql.contains(u"%1"_s) ? sql.arg(schema).toUtf8().constData() : statement);
    }
}

void SharedStore::makeVersion2()
{
    runVersionStatements(Version2);
    m_schemaVersion = 2;
}

void SharedStore::makeVersion4()
{
    runVersionStatements(Version4);
    m_schemaVersion = 4;
}

// Keeps the users as rows; whoever may read or change the user template may
// read or change them.
void SharedStore::makeVersion5()
{
    runVersionStatements(Version5);
    const Result readers = run(TemplateReaders);
    for (int row = 0; row < readers.rows(); ++row)
        run(("GRANT SELECT ON rightsmith_template_users, rightsmith_template_users_kept TO "
             + readers.bytes(row, 0))
                .constData());
    const Result writers = run(TemplateWriters);
    for (int row = 0; row < writers.rows(); ++row)
        run(("GRANT INSERT, UPDATE, DELETE ON rightsmith_template_users TO "
             + writers.bytes(row, 0))
                .constData());
    m_schemaVersion = 5;
}

// Adds the backups to tables of version 2; the roles that may read the user
// template may read them.
void SharedStore::makeVersion3()
{
    runVersionStatements(Version3);
    const Result readers = run(TemplateReaders);
    for (int row = 0; row < readers.rows(); ++row)
        run(("GRANT SELECT ON rightsmith_user_template_backups TO " + readers.bytes(row, 0))
                .constData());
    m_schemaVersion = 3;
}

// Whatever else gave them, nobody but the owner writes those tables directly.
void SharedStore::revokeDirectWrites()
{
    const Result writers = run(DirectWriters);
    for (int row = 0; row < writers.rows(); ++row) {
        const QByteArray role = writers.bytes(row, 0);
        run(("REVOKE INSERT, UPDATE, DELETE, TRUNCATE, TRIGGER, REFERENCES ON "
             "rightsmith_logon_failures, rightsmith_audit_trail, rightsmith_settings, "
             "rightsmith_user_template_backups, rightsmith_template_users_kept FROM "
             + role)
                .constData());
        run(("REVOKE ALL ON SEQUENCE rightsmith_audit_trail_id_seq, "
             "rightsmith_user_template_backups_id_seq FROM "
             + role)
                .constData());
    }
}

// The version of the tables \a found (name to columns), once they are all
// this program's; "?" when the version cannot be told.
QString SharedStore::checkTables(const QHash<QString, QString> &found)
{
    // The version decides which tables to expect, once its own table is ours.
    QString version = u"?"_s;
    if (found.value(u"rightsmith_schema"_s) == QLatin1StringView(RelationsV1[0].columns)) {
        const Result stored = run("SELECT version FROM rightsmith_schema");
        if (stored.rows() == 1 && !stored.isNull(0, 0))
            version = stored.text(0, 0);
    }
    const std::span<const Relation> relations = version == u"1"_s ? std::span(RelationsV1)
        : version == u"2"_s                                       ? std::span(RelationsV2)
        : version == u"3"_s                                       ? std::span(RelationsV3)
        : version == u"4"_s                                       ? std::span(RelationsV4)
                                                                  : std::span(RelationsV5);
    // A table of other columns is named before one that is missing.
    for (const bool present : {true, false}) {
        for (const Relation &relation : relations) {
            const QString name = QLatin1StringView(relation.name);
            // A relation without columns is one the version does not have.
            const bool expected =
                relation.columns && found.value(name) == QLatin1StringView(relation.columns);
            if (found.contains(name) == present && expected != present)
                throw foreignTables(serverName(), name);
        }
    }
    checkAuditSequence();
    return version;
}

// Only the tables' owner may upgrade them.
void SharedStore::checkOwner()
{
    const Result owner =
        run("SELECT pg_get_userbyid(relowner), pg_get_userbyid(relowner) = "
            "current_user FROM pg_class WHERE oid = 'rightsmith_schema'::regclass");
    if (owner.text(0, 1) != u"t"_s)
        throw Error(SharedStore::tr("Only the owner of the tables of the user store "
                                    "%1 (%2) may upgrade them.")
                        .arg(serverName(), owner.text(0, 0)));
}

// Brings tables of version 1 to version 2, as their owner; the roles that
// wrote them directly are named in \a moved.
void SharedStore::upgradeFromVersion1(QStringList *moved)
{
    checkOwner();
    const Result writers = run(DirectWriters);
    makeVersion2();
    for (int row = 0; row < writers.rows(); ++row) {
        const QByteArray role = writers.bytes(row, 0);
        for (const QByteArray &statement :
             {"GRANT SELECT ON rightsmith_settings TO " + role,
              QByteArray("GRANT EXECUTE ON FUNCTION ") + WorkstationFunctions + " TO " + role})
            run(statement.constData());
        if (moved)
            moved->append(QString::fromUtf8(role));
    }
    // Their direct writes are revoked once the backups are there too.
}

bool SharedStore::prepareSchema(bool upgrade, QStringList *moved)
{
    Transaction transaction(*this);
    run(SchemaLock);
    const Result tables = run(DescribeTables);
    QHash<QString, QString> found;
    for (int row = 0; row < tables.rows(); ++row)
        found.insert(tables.text(row, 0), tables.text(row, 1));

    if (found.isEmpty()) {
        for (const char *statement : CreateTables)
            run(statement);
        checkAuditSequence(); // a foreign relation took its name: the grants would miss it
        makeVersion2();
        makeVersion3();
        makeVersion4();
        makeVersion5();
        revokeDirectWrites();
        transaction.commit();
        return true;
    }
    const QString version = checkTables(found);
    if (version == QString::number(SchemaVersion)) {
        m_schemaVersion = SchemaVersion;
        transaction.commit();
        return false;
    }
    const int from = version.toInt();
    if (from < 1 || from >= SchemaVersion)
        throw Error(SharedStore::tr("The user store %1 has a layout this "
                                    "program does not know (version %2).")
                        .arg(serverName(), version));
    if (!upgrade)
        throw Error(SharedStore::tr("The user store %1 has tables of version %2; "
                                    "upgrade them first, as their owner:\n%3")
                        .arg(serverName(), version, initStoreCommand(m_address, true)));
    if (from == 1)
        upgradeFromVersion1(moved);
    else
        checkOwner();
    if (from < 3)
        makeVersion3();
    if (from < 4)
        makeVersion4();
    // The templates stay whole until their next save lays them out as rows.
    makeVersion5();
    revokeDirectWrites();
    transaction.commit();
    return true;
}

int SharedStore::schemaVersion()
{
    if (m_schemaVersion == 0) {
        const Result stored = run("SELECT version FROM rightsmith_schema");
        m_schemaVersion = stored.rows() == 1 ? stored.text(0, 0).toInt() : 0;
        if (m_schemaVersion > 0 && m_schemaVersion < SchemaVersion
            && !upgradeAdviceLogged.exchange(true))
            qCWarning(lcStore, "%ls", qUtf16Printable(upgradeAdvice()));
    }
    return m_schemaVersion;
}

QString SharedStore::upgradeAdvice()
{
    if (schemaVersion() >= SchemaVersion)
        return QString();
    if (m_schemaVersion == 4)
        return SharedStore::tr("The user store %1 has tables of version 4, which send every "
                               "workstation the whole user template at every change. The "
                               "administrator should upgrade it, as the tables' owner:\n%2")
            .arg(serverName(), initStoreCommand(m_address, true));
    if (m_schemaVersion == 3)
        return SharedStore::tr("The user store %1 has tables of version 3, which keep no "
                               "roles. The administrator should upgrade it, as the tables' "
                               "owner:\n%2")
            .arg(serverName(), initStoreCommand(m_address, true));
    if (m_schemaVersion == 2)
        return SharedStore::tr("The user store %1 has tables of version 2, which keep no "
                               "backups of the user template. The administrator should "
                               "upgrade it, as the tables' owner:\n%2")
            .arg(serverName(), initStoreCommand(m_address, true));
    return SharedStore::tr("The user store %1 has tables of version %2: every "
                           "workstation may change its failed logons and its audit "
                           "trail. The administrator should upgrade it, as the tables' "
                           "owner:\n%3")
        .arg(serverName())
        .arg(m_schemaVersion)
        .arg(initStoreCommand(m_address, true));
}

QStringList SharedStore::grantStatements(const QString &workstationRole,
                                         const QString &administratorRole)
{
    QStringList statements;
    for (const QString &role :
         {quotedIdentifier(workstationRole), quotedIdentifier(administratorRole)}) {
        statements << u"GRANT SELECT ON rightsmith_schema, rightsmith_settings, "
                      u"rightsmith_user_template, rightsmith_user_template_backups, "
                      u"rightsmith_template_users, rightsmith_template_users_kept, "
                      u"rightsmith_logon_failures, "
                      u"rightsmith_audit_trail TO %1"_s.arg(role)
                   << u"GRANT EXECUTE ON FUNCTION %1 TO %2"_s.arg(
                          QLatin1StringView(WorkstationFunctions), role);
    }
    statements << u"GRANT INSERT, UPDATE ON rightsmith_user_template TO %1"_s.arg(
        quotedIdentifier(administratorRole))
               << u"GRANT INSERT, UPDATE, DELETE ON rightsmith_template_users TO %1"_s.arg(
                      quotedIdentifier(administratorRole));
    return statements;
}

namespace {

// The role template \a roles (\a null: none) as a load reads it, checked against \a size.
void readRoles(const QByteArray &roles, bool null, qint64 size, QByteArray &into, QString &problem)
{
    if (!null)
        into = roles;
    // Cut or padded on the way: the size saved with them tells.
    if (size != into.size())
        problem = SharedStore::tr("\"roles\" does not have the size \"roles_size\" says");
}

Error privilegeRefusal(const QString &reason)
{
    return Error(SharedStore::tr("This workstation may read the users but "
                                 "not change them (the server refused: "
                                 "%1).")
                     .arg(reason));
}

// The notification's payload: the key, then the version and the rows written.
QByteArray payloadOf(const QByteArray &key, qint64 version, const QList<int> *positions)
{
    QByteArray payload = key + '\n' + QByteArray::number(version) + ':';
    if (!positions)
        return payload + '*';
    for (qsizetype i = 0; i < positions->size(); ++i) {
        if (i > 0)
            payload += ',';
        payload += QByteArray::number(positions->at(i));
    }
    // The server takes at most 8000 bytes: a large change says "all".
    if (payload.size() > 7000)
        return key + '\n' + QByteArray::number(version) + ":*";
    return payload;
}

} // namespace

SharedStore::Stored SharedStore::load(const QString &storeKey)
{
    Stored stored;
    if (schemaVersion() >= 5) {
        // The store's row and its users' rows as of one moment.
        Transaction transaction(*this);
        run("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
        const QByteArray key = keyOf(storeKey);
        const Result head = run("SELECT version::text, template, roles, "
                                "COALESCE(roles_size, 0)::text, roles_version::text, "
                                "nodes::text, users::text "
                                "FROM rightsmith_user_template WHERE store_key = $1",
                                {key}, {}, true);
        if (head.rows() == 0)
            return stored;
        stored.exists = true;
        stored.version = head.number(0, 0);
        readRoles(head.bytes(0, 2), head.isNull(0, 2), head.number(0, 3), stored.roles,
                  stored.rolesProblem);
        Rows &rows = stored.rows;
        rows.version = stored.version;
        rows.rolesVersion = head.number(0, 4);
        const QByteArray kept = head.bytes(0, 1);
        if (kept != RowsMarker) {
            stored.stream = kept;
            return stored;
        }
        rows.split = true;
        rows.nodes = head.number(0, 5);
        const Result users = run("SELECT version::text, records, lines "
                                 "FROM rightsmith_template_users WHERE store_key = $1 "
                                 "ORDER BY position",
                                 {key}, {}, true);
        if (users.rows() != head.number(0, 6))
            throw Error(SharedStore::tr("The user store %1 answered with a user template whose "
                                        "users do not add up.")
                            .arg(serverName()));
        QList<TemplateRows::Row> parts;
        parts.reserve(users.rows());
        for (int row = 0; row < users.rows(); ++row) {
            parts.append({users.view(row, 1), users.view(row, 2)});
            rows.versions.append(users.number(row, 0));
            rows.hashes.append(TemplateRows::hashOf(parts.back()));
        }
        bool renumbered = false;
        stored.stream = TemplateRows::assemble(parts, &renumbered);
        rows.asStream = !renumbered;
        return stored;
    }
    const Result result =
        run(schemaVersion() >= 4 ? "SELECT version, template, roles, COALESCE(roles_size, 0)::text "
                                   "FROM rightsmith_user_template "
                                   "WHERE store_key = $1"
                                 : "SELECT version, template FROM rightsmith_user_template "
                                   "WHERE store_key = $1",
            {keyOf(storeKey)}, {}, true);
    if (result.rows() == 0)
        return stored;
    const QByteArray version = result.bytes(0, 0);
    if (version.size() != sizeof(qint64))
        throw Error(SharedStore::tr("The user store %1 answered with a "
                                    "malformed version.")
                        .arg(serverName()));
    stored.version = qFromBigEndian<qint64>(version.constData());
    stored.stream = result.bytes(0, 1);
    if (m_schemaVersion >= 4)
        readRoles(result.bytes(0, 2), result.isNull(0, 2), result.text(0, 3).toLongLong(),
                  stored.roles, stored.rolesProblem);
    stored.rows.version = stored.version;
    stored.exists = true;
    return stored;
}

SharedStore::Update SharedStore::update(const QString &storeKey, Rows &read,
                                        TzkSecurityTemplate &tree)
{
    Update update;
    if (!read.split || schemaVersion() < 5)
        return update;
    Transaction transaction(*this);
    run("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    const QByteArray key = keyOf(storeKey);
    const Result head = run("SELECT version::text, (template = " RIGHTSMITH_ROWS_MARKER ")::text, "
                            "users::text, nodes::text, roles_version::text "
                            "FROM rightsmith_user_template WHERE store_key = $1",
                            {key});
    // A store kept whole, or not the one read (made anew, or older), is loaded.
    if (head.rows() != 1 || head.text(0, 1) != u"true"_s || head.number(0, 0) < read.version)
        return update;
    const qint64 version = head.number(0, 0);
    const int users = int(head.number(0, 2));
    const qint64 rolesVersion = head.number(0, 4);
    update.applied = true;
    if (version == read.version)
        return update;
    update.changed = true;
    if (rolesVersion != read.rolesVersion) {
        const Result roles = run("SELECT roles, COALESCE(roles_size, 0)::text "
                                 "FROM rightsmith_user_template WHERE store_key = $1",
                                 {key}, {}, true);
        update.roles.emplace();
        readRoles(roles.bytes(0, 0), roles.isNull(0, 0), roles.number(0, 1), *update.roles,
                  update.rolesProblem);
    }
    QList<qint64> versions = read.versions;
    QList<size_t> hashes = read.hashes;
    versions.resize(users);
    hashes.resize(users);
    // Rows taken from \a result, which stays alive while they are used.
    // A row whose records come as changes to those read is patched from the tree.
    const auto rowsOf = [&](const Result &result) {
        QList<std::pair<int, TemplateRows::Row>> rows;
        for (int row = 0; row < result.rows(); ++row) {
            const int position = int(result.number(row, 0));
            TemplateRows::Row taken {result.isNull(row, 4) ? result.view(row, 2)
                                                           : TemplateRows::patchedRecords(
                                                               tree, position, result.view(row, 4)),
                                     result.view(row, 3)};
            versions[position] = result.number(row, 1);
            hashes[position] = TemplateRows::hashOf(taken);
            rows.append({position, taken});
        }
        return rows;
    };
    // A row saved once since it was read comes as the records that changed.
    const Result changed =
        run("SELECT u.position::text, u.version::text, CASE WHEN d.changes IS NULL "
            "THEN u.records END, u.lines, d.changes FROM rightsmith_template_users u "
            "LEFT JOIN rightsmith_template_users_kept k ON k.store_key = u.store_key "
            "AND k.position = u.position AND k.replaced_in = u.version AND k.version <= $2 "
            "CROSS JOIN LATERAL (SELECT rightsmith_changed_records(k.records, u.records) "
            "AS changes) d WHERE u.store_key = $1 AND u.version > $2 AND u.position < $3 "
            "ORDER BY u.position",
            {key, QByteArray::number(read.version), QByteArray::number(users)}, {}, true);
    Result rest;
    TemplateRows::splice(tree, rowsOf(changed), users, [&](int from) {
        rest = run("SELECT position::text, version::text, records, lines, NULL::bytea "
                   "FROM rightsmith_template_users WHERE store_key = $1 "
                   "AND position >= $2 AND position < $3 ORDER BY position",
                   {key, QByteArray::number(from), QByteArray::number(users)}, {}, true);
        QList<TemplateRows::Row> rows;
        for (auto &[position, row] : rowsOf(rest))
            rows.append(row);
        return rows;
    });
    read.version = version;
    read.rolesVersion = rolesVersion;
    read.nodes = head.number(0, 3);
    read.versions = std::move(versions);
    read.hashes = std::move(hashes);
    // The rows put in place are not vouched to save back as they came.
    read.tree = nullptr;
    return update;
}

qint64 SharedStore::version(const QString &storeKey)
{
    const Result result =
        run("SELECT version FROM rightsmith_user_template WHERE store_key = $1", {keyOf(storeKey)});
    return result.rows() == 1 ? result.text(0, 0).toLongLong() : 0;
}

void SharedStore::Rows::loadedInto(const TzkSecurityTemplate &loaded)
{
    tree = split && asStream && loaded.SavesAsRead() ? &loaded : nullptr;
    treeGeneration = loaded.generation();
}

// A template stream's rows as a save writes them: all of them, or (from a
// tree) only those of the users that changed, with every row's hash.
struct SharedStore::Cut
{
    /// None when the stream is not laid out as rows.
    std::optional<QList<TemplateRows::Row>> rows;
    QList<size_t> hashes;
    qint64 nodes = 0;
};

SharedStore::Cut SharedStore::cutOf(const QByteArray &stream)
{
    SharedStore::Cut cut;
    cut.rows = TemplateRows::split(stream);
    if (cut.rows) {
        for (const TemplateRows::Row &row : *cut.rows) {
            cut.nodes += row.nodes();
            cut.hashes.append(TemplateRows::hashOf(row));
        }
    }
    return cut;
}

// The rows of the users of \a tree changed since it held \a read (the others
// empty, with the hashes read); none when that cannot be vouched for: the
// tree was not the one read, a node was added or removed since, or a changed
// user's lines would not be cut as rows.
std::optional<SharedStore::Cut> SharedStore::cutChanged(TzkSecurityTemplate &tree, const Rows &read)
{
    const int users = tree.topLevelCount();
    if (read.tree != &tree || !read.split || read.version <= 0
        || tree.structureGeneration() > read.treeGeneration || users != read.hashes.size()
        || users != read.versions.size() || tree.count() != read.nodes)
        return std::nullopt;
    SharedStore::Cut cut;
    cut.rows.emplace(users);
    cut.hashes = read.hashes;
    cut.nodes = read.nodes;
    for (int position = 0; position < users; ++position) {
        if (tree.topLevelGeneration(position) <= read.treeGeneration)
            continue;
        std::optional<TemplateRows::Row> row = TemplateRows::rowOf(tree, position);
        if (!row)
            return std::nullopt;
        cut.hashes[position] = TemplateRows::hashOf(*row);
        (*cut.rows)[position] = std::move(*row);
    }
    return cut;
}

SharedStore::SaveResult
SharedStore::save(const QString &storeKey, const QByteArray &stream, qint64 basedOnVersion,
                  qint64 *newVersion,
                  const std::function<void(const QByteArray &, const QByteArray &)> &alongside,
                  const QByteArray *roles)
{
    Rows read;
    read.version = basedOnVersion;
    Alongside whole;
    if (alongside)
        whole = [&](const QByteArray &replaced, const QByteArray &replacedRoles,
                    const QByteArray *) {
            alongside(replaced, replacedRoles);
        };
    return save(storeKey, stream, read, newVersion, whole, roles);
}

SharedStore::SaveResult SharedStore::save(const QString &storeKey, const QByteArray &stream,
                                          Rows &read, qint64 *newVersion,
                                          const Alongside &alongside, const QByteArray *roles)
{
    if (roles && schemaVersion() < 4)
        throw Error(SharedStore::tr("The user store %1 has tables of version %2, which keep no "
                                    "roles; upgrade them first, as their owner:\n%3")
                        .arg(serverName())
                        .arg(m_schemaVersion)
                        .arg(initStoreCommand(m_address, true)));
    // The size column and libpq's parameter lengths are ints.
    if (stream.size() > std::numeric_limits<int>::max())
        throw Error(SharedStore::tr("The user template is too large for the "
                                    "user store."));
    const qint64 basedOnVersion = read.version;
    // Only the template's save says what a role that may only read cannot do.
    try {
        if (schemaVersion() >= 5)
            return saveRows(keyOf(storeKey), stream, cutOf(stream), read, newVersion, alongside,
                            roles);
        return [&] {
            const QByteArray key = keyOf(storeKey);
            const QByteArray size = QByteArray::number(stream.size());
            Transaction transaction(*this);
            QByteArray replaced;
            QByteArray replacedRoles;
            if (alongside && basedOnVersion != 0) {
                // The row stays locked until the update below, so it replaces exactly this.
                const Result old = run(schemaVersion() >= 4
                                           ? "SELECT template, roles FROM rightsmith_user_template "
                                             "WHERE store_key = $1 AND version = $2 FOR UPDATE"
                                           : "SELECT template FROM rightsmith_user_template "
                                             "WHERE store_key = $1 AND version = $2 FOR UPDATE",
                                       {key, QByteArray::number(basedOnVersion)}, {}, true);
                if (old.rows() != 1)
                    return SaveResult::Conflict;
                replaced = old.bytes(0, 0);
                if (m_schemaVersion >= 4 && !old.isNull(0, 1))
                    replacedRoles = old.bytes(0, 1);
            }
            const QByteArray version = QByteArray::number(basedOnVersion);
            // No role template is kept as NULL, which older programs never set.
            const QByteArray roleBytes = roles ? *roles : QByteArray();
            const QByteArray roleSize = QByteArray::number(roleBytes.size());
            const Result written = basedOnVersion == 0 && roles
                ? run(
                    "INSERT INTO rightsmith_user_template (store_key, version, template, size, "
                    "roles, roles_size) VALUES ($1, 1, $2, $3, NULLIF($4, ''::bytea), "
                    "NULLIF($5::integer, 0)) ON CONFLICT (store_key) DO NOTHING RETURNING version",
                    {key, stream, size, roleBytes, roleSize}, {false, true, false, true, false})
                : basedOnVersion == 0
                ? run("INSERT INTO rightsmith_user_template (store_key, version, template, size) "
                      "VALUES ($1, 1, $2, $3) ON CONFLICT (store_key) DO NOTHING RETURNING version",
                      {key, stream, size}, {false, true, false})
                : roles
                ? run("UPDATE rightsmith_user_template "
                      "SET version = version + 1, template = $2, size = $3, changed_at = now(), "
                      "roles = NULLIF($5, ''::bytea), roles_size = NULLIF($6::integer, 0) "
                      "WHERE store_key = $1 AND version = $4 RETURNING version",
                      {key, stream, size, version, roleBytes, roleSize},
                      {false, true, false, false, true, false})
                : run("UPDATE rightsmith_user_template "
                      "SET version = version + 1, template = $2, size = $3, changed_at = now() "
                      "WHERE store_key = $1 AND version = $4 RETURNING version",
                      {key, stream, size, version}, {false, true, false, false});
            if (written.rows() != 1)
                return SaveResult::Conflict; // the transaction rolls back
            if (alongside)
                alongside(replaced, replacedRoles, nullptr);
            run("SELECT pg_notify($1, $2)", {QByteArray(Channel), key});
            const qint64 stored = written.text(0, 0).toLongLong();
            transaction.commit();
            read.version = stored;
            if (newVersion)
                *newVersion = stored;
            return SaveResult::Saved;
        }();
    } catch (const PrivilegeError &error) {
        throw privilegeRefusal(error.reason);
    }
}

SharedStore::SaveResult SharedStore::save(const QString &storeKey, TzkSecurityTemplate &tree,
                                          Rows &read, qint64 *newVersion,
                                          const Alongside &alongside, const QByteArray *roles,
                                          const QByteArray *whole)
{
    std::optional<Cut> cut;
    if (schemaVersion() >= 5)
        cut = cutChanged(tree, read);
    SaveResult result = SaveResult::Conflict;
    if (cut) {
        try {
            result = saveRows(keyOf(storeKey), {}, *cut, read, newVersion, alongside, roles);
        } catch (const PrivilegeError &error) {
            throw privilegeRefusal(error.reason);
        }
    } else if (whole) {
        result = save(storeKey, *whole, read, newVersion, alongside, roles);
    } else {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        tree.SaveToStreamSecurity(out);
        result = save(storeKey, out.data(), read, newVersion, alongside, roles);
    }
    // Saved or not, the rows read stay what the tree held when it had them.
    if (result == SaveResult::Saved && read.split) {
        read.tree = &tree;
        read.treeGeneration = tree.generation();
    }
    return result;
}

// A save to tables of version 5. Based on rows read, it writes the rows whose
// bytes changed, each only when still at the version read; based on a whole
// template (or nothing), it is refused unless the store is still at the
// version read, and writes every row whose bytes differ. \a cut holds the
// rows of \a stream, or (from a tree) only the changed ones.
SharedStore::SaveResult SharedStore::saveRows(const QByteArray &key, const QByteArray &stream,
                                              const Cut &cut, Rows &read, qint64 *newVersion,
                                              const Alongside &alongside, const QByteArray *roles)
{
    const std::optional<QList<TemplateRows::Row>> &rows = cut.rows;
    const bool byRow = rows && read.split && read.version > 0;
    const int users = rows ? int(rows->size()) : 0;
    const qint64 nodes = cut.nodes;
    QList<size_t> hashes = cut.hashes;
    const int readUsers = int(read.versions.size());
    QList<int> changed; // rows written, then rows removed
    if (byRow) {
        for (int position = 0; position < users; ++position) {
            if (position >= readUsers || hashes[position] != read.hashes[position])
                changed.append(position);
        }
        for (int position = users; position < readUsers; ++position)
            changed.append(position);
    }
    const bool shapeChanged = users != readUsers || nodes != read.nodes;

    Transaction transaction(*this);
    QByteArray replaced;
    QByteArray replacedRoles;
    const QByteArray basedOn = QByteArray::number(read.version);
    const auto oldRows = [&](const char *where, const QList<QByteArray> &parameters) {
        const Result old = run((QByteArray("SELECT records, lines FROM rightsmith_template_users "
                                           "WHERE store_key = $1 ")
                                + where + " ORDER BY position")
                                   .constData(),
                               parameters, {}, true);
        QList<TemplateRows::Row> parts;
        for (int row = 0; row < old.rows(); ++row)
            parts.append({old.view(row, 0), old.view(row, 1)});
        return TemplateRows::assemble(parts);
    };
    if (alongside && read.version != 0) {
        // The store's row stays locked until the save ends: this is what it replaces.
        const Result old =
            run(byRow ? "SELECT template, roles FROM rightsmith_user_template "
                        "WHERE store_key = $1 FOR UPDATE"
                      : "SELECT template, roles FROM rightsmith_user_template "
                        "WHERE store_key = $1 AND version = $2 FOR UPDATE",
                byRow ? QList<QByteArray> {key} : QList<QByteArray> {key, basedOn}, {}, true);
        if (old.rows() != 1)
            return SaveResult::Conflict;
        if (!old.isNull(0, 1))
            replacedRoles = old.bytes(0, 1);
        QByteArray listed;
        for (const int position : std::as_const(changed))
            listed += (listed.isEmpty() ? "" : ",") + QByteArray::number(position);
        if (byRow)
            replaced = oldRows("AND position = ANY($2::integer[])", {key, '{' + listed + '}'});
        else if (old.bytes(0, 0) == RowsMarker)
            replaced = oldRows("", {key});
        else
            replaced = old.bytes(0, 0);
    }

    // The store's row first: its version orders the saves, and the backup
    // keeps the users as they were before any row below changes.
    const QByteArray roleBytes = roles ? *roles : QByteArray();
    const QByteArray kept = rows ? RowsMarker : stream;
    const QList<QByteArray> values {key,
                                    kept,
                                    QByteArray::number(kept.size()),
                                    QByteArray::number(users),
                                    QByteArray::number(nodes),
                                    roles ? "1" : "0",
                                    roleBytes,
                                    QByteArray::number(roleBytes.size()),
                                    basedOn,
                                    shapeChanged ? "1" : "0",
                                    QByteArray::number(readUsers),
                                    QByteArray::number(read.nodes),
                                    QByteArray::number(read.rolesVersion)};
    const QList<bool> binary {false, true, false, false, false, false, true};
    const Result head = read.version == 0
        ? run("INSERT INTO rightsmith_user_template AS t (store_key, version, template, size, "
              "users, nodes, roles, roles_size, roles_version) VALUES ($1, 1, $2, $3, $4, $5, "
              "CASE WHEN $6 = 1 THEN NULLIF($7, ''::bytea) END, "
              "CASE WHEN $6 = 1 THEN NULLIF($8::integer, 0) END, $6) "
              "ON CONFLICT (store_key) DO NOTHING RETURNING version, roles_version",
              values.mid(0, 8), binary)
        : run(QByteArray("UPDATE rightsmith_user_template SET version = version + 1, "
                         "template = $2, size = $3, users = $4, nodes = $5, changed_at = now(), "
                         "roles = CASE WHEN $6 = 1 THEN NULLIF($7, ''::bytea) ELSE roles END, "
                         "roles_size = CASE WHEN $6 = 1 THEN NULLIF($8::integer, 0) "
                         "ELSE roles_size END, "
                         "roles_version = CASE WHEN $6 = 1 THEN version + 1 ELSE roles_version END "
                         "WHERE store_key = $1 AND ")
                  + (byRow ? "template = " RIGHTSMITH_ROWS_MARKER " AND ($10 = 0 OR (users = $11 "
                             "AND nodes = $12)) AND ($6 = 0 OR roles_version = $13) "
                             "AND $9::bigint > 0 RETURNING version, roles_version"
                           : "version = $9 RETURNING version, roles_version"),
              byRow ? values : values.mid(0, 9), binary);
    if (head.rows() != 1)
        return SaveResult::Conflict; // the transaction rolls back
    const qint64 version = head.text(0, 0).toLongLong();
    const QByteArray stamp = QByteArray::number(version);

    QList<qint64> versions = read.versions;
    if (byRow) {
        versions.resize(users);
        for (const int position : std::as_const(changed)) {
            const QByteArray at = QByteArray::number(position);
            const QByteArray was =
                position < readUsers ? QByteArray::number(read.versions[position]) : "0";
            const Result written = position >= users
                ? run("DELETE FROM rightsmith_template_users WHERE store_key = $1 "
                      "AND position = $2 AND version = $3 RETURNING 1",
                      {key, at, was})
                : position >= readUsers
                ? run("INSERT INTO rightsmith_template_users VALUES ($1, $2, $3, $4, $5) "
                      "ON CONFLICT DO NOTHING RETURNING 1",
                      {key, at, stamp, rows->at(position).records, rows->at(position).lines},
                      {false, false, false, true, true})
                : run("UPDATE rightsmith_template_users SET version = $4, records = $5, "
                      "lines = $6 WHERE store_key = $1 AND position = $2 AND version = $3 "
                      "RETURNING 1",
                      {key, at, was, stamp, rows->at(position).records, rows->at(position).lines},
                      {false, false, false, false, true, true});
            // Another save wrote (or removed) this user since it was read.
            if (written.rows() != 1)
                return SaveResult::Conflict;
            if (position < users)
                versions[position] = version;
        }
    } else if (rows) {
        // Rows whose bytes are already there keep the version that wrote them.
        for (int position = 0; position < users; ++position) {
            run("INSERT INTO rightsmith_template_users AS u VALUES ($1, $2, $3, $4, $5) "
                "ON CONFLICT (store_key, position) DO UPDATE SET version = EXCLUDED.version, "
                "records = EXCLUDED.records, lines = EXCLUDED.lines "
                "WHERE (u.records, u.lines) IS DISTINCT FROM (EXCLUDED.records, EXCLUDED.lines)",
                {key, QByteArray::number(position), stamp, rows->at(position).records,
                 rows->at(position).lines},
                {false, false, false, true, true});
        }
        run("DELETE FROM rightsmith_template_users WHERE store_key = $1 AND position >= $2",
            {key, QByteArray::number(users)});
        const Result stored = run("SELECT version::text FROM rightsmith_template_users "
                                  "WHERE store_key = $1 ORDER BY position",
                                  {key});
        versions.clear();
        for (int row = 0; row < stored.rows(); ++row)
            versions.append(stored.number(row, 0));
    }
    if (alongside) {
        if (byRow) {
            QList<TemplateRows::Row> parts;
            for (const int position : std::as_const(changed)) {
                if (position < users)
                    parts.append(rows->at(position));
            }
            const QByteArray written = TemplateRows::assemble(parts);
            alongside(replaced, replacedRoles, &written);
        } else {
            alongside(replaced, replacedRoles, nullptr);
        }
    }
    run("SELECT pg_notify($1, $2)",
        {QByteArray(Channel), payloadOf(key, version, byRow ? &changed : nullptr)});
    transaction.commit();

    // Saves of other users in between leave the rows read behind the store.
    read.split = rows.has_value();
    read.tree = nullptr;
    if (!byRow || version == read.version + 1)
        read.version = version;
    read.rolesVersion = head.text(0, 1).toLongLong();
    read.nodes = nodes;
    read.versions = std::move(versions);
    read.hashes = std::move(hashes);
    if (newVersion)
        *newVersion = version;
    return SaveResult::Saved;
}

// The three newest backups of key $1 with their streams (s), and whether a
// backup is as kept: a whole one by its digest, one kept as a version by its
// size (and by keeping no stream of its own).
#define NEWEST_BACKUPS                                                                             \
    "(SELECT id, kept_at, users, template, digest, size, rightsmith_backup_stream(id) AS s "       \
    "FROM rightsmith_user_template_backups WHERE store_key = $1 ORDER BY id DESC LIMIT 3) b"
#define BACKUP_IS_GOOD                                                                             \
    "(CASE WHEN users IS NULL THEN sha256(s) = digest AND length(s) = size "                       \
    "ELSE length(s) = size AND length(template) = 0 END)::text"

QList<SharedStore::StoredBackup> SharedStore::backups(const QString &storeKey)
{
    QList<StoredBackup> list;
    if (schemaVersion() < 3)
        return list;
    const Result result =
        run(schemaVersion() >= 5
                ? "SELECT (extract(epoch FROM kept_at) * 1000)::bigint::text, s, " BACKUP_IS_GOOD
                  " FROM " NEWEST_BACKUPS " ORDER BY id DESC"
                : "SELECT (extract(epoch FROM kept_at) * 1000)::bigint::text, template, "
                  "(sha256(template) = digest AND length(template) = size)::text "
                  "FROM rightsmith_user_template_backups WHERE store_key = $1 "
                  "ORDER BY id DESC LIMIT 3",
            {keyOf(storeKey)}, {}, true);
    for (int row = 0; row < result.rows(); ++row) {
        list.append({QDateTime::fromMSecsSinceEpoch(result.bytes(row, 0).toLongLong(), Qt::UTC),
                     result.bytes(row, 1), result.bytes(row, 2) == "true"});
    }
    return list;
}

SharedStore::RestoreResult SharedStore::restoreBackup(const QString &storeKey, int number,
                                                      qsizetype *kept,
                                                      const std::function<void()> &alongside)
{
    if (schemaVersion() < 3)
        throw Error(upgradeAdvice());
    const QByteArray key = keyOf(storeKey);
    try {
        Transaction transaction(*this);
        // The template's row stays locked: no save comes between.
        run("SELECT 1 FROM rightsmith_user_template WHERE store_key = $1 FOR UPDATE", {key});
        const Result list =
            run(schemaVersion() >= 5
                    ? "SELECT id, " BACKUP_IS_GOOD " FROM " NEWEST_BACKUPS " ORDER BY id DESC"
                    : "SELECT id, (sha256(template) = digest AND length(template) = size)::text "
                      "FROM rightsmith_user_template_backups WHERE store_key = $1 "
                      "ORDER BY id DESC LIMIT 3",
                {key});
        if (kept)
            *kept = list.rows();
        if (number < 1 || number > list.rows())
            return RestoreResult::NoSuchBackup;
        if (list.text(number - 1, 1) != u"true"_s)
            return RestoreResult::NotGood;
        // The trigger keeps the template it replaces as the newest backup.
        // From version 5 on, the roles kept with the backup come back with
        // it (a backup kept before keeps the roles as they are), and the
        // template stays whole until the next save lays it out as rows.
        const Result restored =
            run(schemaVersion() >= 5
                    ? "UPDATE rightsmith_user_template u SET version = u.version + 1, "
                      "template = b.template, size = b.size, changed_at = now(), "
                      "roles = CASE WHEN b.roles_size IS NULL THEN u.roles ELSE b.roles END, "
                      "roles_size = CASE WHEN b.roles_size IS NULL THEN u.roles_size "
                      "ELSE NULLIF(b.roles_size, 0) END, "
                      "roles_version = CASE WHEN b.roles_size IS NULL THEN u.roles_version "
                      "ELSE u.version + 1 END FROM (SELECT roles, roles_size, template, "
                      "length(template) AS size FROM (SELECT roles, roles_size, "
                      "rightsmith_backup_stream(id) AS template "
                      "FROM rightsmith_user_template_backups WHERE id = $2) k) b "
                      "WHERE u.store_key = $1 RETURNING u.version"
                    : "UPDATE rightsmith_user_template u SET version = u.version + 1, "
                      "template = b.template, size = b.size, changed_at = now() "
                      "FROM rightsmith_user_template_backups b "
                      "WHERE u.store_key = $1 AND b.id = $2 RETURNING u.version",
                {key, list.bytes(number - 1, 0)});
        if (alongside)
            alongside();
        run("SELECT pg_notify($1, $2)",
            {QByteArray(Channel),
             m_schemaVersion >= 5 ? payloadOf(key, restored.number(0, 0), nullptr) : key});
        transaction.commit();
    } catch (const PrivilegeError &error) {
        throw privilegeRefusal(error.reason);
    }
    return RestoreResult::Restored;
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
    if (result.rows() == 1 && result.text(0, 0).toInt() > 0) {
        state.failures = result.text(0, 0).toInt();
        state.lastFailure = QDateTime::fromMSecsSinceEpoch(result.text(0, 1).toLongLong(), Qt::UTC);
    }
    return state;
}

namespace {

ThrottleState stateOf(const QString &failures, const QString &last)
{
    ThrottleState state;
    // A row of no failures is one a reservation made and did not count.
    if (failures.toInt() > 0) {
        state.failures = failures.toInt();
        state.lastFailure = QDateTime::fromMSecsSinceEpoch(last.toLongLong(), Qt::UTC);
    }
    return state;
}

qint64 lastOf(const ThrottleState &state)
{
    return state.lastFailure.isValid() ? state.lastFailure.toMSecsSinceEpoch() : 0;
}

qint64 ms(std::chrono::seconds seconds)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(seconds).count();
}

std::chrono::seconds secondsOf(qint64 ms)
{
    return std::chrono::seconds(ms > 0 ? (ms + 999) / 1000 : 0);
}

} // namespace

std::chrono::seconds SharedStore::wait(const QString &storeKey, const QByteArray &nameDigest,
                                       const ThrottleSettings &settings, const QDateTime &now)
{
    if (schemaVersion() < 2)
        return failures(storeKey, nameDigest).remaining(settings, now);
    const Result result = run("SELECT f.failures, f.last_failure, "
                              "(extract(epoch FROM clock_timestamp()) * 1000)::bigint "
                              "FROM (SELECT 1) one LEFT JOIN rightsmith_logon_failures f "
                              "ON f.store_key = $1 AND f.name_digest = $2",
                              {keyOf(storeKey), nameDigest}, {false, true});
    return stateOf(result.text(0, 0), result.text(0, 1))
        .remaining(settings,
                   QDateTime::fromMSecsSinceEpoch(result.text(0, 2).toLongLong(), Qt::UTC));
}

ThrottleReservation SharedStore::reserve(const QString &storeKey, const QByteArray &nameDigest,
                                         const QByteArray &workstationDigest,
                                         const ThrottleSettings &settings, const QDateTime &now)
{
    const QByteArray key = keyOf(storeKey);
    ThrottleReservation reservation;
    if (schemaVersion() >= 2) {
        const Result result =
            run("SELECT * FROM rightsmith_reserve_attempt($1, $2, $3, $4, $5, $6, $7)",
                {key, nameDigest, workstationDigest, number(settings.freeAttempts),
                 number(settings.forWorkstation().freeAttempts), number(ms(settings.firstDelay)),
                 number(ms(settings.maxDelay))},
                {false, true, true, false, false, false, false});
        reservation.wait = secondsOf(result.text(0, 0).toLongLong());
        reservation.at = result.text(0, 1).toLongLong();
        reservation.name = stateOf(result.text(0, 2), result.text(0, 3));
        reservation.workstation = stateOf(result.text(0, 4), result.text(0, 5));
        return reservation;
    }
    // Tables of version 1: the rows are made and locked, then decided on here.
    const qint64 at = msSinceEpoch(now);
    run("INSERT INTO rightsmith_logon_failures VALUES ($1, $2, 0, 0), ($1, $3, 0, 0) "
        "ON CONFLICT DO NOTHING",
        {key, nameDigest, workstationDigest}, {false, true, true});
    for (const auto &[digest, state] : {std::pair {nameDigest, &reservation.name},
                                        std::pair {workstationDigest, &reservation.workstation}}) {
        const Result row = run("SELECT failures, last_failure FROM rightsmith_logon_failures "
                               "WHERE store_key = $1 AND name_digest = $2 FOR UPDATE",
                               {key, digest}, {false, true});
        *state = stateOf(row.text(0, 0), row.text(0, 1));
    }
    const QDateTime current = QDateTime::fromMSecsSinceEpoch(at, Qt::UTC);
    reservation.wait =
        std::max(reservation.name.remaining(settings, current),
                 reservation.workstation.remaining(settings.forWorkstation(), current));
    if (!reservation.counted())
        return reservation;
    reservation.at = at;
    const QByteArray forgotten = number(at - ms(settings.forgetAfter));
    run("UPDATE rightsmith_logon_failures SET failures = CASE WHEN last_failure < $5 THEN 1 "
        "ELSE least(failures::bigint + 1, 2147483647) END, last_failure = $4 "
        "WHERE store_key = $1 AND name_digest IN ($2, $3)",
        {key, nameDigest, workstationDigest, number(at), forgotten},
        {false, true, true, false, false});
    run("DELETE FROM rightsmith_logon_failures WHERE store_key = $1 AND last_failure < $2",
        {key, forgotten});
    return reservation;
}

void SharedStore::release(const QString &storeKey, const QByteArray &nameDigest,
                          const QByteArray &workstationDigest,
                          const ThrottleReservation &reservation)
{
    if (!reservation.counted())
        return;
    const QByteArray key = keyOf(storeKey);
    if (schemaVersion() >= 2) {
        run("SELECT rightsmith_release_attempt($1, $2, $3, $4, $5, $6, $7, $8)",
            {key, nameDigest, workstationDigest, number(reservation.at),
             number(reservation.name.failures), number(lastOf(reservation.name)),
             number(reservation.workstation.failures), number(lastOf(reservation.workstation))},
            {false, true, true, false, false, false, false, false});
        return;
    }
    for (const auto &[digest, before] : {std::pair {nameDigest, reservation.name},
                                         std::pair {workstationDigest, reservation.workstation}}) {
        run("UPDATE rightsmith_logon_failures SET "
            "failures = CASE WHEN last_failure = $3 THEN least($4, failures - 1) "
            "ELSE failures - 1 END, "
            "last_failure = CASE WHEN last_failure = $3 THEN $5 ELSE last_failure END "
            "WHERE store_key = $1 AND name_digest = $2",
            {key, digest, number(reservation.at), number(before.failures), number(lastOf(before))},
            {false, true, false, false, false});
    }
    run("DELETE FROM rightsmith_logon_failures WHERE store_key = $1 AND failures <= 0", {key});
}

bool SharedStore::clearFailures(const QString &storeKey, const QByteArray &nameDigest)
{
    if (schemaVersion() >= 2)
        return run("SELECT rightsmith_clear_failures($1, $2)", {keyOf(storeKey), nameDigest},
                   {false, true})
                   .text(0, 0)
            == u"t"_s;
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
    if (schemaVersion() >= 2) {
        run("SELECT rightsmith_append_audit($1, $2, $3, $4, $5, $6, $7, $8)",
            {key, record.osUser.toUtf8(), record.host.toUtf8(), record.program.toUtf8(),
             AuditRecord::name(record.event).toUtf8(), record.user, record.actor,
             record.detail.toUtf8()},
            {false, false, false, false, false, true, true, false});
        return;
    }
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
        // Logons first, then changes, each by order of writing, as the local trail does.
        const qint64 excess =
            run("SELECT count(*) FROM rightsmith_audit_trail WHERE store_key = $1", {key})
                .text(0, 0)
                .toLongLong()
            - limits.keepRows;
        if (excess > 0) {
            const qint64 dropped =
                run("DELETE FROM rightsmith_audit_trail WHERE id IN (SELECT id FROM "
                    "rightsmith_audit_trail WHERE store_key = $1 AND event IN ('logon accepted', "
                    "'logon refused', 'logon throttled') ORDER BY id LIMIT $2) RETURNING 1",
                    {key, number(excess)})
                    .rows();
            if (dropped < excess)
                run("DELETE FROM rightsmith_audit_trail WHERE id IN (SELECT id FROM "
                    "rightsmith_audit_trail WHERE store_key = $1 ORDER BY id LIMIT $2)",
                    {key, number(excess - dropped)});
        }
    }
}

QList<AuditRecord> SharedStore::readAudit(const QString &storeKey, const QDateTime &since,
                                          const QByteArray &user)
{
    // Tables of version 1 know neither the role nor the count.
    const char *const sql = schemaVersion() >= 2
        ? "SELECT time::text, os_user, host, program, event, user_name, actor, detail, role, "
          "repeats::text FROM rightsmith_audit_trail WHERE store_key = $1 AND time >= $2 "
          "AND ($3 = 0 OR user_name = $4 OR actor = $4) ORDER BY time, id"
        : "SELECT time::text, os_user, host, program, event, user_name, actor, detail, "
          "''::text, '1'::text FROM rightsmith_audit_trail WHERE store_key = $1 AND time >= $2 "
          "AND ($3 = 0 OR user_name = $4 OR actor = $4) ORDER BY time, id";
    const Result result = run(
        sql,
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
        record.role = result.text(row, 8);
        record.count = std::max(1, result.bytes(row, 9).toInt());
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
        // The key, without what follows it on a line of its own.
        if (qstrcmp(notify->relname, Channel) == 0)
            m_pending.append(QString::fromUtf8(notify->extra).section(u'\n', 0, 0));
        PQfreemem(notify);
    }
    if (m_pending.size() > before && m_notificationsPending)
        m_notificationsPending();
}

QStringList SharedStore::takeNotifications()
{
    if (!PQconsumeInput(m_connection) || PQstatus(m_connection) == CONNECTION_BAD)
        throw Error(SharedStore::tr("The user store %1 failed: %2")
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

void SharedStoreWatcher::checkNow()
{
    // A server that ends the connection says why first; the end itself shows
    // on the read after that one. Neither read waits.
    drain();
    drain();
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
