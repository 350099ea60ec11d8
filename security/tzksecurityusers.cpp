// SaveUsers and LoadUsers of the security component, through its user store.
#include "security/logoncheck.h"
#include "security/sharedstore.h"
#include "security/storeaddress.h"
#include "security/tzksecurity.h"
#include "security/tzksecuritytemplate.h"
#include "security/userstore.h"
#include "toolkit/error.h"

#include <QLoggingCategory>
#include <QTimer>

namespace zkSecurity {

namespace {
Q_LOGGING_CATEGORY(lcSharedUsers, "rightsmith.store")
} // namespace

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
    const zkSecurity::StoreAddress store = resolveStoreAddress(m_storeAddress);
    if (!store.problem.isEmpty())
        settings.addressProblem = store.problem;
    else
        settings.sharedAddress = store.address;
    return settings;
}

bool TzkSecurity::SaveUsers(const QByteArray &scrambledPassword)
{
    return m_store->save(StoreSettings(), *m_userTemplate, m_lastUsers, scrambledPassword);
}

bool TzkSecurity::LoadUsers(QByteArray &scrambledPassword)
{
    return m_store->load(StoreSettings(), *m_userTemplate, m_lastUsers, scrambledPassword);
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
        m_listener = std::move(listener);
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcSharedUsers, "%ls", qUtf16Printable(error.message()));
        RetryWatching();
        return;
    }
    m_watcher = std::make_unique<SharedStoreWatcher>(*m_listener);
    connect(m_watcher.get(), &SharedStoreWatcher::changed, this, &TzkSecurity::SharedStoreChanged);
    connect(m_watcher.get(), &SharedStoreWatcher::lost, this, [this](const QString &message) {
        qCWarning(lcSharedUsers, "%ls", qUtf16Printable(message));
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
            WatchSharedStore();
            if (!m_listener)
                return;
            // Saves made while nobody listened were missed; a copy read while
            // the server was away is replaced by what the server holds.
            m_reloadPending = true;
            ReloadSharedUsers();
        });
    }
    m_storeRetry->start(m_storeRetryInterval);
}

void TzkSecurity::StopWatching()
{
    if (m_storeRetry)
        m_storeRetry->stop();
    m_watcher.reset();
    m_listener.reset();
}

void TzkSecurity::SharedStoreChanged(const QString &storeKey)
{
    if (storeKey.compare(m_userTemplateRegistryKeyName, Qt::CaseInsensitive) != 0)
        return;
    m_reloadPending = true;
    if (m_dialogDepth == 0)
        ReloadSharedUsers();
}

void TzkSecurity::ReloadSharedUsers()
{
    if (!m_reloadPending || m_dialogDepth > 0)
        return;
    m_reloadPending = false;
    // The recent users and the remembered password stay as they are here.
    QList<QByteArray> lastUsers;
    QByteArray scrambledPassword;
    try {
        m_store->load(StoreSettings(), *m_userTemplate, lastUsers, scrambledPassword);
    } catch (const rightsmith::toolkit::Error &error) {
        // An unreadable user template is left empty, as at a start-up.
        qCWarning(lcSharedUsers, "%ls", qUtf16Printable(error.message()));
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
