// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/model/tree.h"

#include "security/model/recentvalues_p.h"
#include "security/model/tzknoderecord.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/imagelist.h"

#include <QPointer>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

namespace zkSecurity {

// --- TreeNode ----------------------------------------------------------------

TreeNode::TreeNode(Tree *tree, TreeNode *parent, QByteArray text)
    : m_tree(tree)
    , m_parent(parent)
    , m_text(std::move(text))
{
}

TreeNode::~TreeNode()
{
    // Tear the subtree down without recursion: a tree read from a damaged
    // stream may be deep enough to exhaust the stack otherwise.
    std::vector<TreeNodePtr> pending = std::move(m_children);
    while (!pending.empty()) {
        TreeNodePtr node = std::move(pending.back());
        pending.pop_back();
        for (auto &child : node->m_children)
            pending.push_back(std::move(child));
        node->m_children.clear();
    }
}

int TreeNode::level() const
{
    int level = 0;
    for (const TreeNode *p = m_parent; p; p = p->m_parent)
        ++level;
    return level;
}

int TreeNode::absoluteIndex() const
{
    m_tree->ensureOrder();
    return m_absoluteIndex;
}

TreeNode *TreeNode::item(int i) const
{
    if (i < 0 || i >= count())
        return nullptr;
    return m_children[size_t(i)].get();
}

TreeNode *TreeNode::nextSibling() const
{
    const auto &siblings = m_tree->siblingsOf(static_cast<const TreeNode *>(m_parent));
    const size_t next = size_t(m_row) + 1;
    return next < siblings.size() ? siblings[next].get() : nullptr;
}

void TreeNode::setText(const QByteArray &text)
{
    if (text == m_text)
        return;
    m_text = text;
    if (!m_parent)
        m_tree->topLevelRenamed();
    m_tree->touch(this);
    m_tree->emitChanged(this);
}

void TreeNode::setImageIndex(int index)
{
    if (index == m_imageIndex)
        return;
    m_imageIndex = index;
    m_tree->touch(this); // a save writes it into the record
    m_tree->emitChanged(this);
}

void TreeNode::setSelectedIndex(int index)
{
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    m_tree->emitChanged(this);
}

void TreeNode::setImages(int index)
{
    if (index == m_imageIndex && index == m_selectedIndex)
        return;
    if (index != m_imageIndex)
        m_tree->touch(this);
    m_imageIndex = index;
    m_selectedIndex = index;
    m_tree->emitChanged(this);
}

zkSecurity::TzkNodeRecord *TreeNode::editData()
{
    if (!m_record && !m_shape)
        return nullptr;
    m_tree->touch(this);
    return m_record ? m_record : record();
}

void TreeNode::setData(const zkSecurity::TzkNodeRecord &record)
{
    m_tree->setRecord(this, record);
    m_tree->touch(this);
}

void TreeNode::setData(std::unique_ptr<zkSecurity::TzkNodeRecord> record)
{
    if (record)
        setData(*record);
    else
        releaseData();
}

void TreeNode::releaseData()
{
    m_tree->dropRecord(this);
    m_tree->touch(this);
}

void TreeNodeDeleter::operator()(TreeNode *node) const
{
    Tree *tree = node->m_tree;
    tree->dropRecord(node);
    node->~TreeNode();
    tree->recycle(node);
}

// --- Tree --------------------------------------------------------------------

// Storage for nodes in chunks that grow with the tree; a removed node's slot
// is reused by the next node made. Loading or copying thousands of nodes
// then costs no allocation per node, and clearing a tree none per node.
struct Tree::NodePool
{
    struct alignas(TreeNode) Slot
    {
        unsigned char bytes[sizeof(TreeNode)];
    };
    static constexpr size_t FirstChunk = 16;
    static constexpr size_t LargestChunk = 4096;
    // A load's nodes come in chunks no larger than this: malloc then keeps
    // them on its heap for the next load instead of giving fresh pages from
    // the system each time, whose first touch costs more than the load.
    static constexpr size_t LargestReserved = 16384;

