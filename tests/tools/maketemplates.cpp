// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Writes the streams the rightsmith-template tests read: the demo's security
// template, a few damaged or unusual templates and a small image stream.
#include "security/model/imagestream.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "toolkit/imagelist.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray save(zkSecurity::TzkSecurityTemplate &tree)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    tree.SaveToStreamSecurity(buffer);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: maketemplates DIR\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;

    zkSecurity::TzkSecurityTemplate demo;
    demotemplate::build(demo);
    const QByteArray demoBytes = save(demo);

    // The demo template as an older writer might have left it: records in
    // reverse order and texts with blanks and control bytes around them.
    // Resaving it must give demo.tpl byte for byte.
    QByteArray untidy = demoBytes.left(20);
    for (int i = 29; i >= 0; --i)
        untidy += demoBytes.mid(20 + 180 * i, 180);
    QByteArray untidyText = demoBytes.mid(20 + 180 * 30);
    untidyText.insert(4, QByteArray(" \x01")); // the root, "User"
    untidyText.replace(QByteArray("\t\tSave\r\n"), QByteArray("\t\t\x1fSave  \r\n"));
    untidy += untidyText;

    QByteArray version2 = demoBytes;
    version2[0] = 2;

    // Header, no records, and a line two levels below the one before it.
    QByteArray badLevel = demoBytes.left(16) + QByteArray(4, '\0');
    badLevel += "User\r\n\t\tDeep\r\n";

    zkSecurity::TzkSecurityTemplate escapes;
    zkSecurity::TreeNode *node = escapes.addChild(nullptr,
                                                  QByteArray("q\"b\\c\x01"
                                                             "d\x81"
                                                             "e\xe9",
                                                             10));
    node->setData(std::make_unique<zkSecurity::TzkNodeRecord>());
    node->editData()->setCaption(QByteArray("tab\there"));

    rightsmith::toolkit::ImageList images;
    for (int i = 0; i < 3; ++i) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(QColor::fromHsv(i * 100, 200, 200));
        images.add(image);
    }
    QByteArray imageBytes;
    QBuffer imageBuffer(&imageBytes);
    imageBuffer.open(QIODevice::WriteOnly);
    zkSecurity::WriteImageStream(imageBuffer, images);

    const bool ok = writeFile(dir.filePath(QStringLiteral("demo.tpl")), demoBytes)
        && writeFile(dir.filePath(QStringLiteral("untidy.tpl")), untidy)
        && writeFile(dir.filePath(QStringLiteral("version2.tpl")), version2)
        && writeFile(dir.filePath(QStringLiteral("badlevel.tpl")), badLevel)
        && writeFile(dir.filePath(QStringLiteral("truncated.tpl")), demoBytes.left(100))
        && writeFile(dir.filePath(QStringLiteral("escapes.tpl")), save(escapes))
        && writeFile(dir.filePath(QStringLiteral("images.stream")), imageBytes);
    return ok ? 0 : 1;
}
