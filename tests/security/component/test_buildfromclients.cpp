// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Rebuilding the security template from the client action lists: category
// chains, node texts, identifiers, images, and the token and caption helpers.
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "security/component/tzksecurity.h"
#include "security/model/nodeimages_p.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <memory>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using zkActnLst::TzkAction;
using zkActnLst::TzkActionList;
using zkSecurity::TreeNode;

namespace {

QByteArray b(const char *s)
{
    return QByteArray(s);
}

// Text of every node in pre-order, indented by level with TABs.
QByteArrayList shape(const zkSecurity::Tree &tree)
{
    QByteArrayList lines;
    for (int i = 0; i < tree.count(); ++i) {
        TreeNode *node = tree.nodeAt(i);
        lines << QByteArray(node->level(), '\t') + node->text();
    }
    return lines;
}

QImage filled(QColor colour)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// A security component with client lists made on one owner.
class Build : public ::testing::Test
{
protected:
    TzkActionList *addList(int imageCount = 0, QColor colour = Qt::red)
    {
        auto *list = new TzkActionList(&owner);
        if (imageCount > 0) {
            auto *images = new rightsmith::toolkit::ImageList(&owner);
            for (int i = 0; i < imageCount; ++i)
                images->add(filled(colour));
            list->setImages(images);
        }
        list->SetSecurityObject(&security);
        return list;
    }
    TzkAction *addAction(TzkActionList *list, const QString &caption,
                         const QString &category = QString(), qint32 id = 0, int image = -1)
    {
        auto *action = new TzkAction(&owner);
        action->setText(caption);
        action->setCategory(category);
        action->setSecurityId(id);
        action->setImageIndex(image);
        action->setActionList(list);
        return action;
    }
    bool build() { return security.BuildSecurityTemplateFromClients(&tmpl(), &images()); }
    TzkSecurityTemplate &tmpl() { return *security.SecurityTemplate(); }
    rightsmith::toolkit::ImageList &images() { return *security.ImageList(); }
    TreeNode *node(int absoluteIndex) { return tmpl().nodeAt(absoluteIndex); }

    testsupport::TemporaryHome home;
    TzkSecurity security;
    QObject owner;
};

} // namespace

// --- shape of the tree ----------------------------------------------------------

TEST_F(Build, CategoryPathsBecomeChainsSharedByLaterActions)
{
    TzkActionList *list = addList();
    addAction(list, u"Check Rights"_s, u"Security/Services/Checks"_s);
    addAction(list, u"Change User"_s, u"Security/Services/Checks"_s);
    addAction(list, u"Cut"_s, u" Edit "_s);
    addAction(list, u"Loose"_s, QString());
    addAction(list, u"Blank"_s, u"   "_s);
    addAction(list, u"Stops"_s, u"File//Sub"_s);
    addAction(list, u"Leading"_s, u"/File"_s);
    ASSERT_TRUE(build());
    EXPECT_EQ(shape(tmpl()),
              (QByteArrayList {b("User"), b("\tSecurity"), b("\t\tServices"), b("\t\t\tChecks"),
                               b("\t\t\t\tCheck Rights"), b("\t\t\t\tChange User"), b("\tEdit"),
                               b("\t\tCut"), b("\tLoose"), b("\tBlank"), b("\tFile"),
                               b("\t\tStops"), b("\tLeading")}));
    EXPECT_EQ(tmpl().topLevelCount(), 1);

    // Records: root, a category, an action.
    const TzkNodeRecord *root = node(0)->data();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->SecurityId, 0);
    EXPECT_TRUE(root->caption().isEmpty());
    EXPECT_EQ(root->ImageIndex, 0);
    EXPECT_EQ(node(0)->imageIndex(), 0);
    const TzkNodeRecord *services = node(2)->data();
    ASSERT_NE(services, nullptr);
    EXPECT_EQ(services->SecurityId, 0);
    EXPECT_EQ(services->caption(), b("Services"));
    EXPECT_EQ(services->NodeIndex, 2);
    EXPECT_EQ(services->ImageIndex, 2);
    EXPECT_EQ(node(2)->imageIndex(), 2);
    EXPECT_EQ(node(2)->selectedIndex(), 2);
    const TzkNodeRecord *changeUser = node(5)->data();
    ASSERT_NE(changeUser, nullptr);
    EXPECT_EQ(changeUser->SecurityId, 2);
    EXPECT_EQ(changeUser->caption(), b("Change User"));
    EXPECT_EQ(changeUser->NodeIndex, 5);
    EXPECT_EQ(changeUser->ImageIndex, -1);
    EXPECT_FALSE(changeUser->granted());
    // Every byte the build does not set stays zero.
    const QByteArray bytes = changeUser->toBytes();
    EXPECT_EQ(bytes.mid(56), QByteArray(124, '\0'));
    EXPECT_EQ(bytes.mid(5 + 11, 40 - 11), QByteArray(29, '\0'));
}

