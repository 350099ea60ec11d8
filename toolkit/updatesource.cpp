#include "toolkit/updatesource.h"

#include <algorithm>
#include <vector>

namespace rightsmith::toolkit {

namespace {

// Changes noted directly, plus the last seen stamp of every source that is
// gone: the epoch still grows past every value it was read at when a source
// leaves.
quint64 s_changes = 0;

std::vector<const UpdateSource *> &sources()
{
    static std::vector<const UpdateSource *> list;
    return list;
}

} // namespace

UpdateSource::UpdateSource(std::function<quint64()> stamp)
    : m_stamp(std::move(stamp))
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
    for (const UpdateSource *source : sources()) {
        source->m_lastSeen = source->m_stamp();
        epoch += source->m_lastSeen;
    }
    return epoch;
}

void noteUpdateInputsChanged()
{
    ++s_changes;
}

} // namespace rightsmith::toolkit
