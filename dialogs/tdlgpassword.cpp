// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/tdlgpassword.h"

#include "dialogs/dialogsupport_p.h"
#include "security/component/logoncheck.h"
#include "security/component/securityui.h"
#include "security/component/usermanagement.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/action.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/codecvalidator.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;

namespace zkEntryPasswordDlg {

using zkSecurity::TzkNodeRecord;
using zkSecurity::TzkSecurityTemplate;

TdlgPassword::TdlgPassword(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"dlgPassword"_s);
    setWindowTitle(tr("Password Dialog"));

    createEntryBoxes();
    createActions();
    QDialogButtonBox *box = createButtons();
    layOut(box);

    // The password box comes first, so it has the focus when the dialog
    // opens with a suggested name; the name box comes last.
    setTabOrder(edtPassword, btnOK);
    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, btnSecurity);
    setTabOrder(btnSecurity, edtUserName);
    edtPassword->setFocus();

    rightsmith::dialogsupport::fixDialogSize(this, 254, 127);
    rightsmith::dialogsupport::centreWhenShown(this);
}

void TdlgPassword::createEntryBoxes()
{
    edtUserName = new QComboBox(this);
    edtUserName->setObjectName(u"edtUserName"_s);
    edtUserName->setEditable(true);
    // The list shows the recent users only; a typed name is not added to it.
    edtUserName->setInsertPolicy(QComboBox::NoInsert);
    edtUserName->setCompleter(nullptr);
    toolkit::refuseUnencodableInput(edtUserName);

    lblUserName = new QLabel(tr("Enter &user name:"), this);
    lblUserName->setObjectName(u"lblUserName"_s);
    lblUserName->setBuddy(edtUserName);

    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(u"edtPassword"_s);
    rightsmith::dialogsupport::setPasswordEcho(edtPassword);
    toolkit::refuseUnencodableInput(edtPassword);

    Label1 = new QLabel(tr("Enter &password:"), this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setBuddy(edtPassword);
}

void TdlgPassword::createActions()
{
    actOK = new toolkit::Action(this);
    actOK->setObjectName(u"actOK"_s);
    actOK->setText(tr("&OK"));
    actOK->setOnUpdate([this](toolkit::Action *sender) { actOKUpdate(sender); });
    actOK->setOnExecute([this](toolkit::Action *sender) { actOKExecute(sender); });

    actSecurity = new toolkit::Action(this);
    actSecurity->setObjectName(u"actSecurity"_s);
    actSecurity->setText(tr("&Security"));
    actSecurity->setOnUpdate([this](toolkit::Action *sender) { actOKUpdate(sender); });
    actSecurity->setOnExecute([this](toolkit::Action *sender) { actSecurityExecute(sender); });
}

QDialogButtonBox *TdlgPassword::createButtons()
{
    btnOK = new QPushButton(this);
    btnOK->setObjectName(u"btnOK"_s);
    btnOK->setDefault(true);
    rightsmith::dialogsupport::bindButton(btnOK, actOK);

    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(u"btnCancel"_s);

    // OK goes through its action, which checks the password first; Cancel rejects.
    QDialogButtonBox *box = rightsmith::dialogsupport::okCancelColumn(this, btnOK, btnCancel);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    btnSecurity = new QPushButton(this);
    btnSecurity->setObjectName(u"btnSecurity"_s);
    rightsmith::dialogsupport::bindButton(btnSecurity, actSecurity);
    return box;
}

void TdlgPassword::layOut(QDialogButtonBox *box)
{
    auto *boxes = new QVBoxLayout;
    boxes->setSpacing(2);
    boxes->addWidget(lblUserName);
    boxes->addWidget(edtUserName);
    boxes->addSpacing(6);
    boxes->addWidget(Label1);
    boxes->addWidget(edtPassword);
    boxes->addStretch();

    // Security opens another dialog; it stays below the box, where every
    // platform's order would put such an action button above OK.
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(box);
    buttons->addWidget(btnSecurity);
    buttons->addStretch();

    auto *main = new QHBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);
    main->addLayout(boxes, 1);
    main->addLayout(buttons);
}

TdlgPassword::~TdlgPassword() = default;