TEST_F(Build, CategorySearchCoversTheWholeLevelIncludingActionNodes)
{
    TzkActionList *list = addList();
    addAction(list, u"First"_s, u"A/X"_s);
    addAction(list, u"Second"_s, u"B/X"_s);
    addAction(list, u"Tools"_s);
    addAction(list, u"Inside"_s, u"Tools"_s);
    ASSERT_TRUE(build());
    EXPECT_EQ(shape(tmpl()),
              (QByteArrayList {b("User"), b("\tA"), b("\t\tX"), b("\t\t\tFirst"), b("\t\t\tSecond"),
                               b("\tB"), b("\tTools"), b("\t\tInside")}));
}

TEST_F(Build, CaptionsLoseAmpersandsAndControlCharactersAndAreCutTo34)
{
    EXPECT_EQ(CleanCaption(u"&Open"_s), u"Open"_s);
    EXPECT_EQ(CleanCaption(u"Save &As..."_s), u"Save As..."_s);
    EXPECT_EQ(CleanCaption(u"Fish && Chips"_s), u"Fish  Chips"_s);
    EXPECT_EQ(CleanCaption(u"Tab\there\x1f"_s), u"Tab_here_"_s);
    EXPECT_EQ(CleanCaption(u" caf\u00e9 ~\u007f"_s), u" caf\u00e9 ~\u007f"_s);

    TzkActionList *list = addList();
    const QString fifty = u"12345678901234567890123456789012345678901234567890"_s;
    addAction(list, fifty);
    addAction(list, u"&Tab\tbed"_s);
    addAction(list, QString());
    ASSERT_TRUE(build());
    EXPECT_EQ(node(1)->text(), b("1234567890123456789012345678901234"));
    EXPECT_EQ(node(1)->data()->caption(), b("1234567890123456789012345678901234"));
    EXPECT_EQ(node(2)->text(), b("Tab_bed"));
    EXPECT_EQ(node(3)->text(), QByteArray());
}

TEST_F(Build, ACategoryLongerThan40KeepsItsTextAndCutsItsRecord)
{
    TzkActionList *list = addList();
    const QString longName = QString(45, u'c');
    addAction(list, u"Action"_s, longName);
    ASSERT_TRUE(build());
    EXPECT_EQ(node(1)->text(), QByteArray(45, 'c'));
    EXPECT_EQ(node(1)->data()->caption(), QByteArray(40, 'c'));
}

TEST_F(Build, ACaptionTheCodePageCannotHoldStopsTheBuildBeforeAnyChange)
{
    TzkActionList *list = addList(1);
    addAction(list, u"Open"_s);
    ASSERT_TRUE(build());
    const QByteArrayList before = shape(tmpl());
    const int imageCount = images().count();
    addAction(list, u"\u65e5\u672c"_s);
    EXPECT_THROW(build(), rightsmith::toolkit::Error);
    EXPECT_EQ(shape(tmpl()), before);
    EXPECT_EQ(images().count(), imageCount);
}

// --- identifiers ------------------------------------------------------------------

TEST_F(Build, WithoutKeptIdentifiersEveryActionIsNumberedLastListFirst)
{
    TzkActionList *first = addList();
    TzkAction *a1 = addAction(first, u"a1"_s, QString(), 50);
    TzkAction *a2 = addAction(first, u"a2"_s, QString(), 7);
    TzkActionList *second = addList();
    TzkAction *b1 = addAction(second, u"b1"_s, QString(), 3);
    TzkAction *b2 = addAction(second, u"b2"_s);
    TzkAction *b3 = addAction(second, u"b3"_s, QString(), 3);
    ASSERT_TRUE(build());
    EXPECT_EQ(shape(tmpl()),
              (QByteArrayList {b("User"), b("\tb1"), b("\tb2"), b("\tb3"), b("\ta1"), b("\ta2")}));
    EXPECT_EQ(b1->SecurityId(), 1);
    EXPECT_EQ(b2->SecurityId(), 2);
    EXPECT_EQ(b3->SecurityId(), 3);
    EXPECT_EQ(a1->SecurityId(), 4);
    EXPECT_EQ(a2->SecurityId(), 5);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(node(i)->data()->SecurityId, i);

    // A second build starts counting afresh.
    ASSERT_TRUE(build());
    EXPECT_EQ(a2->SecurityId(), 5);
    EXPECT_EQ(tmpl().count(), 6);
}

