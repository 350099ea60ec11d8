// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QList>
#include <QObject>
#include <QString>

namespace rightsmith::toolkit {

/// What a component of a form adds to a QObject: a start-up notification after
/// the whole form has been built. QObject ownership (parent = owner) and
/// objectName (= the component's name) carry the rest.
class RIGHTSMITH_CORE_EXPORT Component
{
public:
    virtual ~Component();
    /// Runs once, when the form that owns the component has finished loading.
    virtual void Loaded() { }
};

/// The owned components of \a owner in order: its descendants, pre-order.
RIGHTSMITH_CORE_EXPORT QList<QObject *> components(const QObject *owner);
/// The first owned component of \a owner named \a name, ignoring letter case; nullptr if none.
RIGHTSMITH_CORE_EXPORT QObject *findComponent(const QObject *owner, const QString &name);

/// Design mode: the component (or one of its owners) is being edited in a form designer.
RIGHTSMITH_CORE_EXPORT bool isDesignMode(const QObject *component);
/// Marks \a component (and so everything it owns) as in design mode, or clears the mark.
RIGHTSMITH_CORE_EXPORT void setDesignMode(QObject *component, bool designMode);

/// The last step of a form's construction: runs Loaded() of every component
/// of \a form (the form itself included when it is one), in creation order.
RIGHTSMITH_CORE_EXPORT void finishLoading(QObject *form);

} // namespace rightsmith::toolkit
