// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QtGlobal>

#include <functional>
#include <vector>

namespace rightsmith::toolkit {

/// The idle update pass runs an action's Update() only when something it
/// reads may have changed. Besides the action itself, an update may read
/// state kept elsewhere (the rights of a security component); such state
/// registers an UpdateSource whose stamp grows with every change of it.
///
/// Everything here belongs to the GUI thread, as the actions do.
class RIGHTSMITH_CORE_EXPORT UpdateSource
{
public:
    /// Appends the update keys (Action::setUpdateKey()) of the actions whose
    /// update may come out differently since the previous call; returns
    /// false when it cannot tell.
    using Changes = std::function<bool(std::vector<qint32> &keys)>;

    /// \a stamp must never decrease, and must grow whenever an update that
    /// reads the source could come out differently. With \a changes, a
    /// change of the source makes due only the actions it names.
    explicit UpdateSource(std::function<quint64()> stamp, Changes changes = {});
    ~UpdateSource();
    UpdateSource(const UpdateSource &) = delete;
    UpdateSource &operator=(const UpdateSource &) = delete;

private:
    friend quint64 updateEpoch();
    friend bool takeUpdateChanges(std::vector<qint32> &keys);
    std::function<quint64()> m_stamp;
    Changes m_changes;
    // The stamp as updateEpoch() last read it.
    mutable quint64 m_lastSeen = 0;
    // The stamp as takeUpdateChanges() last read it.
    quint64 m_lastTaken = 0;
};

/// A number that grows whenever an action may need its update again: an
/// action was created, destroyed or changed, or a source's stamp grew. The
/// idle pass compares it with the value of its previous pass.
RIGHTSMITH_CORE_EXPORT quint64 updateEpoch();
/// Called by the idle pass when updateEpoch() moved: whether everything that
/// changed since the previous call was a change of sources that name the
/// keys of the actions it touched, appending those keys to \a keys. False
/// when anything else may have made an action due (an action created,
/// destroyed or changed, noteUpdateInputsChanged(), a source that cannot
/// tell, or one added or removed). What a source throws passes on; that
/// source and those after it are asked again at the next call.
RIGHTSMITH_CORE_EXPORT bool takeUpdateChanges(std::vector<qint32> &keys);
/// Makes updateEpoch() grow: call it when something that updates read
/// changed and no source's stamp says so.
RIGHTSMITH_CORE_EXPORT void noteUpdateInputsChanged();

} // namespace rightsmith::toolkit
