// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "toolkit/component.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

namespace rightsmith::toolkit {

class Action;
class ImageList;

/// An ordered list of actions with an image list and list-wide handlers.
class RIGHTSMITH_CORE_EXPORT ActionList : public QObject, public Component
{
    Q_OBJECT
public:
    /// A list-wide update or execute handler; returns true when it handled \a action.
    using ListHandler = std::function<bool(Action *action)>;
    /// Called with the list whenever actions are added or removed or the images are set.
    using ChangeHandler = std::function<void(ActionList *sender)>;

    /// \a owner becomes the QObject parent.
    explicit ActionList(QObject *owner = nullptr);
    ~ActionList() override; // destroys the actions it holds

    /// Number of actions in the list.
    int count() const { return int(m_actions.size()); }
    /// The action at position \a i, or nullptr when out of range.
    Action *action(int i) const;
    /// The actions in list order.
    QList<Action *> actions() const;
    /// Position of \a action in the list, -1 when it is not in it.
    int indexOf(const Action *action) const;

    /// The image list the actions' image indexes refer to, or nullptr; not owned.
    ImageList *images() const;
    /// Sets the image list (not owned, forgotten when destroyed); emits imagesChanged().
    void setImages(ImageList *images);

    /// The list-wide execute handler, consulted before the application's and the action's own.
    ListHandler onExecute() const { return m_onExecute; }
    /// Sets the list-wide execute handler.
    void setOnExecute(ListHandler handler) { m_onExecute = std::move(handler); }
    /// The list-wide update handler, consulted before the application's and the action's own.
    ListHandler onUpdate() const { return m_onUpdate; }
    /// Makes each of its actions due for an update (see Action::isUpdateDue()).
    void setOnUpdate(ListHandler handler);
    /// The change handler.
    ChangeHandler onChange() const { return m_onChange; }
    /// Sets the change handler.
    void setOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }

    /// A suspended list refuses to execute its actions.
    bool isSuspended() const { return m_suspended; }
    /// Suspends or resumes executing the list's actions.
    void setSuspended(bool suspended) { m_suspended = suspended; }

Q_SIGNALS:
    /// The image list was set, changed or destroyed.
    void imagesChanged();

private:
    friend class Action;
    void insertAction(Action *action);
    void removeAction(Action *action);
    void changed();

    QList<QPointer<Action>> m_actions;
    QPointer<ImageList> m_images;
    ListHandler m_onExecute;
    ListHandler m_onUpdate;
    ChangeHandler m_onChange;
    bool m_suspended = false;
};

} // namespace rightsmith::toolkit
