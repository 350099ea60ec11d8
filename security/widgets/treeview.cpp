// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/widgets/treeview.h"

#include "security/model/tree.h"
#include "security/model/treemodel.h"
#include "toolkit/imagelist.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

namespace zkSecurity {

namespace {

// While the tree has images, draws and measures a node without one as if it
// had a transparent image, so that its text starts where its siblings' do.
class ImageRoomDelegate : public QStyledItemDelegate
{
public:
    explicit ImageRoomDelegate(TreeView *view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->features & QStyleOptionViewItem::HasDecoration)
            return;
        const Tree *tree = m_view->tree();
        const rightsmith::toolkit::ImageList *images = tree ? tree->images() : nullptr;
        if (!images || images->count() == 0)
            return;
        // The room an image of the list takes: its own size, no more than the
        // view gives a decoration. The null icon paints nothing.
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = option->decorationSize.boundedTo(
            QSize(rightsmith::toolkit::ImageList::Width, rightsmith::toolkit::ImageList::Height));
    }

private:
    TreeView *m_view;
};

} // namespace

TreeView::TreeView(QWidget *parent)
    : QTreeView(parent)
{
    setHeaderHidden(true);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setUniformRowHeights(true);
    setFocusPolicy(Qt::StrongFocus);
    setItemDelegate(new ImageRoomDelegate(this));
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { emitForNode(index, &TreeView::nodeDoubleClicked); });
}

void TreeView::emitForNode(const QModelIndex &index, void (TreeView::*signal)(TreeNode *))
{
    TreeNode *node = nodeForIndex(index);
    if (!node || !m_tree)
        return;
    m_tree->setSelected(node);
    Q_EMIT(this->*signal)(node);
}

void TreeView::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!current.isValid() || modifiers != Qt::NoModifier) {
        QTreeView::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        // As a double click: a node with children opens or closes, then the signal.
        if (itemsExpandable() && expandsOnDoubleClick() && model()->hasChildren(current))
            setExpanded(current, !isExpanded(current));
        emitForNode(current, &TreeView::nodeDoubleClicked);
        event->accept();
        return;
    case Qt::Key_F2:
        emitForNode(current, &TreeView::nodeEditRequested);
        event->accept();
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        emitForNode(current, &TreeView::nodeEditRequested);
        // The base class still reports activation and leaves the key to the window.
        QTreeView::keyPressEvent(event);
        return;
    case Qt::Key_Delete:
        emitForNode(current, &TreeView::nodeDeleteRequested);
        event->accept();
        return;
    default:
        QTreeView::keyPressEvent(event);
    }
}

TreeView::~TreeView() = default;

Tree *TreeView::tree() const
{
    return m_tree.data();
}

void TreeView::setTree(Tree *tree)
{
    if (tree == m_tree.data() && (tree || !m_model))
        return;
    if (m_tree)
        disconnect(m_tree.data(), nullptr, this, nullptr);

    QItemSelectionModel *oldSelection = selectionModel();
    TreeModel *oldModel = m_model;
    m_tree = tree;
    m_model = tree ? new TreeModel(tree, this) : nullptr;
    setModel(m_model);
    // setModel() leaves the old selection model to us.
    delete oldSelection;
    delete oldModel;
    m_removing = false;

    if (!tree)
        return;
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { syncToTree(current); });
    // While rows go, the selection model may move its current index to a
    // neighbour; the tree's selection is the truth, so restore it afterwards.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this] { m_removing = true; });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_removing = false;
        if (m_tree)
            syncFromTree(m_tree->selected());
    });
    connect(tree, &Tree::selectionChanged, this, &TreeView::syncFromTree);
    connect(tree, &Tree::expandRequested, this, &TreeView::followExpandRequest);
    connect(tree, &Tree::imagesChanged, this, &TreeView::followImages);
    applyExpandedFlags();
    syncFromTree(tree->selected());
}

QModelIndex TreeView::indexForNode(TreeNode *node) const
{
    return m_model ? m_model->indexForNode(node) : QModelIndex();
}

TreeNode *TreeView::nodeForIndex(const QModelIndex &index) const
{
    return m_model ? m_model->nodeForIndex(index) : nullptr;
}

void TreeView::syncFromTree(TreeNode *node)
{
    if (m_syncing || !selectionModel())
        return;
    const QScopedValueRollback guard(m_syncing, true);
    const QModelIndex index = indexForNode(node);
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
}

void TreeView::syncToTree(const QModelIndex &current)
{
    if (m_syncing || m_removing || !m_tree)
        return;
    const QScopedValueRollback guard(m_syncing, true);
    // The view makes a node current without selecting it, e.g. the first node
    // when it gains the focus; the tree's selection must never be invisible.
    if (current.isValid() && !selectionModel()->isSelected(current))
        selectionModel()->select(current,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_tree->setSelected(nodeForIndex(current));
}

void TreeView::followExpandRequest(TreeNode *node, bool recursive)
{
    const QModelIndex index = indexForNode(node);
    if (!index.isValid())
        return;
    if (recursive)
        expandRecursively(index);
    else
        expand(index);
}

void TreeView::followImages()
{
    // Icons appear or vanish; row heights may change with them.
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void TreeView::applyExpandedFlags()
{
    if (!m_tree)
        return;
    const int n = m_tree->count();
    for (int i = 0; i < n; ++i) {
        TreeNode *node = m_tree->nodeAt(i);
        if (node->isExpanded())
            expand(indexForNode(node));
    }
}

} // namespace zkSecurity
