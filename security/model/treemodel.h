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
    explicit TreeModel(Tree *tree, QObject *parent = nullptr);

    Tree *tree() const;
    QModelIndex indexForNode(TreeNode *node) const;
    TreeNode *nodeForIndex(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Every node's decoration may have changed with the image list.
    void refreshDecorations();

    QPointer<Tree> m_tree;
};

} // namespace zkSecurity
