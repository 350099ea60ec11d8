// rightsmith-users: looks into the user store that the security component
// keeps under a key of the per-user registry (and, in file mode, in a file):
// the users, one user's rights, a password check, the recent user names and
// the audit trail; checks that the store loads as the component loads it,
// puts a kept copy of the user template back, sets a password and clears a
// lock, makes the tables of a shared user store on PostgreSQL and copies the
// user template between the local store and a shared one. With --store, the
// shared store's user template, failed logons and audit trail are used. Only
// "restore", "passwd", "unlock", "init-store" and "copy-store" write: every
// other command opens the registry read-only, and only when it already exists.
//
// Exit status: 0 success; 1 an error (message on stderr), a store that does
// not load ("verify") or, for "check", a password that does not match; 2 a
// usage error or an unknown user.
#include "security/component/logoncheck.h"
#include "security/hardening/audittrail.h"
#include "security/model/passwordhash.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore.h"
#include "security/store/storenames.h"
#include "security/store/userstore.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"
#include "toolkit/textlines.h"

#include <QBuffer>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString &DefaultKey = zkSecurity::StoreNames::DefaultKey;

enum ExitCode { ExitOk = 0, ExitError = 1, ExitUsage = 2 };

// A failure that ends the tool with \a code after printing \a message.
struct Failure
{
    int code;
    QString message;
};

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString text(const QByteArray &bytes)
{
    return rightsmith::toolkit::Codec::toUnicode(bytes);
}

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

class Store
{
public:
    // \a shared: the address of a shared store that holds the user template
    // under \a key; empty for the local one.
    Store(const QString &key, const QString &file, const QString &shared = {})
        : m_key(key)
        , m_file(file)
        , m_shared(shared)
    {
    }

    bool isShared() const { return !m_shared.isEmpty(); }

    // The shared store, connected on first use; throws when it cannot be reached.
    zkSecurity::SharedStore &shared()
    {
        if (!m_sharedStore)
            m_sharedStore = zkSecurity::SharedStore::connect(m_shared);
        return *m_sharedStore;
    }

    // The open key of the existing registry; throws a Failure when there is none.
    rightsmith::toolkit::Registry &registry()
    {
        if (!m_registry) {
            const QString path = rightsmith::toolkit::Registry::defaultPath();
            if (!QFileInfo::exists(path))
                throw Failure {ExitError, u"no user store: %1 does not exist"_s.arg(path)};
            auto registry = std::make_unique<rightsmith::toolkit::Registry>(
                path, rightsmith::toolkit::Registry::ReadOnly);
            if (!registry->openKey(m_key, false))
                throw Failure {ExitError, u"no user store under the key %1"_s.arg(m_key)};
            m_registry = std::move(registry);
        }
        return *m_registry;
    }

    // The stored user template; empty when the key holds none.
    void loadUserTemplate(zkSecurity::TzkSecurityTemplate &tmpl)
    {
        QByteArray data = stream().value_or(QByteArray());
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        tmpl.LoadFromStreamSecurity(buffer);
    }

