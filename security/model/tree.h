// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/model/tzknoderecord.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

namespace rightsmith::toolkit {
class ImageList;
}

namespace zkSecurity {

class Tree;
class TreeNode;

/// Gives a node back to the pool of its tree.
struct RIGHTSMITH_CORE_EXPORT TreeNodeDeleter
{
    /// Destroys \a node and returns its memory to its tree's pool.
    void operator()(TreeNode *node) const;
};
/// Owns a TreeNode: destroying it gives the node back to its tree.
using TreeNodePtr = std::unique_ptr<TreeNode, TreeNodeDeleter>;

/// One node of a Tree: byte-string text, image and selected-image index
/// (-1 = none), an optional data record, a parent and ordered children.
/// Nodes are created and destroyed only through their Tree.
class RIGHTSMITH_CORE_EXPORT TreeNode
{
public:
    ~TreeNode();
    TreeNode(const TreeNode &) = delete;
    TreeNode &operator=(const TreeNode &) = delete;

    /// The tree the node belongs to.
    Tree *tree() const { return m_tree; }
    /// The parent node, or nullptr for a top-level node.
    TreeNode *parent() const { return m_parent; }
    /// 0 for a top-level node.
    int level() const;
    /// Position among the siblings (top-level nodes count as siblings).
    int index() const { return m_row; }
    /// Position in a pre-order walk of the whole tree, first top-level node = 0.
    int absoluteIndex() const;

    /// Number of direct children.
    int count() const { return int(m_children.size()); }
    /// Whether the node has at least one child.
    bool hasChildren() const { return !m_children.empty(); }
    /// Child at position \a i, or nullptr when out of range.
    TreeNode *item(int i) const;
    /// First child, or nullptr.
    TreeNode *firstChild() const { return item(0); }
    /// Last child, or nullptr.
    TreeNode *lastChild() const { return item(count() - 1); }
    /// Next sibling, or nullptr.
    TreeNode *nextSibling() const;

    /// The node's text, as bytes.
    const QByteArray &text() const { return m_text; }
    /// Sets the text; a change counts in the tree's generation() and emits Tree::nodeChanged().
    void setText(const QByteArray &text);
    /// Image index into the tree's image list, -1 for none.
    int imageIndex() const { return m_imageIndex; }
    /// Sets the image index; a change counts in the tree's generation() and emits
    /// Tree::nodeChanged().
    void setImageIndex(int index);
    /// Image index shown while the node is selected, -1 for none.
    int selectedIndex() const { return m_selectedIndex; }
    /// Sets the selected-image index (emits Tree::nodeChanged(), not a generation() change).
    void setSelectedIndex(int index);
    /// Sets image and selected-image index together, as every template operation does.
    void setImages(int index);

    /// The attached record, or nullptr (only a damaged stream leaves a node
    /// without one). The record stays in place while the node keeps it.
    const zkSecurity::TzkNodeRecord *data() const
    {
        return m_record || !m_shape ? m_record : record();
    }
    /// The attached record to change in place, or nullptr; the change counts
    /// in the tree's generation().
    zkSecurity::TzkNodeRecord *editData();
    /// Attaches a copy of \a record (the node keeps its record in place).
    void setData(const zkSecurity::TzkNodeRecord &record);
    /// Attaches \a record's value; nullptr releases the record.
    void setData(std::unique_ptr<zkSecurity::TzkNodeRecord> record);
    /// Releases the record; the node then has none.
    void releaseData();

    /// Whether Tree::expand() marked the node expanded.
    bool isExpanded() const { return m_expanded; }

private:
    friend class Tree;
    friend struct TreeNodeDeleter;
    TreeNode(Tree *tree, TreeNode *parent, QByteArray text);

    // The record in place, made from the compact form on first access.
    zkSecurity::TzkNodeRecord *record() const;

    Tree *m_tree;
    TreeNode *m_parent;
    std::vector<TreeNodePtr> m_children;
    QByteArray m_text;
    // A record is kept compact until someone asks for it: the tree's shared
    // copy of the bytes it has in common with the records of the same right
    // under every user (m_shape, 0 = no record), and the three fields that
    // differ. Once asked for, it lives in m_record, and the compact form is
    // no longer read.
    mutable zkSecurity::TzkNodeRecord *m_record = nullptr;
    quint32 m_shape = 0;
    qint32 m_recordIndex = 0;
    qint32 m_recordImage = 0;
    quint8 m_granted = 0;
    bool m_expanded = false;
    int m_imageIndex = -1;
    int m_selectedIndex = -1;
    // Position among the siblings, kept up to date by every insertion and removal.
    int m_row = 0;
    // Pre-order position, valid while the tree's cached order is valid.
    int m_absoluteIndex = -1;
};

/// A widget-free tree of TreeNodes with cheap access by absolute index: the
/// pre-order numbering is cached; a node added at the end of the pre-order
/// (a last top-level node, or a last child below the last node) extends it,
/// and only an insertion or removal elsewhere makes the next access renumber.
/// A walk by index (upward from 0 or downward from the last) stays linear, and
/// so does building a tree in pre-order. Views observe it through the signals
/// (see TreeModel).
class RIGHTSMITH_CORE_EXPORT Tree : public QObject
{
    Q_OBJECT
public:
    /// Creates an empty tree.
    explicit Tree(QObject *parent = nullptr);
    ~Tree() override;

