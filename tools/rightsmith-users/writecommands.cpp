// The commands that change a store: restore a kept copy of the user
// template, set a password, clear a lock. Each writes through the library
// as the program does, and is recorded in the trail when the store keeps one.
#include "commands.h"
#include "console.h"
#include "security/component/logoncheck.h"
#include "security/hardening/audittrail.h"
#include "security/model/passwordhash.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/codec.h"
#include "toolkit/registry.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

// The copy named \a source: a file, or a binary value of the store's key
// (not with a shared store, whose copies are files).
QByteArray readCopy(Store &store, const QString &source)
{
    if (store.isShared() && !QFileInfo(source).isFile())
        throw Failure {ExitError, u"no file named %1 (with --store, COPY is a file)"_s.arg(source)};
    if (QFileInfo(source).isFile()) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure {ExitError, u"cannot read %1: %2"_s.arg(source, file.errorString())};
        return file.readAll();
    }
    if (store.hasValue(source))
        return store.registry().readBinary(source).value_or(QByteArray());
    throw Failure {ExitError, u"no file and no binary value of the key named %1"_s.arg(source)};
}

void printRestored(const QString &kept, int users, const QString &source, const QString &to)
{
    printKeptAs(kept);
    out() << "restored " << users << " users from " << source << " to " << to << '\n';
}

// Puts \a stream (from the file \a source) on the shared store of \a store,
// compare-and-set, after keeping the user template it replaces beside
// \a source; recorded in the trail when \a trail.
void restoreShared(Store &store, const QString &source, const QByteArray &stream, int users,
                   bool trail)
{
    zkSecurity::SharedStore &shared = store.shared();
    const zkSecurity::SharedStore::Stored stored = shared.load(store.key());
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
            shared.appendAudit(store.key(), entry, {}, QDateTime());
        }
    };
    const QString location = zkSecurity::UserStore::location(store.settings());
    if (shared.save(store.key(), stream, stored.version, nullptr, record)
        != zkSecurity::SharedStore::SaveResult::Saved)
        throw Failure {ExitError,
                       u"the user template in %1 was changed meanwhile; nothing was "
                       u"restored"_s.arg(location)};
    printRestored(kept, users, source, location);
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

// Sets the password of \a name in \a users from stdin, hashed at the cost
// the others are (scrambled when nobody is hashed); returns that cost.
std::optional<zkSecurity::PasswordHashCost>
setPasswordFromStdin(zkSecurity::TzkSecurityTemplate &users, const QString &name)
{
    zkSecurity::TreeNode *passwordNode = findUser(users, name)->firstChild();
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
    return cost;
}

} // namespace

// Puts a kept copy (a file, or a value of the store's key) back as the user
// template, after checking that it loads.
int restore(const Invocation &call)
{
    Store &store = call.store;
    const QString &source = call.argument;
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    const QByteArray stream = readCopy(store, source);
    const int users = usersIn(stream, u"%1 does not load, nothing was changed"_s.arg(source));
    if (!zkSecurity::UserStore::isCompleteStream(stream))
        err() << "rightsmith-users: warning: " << source
              << " loads, but not exactly as a save writes it; some texts may be damaged\n";
    if (store.isShared()) {
        restoreShared(store, source, stream, users, settings.hardening.auditTrail);
        return ExitOk;
    }
    const QString kept = zkSecurity::UserStore::restore(settings, stream);
    printRestored(kept, users, source, zkSecurity::UserStore::location(settings));
    return ExitOk;
}

// Sets USER's password from stdin, hashed when the store's users are, and
// saves through the store as the program does.
int passwd(const Invocation &call)
{
    Store &store = call.store;
    if (!store.isShared())
        store.registry(); // a store that is not there is not made here
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    zkSecurity::UserStore userStore;
    zkSecurity::TzkSecurityTemplate users;
    QList<QByteArray> lastUsers;
    QByteArray remembered;
    userStore.load(settings, users, lastUsers, remembered);
    if (userStore.state() != zkSecurity::UserStore::State::Loaded)
        throw Failure {ExitError,
                       userStore.problem().isEmpty()
                           ? u"no users are stored under the key %1"_s.arg(store.key())
                           : u"the users cannot be loaded: %1"_s.arg(userStore.problem())};
    const std::optional<zkSecurity::PasswordHashCost> cost =
        setPasswordFromStdin(users, call.argument);
    // What the program would show in a message box ends the tool instead.
    const zkSecurity::UserStore::SaveResult result =
        userStore.trySave(settings, users, lastUsers, QByteArray());
    const bool saved = result.saved();
    const QString &message = result.message;
    // Another program's save since the users were read is never undone.
    if (!saved && userStore.changedElsewhere())
        throw Failure {ExitError,
                       u"the users in %1 were changed by another program since they were read; "
                       u"the password was not set; run passwd again"_s.arg(
                           zkSecurity::UserStore::location(settings))};
    if (!saved)
        throw Failure {ExitError, message.isEmpty() ? u"the store was not written"_s : message};
    out() << "the password of " << call.argument << " is set (" << (cost ? "hashed" : "scrambled")
          << ")\n";
    return ExitOk;
}

// Forgets the failed logons counted for NAME.
int unlock(const Invocation &call)
{
    const QString &name = call.argument;
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    if (!bytes)
        throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
    Store &store = call.store;
    store.open();
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    const bool cleared = zkSecurity::LogonCheck(settings).unlock(*bytes, QByteArray());
    out() << (cleared ? "the failed logons of %1 are forgotten\n"_L1
                      : "no failed logons of %1 are counted\n"_L1)
                 .arg(name);
    return ExitOk;
}

} // namespace rightsmithusers
