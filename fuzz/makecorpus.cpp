// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Writes the seed corpora of the fuzz targets into DIR/<target>/ from streams
// and stores the library makes itself: templates saved by the template tree,
// image streams written by WriteImageStream (and bitmap files written by Qt),
// and user stores written by SaveUsers in both modes, each also in a damaged
// variant or two. The output is the same on every run.
#include "fuzz/storeinput.h"
#include "security/component/tzksecurity.h"
#include "security/model/imagestream.h"
#include "security/model/nodeimages_p.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace zkSecurity;

namespace {

QDir g_out;

void writeSeed(const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir dir(g_out.filePath(target));
    if (!dir.mkpath(u"."_s))
        throw std::runtime_error("cannot create a corpus directory");
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a seed");
    std::printf("%s/%s: %lld bytes\n", qPrintable(target), qPrintable(name),
                static_cast<long long>(bytes.size()));
}

QByteArray int32LE(qint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((quint32(value) >> (8 * i)) & 0xFF);
    return bytes;
}

// --- templates ------------------------------------------------------------

zkSecurity::TreeNode *addNode(TzkSecurityTemplate &tree, zkSecurity::TreeNode *parent,
                              const char *text, qint32 id, int image = -1)
{
    zkSecurity::TreeNode *node = tree.addChild(parent, QByteArray(text));
    auto record = std::make_unique<TzkNodeRecord>();
    record->SecurityId = id;
    if (parent)
        record->setCaption(QByteArray(text));
    node->setData(std::move(record));
    node->setImages(image);
    return node;
}

// A security template of a few nodes: two categories and three rights.
void buildSmall(TzkSecurityTemplate &tree)
{
    zkSecurity::TreeNode *root = addNode(tree, nullptr, "User", 0, 0);
    zkSecurity::TreeNode *file = addNode(tree, root, "File", 0, 2);
    addNode(tree, file, "New", 1, 11);
    addNode(tree, file, "Open", 2);
    addNode(tree, root, "Manage users", 3);
}

// A user template of two users over \a rights: Supervisor with every right
// and an empty password, Alice with none and the password "alice pw".
void addTwoUsers(TzkSecurityTemplate &users, TzkSecurityTemplate &rights)
{
    users.AddUserToUserTemplate(&rights, "Supervisor", zkCript::TCripter::Scramble({}), true);
    users.AddUserToUserTemplate(&rights, "Alice", zkCript::TCripter::Scramble("alice pw"), false);
}

QByteArray save(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

void writeTemplates()
{
    const QString target = u"templatestream"_s;

    TzkSecurityTemplate demo;
    demotemplate::build(demo);
    const QByteArray demoBytes = save(demo);
    writeSeed(target, u"demo"_s, demoBytes);

    TzkSecurityTemplate small;
    buildSmall(small);
    const QByteArray smallBytes = save(small);
    writeSeed(target, u"small"_s, smallBytes);

    TzkSecurityTemplate users;
    addTwoUsers(users, small);
    writeSeed(target, u"two-users"_s, save(users));

    TzkSecurityTemplate demoUsers;
    addTwoUsers(demoUsers, demo);
    writeSeed(target, u"two-users-demo-rights"_s, save(demoUsers));

    TzkSecurityTemplate empty;
    writeSeed(target, u"empty"_s, save(empty));

    // Levels going down one at a time and back up several at once.
    TzkSecurityTemplate stairs;
    zkSecurity::TreeNode *a = addNode(stairs, nullptr, "A", 0);
    zkSecurity::TreeNode *b = addNode(stairs, a, "B", 0);
    zkSecurity::TreeNode *c = addNode(stairs, b, "C", 0);
    addNode(stairs, c, "D", 7);
    addNode(stairs, b, "E", 8);
    addNode(stairs, nullptr, "F", 0);
    writeSeed(target, u"stairs"_s, save(stairs));

    // The small template as an older writer might leave it: records in
    // reverse order, texts with blanks and control bytes around them.
    const int n = small.count();
    QByteArray untidy = smallBytes.left(20);
    for (int i = n - 1; i >= 0; --i)
        untidy += smallBytes.mid(20 + TzkNodeRecord::Size * i, TzkNodeRecord::Size);
    QByteArray text = smallBytes.mid(20 + TzkNodeRecord::Size * n);
    text.replace(QByteArray("User\r\n"), QByteArray("User \x01\r\n"));
    text.replace(QByteArray("\t\tOpen\r\n"), QByteArray("\t\t\x1fOpen  \r\n"));
    untidy += text;
    writeSeed(target, u"untidy"_s, untidy);

    // Records for the first two nodes only: the others load without one.
    QByteArray partial = smallBytes.left(16) + int32LE(2)
        + smallBytes.mid(20, 2 * TzkNodeRecord::Size)
        + smallBytes.mid(20 + TzkNodeRecord::Size * n);
    writeSeed(target, u"partial-records"_s, partial);

    QByteArray version2 = smallBytes;
    version2[0] = 2;
    writeSeed(target, u"version-mismatch"_s, version2);
    writeSeed(target, u"bad-level"_s,
              smallBytes.left(16) + int32LE(0) + QByteArray("User\r\n\t\tDeep\r\n"));
    writeSeed(target, u"truncated"_s, smallBytes.left(20 + TzkNodeRecord::Size + 50));
}

// --- image streams --------------------------------------------------------

QImage distinct(int n)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv((n * 100) % 360, 200, 200));
    image.setPixel(n % 16, n / 16, qRgba(0, 0, 0, 128));
    image.setPixel(15, 15, 0); // a transparent corner
    return image;
}

