// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// rightsmith-template: looks into and rewrites template streams (the stored
// security template and user template), scrambles and unscrambles passwords,
// and extracts the images of an image stream as PNG files.
//
// Exit status: 0 success; 1 an error (message on stderr); 2 a usage error.
#include "security/model/imagestream.h"
#include "security/model/tcripter.h"
#include "security/model/tzksecuritytemplate.h"
#include "templatedump.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <rightsmith/version.h>

using namespace Qt::StringLiterals;

namespace {

enum ExitCode { ExitOk = 0, ExitError = 1, ExitUsage = 2 };

const char Usage[] = "usage: rightsmith-template dump [--json] FILE\n"
                     "       rightsmith-template resave IN OUT\n"
                     "       rightsmith-template scramble   < IN > OUT\n"
                     "       rightsmith-template unscramble < IN > OUT\n"
                     "       rightsmith-template images FILE DIR\n"
                     "       rightsmith-template --help | --version\n";

const char Help[] = "Looks into and rewrites Rightsmith template streams, scrambles passwords\n"
                    "and extracts the images of an image stream. Commands:\n"
                    "  dump [--json] FILE  prints the nodes of the template stream FILE\n"
                    "  resave IN OUT       reads the template stream IN and writes it to OUT\n"
                    "  scramble            scrambles standard input to standard output\n"
                    "  unscramble          unscrambles standard input to standard output\n"
                    "  images FILE DIR     writes each image of the image stream FILE to\n"
                    "                      DIR as N.png\n"
                    "Options:\n"
                    "  -h, --help          prints this help\n"
                    "  -v, --version       prints the version\n";

// A failure that ends the tool with \a code after printing \a message.
struct Failure
{
    int code;
    QString message;
};

[[noreturn]] void usage()
{
    throw Failure {ExitUsage, {}};
}

void writeStdout(const QByteArray &bytes)
{
    if (!bytes.isEmpty()
        && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        throw Failure {ExitError, u"cannot write to standard output"_s};
    if (std::fflush(stdout) != 0)
        throw Failure {ExitError, u"cannot write to standard output"_s};
}

QByteArray readStdin()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        throw Failure {ExitError, u"cannot read standard input"_s};
    return in.readAll();
}

void openForReading(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw Failure {ExitError, u"cannot open %1: %2"_s.arg(file.fileName(), file.errorString())};
}

void loadTemplate(const QString &path, zkSecurity::TzkSecurityTemplate &tree)
{
    QFile file(path);
    openForReading(file);
    tree.LoadFromStreamSecurity(file);
}

int dump(const QStringList &args)
{
    bool json = false;
    QStringList files;
    for (const QString &arg : args) {
        if (arg == u"--json"_s)
            json = true;
        else if (arg.startsWith(u'-') && arg.size() > 1)
            usage();
        else
            files << arg;
    }
    if (files.size() != 1)
        usage();
    zkSecurity::TzkSecurityTemplate tree;
    loadTemplate(files.first(), tree);
    writeStdout(json ? rightsmithtemplate::dumpJson(tree)
                     : rightsmithtemplate::dumpText(tree).toUtf8());
    return ExitOk;
}

int resave(const QStringList &args)
{
    if (args.size() != 2)
        usage();
    zkSecurity::TzkSecurityTemplate tree;
    loadTemplate(args.at(0), tree);

    const bool existed = QFileInfo::exists(args.at(1));
    QSaveFile out(args.at(1));
    if (!out.open(QIODevice::WriteOnly))
        throw Failure {ExitError, u"cannot write %1: %2"_s.arg(args.at(1), out.errorString())};
    // A user template holds scrambled passwords: a new file is for its owner only.
    if (!existed)
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    tree.SaveToStreamSecurity(out);
    if (!out.commit())
        throw Failure {ExitError, u"cannot write %1: %2"_s.arg(args.at(1), out.errorString())};
    return ExitOk;
}

int scramble(const QStringList &args, bool forward)
{
    if (!args.isEmpty())
        usage();
    const QByteArray in = readStdin();
    writeStdout(forward ? zkCript::TCripter::Scramble(in) : zkCript::TCripter::Unscramble(in));
    return ExitOk;
}

int images(const QStringList &args)
{
    if (args.size() != 2)
        usage();
    QFile file(args.at(0));
    openForReading(file);
    rightsmith::toolkit::ImageList list;
    zkSecurity::ReadImageStream(file, list);

    QDir dir(args.at(1));
    if (!dir.mkpath(u"."_s))
        throw Failure {ExitError, u"cannot create the directory %1"_s.arg(args.at(1))};
    for (int i = 0; i < list.count(); ++i) {
        const QString path = dir.filePath(u"%1.png"_s.arg(i));
        if (!list.image(i).save(path, "PNG"))
            throw Failure {ExitError, u"cannot write %1"_s.arg(path)};
    }
    return ExitOk;
}

int run(const QStringList &arguments)
{
    if (arguments.size() < 2)
        usage();
    const QString command = arguments.at(1);
    const QStringList args = arguments.mid(2);
    if (args.isEmpty() && (command == u"--help"_s || command == u"-h"_s)) {
        writeStdout(QByteArray(Usage) + '\n' + Help);
        return ExitOk;
    }
    if (args.isEmpty() && (command == u"--version"_s || command == u"-v"_s)) {
        writeStdout("rightsmith-template " RIGHTSMITH_VERSION_STRING "\n");
        return ExitOk;
    }
    if (command == u"dump"_s)
        return dump(args);
    if (command == u"resave"_s)
        return resave(args);
    if (command == u"scramble"_s)
        return scramble(args, true);
    if (command == u"unscramble"_s)
        return scramble(args, false);
    if (command == u"images"_s)
        return images(args);
    usage();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"rightsmith-template"_s);
    try {
        return run(QCoreApplication::arguments());
    } catch (const Failure &failure) {
        if (failure.code == ExitUsage)
            std::fputs(Usage, stderr);
        else
            std::fprintf(stderr, "rightsmith-template: %s\n", failure.message.toUtf8().constData());
        return failure.code;
    } catch (const rightsmith::toolkit::Error &error) {
        std::fprintf(stderr, "rightsmith-template: %s\n", error.message().toUtf8().constData());
        return ExitError;
    }
}