    // The stored user template's stream; none when the key holds none.
    std::optional<QByteArray> stream()
    {
        QByteArray data;
        if (isShared()) {
            const zkSecurity::SharedStore::Stored stored = shared().load(m_key);
            if (!stored.exists)
                throw Failure {ExitError,
                               u"no user template under the key %1 in %2"_s.arg(
                                   m_key, zkSecurity::SharedStore::displayAddress(m_shared))};
            return stored.stream;
        }
        if (!m_file.isEmpty()) {
            // Read as the program reads it: only the file its last save
            // committed, never through a link or from another account.
            const zkSecurity::UserStoreSettings where = settings();
            zkSecurity::UserStore userStore(rightsmith::toolkit::Registry::ReadOnly);
            zkSecurity::TzkSecurityTemplate users;
            QList<QByteArray> lastUsers;
            QByteArray password;
            userStore.load(where, users, lastUsers, password);
            if (userStore.state() == zkSecurity::UserStore::State::NeverWritten)
                throw Failure {ExitError,
                               u"no user template is stored in %1"_s.arg(
                                   zkSecurity::UserStore::location(where))};
            if (userStore.state() != zkSecurity::UserStore::State::Loaded)
                throw Failure {ExitError,
                               u"cannot read %1: %2 (\"rightsmith-users verify\" says more)"_s.arg(
                                   zkSecurity::UserStore::location(where), userStore.problem())};
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            users.SaveToStreamSecurity(buffer);
        } else {
            rightsmith::toolkit::Registry &reg = registry();
            const std::optional<QByteArray> value =
                reg.readBinary(zkSecurity::StoreNames::UserTemplate);
            if (!value) {
                const std::optional<QByteArray> fileName =
                    reg.valueType(zkSecurity::StoreNames::UserTemplateFileName)
                        == rightsmith::toolkit::Registry::String
                    ? reg.readString(zkSecurity::StoreNames::UserTemplateFileName)
                    : std::nullopt;
                if (fileName) {
                    throw Failure {ExitError,
                                   u"the key holds no \"UserTemplate\" value; the user template is "
                                   u"kept in the file \"%1\" (use --file)"_s.arg(text(*fileName))};
                }
                return std::nullopt;
            }
            data = *value;
            const std::optional<qint32> size =
                reg.valueType(zkSecurity::StoreNames::UserTemplateSize)
                    == rightsmith::toolkit::Registry::Integer
                ? reg.readInteger(zkSecurity::StoreNames::UserTemplateSize)
                : std::nullopt;
            if (size && *size != data.size()) {
                err() << "rightsmith-users: warning: \"UserTemplateSize\" is " << *size
                      << ", the value holds " << data.size() << " bytes\n";
            }
        }
        return data;
    }

    // True when the store's key holds the binary value \a name.
    bool hasValue(const QString &name)
    {
        try {
            return registry().valueType(name) == rightsmith::toolkit::Registry::Binary;
        } catch (const Failure &) {
            return false;
        }
    }

    // Where the component keeps the user template: in the file given, or in
    // the file the store records when it holds no "UserTemplate" value (a
    // relative name is taken from the current directory, as the program
    // does), or in the "UserTemplate" value.
    zkSecurity::UserStoreSettings settings()
    {
        zkSecurity::UserStoreSettings settings;
        settings.key = m_key;
        settings.fileName = m_file;
        settings.inFile = !m_file.isEmpty();
        if (!settings.inFile) {
            try {
                rightsmith::toolkit::Registry &reg = registry();
                if (reg.valueType(zkSecurity::StoreNames::UserTemplate)
                        == rightsmith::toolkit::Registry::None
                    && reg.valueType(zkSecurity::StoreNames::UserTemplateFileName)
                        == rightsmith::toolkit::Registry::String) {
                    settings.fileName = text(
                        reg.readString(zkSecurity::StoreNames::UserTemplateFileName).value_or(""));
                    settings.inFile = true;
                }
            } catch (const Failure &) {
                // No store to say where: the "UserTemplate" value, as by default.
            } catch (const rightsmith::toolkit::Error &) {
            }
        }
        settings.sharedAddress = m_shared;
        return settings;
    }

    QList<QByteArray> lastUsers()
    {
        rightsmith::toolkit::Registry &reg = registry();
        const std::optional<QByteArray> value = reg.readBinary(zkSecurity::StoreNames::LastUsers);
        return value ? rightsmith::toolkit::splitTextLines(*value) : QList<QByteArray>();
    }

private:
    QString m_key;
    QString m_file;
    QString m_shared;
    std::unique_ptr<zkSecurity::SharedStore> m_sharedStore;
    std::unique_ptr<rightsmith::toolkit::Registry> m_registry;
};

