// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/tzksecuritytemplate.h"

#include "security/model/tzknoderecord.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"

#include <vector>

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

const QByteArray PasswordNodeText = QByteArrayLiteral("Password(********)");
const QByteArray RightsNodeText = QByteArrayLiteral("Rights");

// Only a damaged stream leaves a node without a record (more text lines than
// records). Every operation reads such a node as if it carried an all-zero
// record: identifier 0, empty caption, not granted.
const TzkNodeRecord &recordOf(const zkSecurity::TreeNode *node)
{
    static const TzkNodeRecord zero;
    const TzkNodeRecord *record = node->data();
    return record ? *record : zero;
}

TzkNodeRecord newRecord(const QByteArray &caption)
{
    TzkNodeRecord record;
    record.setCaption(caption);
    return record;
}

} // namespace

TzkSecurityTemplate::TzkSecurityTemplate(QObject *parent)
    : zkSecurity::Tree(parent)
{
}

TzkSecurityTemplate::~TzkSecurityTemplate()
{
    ClearTemplate();
}

QByteArray TzkSecurityTemplate::GetPasswordFromUserTreeNode(zkSecurity::TreeNode *userNode) const
{
    if (!userNode)
        return {};
    // A user node without children (only from a damaged stream) has no password node.
    const zkSecurity::TreeNode *passwordNode = userNode->firstChild();
    if (!passwordNode)
        return {};
    return recordOf(passwordNode).caption();
}

QByteArray TzkSecurityTemplate::GetUserPassword(const QByteArray &userName) const
{
    if (count() == 0)
        return {};
    zkSecurity::TreeNode *userNode = GetUserNodeByUserName(userName);
    if (!userNode)
        return {};
    return GetPasswordFromUserTreeNode(userNode);
}

void TzkSecurityTemplate::AddUserToUserTemplate(TzkSecurityTemplate *securityTemplate,
                                                const QByteArray &userName,
                                                const QByteArray &password, bool granted)
{
    zkSecurity::TreeNode *userNode = addChild(nullptr, userName);
    userNode->setData(newRecord({}));
    userNode->setImages(0);

    zkSecurity::TreeNode *passwordNode = addChild(userNode, PasswordNodeText);
    passwordNode->setData(newRecord(password));
    passwordNode->setImages(3);

    zkSecurity::TreeNode *rightsNode = addChild(userNode, RightsNodeText);
    rightsNode->setData(newRecord({}));
    rightsNode->setImages(1);

    if (securityTemplate && securityTemplate->count() > 0)
        BuildASecurityUser(rightsNode, securityTemplate->firstNode(), granted);
}

void TzkSecurityTemplate::BuildASecurityUser(zkSecurity::TreeNode *destParent,
                                             zkSecurity::TreeNode *source, bool granted)
{
    if (!source)
        return;
    // Copying a subtree into itself would never end; no caller asks for it.
    for (const zkSecurity::TreeNode *p = destParent; p; p = p->parent()) {
        if (p == source)
            return;
    }
    zkSecurity::Tree *destTree = destParent ? destParent->tree() : this;

    // Depth-first copy in the order of a recursive walk (each child, then its
    // subtree, then the next child), kept on an explicit stack so that a deep
    // template cannot exhaust the call stack.
    struct Frame
    {
        zkSecurity::TreeNode *dest;
        zkSecurity::TreeNode *source;
        int next;
    };
    std::vector<Frame> stack {{destParent, source, 0}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        zkSecurity::TreeNode *child = frame.source->item(frame.next);
        if (!child) {
            stack.pop_back();
            continue;
        }
        ++frame.next;
        zkSecurity::TreeNode *dest = frame.dest;

        const TzkNodeRecord &sourceRecord = recordOf(child);
        QByteArray text = sourceRecord.caption();
        if (sourceRecord.SecurityId != 0)
            text += granted ? QByteArrayLiteral(" (Yes)") : QByteArrayLiteral(" (No)");

        zkSecurity::TreeNode *node = destTree->addChild(dest, text);
        TzkNodeRecord record = sourceRecord;
        record.setGranted(granted);
        node->setData(record);
        node->setImageIndex(child->imageIndex());
        node->setSelectedIndex(child->selectedIndex());

        stack.push_back({node, child, 0}); // invalidates frame
    }
}

zkSecurity::TreeNode *TzkSecurityTemplate::GetUserNodeByUserName(const QByteArray &userName) const
{
    return firstTopLevel(userName);
}

zkSecurity::TreeNode *TzkSecurityTemplate::GetUserNodeForSelected() const
{
    return GetUserNodeForNode(selected());
}

zkSecurity::TreeNode *TzkSecurityTemplate::GetUserNodeForNode(zkSecurity::TreeNode *node) const
{
    while (node && node->parent())
        node = node->parent();
    return node;
}

void TzkSecurityTemplate::DeleteNode(zkSecurity::TreeNode *node)
{
    if (!node)
        return;
    // The node owns its record and its subtree; removing it releases every
    // record below it (a node without a record releases nothing).
    node->tree()->deleteNode(node);
}

TzkNodeType TzkSecurityTemplate::GetSelectedNodeType(QByteArray &userName,
                                                     QByteArray &caption) const
{
    zkSecurity::TreeNode *node = selected();
    if (!node)
        return ntNone;
    return GetNodeType(node, userName, caption);
}

TzkNodeType TzkSecurityTemplate::GetNodeType(zkSecurity::TreeNode *node, QByteArray &userName,
                                             QByteArray &caption) const
{
    Q_ASSERT(node);
    if (!node)
        return ntNone;
    const TzkNodeRecord &record = recordOf(node);
    const int level = node->level();
    if (level == 0) {
        userName = node->text();
        caption = record.caption();
        return node->text() == SupervisorName ? ntSupervisor : ntUser;
    }
    if (level == 1 && !node->hasChildren()) {
        userName = node->parent()->text();
        caption = record.caption();
        return ntPassword;
    }
    if (record.SecurityId < 1)
        return ntGroup;
    if (GetUserNodeForNode(node)->text() == SupervisorName)
        return ntSupervisorRight;
    return ntRight;
}

TzkNodeType TzkSecurityTemplate::GetNodeTypeSecurityTemplate(zkSecurity::TreeNode *node) const
{
    if (!node)
        return ntNone;
    if (!node->parent())
        return ntUser;
    if (recordOf(node).SecurityId < 1)
        return ntGroup;
    return ntRight;
}

void TzkSecurityTemplate::ClearTemplate()
{
    // Every node keeps its record in place: removing the nodes releases them all.
    clear();
}

qint32 TzkSecurityTemplate::GenerateSecurityId() const
{
    qint32 maximum = 0;
    const int n = count();
    for (int i = 0; i < n; ++i)
        maximum = qMax(maximum, recordOf(nodeAt(i)).SecurityId);
    // Wraps around like the stored 32-bit field instead of overflowing when a
    // damaged template already holds the largest identifier.
    return qint32(quint32(maximum) + 1u);
}

bool TzkSecurityTemplate::IsValidSecurityId(qint32 id) const
{
    for (int i = count() - 1; i >= 0; --i) {
        if (recordOf(nodeAt(i)).SecurityId == id)
            return false;
    }
    return true;
}

bool TzkSecurityTemplate::DeleteKey(const QString &keyPath)
{
    try {
        rightsmith::toolkit::Registry registry;
        return registry.deleteKey(keyPath);
    } catch (const rightsmith::toolkit::Error &) {
        return false;
    }
}

} // namespace zkSecurity
