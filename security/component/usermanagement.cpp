// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user management flow and the tree operations it is made of.
#include "security/component/usermanagement.h"

#include "security/component/securityui.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"

#include <memory>
#include <vector>

namespace zkSecurity {

namespace {

std::unique_ptr<TzkNodeRecord> copyOf(const TzkNodeRecord &record)
{
    return std::make_unique<TzkNodeRecord>(record);
}

// Appends a copy of \a source below \a destParent (a new last top-level node
// when nullptr) and returns it. \a wholeCopy: text, images and, when the
// source has one, a copy of the record. Otherwise the images are taken only
// together with a record.
TreeNode *copyOne(TzkSecurityTemplate *dest, TreeNode *destParent, const TreeNode *source,
                  bool wholeCopy)
{
    TreeNode *copy = dest->addChild(destParent, source->text());
    const TzkNodeRecord *record = source->data();
    if (record)
        copy->setData(copyOf(*record));
    if (record || wholeCopy) {
        copy->setImageIndex(source->imageIndex());
        copy->setSelectedIndex(source->selectedIndex());
    }
    return copy;
}

// Copies \a source with its subtree below \a destParent, child order kept,
// leaving out every child (with its subtree) that \a take refuses. The walk
// keeps its own stack: a stored tree may be deeper than the call stack allows.
template<typename Take>
void copySubtree(TzkSecurityTemplate *dest, TreeNode *destParent, const TreeNode *source,
                 bool wholeCopy, Take take)
{
    struct Frame
    {
        TreeNode *dest;
        const TreeNode *source;
        int level; // of source, counted from 0 at the node the copy started from
        int next;
    };
    std::vector<Frame> stack {{copyOne(dest, destParent, source, wholeCopy), source, 0, 0}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const TreeNode *child = frame.source->item(frame.next);
        if (!child) {
            stack.pop_back();
            continue;
        }
        ++frame.next;
        const int level = frame.level + 1;
        if (!take(child, level))
            continue;
        TreeNode *copy = copyOne(dest, frame.dest, child, wholeCopy);
        stack.push_back({copy, child, level, 0}); // invalidates frame
    }
}

// Whether a user's copy takes \a child, which stands at \a level below the
// user node (level 0). Level 1 (password and "Rights") is
// always taken; deeper down a category always, a right as the filter says, a
// negative identifier never. A node without a record counts as one with an
// all-zero record.
bool takenForUser(const TreeNode *child, int level, bool showCheckedOKOnly)
{
    if (level <= 1)
        return true;
    const TzkNodeRecord *record = child->data();
    const qint32 id = record ? record->SecurityId : 0;
    if (id < 0)
        return false;
    if (id == 0)
        return true;
    return !showCheckedOKOnly || (record && record->granted());
}

// Removes the categories left without content, repeatedly, so that a category
// holding only empty sub-categories goes as well. A "Rights" node that lost
// all its children classifies as a password node and stays.
void removeEmptyGroups(TzkSecurityTemplate *dest)
{
    bool deleted = true;
    while (deleted) {
        deleted = false;
        // The walk goes from the last absolute index down. Deleting a leaf
        // renumbers only the nodes after it, which the walk has passed, so a
        // list taken before the walk stays valid for the nodes still ahead; a
        // parent left empty comes later in the same walk.
        std::vector<TreeNode *> nodes;
        nodes.reserve(size_t(dest->count()));
        for (int i = 0; i < dest->count(); ++i)
            nodes.push_back(dest->nodeAt(i));
        for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
            TreeNode *node = *it;
            if (node->hasChildren())
                continue;
            // What GetNodeType says of a leaf, without its walk up to the
            // root: level 0 is a user, level 1 a password node, and deeper
            // down an identifier below 1 makes a group.
            const bool deep = node->parent() && node->parent()->parent();
            const TzkNodeRecord *record = node->data();
            if (deep && (!record || record->SecurityId < 1)) {
                dest->DeleteNode(node);
                deleted = true;
            }
        }
    }
}

} // namespace

