// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/tfrmsecurity.h"

#include "dialogs/dialogsupport_p.h"
#include "dialogs/tdlgnewuser.h"
#include "dialogs/tdlguserpassword.h"
#include "security/component/logoncheck.h"
#include "security/component/usermanagement.h"
#include "security/model/passwordhash.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/widgets/treeview.h"
#include "toolkit/action.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;

namespace zkDlgSecurity {

using rightsmith::dialogsupport::columnButton;

TfrmSecurity::TfrmSecurity(QWidget *parent)
    : QDialog(parent)
    , m_userTemplate(std::make_unique<zkSecurity::TzkSecurityTemplate>())
    , m_roleTemplate(std::make_unique<zkSecurity::TzkSecurityTemplate>())
{
    setObjectName(u"frmSecurity"_s);
    setWindowTitle(tr("Security"));
    setSizeGripEnabled(true);

    createTreeView();
    createActions();
    m_buttonColumn = createButtonColumn();
    m_treeColumn = createTreeColumn();

    auto *main = new QHBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);
    main->addLayout(m_treeColumn, 1);
    main->addLayout(m_buttonColumn);

    setTabOrder(m_view, btnOK);
    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, btnNewUser);
    setTabOrder(btnNewUser, btnDeleteUser);
    setTabOrder(btnDeleteUser, btnUnlockUser);
    setTabOrder(btnUnlockUser, btnResetPassword);
    m_view->setFocus();

    resize(472, 537);
    setMinimumSize(200, 172);
    rightsmith::dialogsupport::centreWhenShown(this);
}

zkSecurity::TreeView *TfrmSecurity::newTreeView(zkSecurity::TzkSecurityTemplate *tree,
                                                const QString &name, const QString &accessibleName)
{
    auto *view = new zkSecurity::TreeView(this);
    view->setObjectName(name);
    view->setTree(tree);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHeaderHidden(true);
    // The tree has no caption of its own for screen readers to announce.
    view->setAccessibleName(accessibleName);
    return view;
}

void TfrmSecurity::createTreeView()
{
    m_userTemplate->setObjectName(u"ftvUserTemplate"_s);
    m_view = newTreeView(m_userTemplate.get(), u"ftvUserTemplate"_s, tr("Users and rights"));
    connect(m_view, &zkSecurity::TreeView::nodeDoubleClicked, this, [this] { tvDblClick(); });
    // Enter and F2 open the password dialog where a double click does, and nothing else.
    connect(m_view, &zkSecurity::TreeView::nodeEditRequested, this, [this] {
        QByteArray caption;
        if (zkSecurity::TreeNode *password = selectedPasswordNode(caption))
            changePassword(password, caption);
    });
    connect(m_view, &zkSecurity::TreeView::nodeDeleteRequested, this, [this] { askRemoveUser(); });
}

void TfrmSecurity::createActions()
{
    actAddUser = new toolkit::Action(this);
    actAddUser->setObjectName(u"actAddUser"_s);
    actAddUser->setText(tr("&New User"));
    actAddUser->setOnUpdate([this](toolkit::Action *sender) { actAddUserUpdate(sender); });
    actAddUser->setOnExecute([this](toolkit::Action *sender) { actAddUserExecute(sender); });

    actRemoveUser = new toolkit::Action(this);
    actRemoveUser->setObjectName(u"actRemoveUser"_s);
    actRemoveUser->setText(tr("&Remove User"));
    actRemoveUser->setOnUpdate([this](toolkit::Action *sender) { actRemoveUserUpdate(sender); });
    actRemoveUser->setOnExecute([this](toolkit::Action *sender) { actRemoveUserExecute(sender); });

    actUnlockUser = new toolkit::Action(this);
    actUnlockUser->setObjectName(u"actUnlockUser"_s);
    actUnlockUser->setText(tr("&Unlock"));
    actUnlockUser->setVisible(false);
    actUnlockUser->setOnUpdate([this](toolkit::Action *sender) { actUnlockUserUpdate(sender); });
    actUnlockUser->setOnExecute([this](toolkit::Action *sender) { actUnlockUserExecute(sender); });

    actResetPassword = new toolkit::Action(this);
    actResetPassword->setObjectName(u"actResetPassword"_s);
    actResetPassword->setText(tr("Reset &Password…"));
    actResetPassword->setVisible(false);
    actResetPassword->setOnUpdate(
        [this](toolkit::Action *sender) { actResetPasswordUpdate(sender); });
    actResetPassword->setOnExecute(
        [this](toolkit::Action *sender) { actResetPasswordExecute(sender); });
}

