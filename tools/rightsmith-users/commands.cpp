// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "commands.h"

#include "security/store/storenames_p.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

using Scope = Command::Scope;

// Where the help text of a command starts: after a form of up to 12
// characters, or on a line of its own below a longer one.
constexpr qsizetype HelpColumn = 16;
constexpr qsizetype FormIndent = 2;

// "a, b and c"
QString listed(const QStringList &items, const QString &conjunction)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.first(items.size() - 1).join(u", "_s) + u' ' + conjunction + u' ' + items.last();
}

} // namespace

QString Invocation::value(const QString &option) const
{
    return parser.value(option);
}

bool Invocation::isSet(const QString &option) const
{
    return parser.isSet(option);
}

QString Command::nameAndArgument() const
{
    const QString named = argument.isEmpty() ? name : name + u' ' + argument;
    return more.isEmpty() ? named : named + u' ' + more + u"..."_s;
}

QStringList Command::synopsis() const
{
    return forms.isEmpty() ? QStringList {nameAndArgument()} : forms;
}

std::span<const Command> commands()
{
    static const Command table[] = {
        {.name = u"list"_s, .help = u"the users"_s, .run = list, .json = true},
        {.name = u"rights"_s,
         .argument = u"USER"_s,
         .help = u"the rights of USER, marked (Yes) or (No), with their identifiers"_s,
         .run = rights,
         .json = true},
        {.name = u"matrix"_s,
         .usageOptions = u" [--csv|--json]"_s,
         .help = u"every user against every right: a row per user, a column per\n"
                 u"right (its path of captions and identifier), Yes or No (--csv)"_s,
         .run = matrix,
         .json = true,
         .options = {Option::Csv},
         .accepts = matrixAccepts},
        {.name = u"check"_s,
         .argument = u"USER"_s,
         .help = u"reads a password on stdin; exit 0 when it is USER's, 1 when not"_s,
         .run = check},
        {.name = u"recent"_s,
         .help = u"the recent user names, oldest first"_s,
         .run = recent,
         .json = true,
         .scope = Scope::LocalStore},
        {.name = u"verify"_s,
         .help = u"loads the store as the program does and says what is wrong"_s,
         .run = verify},
        {.name = u"backups"_s,
         .help = u"the backups of the user template (the last three good ones that\n"
                 u"saves replaced), newest first: number, time (UTC), size, users"_s,
         .run = backups,
         .json = true},
        {.name = u"restore"_s,
         .argument = u"COPY"_s,
         .argumentOptional = true,
         .forms = {u"restore COPY"_s, u"restore --backup N"_s, u"restore"_s},
         .help = u"puts a kept copy of the user template (a file, or a value of\n"
                 u"the key such as UserTemplate.unreadable-...) back, after\n"
                 u"checking that it loads; --backup N: backup N (see backups),\n"
                 u"the current one becoming a backup in turn. Each first moves a\n"
                 u"damaged registry database aside (kept); without COPY, only\n"
                 u"that, keeping a user template file that loads"_s,
         .run = restore,
         .writes = true,
         .options = {Option::Backup},
         .accepts = restoreAccepts},
        {.name = u"passwd"_s,
         .argument = u"USER"_s,
         .usageOptions = u" [--min-length N]"_s,
         .help = u"sets USER's password from stdin (hashed when the store's\n"
                 u"users are hashed); --min-length N: refused when it is empty,\n"
                 u"shorter than N characters or USER's name"_s,
         .run = passwd,
         .writes = true,
         .options = {Option::MinLength}},
        {.name = u"unlock"_s,
         .argument = u"USER"_s,
         .help = u"forgets the failed logons counted for USER"_s,
         .run = unlock,
         .writes = true},
        {.name = u"grant"_s,
         .argument = u"USER"_s,
         .more = u"RIGHT"_s,
         .help = u"grants USER each RIGHT, named by its identifier or its path of\n"
                 u"captions (File/New), as the user management dialog does"_s,
         .run = grant,
         .writes = true},
        {.name = u"deny"_s,
         .argument = u"USER"_s,
         .more = u"RIGHT"_s,
         .help = u"denies USER each RIGHT, named as grant names it"_s,
         .run = deny,
         .writes = true},
        {.name = u"add"_s,
         .argument = u"USER"_s,
         .usageOptions = u" [--like OTHER] [--min-length N]"_s,
         .help = u"adds USER with the password from stdin and every right granted,\n"
                 u"as a new user of the dialog; --like OTHER: with OTHER's rights;\n"
                 u"--min-length N: the password's rules, as for passwd"_s,
         .run = add,
         .writes = true,
         .options = {Option::Like, Option::MinLength}},
        {.name = u"remove"_s,
         .argument = u"USER"_s,
         .help = u"removes USER (never Supervisor)"_s,
         .run = remove,
         .writes = true},
        {.name = u"role"_s,
         .argument = u"SUBCOMMAND"_s,
         .more = u"ARG"_s,
         .moreOptional = true,
         .forms = {u"role list"_s, u"role add ROLE [--like USER]"_s, u"role remove ROLE"_s,
                   u"role grant ROLE RIGHT..."_s, u"role deny ROLE RIGHT..."_s,
                   u"role assign ROLE USER..."_s, u"role unassign ROLE USER..."_s},
         .help = u"the roles: each grants its rights to its members, whose own\n"
                 u"rights are rewritten to the union of their roles' rights; add\n"
                 u"makes ROLE with every right denied (--like USER: USER's rights),\n"
                 u"grant and deny name RIGHTs as grant does, assign and unassign\n"
                 u"take users (never Supervisor); a user's name, an existing role,\n"
                 u"an unknown user or right is refused and nothing is changed"_s,
         .run = role,
         .writes = true,
         .options = {Option::Like},
         .accepts = roleAccepts},
        {.name = u"audit"_s,
         .usageOptions = u" [--since TIME] [--user NAME] [--json]"_s,
         .help = u"the audit trail, oldest first (--since TIME, --user NAME)"_s,
         .run = audit,
         .json = true,
         .options = {Option::Since, Option::User}},
        {.name = u"init-store"_s,
         .argument = u"URL"_s,
         .usageOptions = u" [--upgrade] [--workstation-role NAME] [--administrator-role NAME]"_s,
         .help = u"makes the tables of a shared user store on PostgreSQL (URL:\n"
                 u"a libpq connection string) and prints the GRANT statements\n"
                 u"for its roles (--workstation-role, --administrator-role);\n"
                 u"with --upgrade, brings tables of an older version up to date\n"
                 u"(as the tables' owner), keeping every row"_s,
         .run = initStore,
         .writes = true,
         .options = {Option::WorkstationRole, Option::AdministratorRole, Option::Upgrade},
         .scope = Scope::OwnServer},
        {.name = u"copy-store"_s,
         .forms = {u"copy-store --from local --to URL [--replace]"_s,
                   u"copy-store --from URL --to local"_s},
         .help = u"copies the local user template (found by --key and --file) to\n"
                 u"the shared store at URL under the same key, refused when one\n"
                 u"is there already unless --replace; or copies the shared one\n"
                 u"into the local store, keeping the one it replaces aside; the\n"
                 u"roles go with the users"_s,
         .run = copyStore,
         .writes = true,
         .options = {Option::From, Option::To, Option::Replace},
         .scope = Scope::OwnServer,
         .accepts = copyStoreAccepts},
    };
    return table;
}