void SetUserPassword(TreeNode *passwordNode, const QByteArray &password,
                     const std::optional<PasswordHashCost> &cost, bool mustChange)
{
    TzkNodeRecord record = passwordNode->data() ? *passwordNode->data() : TzkNodeRecord();
    PasswordHash::storePassword(record, password, cost);
    PasswordHash::setMustChange(record, mustChange);
    passwordNode->setData(record);
}

void TakeOverPassword(TzkSecurityTemplate *Edited, TzkSecurityTemplate *UserTemplate,
                      const QByteArray &UserName)
{
    if (!Edited || !UserTemplate)
        return;
    TreeNode *edited = Edited->GetUserNodeByUserName(UserName);
    TreeNode *stored = UserTemplate->GetUserNodeByUserName(UserName);
    if (!edited || !stored || !edited->firstChild() || !stored->firstChild())
        return;
    if (const TzkNodeRecord *record = edited->firstChild()->data())
        stored->firstChild()->setData(copyOf(*record));
}

void CopyUserTemplate(TzkSecurityTemplate *Source, TzkSecurityTemplate *Dest,
                      const QByteArray &UserName, bool ShowCheckedOKOnly)
{
    // Copying a tree onto itself would clear what is to be copied.
    if (!Source || !Dest || Source == Dest)
        return;

    if (UserName == SupervisorName) {
        Dest->ClearTemplate();
        for (int i = 0; i < Source->topLevelCount(); ++i)
            copySubtree(Dest, nullptr, Source->topLevel(i), true,
                        [](const TreeNode *, int) { return true; });
        return;
    }

    if (TreeNode *old = Dest->GetUserNodeByUserName(UserName))
        Dest->DeleteNode(old);
    for (int i = 0; i < Source->topLevelCount(); ++i) {
        TreeNode *user = Source->topLevel(i);
        if (user->text() != UserName)
            continue;
        copySubtree(Dest, nullptr, user, false,
                    [ShowCheckedOKOnly](const TreeNode *child, int level) {
                        return takenForUser(child, level, ShowCheckedOKOnly);
                    });
    }
    if (ShowCheckedOKOnly)
        removeEmptyGroups(Dest);
}

bool RunUserManagement(UserManagementDialog &dialog, TzkSecurityTemplate *userTemplate,
                       const TzkSecurityTemplate *securityTemplate, const QByteArray &userName,
                       bool showCheckedOKOnly, bool expandRecursively, const LogonCheck *logonCheck,
                       TzkSecurityTemplate *roleTemplate)
{
    TzkSecurityTemplate *tree = dialog.EditedTemplate();
    tree->ClearTemplate();
    // Passwords changed in the dialog are stored as the component stores them.
    tree->SetNewPasswordCost(userTemplate ? userTemplate->NewPasswordCost() : std::nullopt);
    dialog.SetLogonCheck(logonCheck, userName);
    tree->setImages(securityTemplate ? securityTemplate->images() : nullptr);
    CopyUserTemplate(userTemplate, tree, userName, showCheckedOKOnly);
    const bool supervisor = userName == SupervisorName;
    dialog.SetSupervisorMode(supervisor);
    // Roles are the supervisor's to see and change; the dialog works on a
    // copy, applied to its users so that it shows what OK will save.
    TzkSecurityTemplate *roles = supervisor && roleTemplate ? dialog.EditedRoleTemplate() : nullptr;
    if (roles) {
        CopyUserTemplate(roleTemplate, roles, SupervisorName, false);
        roles->setImages(tree->images());
        Roles copied(*roles, *tree);
        copied.DropMembersNotUsers();
        copied.ApplyToUsers();
    }
    dialog.SetRolesShown(roles != nullptr);
    if (tree->count() > 0)
        tree->expand(tree->topLevel(0), expandRecursively);

    if (dialog.Exec() != DialogResult::Accepted)
        return false;
    if (supervisor) {
        // Users added or removed, passwords and rights changed: all of it.
        CopyUserTemplate(tree, userTemplate, SupervisorName, showCheckedOKOnly);
        if (roles)
            CopyUserTemplate(roles, roleTemplate, SupervisorName, false);
    } else {
        // Anyone else can change only the own password.
        TakeOverPassword(tree, userTemplate, userName);
    }
    return true;
}

} // namespace zkSecurity
