// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/actionlist.h"

#include "toolkit/action.h"
#include "toolkit/imagelist.h"
#include "toolkit/updatesource.h"

namespace rightsmith::toolkit {

ActionList::ActionList(QObject *owner)
    : QObject(owner)
{
}

ActionList::~ActionList()
{
    // The actions belong to their owner (a form) as QObjects, but to the list
    // as its items: destroying the list destroys them. Each is detached first
    // so that its destructor does not edit the list being walked.
    const QList<QPointer<Action>> actions = m_actions;
    m_actions.clear();
    for (const QPointer<Action> &action : actions) {
        if (!action)
            continue;
        action->m_list = nullptr;
        delete action.data();
    }
}

Action *ActionList::action(int i) const
{
    if (i < 0 || i >= m_actions.size())
        return nullptr;
    return m_actions.at(i).data();
}

QList<Action *> ActionList::actions() const
{
    QList<Action *> result;
    result.reserve(m_actions.size());
    for (const QPointer<Action> &action : m_actions) {
        if (action)
            result.append(action.data());
    }
    return result;
}

int ActionList::indexOf(const Action *action) const
{
    for (int i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i).data() == action)
            return i;
    }
    return -1;
}

void ActionList::setOnUpdate(ListHandler handler)
{
    m_onUpdate = std::move(handler);
    for (const QPointer<Action> &action : std::as_const(m_actions)) {
        if (action)
            action->requestUpdate();
    }
    rightsmith::toolkit::noteUpdateInputsChanged();
}

ImageList *ActionList::images() const
{
    return m_images.data();
}

void ActionList::setImages(ImageList *images)
{
    if (images == m_images)
        return;
    if (m_images)
        disconnect(m_images, nullptr, this, nullptr);
    m_images = images;
    if (images) {
        connect(images, &ImageList::changed, this, &ActionList::imagesChanged);
        // Forget a destroyed image list before the actions look at it again.
        connect(images, &QObject::destroyed, this, [this] {
            m_images = nullptr;
            Q_EMIT imagesChanged();
        });
    }
    Q_EMIT imagesChanged();
    changed();
}

void ActionList::insertAction(Action *action)
{
    // Only Action::setActionList() calls this, for an action that was in
    // another list or none: no search, so filling a list stays linear.
    Q_ASSERT(action && indexOf(action) < 0);
    if (!action)
        return;
    m_actions.append(action);
    changed();
}

void ActionList::removeAction(Action *action)
{
    const int i = indexOf(action);
    if (i < 0)
        return;
    m_actions.removeAt(i);
    changed();
}

void ActionList::changed()
{
    if (const ChangeHandler handler = m_onChange)
        handler(this);
}

} // namespace rightsmith::toolkit
