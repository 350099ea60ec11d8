// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The tree view and its model: they follow every change of the tree, keep the
// selection in step both ways, show icons only with images, and never edit.
#include "security/model/tree.h"
#include "security/model/treemodel.h"
#include "security/widgets/treeview.h"
#include "support/testsupport.h"
#include "toolkit/imagelist.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using zkSecurity::Tree;
using zkSecurity::TreeNode;
using zkSecurity::TreeView;

class tst_TreeView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void modelFollowsInsertsRemovalsAndClear();
    void modelShowsDecodedText();
    void selectionFromTreeToView();
    void selectionFromViewToTree();
    void keyboardMovesTheSelection();
    void currentWithoutSelectionIsSelected();
    void deletingTheSelectionClearsTheView();
    void deletingASiblingKeepsTheSelection();
    void iconsOnlyWithImages_data();
    void iconsOnlyWithImages();
    void imageChangesRepaint();
    void nodeWithoutImageLinesUpWithSiblings();
    void readOnly();
    void expandRequests();
    void expandedFlagsAndSelectionApplyOnSetTree();
    void doubleClickSelectsAndReports();
    void treeDestroyedBeforeTheView();

private:
    QModelIndex indexOf(TreeNode *node) const { return m_view->indexForNode(node); }

    std::unique_ptr<Tree> m_tree;
    std::unique_ptr<TreeView> m_view;
    // a{a1{a11}, a2}, c
    TreeNode *a = nullptr, *a1 = nullptr, *a11 = nullptr, *a2 = nullptr, *c = nullptr;
};

void tst_TreeView::init()
{
    m_tree = std::make_unique<Tree>();
    a = m_tree->addChild(nullptr, QByteArrayLiteral("a"));
    a1 = m_tree->addChild(a, QByteArrayLiteral("a1"));
    a11 = m_tree->addChild(a1, QByteArrayLiteral("a11"));
    a2 = m_tree->addChild(a, QByteArrayLiteral("a2"));
    c = m_tree->addChild(nullptr, QByteArrayLiteral("c"));
    m_view = std::make_unique<TreeView>();
    m_view->setTree(m_tree.get());
}

void tst_TreeView::cleanup()
{
    m_view.reset();
    m_tree.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_TreeView::modelFollowsInsertsRemovalsAndClear()
{
    QAbstractItemModel *model = m_view->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->rowCount(indexOf(a)), 2);

    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    TreeNode *a3 = m_tree->addChild(a, QByteArrayLiteral("a3"));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(0).value<QModelIndex>(), indexOf(a));
    QCOMPARE(inserted.at(0).at(1).toInt(), 2);
    QCOMPARE(model->index(2, 0, indexOf(a)).data().toString(), QStringLiteral("a3"));
    QCOMPARE(model->parent(indexOf(a3)), indexOf(a));

    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    m_tree->deleteNode(a1);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(model->rowCount(indexOf(a)), 2);
    QCOMPARE(model->index(0, 0, indexOf(a)).data().toString(), QStringLiteral("a2"));
    QCOMPARE(indexOf(a3).row(), 1);

    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    a2->setText(QByteArrayLiteral("renamed"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), indexOf(a2));

    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    m_tree->clear();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model->rowCount(), 0);
    m_tree->addChild(nullptr, QByteArrayLiteral("again"));
    QCOMPARE(model->rowCount(), 1);
}

void tst_TreeView::modelShowsDecodedText()
{
    a->setText(QByteArrayLiteral("Caf\xe9"));
    QCOMPARE(indexOf(a).data(Qt::DisplayRole).toString(), QStringLiteral("Caf\u00e9"));
    QCOMPARE(m_view->model()->columnCount(), 1);
    QVERIFY(m_view->isHeaderHidden());
}

void tst_TreeView::selectionFromTreeToView()
{
    m_tree->setSelected(a11);
    QCOMPARE(m_view->currentIndex(), indexOf(a11));
    QVERIFY(m_view->selectionModel()->isSelected(indexOf(a11)));
    QVERIFY(m_view->isExpanded(indexOf(a1))); // made visible

    m_tree->setSelected(nullptr);
    QVERIFY(!m_view->currentIndex().isValid());
    QVERIFY(!m_view->selectionModel()->hasSelection());
}

