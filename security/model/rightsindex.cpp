// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/rightnodes.h"
#include "security/model/rightsindex_p.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"

#include <algorithm>

namespace zkSecurity {

namespace {

// A table for identifiers from lowest to highest pays while it is at most
// this many times as long as there are identifiers (plus a little).
constexpr qint64 TableSlack = 4;
constexpr qint64 TableMinimum = 64;
// Identifiers turned in place that takeChanges() lists one by one; beyond
// this it compares all answers.
constexpr size_t TurnedInPlaceLimit = 4096;

} // namespace

bool RightsAnswers::sparseGranted(qint32 id) const
{
    const auto it =
        std::lower_bound(m_sorted.cbegin(), m_sorted.cend(), id,
                         [](const auto &entry, qint32 key) { return entry.first < key; });
    return it != m_sorted.cend() && it->first == id && it->second == Granted;
}

qint64 RightsAnswers::positionOf(qint32 id) const
{
    if (!m_table.empty()) {
        const qint64 slot = qint64(id) - m_base;
        const bool held =
            slot >= 0 && slot < qint64(m_table.size()) && m_table[size_t(slot)] != Absent;
        return held ? slot : -1;
    }
    const auto it =
        std::lower_bound(m_sorted.cbegin(), m_sorted.cend(), id,
                         [](const auto &entry, qint32 key) { return entry.first < key; });
    return it != m_sorted.cend() && it->first == id ? qint64(it - m_sorted.cbegin()) : -1;
}

quint8 &RightsAnswers::answerAt(qint64 position)
{
    return m_table.empty() ? m_sorted[size_t(position)].second : m_table[size_t(position)];
}

template<typename Visit> void RightsAnswers::forEachId(Visit visit) const
{
    for (size_t i = 0; i < m_table.size(); ++i) {
        if (m_table[i] != Absent)
            visit(qint32(m_base + qint64(i)), m_table[i]);
    }
    for (const auto &[id, answer] : m_sorted)
        visit(id, answer);
}

void RightsAnswers::clear()
{
    m_base = 0;
    m_table.clear();
    m_sorted.clear();
}

void RightsAnswers::differences(const RightsAnswers &before, const RightsAnswers &after,
                                std::vector<qint32> &changed)
{
    after.forEachId([&](qint32 id, quint8 answer) {
        if ((answer == Granted) != before.granted(id))
            changed.push_back(id);
    });
    // Granted before and not there at all now.
    before.forEachId([&](qint32 id, quint8 answer) {
        if (answer == Granted && after.positionOf(id) < 0)
            changed.push_back(id);
    });
}

void RightsIndex::rebuild(const Tree &users, quint64 stamp, const QByteArray &userName)
{
    // Invalid until complete: an allocation that fails leaves it to be built again.
    m_valid = false;
    m_answers.clear();
    m_leaves.clear();
    m_leafTexts.clear();
    m_walk.clear();
    m_turnedInPlace.clear();
    m_turnedOverflow = false;
    m_tree = &users;
    m_stamp = stamp;

    // Every leaf with a record, depth-first in child order; the first one
    // with an identifier decides for it. A stack, as a damaged tree may be deep.
    if (TreeNode *user = users.firstTopLevel(userName)) {
        m_pending.assign(1, user);
        while (!m_pending.empty()) {
            const TreeNode *node = m_pending.back();
            m_pending.pop_back();
            if (node->hasChildren()) {
                for (int i = node->count() - 1; i >= 0; --i)
                    m_pending.push_back(node->item(i));
            } else if (const TzkNodeRecord *record = node->data()) {
                m_walk.push_back({record->SecurityId, IsGrantedText(node->text()), node});
            }
        }
    }

    const auto answerOf = [](const Leaf &leaf) {
        return leaf.granted ? RightsAnswers::Granted : RightsAnswers::Denied;
    };
    if (!m_walk.empty()) {
        const auto [low, high] =
            std::minmax_element(m_walk.cbegin(), m_walk.cend(),
                                [](const Leaf &a, const Leaf &b) { return a.id < b.id; });
        const qint64 span = qint64(high->id) - low->id + 1;
        if (span <= qint64(m_walk.size()) * TableSlack + TableMinimum) {
            m_answers.m_base = low->id;
            m_answers.m_table.assign(size_t(span), RightsAnswers::Absent);
            m_leaves.assign(size_t(span), nullptr);
            m_leafTexts.assign(size_t(span), nullptr);
            for (const Leaf &leaf : m_walk) {
                const size_t slot = size_t(qint64(leaf.id) - m_answers.m_base);
                if (m_answers.m_table[slot] != RightsAnswers::Absent)
                    continue;
                m_answers.m_table[slot] = answerOf(leaf);
                m_leaves[slot] = leaf.node;
                m_leafTexts[slot] = leaf.node->text().constData();
            }
        } else {
            // Stable: of equal identifiers the first in walking order stays.
            std::stable_sort(m_walk.begin(), m_walk.end(),
                             [](const Leaf &a, const Leaf &b) { return a.id < b.id; });
            m_walk.erase(std::unique(m_walk.begin(), m_walk.end(),
                                     [](const Leaf &a, const Leaf &b) { return a.id == b.id; }),
                         m_walk.end());
            for (const Leaf &leaf : m_walk) {
                m_answers.m_sorted.emplace_back(leaf.id, answerOf(leaf));
                m_leaves.push_back(leaf.node);
                m_leafTexts.push_back(leaf.node->text().constData());
            }
        }
    }
    m_walk.clear();
    ++m_builds;
    m_valid = true;
}

void RightsIndex::textChanged(const TreeNode &node, quint64 stamp)
{
    // Images change no stamp; anything but exactly one change since the
    // index was up to date is left to the next build.
    if (!m_valid || m_tree != node.tree() || stamp != m_stamp + 1)
        return;
    // A user renamed may be another user now; a node with children decides nothing.
    const TzkNodeRecord *record = node.data();
    if (!node.parent() || node.hasChildren() || !record)
        return;
    const qint64 at = m_answers.positionOf(record->SecurityId);
    if (at < 0)
        return;
    // The one change is this leaf's new text only when it is the deciding
    // leaf and holds other bytes than at the build: a change of its images
    // after an unannounced change (a record edited) must not pass for it.
    const char *text = node.text().constData();
    if (m_leaves[size_t(at)] != &node || m_leafTexts[size_t(at)] == text)
        return;
    m_stamp = stamp;
    m_leafTexts[size_t(at)] = text;
    const quint8 now = IsGrantedText(node.text()) ? RightsAnswers::Granted : RightsAnswers::Denied;
    quint8 &answer = m_answers.answerAt(at);
    if (answer == now)
        return;
    answer = now;
    if (m_turnedInPlace.size() < TurnedInPlaceLimit)
        m_turnedInPlace.push_back(record->SecurityId);
    else
        m_turnedOverflow = true;
}

void RightsIndex::takeChanges(const Tree &users, quint64 stamp, const QByteArray *userName,
                              std::vector<qint32> &changed)
{
    if (!userName) {
        RightsAnswers::differences(m_taken, RightsAnswers(), changed);
        m_taken.clear();
        m_takenFromBuild = false;
        return;
    }
    if (!m_valid || m_stamp != stamp || m_tree != &users)
        rebuild(users, stamp, *userName);
    if (m_takenFromBuild && m_takenBuild == m_builds && !m_turnedOverflow) {
        // Same build as last time: only what was turned in place can differ.
        for (const qint32 id : m_turnedInPlace) {
            const bool now = m_answers.granted(id);
            if (m_taken.granted(id) == now)
                continue;
            changed.push_back(id);
            if (const qint64 at = m_taken.positionOf(id); at >= 0)
                m_taken.answerAt(at) = now ? RightsAnswers::Granted : RightsAnswers::Denied;
        }
    } else {
        RightsAnswers::differences(m_taken, m_answers, changed);
        m_taken = m_answers;
        m_takenFromBuild = true;
        m_takenBuild = m_builds;
    }
    m_turnedInPlace.clear();
    m_turnedOverflow = false;
}

} // namespace zkSecurity
