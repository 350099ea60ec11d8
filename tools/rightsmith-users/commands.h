// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <span>

class QCommandLineParser;

#include <functional>

namespace zkSecurity {
class Roles;
class TzkSecurityTemplate;
struct UserStoreSettings;
} // namespace zkSecurity

namespace rightsmithusers {

class Store;

// The names of the tool's options.
namespace Option {
inline const QString Key = QStringLiteral("key");
inline const QString File = QStringLiteral("file");
inline const QString Json = QStringLiteral("json");
inline const QString Csv = QStringLiteral("csv");
inline const QString Since = QStringLiteral("since");
inline const QString User = QStringLiteral("user");
inline const QString WorkstationRole = QStringLiteral("workstation-role");
inline const QString AdministratorRole = QStringLiteral("administrator-role");
inline const QString Upgrade = QStringLiteral("upgrade");
inline const QString Store = QStringLiteral("store");
inline const QString From = QStringLiteral("from");
inline const QString To = QStringLiteral("to");
inline const QString Replace = QStringLiteral("replace");
inline const QString Like = QStringLiteral("like");
inline const QString MinLength = QStringLiteral("min-length");
inline const QString Backup = QStringLiteral("backup");
} // namespace Option

// One run of a command: the store it works on, its argument and options.
struct Invocation
{
    Store &store;
    const QCommandLineParser &parser;
    // The command's argument (USER, COPY or URL); empty when it takes none.
    QString argument;
    bool json = false;
    // The command's name, for its messages.
    QString command {};
    // The arguments after the first (the RIGHTs of grant and deny).
    QStringList more {};

    QString value(const QString &option) const;
    bool isSet(const QString &option) const;
};

// A command of the tool, as the table in commands.cpp lists it.
struct Command
{
    // Which store a command works on.
    enum class Scope {
        // The local one, or the shared one at --store.
        GivenStore,
        // The local one even with --store.
        LocalStore,
        // A server the command names itself; --store does not apply.
        OwnServer,
    };

    QString name {};
    // The argument it takes (USER, COPY, URL); empty: none.
    QString argument {};
    // True when the argument may be left out (accepts() then decides).
    bool argumentOptional = false;
    // What it takes after the argument, one or more (RIGHT); empty: nothing.
    QString more {};
    // True when what it takes after the argument may be left out (accepts()
    // then decides): a command with sub-commands.
    bool moreOptional = false;
    // The forms the help and the usage line show; empty: the name and argument.
    QStringList forms {};
    // What the usage line adds after the forms: the command's options.
    QString usageOptions {};
    // The help text, wrapped, a line break between lines.
    QString help {};
    int (*run)(const Invocation &) = nullptr;
    bool writes = false;
    // True when it prints JSON with --json.
    bool json = false;
    // The options that only this command takes.
    QStringList options {};
    Scope scope = Scope::GivenStore;
    // False when the options, taken together, are no form of the command.
    bool (*accepts)(const QCommandLineParser &) = nullptr;

    // "rights USER"
    QString nameAndArgument() const;
    // forms, or the name and argument.
    QStringList synopsis() const;
};

// The commands, in the order the help lists them.
std::span<const Command> commands();
const Command *findCommand(const QString &name);

// Every option of the tool, in the order the help lists them.
QList<QCommandLineOption> options();

// The tool's description in its --help: the commands and what they do.
QString description();
// The "command" argument in --help: its description and its syntax.
QString commandNames();
QString commandSyntax();
// The usage line printed for a command line that is no form of a command.
QString usage();

// The commands, each in the file of its group.
int list(const Invocation &call);
int rights(const Invocation &call);
int matrix(const Invocation &call);
bool matrixAccepts(const QCommandLineParser &parser);
int check(const Invocation &call);
int recent(const Invocation &call);
int audit(const Invocation &call);
int verify(const Invocation &call);
int restore(const Invocation &call);
bool restoreAccepts(const QCommandLineParser &parser);
int backups(const Invocation &call);
// restore --backup N, and restore without a COPY (a damaged registry database).
int restoreBackup(const Invocation &call);
int restoreDatabase(const Invocation &call);
// Moves the registry database of \a settings aside when it is damaged, saying so.
void setDamagedDatabaseAside(const zkSecurity::UserStoreSettings &settings);
int passwd(const Invocation &call);
int unlock(const Invocation &call);
int grant(const Invocation &call);
int deny(const Invocation &call);
int add(const Invocation &call);
int remove(const Invocation &call);
int initStore(const Invocation &call);
// role SUBCOMMAND ...: the roles of the store.
int role(const Invocation &call);
bool roleAccepts(const QCommandLineParser &parser);

// A change of the users and the roles: \a roles is null when the role
// template could not be read, \a roleProblem then says why.
using RoleChange = std::function<void(zkSecurity::TzkSecurityTemplate &users,
                                      zkSecurity::Roles *roles, const QString &roleProblem)>;
// Loads the users and roles of \a call's store, lets \a change edit them,
// writes each member's rights from their roles and saves both in one save.
void editUsersAndRoles(const Invocation &call, const QString &undone, const RoleChange &change);
int copyStore(const Invocation &call);
bool copyStoreAccepts(const QCommandLineParser &parser);

} // namespace rightsmithusers
