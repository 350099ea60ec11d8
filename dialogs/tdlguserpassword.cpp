// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/tdlguserpassword.h"

#include "dialogs/dialogsupport_p.h"
#include "security/model/passwordhash.h"
#include "toolkit/action.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/codecvalidator.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace zkUserPasswordDlg {

namespace {

QLineEdit *passwordBox(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    rightsmith::dialogsupport::setPasswordEcho(edit);
    rightsmith::toolkit::refuseUnencodableInput(edit);
    return edit;
}

QLabel *label(QWidget *parent, const QString &name, const QString &caption, QWidget *buddy)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setBuddy(buddy);
    return l;
}

} // namespace

TdlgUserPassword::TdlgUserPassword(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"dlgUserPassword"_s);
    setWindowTitle(tr("Change Password"));

    edtCurrentPassword = passwordBox(this, u"edtCurrentPassword"_s);
    edtNewPassword = passwordBox(this, u"edtNewPassword"_s);
    edtNewPasswordRetype = passwordBox(this, u"edtNewPasswordRetype"_s);
    Label1 = label(this, u"Label1"_s, tr("C&urrent password"), edtCurrentPassword);
    Label2 = label(this, u"Label2"_s, tr("&New password"), edtNewPassword);
    Label3 = label(this, u"Label3"_s, tr("&Retype new password"), edtNewPasswordRetype);

    // OK goes through its action, which checks the passwords first.
    const auto okCancel = rightsmith::dialogsupport::okCancelButtons(
        this, tr("&OK"), tr("&Cancel"),
        [this](rightsmith::toolkit::Action *sender) { actOKExecute(sender); });
    actOK = okCancel.action;
    OKBtn = okCancel.ok;
    CancelBtn = okCancel.cancel;

    auto *boxes = new QVBoxLayout;
    boxes->setSpacing(2);
    boxes->addWidget(Label1);
    boxes->addWidget(edtCurrentPassword);
    boxes->addSpacing(4);
    boxes->addWidget(Label2);
    boxes->addWidget(edtNewPassword);
    boxes->addSpacing(4);
    boxes->addWidget(Label3);
    boxes->addWidget(edtNewPasswordRetype);
    boxes->addStretch();

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(okCancel.box);
    buttons->addStretch();

    auto *main = new QHBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);
    main->addLayout(boxes, 1);
    main->addLayout(buttons);

    setTabOrder(edtCurrentPassword, edtNewPassword);
    setTabOrder(edtNewPassword, edtNewPasswordRetype);
    setTabOrder(edtNewPasswordRetype, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    edtCurrentPassword->setFocus();

    rightsmith::dialogsupport::fixDialogSize(this, 239, 138);
    rightsmith::dialogsupport::centreWhenShown(this);
}

TdlgUserPassword::~TdlgUserPassword() = default;

void TdlgUserPassword::askNewPasswordOnly(const QString &title, const QString &reason)
{
    m_newOnly = true;
    setWindowTitle(title);
    edtCurrentPassword->hide();
    Label1->setText(reason);
    Label1->setBuddy(nullptr);
    Label1->setVisible(!reason.isEmpty());
    edtNewPassword->setFocus();
    Label1->setWordWrap(true);
    // The nested layouts learn of the label's text and wrapping first; then
    // the box is as high as the wrapped reason needs at its width.
    layout()->invalidate();
    layout()->activate();
    rightsmith::dialogsupport::fixDialogSize(this, 239, 138);
    setFixedHeight(qMax(height(), layout()->totalHeightForWidth(width())));
}

void TdlgUserPassword::actOKExecute(rightsmith::toolkit::Action *sender)
{
    Q_UNUSED(sender);
    // The stored password is never unscrambled: the typed one is scrambled and
    // compared. A text the code page cannot hold matches nothing.
    const auto current = rightsmith::dialogsupport::encoded(edtCurrentPassword->text());
    bool currentOk = m_newOnly;
    if (m_newOnly) {
        // Nobody is asked for a password they have not got, or just typed.
    } else if (current && CurrentRecord && zkSecurity::PasswordHash::isHashed(*CurrentRecord)) {
        currentOk = zkSecurity::PasswordHash::matches(&*CurrentRecord, *current);
    } else if (current) {
        zkSecurity::TzkNodeRecord stored;
        stored.setCaption(CurrentPassword.left(MaxPasswordLength));
        currentOk = zkSecurity::PasswordHash::matches(&stored, *current);
    }
    // A zero byte could be stored but never typed again.
    const auto typedNew = rightsmith::dialogsupport::encoded(edtNewPassword->text());
    const bool newOk = typedNew && !typedNew->contains('\0');
    if (!currentOk || !newOk || edtNewPassword->text() != edtNewPasswordRetype->text()) {
        if (m_newOnly) {
            rightsmith::toolkit::showMessage(
                tr("The new password is invalid or the two do not agree. Please retype."));
            edtNewPassword->setFocus();
            return;
        }
        rightsmith::toolkit::showMessage(tr("Invalid current or new password. Please retype."));
        edtCurrentPassword->setFocus();
        return;
    }
    QString tooLong;
    if (!zkSecurity::PasswordHash::fits(*typedNew, NewPasswordCost, &tooLong)) {
        rightsmith::toolkit::showMessage(tooLong);
        edtNewPassword->setFocus();
        return;
    }
    if (const QString broken = Rules.check(*typedNew, UserName); !broken.isEmpty()) {
        rightsmith::toolkit::showMessage(broken);
        edtNewPassword->setFocus();
        return;
    }
    accept();
}

} // namespace zkUserPasswordDlg
