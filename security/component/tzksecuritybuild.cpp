// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Rebuilding the security template from the client action lists.
#include "security/component/securityclient.h"
#include "security/component/tzksecurity.h"
#include "security/model/nodeimages_p.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/action.h"
#include "toolkit/actionlist.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScopeGuard>

#include <algorithm>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity {

namespace {

constexpr int BaseImageCount = 5;
constexpr int CategoryImage = 2;
constexpr int MaxNodeCaption = 34;

bool isTrimmed(QChar c)
{
    return c.unicode() <= 32;
}

// What one action contributes to the tree, converted to bytes before the
// template is touched: a caption the code page cannot hold stops the build
// while the old template is still in place.
struct ActionEntry
{
    toolkit::Action *action = nullptr;
    SecuredAction *secured = nullptr;
    QList<QByteArray> segments;
    QByteArray text;
};

struct ListEntry
{
    toolkit::ActionList *list = nullptr;
    QList<ActionEntry> actions;
};

TzkNodeRecord makeRecord(qint32 securityId, const QByteArray &caption, int nodeIndex,
                         int imageIndex)
{
    TzkNodeRecord record;
    record.SecurityId = securityId;
    record.setCaption(caption);
    record.setGranted(false);
    record.NodeIndex = nodeIndex;
    record.ImageIndex = imageIndex;
    return record;
}

// Whether \a a comes before \a b in tree order (both in one tree).
bool precedes(const zkSecurity::TreeNode *a, const zkSecurity::TreeNode *b)
{
    std::vector<const zkSecurity::TreeNode *> pathA;
    std::vector<const zkSecurity::TreeNode *> pathB;
    for (; a; a = a->parent())
        pathA.push_back(a);
    for (; b; b = b->parent())
        pathB.push_back(b);
    auto itA = pathA.rbegin();
    auto itB = pathB.rbegin();
    for (; itA != pathA.rend() && itB != pathB.rend(); ++itA, ++itB) {
        if (*itA != *itB)
            return (*itA)->index() < (*itB)->index();
    }
    return itA == pathA.rend() && itB != pathB.rend(); // an ancestor comes first
}

// The nodes' records carry their order of creation in NodeIndex; each gets
// instead its absolute index at the moment it was added: the number of nodes
// made before it that come before it in tree order (adding a last child moves
// no node that is already there). Counted with a Fenwick tree, in one walk.
void numberInCreationOrder(zkSecurity::Tree &tree)
{
    const int n = tree.count();
    std::vector<int> counts(size_t(n) + 1, 0);
    for (int i = 0; i < n; ++i) {
        zkSecurity::TreeNode *node = tree.nodeAt(i);
        const TzkNodeRecord *record = node->data();
        const int created = record->NodeIndex;
        int before = 0;
        for (int k = created; k > 0; k -= k & -k)
            before += counts[size_t(k)];
        for (int k = created + 1; k <= n; k += k & -k)
            ++counts[size_t(k)];
        if (before != created)
            node->editData()->NodeIndex = before;
    }
}

ActionEntry convertAction(toolkit::Action *action, SecuredAction *secured)
{
    ActionEntry entry;
    entry.action = action;
    entry.secured = secured;
    const QString category = action->category();
    for (int level = 1;; ++level) {
        const QString segment = ExtractToken(category, level, u'/');
        if (segment.isEmpty())
            break;
        entry.segments.append(toolkit::Codec::fromUnicodeChecked(segment));
    }
    entry.text =
        toolkit::Codec::fromUnicodeChecked(CleanCaption(action->text()).left(MaxNodeCaption));
    return entry;
}

// Clients in processing order (last registered first), their texts already in bytes.
QList<ListEntry> convertClients(const QList<QPointer<toolkit::ActionList>> &clients)
{
    QList<ListEntry> lists;
    for (qsizetype i = clients.size() - 1; i >= 0; --i) {
        toolkit::ActionList *list = clients.at(i).data();
        if (!qobject_cast<SecurityClient *>(list))
            continue;
        ListEntry listEntry {list, {}};
        for (toolkit::Action *action : list->actions()) {
            if (auto *secured = qobject_cast<SecuredAction *>(action))
                listEntry.actions.append(convertAction(action, secured));
        }
        lists.append(listEntry);
    }
    return lists;
}

// The first list's images, unmasked, then the tree's own images before them.
void loadBaseImages(toolkit::ImageList &images, toolkit::ImageList *listImages)
{
    if (listImages) {
        images.assign(*listImages);
        images.setMasked(false);
    }
    for (int i = 0; i < BaseImageCount; ++i)
        images.insert(i, NodeImage(NodeImageNames[i]));
}

// Appends a later list's images; returns where they start.
int appendListImages(toolkit::ImageList &images, const toolkit::ImageList &listImages,
                     const QColor &transparent)
{
    const int offset = images.count();
    // Counted once: a list may hold the very image list being filled.
    const int listImageCount = listImages.count();
    for (int i = 0; i < listImageCount; ++i)
        images.addMasked(listImages.image(i), transparent);
    return offset;
}

// The action's image in the built list, or -1 when its list has none.
int actionImage(const toolkit::Action &action, const toolkit::ImageList *listImages,
                int imageOffset)
{
    if (!listImages || action.imageIndex() < 0)
        return -1;
    return int(std::min<qint64>(qint64(action.imageIndex()) + imageOffset,
                                std::numeric_limits<int>::max()));
}

} // namespace

