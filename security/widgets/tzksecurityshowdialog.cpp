// The security component's user management dialog ("Check Rights").
#include "dialogs/tdlgpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/tree.h"
#include "security/tzksecurity.h"
#include "security/tzksecuritytemplate.h"

#include <memory>

namespace zkSecurity {

void TzkSecurity::ShowSecurityDialog()
{
    if (!m_loggedOn) {
        Logon(m_currentUserName, QByteArray(), false);
        return;
    }
    const QByteArray supervisorName = QByteArrayLiteral("Supervisor");
    const bool supervisor = m_currentUserName == supervisorName;
    const bool showCheckedOKOnly = m_options.contains(soShowCheckedOKOnly);

    // Freed on every way out.
    const auto dialog = std::make_unique<zkDlgSecurity::TfrmSecurity>(nullptr);
    dialog->SecurityTemplate = m_securityTemplate.get();
    TzkSecurityTemplate *tree = dialog->ftvUserTemplate();
    tree->ClearTemplate();
    tree->setImages(m_securityTemplate->images());
    zkEntryPasswordDlg::TdlgPassword::CopyUserTemplate(m_userTemplate.get(), tree,
                                                       m_currentUserName, showCheckedOKOnly);
    dialog->SupervisorMode = supervisor;
    if (tree->count() > 0)
        tree->expand(tree->topLevel(0), true);

    if (dialog->exec() != QDialog::Accepted)
        return;

    if (supervisor) {
        // Users added or removed, passwords and rights changed: all of it.
        zkEntryPasswordDlg::TdlgPassword::CopyUserTemplate(tree, m_userTemplate.get(),
                                                           supervisorName, showCheckedOKOnly);
    } else {
        // Anyone else can change only the own password.
        zkEntryPasswordDlg::TdlgPassword::TakeOverPassword(tree, m_userTemplate.get(),
                                                           m_currentUserName);
    }
    // The stored password is already scrambled; it goes to the store as it is.
    SaveUsers(m_userTemplate->GetPasswordFromUserTreeNode(
        m_userTemplate->GetUserNodeByUserName(m_currentUserName)));
}

} // namespace zkSecurity