    std::vector<std::unique_ptr<Slot[]>> chunks;
    // Chunks made ahead by reserve(), used before any new one is made.
    std::vector<std::unique_ptr<Slot[]>> ahead;
    size_t chunkSize = 0;
    size_t usedInChunk = 0;
    std::vector<Slot *> free;

    void *take()
    {
        if (!free.empty()) {
            Slot *slot = free.back();
            free.pop_back();
            return slot;
        }
        if (usedInChunk == chunkSize) {
            if (!ahead.empty()) {
                chunks.push_back(std::move(ahead.back())); // room made by reserve()
                ahead.pop_back();
            } else {
                // Nothing changes until the new chunk is held.
                const size_t size = chunkSize
                    ? std::max(std::min(chunkSize * 2, LargestChunk), chunkSize)
                    : FirstChunk;
                chunks.reserve(chunks.size() + 1);
                chunks.push_back(std::make_unique_for_overwrite<Slot[]>(size));
                chunkSize = size;
            }
            usedInChunk = 0;
        }
        return &chunks.back()[usedInChunk++];
    }

    // Makes room for the next \a count slots taken, in chunks of their own
    // no larger than LargestReserved: taking them then allocates nothing.
    void reserve(size_t count)
    {
        if (count <= free.size() + (chunkSize - usedInChunk) + ahead.size() * chunkSize)
            return;
        const size_t size = std::min(count, LargestReserved);
        const size_t needed = (count + size - 1) / size;
        chunks.reserve(chunks.size() + needed);
        ahead.reserve(needed - 1);
        for (size_t i = 1; i < needed; ++i)
            ahead.push_back(std::make_unique_for_overwrite<Slot[]>(size));
        chunks.push_back(std::make_unique_for_overwrite<Slot[]>(size));
        chunkSize = size;
        usedInChunk = 0;
        free.clear(); // slots of older chunks left unused until the tree is cleared
    }
};

// Records asked for in place, in chunks like the nodes, and the parts that
// compact records share. A user's rights are a copy of the security
// template's, so the records of one right under every user differ only in
// Granted, NodeIndex and ImageIndex: the rest (its shape) is kept once, found
// again through a small table of the shapes met recently.
struct Tree::RecordStore
{
    static constexpr size_t ChunkSize = 1024;
    static constexpr size_t RecentSize = 2048;

    std::vector<std::unique_ptr<TzkNodeRecord[]>> chunks;
    size_t usedInChunk = ChunkSize;
    std::vector<TzkNodeRecord *> free;
    // Shape 0 stands for "no record".
    std::vector<TzkNodeRecord> shapes;
    RecentValues<quint32> recent {RecentSize};
    // The shape last given to a record at each place under its top-level
    // node: the records of every user are tried against it first.
    std::vector<quint32> byPlace;

    static TzkNodeRecord shapeOf(const TzkNodeRecord &record)
    {
        TzkNodeRecord shape = record;
        shape.Granted = 0;
        shape.NodeIndex = 0;
        shape.ImageIndex = 0;
        return shape;
    }

    quint32 shapeIndex(const TzkNodeRecord &record)
    {
        if (shapes.empty())
            shapes.emplace_back();
        const TzkNodeRecord shape = shapeOf(record);
        // The identifier and the caption tell shapes apart; the reserved
        // bytes almost never do, but are compared all the same.
        const size_t hash = quickHash(
            &shape, offsetof(TzkNodeRecord, CaptionBytes) + qMin<size_t>(shape.CaptionLength, 40));
        return recent.find(
            hash,
            [&](quint32 index) {
                return index != 0 && std::memcmp(&shapes[index], &shape, sizeof shape) == 0;
            },
            [&] {
                shapes.push_back(shape);
                return quint32(shapes.size() - 1);
            });
    }

