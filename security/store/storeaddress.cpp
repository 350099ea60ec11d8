// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/storeaddress_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <arpa/inet.h>
#if RIGHTSMITH_POSTGRESQL
#include <libpq-fe.h>
#endif
#include <memory>
#include <netinet/in.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

const char *const EnvironmentName = "RIGHTSMITH_STORE";
const QString FileName = u"rightsmith/store.conf"_s;

QString secretsProblem(const QString &origin)
{
    return StoreAddress::tr("Connection secrets belong in PostgreSQL's password file, "
                            "not in %1.")
        .arg(origin);
}

struct SystemFile
{
    QString address;
    bool pin = false;
    QString problem;
};

/// Why \a status lets someone other than root change what it describes; empty when nothing does.
QString changeableByOthers(const QString &configuration, const QString &path,
                           const struct stat &status)
{
    if (status.st_uid == 0 && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return {};
    return StoreAddress::tr("The store configuration %1 may be changed by users other "
                            "than root: %2 must belong to root and be writable by root "
                            "alone (chown root %2; chmod go-w %2).")
        .arg(configuration, path);
}

/// The file and both folders above it (rightsmith/ and the system folder)
/// must be root's alone: whoever may change them chooses the store.
QString foldersChangeableByOthers(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    for (const QString &above : {folder, QFileInfo(folder).path()}) {
        struct stat status;
        if (::stat(QFile::encodeName(above).constData(), &status) != 0)
            return StoreAddress::tr("The store configuration %1 cannot be read.").arg(path);
        const QString problem = changeableByOthers(path, above, status);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

#if RIGHTSMITH_POSTGRESQL
using Options = std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)>;

/// \a address as libpq reads it, without its defaults; null with libpq's reason when it cannot.
Options parseAddress(const QString &address, QString *reason = nullptr)
{
    char *error = nullptr;
    Options options(PQconninfoParse(address.toUtf8().constData(), &error), &PQconninfoFree);
    if (reason)
        *reason = QString::fromUtf8(error ? error : "").trimmed();
    PQfreemem(error);
    return options;
}

/// A libpq connection value, quoted when it must be.
QString connectionValue(const QString &value)
{
    if (!value.isEmpty() && !value.contains(u'\'') && !value.contains(u'\\')
        && std::none_of(value.cbegin(), value.cend(), [](QChar c) { return c.isSpace(); }))
        return value;
    return u'\'' + QString(value).replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s) + u'\'';
}

/// Whether \a address carries a password or sslpassword, in whatever form
/// libpq reads it (keyword, URI parameter, a URI's user:password@).
bool holdsPassword(const QString &address)
{
    const Options options = parseAddress(address);
    if (!options)
        return false; // not an address at all: whoever uses it is told libpq's reason
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option) {
        if ((qstrcmp(option->keyword, "password") == 0
             || qstrcmp(option->keyword, "sslpassword") == 0)
            && option->val && *option->val)
            return true;
    }
    return false;
}

/// Keywords that choose the server or how it is trusted and that libpq has
/// no value of its own for: left out, they would be the user's variable's.
bool choosesServer(const char *keyword)
{
    for (const char *open : {"host", "hostaddr", "dbname", "sslrootcert", "sslcrl", "sslcrldir"})
        if (qstrcmp(keyword, open) == 0)
            return true;
    return false;
}

/// Keywords of the same kind that libpq has a built-in value for: left out,
/// that value is given explicitly, so that no variable can change it.
/// (SharedStore::connect() gives options of its own, so PGOPTIONS never applies.)
bool hasBuiltInValue(const char *keyword)
{
    for (const char *fixed : {"port", "sslmode", "gssencmode", "channel_binding",
                              "ssl_min_protocol_version", "target_session_attrs"})
        if (qstrcmp(keyword, fixed) == 0)
            return true;
    return false;
}

/// Whether libpq looks up a name of \a hosts in the C library's resolver:
/// an entry that is no socket folder and no numeric address, without an
/// entry of \a hostaddrs beside it.
bool looksUpNames(const QString &hosts, const QString &hostaddrs)
{
    const QStringList names = hosts.split(u',');
    const QStringList addresses = hostaddrs.split(u',');
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray name = names.at(i).trimmed().toUtf8();
        if (name.isEmpty() || name.startsWith('/') || name.startsWith('@')
            || !addresses.value(i).trimmed().isEmpty())
            continue;
        in6_addr numeric;
        if (inet_pton(AF_INET, name.constData(), &numeric) != 1
            && inet_pton(AF_INET6, name.constData(), &numeric) != 1)
            return true;
    }
    return false;
}
#endif