    /// Number of nodes at all levels.
    int count() const;
    /// Number of top-level nodes.
    int topLevelCount() const { return int(m_roots.size()); }
    /// Top-level node at position \a i, or nullptr when out of range.
    TreeNode *topLevel(int i) const;
    /// The first top-level node whose text equals \a text exactly, or nullptr.
    /// Answered from an index kept up to date by the changes of top-level nodes.
    TreeNode *firstTopLevel(const QByteArray &text) const;
    /// Node at absolute index \a i, or nullptr when out of range.
    TreeNode *nodeAt(int i) const;
    /// The node at absolute index 0, or nullptr for an empty tree.
    TreeNode *firstNode() const { return nodeAt(0); }

    /// Appends a node with \a text as last child of \a parent (nullptr: a new
    /// last top-level node) and returns it. The node has no record and no image.
    TreeNode *addChild(TreeNode *parent, const QByteArray &text);
    /// \overload
    TreeNode *addChild(TreeNode *parent, QByteArray &&text);
    /// Removes \a node with its subtree; their records are released with them.
    /// When the selection is \a node or below it, the selection is cleared first.
    void deleteNode(TreeNode *node);
    /// Removes every node (and the selection); does nothing on an empty tree.
    void clear();
    /// Replaces the whole tree in one go, as a load does: clears the selection,
    /// then runs \a fill, which may clear the tree and add nodes. Observers
    /// see one aboutToBeCleared() before and one cleared() after, also when
    /// \a fill throws (what it added then stays), and no signal per node.
    template<typename Fill> void replaceContents(Fill fill)
    {
        if (m_replacing) {
            fill();
            return;
        }
        beginReplace();
        try {
            fill();
        } catch (...) {
            endReplace();
            throw;
        }
        endReplace();
    }

    /// The selected node, or nullptr.
    TreeNode *selected() const { return m_selected; }
    /// Selects \a node (nullptr: none); emits selectionChanged() on a change. A node of another
    /// tree is ignored.
    void setSelected(TreeNode *node);

    /// The image list nodes' image indexes refer to; not owned (may be nullptr).
    rightsmith::toolkit::ImageList *images() const;
    /// Sets the image list (not owned); its changes are passed on as imagesChanged().
    void setImages(rightsmith::toolkit::ImageList *images);

    /// Marks \a node expanded (and its descendants when \a recursive); views follow.
    void expand(TreeNode *node, bool recursive);

