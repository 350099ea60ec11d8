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
    using ListHandler = std::function<bool(Action *action)>;
    using ChangeHandler = std::function<void(ActionList *sender)>;

    explicit ActionList(QObject *owner = nullptr);
    ~ActionList() override; // destroys the actions it holds

    int count() const { return int(m_actions.size()); }
    Action *action(int i) const;
    QList<Action *> actions() const;
    int indexOf(const Action *action) const;

    ImageList *images() const;
    void setImages(ImageList *images);

    ListHandler onExecute() const { return m_onExecute; }
    void setOnExecute(ListHandler handler) { m_onExecute = std::move(handler); }
    ListHandler onUpdate() const { return m_onUpdate; }
    /// Makes each of its actions due for an update (see Action::isUpdateDue()).
    void setOnUpdate(ListHandler handler);
    ChangeHandler onChange() const { return m_onChange; }
    void setOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }

    /// A suspended list refuses to execute its actions.
    bool isSuspended() const { return m_suspended; }
    void setSuspended(bool suspended) { m_suspended = suspended; }

Q_SIGNALS:
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
