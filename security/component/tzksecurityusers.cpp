// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// SaveUsers and LoadUsers of the security component, through its user store.
#include "security/component/logoncheck.h"
#include "security/component/tzksecurity.h"
#include "security/model/roles.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/storeaddress_p.h"
#include "security/store/userstore.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"
#include "toolkit/messagebox.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTimer>

using rightsmith::logging::lcStore;

namespace zkSecurity {

namespace {

// The store reports, the component shows: the message of a save that failed
// through the message presenter, that of a save another program made since
// the users were read only when \a conflict asks for it. True when saved.
bool show(const UserStore::SaveResult &result, UserStore::ConflictMessage conflict)
{
    if (!result.message.isEmpty()
        && (result.problem != UserStore::SaveResult::Problem::ChangedElsewhere
            || conflict == UserStore::ConflictMessage::Shown))
        rightsmith::toolkit::showWarning(result.message);
    return result.saved();
}

} // namespace

// Defined with the component rather than the store, which shows nothing.
bool UserStore::save(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                     const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword,
                     ConflictMessage conflict, TzkSecurityTemplate *roleTemplate)
{
    return show(trySave(settings, userTemplate, lastUsers, scrambledPassword, roleTemplate),
                conflict);
}

UserStoreSettings TzkSecurity::StoreSettings() const
{
    UserStoreSettings settings;
    settings.key = m_userTemplateRegistryKeyName;
    settings.fileName = m_userTemplateFileName;
    settings.inFile = m_options.contains(soSaveUsersInFile);
    settings.storePassword = m_options.contains(soStorePassword);
    settings.hardening = m_hardening;
    if (m_loggedOn)
        settings.actor = m_currentUserName;
    // A store that cannot be decided safely is none: nothing is read or written.
    if (!m_storeResolved) {
        const zkSecurity::StoreAddress store = resolveStoreAddress(m_storeAddress);
        m_resolvedAddress = store.problem.isEmpty() ? store.address : QString();
        m_resolvedProblem = store.problem;
        m_storeResolved = true;
    }
    settings.sharedAddress = m_resolvedAddress;
    settings.addressProblem = m_resolvedProblem;
    return settings;
}

bool TzkSecurity::SaveUsers(const QByteArray &scrambledPassword)
{
    return SaveUsers(scrambledPassword, true);
}

bool TzkSecurity::SaveUsers(const QByteArray &scrambledPassword, bool tellConflict)
{
    const UserStoreSettings settings = StoreSettings();
    // Members' own rights follow their roles before anything is saved, so
    // that the rights check and every reader of the user template see them.
    // A role template that could not be read rewrites nobody. Members
    // removed as users by a program without roles leave their roles.
    if (m_rolesEnabled && m_store->roleProblem().isEmpty()) {
        Roles roles(*m_roleTemplate, *m_userTemplate);
        roles.DropMembersNotUsers();
        roles.FollowSecurityTemplate(*m_securityTemplate);
        roles.ApplyToUsers();
    }
    const bool saved = show(
        m_store->trySave(settings, *m_userTemplate, m_lastUsers, scrambledPassword, RoleTemplate()),
        tellConflict ? UserStore::ConflictMessage::Shown : UserStore::ConflictMessage::Silent);
    // Changes the shared store refused (saved elsewhere meanwhile, or out of
    // reach) must not stay in force here, nor users another program saved
    // to the local store be overlooked: the users are read again, once the
    // dialogs that work on them have closed.
    if ((!saved && settings.isShared()) || m_store->changedElsewhere()) {
        m_reloadPending = true;
        ReloadUsers();
    }
    return saved;
}

bool TzkSecurity::LoadUsers(QByteArray &scrambledPassword)
{
    const bool loaded = m_store->load(StoreSettings(), *m_userTemplate, m_lastUsers,
                                      scrambledPassword, RoleTemplate());
    if (!m_store->roleProblem().isEmpty())
        rightsmith::toolkit::showWarning(m_store->roleProblemMessage(StoreSettings()));
    return loaded;
}

QString TzkSecurity::RolesProblem() const
{
    return m_rolesEnabled ? m_store->roleProblem() : QString();
}

void TzkSecurity::WatchSharedStore()
{
    StopWatching();
    const UserStoreSettings settings = StoreSettings();
    if (settings.sharedAddress.isEmpty())
        return;
    try {
        auto listener = SharedStore::connect(settings.sharedAddress);
        listener->listen();
        ListenOn(std::move(listener));
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
        StopWatching();
        RetryWatching();
    }
}

void TzkSecurity::ListenOn(std::unique_ptr<SharedStore> listener)
{
    // A save between the last load and the LISTEN was not notified here;
    // users read from the local copy are read from the server now.
    if (UsersReadOnly() || UsersUnreadable()
        || listener->version(StoreSettings().key) != m_store->sharedVersion())
        m_reloadPending = true;
    m_listener = std::move(listener);
    m_store->setSharedConnection(m_listener.get());
    m_watcher = std::make_unique<SharedStoreWatcher>(*m_listener);
    connect(m_watcher.get(), &SharedStoreWatcher::changed, this, &TzkSecurity::SharedStoreChanged);
    connect(m_watcher.get(), &SharedStoreWatcher::lost, this, [this](const QString &message) {
        qCWarning(lcStore, "%ls", qUtf16Printable(message));
        // Until the server answers again, the users are those last read and
        // cannot be changed, as on a start without the server.
        m_store->markServerLost(message);
        // Not from within the watcher's own signal: it is destroyed later.
        QMetaObject::invokeMethod(
            this,
            [this] {
                StopWatching();
                RetryWatching();
            },
            Qt::QueuedConnection);
    });
}

void TzkSecurity::RetryWatching()
{
    if (!m_storeRetry) {
        m_storeRetry = new QTimer(this);
        m_storeRetry->setSingleShot(true);
        connect(m_storeRetry, &QTimer::timeout, this, [this] {
            // Connected on a thread of its own: a server that does not answer
            // must not freeze the program until the connection times out.
            const QString address = StoreSettings().sharedAddress;
            m_connecting = std::async(std::launch::async, [this, address] {
                const auto done = qScopeGuard([this] {
                    QMetaObject::invokeMethod(this, &TzkSecurity::Reconnected,
                                              Qt::QueuedConnection);
                });
                auto listener = SharedStore::connect(address);
                listener->listen();
                return listener;
            });
        });
    }
    m_storeRetry->start(m_storeRetryInterval);
}

void TzkSecurity::Reconnected()
{
    if (!m_connecting.valid())
        return;
    try {
        ListenOn(m_connecting.get());
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
        StopWatching();
        RetryWatching();
        return;
    }
    // Saves made while nobody listened, or a copy read while the server was
    // away, are found by the version check of the LISTEN.
    ReloadUsers();
}

void TzkSecurity::StopWatching()
{
    if (m_storeRetry)
        m_storeRetry->stop();
    // A connection under way is waited for (at most its timeout) and dropped.
    if (m_connecting.valid()) {
        m_connecting.wait();
        m_connecting = {};
    }
    m_watcher.reset();
    m_store->setSharedConnection(nullptr);
    m_listener.reset();
}

void TzkSecurity::CheckSharedStore()
{
    if (m_watcher)
        m_watcher->checkNow();
}

void TzkSecurity::SharedStoreChanged(const QString &storeKey)
{
    if (storeKey.compare(m_userTemplateRegistryKeyName, Qt::CaseInsensitive) != 0)
        return;
    m_reloadPending = true;
    if (m_dialogDepth == 0)
        ReloadUsers();
}

void TzkSecurity::ReloadUsers()
{
    if (!m_reloadPending || m_dialogDepth > 0)
        return;
    ReloadUsersNow();
}

void TzkSecurity::ReloadUsersNow()
{
    m_reloadPending = false;
    // The recent users and the remembered password stay as they are here.
    QList<QByteArray> lastUsers;
    QByteArray scrambledPassword;
    try {
        m_store->load(StoreSettings(), *m_userTemplate, lastUsers, scrambledPassword,
                      RoleTemplate());
    } catch (const rightsmith::toolkit::Error &error) {
        // An unreadable user template is left empty, as at a start-up.
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
    }
    // A server that failed the reload: its copy stands in until it answers again.
    if (UsersReadOnly() && m_listener) {
        StopWatching();
        RetryWatching();
    }
    // A logged-on user removed elsewhere is logged off, as a refused logon is.
    if (m_loggedOn && !m_userTemplate->GetUserNodeByUserName(m_currentUserName)) {
        m_loggedOn = false;
        ++m_logonChanges;
        m_currentUserName.clear();
        m_isSupervisor = false;
        ForceClientsVisible();
    }
}

void TzkSecurity::SetHardening(const HardeningSettings &hardening)
{
    // Refused here rather than at the first password change.
    if (hardening.hashPasswords && !hardening.hashCost.atLeast(PasswordHashCost::minimum()))
        throw rightsmith::toolkit::Error(
            tr("The password hash cost is below the least accepted (%1 passes over %2 KiB).")
                .arg(PasswordHashCost::minimum().passes)
                .arg(PasswordHashCost::minimum().memoryKiB));
    m_hardening = hardening;
    m_userTemplate->SetNewPasswordCost(hardening.newPasswordCost());
}

LogonCheck TzkSecurity::CreateLogonCheck() const
{
    return LogonCheck(StoreSettings());
}

bool TzkSecurity::UsersUnreadable() const
{
    return m_store->state() == UserStore::State::Unreadable;
}

bool TzkSecurity::UsersReadOnly() const
{
    return m_store->readOnly();
}

} // namespace zkSecurity
