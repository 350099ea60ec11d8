// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QObject>
#include <QtGlobal>

namespace zkSecurity {

/// A protected action as the security component sees it: the identifier that
/// the rights check asks for, and that a build from the clients may give out.
/// The component finds it on a client's actions with qobject_cast, so that the
/// security layer does not depend on the protected actions' classes.
class RIGHTSMITH_CORE_EXPORT SecuredAction
{
public:
    virtual ~SecuredAction() = default;
    /// The right the action stands for.
    virtual qint32 SecurityId() const = 0;
    /// Gives the action the identifier \a id (a build from the clients does).
    virtual void setSecurityId(qint32 id) = 0;
};

/// A client action list as the security component sees it. Its actions are
/// the toolkit list's; those that are SecuredActions are protected.
class RIGHTSMITH_CORE_EXPORT SecurityClient
{
public:
    virtual ~SecurityClient() = default;
    /// Forgets the security component; the list unregisters itself.
    virtual void DetachSecurity() = 0;
    /// True when the list hides the actions its user may not use.
    virtual bool HidesOnFail() const = 0;
};

} // namespace zkSecurity

Q_DECLARE_INTERFACE(zkSecurity::SecuredAction, "org.rightsmith.zkSecurity.SecuredAction/1.0")
Q_DECLARE_INTERFACE(zkSecurity::SecurityClient, "org.rightsmith.zkSecurity.SecurityClient/1.0")