struct WholeAddress
{
    QString address;
    QString problem;
};

#if RIGHTSMITH_POSTGRESQL

/// The administrator's \a address (from \a origin) as a connection string
/// that leaves the server, its port and database, and how it is trusted to
/// no environment variable and no service file: what the address gives, plus
/// libpq's built-in values for what it leaves out. A problem, naming the
/// variable, when the user's environment would still decide one of them.
/// What proves who the user is (user, password file, certificates, Kerberos)
/// stays the user's own.
WholeAddress wholeAddress(const QString &address, const QString &origin,
                          const EnvironmentLookup &environment)
{
    QString reason;
    const Options options = parseAddress(address, &reason);
    if (!options)
        return {{},
                StoreAddress::tr("The user store address in %1 cannot be read: %2")
                    .arg(origin, reason)};
    const auto variable = [&](const char *name) {
        return environment && name ? environment(name) : QString();
    };
    // A service's settings (from the user's own service file, or one that
    // PGSYSCONFDIR or PGSERVICEFILE chooses) fill whatever the address leaves out.
    if (!variable("PGSERVICE").isEmpty())
        return {{},
                StoreAddress::tr("The environment variable PGSERVICE would add the "
                                 "settings of a service to the user store address in "
                                 "%1: unset PGSERVICE.")
                    .arg(origin)};
    QStringList parts;
    for (const PQconninfoOption *option = options.get(); option->keyword; ++option) {
        const bool given = option->val && *option->val;
        if (given
            && (qstrcmp(option->keyword, "service") == 0
                || qstrcmp(option->keyword, "servicefile") == 0))
            return {{},
                    StoreAddress::tr("The user store address in %1 names a service, "
                                     "whose settings each user may change: write them "
                                     "into the address instead.")
                        .arg(origin)};
        const QLatin1StringView keyword(option->keyword);
        if (given) {
            parts << keyword + u'=' + connectionValue(QString::fromUtf8(option->val));
        } else if (choosesServer(option->keyword) && !variable(option->envvar).isEmpty()) {
            return {{},
                    StoreAddress::tr("The user store address in %1 does not give %2, "
                                     "and the environment variable %3 would choose it: "
                                     "unset %3, or have the administrator give %2 in "
                                     "the address.")
                        .arg(origin, keyword, QLatin1StringView(option->envvar))};
        } else if (qstrcmp(option->keyword, "dbname") == 0) {
            // Left out, the database would be named after whoever connects,
            // which PGUSER chooses.
            return {{},
                    StoreAddress::tr("The user store address in %1 does not name its "
                                     "database: have the administrator give dbname in "
                                     "the address.")
                        .arg(origin)};
        } else if (hasBuiltInValue(option->keyword) && option->compiled && *option->compiled) {
            parts << keyword + u'=' + connectionValue(QString::fromUtf8(option->compiled));
        }
    }
    // The resolver's own variables decide where a host name leads: a search
    // domain of the user's tried first, or an alias of the user's.
    const auto value = [&](const char *keyword) {
        for (const PQconninfoOption *option = options.get(); option->keyword; ++option)
            if (qstrcmp(option->keyword, keyword) == 0 && option->val)
                return QString::fromUtf8(option->val);
        return QString();
    };
    if (looksUpNames(value("host"), value("hostaddr"))) {
        for (const char *resolver : {"LOCALDOMAIN", "RES_OPTIONS", "HOSTALIASES"}) {
            if (!variable(resolver).isEmpty())
                return {{},
                        StoreAddress::tr("The environment variable %2 would change "
                                         "which server the host name of the user store "
                                         "address in %1 leads to: unset %2.")
                            .arg(origin, QLatin1StringView(resolver))};
        }
    }
    return {parts.join(u' '), {}};
}
#else
// Without libpq an address cannot be read; resolveStoreAddress() refuses
// every one, so these only pass it on.
bool holdsPassword(const QString &)
{
    return false;
}

