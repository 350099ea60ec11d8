// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "actions/tzkaction.h"

#include "actions/tzkactionlist.h"
#include "security/component/tzksecurity.h"
#include "toolkit/component.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;

namespace zkActnLst {

namespace {

const QChar ControlNameDelimiter = u'\t';

// The list holding a protected action, taken as a protected list: nullptr
// when there is none. A standard list holding it is a configuration error.
TzkActionList *protectedList(toolkit::ActionList *list)
{
    if (!list)
        return nullptr;
    auto *protectedList = qobject_cast<TzkActionList *>(list);
    if (!protectedList)
        throw toolkit::InvalidCast();
    return protectedList;
}

} // namespace

TzkAction::TzkAction(QObject *owner)
    : toolkit::Action(owner)
{
    // Only rights disable a protected action, never a missing execute handler.
    setDisableIfNoHandler(false);
    m_actionDesigner.clear();
    m_options = soParent;
    fileUnderSecurityId();
}

void TzkAction::fileUnderSecurityId()
{
    // What updateInputsChanged() reads of a security component is the answer
    // for SecurityId; the rights source names the identifiers that turned.
    setUpdateKey(m_securityId, typeid(TzkAction));
}

void TzkAction::setSecurityId(qint32 id)
{
    if (id == m_securityId)
        return;
    m_securityId = id;
    fileUnderSecurityId();
    requestUpdate();
}

void TzkAction::setOptions(TzkSecurityOptions options)
{
    if (options == m_options)
        return;
    m_options = options;
    requestUpdate();
}

std::optional<TzkAction::UpdateInputs> TzkAction::currentUpdateInputs() const
{
    UpdateInputs inputs;
    inputs.securityId = m_securityId;
    toolkit::ActionList *list = actionList();
    if (!list) {
        inputs.option = int(m_options == soParent ? soSetDisabledOnFail : m_options);
        return inputs;
    }
    auto *protectedList = qobject_cast<TzkActionList *>(list);
    if (!protectedList)
        return std::nullopt;
    inputs.option = m_options == soParent ? int(protectedList->Options()) : int(m_options);
    if (const zkSecurity::TzkSecurity *security = protectedList->SecurityObject()) {
        inputs.security = security;
        if (inputs.option != soShowMessageOnFail)
            inputs.granted = security->CheckId(m_securityId);
    }
    return inputs;
}

bool TzkAction::updateInputsChanged() const
{
    const std::optional<UpdateInputs> inputs = currentUpdateInputs();
    return !inputs || !m_updatedWith || !(*inputs == *m_updatedWith);
}

void TzkAction::noteUpdated()
{
    m_updatedWith = currentUpdateInputs();
}

TzkSecurityOptions TzkAction::effectiveOption() const
{
    if (m_options != soParent)
        return m_options;
    if (TzkActionList *list = protectedList(actionList()))
        return TzkSecurityOptions(list->Options());
    return soSetDisabledOnFail;
}

void TzkAction::Loaded()
{
    toolkit::Action::Loaded();
    toolkit::ActionList *list = actionList();
    if (!list)
        return;
    const QObject *owner = list->parent();
    for (int n = 1;; ++n) {
        const QString name = zkSecurity::ExtractToken(m_actionDesigner, n, ControlNameDelimiter);
        if (name.isEmpty())
            break;
        QObject *component = toolkit::findComponent(owner, name);
        if (component && toolkit::isControl(component))
            toolkit::setControlAction(component, this);
    }
}

bool TzkAction::Update()
{
    if (TzkActionList *list = protectedList(actionList())) {
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
    return toolkit::Action::Update();
}

bool TzkAction::Execute()
{
    toolkit::ActionList *list = actionList();
    if (!list)
        return toolkit::Action::Execute();
    if (effectiveOption() == soShowMessageOnFail) {
        zkSecurity::TzkSecurity *security = protectedList(list)->SecurityObject();
        const bool granted = !security || security->CheckId(m_securityId);
        if (!granted) {
            toolkit::showMessage(m_disabledMessage.isEmpty()
                                     ? tr("Insuficient rights to access this functionality.")
                                     : m_disabledMessage);
            return false;
        }
    }
    return toolkit::Action::Execute();
}

} // namespace zkActnLst