QVBoxLayout *TfrmSecurity::createButtonColumn()
{
    btnOK = columnButton(this, u"btnOK"_s, tr("&OK"));
    btnCancel = columnButton(this, u"btnCancel"_s, tr("&Cancel"));
    QDialogButtonBox *box = rightsmith::dialogsupport::okCancelColumn(this, btnOK, btnCancel);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    btnNewUser = columnButton(this, u"btnNewUser"_s, QString());
    rightsmith::dialogsupport::bindButton(btnNewUser, actAddUser);
    btnDeleteUser = columnButton(this, u"btnDeleteUser"_s, QString());
    rightsmith::dialogsupport::bindButton(btnDeleteUser, actRemoveUser);
    btnUnlockUser = columnButton(this, u"btnUnlockUser"_s, QString());
    rightsmith::dialogsupport::bindButton(btnUnlockUser, actUnlockUser);
    btnResetPassword = columnButton(this, u"btnResetPassword"_s, QString());
    rightsmith::dialogsupport::bindButton(btnResetPassword, actResetPassword);

    // The user commands stay below the box, where every platform's order
    // would put such action buttons above OK.
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(box);
    buttons->addSpacing(8);
    buttons->addWidget(btnNewUser);
    buttons->addWidget(btnDeleteUser);
    buttons->addWidget(btnUnlockUser);
    buttons->addWidget(btnResetPassword);
    buttons->addStretch();
    return buttons;
}

// The tree, with the read-only notice above it.
QVBoxLayout *TfrmSecurity::createTreeColumn()
{
    lblReadOnly = new QLabel(this);
    lblReadOnly->setObjectName(u"lblReadOnly"_s);
    lblReadOnly->setWordWrap(true);
    lblReadOnly->setVisible(false);
    auto *tree = new QVBoxLayout;
    tree->addWidget(lblReadOnly);
    tree->addWidget(m_view, 1);
    return tree;
}

TfrmSecurity::~TfrmSecurity()
{
    FormDestroy();
    // The views observe the trees: let them go before the trees do.
    delete m_view;
    m_view = nullptr;
    delete m_roleView;
    m_roleView = nullptr;
}

void TfrmSecurity::showEvent(QShowEvent *event)
{
    // Shown, the button box makes its accept button the default when the
    // dialog has none; here Enter must not close the dialog.
    btnOK->setDefault(false);
    // The idle pass updates only what can be seen: Unlock is shown here.
    actUnlockUser->setVisible(Check && Check->hardening().throttleLogons);
    actResetPassword->setVisible(SupervisorMode && Check && Check->hardening().passwordReset);
    lblReadOnly->setText(ReadOnlyReason);
    lblReadOnly->setVisible(!ReadOnlyReason.isEmpty());
    btnOK->setEnabled(ReadOnlyReason.isEmpty());
    if (ShowRoles && SupervisorMode && !rolesShown())
        createRoles();
    QDialog::showEvent(event);
}

void TfrmSecurity::FormDestroy()
{
    m_userTemplate->ClearTemplate();
    m_roleTemplate->ClearTemplate();
}

void TfrmSecurity::actAddUserUpdate(toolkit::Action *sender)
{
    sender->setEnabled(SupervisorMode);
}

void TfrmSecurity::actRemoveUserUpdate(toolkit::Action *sender)
{
    zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForSelected();
    sender->setEnabled(SupervisorMode && user && user->text() != zkSecurity::SupervisorName);
}

