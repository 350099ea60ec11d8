// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "actions/tzksecurityoptions.h"
#include "rightsmithcore_export.h"
#include "security/component/securityclient.h"
#include "toolkit/action.h"

#include <QString>

#include <optional>

namespace zkActnLst {

class TzkActionList;

/// A protected action: on every update pass it asks its list's security
/// component whether the logged-on user holds SecurityId, and disables or
/// hides itself, or (message mode) refuses to execute with a message.
class RIGHTSMITH_CORE_EXPORT TzkAction : public rightsmith::toolkit::Action,
                                         public zkSecurity::SecuredAction
{
    Q_OBJECT
    Q_INTERFACES(zkSecurity::SecuredAction)
public:
    /// \a owner becomes the QObject parent.
    explicit TzkAction(QObject *owner = nullptr);

    /// The right the action stands for: its identifier in the security template.
    qint32 SecurityId() const override { return m_securityId; }
    /// Sets the right; makes the action due for an update.
    void setSecurityId(qint32 id) override;
    /// TAB-separated names of the controls on the list's owner this action drives.
    QString ActionDesigner() const { return m_actionDesigner; }
    /// Sets ActionDesigner().
    void setActionDesigner(const QString &names) { m_actionDesigner = names; }
    /// What the action does when the user lacks the right; soParent (the default) takes the list's
    /// option.
    TzkSecurityOptions Options() const { return m_options; }
    /// Sets the option; makes the action due for an update.
    void setOptions(TzkSecurityOptions options);
    /// The message shown in the message mode when the user lacks the right.
    QString DisabledMessage() const { return m_disabledMessage; }
    /// Sets DisabledMessage().
    void setDisabledMessage(const QString &message) { m_disabledMessage = message; }

    /// The action's option, or its list's when it is soParent (throws
    /// rightsmith::toolkit::InvalidCast when that list is a standard one).
    TzkSecurityOptions effectiveOption() const;

    /// Binds the controls named in ActionDesigner.
    void Loaded() override;
    /// Applies the right, then runs the standard update step. Throws
    /// rightsmith::toolkit::InvalidCast when a standard list holds the action.
    bool Update() override;
    /// In the message mode refuses a denied action with DisabledMessage;
    /// otherwise the standard execute step, which runs Update(). Throws
    /// rightsmith::toolkit::InvalidCast when a standard list holds the action,
    /// unless the action's own option disables or hides and that list is
    /// suspended.
    bool Execute() override;

protected:
    /// True when the list's security component, the effective option, the
    /// SecurityId or the answer of CheckId() for it differ from the last
    /// update's: a change of rights updates only the actions it turns. A
    /// subclass whose Update() reads more of the component (the user's name,
    /// another right) extends this and noteUpdated(), or calls
    /// requestUpdate() when that changes. The idle pass looks at an action of
    /// exactly this class after a change of rights only when the change
    /// turned its SecurityId; at an action of a subclass after every change.
    bool updateInputsChanged() const override;
    void noteUpdated() override;

private:
    // What Update() reads besides the action itself.
    struct UpdateInputs
    {
        const void *security = nullptr;
        bool granted = false; // asked only where Update() asks it
        int option = -1;
        qint32 securityId = 0;
        bool operator==(const UpdateInputs &) const = default;
    };
    // nullopt when the list is a standard one (Update() throws then).
    std::optional<UpdateInputs> currentUpdateInputs() const;
    void fileUnderSecurityId();

    std::optional<UpdateInputs> m_updatedWith;
    qint32 m_securityId = 0;
    QString m_actionDesigner;
    TzkSecurityOptions m_options = soParent;
    QString m_disabledMessage;
};

} // namespace zkActnLst
