#include "actions/tzkaction.h"

#include "actions/tzkactionlist.h"
#include "security/tzksecurity.h"
#include "toolkit/component.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"

using namespace Qt::StringLiterals;

namespace zkActnLst {

namespace {

const QChar ControlNameDelimiter = u'\t';

} // namespace

TzkAction::TzkAction(QObject *owner)
    : rightsmith::toolkit::Action(owner)
{
    // Only rights disable a protected action, never a missing execute handler.
    setDisableIfNoHandler(false);
    m_actionDesigner.clear();
    m_options = soParent;
}

TzkSecurityOptions TzkAction::effectiveOption() const
{
    if (m_options != soParent)
        return m_options;
    // An action held by a standard list has no list option to inherit; it then
    // behaves as in a protected list without a security object.
    if (auto *list = qobject_cast<TzkActionList *>(actionList()))
        return TzkSecurityOptions(list->Options());
    return soSetDisabledOnFail;
}

void TzkAction::Loaded()
{
    rightsmith::toolkit::Action::Loaded();
    rightsmith::toolkit::ActionList *list = actionList();
    if (!list)
        return;
    const QObject *owner = list->parent();
    for (int n = 1;; ++n) {
        const QString name = zkSecurity::ExtractToken(m_actionDesigner, n, ControlNameDelimiter);
        if (name.isEmpty())
            break;
        QObject *component = rightsmith::toolkit::findComponent(owner, name);
        if (component && rightsmith::toolkit::isControl(component))
            rightsmith::toolkit::setControlAction(component, this);
    }
}

bool TzkAction::Update()
{
    // A standard list holding a protected action protects nothing, like a
    // protected list without a security object.
    if (auto *list = qobject_cast<TzkActionList *>(actionList())) {
        if (zkSecurity::TzkSecurity *security = list->SecurityObject()) {
            const TzkSecurityOptions option = effectiveOption();
            if (option != soShowMessageOnFail) {
                const bool granted = security->CheckId(m_securityId);
                if (option == soSetDisabledOnFail)
                    setEnabled(granted);
                else if (option == soSetInvisibleOnFail)
                    setVisible(granted);
            }
        }
    }
    // Rights first, so that an update handler may still override them.
    return rightsmith::toolkit::Action::Update();
}

bool TzkAction::Execute()
{
    rightsmith::toolkit::ActionList *list = actionList();
    if (!list)
        return rightsmith::toolkit::Action::Execute();
    if (effectiveOption() == soShowMessageOnFail) {
        auto *protectedList = qobject_cast<TzkActionList *>(list);
        zkSecurity::TzkSecurity *security =
            protectedList ? protectedList->SecurityObject() : nullptr;
        const bool granted = !security || security->CheckId(m_securityId);
        if (!granted) {
            rightsmith::toolkit::showMessage(
                m_disabledMessage.isEmpty() ? u"Insuficient rights to access this functionality."_s
                                            : m_disabledMessage);
            return false;
        }
    }
    return rightsmith::toolkit::Action::Execute();
}

} // namespace zkActnLst
