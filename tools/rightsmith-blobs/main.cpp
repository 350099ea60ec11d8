// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// rightsmith-blobs: writes the stored security template ("evTree") and its
// image list ("evImage") of Rightsmith Demo's security component.
//
// The template is built the way the component builds one from its clients:
// a document window's action list and the frame's action list register with
// a security component, which then builds from them with soForceIDFromClients
// (the identifiers of the table stay). Clients are walked from the last
// registered, so the document window's list, registered last, comes first and
// its two rights stand at the top. The category for the right that the frame
// checks by hand follows.
#include "actions/tzkactionlist.h"
#include "demo/demoactions.h"
#include "security/component/tzksecurity.h"
#include "security/model/imagestream.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void printUsage(QTextStream &err)
{
    err << "Usage: rightsmith-blobs [--list] EVTREE-FILE EVIMAGE-FILE\n"
           "Writes Rightsmith Demo's stored security template and image list.\n"
           "  --list   also print the template, one node a line (level, text, identifier, image)\n";
}

bool writeFile(const QString &path, const QByteArray &bytes, QTextStream &err)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        err << "rightsmith-blobs: cannot write " << path << ": " << file.errorString() << '\n';
        return false;
    }
    return true;
}

struct Blobs
{
    QByteArray tree;
    QByteArray images;
    QStringList listing;
};

Blobs buildBlobs()
{
    zkSecurity::TzkSecurity security(nullptr);
    security.SetOptions(zkSecurity::TzkSecurityOptionSet::fromInt(demo::SecurityOptionsValue));

    rightsmith::toolkit::ImageList imageList1;
    demo::loadImageList1(imageList1);

    QObject mainForm;
    mainForm.setObjectName(u"MainForm"_s);
    zkActnLst::TzkActionList mainList(&mainForm);
    mainList.setImages(&imageList1);
    demo::createActions(&mainList, &mainForm, demo::MainFormActions);

    // The document window's list has no image list of its own here: its
    // actions carry no image, and as the first list of the build its images
    // would come before the frame's. Without them the frame's images follow
    // the five node images directly, so template image = action image + 5.
    QObject childForm;
    childForm.setObjectName(u"MDIChild"_s);
    zkActnLst::TzkActionList childList(&childForm);
    demo::createActions(&childList, &childForm, demo::ChildFormActions);

    mainList.SetSecurityObject(&security);
    childList.SetSecurityObject(&security);

    zkSecurity::TzkSecurityTemplate *tmpl = security.SecurityTemplate();
    if (!security.BuildSecurityTemplateFromClients(tmpl, security.ImageList()))
        throw rightsmith::toolkit::Error(u"Cannot build Security template from clients"_s);
    demo::addManualRights(*tmpl);

    Blobs blobs;
    QBuffer treeBuffer(&blobs.tree);
    treeBuffer.open(QIODevice::ReadWrite);
    tmpl->SaveToStreamSecurity(treeBuffer);
    QBuffer imageBuffer(&blobs.images);
    imageBuffer.open(QIODevice::ReadWrite);
    zkSecurity::WriteImageStream(imageBuffer, *security.ImageList());

    for (int i = 0; i < tmpl->count(); ++i) {
        const zkSecurity::TreeNode *node = tmpl->nodeAt(i);
        const qint32 id = node->data() ? node->data()->SecurityId : 0;
        blobs.listing << u"%1\t%2\t%3\t%4"_s.arg(node->level())
                             .arg(rightsmith::toolkit::Codec::toUnicode(node->text()))
                             .arg(id)
                             .arg(node->imageIndex());
    }

    // Detach before the lists go, in the order the component itself would.
    security.DetachClients();
    return blobs;
}

} // namespace

int main(int argc, char **argv)
{
    // Images need a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = app.arguments().mid(1);
    const bool list = args.removeAll(u"--list"_s) > 0;
    if (args.size() != 2 || args.first().startsWith(u'-')) {
        printUsage(err);
        return 2;
    }

    try {
        const Blobs blobs = buildBlobs();
        if (!writeFile(args.at(0), blobs.tree, err) || !writeFile(args.at(1), blobs.images, err))
            return 1;
        if (list) {
            for (const QString &line : blobs.listing)
                out << line << '\n';
        }
        out << "evTree: " << blobs.tree.size() << " bytes, " << blobs.listing.size()
            << " nodes; evImage: " << blobs.images.size() << " bytes\n";
    } catch (const rightsmith::toolkit::Error &error) {
        err << "rightsmith-blobs: " << error.message() << '\n';
        return 1;
    }
    return 0;
}