void tst_TreeView::selectionFromViewToTree()
{
    QSignalSpy selected(m_tree.get(), &Tree::selectionChanged);
    m_view->setCurrentIndex(indexOf(a2));
    QCOMPARE(m_tree->selected(), a2);
    QCOMPARE(selected.count(), 1);
    m_view->setCurrentIndex(indexOf(c));
    QCOMPARE(m_tree->selected(), c);
    QCOMPARE(selected.count(), 2);
}

void tst_TreeView::currentWithoutSelectionIsSelected()
{
    // A current index set without selecting (as focusing the view does) must
    // never leave the tree with a selection the view does not show.
    m_view->selectionModel()->setCurrentIndex(indexOf(c), QItemSelectionModel::NoUpdate);
    QCOMPARE(m_tree->selected(), c);
    QVERIFY(m_view->selectionModel()->isSelected(indexOf(c)));
}

void tst_TreeView::keyboardMovesTheSelection()
{
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_tree->setSelected(a);
    m_view->expand(indexOf(a));
    QTest::keyClick(m_view.get(), Qt::Key_Down);
    QCOMPARE(m_tree->selected(), a1);
    QTest::keyClick(m_view.get(), Qt::Key_Down);
    QCOMPARE(m_tree->selected(), a2); // a1 is collapsed
    QTest::keyClick(m_view.get(), Qt::Key_End);
    QCOMPARE(m_tree->selected(), c);
}

void tst_TreeView::deletingTheSelectionClearsTheView()
{
    m_tree->setSelected(a11);
    m_tree->deleteNode(a1);
    QCOMPARE(m_tree->selected(), nullptr);
    QVERIFY(!m_view->currentIndex().isValid());
    QVERIFY(!m_view->selectionModel()->hasSelection());

    // The selection model must not have picked a neighbour for the tree either.
    m_tree->setSelected(c);
    m_tree->deleteNode(c);
    QCOMPARE(m_tree->selected(), nullptr);
    QVERIFY(!m_view->currentIndex().isValid());
}

void tst_TreeView::deletingASiblingKeepsTheSelection()
{
    m_tree->setSelected(a2);
    m_tree->deleteNode(a1);
    QCOMPARE(m_tree->selected(), a2);
    QCOMPARE(m_view->currentIndex(), indexOf(a2));
    QCOMPARE(m_view->currentIndex().row(), 0);
}

void tst_TreeView::iconsOnlyWithImages_data()
{
    QTest::addColumn<int>("imageCount");
    QTest::addColumn<int>("imageIndex");
    QTest::addColumn<bool>("icon");
    QTest::newRow("no image list") << -1 << 0 << false;
    QTest::newRow("empty list") << 0 << 0 << false;
    QTest::newRow("index inside") << 3 << 2 << true;
    QTest::newRow("index past the end") << 3 << 3 << false;
    QTest::newRow("no image") << 3 << -1 << false;
}

void tst_TreeView::iconsOnlyWithImages()
{
    QFETCH(int, imageCount);
    QFETCH(int, imageIndex);
    QFETCH(bool, icon);
    rightsmith::toolkit::ImageList images;
    for (int i = 0; i < imageCount; ++i) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(QColor::fromHsv(i * 60, 255, 255));
        images.add(image);
    }
    if (imageCount >= 0)
        m_tree->setImages(&images);
    a->setImages(imageIndex);
    const QVariant decoration = indexOf(a).data(Qt::DecorationRole);
    QCOMPARE(decoration.isValid(), icon);
    if (icon)
        QVERIFY(!decoration.value<QIcon>().isNull());
    m_tree->setImages(nullptr);
    QVERIFY(!indexOf(a).data(Qt::DecorationRole).isValid());
}

void tst_TreeView::imageChangesRepaint()
{
    rightsmith::toolkit::ImageList images;
    a11->setImages(0);
    QSignalSpy changed(m_view->model(), &QAbstractItemModel::dataChanged);
    m_tree->setImages(&images);
    QVERIFY(!indexOf(a11).data(Qt::DecorationRole).isValid());
    // Every row is announced, the nested ones included.
    bool a11Covered = false;
    for (const QList<QVariant> &args : changed) {
        const QModelIndex first = args.at(0).value<QModelIndex>();
        const QModelIndex last = args.at(1).value<QModelIndex>();
        if (first.parent() == indexOf(a1) && first.row() <= 0 && last.row() >= 0)
            a11Covered = true;
    }
    QVERIFY(a11Covered);
    changed.clear();
    images.add(QImage(16, 16, QImage::Format_ARGB32));
    QVERIFY(!changed.isEmpty());
    QVERIFY(indexOf(a11).data(Qt::DecorationRole).isValid());
}