void TfrmSecurity::actAddUserExecute(toolkit::Action *sender)
{
    Q_UNUSED(sender);
    const auto dialog = std::make_unique<zkNewUserDlg::TdlgNewUser>(this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    // The new-user dialog accepts only a name that encodes and is still free.
    const auto name = rightsmith::dialogsupport::encoded(dialog->edtNewUserName->text());
    if (!name || name->isEmpty() || m_userTemplate->GetUserNodeByUserName(*name))
        return;
    if (SecurityTemplate) {
        m_userTemplate->AddUserToUserTemplate(SecurityTemplate, *name, QByteArray(), true);
    } else {
        zkSecurity::TzkSecurityTemplate noRights;
        m_userTemplate->AddUserToUserTemplate(&noRights, *name, QByteArray(), true);
    }
}

void TfrmSecurity::actRemoveUserExecute(toolkit::Action *sender)
{
    Q_UNUSED(sender);
    zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForSelected();
    // The enabling rule already keeps these out; a direct call must not get past them either.
    if (!SupervisorMode || !user || user->text() == zkSecurity::SupervisorName)
        return;
    if (rolesShown())
        zkSecurity::Roles(*m_roleTemplate, *m_userTemplate).ForgetUser(user->text());
    m_userTemplate->DeleteNode(user);
}

void TfrmSecurity::askRemoveUser()
{
    actRemoveUser->Update();
    zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForSelected();
    if (!actRemoveUser->isEnabled() || !user)
        return;
    const QString name = rightsmith::dialogsupport::decoded(user->text());
    if (toolkit::askYesNo(tr("Remove the user %1?").arg(name)))
        btnDeleteUser->click();
}

void TfrmSecurity::actUnlockUserUpdate(toolkit::Action *sender)
{
    sender->setEnabled(Check && Check->hardening().throttleLogons && SupervisorMode
                       && m_userTemplate->GetUserNodeForSelected());
}

void TfrmSecurity::actUnlockUserExecute(toolkit::Action *sender)
{
    Q_UNUSED(sender);
    zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForSelected();
    if (!SupervisorMode || !Check || !user)
        return;
    const QString name = rightsmith::dialogsupport::decoded(user->text());
    try {
        if (Check->unlock(user->text(), Actor))
            toolkit::showMessage(tr("The failed logons of %1 are forgotten.").arg(name));
        else
            toolkit::showMessage(tr("No failed logons of %1 are counted.").arg(name));
    } catch (const toolkit::Error &error) {
        toolkit::showWarning(error.message());
    }
}

void TfrmSecurity::actResetPasswordUpdate(toolkit::Action *sender)
{
    actRemoveUserUpdate(sender);
}

void TfrmSecurity::actResetPasswordExecute(toolkit::Action *sender)
{
    Q_UNUSED(sender);
    zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForSelected();
    zkSecurity::TreeNode *passwordNode = user ? user->firstChild() : nullptr;
    if (!SupervisorMode || !Check || !Check->hardening().passwordReset || !passwordNode
        || user->text() == zkSecurity::SupervisorName)
        return;
    const auto dialog = newPasswordDialog(user->text());
    dialog->askNewPasswordOnly(tr("Reset Password"),
                               tr("A new password for %1, who must change it at the next logon.")
                                   .arg(rightsmith::dialogsupport::decoded(user->text())));
    if (dialog->exec() == QDialog::Accepted)
        storeNewPassword(passwordNode, dialog->edtNewPassword->text(), true);
}

std::unique_ptr<zkUserPasswordDlg::TdlgUserPassword>
TfrmSecurity::newPasswordDialog(const QByteArray &userName) const
{
    auto dialog = std::make_unique<zkUserPasswordDlg::TdlgUserPassword>(nullptr);
    dialog->NewPasswordCost = m_userTemplate->NewPasswordCost();
    if (Check)
        dialog->Rules = Check->hardening().passwordRules;
    dialog->UserName = userName;
    return dialog;
}

void TfrmSecurity::storeNewPassword(zkSecurity::TreeNode *passwordNode, const QString &typed,
                                    bool mustChange)
{
    const auto newPassword = rightsmith::dialogsupport::encoded(typed);
    if (!newPassword)
        return;
    // Hashed or scrambled, as the component stores passwords; the dialog let
    // only a password through that the form keeps whole.
    try {
        zkSecurity::SetUserPassword(passwordNode, *newPassword, m_userTemplate->NewPasswordCost(),
                                    mustChange);
    } catch (const toolkit::Error &error) {
        toolkit::showWarning(error.message());
    }
}

zkSecurity::TreeNode *TfrmSecurity::selectedPasswordNode(QByteArray &storedPassword) const
{
    QByteArray userName;
    const zkSecurity::TzkNodeType type =
        m_userTemplate->GetSelectedNodeType(userName, storedPassword);
    zkSecurity::TreeNode *node = m_userTemplate->selected();
    // A "Rights" node without rights also stands at level 1 without
    // children; only the first child of a user holds the password.
    return type == zkSecurity::ntPassword && node && node->index() == 0 ? node : nullptr;
}

void TfrmSecurity::tvDblClick()
{
    QByteArray caption;
    if (zkSecurity::TreeNode *password = selectedPasswordNode(caption)) {
        changePassword(password, caption);
        return;
    }
    QByteArray userName;
    zkSecurity::TreeNode *node = m_userTemplate->selected();
    if (!node || !SupervisorMode
        || m_userTemplate->GetSelectedNodeType(userName, caption) != zkSecurity::ntRight)
        return;
    // The line under the users says why nothing happens.
    if (!rolesOf(m_userTemplate->GetUserNodeForSelected()->text()).isEmpty()) {
        QApplication::beep();
        return;
    }
    toggleRight(node);
}

void TfrmSecurity::changePassword(zkSecurity::TreeNode *passwordNode,
                                  const QByteArray &storedPassword)
{
    zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForNode(passwordNode);
    const auto dialog = newPasswordDialog(user ? user->text() : QByteArray());
    dialog->CurrentPassword = storedPassword.left(zkSecurity::TzkNodeRecord::MaxCaptionLength);
    if (passwordNode->data())
        dialog->CurrentRecord = *passwordNode->data();
    if (dialog->exec() == QDialog::Accepted)
        storeNewPassword(passwordNode, dialog->edtNewPassword->text(), false);
}

void TfrmSecurity::toggleRight(zkSecurity::TreeNode *rightNode)
{
    const zkSecurity::TzkNodeRecord *record = rightNode->data();
    if (record)
        zkSecurity::SetRightGranted(rightNode, !record->granted());
}

} // namespace zkDlgSecurity
