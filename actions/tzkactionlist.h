// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "actions/tzksecurityoptions.h"
#include "rightsmithcore_export.h"
#include "security/component/securityclient.h"
#include "toolkit/actionlist.h"

#include <QPointer>

namespace rightsmith::toolkit {
class Action;
}
namespace zkSecurity {
class TzkSecurity;
}

namespace zkActnLst {

class TzkAction;

/// Only the type of the list's ActionListDesigner property.
class RIGHTSMITH_CORE_EXPORT TzkActionListDesigner
{
};

/// An action list bound to a security component, whose client it is.
class RIGHTSMITH_CORE_EXPORT TzkActionList : public rightsmith::toolkit::ActionList,
                                             public zkSecurity::SecurityClient
{
    Q_OBJECT
    Q_INTERFACES(zkSecurity::SecurityClient)
public:
    /// In design mode, with an owner, scans the owner: binds its security
    /// component and offers to convert its standard action lists.
    explicit TzkActionList(QObject *owner = nullptr);
    ~TzkActionList() override;

    /// The security component the list is a client of, or nullptr.
    zkSecurity::TzkSecurity *SecurityObject() const;
    /// Registers the list as a client of \a value (unregistering it from the previous one; nullptr:
    /// none) and makes every action due for an update.
    void SetSecurityObject(zkSecurity::TzkSecurity *value);
    /// What the list's actions whose option is soParent do when the user lacks the right.
    TzkSecurityOptionsRoot Options() const { return m_options; }
    /// Sets the option; each action of the list is updated again.
    void setOptions(TzkSecurityOptionsRoot options);
    /// The designer placeholder, or nullptr.
    TzkActionListDesigner *ActionListDesigner() const { return m_actionListDesigner; }
    /// Sets the designer placeholder (not owned).
    void setActionListDesigner(TzkActionListDesigner *designer) { m_actionListDesigner = designer; }

    /// SecurityClient: SetSecurityObject(nullptr), and whether Options() is sorSetInvisibleOnFail.
    void DetachSecurity() override;
    bool HidesOnFail() const override;

    /// A new protected action in this list, copied from \a source when given.
    TzkAction *CreateSecurityAction(rightsmith::toolkit::Action *source);

private:
    void scanOwner();
    void requestUpdates();

    QPointer<zkSecurity::TzkSecurity> m_securityObject;
    TzkSecurityOptionsRoot m_options = sorSetDisabledOnFail;
    TzkActionListDesigner *m_actionListDesigner = nullptr;
};

} // namespace zkActnLst