    // Whether the stored record at \a bytes has \a shape, compared where it
    // lies when the record is stored as it lies in memory.
    static bool hasShape(const char *bytes, const TzkNodeRecord &shape)
    {
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            // Word by word, the bytes of Granted, NodeIndex and ImageIndex
            // (the sixth and seventh words hold them) masked out.
            static_assert(offsetof(TzkNodeRecord, Granted) == 45
                          && offsetof(TzkNodeRecord, NodeIndex) == 48
                          && offsetof(TzkNodeRecord, Reserved) == 56);
            constexpr size_t Words = TzkNodeRecord::Size / 8;
            const auto *own = reinterpret_cast<const char *>(&shape);
            quint64 differ = 0;
            for (size_t w = 0; w < Words; ++w) {
                quint64 stored;
                quint64 kept;
                std::memcpy(&stored, bytes + 8 * w, 8);
                std::memcpy(&kept, own + 8 * w, 8);
                const quint64 mask = w == 5 ? ~(quint64(0xFF) << 40) : w == 6 ? 0 : ~quint64(0);
                differ |= (stored ^ kept) & mask;
            }
            quint32 storedTail;
            quint32 keptTail;
            std::memcpy(&storedTail, bytes + 8 * Words, 4);
            std::memcpy(&keptTail, own + 8 * Words, 4);
            return differ == 0 && storedTail == keptTail;
        }
        const TzkNodeRecord stored = shapeOf(TzkNodeRecord::fromBytes(bytes));
        return std::memcmp(&stored, &shape, sizeof shape) == 0;
    }

    // The shape of the stored record at \a bytes, attached at \a place.
    quint32 storedShape(const char *bytes, size_t place)
    {
        if (place < byPlace.size()) {
            const quint32 hint = byPlace[place];
            if (hint != 0 && hasShape(bytes, shapes[hint]))
                return hint;
        }
        const quint32 index = shapeIndex(TzkNodeRecord::fromBytes(bytes));
        if (place >= byPlace.size())
            byPlace.resize(place + 1, 0);
        byPlace[place] = index;
        return index;
    }

    TzkNodeRecord *inPlace(const TreeNode &node)
    {
        TzkNodeRecord *record = nullptr;
        if (!free.empty()) {
            record = free.back();
            free.pop_back();
        } else {
            if (usedInChunk == ChunkSize) {
                chunks.reserve(chunks.size() + 1);
                chunks.push_back(std::make_unique_for_overwrite<TzkNodeRecord[]>(ChunkSize));
                usedInChunk = 0;
            }
            record = &chunks.back()[usedInChunk++];
        }
        *record = shapes[node.m_shape];
        record->Granted = node.m_granted;
        record->NodeIndex = node.m_recordIndex;
        record->ImageIndex = node.m_recordImage;
        return record;
    }
};

Tree::Tree(QObject *parent)
    : QObject(parent)
    , m_pool(std::make_unique<NodePool>())
    , m_records(std::make_unique<RecordStore>())
{
}

zkSecurity::TzkNodeRecord *TreeNode::record() const
{
    Q_ASSERT(!m_record && m_shape);
    m_record = m_tree->m_records->inPlace(*this);
    return m_record;
}

void Tree::setRecord(TreeNode *node, const TzkNodeRecord &record)
{
    // A record replaced stays where it is: only a node's first is made compact.
    if (node->m_shape && !node->m_record)
        node->record();
    if (node->m_record) {
        *node->m_record = record;
        return;
    }
    node->m_shape = m_records->shapeIndex(record);
    node->m_granted = record.Granted;
    node->m_recordIndex = record.NodeIndex;
    node->m_recordImage = record.ImageIndex;
}

void Tree::dropRecord(TreeNode *node)
{
    if (node->m_record)
        m_records->free.push_back(node->m_record);
    node->m_record = nullptr;
    node->m_shape = 0;
}

TreeNode *Tree::newNode(TreeNode *parent, QByteArray text)
{
    return new (m_pool->take()) TreeNode(this, parent, std::move(text));
}

void Tree::recycle(TreeNode *node)
{
    m_pool->free.push_back(reinterpret_cast<NodePool::Slot *>(node));
}

Tree::~Tree()
{
    // Let models and views detach while the nodes still exist.
    clear();
}

