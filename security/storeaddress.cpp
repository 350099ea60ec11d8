#include "security/storeaddress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

const char *const Context = "zkSecurity::StoreAddress";
const char *const EnvironmentName = "RIGHTSMITH_STORE";
const QString FileName = u"rightsmith/store.conf"_s;

QString secretsProblem(const QString &origin)
{
    return QCoreApplication::translate(Context,
                                       "Connection secrets belong in PostgreSQL's password file "
                                       "or service file, not in %1.")
        .arg(origin);
}

/// Whether \a address carries a password or sslpassword, in whatever form
/// libpq reads it (keyword, URI parameter, a URI's user:password@).
bool holdsPassword(const QString &address)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(address.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return false; // not an address at all: connecting to it fails with libpq's reason
    bool found = false;
    for (const PQconninfoOption *option = options; option->keyword; ++option) {
        if ((qstrcmp(option->keyword, "password") == 0
             || qstrcmp(option->keyword, "sslpassword") == 0)
            && option->val && *option->val)
            found = true;
    }
    PQconninfoFree(options);
    return found;
}

struct SystemFile
{
    QString address;
    bool pin = false;
    QString problem;
};

bool writableByAnyone(const QString &path)
{
    const QFileDevice::Permissions permissions = QFileInfo(path).permissions();
    return permissions.testAnyFlags(QFileDevice::WriteOther | QFileDevice::WriteGroup);
}

/// Lines of `key = value`; blank lines and lines starting with # are skipped.
/// A value is the rest of its line, so it may hold = and spaces.
SystemFile readSystemFile(const QString &path)
{
    SystemFile result;
    const auto malformed = [&](int line, const QString &why) {
        result.problem = QCoreApplication::translate(Context,
                                                     "The store configuration %1 is malformed at "
                                                     "line %2: %3")
                             .arg(path)
                             .arg(line)
                             .arg(why);
        return result;
    };
    if (writableByAnyone(path) || writableByAnyone(QFileInfo(path).path())) {
        result.problem =
            QCoreApplication::translate(
                Context, "The store configuration %1 may be changed by users other than its owner.")
                .arg(path);
        return result;
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        result.problem =
            QCoreApplication::translate(Context, "The store configuration %1 cannot be read.")
                .arg(path);
        return result;
    }
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
            return malformed(number, QCoreApplication::translate(Context, "expected key = value"));
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == "address"_L1 && !seenAddress) {
            seenAddress = true;
            result.address = value;
        } else if (key == "pin"_L1 && !seenPin) {
            seenPin = true;
            if (value != "true"_L1 && value != "false"_L1)
                return malformed(number,
                                 QCoreApplication::translate(Context, "pin is true or false"));
            result.pin = value == "true"_L1;
        } else {
            return malformed(
                number,
                QCoreApplication::translate(Context, "unknown or repeated key %1").arg(key));
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

StoreAddress resolveStoreAddress(const QString &programAddress)
{
    return resolveStoreAddress(programAddress, StoreAddress::systemFolders(),
                               [](const char *name) { return qEnvironmentVariable(name); });
}

StoreAddress resolveStoreAddress(const QString &programAddress, const QStringList &systemFolders,
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
        if (!file.address.isEmpty() || file.pin)
            return {file.address, StoreAddress::SystemFile, path, {}};
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

} // namespace zkSecurity
