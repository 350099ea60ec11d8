#include "security/rightsindex.h"

#include "security/tree.h"
#include "security/tzknoderecord.h"

#include <vector>

namespace zkSecurity {

namespace {

const QByteArray GrantedSuffix = QByteArrayLiteral(" (Yes)");

// Granted only when the first " (Yes)" is what ends the text.
bool endsGranted(const QByteArray &text)
{
    const qsizetype at = text.indexOf(GrantedSuffix);
    return at >= 0 && at + GrantedSuffix.size() == text.size();
}

} // namespace

bool RightsIndex::granted(const Tree &users, quint64 stamp, const QByteArray &userName, qint32 id)
{
    if (!m_valid || m_stamp != stamp || m_tree != &users) {
        rebuild(users, userName);
        m_tree = &users;
        m_stamp = stamp;
        m_valid = true;
    }
    const auto it = m_granted.find(id);
    return it != m_granted.end() && it->second;
}

void RightsIndex::rebuild(const Tree &users, const QByteArray &userName)
{
    m_granted.clear();
    TreeNode *user = users.firstTopLevel(userName);
    if (!user)
        return;
    // Depth-first in child order; only leaves count, and the first leaf with
    // an identifier decides for it. A stack, as a damaged tree may be deep.
    std::vector<const TreeNode *> pending {user};
    while (!pending.empty()) {
        const TreeNode *node = pending.back();
        pending.pop_back();
        if (node->hasChildren()) {
            for (int i = node->count() - 1; i >= 0; --i)
                pending.push_back(node->item(i));
            continue;
        }
        if (const TzkNodeRecord *record = node->data())
            m_granted.try_emplace(record->SecurityId, endsGranted(node->text()));
    }
}

} // namespace zkSecurity