int Tree::count() const
{
    return m_count;
}

TreeNode *Tree::topLevel(int i) const
{
    if (i < 0 || i >= topLevelCount())
        return nullptr;
    return m_roots[size_t(i)].get();
}

TreeNode *Tree::firstTopLevel(const QByteArray &text) const
{
    if (!m_topLevelIndexValid) {
        m_topLevelByText.clear();
        for (auto it = m_roots.rbegin(); it != m_roots.rend(); ++it)
            m_topLevelByText.insert((*it)->m_text, it->get()); // the first one stays
        m_topLevelIndexValid = true;
    }
    return m_topLevelByText.value(text);
}

TreeNode *Tree::nodeAt(int i) const
{
    ensureOrder();
    if (i < 0 || size_t(i) >= m_order.size())
        return nullptr;
    return m_order[size_t(i)];
}

TreeNode *Tree::addChild(TreeNode *parent, const QByteArray &text)
{
    return addChild(parent, QByteArray(text));
}

TreeNode *Tree::addChild(TreeNode *parent, QByteArray &&text)
{
    Q_ASSERT(!parent || parent->m_tree == this);
    if (parent && parent->m_tree != this)
        return nullptr;
    auto &siblings = siblingsOf(parent);
    const int row = int(siblings.size());
    if (!m_replacing)
        Q_EMIT nodeAboutToBeInserted(parent, row);
    // Room in the order first: once the node is in place nothing may fail.
    const bool appends = m_orderValid && (!parent || endsOrder(parent));
    if (appends && m_order.size() == m_order.capacity())
        m_order.reserve(std::max<size_t>(16, m_order.capacity() * 2));
    if (!parent && m_rootChanges.size() == m_rootChanges.capacity())
        m_rootChanges.reserve(std::max<size_t>(16, m_rootChanges.capacity() * 2));
    if (siblings.capacity() == 0)
        siblings.reserve(4); // spares the growth by one and two of most parents
    siblings.push_back(TreeNodePtr(newNode(parent, std::move(text))));
    TreeNode *node = siblings.back().get();
    node->m_row = row;
    ++m_count;
    if (appends) {
        node->m_absoluteIndex = int(m_order.size());
        m_order.push_back(node);
    } else {
        invalidateOrder();
    }
    if (!parent && m_topLevelIndexValid) {
        try {
            if (!m_topLevelByText.contains(node->m_text))
                m_topLevelByText.insert(node->m_text, node);
        } catch (...) {
            m_topLevelIndexValid = false; // rebuilt when next asked
        }
    }
    if (!parent)
        m_rootChanges.push_back(0);
    touch(node);
    m_structureGeneration = m_generation;
    if (!m_replacing)
        Q_EMIT nodeInserted(node);
    return node;
}

void Tree::deleteNode(TreeNode *node)
{
    if (!node || node->m_tree != this)
        return;
    for (TreeNode *p = m_selected; p; p = p->m_parent) {
        if (p == node) {
            setSelected(nullptr);
            break;
        }
    }
    if (!m_replacing)
        Q_EMIT nodeAboutToBeRemoved(node);
    TreeNode *parent = node->m_parent;
    const int row = node->m_row;
    int removed = 0;
    std::vector<const TreeNode *> pending {node};
    while (!pending.empty()) {
        const TreeNode *n = pending.back();
        pending.pop_back();
        ++removed;
        for (const auto &child : n->m_children)
            pending.push_back(child.get());
    }
    // Removing the last subtree of the pre-order leaves the rest numbered as it was.
    const bool tail =
        m_orderValid && size_t(node->m_absoluteIndex) + size_t(removed) == m_order.size();
    auto &siblings = siblingsOf(parent);
    TreeNodePtr owned = std::move(siblings[size_t(row)]);
    siblings.erase(siblings.begin() + row);
    for (size_t i = size_t(row); i < siblings.size(); ++i)
        siblings[i]->m_row = int(i);
    m_count -= removed;
    if (tail)
        m_order.resize(size_t(node->m_absoluteIndex));
    else
        invalidateOrder();
    if (!parent) {
        m_topLevelIndexValid = false;
        m_rootChanges.erase(m_rootChanges.begin() + row);
    }
    // The parent's top-level node is the removed node's, found without a walk
    // up when that node or its parent was touched last (removing leaves from
    // the bottom of a deep chain), and before their slots can be reused.
    const TreeNode *top = parent ? topOf(node) : nullptr;
    m_touched = m_touchedTop = nullptr; // the nodes go, and their slots are reused
    if (parent)
        touchUnder(parent, top);
    else
        ++m_generation;
    m_structureGeneration = m_generation;
    owned.reset(); // the subtree and its records go with it
    if (!m_replacing)
        Q_EMIT nodeRemoved(parent, row);
}