void tst_TreeView::nodeWithoutImageLinesUpWithSiblings()
{
    // A transparent image draws nothing, so a sibling without an image must be
    // drawn exactly like one with it: the same text at the same x.
    rightsmith::toolkit::ImageList images;
    QImage clear(16, 16, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    images.add(clear);
    m_tree->setImages(&images);
    a1->setText(QByteArrayLiteral("same"));
    a1->setImages(0);
    a2->setText(QByteArrayLiteral("same"));
    a2->setImages(-1);
    m_tree->expand(a, false);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));

    const QImage shown = m_view->viewport()->grab().toImage();
    const QImage withImage = shown.copy(m_view->visualRect(indexOf(a1)));
    const QImage withoutImage = shown.copy(m_view->visualRect(indexOf(a2)));
    QImage flat(withImage.size(), withImage.format());
    flat.fill(withImage.pixel(0, 0));
    QVERIFY(withImage != flat); // the text is drawn
    QCOMPARE(withoutImage, withImage);
}

void tst_TreeView::readOnly()
{
    QCOMPARE(m_view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(m_view->model()->flags(indexOf(a)) & Qt::ItemIsEditable));
    QVERIFY(!m_view->model()->setData(indexOf(a), QStringLiteral("x")));
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    m_tree->setSelected(a);
    QTest::keyClick(m_view.get(), Qt::Key_F2);
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    m_view->edit(indexOf(a));
    QVERIFY(!m_view->findChild<QLineEdit *>());
    QCOMPARE(a->text(), QByteArrayLiteral("a"));
}

void tst_TreeView::expandRequests()
{
    m_tree->expand(a, false);
    QVERIFY(m_view->isExpanded(indexOf(a)));
    QVERIFY(!m_view->isExpanded(indexOf(a1)));
    m_view->collapse(indexOf(a));
    m_tree->expand(a, true);
    QVERIFY(m_view->isExpanded(indexOf(a)));
    QVERIFY(m_view->isExpanded(indexOf(a1)));
}

void tst_TreeView::expandedFlagsAndSelectionApplyOnSetTree()
{
    Tree other;
    TreeNode *x = other.addChild(nullptr, QByteArrayLiteral("x"));
    TreeNode *x1 = other.addChild(x, QByteArrayLiteral("x1"));
    other.addChild(x1, QByteArrayLiteral("x11"));
    other.expand(x, false);
    other.setSelected(x1);

    m_view->setTree(&other);
    QCOMPARE(m_view->tree(), &other);
    QCOMPARE(m_view->model()->rowCount(), 1);
    QVERIFY(m_view->isExpanded(m_view->indexForNode(x)));
    QCOMPARE(m_view->currentIndex(), m_view->indexForNode(x1));

    // The old tree no longer drives the view.
    m_tree->setSelected(a);
    QCOMPARE(m_view->currentIndex(), m_view->indexForNode(x1));
    m_view->setTree(nullptr);
    QCOMPARE(m_view->model(), nullptr);
}

void tst_TreeView::doubleClickSelectsAndReports()
{
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    QSignalSpy doubleClicked(m_view.get(), &TreeView::nodeDoubleClicked);
    TreeNode *seenSelection = nullptr;
    connect(m_view.get(), &TreeView::nodeDoubleClicked, this,
            [&] { seenSelection = m_tree->selected(); });
    const QPoint centre = m_view->visualRect(indexOf(c)).center();
    // The view takes a double click only on the item pressed just before.
    QTest::mouseClick(m_view->viewport(), Qt::LeftButton, {}, centre);
    QCOMPARE(m_tree->selected(), c);
    m_tree->setSelected(a);
    QTest::mouseDClick(m_view->viewport(), Qt::LeftButton, {}, centre);
    QCOMPARE(doubleClicked.count(), 1);
    QCOMPARE(doubleClicked.at(0).at(0).value<TreeNode *>(), c);
    QCOMPARE(seenSelection, c);
}

void tst_TreeView::treeDestroyedBeforeTheView()
{
    m_tree->setSelected(a2);
    m_tree.reset();
    QCOMPARE(m_view->tree(), nullptr);
    QCOMPARE(m_view->model()->rowCount(), 0);
    QVERIFY(!m_view->currentIndex().isValid());
}

RIGHTSMITH_TEST_MAIN(tst_TreeView)
#include "tst_treeview.moc"
