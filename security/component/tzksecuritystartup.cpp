// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The security component's start-up: read the store, rebuild the security
// template from the clients, create "Supervisor", log the last user on.
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"
#include "toolkit/termination.h"

using namespace Qt::StringLiterals;

namespace zkSecurity {

void TzkSecurity::Loaded()
{
    rightsmith::toolkit::Component::Loaded();
    if (rightsmith::toolkit::isDesignMode(this))
        return;

    // A store never written leaves the user template empty, and "Supervisor"
    // is made below. A store that exists but cannot be read must not become a
    // fresh "Supervisor": what is there is kept aside, the user is told, and
    // the start-up ends as a refused logon does.
    QByteArray storedPassword;
    try {
        LoadUsers(storedPassword);
    } catch (const rightsmith::toolkit::Error &error) {
        if (!UsersUnreadable())
            throw;
        throw rightsmith::toolkit::Error(error.message() + u"\n\n"_s
                                         + m_store->keepUnreadableAside(StoreSettings()));
    }
    if (UsersUnreadable()) {
        const UserStoreSettings settings = StoreSettings();
        rightsmith::toolkit::showWarning(
            m_store->unreadableMessage(settings, m_store->keepUnreadableAside(settings)));
    } else if (UsersReadOnly()) {
        rightsmith::toolkit::showWarning(m_store->readOnlyMessage(StoreSettings()));
    }

    m_securityTemplate->setImages(m_options.contains(soShowIcons) ? m_imageList.get() : nullptr);

    if (m_options.contains(soForceBuildSecurityFromClients)) {
        if (!BuildSecurityTemplateFromClients(m_securityTemplate.get(), m_imageList.get()))
            throw rightsmith::toolkit::Error(tr("Cannot build Security template from clients"));
    }

    m_dialogs->SetSecurity(this);
    WatchSharedStore();
    ReloadUsers();

    if (UsersUnreadable()) {
        m_loggedOn = false;
        ++m_logonChanges;
        m_currentUserName.clear();
        m_isSupervisor = false;
        ForceClientsVisible();
        if (m_options.contains(soAutoLogon) && m_options.contains(soReleaseOwnerOnLogonFail)
            && OwnerIsForm())
            rightsmith::toolkit::terminateApplication();
    } else if (m_options.contains(soAutoLogon)) {
        const QByteArray userName = m_lastUsers.isEmpty() ? QByteArray() : m_lastUsers.last();
        const QByteArray password = zkCript::TCripter::Unscramble(storedPassword);
        const bool accepted = Logon(userName, password, m_options.contains(soSilentLogonTry));
        if (!accepted && m_options.contains(soReleaseOwnerOnLogonFail) && OwnerIsForm())
            rightsmith::toolkit::terminateApplication(); // sticky: honoured even before the main
                                                         // loop runs
    }
}

} // namespace zkSecurity
