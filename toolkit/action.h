#pragma once

#include "toolkit/component.h"

#include <QAction>
#include <QPointer>

#include <functional>

namespace toolkit {

class ActionList;

/// A QAction with what the security layer needs of a standard action:
/// category, a hint split at "|" into tool tip and status tip, an image index
/// into its list's images, handlers, and virtual Update()/Execute() steps.
/// triggered() runs Execute(); the idle update pass runs Update().
class Action : public QAction, public Component
{
    Q_OBJECT
public:
    using Handler = std::function<void(Action *sender)>;
    /// An update or execute handler of a list returns true when it handled the action.
    using ListHandler = std::function<bool(Action *action)>;

    /// \a owner becomes the QObject parent (the component's owner).
    explicit Action(QObject *owner = nullptr);
    ~Action() override;

    ActionList *actionList() const { return m_list.data(); }
    /// Moves the action into \a list (nullptr: into none), appended last.
    void setActionList(ActionList *list);

    QString category() const { return m_category; }
    void setCategory(const QString &category);
    /// Short part before "|" becomes the tool tip, the long part after it the
    /// status tip; a hint without "|" is both.
    QString hint() const { return m_hint; }
    void setHint(const QString &hint);
    int imageIndex() const { return m_imageIndex; }
    /// Sets the index and the icon from the list's images (-1: no icon).
    void setImageIndex(int index);
    bool disableIfNoHandler() const { return m_disableIfNoHandler; }
    void setDisableIfNoHandler(bool disable) { m_disableIfNoHandler = disable; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    Handler onExecute() const { return m_onExecute; }
    void setOnExecute(Handler handler) { m_onExecute = std::move(handler); }
    Handler onUpdate() const { return m_onUpdate; }
    void setOnUpdate(Handler handler) { m_onUpdate = std::move(handler); }
    Handler onHint() const { return m_onHint; }
    void setOnHint(Handler handler) { m_onHint = std::move(handler); }

    /// Copies caption, checked, enabled, hint, image index, shortcut,
    /// visibility and the execute, update and hint handlers of \a source.
    void assign(const Action &source);

    /// The standard update step: the list's update handler, then the
    /// application's, then the own update handler; without any, a
    /// DisableIfNoHandler action is enabled exactly when it has an execute
    /// handler. Returns true when a handler handled it.
    virtual bool Update();
    /// The standard execute step: refuses while the list is suspended, runs
    /// Update(), and carries the action out (list handler, application, own
    /// handler) only while enabled. Returns true when carried out.
    virtual bool Execute();

private:
    void applyHint();

    QPointer<ActionList> m_list;
    QString m_category;
    QString m_hint;
    int m_imageIndex = -1;
    bool m_disableIfNoHandler = true;
    int m_tag = 0;
    Handler m_onExecute;
    Handler m_onUpdate;
    Handler m_onHint;
};

} // namespace toolkit
