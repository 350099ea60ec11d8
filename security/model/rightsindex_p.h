// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <utility>
#include <vector>

namespace zkSecurity {

class Tree;
class TreeNode;

/// Whether each identifier is granted, as one build of a RightsIndex found it.
class RightsAnswers
{
public:
    bool granted(qint32 id) const
    {
        const qint64 slot = qint64(id) - m_base;
        if (slot >= 0 && slot < qint64(m_table.size()))
            return m_table[size_t(slot)] == Granted;
        return !m_table.empty() ? false : sparseGranted(id);
    }
    /// Appends to \a changed every identifier that \a before and \a after answer differently.
    static void differences(const RightsAnswers &before, const RightsAnswers &after,
                            std::vector<qint32> &changed);

private:
    friend class RightsIndex;
    enum : quint8 { Absent, Denied, Granted };

    bool sparseGranted(qint32 id) const;
    // Where the answer for \a id is kept (in the table or the sorted list),
    // or -1 when it has none.
    qint64 positionOf(qint32 id) const;
    quint8 &answerAt(qint64 position);
    template<typename Visit> void forEachId(Visit visit) const;
    void clear();

    // Compact identifiers: m_table[id - m_base]. Empty when they are scattered.
    qint64 m_base = 0;
    std::vector<quint8> m_table;
    // Scattered identifiers, sorted, each with its answer.
    std::vector<std::pair<qint32, quint8>> m_sorted;
};

/// What CheckId answers, indexed: for one user of a user template, each
/// identifier with whether the first leaf carrying it (depth-first in child
/// order) is granted. Built when first asked and again whenever the stamp
/// given with a question differs from the one it was built for, so every
/// change of the tree or of the user counts from the very next question. A
/// new text of a leaf that decides an identifier is taken in place, without
/// a build (textChanged()).
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
        return m_answers.granted(id);
    }

    /// Tells the index that \a node's text or images changed, and that the
    /// stamp is now \a stamp. When that change is a new text of a leaf and
    /// the only change since the index was last brought up to date, the
    /// answer of the leaf's identifier is taken from it in place; otherwise
    /// the next question builds the index anew, as it would have.
    void textChanged(const TreeNode &node, quint64 stamp);

    /// Appends to \a changed every identifier whose answer differs from the
    /// answers at the previous call (none granted before the first), for
    /// \a userName's rights in \a users, or for nobody (every answer false)
    /// when \a userName is nullptr. Cheap after changes taken in place.
    void takeChanges(const Tree &users, quint64 stamp, const QByteArray *userName,
                     std::vector<qint32> &changed);

private:
    void rebuild(const Tree &users, quint64 stamp, const QByteArray &userName);

    const Tree *m_tree = nullptr;
    quint64 m_stamp = 0;
    bool m_valid = false;
    RightsAnswers m_answers;
    // The leaf that decides each answer, and the text it had, in the order of
    // m_answers' table or sorted list.
    std::vector<const TreeNode *> m_leaves;
    std::vector<const char *> m_leafTexts;
    // Kept between rebuilds, so that a rebuild for compact identifiers
    // allocates nothing once warm.
    std::vector<const TreeNode *> m_pending;
    struct Leaf
    {
        qint32 id;
        bool granted;
        const TreeNode *node;
    };
    std::vector<Leaf> m_walk;

    // What takeChanges() compares with: the answers it last handed out, and
    // the identifiers taken in place since (valid while m_builds has not moved).
    RightsAnswers m_taken;
    bool m_takenFromBuild = false;
    quint64 m_builds = 0;
    quint64 m_takenBuild = 0;
    std::vector<qint32> m_turnedInPlace;
    bool m_turnedOverflow = false;
};

} // namespace zkSecurity