void Tree::clear()
{
    if (m_roots.empty())
        return;
    setSelected(nullptr);
    if (!m_replacing)
        Q_EMIT aboutToBeCleared();
    std::vector<TreeNodePtr> roots = std::move(m_roots);
    m_roots.clear();
    m_order.clear();
    m_orderValid = true;
    m_count = 0;
    m_topLevelByText.clear();
    m_topLevelIndexValid = true;
    m_rootChanges.clear();
    m_touched = m_touchedTop = nullptr;
    m_structureGeneration = ++m_generation;
    roots.clear();
    // Every node is gone: the storage goes too.
    *m_pool = {};
    *m_records = {};
    if (!m_replacing)
        Q_EMIT cleared();
}

void Tree::attachStoredRecord(TreeNode *node, const char *bytes)
{
    attachStored(node, bytes, topOf(node));
}

qint32 Tree::attachStoredRecords(const char *records, qint32 count, qint32 first, bool &inOrder)
{
    ensureOrder();
    const TreeNode *top = nullptr;
    qint32 last = -1;
    for (qint32 i = 0; i < count; ++i) {
        const char *const bytes = records + qsizetype(i) * TzkNodeRecord::Size;
        const qint32 index =
            rightsmith::toolkit::readInt32LE(bytes + offsetof(TzkNodeRecord, NodeIndex));
        inOrder = inOrder && index == first + i;
        if (index < 0 || size_t(index) >= m_order.size())
            return i;
        TreeNode *node = m_order[size_t(index)];
        // In pre-order, the node after another is a top-level node or has
        // the same top-level node.
        if (!node->m_parent)
            top = node;
        else if (!top || index != last + 1)
            top = topOf(node);
        last = index;
        attachStored(node, bytes, top);
    }
    return count;
}

void Tree::attachStored(TreeNode *node, const char *bytes, const TreeNode *top)
{
    namespace toolkit = rightsmith::toolkit;
    const qint32 image = toolkit::readInt32LE(bytes + offsetof(TzkNodeRecord, ImageIndex));
    touchUnder(node, top);
    if (!node->m_record && !node->m_shape) {
        // A node's first record, as a load attaches it: made compact without
        // a copy, its shape looked for first where the record at the same
        // place under the previous top-level node found its own.
        const size_t place =
            m_orderValid ? size_t(node->m_absoluteIndex - top->m_absoluteIndex) : 0;
        node->m_shape = m_records->storedShape(bytes, place);
        node->m_granted = quint8(bytes[offsetof(TzkNodeRecord, Granted)]);
        node->m_recordIndex = toolkit::readInt32LE(bytes + offsetof(TzkNodeRecord, NodeIndex));
        node->m_recordImage = image;
    } else {
        setRecord(node, TzkNodeRecord::fromBytes(bytes));
    }
    node->m_imageIndex = image;
    node->m_selectedIndex = image;
    emitChanged(node);
}

