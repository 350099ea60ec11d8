// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

#include <QPointer>
#include <QTreeView>

namespace zkSecurity {

class Tree;
class TreeModel;
class TreeNode;

/// A read-only tree view bound to a Tree. The view's current item and
/// the tree's selected node are kept the same in both directions; the view
/// follows the tree's expand requests, and shows node images only while the
/// tree has an image list. A node without an image then keeps an image's
/// room, so that sibling texts line up.
class RIGHTSMITH_WIDGETS_EXPORT TreeView : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY(TreeView)
public:
    /// An empty view; \a parent is the parent widget.
    explicit TreeView(QWidget *parent = nullptr);
    ~TreeView() override;

    /// The tree shown, or nullptr.
    Tree *tree() const;
    /// Shows \a tree (not owned; nullptr shows nothing).
    void setTree(Tree *tree);
    /// The model over the tree.
    TreeModel *treeModel() const { return m_model; }

    /// The model index of \a node, or an invalid index.
    QModelIndex indexForNode(TreeNode *node) const;
    /// The node at \a index, or nullptr.
    TreeNode *nodeForIndex(const QModelIndex &index) const;

Q_SIGNALS:
    /// A node was double-clicked, or Space was pressed on the current node;
    /// it is the tree's selection when this is emitted.
    void nodeDoubleClicked(zkSecurity::TreeNode *node);
    /// Enter, Return or F2 was pressed on the current node.
    void nodeEditRequested(zkSecurity::TreeNode *node);
    /// Delete was pressed on the current node.
    void nodeDeleteRequested(zkSecurity::TreeNode *node);

protected:
    /// Without modifiers, Space, Enter, Return, F2 and Delete on the current node emit the signals
    /// above; other keys go to QTreeView.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void emitForNode(const QModelIndex &index, void (TreeView::*signal)(TreeNode *));
    void syncFromTree(TreeNode *node);
    void syncToTree(const QModelIndex &current);
    void followExpandRequest(TreeNode *node, bool recursive);
    void followImages();
    void applyExpandedFlags();

    QPointer<Tree> m_tree;
    TreeModel *m_model = nullptr;
    bool m_syncing = false;
    bool m_removing = false;
};

} // namespace zkSecurity
