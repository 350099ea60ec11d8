// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/action.h"

#include "toolkit/actionlist.h"
#include "toolkit/errorhandler.h"
#include "toolkit/imagelist.h"
#include "toolkit/updatesource.h"

#include <QEvent>
#include <QIcon>

#include <algorithm>
#include <unordered_map>

namespace rightsmith::toolkit {

namespace {

QList<Action *> &liveActionList()
{
    static QList<Action *> actions;
    return actions;
}

// Actions by update key; each knows its slot in its key's list.
std::unordered_map<qint32, std::vector<Action *>> &actionsByKey()
{
    static std::unordered_map<qint32, std::vector<Action *>> index;
    return index;
}

// Actions created and destroyed so far.
quint64 s_liveGeneration = 0;

Action::ListHandler &applicationUpdate()
{
    static Action::ListHandler handler;
    return handler;
}

Action::ListHandler &applicationExecute()
{
    static Action::ListHandler handler;
    return handler;
}

// Constant-initialized: the widget part registers itself from a static
// initializer, which may run before or after this translation unit's.
ControlActionBackend s_controlBackend;

} // namespace

Action::Action(QObject *owner)
    : QAction(owner)
{
    liveActionList().append(this);
    ++s_liveGeneration;
    noteUpdateInputsChanged();
    // Execute() and the handlers may throw; no exception may leave a slot.
    connect(this, &QAction::triggered, this, [this] { runGuarded([this] { Execute(); }); });
    connect(this, &QAction::hovered, this, [this] {
        if (const Handler handler = m_onHint)
            runGuarded([&] { handler(this); });
    });
}

Action::~Action()
{
    unfileFromKey();
    liveActionList().removeOne(this);
    ++s_liveGeneration;
    noteUpdateInputsChanged();
    if (ActionList *list = m_list.data())
        list->removeAction(this);
}

ActionList *Action::actionList() const
{
    return m_list.data();
}

void Action::setActionList(ActionList *list)
{
    if (list == m_list)
        return;
    if (ActionList *old = m_list.data()) {
        old->removeAction(this);
        // The old list's change handler may have moved the action itself.
        if (m_list != old)
            return;
    }
    m_list = list;
    if (list)
        list->insertAction(this);
    watchListImages();
    applyImage();
    requestUpdate();
}

void Action::watchListImages()
{
    disconnect(m_imagesConnection);
    m_imagesConnection = {};
    if (ActionList *list = m_list.data())
        m_imagesConnection = connect(list, &ActionList::imagesChanged, this, &Action::applyImage);
}

void Action::setDisableIfNoHandler(bool disable)
{
    if (disable == m_disableIfNoHandler)
        return;
    m_disableIfNoHandler = disable;
    requestUpdate();
}

void Action::setOnExecute(Handler handler)
{
    m_onExecute = std::move(handler);
    requestUpdate();
}

void Action::setOnUpdate(Handler handler)
{
    m_onUpdate = std::move(handler);
    requestUpdate();
}

void Action::setCategory(const QString &category)
{
    m_category = category;
}

QString Action::shortHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString Action::longHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void Action::setHint(const QString &hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    applyHint();
}

void Action::applyHint()
{
    // QAction compares with the value it holds and emits only on a change.
    setToolTip(shortHint(m_hint));
    setStatusTip(longHint(m_hint));
}

void Action::setImageIndex(int index)
{
    if (index < -1)
        index = -1;
    if (index == m_imageIndex)
        return;
    m_imageIndex = index;
    applyImage();
}

void Action::applyImage()
{
    const ImageList *images = m_list ? m_list->images() : nullptr;
    if (images && m_imageIndex >= 0 && m_imageIndex < images->count()) {
        setIcon(images->icon(m_imageIndex));
        m_iconFromImages = true;
    } else if (m_iconFromImages) {
        // Only an icon that came from the images is taken away; one set
        // directly with setIcon() stays.
        setIcon(QIcon());
        m_iconFromImages = false;
    }
}

void Action::assign(const Action &source)
{
    setText(source.text());
    setCheckable(source.isCheckable());
    setChecked(source.isChecked());
    setEnabled(source.isEnabled());
    setHint(source.hint());
    setImageIndex(source.imageIndex());
    setShortcuts(source.shortcuts());
    setVisible(source.isVisible());
    m_onExecute = source.m_onExecute;
    m_onUpdate = source.m_onUpdate;
    m_onHint = source.m_onHint;
    requestUpdate();
}

bool Action::Update()
{
    QPointer<Action> guard(this);
    if (ActionList *list = m_list.data()) {
        if (const ListHandler handler = list->onUpdate(); handler && handler(this))
            return true;
        if (!guard)
            return true;
    }
    if (const ListHandler handler = applicationUpdate(); handler && handler(this))
        return true;
    if (!guard)
        return true;
    if (const Handler handler = m_onUpdate) {
        handler(this);
        return true;
    }
    if (m_disableIfNoHandler)
        setEnabled(bool(m_onExecute)); // QAction emits only on a change
    return false;
}

bool Action::Execute()
{
    QPointer<Action> guard(this);
    if (m_list && m_list->isSuspended())
        return false;
    Update();
    if (!guard || !isEnabled())
        return false;
    if (ActionList *list = m_list.data()) {
        if (const ListHandler handler = list->onExecute(); handler && handler(this))
            return true;
        if (!guard)
            return true;
    }
    if (const ListHandler handler = applicationExecute(); handler && handler(this))
        return true;
    if (!guard)
        return true;
    if (const Handler handler = m_onExecute) {
        handler(this);
        return true;
    }
    return false;
}

void Action::setApplicationUpdateHandler(ListHandler handler)
{
    applicationUpdate() = std::move(handler);
    // Every action reads it; once it is gone each needs one more update without it.
    for (Action *action : std::as_const(liveActionList()))
        action->m_updateDue = true;
    noteUpdateInputsChanged();
}

Action::ListHandler Action::applicationUpdateHandler()
{
    return applicationUpdate();
}

void Action::setApplicationExecuteHandler(ListHandler handler)
{
    applicationExecute() = std::move(handler);
}

Action::ListHandler Action::applicationExecuteHandler()
{
    return applicationExecute();
}

QList<Action *> Action::liveActions()
{
    return liveActionList();
}

quint64 Action::liveActionsGeneration()
{
    return s_liveGeneration;
}

bool Action::hasUpdateHandler() const
{
    if (m_onUpdate || applicationUpdate())
        return true;
    const ActionList *list = m_list.data();
    return list && list->m_onUpdate;
}

bool Action::isUpdateDueOnEveryPass() const
{
    return m_updateFailed || hasUpdateHandler();
}

bool Action::isUpdateDue() const
{
    return m_updateDue || isUpdateDueOnEveryPass() || updateInputsChanged();
}

void Action::requestUpdate()
{
    m_updateDue = true;
    noteUpdateInputsChanged();
}

void Action::runScheduledUpdate()
{
    QPointer<Action> guard(this);
    // Cleared first: a requestUpdate() from within Update() still counts.
    m_updateDue = false;
    m_updatingItself = true;
    try {
        Update();
    } catch (...) {
        if (guard) {
            m_updatingItself = false;
            m_updateDue = true;
            m_updateFailed = true;
        }
        throw;
    }
    if (!guard)
        return;
    m_updatingItself = false;
    m_updateFailed = false;
    noteUpdated();
}

void Action::setUpdateKey(qint32 key, const std::type_info &type)
{
    // The idle pass sorts the actions by how sources make them due when the
    // live actions change: another type counts as such a change.
    if (m_keyedType != &type)
        ++s_liveGeneration;
    if (m_keyedType && key == m_updateKey) {
        m_keyedType = &type;
        return;
    }
    unfileFromKey();
    m_updateKey = key;
    m_keyedType = &type;
    fileUnderKey();
}

void Action::fileUnderKey()
{
    std::vector<Action *> &filed = actionsByKey()[m_updateKey];
    m_keySlot = filed.size();
    filed.push_back(this);
}

void Action::unfileFromKey()
{
    if (!m_keyedType)
        return;
    m_keyedType = nullptr;
    const auto it = actionsByKey().find(m_updateKey);
    Q_ASSERT(it != actionsByKey().end() && it->second[m_keySlot] == this);
    std::vector<Action *> &filed = it->second;
    // The last one takes this one's slot.
    filed[m_keySlot] = filed.back();
    filed[m_keySlot]->m_keySlot = m_keySlot;
    filed.pop_back();
    if (filed.empty())
        actionsByKey().erase(it);
}

Action::SourceDependence Action::sourceDependence() const
{
    const std::type_info &type = typeid(*this);
    if (type == typeid(Action))
        return NoSourceDependence;
    return m_keyedType && type == *m_keyedType ? KeyedSourceDependence : AnySourceDependence;
}

void Action::appendActionsWithUpdateKey(qint32 key, std::vector<Action *> &out)
{
    const auto &index = actionsByKey();
    if (const auto it = index.find(key); it != index.end())
        out.insert(out.end(), it->second.cbegin(), it->second.cend());
}

bool Action::event(QEvent *event)
{
    // QAction sends this to itself on every change of a property.
    if (event->type() == QEvent::ActionChanged && !m_updatingItself)
        requestUpdate();
    return QAction::event(event);
}

bool isControl(const QObject *object)
{
    return object && object->isWidgetType();
}

bool isMenuItem(const QObject *object)
{
    const auto *item = qobject_cast<const QAction *>(object);
    if (!item)
        return false;
    const QList<QObject *> holders = item->associatedObjects();
    return std::any_of(holders.cbegin(), holders.cend(),
                       [](const QObject *holder) { return holder->isWidgetType(); });
}

Action *controlAction(const QObject *control)
{
    if (isControl(control))
        return s_controlBackend.action ? s_controlBackend.action(control) : nullptr;
    if (isMenuItem(control))
        return qobject_cast<Action *>(const_cast<QObject *>(control));
    return nullptr;
}

void setControlAction(QObject *control, Action *action)
{
    if (!s_controlBackend.setAction)
        return;
    if (isControl(control) || isMenuItem(control))
        s_controlBackend.setAction(control, action);
}

void setControlActionBackend(const ControlActionBackend &backend)
{
    s_controlBackend = backend;
}

} // namespace rightsmith::toolkit