const Command *findCommand(const QString &name)
{
    for (const Command &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

QList<QCommandLineOption> options()
{
    const QString &defaultKey = zkSecurity::StoreNames::DefaultKey;
    return {
        {Option::Key, u"The store's registry key (default %1)."_s.arg(defaultKey), u"KEY"_s,
         defaultKey},
        {Option::File, u"Read the user template from FILE instead of the \"UserTemplate\" value."_s,
         u"FILE"_s},
        {Option::Json, u"Print JSON (list, rights, matrix, recent, audit)."_s},
        {Option::Csv, u"matrix: print comma-separated values."_s},
        {Option::Since, u"audit: records from TIME on (ISO 8601, e.g. 2026-12-08T10:00:00Z)."_s,
         u"TIME"_s},
        {Option::User, u"audit: records about NAME or made by NAME only."_s, u"NAME"_s},
        {Option::WorkstationRole,
         u"init-store: the role of the workstations (default rightsmith_workstation)."_s, u"NAME"_s,
         u"rightsmith_workstation"_s},
        {Option::AdministratorRole,
         u"init-store: the role of the administrators (default rightsmith_administrator)."_s,
         u"NAME"_s, u"rightsmith_administrator"_s},
        {Option::Upgrade, u"init-store: upgrade the tables of an older version."_s},
        {Option::Store,
         u"Use the user template of the shared store at URL (a PostgreSQL connection string) "
         u"under --key instead of the local one."_s,
         u"URL"_s},
        {Option::From, u"copy-store: where to copy from, \"local\" or a URL."_s, u"WHERE"_s},
        {Option::To, u"copy-store: where to copy to, \"local\" or a URL."_s, u"WHERE"_s},
        {Option::Replace, u"copy-store: replace the user template the shared store holds."_s},
        {Option::Like,
         u"add: give the new user the rights of OTHER; role add: give the role OTHER's rights."_s,
         u"OTHER"_s},
        {Option::MinLength,
         u"passwd, add: refuse a password that is empty, has fewer than N characters or is the "
         u"user's name (the password rules of the program's hardening)."_s,
         u"N"_s},
        {Option::Backup, u"restore: put backup N back (see backups)."_s, u"N"_s},
    };
}

QString description()
{
    QString text = u"Shows the users of a Rightsmith user store. Commands:\n"_s;
    const QString indent(FormIndent, u' ');
    const QString helpIndent(HelpColumn, u' ');
    QStringList writers;
    for (const Command &command : commands()) {
        const QStringList forms = command.synopsis();
        const QStringList help = command.help.split(u'\n');
        qsizetype line = 0;
        if (forms.size() == 1 && FormIndent + forms.first().size() + 2 <= HelpColumn) {
            text += indent + forms.first().leftJustified(HelpColumn - FormIndent) + help.first()
                + u'\n';
            line = 1;
        } else {
            for (const QString &form : forms)
                text += indent + form + u'\n';
        }
        for (; line < help.size(); ++line)
            text += helpIndent + help.at(line) + u'\n';
        if (command.writes)
            writers << command.name;
    }
    return text
        + u"With --store URL, the commands use the shared store at URL under --key: its\n"
          u"user template, failed logons, audit trail and backups (restore COPY then takes\n"
          u"a file and keeps the template it replaces beside it); recent stays local.\n"_s
        + u"Only %1 write."_s.arg(listed(writers, u"and"_s));
}

QString commandNames()
{
    QStringList names;
    for (const Command &command : commands())
        names << command.name;
    return listed(names, u"or"_s);
}

QString commandSyntax()
{
    QStringList syntax;
    for (const Command &command : commands())
        syntax << command.nameAndArgument();
    return syntax.join(u'|');
}

QString usage()
{
    QStringList forms;
    for (const Command &command : commands())
        forms << command.synopsis().join(u'|') + command.usageOptions;
    return u"usage: rightsmith-users [--key KEY] [--file FILE | --store URL] "_s + forms.join(u'|');
}

} // namespace rightsmithusers
