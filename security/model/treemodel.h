// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QAbstractItemModel>
#include <QPointer>

namespace zkSecurity {

class Tree;
class TreeNode;

/// A read-only item model over a zkSecurity::Tree that follows every change of
/// the tree. Column 0 shows the node text (decoded by the codec) and, when the
/// tree has images, the node's image.
class RIGHTSMITH_CORE_EXPORT TreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    /// A model of \a tree (not owned; forgotten when destroyed).
    explicit TreeModel(Tree *tree, QObject *parent = nullptr);

    /// The tree shown, or nullptr once destroyed.
    Tree *tree() const;
    /// The model index of \a node, invalid for nullptr.
    QModelIndex indexForNode(TreeNode *node) const;
    /// The node at \a index, or nullptr for an invalid index.
    TreeNode *nodeForIndex(const QModelIndex &index) const;

    /// The index of child \a row of \a parent's node; only column 0 exists.
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    /// The index of \a child's parent node, invalid at the top level.
    QModelIndex parent(const QModelIndex &child) const override;
    /// The number of children of \a parent's node (top-level nodes for an invalid index).
    int rowCount(const QModelIndex &parent = {}) const override;
    /// One column.
    int columnCount(const QModelIndex &parent = {}) const override;
    /// The node text for Qt::DisplayRole, its image for Qt::DecorationRole.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// Enabled and selectable for every node; nothing can be edited.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Every node's decoration may have changed with the image list.
    void refreshDecorations();

    QPointer<Tree> m_tree;
};

} // namespace zkSecurity
