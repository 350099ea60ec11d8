// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Operations on the rights of a user's (or a role's) "Rights" copy.
#include "security/model/rightnodes.h"

#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"

#include <utility>
#include <vector>

namespace zkSecurity {

namespace {

const QByteArray GrantedSuffix = QByteArrayLiteral(" (Yes)");

qint32 idOf(const TreeNode *node)
{
    return node->data() ? node->data()->SecurityId : 0;
}

// Visits the nodes below \a parent depth-first in child order, each with its
// path of captions, until \a visit returns true; returns that node. A stack,
// as a tree read from a damaged stream may be deep.
template<typename Visit> TreeNode *findBelow(const TreeNode *parent, bool withPaths, Visit visit)
{
    std::vector<std::pair<TreeNode *, QByteArray>> pending;
    const auto pushChildren = [&](const TreeNode *node, const QByteArray &path) {
        for (int i = node->count() - 1; i >= 0; --i) {
            TreeNode *child = node->item(i);
            if (!withPaths)
                pending.emplace_back(child, QByteArray());
            else if (path.isEmpty())
                pending.emplace_back(child, RightCaption(child));
            else
                pending.emplace_back(child, path + '/' + RightCaption(child));
        }
    };
    pushChildren(parent, QByteArray());
    while (!pending.empty()) {
        auto [node, path] = std::move(pending.back());
        pending.pop_back();
        if (visit(node, path))
            return node;
        pushChildren(node, path);
    }
    return nullptr;
}

} // namespace

void SetRightGranted(TreeNode *rightNode, bool granted)
{
    TzkNodeRecord *record = rightNode->editData();
    if (!record)
        return;
    record->setGranted(granted);
    rightNode->setText(record->caption() + QByteArrayLiteral(" ")
                       + (granted ? QByteArrayLiteral(" (Yes)") : QByteArrayLiteral(" (No)")));
}

bool IsGrantedText(const QByteArray &text)
{
    const qsizetype at = text.indexOf(GrantedSuffix);
    return at >= 0 && at + GrantedSuffix.size() == text.size();
}

QByteArray RightCaption(const TreeNode *node)
{
    if (node->data() && !node->data()->caption().isEmpty())
        return node->data()->caption();
    QByteArray caption = node->text();
    for (const char *mark : {" (Yes)", " (No)"}) {
        if (caption.endsWith(mark))
            caption.chop(qstrlen(mark));
    }
    return caption;
}

TreeNode *FindRight(const TreeNode *parent, const QByteArray &name)
{
    // A number names an identifier first: a right captioned "2" must not
    // stand in for right 2 of the same copy.
    bool isNumber = false;
    const qint32 id = name.toInt(&isNumber);
    if (isNumber && id != 0 && QByteArray::number(id) == name) {
        if (TreeNode *right = FindRightById(parent, id))
            return right;
    }
    return findBelow(parent, true, [&](const TreeNode *node, const QByteArray &path) {
        return idOf(node) != 0 && path == name;
    });
}

TreeNode *FindRightById(const TreeNode *parent, qint32 id)
{
    return findBelow(parent, false,
                     [&](const TreeNode *node, const QByteArray &) { return idOf(node) == id; });
}

} // namespace zkSecurity