QByteArray imageStream(const rightsmith::toolkit::ImageList &images)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    WriteImageStream(buffer, images);
    return buffer.data();
}

qint32 int32At(const QByteArray &bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(uchar(bytes.at(at + i))) << (8 * i);
    return qint32(value);
}

// An uncompressed bitmap file as Qt writes it. Qt leaves the padding at the
// end of each row as it finds it in memory; it is zeroed here, so that the
// seed is the same on every run.
QByteArray qtBitmap(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    if (!image.save(&buffer, "BMP"))
        throw std::runtime_error("Qt cannot write a bitmap");
    QByteArray file = buffer.data();
    const qint32 pixels = int32At(file, 10);
    const qint32 width = int32At(file, 18);
    const qint32 height = qAbs(int32At(file, 22));
    const int bits = uchar(file.at(28)) | uchar(file.at(29)) << 8;
    const qint32 used = (width * bits + 7) / 8;
    const qint32 stride = (width * bits + 31) / 32 * 4;
    for (qint32 row = 0; row < height; ++row) {
        for (qint32 i = used; i < stride; ++i)
            file[pixels + row * stride + i] = 0;
    }
    return file;
}

void writeImageStreams()
{
    const QString target = u"imagestream"_s;

    rightsmith::toolkit::ImageList three;
    for (int i = 0; i < 3; ++i)
        three.add(distinct(i));
    const QByteArray threeBytes = imageStream(three);
    writeSeed(target, u"three"_s, threeBytes);

    rightsmith::toolkit::ImageList nodes;
    for (const char *name : NodeImageNames)
        nodes.add(NodeImage(name));
    writeSeed(target, u"node-images"_s, imageStream(nodes));

    writeSeed(target, u"empty"_s, imageStream(rightsmith::toolkit::ImageList()));

    // Stored rows top-down: a negative height in the first file's header.
    QByteArray topDown = threeBytes;
    topDown.replace(4 + 22, 4, int32LE(-16));
    writeSeed(target, u"top-down"_s, topDown);

    // Three files promised, one and a half present.
    writeSeed(target, u"truncated"_s, threeBytes.left(4 + 1078 + 500));

    // Bitmap files as other programs write them, through Qt's own writer:
    // 1, 8 and 24 bits per pixel, and sizes other than 16x16.
    const QImage colours = distinct(5).convertToFormat(QImage::Format_RGB32);
    QByteArray others = int32LE(4);
    others += qtBitmap(colours.convertToFormat(QImage::Format_Mono));
    others += qtBitmap(colours.convertToFormat(QImage::Format_Indexed8));
    others += qtBitmap(colours.convertToFormat(QImage::Format_RGB888));
    others += qtBitmap(distinct(7).scaled(24, 10).convertToFormat(QImage::Format_RGB32));
    writeSeed(target, u"qt-bitmaps"_s, others);
}

// --- user stores ----------------------------------------------------------

const QString StoreKey = u"\\Software\\RightsmithFuzz\\SecurityObject\\UserTemplate"_s;

// Saves users with a real component and reads back what landed in the store.
fuzzstore::StoreInput savedStore(bool inFile, bool storePassword,
                                 const std::function<void(TzkSecurity &)> &fill)
{
    {
        rightsmith::toolkit::Registry registry;
        registry.deleteKey(StoreKey);
    }
    QFile::remove(u"UserTemplate"_s);

    TzkSecurity security;
    TzkSecurityOptionSet options = TzkSecurityOptionSet::defaults();
    options = inFile ? options.with(soSaveUsersInFile) : options.without(soSaveUsersInFile);
    options = storePassword ? options.with(soStorePassword) : options.without(soStorePassword);
    security.SetOptions(options);
    security.setUserTemplateRegistryKeyName(StoreKey);
    security.setUserTemplateFileName(u"UserTemplate"_s);
    fill(security);
    if (!security.SaveUsers(zkCript::TCripter::Scramble("alice pw")))
        throw std::runtime_error("SaveUsers failed");

    fuzzstore::StoreInput store;
    store.inFile = inFile;
    store.storePassword = storePassword;
    rightsmith::toolkit::Registry registry;
    if (!registry.openKey(StoreKey, false))
        throw std::runtime_error("SaveUsers left no key");
    for (const QString &name : registry.valueNames()) {
        fuzzstore::StoreValue value;
        value.name = name;
        switch (registry.valueType(name)) {
        case rightsmith::toolkit::Registry::Binary:
            value.kind = fuzzstore::ValueKind::Binary;
            value.bytes = registry.readBinary(name).value_or(QByteArray());
            break;
        case rightsmith::toolkit::Registry::Integer:
            value.kind = fuzzstore::ValueKind::Integer;
            value.integer = registry.readInteger(name).value_or(0);
            break;
        case rightsmith::toolkit::Registry::String:
            value.kind = fuzzstore::ValueKind::String;
            value.bytes = registry.readString(name).value_or(QByteArray());
            break;
        default:
            throw std::runtime_error("SaveUsers wrote a value of no known type");
        }
        store.values.append(value);
    }
    if (inFile) {
        QFile file(u"UserTemplate"_s);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("SaveUsers wrote no file");
        store.file = file.readAll();
    }
    return store;
}

