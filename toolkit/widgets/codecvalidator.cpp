// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/widgets/codecvalidator.h"

#include "toolkit/codec.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QToolTip>

namespace rightsmith::toolkit {

CodecValidator::CodecValidator(QObject *parent)
    : QValidator(parent)
{
}

QValidator::State CodecValidator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos);
    if (Codec::canEncode(input))
        return Acceptable;
    // validate() is const by QValidator's contract; telling the user is not a
    // change of the validator's state.
    Q_EMIT const_cast<CodecValidator *>(this)->refused(Codec::unencodableMessage(input));
    return Invalid;
}

namespace {

void showRefusal(QWidget *anchor, const QString &message)
{
    QApplication::beep();
    QToolTip::showText(anchor->mapToGlobal(QPoint(0, anchor->height())), message, anchor);
}

} // namespace

CodecValidator *refuseUnencodableInput(QLineEdit *edit)
{
    auto *validator = new CodecValidator(edit);
    edit->setValidator(validator);
    QObject::connect(validator, &CodecValidator::refused, edit,
                     [edit](const QString &message) { showRefusal(edit, message); });
    return validator;
}

CodecValidator *refuseUnencodableInput(QComboBox *combo)
{
    auto *validator = new CodecValidator(combo);
    combo->setValidator(validator);
    QObject::connect(validator, &CodecValidator::refused, combo,
                     [combo](const QString &message) { showRefusal(combo, message); });
    return validator;
}

} // namespace rightsmith::toolkit
