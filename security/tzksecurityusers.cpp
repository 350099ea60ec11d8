// SaveUsers and LoadUsers of the security component, through its user store.
#include "security/tzksecurity.h"
#include "security/userstore.h"

namespace zkSecurity {

UserStoreSettings TzkSecurity::StoreSettings() const
{
    UserStoreSettings settings;
    settings.key = m_userTemplateRegistryKeyName;
    settings.fileName = m_userTemplateFileName;
    settings.inFile = m_options.contains(soSaveUsersInFile);
    settings.storePassword = m_options.contains(soStorePassword);
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

bool TzkSecurity::UsersUnreadable() const
{
    return m_store->state() == UserStore::State::Unreadable;
}

} // namespace zkSecurity
