// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/component.h"

#include <QPointer>
#include <QVariant>

namespace rightsmith::toolkit {

namespace {

// Kept as a dynamic property so that any QObject, not only a Component, can
// be marked as being edited in a form designer.
constexpr char DesignModeProperty[] = "_toolkit_designMode";

void appendDescendants(const QObject *object, QList<QObject *> &out)
{
    // children() is in creation order; a re-parented object counts as created
    // when it arrived.
    for (QObject *child : object->children()) {
        out.append(child);
        appendDescendants(child, out);
    }
}

} // namespace

Component::~Component() = default;

QList<QObject *> components(const QObject *owner)
{
    QList<QObject *> result;
    if (owner)
        appendDescendants(owner, result);
    return result;
}

QObject *findComponent(const QObject *owner, const QString &name)
{
    // An unnamed component is never found, even by an empty name.
    if (!owner || name.isEmpty())
        return nullptr;
    for (QObject *component : components(owner)) {
        if (component->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return component;
    }
    return nullptr;
}

bool isDesignMode(const QObject *component)
{
    for (const QObject *object = component; object; object = object->parent()) {
        if (object->property(DesignModeProperty).toBool())
            return true;
    }
    return false;
}

void setDesignMode(QObject *component, bool designMode)
{
    if (!component)
        return;
    // Clearing removes the property, so that a cleared flag leaves no trace.
    component->setProperty(DesignModeProperty, designMode ? QVariant(true) : QVariant());
}

void finishLoading(QObject *form)
{
    if (!form)
        return;
    // The order is fixed before the first Loaded() runs: components created by
    // a Loaded() are not notified, and one destroyed by an earlier Loaded() is skipped.
    QList<QPointer<QObject>> order;
    order.append(form);
    for (QObject *component : components(form))
        order.append(component);
    for (const QPointer<QObject> &object : std::as_const(order)) {
        if (!object)
            continue;
        if (auto *component = dynamic_cast<Component *>(object.data()))
            component->Loaded();
    }
}

} // namespace rightsmith::toolkit
