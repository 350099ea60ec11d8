// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// rightsmith-users: looks into the user store that the security component
// keeps under a key of the per-user registry (and, in file mode, in a file):
// the users, one user's rights, a password check, the recent user names and
// the audit trail; checks that the store loads as the component loads it,
// puts a kept copy of the user template back, sets a password and clears a
// lock, makes the tables of a shared user store on PostgreSQL and copies the
// user template between the local store and a shared one. With --store, the
// shared store's user template, failed logons and audit trail are used. Only
// "restore", "passwd", "unlock", "init-store" and "copy-store" write: every
// other command opens the registry read-only, and only when it already exists.
//
// The commands are the table in commands.cpp; the help and the usage line are
// made from it. Exit status: 0 success; 1 an error (message on stderr), a
// store that does not load ("verify") or, for "check", a password that does
// not match; 2 a usage error, an unknown command or an unknown user.
#include "commands.h"
#include "console.h"
#include "store.h"
#include "toolkit/error.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <rightsmith/version.h>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

// True when the command line is a form of \a command: its argument, --json
// only where it prints JSON, no option of another command, and what the
// command itself asks of its options.
bool isFormOf(const Command &command, const QCommandLineParser &parser)
{
    const qsizetype given = parser.positionalArguments().size();
    const qsizetype wanted = command.argument.isEmpty() ? 1 : 2;
    const bool optional = command.argumentOptional && given == wanted - 1;
    const qsizetype least = command.moreOptional ? wanted : wanted + 1;
    if (!optional && (command.more.isEmpty() ? given != wanted : given < least))
        return false;
    if (parser.isSet(Option::Json) && !command.json)
        return false;
    for (const Command &other : commands()) {
        if (&other == &command)
            continue;
        for (const QString &option : other.options) {
            if (parser.isSet(option) && !command.options.contains(option))
                return false;
        }
    }
    return !command.accepts || command.accepts(parser);
}

// --store names the shared store for the commands that work on a store; the
// ones that name their server themselves refuse it.
void checkStoreOption(const Command &command, const QCommandLineParser &parser)
{
    if (!parser.isSet(Option::Store))
        return;
    if (command.scope == Command::Scope::OwnServer)
        throw Failure {ExitUsage,
                       u"%1 names its server itself; --store does not apply"_s.arg(command.name)};
    if (parser.isSet(Option::File))
        throw Failure {ExitUsage, u"--file and --store exclude each other"_s};
    if (parser.value(Option::Store).isEmpty())
        throw Failure {ExitUsage, u"--store needs a connection string"_s};
}

int run(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(options());
    parser.addPositionalArgument(u"command"_s, commandNames(), commandSyntax());
    if (!parser.parse(app.arguments()))
        throw Failure {ExitUsage, parser.errorText()};
    if (parser.isSet(u"help"_s)) {
        out() << parser.helpText();
        return ExitOk;
    }
    if (parser.isSet(u"version"_s)) {
        out() << QCoreApplication::applicationName() << ' ' << RIGHTSMITH_VERSION_STRING << '\n';
        return ExitOk;
    }

    const QStringList args = parser.positionalArguments();
    const Command *command = findCommand(args.value(0));
    if (!command && !args.isEmpty())
        throw Failure {ExitUsage,
                       u"unknown command: %1; use %2"_s.arg(args.first(), commandNames())};
    if (!command || !isFormOf(*command, parser))
        throw Failure {ExitUsage, usage()};
    checkStoreOption(*command, parser);
    // recent reads the local store's recent users even with --store.
    Store store(parser.value(Option::Key), parser.value(Option::File),
                command->scope == Command::Scope::GivenStore ? parser.value(Option::Store)
                                                             : QString());
    return command->run(Invocation {store, parser, args.value(1), parser.isSet(Option::Json),
                                    command->name, args.mid(2)});
}

} // namespace

} // namespace rightsmithusers

int main(int argc, char **argv)
{
    using namespace rightsmithusers;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"rightsmith-users"_s);
    try {
        const int code = run(app);
        out().flush();
        return code;
    } catch (const Failure &failure) {
        out().flush();
        err() << "rightsmith-users: " << failure.message << '\n';
        return failure.code;
    } catch (const rightsmith::toolkit::Error &error) {
        out().flush();
        err() << "rightsmith-users: " << error.message() << '\n';
        return ExitError;
    }
}
