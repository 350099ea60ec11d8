// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstring>
#include <vector>

namespace zkSecurity {

/// A quick hash of the \a size bytes at \a data, taken eight at a time:
/// enough to spread the texts and records of a template over RecentValues.
inline size_t quickHash(const void *data, size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    quint64 hash = size;
    for (size_t at = 0; at < size; at += 8) {
        quint64 word = 0;
        std::memcpy(&word, bytes + at, size - at < 8 ? size - at : 8);
        hash = (hash ^ word) * 0x9E3779B97F4A7C15u;
        hash ^= hash >> 32;
    }
    return size_t(hash);
}

/// A small table of values met recently, found again by their hash: what a
/// load uses to share the copies of texts and records that repeat under
/// every user without a hash map's node per value. Each hash has a set of
/// four places; a value not found there takes the place of the oldest.
template<typename Value> class RecentValues
{
public:
    /// A table of at least \a size places (rounded up to a power of two).
    explicit RecentValues(size_t size)
    {
        size_t places = Ways;
        while (places < size)
            places *= 2;
        m_places.resize(places);
        m_next.resize(places / Ways, 0);
    }

    /// The value in the set of \a hash for which \a matches is true, or the
    /// place \a make() fills, which then holds the new value.
    template<typename Matches, typename Make> Value &find(size_t hash, Matches matches, Make make)
    {
        const size_t set = hash & (m_next.size() - 1);
        Value *const places = &m_places[set * Ways];
        for (size_t i = 0; i < Ways; ++i) {
            if (matches(places[i]))
                return places[i];
        }
        Value &oldest = places[m_next[set]];
        m_next[set] = quint8((m_next[set] + 1) % Ways);
        oldest = make();
        return oldest;
    }

private:
    static constexpr size_t Ways = 4;
    std::vector<Value> m_places;
    std::vector<quint8> m_next;
};

} // namespace zkSecurity
