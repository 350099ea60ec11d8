// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The stored security template and image list compiled into the demo,
// checked byte for byte against the template the demo documents.
#include "demo/demoactions.h"
#include "demo/demoapp.h"
#include "security/model/imagestream.h"
#include "security/model/nodeimages_p.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "support/testsupport.h"
#include "toolkit/bitmapfile_p.h"
#include "toolkit/imagelist.h"

#include <QBuffer>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

// The demo's security template in tree order, as the demo documents it.
const auto &Expected = demotemplate::Rows;
using ExpectedNode = demotemplate::Row;
constexpr int NodeCount = int(std::size(Expected));

qint32 int32At(const QByteArray &bytes, qsizetype offset)
{
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

bool sameImage(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

bool hasVisiblePixels(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

class tst_DemoBlobs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void templateBytes();
    void templateReadsBackAsTheTable();
    void imageBytes();
    void imagesAreTheNodeImagesThenImageList1();
    void unknownPropertyIsEmpty();
};

void tst_DemoBlobs::templateBytes()
{
    const QByteArray tree = demo::storedSecurityProperty(u"evTree"_s);
    QCOMPARE(tree.size(), 5800);
    QCOMPARE(tree.left(16), QByteArray("\x01\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0", 16));
    QCOMPARE(int32At(tree, 16), NodeCount);

    QByteArray lines;
    for (int i = 0; i < NodeCount; ++i) {
        const ExpectedNode &node = Expected[i];
        const QByteArray record = tree.mid(20 + 180 * i, 180);
        const QByteArray text(node.text);
        // The root's record carries no caption; every other one its node's text.
        const QByteArray caption = i == 0 ? QByteArray() : text;
        QCOMPARE(int32At(record, 0), node.securityId);
        QCOMPARE(int(quint8(record.at(4))), int(caption.size()));
        QCOMPARE(record.mid(5, caption.size()), caption);
        QCOMPARE(int(record.at(45)), 0); // nothing is granted in the security template
        QCOMPARE(int32At(record, 48), i);
        QCOMPARE(int32At(record, 52), node.image);
        lines += QByteArray(node.level, '\t') + text + "\r\n";
    }
    QCOMPARE(lines.size(), 380);
    QCOMPARE(tree.mid(20 + 180 * NodeCount), lines);
}

void tst_DemoBlobs::templateReadsBackAsTheTable()
{
    QByteArray tree = demo::storedSecurityProperty(u"evTree"_s);
    QBuffer buffer(&tree);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    zkSecurity::TzkSecurityTemplate tmpl;
    tmpl.LoadFromStreamSecurity(buffer);
    QCOMPARE(tmpl.count(), NodeCount);
    QCOMPARE(tmpl.topLevelCount(), 1);
    for (int i = 0; i < NodeCount; ++i) {
        const zkSecurity::TreeNode *node = tmpl.nodeAt(i);
        QVERIFY(node->data());
        QCOMPARE(node->level(), Expected[i].level);
        QCOMPARE(node->text(), QByteArray(Expected[i].text));
        QCOMPARE(node->data()->SecurityId, Expected[i].securityId);
        QCOMPARE(node->imageIndex(), Expected[i].image);
    }
    // Every identifier of an action of the demo, and 30, appears exactly once.
    QList<qint32> ids;
    for (const demo::ActionDefinition &action : demo::MainFormActions)
        ids << action.securityId;
    for (const demo::ActionDefinition &action : demo::ChildFormActions)
        ids << action.securityId;
    ids << demo::ManualCheckId;
    for (qint32 id : std::as_const(ids)) {
        int found = 0;
        for (const ExpectedNode &node : Expected)
            found += node.securityId == id ? 1 : 0;
        QVERIFY2(found == 1, qPrintable(QString::number(id)));
    }
    QCOMPARE(tmpl.GenerateSecurityId(), 37);
}

void tst_DemoBlobs::imageBytes()
{
    const QByteArray images = demo::storedSecurityProperty(u"evImage"_s);
    QCOMPARE(images.size(), 25876);
    QCOMPARE(int32At(images, 0), 24);
    for (int i = 0; i < 24; ++i) {
        const qsizetype offset = 4 + 1078 * qsizetype(i);
        QCOMPARE(images.mid(offset, 2), QByteArray("BM"));
        QCOMPARE(int32At(images, offset + 2), 1078);
        // A 16x16 bitmap of 32 bits per pixel.
        QCOMPARE(int32At(images, offset + 18), 16);
        QCOMPARE(int32At(images, offset + 22), 16);
        QCOMPARE(qFromLittleEndian<quint16>(images.constData() + offset + 28), quint16(32));
    }
}

void tst_DemoBlobs::imagesAreTheNodeImagesThenImageList1()
{
    QByteArray bytes = demo::storedSecurityProperty(u"evImage"_s);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    rightsmith::toolkit::ImageList stored;
    zkSecurity::ReadImageStream(buffer, stored);
    QCOMPARE(stored.count(), 24);

    for (int i = 0; i < 5; ++i) {
        const QImage nodeImage = zkSecurity::NodeImage(zkSecurity::NodeImageNames[i]);
        QVERIFY(!nodeImage.isNull());
        QVERIFY2(sameImage(stored.image(i), nodeImage), zkSecurity::NodeImageNames[i]);
    }
    rightsmith::toolkit::ImageList imageList1;
    demo::loadImageList1(imageList1);
    QCOMPARE(imageList1.count(), demo::ImageList1Count);
    for (int i = 0; i < imageList1.count(); ++i) {
        // A picture that did not load would be fully transparent.
        QVERIFY2(hasVisiblePixels(imageList1.image(i)), qPrintable(QString::number(i)));
        QVERIFY2(sameImage(stored.image(5 + i), imageList1.image(i)),
                 qPrintable(QString::number(i)));
    }
}

void tst_DemoBlobs::unknownPropertyIsEmpty()
{
    QVERIFY(demo::storedSecurityProperty(u"evOther"_s).isEmpty());
    QVERIFY(demo::storedSecurityProperty(u"../evTree"_s).isEmpty());
}

RIGHTSMITH_TEST_MAIN(tst_DemoBlobs)
#include "tst_demo_blobs.moc"
