// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/tdlgnewuser.h"

#include "dialogs/dialogsupport_p.h"
#include "dialogs/tfrmsecurity.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/action.h"
#include "toolkit/widgets/codecvalidator.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace zkNewUserDlg {

TdlgNewUser::TdlgNewUser(zkDlgSecurity::TfrmSecurity *owner)
    : QDialog(owner)
    , m_owner(owner)
{
    setObjectName(u"dlgNewUser"_s);
    setWindowTitle(tr("New User"));

    edtNewUserName = new QLineEdit(this);
    edtNewUserName->setObjectName(u"edtNewUserName"_s);
    rightsmith::toolkit::refuseUnencodableInput(edtNewUserName);

    lblNewUserName = new QLabel(tr("&User Name"), this);
    lblNewUserName->setObjectName(u"lblNewUserName"_s);
    lblNewUserName->setBuddy(edtNewUserName);

    // OK goes through its action (enabled only for a free name); it has no
    // check of its own: once enabled, its modal result closes the dialog.
    const auto okCancel = rightsmith::dialogsupport::okCancelButtons(
        this, tr("&OK"), tr("&Cancel"), [this](rightsmith::toolkit::Action *) { accept(); },
        [this](rightsmith::toolkit::Action *sender) { actOKUpdate(sender); });
    actOK = okCancel.action;
    OKBtn = okCancel.ok;
    CancelBtn = okCancel.cancel;

    auto *row = new QHBoxLayout;
    row->addWidget(lblNewUserName);
    row->addWidget(edtNewUserName, 1);
    auto *left = new QVBoxLayout;
    left->addLayout(row);
    left->addStretch();

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(okCancel.box);
    buttons->addStretch();

    auto *main = new QHBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);
    main->addLayout(left, 1);
    main->addLayout(buttons);

    setTabOrder(edtNewUserName, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    edtNewUserName->setFocus();

    rightsmith::dialogsupport::fixDialogSize(this, 351, 80);
    rightsmith::dialogsupport::centreWhenShown(this);
}

TdlgNewUser::~TdlgNewUser() = default;

void TdlgNewUser::actOKUpdate(rightsmith::toolkit::Action *sender)
{
    const auto name = rightsmith::dialogsupport::encoded(edtNewUserName->text());
    bool enabled = name && !name->isEmpty();
    if (enabled && m_owner) {
        if (auto *tree = m_owner->ftvUserTemplate())
            enabled = tree->GetUserNodeByUserName(*name) == nullptr;
    }
    sender->setEnabled(enabled);
}

} // namespace zkNewUserDlg
