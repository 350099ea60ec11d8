// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

#include <QValidator>

class QComboBox;
class QLineEdit;

namespace rightsmith::toolkit {

/// Refuses any input that holds a character the code page of rightsmith::toolkit::Codec
/// cannot represent. Names and passwords are stored as 8-bit bytes; replacing
/// such a character would let two different texts become the same bytes, so
/// the edit keeps its previous text instead and refused() tells why.
class RIGHTSMITH_WIDGETS_EXPORT CodecValidator : public QValidator
{
    Q_OBJECT
public:
    /// A validator owned by \a parent.
    explicit CodecValidator(QObject *parent = nullptr);

    /// Acceptable when the code page holds every character of \a input; otherwise Invalid, after
    /// emitting refused().
    State validate(QString &input, int &pos) const override;

Q_SIGNALS:
    /// Emitted when validate() refuses \a input; \a message names the character.
    void refused(const QString &message);
};

/// Installs a CodecValidator on \a edit and shows its message as a tool tip
/// below the edit whenever it refuses a character. Returns the validator
/// (owned by \a edit).
RIGHTSMITH_WIDGETS_EXPORT CodecValidator *refuseUnencodableInput(QLineEdit *edit);
/// The same for an editable combo box (its line edit).
RIGHTSMITH_WIDGETS_EXPORT CodecValidator *refuseUnencodableInput(QComboBox *combo);

} // namespace rightsmith::toolkit