QByteArray TdlgPassword::userName() const
{
    return rightsmith::dialogsupport::encoded(edtUserName->currentText()).value_or(QByteArray());
}

void TdlgPassword::setUserName(const QByteArray &name)
{
    edtUserName->setEditText(rightsmith::dialogsupport::decoded(name));
}

QByteArray TdlgPassword::password() const
{
    return rightsmith::dialogsupport::encoded(edtPassword->text()).value_or(QByteArray());
}

void TdlgPassword::setPassword(const QByteArray &password)
{
    edtPassword->setText(rightsmith::dialogsupport::decoded(password));
}

void TdlgPassword::setRecentUsers(const QList<QByteArray> &names)
{
    // Adding to an empty combo box selects its first entry; keep the text.
    const QString text = edtUserName->currentText();
    edtUserName->clear();
    for (const QByteArray &name : names)
        edtUserName->addItem(rightsmith::dialogsupport::decoded(name));
    edtUserName->setEditText(text);
}

bool TdlgPassword::CheckUserPassword()
{
    // A hidden dialog is the program trying a remembered password, not a
    // person guessing: a failure of that is not counted.
    return checkTyped(isVisible() ? zkSecurity::LogonCheck::Attempt::Logon
                                  : zkSecurity::LogonCheck::Attempt::Silent);
}

bool TdlgPassword::checkTyped(zkSecurity::LogonCheck::Attempt attempt)
{
    const auto name = rightsmith::dialogsupport::encoded(edtUserName->currentText());
    const auto typed = rightsmith::dialogsupport::encoded(edtPassword->text());
    zkSecurity::LogonCheck::Result result;
    if (UserTemplate && name && typed) {
        static const zkSecurity::LogonCheck plain;
        result = (Check ? *Check : plain).check(*UserTemplate, *name, *typed, attempt);
        if (result.verdict == zkSecurity::LogonCheck::Verdict::Accepted)
            return true;
    }
    if (isVisible()) {
        if (result.verdict == zkSecurity::LogonCheck::Verdict::Throttled)
            toolkit::showMessage(zkSecurity::LogonCheck::throttledMessage(result.wait));
        else if (!result.problem.isEmpty())
            toolkit::showWarning(tr("The logon cannot be checked: %1").arg(result.problem));
        else
            toolkit::showMessage(tr("Wrong user name or password."));
        edtUserName->setFocus();
    }
    return false;
}

void TdlgPassword::actOKUpdate(toolkit::Action *sender)
{
    sender->setEnabled(!edtUserName->currentText().isEmpty());
}

void TdlgPassword::actOKExecute(toolkit::Action *sender)
{
    Q_UNUSED(sender);
    // A failed check has shown its message; the dialog stays open.
    if (CheckUserPassword())
        accept();
}

void TdlgPassword::actSecurityExecute(toolkit::Action *sender)
{
    Q_UNUSED(sender);
    // Proves who the user is without logging on.
    if (!checkTyped(zkSecurity::LogonCheck::Attempt::Verify))
        return;
    const QByteArray name = userName();
    // Whatever the management dialog ends with, logging on needs the password again.
    edtPassword->clear();
    zkSecurity::SecurityUi *ui = zkSecurity::SecurityUi::Installed();
    if (!ui)
        return;
    // Freed on every way out, whatever the dialog ends with.
    const std::unique_ptr<zkSecurity::UserManagementDialog> security =
        ui->CreateUserManagementDialog(SecurityTemplate);
    zkSecurity::RunUserManagement(*security, UserTemplate, SecurityTemplate, name,
                                  ShowCheckedOKOnly, name != zkSecurity::SupervisorName, Check,
                                  RoleTemplate);
}

void TdlgPassword::TakeOverPassword(TzkSecurityTemplate *Edited, TzkSecurityTemplate *UserTemplate,
                                    const QByteArray &UserName)
{
    zkSecurity::TakeOverPassword(Edited, UserTemplate, UserName);
}

void TdlgPassword::CopyUserTemplate(TzkSecurityTemplate *Source, TzkSecurityTemplate *Dest,
                                    const QByteArray &UserName, bool ShowCheckedOKOnly)
{
    zkSecurity::CopyUserTemplate(Source, Dest, UserName, ShowCheckedOKOnly);
}

} // namespace zkEntryPasswordDlg
