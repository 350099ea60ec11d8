// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "toolkit/component.h"

#include <QAction>
#include <QPointer>

#include <functional>
#include <typeinfo>
#include <vector>

namespace rightsmith::toolkit {

class ActionList;

/// A QAction with what the security layer needs of a standard action:
/// category, a hint split at "|" into tool tip and status tip, an image index
/// into its list's images, handlers, and virtual Update()/Execute() steps.
/// triggered() runs Execute(); the idle update pass runs Update().
///
/// Execute() is the one path by which the action is carried out: a menu
/// item, a tool button, a shortcut or trigger() emit triggered(), which runs
/// Execute(). Note that QAction toggles a checkable action before it emits
/// triggered().
class RIGHTSMITH_CORE_EXPORT Action : public QAction, public Component
{
    Q_OBJECT
public:
    /// A handler of the action alone; \a sender is the action.
    using Handler = std::function<void(Action *sender)>;
    /// An update or execute handler of a list returns true when it handled the action.
    using ListHandler = std::function<bool(Action *action)>;

    /// \a owner becomes the QObject parent (the component's owner).
    explicit Action(QObject *owner = nullptr);
    ~Action() override;

    /// The list the action is in, or nullptr.
    ActionList *actionList() const;
    /// Moves the action into \a list (nullptr: into none), appended last.
    void setActionList(ActionList *list);

    /// The category the action is listed under (the security template groups rights by it).
    QString category() const { return m_category; }
    /// Sets the category.
    void setCategory(const QString &category);
    /// Short part before "|" becomes the tool tip, the long part after it the
    /// status tip; a hint without "|" is both.
    QString hint() const { return m_hint; }
    /// Sets the hint and updates tool tip and status tip from it.
    void setHint(const QString &hint);
    /// The part of \a hint before the first "|" (all of it without "|").
    static QString shortHint(const QString &hint);
    /// The part of \a hint after the first "|" (all of it without "|").
    static QString longHint(const QString &hint);
    /// Index into the list's images, -1 for none.
    int imageIndex() const { return m_imageIndex; }
    /// Sets the index and the icon from the list's images (-1: no icon). The
    /// icon follows later changes of the list's images.
    void setImageIndex(int index);
    /// Whether an action without any handler is disabled by Update() (default true).
    bool disableIfNoHandler() const { return m_disableIfNoHandler; }
    /// Sets disableIfNoHandler(); makes the action due for an update.
    void setDisableIfNoHandler(bool disable);
    /// A free number for the application's use.
    int tag() const { return m_tag; }
    /// Sets tag().
    void setTag(int tag) { m_tag = tag; }

    /// The action's own execute handler.
    Handler onExecute() const { return m_onExecute; }
    /// Sets the own execute handler; makes the action due for an update.
    void setOnExecute(Handler handler);
    /// The action's own update handler.
    Handler onUpdate() const { return m_onUpdate; }
    /// Sets the own update handler; makes the action due for an update.
    void setOnUpdate(Handler handler);
    /// Runs when the user hovers a menu item or button of the action.
    Handler onHint() const { return m_onHint; }
    /// Sets the hint handler.
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
    /// handler) only while enabled. Returns true when carried out; an enabled
    /// action that no handler takes does nothing and returns false. As with
    /// any QAction, a hidden action reports isEnabled() false, so a hidden
    /// action is not carried out (not even through its shortcut).
    virtual bool Execute();

    /// Application-wide handlers, consulted after the list's and before the
    /// action's own (rightsmith::toolkit::Application sets them). Return true when handled.
    static void setApplicationUpdateHandler(ListHandler handler);
    /// The application-wide update handler, or an empty function.
    static ListHandler applicationUpdateHandler();
    /// Sets the application-wide execute handler.
    static void setApplicationExecuteHandler(ListHandler handler);
    /// The application-wide execute handler, or an empty function.
    static ListHandler applicationExecuteHandler();

    /// Every Action alive in the process, in creation order.
    static QList<Action *> liveActions();
    /// Grows whenever an Action is created or destroyed, or declares another
    /// class for its update key (setUpdateKey()).
    static quint64 liveActionsGeneration();

    /// The idle pass runs Update() only for an action that is due: one just
    /// created, changed since its last scheduled update, moved to another
    /// list, given other handlers, asked with requestUpdate(), or whose
    /// updateInputsChanged() says so. An action with an update handler (its
    /// own, its list's or the application's) is due on every pass, since a
    /// handler may read any state of the program; so is one whose last
    /// scheduled update threw.
    bool isUpdateDue() const;
    /// Whether the action is due on every pass, whatever changed.
    bool isUpdateDueOnEveryPass() const;
    /// Whether Update() consults an update handler (own, list's or application's).
    bool hasUpdateHandler() const;
    /// Makes the action due: call it when something its Update() reads
    /// changed without the action noticing.
    void requestUpdate();
    /// Runs Update() as the idle pass does: changes the action makes to
    /// itself meanwhile do not make it due again. An exception passes on,
    /// and the action stays due.
    void runScheduledUpdate();

