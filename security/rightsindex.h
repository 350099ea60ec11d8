#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <unordered_map>

namespace zkSecurity {

class Tree;

/// What CheckId answers, indexed: for one user of a user template, each
/// identifier with whether the first leaf carrying it (depth-first in child
/// order) is granted. Built when first asked and again whenever the stamp
/// given with a question differs from the one it was built for, so every
/// change of the tree or of the user counts from the very next question.
class RightsIndex
{
public:
    /// Whether \a userName's first leaf with identifier \a id in \a users
    /// has a text that ends in its first " (Yes)"; false when there is no
    /// such user or leaf. \a stamp must change whenever \a users or
    /// \a userName changed since the last call.
    bool granted(const Tree &users, quint64 stamp, const QByteArray &userName, qint32 id);

private:
    void rebuild(const Tree &users, const QByteArray &userName);

    const Tree *m_tree = nullptr;
    quint64 m_stamp = 0;
    bool m_valid = false;
    std::unordered_map<qint32, bool> m_granted;
};

} // namespace zkSecurity