QString ExtractToken(const QString &text, int index, QChar delimiter)
{
    QString result;
    qsizetype start = 0;
    for (int i = 1; i <= index; ++i) {
        const qsizetype p = text.indexOf(delimiter, start);
        if (p < 0) {
            result = i == index ? text.mid(start) : QString();
            break;
        }
        result = text.mid(start, p - start);
        start = p + 1;
    }
    qsizetype first = 0;
    qsizetype last = result.size();
    while (first < last && isTrimmed(result.at(first)))
        ++first;
    while (last > first && isTrimmed(result.at(last - 1)))
        --last;
    return result.mid(first, last - first);
}

QString CleanCaption(const QString &caption)
{
    QString result = caption;
    result.remove(u'&');
    for (QChar &c : result) {
        if (c.unicode() < 32)
            c = u'_';
    }
    return result;
}

bool TzkSecurity::CollectClientIds()
{
    m_usedIds.clear();
    for (qsizetype i = m_clients.size() - 1; i >= 0; --i) {
        toolkit::ActionList *list = m_clients.at(i).data();
        if (!qobject_cast<SecurityClient *>(list))
            continue;
        const QList<toolkit::Action *> actions = list->actions();
        for (qsizetype j = actions.size() - 1; j >= 0; --j) {
            auto *action = qobject_cast<SecuredAction *>(actions.at(j));
            if (!action)
                continue;
            const qint32 id = action->SecurityId();
            if (m_usedIds.contains(id))
                return false;
            if (id != 0)
                m_usedIds.insert(id);
        }
    }
    return true;
}

qint32 TzkSecurity::NextGeneratedId()
{
    do {
        ++m_generatedId;
    } while (m_usedIds.contains(m_generatedId));
    return m_generatedId;
}

zkSecurity::TreeNode *TzkSecurity::FindCategoryNode(TzkSecurityTemplate *tmpl,
                                                    const QByteArray &text, int level) const
{
    // The last node in tree order with that text at that level, an action
    // node included, wherever it is; every node of the build is indexed.
    Q_UNUSED(tmpl);
    return m_nodesByLevelAndText.value(qMakePair(level, text));
}

void TzkSecurity::NoteBuiltNode(zkSecurity::TreeNode *node, int level)
{
    zkSecurity::TreeNode *&last = m_nodesByLevelAndText[qMakePair(level, node->text())];
    if (!last || precedes(last, node))
        last = node;
}

zkSecurity::TreeNode *TzkSecurity::AddCategoryNodes(TzkSecurityTemplate *tmpl,
                                                    zkSecurity::TreeNode *root,
                                                    const QList<QByteArray> &segments, int &created)
{
    zkSecurity::TreeNode *parent = root;
    int level = 1;
    for (const QByteArray &segment : segments) {
        zkSecurity::TreeNode *node = FindCategoryNode(tmpl, segment, level);
        if (!node) {
            node = tmpl->addChild(parent, segment);
            node->setImages(CategoryImage);
            node->setData(makeRecord(0, segment, created++, CategoryImage));
            NoteBuiltNode(node, level);
        }
        parent = node;
        ++level;
    }
    return parent;
}

bool TzkSecurity::BuildSecurityTemplateFromClients(TzkSecurityTemplate *tmpl,
                                                   toolkit::ImageList *images)
{
    if (!tmpl || !images)
        return false;

    if (m_options.contains(soForceIDFromClients)) {
        if (!CollectClientIds())
            throw toolkit::Error(
                tr("Duplicate Security ID Found. Cannot Continue. Please correct."));
    } else {
        m_usedIds.clear();
    }

    const QList<ListEntry> lists = convertClients(m_clients);

    m_generatedId = 0;
    tmpl->ClearTemplate();
    images->clear();
    m_nodesByLevelAndText.clear();
    const auto forgetNodes = qScopeGuard([this] { m_nodesByLevelAndText.clear(); });
    // Records hold their order of creation until numberInCreationOrder().
    int created = 0;

    zkSecurity::TreeNode *root = tmpl->addChild(nullptr, QByteArrayLiteral("User"));
    root->setData(makeRecord(0, QByteArray(), created++, 0));
    NoteBuiltNode(root, 0);

    int imageOffset = 0;
    bool baseImagesLoaded = false;
    const QColor transparent = QGuiApplication::palette().color(QPalette::Window);

    for (const ListEntry &listEntry : lists) {
        toolkit::ImageList *listImages = listEntry.list->images();
        if (!baseImagesLoaded) {
            loadBaseImages(*images, listImages);
            root->setImages(0);
            imageOffset = BaseImageCount;
            baseImagesLoaded = true;
        } else if (listImages) {
            imageOffset = appendListImages(*images, *listImages, transparent);
        }

        for (const ActionEntry &entry : listEntry.actions) {
            zkSecurity::TreeNode *parent = AddCategoryNodes(tmpl, root, entry.segments, created);
            zkSecurity::TreeNode *node = tmpl->addChild(parent, entry.text);
            NoteBuiltNode(node, int(entry.segments.size()) + 1);
            qint32 securityId = entry.secured->SecurityId();
            if (!m_options.contains(soForceIDFromClients) || securityId == 0) {
                securityId = NextGeneratedId();
                entry.secured->setSecurityId(securityId);
            }
            const int image = actionImage(*entry.action, listImages, imageOffset);
            node->setImages(image);
            node->setData(makeRecord(securityId, node->text(), created++, image));
        }
    }
    numberInCreationOrder(*tmpl);
    return true;
}

} // namespace zkSecurity