TEST_F(Build, KeptIdentifiersStayAndZeroGetsTheNextFreeOne)
{
    security.SetOptions(security.Options().with(soForceIDFromClients));
    TzkActionList *list = addList();
    TzkAction *one = addAction(list, u"one"_s, QString(), 1);
    TzkAction *zero = addAction(list, u"zero"_s, QString(), 0);
    TzkAction *two = addAction(list, u"two"_s, QString(), 2);
    TzkAction *zeroAgain = addAction(list, u"zero again"_s, QString(), 0);
    TzkAction *five = addAction(list, u"five"_s, QString(), 5);
    ASSERT_TRUE(build());
    EXPECT_EQ(one->SecurityId(), 1);
    EXPECT_EQ(zero->SecurityId(), 3);
    EXPECT_EQ(two->SecurityId(), 2);
    EXPECT_EQ(zeroAgain->SecurityId(), 4);
    EXPECT_EQ(five->SecurityId(), 5);
    EXPECT_EQ(node(2)->data()->SecurityId, 3);
    EXPECT_EQ(node(4)->data()->SecurityId, 4);
}

TEST_F(Build, DuplicateKeptIdentifiersStopTheBuildAndLeaveTheOldTemplate)
{
    TzkActionList *list = addList(2);
    addAction(list, u"Old"_s, u"Cat"_s, 0, 1);
    ASSERT_TRUE(build());
    const QByteArrayList before = shape(tmpl());
    const QImage firstImage = images().image(5);
    ASSERT_EQ(images().count(), 7);

    security.SetOptions(security.Options().with(soForceIDFromClients));
    TzkActionList *other = addList(3, Qt::blue);
    addAction(other, u"Seven"_s, QString(), 7);
    addAction(list, u"Seven again"_s, QString(), 7);
    try {
        build();
        ADD_FAILURE() << "no exception";
    } catch (const rightsmith::toolkit::Error &error) {
        EXPECT_EQ(error.message(),
                  u"Duplicate Security ID Found. Cannot Continue. Please correct."_s);
    }
    EXPECT_EQ(shape(tmpl()), before);
    EXPECT_EQ(images().count(), 7);
    EXPECT_EQ(images().image(5), firstImage);

    // Negative identifiers count as identifiers; zero any number of times does not.
    for (TzkAction *action :
         {qobject_cast<TzkAction *>(other->action(0)), qobject_cast<TzkAction *>(list->action(1))})
        action->setSecurityId(-3);
    EXPECT_THROW(build(), rightsmith::toolkit::Error);
    for (TzkAction *action :
         {qobject_cast<TzkAction *>(other->action(0)), qobject_cast<TzkAction *>(list->action(1))})
        action->setSecurityId(0);
    EXPECT_TRUE(build());
}

// --- images -----------------------------------------------------------------------------

