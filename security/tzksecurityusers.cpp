// SaveUsers and LoadUsers of the security component, through its user store.
#include "security/logoncheck.h"
#include "security/storeaddress.h"
#include "security/tzksecurity.h"
#include "security/tzksecuritytemplate.h"
#include "security/userstore.h"
#include "toolkit/error.h"

namespace zkSecurity {

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