fuzzstore::StoreValue *valueNamed(fuzzstore::StoreInput &store, const QString &name)
{
    for (fuzzstore::StoreValue &value : store.values) {
        if (value.name == name)
            return &value;
    }
    throw std::runtime_error("the store lacks a value");
}

void writeStores()
{
    const QString target = u"loadusers"_s;
    TzkSecurityTemplate small;
    buildSmall(small);
    TzkSecurityTemplate demo;
    demotemplate::build(demo);

    auto twoUsers = [&small](TzkSecurity &security) {
        addTwoUsers(*security.UserTemplate(), small);
        security.LastUsers() = {"Alice", "Supervisor"};
    };
    auto demoUsers = [&demo](TzkSecurity &security) {
        addTwoUsers(*security.UserTemplate(), demo);
        security.LastUsers() = {"Supervisor"};
    };

    const fuzzstore::StoreInput registryStore = savedStore(false, true, twoUsers);
    writeSeed(target, u"registry-two-users-password"_s, fuzzstore::encode(registryStore));
    writeSeed(target, u"registry-two-users"_s,
              fuzzstore::encode(savedStore(false, false, twoUsers)));
    writeSeed(target, u"registry-no-users"_s,
              fuzzstore::encode(savedStore(false, false, [](TzkSecurity &) {})));
    writeSeed(target, u"registry-demo-rights"_s,
              fuzzstore::encode(savedStore(false, true, demoUsers)));

    const fuzzstore::StoreInput fileStore = savedStore(true, true, twoUsers);
    writeSeed(target, u"file-two-users-password"_s, fuzzstore::encode(fileStore));
    writeSeed(target, u"file-two-users"_s, fuzzstore::encode(savedStore(true, false, twoUsers)));
    writeSeed(target, u"file-demo-rights"_s, fuzzstore::encode(savedStore(true, false, demoUsers)));

    // Damaged and unusual variants of the stores above.
    fuzzstore::StoreInput padded = registryStore;
    valueNamed(padded, u"UserTemplateSize"_s)->integer += 100;
    writeSeed(target, u"registry-size-beyond-value"_s, fuzzstore::encode(padded));

    fuzzstore::StoreInput asString = registryStore;
    valueNamed(asString, u"UserTemplate"_s)->kind = fuzzstore::ValueKind::String;
    writeSeed(target, u"registry-template-as-string"_s, fuzzstore::encode(asString));

    fuzzstore::StoreInput lastUsersInteger = registryStore;
    fuzzstore::StoreValue *lastUsers = valueNamed(lastUsersInteger, u"LastUsers"_s);
    lastUsers->kind = fuzzstore::ValueKind::Integer;
    lastUsers->integer = 7;
    writeSeed(target, u"registry-last-users-integer"_s, fuzzstore::encode(lastUsersInteger));

    // What a SaveUsers after an unreadable template leaves: the old value
    // kept aside under a name of its own.
    fuzzstore::StoreInput keptAside = registryStore;
    fuzzstore::StoreValue aside = *valueNamed(keptAside, u"UserTemplate"_s);
    aside.name = u"UserTemplate.unreadable-20240101T120000"_s;
    aside.bytes[0] = 2;
    keptAside.values.append(aside);
    writeSeed(target, u"registry-kept-aside"_s, fuzzstore::encode(keptAside));

    fuzzstore::StoreInput shortFile = fileStore;
    shortFile.file.chop(1);
    writeSeed(target, u"file-shorter-than-size"_s, fuzzstore::encode(shortFile));

    fuzzstore::StoreInput negative = fileStore;
    valueNamed(negative, u"UserTemplateSize"_s)->integer = -1;
    writeSeed(target, u"file-negative-size"_s, fuzzstore::encode(negative));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: fuzz_makecorpus DIR\n", stderr);
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1]));

    // The stores are made in a home of their own, never in the real one.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(u"config"_s)));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(home.path());
    g_out = QDir(QDir(previous).absoluteFilePath(g_out.path()));
    rightsmith::toolkit::setMessageHook([](rightsmith::toolkit::MessageKind, const QString &text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return false;
    });

    try {
        writeTemplates();
        writeImageStreams();
        writeStores();
    } catch (const rightsmith::toolkit::Error &error) {
        std::fprintf(stderr, "fuzz_makecorpus: %s\n", qPrintable(error.message()));
        return 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "fuzz_makecorpus: %s\n", error.what());
        return 1;
    }
    QDir::setCurrent(previous);
    return 0;
}