TEST_F(Build, NodeImagesComeFirstAndClientImagesFollowWithTheirOffsets)
{
    // Processed last: a list with two images, appended with the window colour transparent.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    TzkActionList *third = addList(2, window);
    TzkAction *thirdAction = addAction(third, u"third"_s, QString(), 0, 1);
    // Processed second: a list with three images (copied as they are).
    TzkActionList *second = addList(3, Qt::red);
    TzkAction *withImage = addAction(second, u"with image"_s, QString(), 0, 1);
    TzkAction *noImage = addAction(second, u"no image"_s, QString(), 0, -1);
    // Processed first: a list without images, whose actions get none.
    TzkActionList *first = addList();
    TzkAction *firstAction = addAction(first, u"first"_s, QString(), 0, 2);
    ASSERT_TRUE(build());

    ASSERT_EQ(images().count(), 5 + 3 + 2);
    EXPECT_FALSE(images().masked());
    rightsmith::toolkit::ImageList nodeImages;
    for (const char *name : NodeImageNames) {
        ASSERT_FALSE(NodeImage(name).isNull()) << name;
        nodeImages.add(NodeImage(name));
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(images().image(i), nodeImages.image(i)) << i;
    EXPECT_EQ(images().image(5).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(images().image(8).pixelColor(3, 3).alpha(), 0);

    const auto imageOf = [this](TzkAction *action) {
        for (int i = 0; i < tmpl().count(); ++i) {
            TreeNode *n = tmpl().nodeAt(i);
            if (n->data() && n->data()->SecurityId == action->SecurityId() && n->level() > 0) {
                EXPECT_EQ(n->selectedIndex(), n->imageIndex());
                EXPECT_EQ(n->data()->ImageIndex, n->imageIndex());
                return n->imageIndex();
            }
        }
        return -100;
    };
    EXPECT_EQ(imageOf(firstAction), -1);
    EXPECT_EQ(imageOf(withImage), 6);
    EXPECT_EQ(imageOf(noImage), -1);
    EXPECT_EQ(imageOf(thirdAction), 9);
    EXPECT_EQ(node(0)->imageIndex(), 0);
}

TEST_F(Build, TheFirstListsImagesAreCopiedAsTheyAreAndALaterListMayShareTheTarget)
{
    // Processed second: a list whose image list is the very list being filled;
    // its images (all of them as they stood) are appended once more.
    TzkActionList *later = addList();
    later->setImages(&images());
    TzkAction *laterAction = addAction(later, u"later"_s, QString(), 0, 0);
    // Processed first: its two images, in the window colour, are copied without
    // any transparency and follow the five node images.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    TzkActionList *first = addList(2, window);
    TzkAction *firstAction = addAction(first, u"first"_s, QString(), 0, 1);
    ASSERT_TRUE(build());

    ASSERT_EQ(images().count(), 5 + 2 + 7);
    EXPECT_EQ(images().image(5).pixelColor(3, 3).alpha(), 255);
    EXPECT_EQ(images().image(6).pixelColor(3, 3).alpha(), 255);
    // The appended copies are masked with the window colour.
    EXPECT_EQ(images().image(12).pixelColor(3, 3).alpha(), 0);
    EXPECT_EQ(images().image(7), images().image(0).convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(node(1)->data()->SecurityId, firstAction->SecurityId());
    EXPECT_EQ(node(1)->imageIndex(), 6);
    EXPECT_EQ(node(2)->data()->SecurityId, laterAction->SecurityId());
    EXPECT_EQ(node(2)->imageIndex(), 7);
}

TEST_F(Build, WithoutClientsOnlyTheRootRemains)
{
    TreeNode *stale = tmpl().addChild(nullptr, b("Stale"));
    Q_UNUSED(stale);
    images().add(filled(Qt::green));
    ASSERT_TRUE(build());
    EXPECT_EQ(shape(tmpl()), QByteArrayList {b("User")});
    EXPECT_EQ(images().count(), 0);
}

// --- tokens -------------------------------------------------------------------------------

TEST(ExtractToken, SplitsTrimsAndHandlesLongTexts)
{
    EXPECT_EQ(ExtractToken(u"Security/Services/Checks"_s, 1, u'/'), u"Security"_s);
    EXPECT_EQ(ExtractToken(u"Security/Services/Checks"_s, 2, u'/'), u"Services"_s);
    EXPECT_EQ(ExtractToken(u"Security/Services/Checks"_s, 3, u'/'), u"Checks"_s);
    EXPECT_EQ(ExtractToken(u"Security/Services/Checks"_s, 4, u'/'), QString());
    EXPECT_EQ(ExtractToken(u"Security/Services/Checks"_s, 0, u'/'), QString());
    EXPECT_EQ(ExtractToken(u"Security/Services/Checks"_s, -1, u'/'), QString());
    EXPECT_EQ(ExtractToken(u" \x01Memo1 \n\tEdit1"_s, 1, u'\t'), u"Memo1"_s);
    EXPECT_EQ(ExtractToken(u"Memo1\t\tEdit1"_s, 2, u'\t'), QString());
    EXPECT_EQ(ExtractToken(u"Memo1\t\tEdit1"_s, 3, u'\t'), u"Edit1"_s);
    EXPECT_EQ(ExtractToken(u"alone"_s, 1, u'/'), u"alone"_s);
    EXPECT_EQ(ExtractToken(QString(), 1, u'/'), QString());

    // Delimiters far beyond the 256th character split where they stand.
    const QString first(300, u'a');
    const QString second(260, u'b');
    const QString text = first + u'/' + second + u'/' + u"  third  "_s;
    EXPECT_EQ(ExtractToken(text, 1, u'/'), first);
    EXPECT_EQ(ExtractToken(text, 2, u'/'), second);
    EXPECT_EQ(ExtractToken(text, 3, u'/'), u"third"_s);
    EXPECT_EQ(ExtractToken(text, 4, u'/'), QString());
    const QString at256 = QString(255, u'x') + u'/' + u"y"_s;
    EXPECT_EQ(ExtractToken(at256, 1, u'/'), QString(255, u'x'));
    EXPECT_EQ(ExtractToken(at256, 2, u'/'), u"y"_s);
}
