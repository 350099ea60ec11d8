// The parts of the security component that ask the window system: the claim
// on the owner window, and whether the owner is a form.
#include "security/tzksecurity.h"
#include "toolkit/namedclaim.h"

#include <QWidget>

namespace zkSecurity {

bool TzkSecurity::CheckSingleInstance()
{
    // No owner, or an owner that is not a widget: nothing to claim. Otherwise
    // the name is the owner's top-level window identifier (its native window
    // is created if needed), qualified by display or process as the platform needs.
    if (!qobject_cast<QWidget *>(parent()))
        return true;
    const std::optional<QByteArray> name = rightsmith::toolkit::NamedClaim::nameForOwner(parent());
    if (!name)
        return true;
    // A claim that cannot be made at all does not stop the component.
    return m_instanceMapping.acquire(*name) != rightsmith::toolkit::NamedClaim::AlreadyHeld;
}

bool TzkSecurity::OwnerIsForm() const
{
    auto *owner = qobject_cast<QWidget *>(parent());
    return owner && owner->isWindow();
}

} // namespace zkSecurity
