#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <utility>
#include <vector>

namespace zkSecurity {

class Tree;
class TreeNode;

/// What CheckId answers, indexed: for one user of a user template, each
/// identifier with whether the first leaf carrying it (depth-first in child
/// order) is granted. Built when first asked and again whenever the stamp
/// given with a question differs from the one it was built for, so every
/// change of the tree or of the user counts from the very next question.
///
/// Identifiers are usually a compact range (1 to the number of actions), and
/// are then answered from a table indexed by identifier; scattered ones from
/// a sorted list.
class RightsIndex
{
public:
    /// Whether \a userName's first leaf with identifier \a id in \a users
    /// has a text that ends in its first " (Yes)"; false when there is no
    /// such user or leaf. \a stamp must change whenever \a users or
    /// \a userName changed since the last call.
    bool granted(const Tree &users, quint64 stamp, const QByteArray &userName, qint32 id)
    {
        if (!m_valid || m_stamp != stamp || m_tree != &users)
            rebuild(users, stamp, userName);
        const qint64 slot = qint64(id) - m_base;
        if (slot >= 0 && slot < qint64(m_table.size()))
            return m_table[size_t(slot)] == Granted;
        return !m_table.empty() ? false : sparseGranted(id);
    }

private:
    enum : quint8 { Absent, Denied, Granted };

    void rebuild(const Tree &users, quint64 stamp, const QByteArray &userName);
    bool sparseGranted(qint32 id) const;

    const Tree *m_tree = nullptr;
    quint64 m_stamp = 0;
    bool m_valid = false;
    // Compact identifiers: m_table[id - m_base]. Empty when they are scattered.
    qint64 m_base = 0;
    std::vector<quint8> m_table;
    // Scattered identifiers, sorted, each with its answer.
    std::vector<std::pair<qint32, bool>> m_sorted;
    // Kept between rebuilds, so that a rebuild for compact identifiers
    // allocates nothing once warm.
    std::vector<const TreeNode *> m_pending;
};

} // namespace zkSecurity