void Tree::addLoaded(const std::vector<LoadedNode> &nodes)
{
    if (nodes.empty())
        return;
    if (m_count != 0 || !m_replacing) {
        // Nodes among others, or watched one by one: added one by one.
        std::vector<TreeNode *> made;
        made.reserve(nodes.size());
        for (const LoadedNode &loaded : nodes) {
            TreeNode *parent = loaded.parent < 0 ? nullptr : made[size_t(loaded.parent)];
            made.push_back(addChild(parent, QByteArray(loaded.text, loaded.size)));
        }
        return;
    }

    const size_t n = nodes.size();
    size_t roots = 0;
    for (const LoadedNode &loaded : nodes)
        roots += loaded.parent < 0 ? 1 : 0;
    // Every allocation that may fail before a node is in place comes first.
    *m_pool = {}; // no node holds a slot
    m_pool->reserve(n);
    m_order.clear();
    m_order.reserve(n);
    m_orderValid = true;
    m_roots.reserve(roots);
    m_rootChanges.reserve(roots);
    m_topLevelByText.clear();
    m_topLevelIndexValid = false; // rebuilt when first asked
    m_touched = m_touchedTop = nullptr;

    // Texts repeat under every user: a text is shared with the node at the
    // same place under the previous top-level node when they are equal, or
    // else with one met recently, found by its hash in a small table.
    RecentValues<QByteArray> recent(std::clamp<size_t>(n / 4, 64, 4096));
    const auto sharedText = [&](size_t i, size_t top, size_t previousTop) {
        const LoadedNode &loaded = nodes[i];
        const size_t same = previousTop + (i - top);
        if (previousTop < top && same < top) {
            const QByteArray &text = m_order[same]->m_text;
            if (text.size() == loaded.size
                && std::memcmp(text.constData(), loaded.text, size_t(loaded.size)) == 0)
                return text;
        }
        return recent.find(
            quickHash(loaded.text, size_t(loaded.size)),
            [&](const QByteArray &known) {
                return known.size() == loaded.size
                    && std::memcmp(known.constData(), loaded.text, size_t(loaded.size)) == 0;
            },
            [&] { return QByteArray(loaded.text, loaded.size); });
    };

    size_t top = 0;
    size_t previousTop = n; // none yet
    for (size_t i = 0; i < n; ++i) {
        const LoadedNode &loaded = nodes[i];
        Q_ASSERT(loaded.parent < qint64(i));
        TreeNode *parent = loaded.parent < 0 ? nullptr : m_order[size_t(loaded.parent)];
        if (!parent) {
            previousTop = i == 0 ? n : top;
            top = i;
        }
        TreeNode *node =
            new (m_pool->take()) TreeNode(this, parent, sharedText(i, top, previousTop));
        auto &siblings = siblingsOf(parent);
        node->m_row = int(siblings.size());
        node->m_absoluteIndex = int(i);
        siblings.push_back(TreeNodePtr(node)); // room made before, with the parent
        m_order.push_back(node);
        ++m_count;
        ++m_generation;
        if (!parent)
            m_rootChanges.push_back(m_generation);
        else
            m_rootChanges.back() = m_generation;
        m_structureGeneration = m_generation;
        if (loaded.children > 0)
            node->m_children.reserve(size_t(loaded.children));
    }
}

void Tree::writeStoredRecord(TreeNode *node, qint32 index, char *at)
{
    if (node->m_record) {
        TzkNodeRecord &record = *node->m_record;
        if (record.NodeIndex != index || record.ImageIndex != node->m_imageIndex) {
            record.NodeIndex = index;
            record.ImageIndex = node->m_imageIndex;
            touch(node);
        }
        record.writeTo(at);
        return;
    }
    TzkNodeRecord record; // all zero for a node without one
    if (node->m_shape) {
        if (node->m_recordIndex != index || node->m_recordImage != node->m_imageIndex) {
            node->m_recordIndex = index;
            node->m_recordImage = node->m_imageIndex;
            touch(node);
        }
        record = m_records->shapes[node->m_shape];
        record.Granted = node->m_granted;
    }
    record.NodeIndex = index;
    record.ImageIndex = node->m_imageIndex;
    record.writeTo(at);
}

void Tree::beginReplace()
{
    setSelected(nullptr);
    Q_EMIT aboutToBeCleared();
    m_replacing = true;
}

