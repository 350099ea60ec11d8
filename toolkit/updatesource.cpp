// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/updatesource.h"

#include <algorithm>
#include <vector>

namespace rightsmith::toolkit {

namespace {

// Changes noted directly, plus the last seen stamp of every source that is
// gone: the epoch still grows past every value it was read at when a source
// leaves.
quint64 s_changes = 0;
// s_changes as takeUpdateChanges() last read it.
quint64 s_changesTaken = 0;

std::vector<UpdateSource *> &sources()
{
    static std::vector<UpdateSource *> list;
    return list;
}

} // namespace

UpdateSource::UpdateSource(std::function<quint64()> stamp, Changes changes)
    : m_stamp(std::move(stamp))
    , m_changes(std::move(changes))
{
    sources().push_back(this);
    ++s_changes;
}

UpdateSource::~UpdateSource()
{
    auto &list = sources();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    s_changes += m_lastSeen + 1;
}

quint64 updateEpoch()
{
    quint64 epoch = s_changes;
    for (const UpdateSource *source : std::as_const(sources())) {
        source->m_lastSeen = source->m_stamp();
        epoch += source->m_lastSeen;
    }
    return epoch;
}

bool takeUpdateChanges(std::vector<qint32> &keys)
{
    bool named = s_changes == s_changesTaken;
    s_changesTaken = s_changes;
    // Every source that moved is asked, also once the answer is known to be
    // false: each then compares its next changes with the present.
    for (size_t i = 0; i < sources().size(); ++i) {
        UpdateSource *source = sources()[i];
        const quint64 stamp = source->m_stamp();
        if (stamp == source->m_lastTaken)
            continue;
        if (!source->m_changes || !source->m_changes(keys))
            named = false;
        // Not before: a source whose answer threw is asked again.
        source->m_lastTaken = stamp;
    }
    return named;
}

void noteUpdateInputsChanged()
{
    ++s_changes;
}

} // namespace rightsmith::toolkit
