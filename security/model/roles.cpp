// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/roles.h"

#include "security/model/rightnodes.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/codec.h"

#include <QHash>
#include <QSet>

#include <vector>

namespace zkSecurity {

namespace {

const QByteArray RightsText = QByteArrayLiteral("Rights");
const QByteArray MembersText = QByteArrayLiteral("Members");
// Images as a user's nodes have them: a role like a user, its rights like a
// user's "Rights", its members like a category of users.
constexpr int RoleImage = 0;
constexpr int RightsImage = 1;
constexpr int MembersImage = 2;
constexpr int MemberImage = 0;

QString shown(const QByteArray &name)
{
    return rightsmith::toolkit::Codec::toUnicode(name);
}

qint32 idOf(const TreeNode *node)
{
    return node->data() ? node->data()->SecurityId : 0;
}

TreeNode *addNode(Tree &tree, TreeNode *parent, const QByteArray &text, int image)
{
    TreeNode *node = tree.addChild(parent, text);
    node->setData(TzkNodeRecord());
    node->setImages(image);
    return node;
}

// Every node below \a parent in pre-order (a stack: a damaged tree may be deep).
std::vector<TreeNode *> below(const TreeNode *parent)
{
    std::vector<TreeNode *> nodes;
    std::vector<TreeNode *> pending;
    for (int i = parent->count() - 1; i >= 0; --i)
        pending.push_back(parent->item(i));
    while (!pending.empty()) {
        TreeNode *node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        for (int i = node->count() - 1; i >= 0; --i)
            pending.push_back(node->item(i));
    }
    return nodes;
}

// Each right's identifier with whether the first node carrying it is
// granted by its flag, for the rights of a role's copy.
QHash<qint32, bool> grantsOf(const TreeNode *rights)
{
    QHash<qint32, bool> grants;
    for (const TreeNode *node : below(rights)) {
        if (const qint32 id = idOf(node); id != 0 && !grants.contains(id))
            grants.insert(id, node->data()->granted());
    }
    return grants;
}

// The same, read as the rights check reads a user's copy: by the text.
QHash<qint32, bool> heldBy(const TreeNode *rights)
{
    QHash<qint32, bool> held;
    for (const TreeNode *node : below(rights)) {
        if (const qint32 id = idOf(node); id != 0 && !held.contains(id))
            held.insert(id, IsGrantedText(node->text()));
    }
    return held;
}

// What a copy says of itself, for telling whether a rebuild changed it.
QByteArrayList signature(const std::vector<TreeNode *> &nodes)
{
    QByteArrayList lines;
    for (const TreeNode *node : nodes) {
        const TzkNodeRecord *record = node->data();
        lines << QByteArray::number(node->level()) + '\t' + node->text() + '\t'
                + QByteArray::number(node->imageIndex()) + '\t'
                + QByteArray::number(record ? record->SecurityId : 0) + '\t'
                + (record ? record->caption() : QByteArray()) + '\t'
                + (record && record->granted() ? '1' : '0');
    }
    return lines;
}

// Gives \a reason as \a why (when asked for) and refuses.
bool refuse(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return false;
}

} // namespace

Roles::Roles(TzkSecurityTemplate &roleTemplate, TzkSecurityTemplate &userTemplate)
    : m_roles(roleTemplate)
    , m_users(userTemplate)
{
}

QString Roles::Damage() const
{
    QSet<QByteArray> names;
    for (int r = 0; r < m_roles.topLevelCount(); ++r) {
        const TreeNode *role = m_roles.topLevel(r);
        const QString name = shown(role->text());
        if (role->text().isEmpty())
            return tr("a role has no name");
        if (names.contains(role->text()))
            return tr("the role \"%1\" is there twice").arg(name);
        names.insert(role->text());
        if (role->count() != 2 || role->item(0)->text() != RightsText
            || role->item(1)->text() != MembersText)
            return tr("the role \"%1\" does not hold \"Rights\" and \"Members\"").arg(name);
        if (!role->data() || !role->item(0)->data() || !role->item(1)->data())
            return tr("the role \"%1\" has no record").arg(name);
        for (const TreeNode *node : below(role->item(0))) {
            if (!node->data())
                return tr("a right of the role \"%1\" has no record").arg(name);
            if (node->data()->SecurityId != 0
                && node->data()->granted() != IsGrantedText(node->text()))
                return tr("the right \"%1\" of the role \"%2\" reads both granted and denied")
                    .arg(shown(node->text()), name);
        }
        QSet<QByteArray> members;
        const TreeNode *memberList = role->item(1);
        for (int m = 0; m < memberList->count(); ++m) {
            const TreeNode *member = memberList->item(m);
            if (member->hasChildren() || !member->data())
                return tr("a member of the role \"%1\" is not a user name").arg(name);
            if (member->text() == SupervisorName)
                return tr("\"Supervisor\" is a member of the role \"%1\"").arg(name);
            if (members.contains(member->text()))
                return tr("\"%1\" is a member of the role \"%2\" twice")
                    .arg(shown(member->text()), name);
            members.insert(member->text());
        }
    }
    return {};
}

bool Roles::refuseDamaged(QString *why) const
{
    const QString damage = Damage();
    if (damage.isEmpty())
        return false;
    refuse(why, tr("The roles are damaged (%1); nothing was changed.").arg(damage));
    return true;
}

bool Roles::checkNewName(const QByteArray &name, QString *why) const
{
    QString reason;
    if (name.isEmpty())
        reason = tr("A role needs a name.");
    else if (rightsmith::toolkit::trimControl(name) != name || name.contains('\r')
             || name.contains('\n'))
        reason = tr("A role name cannot begin or end with a blank or hold a line break: \"%1\".")
                     .arg(shown(name));
    else if (m_users.GetUserNodeByUserName(name))
        reason = tr("There is a user named \"%1\"; a role cannot have that name.").arg(shown(name));
    else if (RoleNode(name))
        reason = tr("There is a role named \"%1\" already.").arg(shown(name));
    return reason.isEmpty() || refuse(why, reason);
}

QByteArrayList Roles::RoleNames() const
{
    QByteArrayList names;
    for (int r = 0; r < m_roles.topLevelCount(); ++r)
        names << m_roles.topLevel(r)->text();
    return names;
}

TreeNode *Roles::RoleNode(const QByteArray &role) const
{
    return m_roles.firstTopLevel(role);
}

TreeNode *Roles::RoleRights(const QByteArray &role) const
{
    const TreeNode *node = RoleNode(role);
    return node ? node->item(0) : nullptr;
}

TreeNode *Roles::membersOf(const QByteArray &role) const
{
    const TreeNode *node = RoleNode(role);
    return node ? node->item(1) : nullptr;
}

QByteArrayList Roles::Members(const QByteArray &role) const
{
    QByteArrayList names;
    if (const TreeNode *members = membersOf(role)) {
        for (int m = 0; m < members->count(); ++m)
            names << members->item(m)->text();
    }
    return names;
}

QByteArrayList Roles::RolesOfUser(const QByteArray &userName) const
{
    QByteArrayList roles;
    for (const QByteArray &role : RoleNames()) {
        if (Members(role).contains(userName))
            roles << role;
    }
    return roles;
}

TreeNode *Roles::appendRole(const QByteArray &role)
{
    TreeNode *node = addNode(m_roles, nullptr, role, RoleImage);
    addNode(m_roles, node, RightsText, RightsImage);
    addNode(m_roles, node, MembersText, MembersImage);
    return node;
}

bool Roles::AddRole(const QByteArray &role, const TreeNode *rightsSource, QString *why)
{
    if (refuseDamaged(why) || !checkNewName(role, why))
        return false;
    TreeNode *node = appendRole(role);
    if (rightsSource)
        m_roles.BuildASecurityUser(node->item(0), const_cast<TreeNode *>(rightsSource), false);
    return true;
}

bool Roles::AddRoleLike(const QByteArray &role, const QByteArray &userName, QString *why)
{
    const TreeNode *user = m_users.GetUserNodeByUserName(userName);
    const TreeNode *rights = user ? user->item(1) : nullptr;
    if (!rights)
        return refuse(why, tr("There is no user named \"%1\".").arg(shown(userName)));
    if (!AddRole(role, rights, why))
        return false;
    const QHash<qint32, bool> held = heldBy(rights);
    for (TreeNode *node : below(RoleRights(role))) {
        if (const qint32 id = idOf(node); id != 0 && held.value(id))
            SetRightGranted(node, true);
    }
    return true;
}

TreeNode *Roles::roleToChange(const QByteArray &role, QString *why) const
{
    if (refuseDamaged(why))
        return nullptr;
    TreeNode *node = RoleNode(role);
    if (!node)
        refuse(why, tr("There is no role named \"%1\".").arg(shown(role)));
    return node;
}

bool Roles::RenameRole(const QByteArray &role, const QByteArray &newName, QString *why)
{
    TreeNode *node = roleToChange(role, why);
    if (!node || (newName != role && !checkNewName(newName, why)))
        return false;
    node->setText(newName);
    return true;
}

bool Roles::RemoveRole(const QByteArray &role, QString *why)
{
    TreeNode *node = roleToChange(role, why);
    if (!node)
        return false;
    m_roles.DeleteNode(node);
    return true;
}

bool Roles::SetRoleRight(const QByteArray &role, qint32 securityId, bool granted, QString *why)
{
    TreeNode *node = roleToChange(role, why);
    if (!node)
        return false;
    TreeNode *rights = node->item(0);
    if (securityId == 0 || !FindRightById(rights, securityId))
        return refuse(why,
                      tr("The role \"%1\" holds no right %2.").arg(shown(role)).arg(securityId));
    for (TreeNode *right : below(rights)) {
        if (idOf(right) == securityId
            && (right->data()->granted() != granted || IsGrantedText(right->text()) != granted))
            SetRightGranted(right, granted);
    }
    return true;
}

bool Roles::Assign(const QByteArray &role, const QByteArray &userName, QString *why)
{
    TreeNode *node = roleToChange(role, why);
    if (!node)
        return false;
    if (userName == SupervisorName)
        return refuse(why,
                      tr("\"Supervisor\" cannot be a member of a role; its rights stay its own."));
    if (!m_users.GetUserNodeByUserName(userName))
        return refuse(why, tr("There is no user named \"%1\".").arg(shown(userName)));
    if (!Members(role).contains(userName))
        addNode(m_roles, node->item(1), userName, MemberImage);
    return true;
}

bool Roles::Unassign(const QByteArray &role, const QByteArray &userName, QString *why)
{
    TreeNode *node = roleToChange(role, why);
    if (!node)
        return false;
    const qsizetype at = Members(role).indexOf(userName);
    if (at < 0)
        return refuse(
            why,
            tr("\"%1\" is not a member of the role \"%2\".").arg(shown(userName), shown(role)));
    m_roles.DeleteNode(node->item(1)->item(int(at)));
    return true;
}

bool Roles::ForgetUser(const QByteArray &userName)
{
    if (!Damage().isEmpty())
        return false;
    bool forgotten = false;
    for (const QByteArray &role : RolesOfUser(userName))
        forgotten = Unassign(role, userName) || forgotten;
    return forgotten;
}

QList<std::pair<QByteArray, QByteArray>> Roles::DropMembersNotUsers()
{
    QList<std::pair<QByteArray, QByteArray>> dropped;
    if (!Damage().isEmpty())
        return dropped;
    for (int r = 0; r < m_roles.topLevelCount(); ++r) {
        TreeNode *members = m_roles.topLevel(r)->item(1);
        for (int m = 0; m < members->count();) {
            TreeNode *member = members->item(m);
            if (m_users.GetUserNodeByUserName(member->text())) {
                ++m;
                continue;
            }
            dropped.append({m_roles.topLevel(r)->text(), member->text()});
            m_roles.DeleteNode(member);
        }
    }
    return dropped;
}

QList<RoleRightChange> Roles::ApplyToUsers()
{
    QList<RoleRightChange> changes;
    if (!Damage().isEmpty())
        return changes;
    // Per member, the identifiers one of their roles grants.
    QHash<QByteArray, QSet<qint32>> granted;
    for (const QByteArray &role : RoleNames()) {
        const QHash<qint32, bool> grants = grantsOf(RoleRights(role));
        for (const QByteArray &member : Members(role)) {
            QSet<qint32> &ids = granted[member];
            for (auto it = grants.cbegin(); it != grants.cend(); ++it) {
                if (it.value())
                    ids.insert(it.key());
            }
        }
    }
    for (int u = 0; u < m_users.topLevelCount(); ++u) {
        TreeNode *user = m_users.topLevel(u);
        const auto member = granted.constFind(user->text());
        if (member == granted.cend() || user->text() == SupervisorName || !user->item(1))
            continue;
        for (TreeNode *node : below(user->item(1))) {
            const qint32 id = idOf(node);
            if (id == 0)
                continue;
            const bool grant = member->contains(id);
            if (node->data()->granted() == grant && IsGrantedText(node->text()) == grant)
                continue;
            SetRightGranted(node, grant);
            changes.append({user->text(), id, node->data()->caption(), grant});
        }
    }
    return changes;
}

bool Roles::RebuildRightsCopy(TzkSecurityTemplate &tree, TreeNode *rights,
                              const TreeNode *templateRoot)
{
    // The new copy is built after the old one, compared with it, and the one
    // not wanted is removed: nothing changes when the template did not.
    const int oldCount = rights->count();
    const std::vector<TreeNode *> oldNodes = below(rights);
    QHash<qint32, const TreeNode *> old;
    for (const TreeNode *node : oldNodes) {
        if (const qint32 id = idOf(node); id != 0 && !old.contains(id))
            old.insert(id, node);
    }
    if (templateRoot)
        tree.BuildASecurityUser(rights, const_cast<TreeNode *>(templateRoot), false);
    const auto newCopy = [&] {
        std::vector<TreeNode *> nodes;
        for (int i = oldCount; i < rights->count(); ++i) {
            nodes.push_back(rights->item(i));
            for (TreeNode *node : below(rights->item(i)))
                nodes.push_back(node);
        }
        return nodes;
    };
    std::vector<TreeNode *> newNodes = newCopy();
    QSet<qint32> known;
    for (const TreeNode *node : newNodes)
        known.insert(idOf(node));
    // A right this template does not know was put there by a program that
    // knows more (a newer build, another desk): it stays, with its grant,
    // under the same path, so that saving here never takes it away.
    bool kept = false;
    for (const TreeNode *node : oldNodes) {
        if (idOf(node) == 0 || known.contains(idOf(node)))
            continue;
        std::vector<const TreeNode *> path;
        for (const TreeNode *p = node; p != rights; p = p->parent())
            path.insert(path.begin(), p);
        TreeNode *parent = rights;
        for (const TreeNode *step : path) {
            TreeNode *found = nullptr;
            for (int i = parent == rights ? oldCount : 0; i < parent->count() && !found; ++i) {
                if (parent->item(i)->text() == step->text())
                    found = parent->item(i);
            }
            if (!found) {
                found = tree.addChild(parent, step->text());
                if (step->data())
                    found->setData(*step->data());
                found->setImageIndex(step->imageIndex());
                found->setSelectedIndex(step->selectedIndex());
            }
            parent = found;
        }
        known.insert(idOf(node));
        kept = true;
    }
    if (kept)
        newNodes = newCopy();
    for (TreeNode *node : newNodes) {
        const TreeNode *was = old.value(idOf(node));
        if (!was || idOf(node) == 0 || !was->data())
            continue;
        if (was->data()->caption() == node->data()->caption()) {
            node->editData()->setGranted(was->data()->granted());
            node->setText(was->text());
        } else if (was->data()->granted()) {
            SetRightGranted(node, true);
        }
    }
    const bool changed = signature(oldNodes) != signature(newNodes);
    const int first = changed ? 0 : oldCount;
    const int n = changed ? oldCount : rights->count() - oldCount;
    for (int i = 0; i < n; ++i)
        tree.DeleteNode(rights->item(first));
    return changed;
}

bool Roles::FollowSecurityTemplate(const TzkSecurityTemplate &securityTemplate)
{
    if (!Damage().isEmpty())
        return false;
    // An empty template (none loaded or built) has nothing to follow.
    const TreeNode *root = securityTemplate.firstNode();
    if (!root)
        return false;
    bool changed = false;
    QSet<QByteArray> members;
    for (const QByteArray &role : RoleNames()) {
        changed = RebuildRightsCopy(m_roles, RoleRights(role), root) || changed;
        for (const QByteArray &member : Members(role))
            members.insert(member);
    }
    for (int u = 0; u < m_users.topLevelCount(); ++u) {
        TreeNode *user = m_users.topLevel(u);
        if (members.contains(user->text()) && user->text() != SupervisorName && user->item(1))
            changed = RebuildRightsCopy(m_users, user->item(1), root) || changed;
    }
    return changed;
}

} // namespace zkSecurity