void Tree::endReplace()
{
    m_replacing = false;
    Q_EMIT cleared();
}

void Tree::setSelected(TreeNode *node)
{
    if (node && node->m_tree != this)
        return;
    if (node == m_selected)
        return;
    m_selected = node;
    Q_EMIT selectionChanged(node);
}

rightsmith::toolkit::ImageList *Tree::images() const
{
    return m_images.data();
}

void Tree::setImages(rightsmith::toolkit::ImageList *images)
{
    if (images == m_images.data())
        return;
    if (m_images)
        disconnect(m_images.data(), nullptr, this, nullptr);
    m_images = images;
    if (images) {
        connect(images, &rightsmith::toolkit::ImageList::changed, this, &Tree::imagesChanged);
        connect(images, &QObject::destroyed, this, &Tree::imagesChanged);
    }
    Q_EMIT imagesChanged();
}

void Tree::expand(TreeNode *node, bool recursive)
{
    if (!node || node->m_tree != this)
        return;
    node->m_expanded = true;
    if (recursive) {
        std::vector<TreeNode *> pending {node};
        while (!pending.empty()) {
            TreeNode *n = pending.back();
            pending.pop_back();
            n->m_expanded = true;
            for (auto &child : n->m_children)
                pending.push_back(child.get());
        }
    }
    Q_EMIT expandRequested(node, recursive);
}

void Tree::invalidateOrder()
{
    m_orderValid = false;
}

// Whether the pre-order ends in \a node's subtree, so that a new last child of
// \a node comes last in it. Walks up from the last node: a tree built in
// pre-order finds \a node at once or a few levels up.
bool Tree::endsOrder(const TreeNode *node) const
{
    for (const TreeNode *n = m_order.empty() ? nullptr : m_order.back(); n; n = n->m_parent) {
        if (n == node)
            return true;
    }
    return false;
}

quint64 Tree::topLevelGeneration(int i) const
{
    return i >= 0 && size_t(i) < m_rootChanges.size() ? m_rootChanges[size_t(i)] : 0;
}

void Tree::touch(const TreeNode *node)
{
    touchUnder(node, topOf(node));
}

// The node touched last, or a child of it, has the same top-level node:
// building or loading a tree in pre-order finds it without a walk up.
const TreeNode *Tree::topOf(const TreeNode *node) const
{
    if (node == m_touched || (node->m_parent && node->m_parent == m_touched))
        return m_touchedTop;
    while (node->m_parent)
        node = node->m_parent;
    return node;
}

void Tree::touchUnder(const TreeNode *node, const TreeNode *top)
{
    ++m_generation;
    m_touched = node;
    m_touchedTop = top;
    m_rootChanges[size_t(top->m_row)] = m_generation;
}

void Tree::topLevelRenamed()
{
    m_topLevelIndexValid = false;
}

void Tree::ensureOrder() const
{
    if (!m_orderValid)
        rebuildOrder();
}

void Tree::rebuildOrder() const
{
    m_order.clear();
    // Pre-order without recursion; children are pushed in reverse so that
    // the first child comes off the stack first.
    std::vector<TreeNode *> pending;
    for (auto it = m_roots.rbegin(); it != m_roots.rend(); ++it)
        pending.push_back(it->get());
    while (!pending.empty()) {
        TreeNode *node = pending.back();
        pending.pop_back();
        node->m_absoluteIndex = int(m_order.size());
        m_order.push_back(node);
        for (auto it = node->m_children.rbegin(); it != node->m_children.rend(); ++it)
            pending.push_back(it->get());
    }
    m_orderValid = true;
}

std::vector<TreeNodePtr> &Tree::siblingsOf(TreeNode *parent)
{
    return parent ? parent->m_children : m_roots;
}

const std::vector<TreeNodePtr> &Tree::siblingsOf(const TreeNode *parent) const
{
    return parent ? parent->m_children : m_roots;
}

void Tree::emitChanged(TreeNode *node)
{
    if (!m_replacing)
        Q_EMIT nodeChanged(node);
}

} // namespace zkSecurity