    /// Grows with every change that a reader of the tree or a save may depend
    /// on: a node added or removed, a text or image index set, a record
    /// attached, released or edited (editData()), the tree cleared or loaded.
    /// Selected-image indexes, expansion and selection do not count.
    quint64 generation() const { return m_generation; }
    /// The generation() at which the subtree of top-level node \a i (the node
    /// and everything below it) last changed, as generation() counts changes;
    /// 0 when there is no such node.
    quint64 topLevelGeneration(int i) const;
    /// The generation() at which a node was last added or removed anywhere
    /// (or the tree cleared): until it moves, every subtree keeps its node
    /// count and every top-level node its position.
    quint64 structureGeneration() const { return m_structureGeneration; }

Q_SIGNALS:
    /// Emitted before a node is added as child \a row of \a parent (nullptr: top level).
    void nodeAboutToBeInserted(zkSecurity::TreeNode *parent, int row);
    /// Emitted after \a node was added.
    void nodeInserted(zkSecurity::TreeNode *node);
    /// Emitted before \a node and its subtree are removed.
    void nodeAboutToBeRemoved(zkSecurity::TreeNode *node);
    /// Emitted after the child at \a row of \a parent (nullptr: top level) was removed.
    void nodeRemoved(zkSecurity::TreeNode *parent, int row);
    /// Emitted before the tree is cleared or its contents replaced (see replaceContents()).
    void aboutToBeCleared();
    /// Emitted after the tree was cleared or its contents replaced.
    void cleared();
    /// Text or image indexes of \a node changed.
    void nodeChanged(zkSecurity::TreeNode *node);
    /// The image list was set or changed.
    void imagesChanged();
    /// The selection changed to \a node (nullptr: none).
    void selectionChanged(zkSecurity::TreeNode *node);
    /// expand() marked \a node expanded (with its descendants when \a recursive).
    void expandRequested(zkSecurity::TreeNode *node, bool recursive);

protected:
    /// For a loader: one node of a tree built whole by addLoaded().
    struct LoadedNode
    {
        const char *text; ///< The node's text (not zero-terminated).
        qsizetype size; ///< The length of text in bytes.
        /// Position of the parent among the nodes given, -1 for a top-level node.
        qint32 parent;
        /// How many of the nodes given are its children.
        qint32 children;
    };
    /// For a loader: appends \a nodes, given in pre-order, as if each were
    /// added by addChild() (its parent comes before it among \a nodes). On an
    /// empty tree inside replaceContents() they are made in bulk: one chunk
    /// for the nodes, children arrays at their final size, and each text
    /// shared with an equal one met before.
    void addLoaded(const std::vector<LoadedNode> &nodes);
    /// For a loader: gives \a node the record stored as \a bytes (180 bytes)
    /// and the record's image index as image and selected-image index.
    void attachStoredRecord(TreeNode *node, const char *bytes);
    /// For a loader: attaches the \a count stored records at \a records as
    /// attachStoredRecord() does, each to the node at the absolute index its
    /// NodeIndex holds. \a inOrder stays true while the k-th record holds
    /// \a first + k. Returns how many were attached: fewer than \a count when
    /// a NodeIndex names no node (the records before it are attached).
    qint32 attachStoredRecords(const char *records, qint32 count, qint32 first, bool &inOrder);
    /// For a writer: sets \a node's record's NodeIndex to \a index and its
    /// ImageIndex to the node's image index (a change only when they differ),
    /// then writes the record's 180 bytes to \a at; a node without a record
    /// is written with an all-zero one carrying the same two fields.
    void writeStoredRecord(TreeNode *node, qint32 index, char *at);

private:
    friend class TreeNode;
    friend struct TreeNodeDeleter;
    void beginReplace();
    void endReplace();
    void invalidateOrder();
    void rebuildOrder() const;
    void ensureOrder() const;
    bool endsOrder(const TreeNode *node) const;
    std::vector<TreeNodePtr> &siblingsOf(TreeNode *parent);
    const std::vector<TreeNodePtr> &siblingsOf(const TreeNode *parent) const;
    void emitChanged(TreeNode *node);
    // A change caused by \a node: counts in generation() and in its top-level node's.
    void touch(const TreeNode *node);
    // The top-level node of \a node, and touch() with it known.
    const TreeNode *topOf(const TreeNode *node) const;
    void touchUnder(const TreeNode *node, const TreeNode *top);
    void attachStored(TreeNode *node, const char *bytes, const TreeNode *top);
    void topLevelRenamed();
    TreeNode *newNode(TreeNode *parent, QByteArray text);
    void recycle(TreeNode *node);

    // Nodes are made from chunks the tree keeps and reuses (declared first,
    // so they outlive every node).
    struct NodePool;
    std::unique_ptr<NodePool> m_pool;
    // Records in place, and the shared parts of compact ones (see TreeNode).
    struct RecordStore;
    std::unique_ptr<RecordStore> m_records;
    void setRecord(TreeNode *node, const zkSecurity::TzkNodeRecord &record);
    void dropRecord(TreeNode *node);

    std::vector<TreeNodePtr> m_roots;
    mutable std::vector<TreeNode *> m_order;
    mutable bool m_orderValid = true;
    int m_count = 0;
    quint64 m_generation = 0;
    quint64 m_structureGeneration = 0;
    // Per top-level node, in their order: the generation its subtree last changed at.
    std::vector<quint64> m_rootChanges;
    // The node touch() marked last and its top-level node (none after a removal).
    const TreeNode *m_touched = nullptr;
    const TreeNode *m_touchedTop = nullptr;
    // First top-level node by text, rebuilt after a top-level node was removed or renamed.
    mutable QHash<QByteArray, TreeNode *> m_topLevelByText;
    mutable bool m_topLevelIndexValid = true;
    // While replaceContents() runs: no signal per node.
    bool m_replacing = false;
    TreeNode *m_selected = nullptr;
    QPointer<rightsmith::toolkit::ImageList> m_images;
};

} // namespace zkSecurity