zkSecurity::TreeNode *findUser(const zkSecurity::TzkSecurityTemplate &tmpl, const QString &name)
{
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    zkSecurity::TreeNode *node = bytes ? tmpl.GetUserNodeByUserName(*bytes) : nullptr;
    if (!node)
        throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
    return node;
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

void printJson(const QJsonArray &array)
{
    out() << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

// Loads the store exactly as the security component does, read-only, and
// says what is wrong; 0 when it loads.
int verify(Store &store)
{
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

// The number of users in the template stream \a stream; when it does not
// load, fails with \a failure and the reason.
int usersIn(QByteArray stream, const QString &failure)
{
    zkSecurity::TzkSecurityTemplate userTemplate;
    try {
        QBuffer buffer(&stream);
        buffer.open(QIODevice::ReadOnly);
        userTemplate.LoadFromStreamSecurity(buffer);
    } catch (const rightsmith::toolkit::Error &error) {
        throw Failure {ExitError, u"%1: %2"_s.arg(failure, error.message())};
    }
    return userTemplate.topLevelCount();
}

// Puts a kept copy (a file, or a value of the store's key) back as the user
// template, after checking that it loads.
bool keepsTrail(Store &store, const QString &key);

int restoreShared(Store &store, const QString &key, const QString &source, const QByteArray &stream,
                  int users);

int restore(Store &store, const QString &key, const QString &source)
{
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = keepsTrail(store, key);
    QByteArray stream;
    if (store.isShared() && !QFileInfo(source).isFile()) {
        throw Failure {ExitError, u"no file named %1 (with --store, COPY is a file)"_s.arg(source)};
    } else if (QFileInfo(source).isFile()) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure {ExitError, u"cannot read %1: %2"_s.arg(source, file.errorString())};
        stream = file.readAll();
    } else if (store.hasValue(source)) {
        stream = store.registry().readBinary(source).value_or(QByteArray());
    } else {
        throw Failure {ExitError, u"no file and no binary value of the key named %1"_s.arg(source)};
    }

    const int users = usersIn(stream, u"%1 does not load, nothing was changed"_s.arg(source));
    if (!zkSecurity::UserStore::isCompleteStream(stream))
        err() << "rightsmith-users: warning: " << source
              << " loads, but not exactly as a save writes it; some texts may be damaged\n";
    if (store.isShared())
        return restoreShared(store, key, source, stream, users);

    const QString kept = zkSecurity::UserStore::restore(settings, stream);
    if (!kept.isEmpty())
        out() << "the user template it replaces is kept as " << kept << '\n';
    out() << "restored " << users << " users from " << source << " to "
          << zkSecurity::UserStore::location(settings) << '\n';
    return ExitOk;
}

// Puts \a stream (from the file \a source) on the shared store of \a store,
// compare-and-set, after keeping the user template it replaces beside
// \a source; recorded in the trail when the store keeps one.
int restoreShared(Store &store, const QString &key, const QString &source, const QByteArray &stream,
                  int users)
{
    zkSecurity::SharedStore &shared = store.shared();
    const zkSecurity::SharedStore::Stored stored = shared.load(key);
    QString kept;
    if (stored.exists && stored.stream != stream) {
        kept = u"%1.replaced-version-%2"_s.arg(source).arg(stored.version);
        QSaveFile file(kept);
        if (!file.open(QIODevice::WriteOnly) || file.write(stored.stream) != stored.stream.size()
            || !file.commit())
            throw Failure {ExitError,
                           u"cannot keep the current user template as %1: %2; "
                           u"nothing was changed"_s.arg(kept, file.errorString())};
    }
    const bool trail = keepsTrail(store, key);
    const auto record = [&](const QByteArray &) {
        if (!trail)
            return;
        zkSecurity::AuditRecord entry;
        for (const auto &[event, detail] :
             {std::pair {zkSecurity::AuditEvent::StoreKeptAside, kept},
              std::pair {zkSecurity::AuditEvent::StoreRestored, source}}) {
            if (detail.isEmpty())
                continue;
            entry.event = event;
            entry.detail = detail;
            shared.appendAudit(key, entry, {}, QDateTime());
        }
    };
    zkSecurity::UserStoreSettings settings = store.settings();
    if (shared.save(key, stream, stored.version, nullptr, record)
        != zkSecurity::SharedStore::SaveResult::Saved)
        throw Failure {ExitError,
                       u"the user template in %1 was changed meanwhile; nothing was "
                       u"restored"_s.arg(zkSecurity::UserStore::location(settings))};
    if (!kept.isEmpty())
        out() << "the user template it replaces is kept as " << kept << '\n';
    out() << "restored " << users << " users from " << source << " to "
          << zkSecurity::UserStore::location(settings) << '\n';
    return ExitOk;
}

// The password on stdin, without the line break that ends it: terminal text
// in the locale's encoding, stored in the system's code page.
QByteArray passwordFromStdin()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw Failure {ExitError, u"cannot read the password from stdin"_s};
    QByteArray typed = input.readAll();
    if (typed.endsWith('\n'))
        typed.chop(typed.endsWith("\r\n") ? 2 : 1);
    const std::optional<QByteArray> password =
        rightsmith::toolkit::Codec::fromUnicode(QString::fromLocal8Bit(typed));
    if (!password)
        throw Failure {ExitError, u"the password has characters the store cannot hold"_s};
    return *password;
}

// True when the store keeps an audit trail: the program that writes it has
// the trail on, so changes made here are recorded too.
bool keepsTrail(Store &store, const QString &key)
{
    try {
        if (store.isShared())
            return store.shared().hasAuditRecords(key);
        return zkSecurity::AuditTrail(store.registry(), key).hasRecords();
    } catch (const Failure &) {
        return false;
    }
}

// The cost to hash a new password at: the highest any user of \a users was
// hashed at (at least the recommended one); empty when nobody is hashed.
std::optional<zkSecurity::PasswordHashCost> hashCostOf(const zkSecurity::TzkSecurityTemplate &users)
{
    std::optional<zkSecurity::PasswordHashCost> cost;
    for (int i = 0; i < users.topLevelCount(); ++i) {
        const zkSecurity::TreeNode *passwordNode = users.topLevel(i)->firstChild();
        const zkSecurity::TzkNodeRecord *record = passwordNode ? passwordNode->data() : nullptr;
        const auto found = record ? zkSecurity::PasswordHash::costOf(*record) : std::nullopt;
        if (!found)
            continue;
        if (!cost)
            cost = zkSecurity::PasswordHashCost::recommended();
        cost->passes = std::max(cost->passes, found->passes);
        cost->memoryKiB = std::max(cost->memoryKiB, found->memoryKiB);
    }
    return cost;
}

// Sets USER's password from stdin, hashed when the store's users are, and
// saves through the store as the program does.
int setPassword(Store &store, const QString &key, const QString &name)
{
    if (!store.isShared())
        store.registry(); // a store that is not there is not made here
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = keepsTrail(store, key);
    // What the store would show in a message box (a refused save) ends the tool instead.
    QString message;
    const rightsmith::toolkit::MessageHook previous = rightsmith::toolkit::setMessageHook(
        [&message](rightsmith::toolkit::MessageKind, const QString &text) {
            message = text;
            return false;
        });
    zkSecurity::UserStore userStore;
    zkSecurity::TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray remembered;
    userStore.load(settings, users, lastUsers, remembered);
    if (userStore.state() != zkSecurity::UserStore::State::Loaded)
        throw Failure {ExitError,
                       userStore.problem().isEmpty()
                           ? u"no users are stored under the key %1"_s.arg(key)
                           : u"the users cannot be loaded: %1"_s.arg(userStore.problem())};
    zkSecurity::TreeNode *user = findUser(users, name);
    zkSecurity::TreeNode *passwordNode = user->firstChild();
    if (!passwordNode)
        throw Failure {ExitError, u"%1 has no password node"_s.arg(name)};
    const QByteArray password = passwordFromStdin();
    if (password.contains('\0'))
        throw Failure {ExitError, u"a password cannot hold a zero byte"_s};
    const std::optional<zkSecurity::PasswordHashCost> cost = hashCostOf(users);
    if (QString tooLong; !zkSecurity::PasswordHash::fits(password, cost, &tooLong))
        throw Failure {ExitError, tooLong};
    zkSecurity::TzkNodeRecord record =
        passwordNode->data() ? *passwordNode->data() : zkSecurity::TzkNodeRecord();
    zkSecurity::PasswordHash::storePassword(record, password, cost);
    passwordNode->setData(record);
    const bool saved = userStore.save(settings, users, lastUsers, QByteArray());
    rightsmith::toolkit::setMessageHook(previous);
    // Another program's save since the users were read is never undone.
    if (!saved && userStore.changedElsewhere())
        throw Failure {ExitError,
                       u"the users in %1 were changed by another program since they were read; "
                       u"the password was not set; run passwd again"_s.arg(
                           zkSecurity::UserStore::location(settings))};
    if (!saved)
        throw Failure {ExitError, message.isEmpty() ? u"the store was not written"_s : message};
    out() << "the password of " << name << " is set (" << (cost ? "hashed" : "scrambled") << ")\n";
    return ExitOk;
}

// Forgets the failed logons counted for NAME.
int unlock(Store &store, const QString &key, const QString &name)
{
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    if (!bytes)
        throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
    // A store that is not there is not made here; a server that cannot be
    // reached is an error, not a reason to clear a local count instead.
    if (store.isShared())
        store.shared();
    else
        store.registry();
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = keepsTrail(store, key);
    const bool cleared = zkSecurity::LogonCheck(settings).unlock(*bytes, QByteArray());
    out() << (cleared ? "the failed logons of %1 are forgotten\n"_L1
                      : "no failed logons of %1 are counted\n"_L1)
                 .arg(name);
    return ExitOk;
}

// The audit trail, oldest first.
int audit(Store &store, const QString &key, const QString &since, const QString &name, bool json)
{
    QDateTime from;
    if (!since.isEmpty()) {
        from = QDateTime::fromString(since, Qt::ISODateWithMs);
        if (!from.isValid())
            from = QDate::fromString(since, Qt::ISODate).startOfDay(Qt::UTC);
        if (!from.isValid())
            throw Failure {ExitUsage,
                           u"not a time: %1 (use e.g. 2026-12-08T10:00:00Z)"_s.arg(since)};
    }
    QByteArray user;
    if (!name.isEmpty()) {
        const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
        if (!bytes)
            throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
        user = *bytes;
    }
    if (store.isShared()) {
        const QString advice = store.shared().upgradeAdvice();
        if (!advice.isEmpty())
            err() << "rightsmith-users: warning: " << advice << '\n';
    }
    const QList<zkSecurity::AuditRecord> records = store.isShared()
        ? store.shared().readAudit(key, from, user)
        : zkSecurity::AuditTrail(store.registry(), key).read(from, user);
    QJsonArray array;
    for (const zkSecurity::AuditRecord &entry : records) {
        const QString time = entry.time.toUTC().toString(Qt::ISODateWithMs);
        const QString event = zkSecurity::AuditRecord::name(entry.event);
        if (json) {
            array.append(QJsonObject {{u"time"_s, time},
                                      {u"event"_s, event},
                                      {u"user"_s, text(entry.user)},
                                      {u"actor"_s, text(entry.actor)},
                                      {u"detail"_s, entry.detail},
                                      {u"osUser"_s, entry.osUser},
                                      {u"host"_s, entry.host},
                                      {u"program"_s, entry.program},
                                      {u"count"_s, entry.count},
                                      {u"role"_s, entry.role}});
            continue;
        }
        out() << time << "  " << event;
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
    if (json)
        printJson(array);
    return ExitOk;
}

// Makes the tables of the shared store at \a address (or checks that they are
// ours), or with \a upgrade brings tables of version 1 up to date, and prints,
// as SQL for psql, the rights its roles need.
int initStore(const QString &address, const QString &workstationRole,
              const QString &administratorRole, bool upgrade)
{
    const QStringList grants =
        zkSecurity::SharedStore::grantStatements(workstationRole, administratorRole);
    const auto store = zkSecurity::SharedStore::connect(address);
    if (upgrade) {
        const int before = store->schemaVersion();
        const QStringList moved = store->upgradeSchema();
        if (before < zkSecurity::SharedStore::SchemaVersion)
            out() << "-- upgraded from version " << before << " to version "
                  << zkSecurity::SharedStore::SchemaVersion << ", every row kept\n";
        if (!moved.isEmpty())
            out() << "-- these roles now write the failed logons and the trail only through "
                     "the store's functions: "
                  << moved.join(u", "_s) << '\n';
    } else {
        store->initSchema();
    }
    out() << "-- the schema is ready in " << store->serverName() << '\n'
          << "-- Rights of the workstation role " << workstationRole
          << " and the administrator role " << administratorRole << ".\n"
          << "-- Create the roles first; run as the tables' owner, e.g. piped to psql.\n";
    for (const QString &statement : grants)
        out() << statement << ";\n";
    return ExitOk;
}

// Copies the local user template of \a store to the shared store at
// \a address under the same key (toServer), or back; a template the server
// holds already is replaced only with \a replace.
int copyStore(Store &store, const QString &key, const QString &address, bool toServer, bool replace)
{
    zkSecurity::UserStoreSettings sharedSettings;
    sharedSettings.key = key;
    sharedSettings.sharedAddress = address;
    const QString server = zkSecurity::UserStore::location(sharedSettings);
    const auto shared = zkSecurity::SharedStore::connect(address);
    const zkSecurity::SharedStore::Stored stored = shared->load(key);
    if (toServer) {
        const QString from = zkSecurity::UserStore::location(store.settings());
        const std::optional<QByteArray> stream = store.stream();
        if (!stream)
            throw Failure {ExitError, u"no user template is stored in %1"_s.arg(from)};
        const int users = usersIn(
            *stream, u"the user template of %1 does not load, nothing was copied"_s.arg(from));
        if (stored.exists && !replace)
            throw Failure {
                ExitError,
                u"%1 holds a user template already (version %2); nothing was copied "
                u"(--replace replaces it)"_s.arg(server, QString::number(stored.version))};
        if (shared->save(key, *stream, stored.version)
            != zkSecurity::SharedStore::SaveResult::Saved)
            throw Failure {ExitError,
                           u"the user template in %1 was changed while it was copied; nothing "
                           u"was copied"_s.arg(server)};
        out() << "copied " << users << " users from " << from << " to " << server << '\n';
        return ExitOk;
    }
    if (!stored.exists)
        throw Failure {ExitError, u"no user template is stored in %1"_s.arg(server)};
    const int users = usersIn(
        stored.stream, u"the user template of %1 does not load, nothing was copied"_s.arg(server));
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = keepsTrail(store, key);
    const QString kept = zkSecurity::UserStore::restore(settings, stored.stream);
    if (!kept.isEmpty())
        out() << "the user template it replaces is kept as " << kept << '\n';
    out() << "copied " << users << " users from " << server << " to "
          << zkSecurity::UserStore::location(settings) << '\n';
    return ExitOk;
}

int run(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Shows the users of a Rightsmith user store. Commands:\n"
        u"  list          the users\n"
        u"  rights USER   the rights of USER, marked (Yes) or (No), with their identifiers\n"
        u"  check USER    reads a password on stdin; exit 0 when it is USER's, 1 when not\n"
        u"  recent        the recent user names, oldest first\n"
        u"  verify        loads the store as the program does and says what is wrong\n"
        u"  restore COPY  puts a kept copy of the user template (a file, or a value of\n"
        u"                the key such as UserTemplate.unreadable-...) back, after\n"
        u"                checking that it loads\n"
        u"  passwd USER   sets USER's password from stdin (hashed when the store's\n"
        u"                users are hashed)\n"
        u"  unlock USER   forgets the failed logons counted for USER\n"
        u"  audit         the audit trail, oldest first (--since TIME, --user NAME)\n"
        u"  init-store URL\n"
        u"                makes the tables of a shared user store on PostgreSQL (URL:\n"
        u"                a libpq connection string) and prints the GRANT statements\n"
        u"                for its roles (--workstation-role, --administrator-role);\n"
        u"                with --upgrade, brings tables of an older version up to date\n"
        u"                (as the tables' owner), keeping every row\n"
        u"  copy-store --from local --to URL [--replace]\n"
        u"  copy-store --from URL --to local\n"
        u"                copies the local user template (found by --key and --file) to\n"
        u"                the shared store at URL under the same key, refused when one\n"
        u"                is there already unless --replace; or copies the shared one\n"
        u"                into the local store, keeping the one it replaces aside\n"
        u"With --store URL, the commands use the shared store at URL under --key: its\n"
        u"user template, failed logons and audit trail (restore then takes a file and\n"
        u"keeps the template it replaces beside it); recent stays local.\n"
        u"Only restore, passwd, unlock, init-store and copy-store write."_s);
    parser.addHelpOption();
    const QCommandLineOption keyOption(u"key"_s,
                                       u"The store's registry key (default %1)."_s.arg(DefaultKey),
                                       u"KEY"_s, DefaultKey);
    const QCommandLineOption fileOption(
        u"file"_s, u"Read the user template from FILE instead of the \"UserTemplate\" value."_s,
        u"FILE"_s);
    const QCommandLineOption jsonOption(u"json"_s, u"Print JSON (list, rights, recent, audit)."_s);
    const QCommandLineOption sinceOption(
        u"since"_s, u"audit: records from TIME on (ISO 8601, e.g. 2026-12-08T10:00:00Z)."_s,
        u"TIME"_s);
    const QCommandLineOption userOption(
        u"user"_s, u"audit: records about NAME or made by NAME only."_s, u"NAME"_s);
    const QCommandLineOption workstationRoleOption(
        u"workstation-role"_s,
        u"init-store: the role of the workstations (default rightsmith_workstation)."_s, u"NAME"_s,
        u"rightsmith_workstation"_s);
    const QCommandLineOption administratorRoleOption(
        u"administrator-role"_s,
        u"init-store: the role of the administrators (default rightsmith_administrator)."_s,
        u"NAME"_s, u"rightsmith_administrator"_s);
    const QCommandLineOption upgradeOption(
        u"upgrade"_s, u"init-store: upgrade the tables of an older version."_s);
    const QCommandLineOption storeOption(
        u"store"_s,
        u"Use the user template of the shared store at URL (a PostgreSQL connection string) "
        u"under --key instead of the local one."_s,
        u"URL"_s);
    const QCommandLineOption fromOption(
        u"from"_s, u"copy-store: where to copy from, \"local\" or a URL."_s, u"WHERE"_s);
    const QCommandLineOption toOption(
        u"to"_s, u"copy-store: where to copy to, \"local\" or a URL."_s, u"WHERE"_s);
    const QCommandLineOption replaceOption(
        u"replace"_s, u"copy-store: replace the user template the shared store holds."_s);
    parser.addOptions({keyOption, fileOption, jsonOption, sinceOption, userOption,
                       workstationRoleOption, administratorRoleOption, upgradeOption, storeOption,
                       fromOption, toOption, replaceOption});
    parser.addPositionalArgument(
        u"command"_s,
        u"list, rights, check, recent, verify, restore, passwd, unlock, audit, init-store or "
        u"copy-store"_s,
        u"list|rights USER|check USER|recent|verify|restore COPY|passwd USER|unlock USER|audit|"
        u"init-store URL|copy-store"_s);

    if (!parser.parse(app.arguments()))
        throw Failure {ExitUsage, parser.errorText()};
    if (parser.isSet(u"help"_s)) {
        out() << parser.helpText();
        return ExitOk;
    }

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool needsArgument = command == u"rights"_s || command == u"check"_s
        || command == u"restore"_s || command == u"passwd"_s || command == u"unlock"_s
        || command == u"init-store"_s;
    const bool plainOnly = command == u"check"_s || command == u"verify"_s
        || command == u"restore"_s || command == u"passwd"_s || command == u"unlock"_s
        || command == u"init-store"_s || command == u"copy-store"_s;
    const bool known = needsArgument || command == u"list"_s || command == u"recent"_s
        || command == u"verify"_s || command == u"audit"_s || command == u"copy-store"_s;
    const bool auditOptions = parser.isSet(sinceOption) || parser.isSet(userOption);
    const bool roleOptions = parser.isSet(workstationRoleOption)
        || parser.isSet(administratorRoleOption) || parser.isSet(upgradeOption);
    const bool copyOptions =
        parser.isSet(fromOption) || parser.isSet(toOption) || parser.isSet(replaceOption);
    const QString from = parser.value(fromOption);
    const QString to = parser.value(toOption);
    const bool toServer = from == u"local"_s && !to.isEmpty() && to != u"local"_s;
    const bool toLocal = to == u"local"_s && !from.isEmpty() && from != u"local"_s;
    if (!known || args.size() != (needsArgument ? 2 : 1) || (parser.isSet(jsonOption) && plainOnly)
        || (auditOptions && command != u"audit"_s) || (roleOptions && command != u"init-store"_s)
        || (copyOptions && command != u"copy-store"_s)
        || (command == u"copy-store"_s
            && (!(toServer || toLocal) || (toLocal && parser.isSet(replaceOption))))) {
        throw Failure {ExitUsage,
                       u"usage: rightsmith-users [--key KEY] [--file FILE | --store URL] "
                       u"list|rights USER|check USER|recent|verify|restore COPY|passwd USER|"
                       u"unlock USER|audit [--since TIME] [--user NAME] [--json]|"
                       u"init-store URL [--upgrade] [--workstation-role NAME] "
                       u"[--administrator-role NAME]|"
                       u"copy-store --from local --to URL [--replace]|"
                       u"copy-store --from URL --to local"_s};
    }
    if (parser.isSet(storeOption)) {
        if (command == u"init-store"_s || command == u"copy-store"_s)
            throw Failure {ExitUsage,
                           u"%1 names its server itself; --store does not apply"_s.arg(command)};
        if (parser.isSet(fileOption))
            throw Failure {ExitUsage, u"--file and --store exclude each other"_s};
        if (parser.value(storeOption).isEmpty())
            throw Failure {ExitUsage, u"--store needs a connection string"_s};
    }
    const bool json = parser.isSet(jsonOption);
    if (command == u"init-store"_s)
        return initStore(args.at(1), parser.value(workstationRoleOption),
                         parser.value(administratorRoleOption), parser.isSet(upgradeOption));

    const QString key = parser.value(keyOption);
    if (command == u"copy-store"_s) {
        Store local(key, parser.value(fileOption));
        return copyStore(local, key, toServer ? to : from, toServer, parser.isSet(replaceOption));
    }
    // recent reads the local store's recent users even with --store.
    Store store(key, parser.value(fileOption),
                command == u"recent"_s ? QString() : parser.value(storeOption));
    if (command == u"verify"_s)
        return verify(store);
    if (command == u"restore"_s)
        return restore(store, key, args.at(1));
    if (command == u"passwd"_s)
        return setPassword(store, key, args.at(1));
    if (command == u"unlock"_s)
        return unlock(store, key, args.at(1));
    if (command == u"audit"_s)
        return audit(store, key, parser.value(sinceOption), parser.value(userOption), json);

    if (command == u"recent"_s) {
        const QList<QByteArray> names = store.lastUsers();
        if (json) {
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

    zkSecurity::TzkSecurityTemplate userTemplate;
    store.loadUserTemplate(userTemplate);

    if (command == u"list"_s) {
        QJsonArray array;
        for (int i = 0; i < userTemplate.topLevelCount(); ++i) {
            const QString name = text(userTemplate.topLevel(i)->text());
            if (json)
                array.append(name);
            else
                out() << name << '\n';
        }
        if (json)
            printJson(array);
        return ExitOk;
    }

    zkSecurity::TreeNode *user = findUser(userTemplate, args.at(1));
    if (command == u"rights"_s) {
        // The second child of a user node holds the rights.
        const zkSecurity::TreeNode *rights = user->item(1);
        if (json)
            printJson(rights ? rightsJson(rights) : QJsonArray());
        else if (rights)
            printRights(rights, 0);
        return ExitOk;
    }

    // check: hashed or scrambled, as the logon dialog compares.
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"rightsmith-users"_s);
    try {
        const int code = run(app);
        out().flush();
        return code;
    } catch (const Failure &failure) {
        out().flush();
        err() << "rightsmith-users: " << failure.message << '\n';
        return failure.code;
    } catch (const rightsmith::toolkit::Error &error) {
        out().flush();
        err() << "rightsmith-users: " << error.message() << '\n';
        return ExitError;
    }
}