    /// How a change of an UpdateSource can make the action due.
    enum SourceDependence {
        /// Never: updateInputsChanged() is the base one, reading nothing.
        NoSourceDependence,
        /// Only when the source names the action's update key (setUpdateKey()).
        KeyedSourceDependence,
        /// Any change of any source may.
        AnySourceDependence,
    };
    Q_ENUM(SourceDependence)
    /// How a change of an UpdateSource can make this action due, from its class and setUpdateKey().
    SourceDependence sourceDependence() const;
    /// Appends every live action whose update key is \a key.
    static void appendActionsWithUpdateKey(qint32 key, std::vector<Action *> &out);

protected:
    /// Makes the action due for an update whenever one of its QAction properties changes.
    bool event(QEvent *event) override;
    /// Whether state outside the action that its Update() read has changed
    /// since the last scheduled update. Whatever changes that state must also
    /// make updateEpoch() grow (an UpdateSource, or noteUpdateInputsChanged()).
    virtual bool updateInputsChanged() const { return false; }
    /// Called after a scheduled update: records what updateInputsChanged() compares with.
    virtual void noteUpdated() { }
    /// Declares that, while the action's class is exactly \a type, a change
    /// of an UpdateSource makes updateInputsChanged() true only when the
    /// source names \a key (UpdateSource::Changes). A subclass may read more
    /// there, so for an object of another class the declaration is ignored.
    void setUpdateKey(qint32 key, const std::type_info &type);

private:
    friend class ActionList; // detaches its actions when it is destroyed
    void applyHint();
    void applyImage();
    void watchListImages();

    QPointer<ActionList> m_list;
    QString m_category;
    QString m_hint;
    int m_imageIndex = -1;
    bool m_disableIfNoHandler = true;
    int m_tag = 0;
    Handler m_onExecute;
    Handler m_onUpdate;
    Handler m_onHint;
    QMetaObject::Connection m_imagesConnection;
    bool m_iconFromImages = false;
    bool m_updateDue = true;
    bool m_updateFailed = false;
    bool m_updatingItself = false;
    // Where the action is filed under its update key (m_keyedType set).
    const std::type_info *m_keyedType = nullptr;
    qint32 m_updateKey = 0;
    size_t m_keySlot = 0;
    void fileUnderKey();
    void unfileFromKey();
};

/// Controls and menu items bound to actions.
///
/// A control is any QWidget; its action is the one bound to it with
/// rightsmith::toolkit::bindWidget (toolkit/widgets/widgetbinding.h), which copies the
/// action's caption, enabled, visible and hint into it.
///
/// A menu item is a QAction placed in at least one widget (a menu, menu bar,
/// tool bar or any widget's actions()): in Qt the action is the item itself,
/// so the action of a menu item is that item when it is a rightsmith::toolkit::Action.
/// Setting another action on a menu item puts the new action in its place, at
/// the same position, in every widget that holds the item.
///
/// Without the widget part of the library loaded there are no controls to
/// bind: controlAction() answers nullptr and setControlAction() does nothing.
RIGHTSMITH_CORE_EXPORT bool isControl(const QObject *object);
/// Whether \a object is a menu item (see isControl()).
RIGHTSMITH_CORE_EXPORT bool isMenuItem(const QObject *object);
/// The action of \a control (a control or a menu item); nullptr when none.
RIGHTSMITH_CORE_EXPORT Action *controlAction(const QObject *control);
/// Makes \a action the action of \a control. For a control, nullptr unbinds
/// it (it keeps its current state); for a menu item, nullptr changes nothing.
RIGHTSMITH_CORE_EXPORT void setControlAction(QObject *control, Action *action);

/// How the widget part provides controlAction() and setControlAction().
struct RIGHTSMITH_CORE_EXPORT ControlActionBackend
{
    /// The action bound to a control (a QWidget).
    Action *(*action)(const QObject *control) = nullptr;
    /// Sets the action of a control or a menu item.
    void (*setAction)(QObject *control, Action *action) = nullptr;
};
/// Installs the widget part's \a backend (installWidgetServices() does).
RIGHTSMITH_CORE_EXPORT void setControlActionBackend(const ControlActionBackend &backend);

} // namespace rightsmith::toolkit
