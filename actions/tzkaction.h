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
    explicit TzkAction(QObject *owner = nullptr);

    qint32 SecurityId() const override { return m_securityId; }
    void setSecurityId(qint32 id) override;
    /// TAB-separated names of the controls on the list's owner this action drives.
    QString ActionDesigner() const { return m_actionDesigner; }
    void setActionDesigner(const QString &names) { m_actionDesigner = names; }
    TzkSecurityOptions Options() const { return m_options; }
    void setOptions(TzkSecurityOptions options);
    QString DisabledMessage() const { return m_disabledMessage; }
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
