// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/model/passwordhash.h"
#include "security/model/tree.h"
#include "security/model/tzknodetype.h"

#include <QByteArray>

#include <functional>
#include <optional>

class QIODevice;

namespace zkSecurity {

/// The user name of the built-in administrator, who sees and changes every
/// user and every right.
inline const QByteArray SupervisorName = QByteArrayLiteral("Supervisor");

/// The tree that holds the security template (every protected action by
/// category) and the user template (every user with a scrambled password and
/// a granted/denied copy of the rights). Names are byte strings compared
/// exactly. Every node made by these operations carries a TzkNodeRecord.
///
/// A node without a record can only come from a damaged stream; every
/// operation here treats it as if it carried an all-zero record.
class RIGHTSMITH_CORE_EXPORT TzkSecurityTemplate : public zkSecurity::Tree
{
    Q_OBJECT
public:
    /// An empty template.
    explicit TzkSecurityTemplate(QObject *parent = nullptr);
    ~TzkSecurityTemplate() override; // runs ClearTemplate

    /// The cost new passwords set through this tree are hashed at; empty
    /// when they are scrambled (the default). Not part of the tree or its stream.
    std::optional<PasswordHashCost> NewPasswordCost() const { return m_newPasswordCost; }
    /// Sets NewPasswordCost().
    void SetNewPasswordCost(const std::optional<PasswordHashCost> &cost)
    {
        m_newPasswordCost = cost;
    }

    /// Caption of the record of \a userNode's first child; empty for nullptr.
    QByteArray GetPasswordFromUserTreeNode(zkSecurity::TreeNode *userNode) const;
    /// Stored (scrambled) password of \a userName; empty when there is no such user.
    QByteArray GetUserPassword(const QByteArray &userName) const;
    /// Appends user \a userName with a password node and a copy of \a securityTemplate's
    /// rights below "Rights", every right marked \a granted. Does not check the name.
    void AddUserToUserTemplate(TzkSecurityTemplate *securityTemplate, const QByteArray &userName,
                               const QByteArray &password, bool granted);
    /// Copies the children of \a source below \a destParent, recursively.
    void BuildASecurityUser(zkSecurity::TreeNode *destParent, zkSecurity::TreeNode *source,
                            bool granted);
    /// First top-level node whose text equals \a userName exactly, or nullptr.
    zkSecurity::TreeNode *GetUserNodeByUserName(const QByteArray &userName) const;
    /// The user node of the selected node (see GetUserNodeForNode()); nullptr without a selection.
    zkSecurity::TreeNode *GetUserNodeForSelected() const;
    /// The level-0 ancestor of \a node (or the node itself); nullptr for nullptr.
    zkSecurity::TreeNode *GetUserNodeForNode(zkSecurity::TreeNode *node) const;
    /// Removes \a node with its subtree and releases their records.
    void DeleteNode(zkSecurity::TreeNode *node);
    /// ntNone without a selection; otherwise GetNodeType of the selected node.
    TzkNodeType GetSelectedNodeType(QByteArray &userName, QByteArray &caption) const;
    /// Classifies \a node (never nullptr); fills \a userName and \a caption where the type says.
    TzkNodeType GetNodeType(zkSecurity::TreeNode *node, QByteArray &userName,
                            QByteArray &caption) const;
    /// Classifies \a node of a security template: ntUser at the top level, ntRight with a
    /// SecurityId of at least 1, ntGroup otherwise; ntNone for nullptr.
    TzkNodeType GetNodeTypeSecurityTemplate(zkSecurity::TreeNode *node) const;
    /// Releases every record (last absolute index first), then removes all nodes.
    void ClearTemplate();
    /// Replaces the whole tree by the template stream read from position 0 of
    /// \a stream. Throws rightsmith::toolkit::Error with the format's messages.
    void LoadFromStreamSecurity(QIODevice &stream);
    /// Writes the tree as a template stream from position 0 of \a stream.
    /// Trims every node text in place and refreshes NodeIndex and ImageIndex.
    void SaveToStreamSecurity(QIODevice &stream);
    /// Writes the records and the text lines of top-level node \a i and its
    /// subtree into \a records and \a lines exactly as SaveToStreamSecurity()
    /// writes them in the whole stream (NodeIndex counted from the node's
    /// absolute index), trimming and refreshing them alike.
    void SaveTopLevelSecurity(int i, QByteArray &records, QByteArray &lines);
    /// True while the tree is unchanged (same generation()) since
    /// LoadFromStreamSecurity() read a stream that SaveToStreamSecurity()
    /// would write back byte for byte; a caller that kept those bytes knows
    /// what a save writes without writing it.
    bool SavesAsRead() const;
    /// One more than the largest SecurityId (at least 1).
    qint32 GenerateSecurityId() const;
    /// True when no node carries \a id.
    bool IsValidSecurityId(qint32 id) const;
    /// Deletes the store key \a keyPath with its subkeys; true when it was deleted.
    bool DeleteKey(const QString &keyPath);

private:
    // Where a load finds the parts of a stream: the stamp, the count, the
    // text section and the records, in memory or read from a device.
    struct StreamSource
    {
        const char *stamp;
        qint32 n;
        const char *records;
        const char *text;
        qsizetype textSize;
        // Without records in memory: reads \a count records from the
        // \a first one on into \a into.
        std::function<void(qint32 first, char *into, qint32 count)> device;
    };
    void fillFromStream(const StreamSource &source);

    std::optional<PasswordHashCost> m_newPasswordCost;
    // The generation() a load left when the stream was exactly what a save writes.
    std::optional<quint64> m_asReadAt;
};

} // namespace zkSecurity
