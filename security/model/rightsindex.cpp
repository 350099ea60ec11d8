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

} // namespace

bool RightsIndex::sparseGranted(qint32 id) const
{
    const auto it =
        std::lower_bound(m_sorted.cbegin(), m_sorted.cend(), id,
                         [](const auto &entry, qint32 key) { return entry.first < key; });
    return it != m_sorted.cend() && it->first == id && it->second;
}

void RightsIndex::rebuild(const Tree &users, quint64 stamp, const QByteArray &userName)
{
    // Invalid until complete: an allocation that fails leaves it to be built again.
    m_valid = false;
    m_table.clear();
    m_sorted.clear();
    m_base = 0;
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
                m_sorted.emplace_back(record->SecurityId, IsGrantedText(node->text()));
            }
        }
    }

    if (!m_sorted.empty()) {
        const auto [low, high] =
            std::minmax_element(m_sorted.cbegin(), m_sorted.cend(),
                                [](const auto &a, const auto &b) { return a.first < b.first; });
        const qint64 span = qint64(high->first) - low->first + 1;
        if (span <= qint64(m_sorted.size()) * TableSlack + TableMinimum) {
            m_base = low->first;
            m_table.assign(size_t(span), Absent);
            for (const auto &[id, granted] : m_sorted) {
                quint8 &slot = m_table[size_t(qint64(id) - m_base)];
                if (slot == Absent)
                    slot = granted ? Granted : Denied;
            }
            m_sorted.clear();
        } else {
            // Stable: of equal identifiers the first in walking order stays.
            std::stable_sort(m_sorted.begin(), m_sorted.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            m_sorted.erase(
                std::unique(m_sorted.begin(), m_sorted.end(),
                            [](const auto &a, const auto &b) { return a.first == b.first; }),
                m_sorted.end());
        }
    }
    m_valid = true;
}

} // namespace zkSecurity