WholeAddress wholeAddress(const QString &address, const QString &, const EnvironmentLookup &)
{
    return {address, {}};
}
#endif

/// Lines of `key = value`; blank lines and lines starting with # are skipped.
/// A value is the rest of its line, so it may hold = and spaces.
SystemFile readSystemFile(const QString &path)
{
    SystemFile result;
    const auto malformed = [&](int line, const QString &why) {
        result.problem = StoreAddress::tr("The store configuration %1 is malformed at "
                                          "line %2: %3")
                             .arg(path)
                             .arg(line)
                             .arg(why);
        return result;
    };
    result.problem = foldersChangeableByOthers(path);
    if (!result.problem.isEmpty())
        return result;
    // What is read is what was checked: the open file itself.
    QFile file(path);
    struct stat status;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || ::fstat(file.handle(), &status) != 0
        || !S_ISREG(status.st_mode)) {
        result.problem = StoreAddress::tr("The store configuration %1 cannot be read.").arg(path);
        return result;
    }
    result.problem = changeableByOthers(path, path, status);
    if (!result.problem.isEmpty())
        return result;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    bool seenAddress = false;
    bool seenPin = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return malformed(number, StoreAddress::tr("expected key = value"));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == "address"_L1 && !seenAddress) {
            seenAddress = true;
            result.address = value;
        } else if (key == "pin"_L1 && !seenPin) {
            seenPin = true;
            if (value != "true"_L1 && value != "false"_L1)
                return malformed(number, StoreAddress::tr("pin is true or false"));
            result.pin = value == "true"_L1;
        } else {
            return malformed(number, StoreAddress::tr("unknown or repeated key %1").arg(key));
        }
    }
    if (holdsPassword(result.address))
        result.problem = secretsProblem(path);
    return result;
}

} // namespace

QStringList StoreAddress::systemFolders()
{
    // Not XDG_CONFIG_DIRS: the user's environment must not choose the folder
    // of the file that is to overrule the user's environment.
    return {u"/etc/xdg"_s};
}

QString StoreAddress::sharedStoreLeftOut()
{
    return tr("This build of Rightsmith has no shared store (PostgreSQL support was left out)");
}

StoreAddress resolveStoreAddress(const QString &programAddress)
{
    return resolveStoreAddress(programAddress, StoreAddress::systemFolders(),
                               [](const char *name) { return qEnvironmentVariable(name); });
}

namespace {

StoreAddress decideStoreAddress(const QString &programAddress, const QStringList &systemFolders,
                                const EnvironmentLookup &environment)
{
    if (!programAddress.trimmed().isEmpty())
        return {programAddress.trimmed(), StoreAddress::Program, {}, {}};

    for (const QString &folder : systemFolders) {
        const QString path = QDir(folder).filePath(FileName);
        if (!QFileInfo::exists(path))
            continue;
        const SystemFile file = readSystemFile(path);
        if (!file.problem.isEmpty())
            return {{}, StoreAddress::SystemFile, path, file.problem};
        if (!file.address.isEmpty()) {
            const WholeAddress whole = wholeAddress(file.address, path, environment);
            return {whole.address, StoreAddress::SystemFile, path, whole.problem};
        }
        if (file.pin)
            return {{}, StoreAddress::SystemFile, path, {}};
        break; // the first file decides; without an address or pin it leaves the choice open
    }

    const QString fromEnvironment =
        environment ? environment(EnvironmentName).trimmed() : QString();
    if (!fromEnvironment.isEmpty()) {
        const QString origin = QString::fromLatin1(EnvironmentName);
        if (holdsPassword(fromEnvironment))
            return {{}, StoreAddress::Environment, origin, secretsProblem(origin)};
        return {fromEnvironment, StoreAddress::Environment, origin, {}};
    }
    return {};
}

} // namespace

StoreAddress resolveStoreAddress(const QString &programAddress, const QStringList &systemFolders,
                                 const EnvironmentLookup &environment)
{
    StoreAddress store = decideStoreAddress(programAddress, systemFolders, environment);
    // A build without PostgreSQL opens no store rather than another one.
    if (!RIGHTSMITH_POSTGRESQL && !store.isLocal() && store.problem.isEmpty())
        store.problem = StoreAddress::sharedStoreLeftOut();
    return store;
}

} // namespace zkSecurity
