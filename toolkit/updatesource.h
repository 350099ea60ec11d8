#pragma once

#include "rightsmithcore_export.h"

#include <QtGlobal>

#include <functional>

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
    /// \a stamp must never decrease, and must grow whenever an update that
    /// reads the source could come out differently.
    explicit UpdateSource(std::function<quint64()> stamp);
    ~UpdateSource();
    UpdateSource(const UpdateSource &) = delete;
    UpdateSource &operator=(const UpdateSource &) = delete;

private:
    friend quint64 updateEpoch();
    std::function<quint64()> m_stamp;
    // The stamp as updateEpoch() last read it.
    mutable quint64 m_lastSeen = 0;
};

/// A number that grows whenever an action may need its update again: an
/// action was created, destroyed or changed, or a source's stamp grew. The
/// idle pass compares it with the value of its previous pass.
RIGHTSMITH_CORE_EXPORT quint64 updateEpoch();
/// Makes updateEpoch() grow: call it when something that updates read
/// changed and no source's stamp says so.
RIGHTSMITH_CORE_EXPORT void noteUpdateInputsChanged();

} // namespace rightsmith::toolkit
