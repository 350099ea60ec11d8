// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/treemodel.h"

#include "security/model/tree.h"
#include "toolkit/codec.h"
#include "toolkit/imagelist.h"

#include <QIcon>

namespace zkSecurity {

TreeModel::TreeModel(Tree *tree, QObject *parent)
    : QAbstractItemModel(parent)
    , m_tree(tree)
{
    if (!tree)
        return;
    connect(tree, &Tree::nodeAboutToBeInserted, this, [this](TreeNode *parentNode, int row) {
        beginInsertRows(indexForNode(parentNode), row, row);
    });
    connect(tree, &Tree::nodeInserted, this, [this] { endInsertRows(); });
    connect(tree, &Tree::nodeAboutToBeRemoved, this, [this](TreeNode *node) {
        beginRemoveRows(indexForNode(node->parent()), node->index(), node->index());
    });
    connect(tree, &Tree::nodeRemoved, this, [this] { endRemoveRows(); });
    connect(tree, &Tree::aboutToBeCleared, this, [this] { beginResetModel(); });
    connect(tree, &Tree::cleared, this, [this] { endResetModel(); });
    connect(tree, &Tree::nodeChanged, this, [this](TreeNode *node) {
        const QModelIndex index = indexForNode(node);
        Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::DecorationRole});
    });
    connect(tree, &Tree::imagesChanged, this, &TreeModel::refreshDecorations);
    // The tree empties itself before it goes; this only drops stale indexes.
    connect(tree, &QObject::destroyed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

Tree *TreeModel::tree() const
{
    return m_tree.data();
}

void TreeModel::refreshDecorations()
{
    if (!m_tree)
        return;
    const QList<int> roles {Qt::DecorationRole};
    const auto refreshRange = [&](const QModelIndex &parent, int rows) {
        if (rows > 0)
            Q_EMIT dataChanged(index(0, 0, parent), index(rows - 1, 0, parent), roles);
    };
    refreshRange({}, m_tree->topLevelCount());
    const int n = m_tree->count();
    for (int i = 0; i < n; ++i) {
        TreeNode *node = m_tree->nodeAt(i);
        if (node->hasChildren())
            refreshRange(indexForNode(node), node->count());
    }
}

QModelIndex TreeModel::indexForNode(TreeNode *node) const
{
    if (!node || !m_tree || node->tree() != m_tree)
        return {};
    return createIndex(node->index(), 0, node);
}

TreeNode *TreeModel::nodeForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || !m_tree)
        return nullptr;
    return static_cast<TreeNode *>(index.internalPointer());
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!m_tree || column != 0 || row < 0)
        return {};
    TreeNode *node = nullptr;
    if (parent.isValid()) {
        TreeNode *parentNode = nodeForIndex(parent);
        node = parentNode ? parentNode->item(row) : nullptr;
    } else {
        node = m_tree->topLevel(row);
    }
    return node ? createIndex(row, 0, node) : QModelIndex();
}

QModelIndex TreeModel::parent(const QModelIndex &child) const
{
    TreeNode *node = nodeForIndex(child);
    return node ? indexForNode(node->parent()) : QModelIndex();
}

int TreeModel::rowCount(const QModelIndex &parent) const
{
    if (!m_tree)
        return 0;
    if (!parent.isValid())
        return m_tree->topLevelCount();
    if (parent.column() != 0)
        return 0;
    TreeNode *node = nodeForIndex(parent);
    return node ? node->count() : 0;
}

int TreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant TreeModel::data(const QModelIndex &index, int role) const
{
    TreeNode *node = nodeForIndex(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return rightsmith::toolkit::Codec::toUnicode(node->text());
    case Qt::DecorationRole: {
        const rightsmith::toolkit::ImageList *images = m_tree->images();
        const int image = node->imageIndex();
        if (!images || image < 0 || image >= images->count())
            return {};
        return images->icon(image);
    }
    default:
        return {};
    }
}

Qt::ItemFlags TreeModel::flags(const QModelIndex &index) const
{
    if (!nodeForIndex(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace zkSecurity
