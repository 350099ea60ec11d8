// rightsmith-users: looks into the user store that the security component
// keeps under a key of the per-user registry (and, in file mode, in a file):
// the users, one user's rights, a password check and the recent user names;
// checks that the store loads as the component loads it, and puts a kept
// copy of the user template back. Only "restore" writes: every other command
// opens the registry read-only, and only when it already exists.
//
// Exit status: 0 success; 1 an error (message on stderr), a store that does
// not load ("verify") or, for "check", a password that does not match; 2 a
// usage error or an unknown user.
#include "security/tcripter.h"
#include "security/tree.h"
#include "security/tzknoderecord.h"
#include "security/tzksecuritytemplate.h"
#include "security/userstore.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/textlines.h"

#include <QBuffer>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The security component's default key.
const QString DefaultKey =
    u"\\Software\\Tenvarro\\Kelvrin\\CurrentVersion\\SecurityObject\\UserTemplate"_s;

enum ExitCode { ExitOk = 0, ExitError = 1, ExitUsage = 2 };

// A failure that ends the tool with \a code after printing \a message.
struct Failure
{
    int code;
    QString message;
};

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString text(const QByteArray &bytes)
{
    return rightsmith::toolkit::Codec::toUnicode(bytes);
}

// Granted the way the rights check decides: the first " (Yes)" ends the text.
bool isGranted(const QByteArray &nodeText)
{
    const qsizetype at = nodeText.indexOf(" (Yes)");
    return at >= 0 && at + 6 == nodeText.size();
}

qint32 securityIdOf(const zkSecurity::TreeNode *node)
{
    return node->data() ? node->data()->SecurityId : 0;
}

class Store
{
public:
    Store(const QString &key, const QString &file)
        : m_key(key)
        , m_file(file)
    {
    }

    // The open key of the existing registry; throws a Failure when there is none.
    rightsmith::toolkit::Registry &registry()
    {
        if (!m_registry) {
            const QString path = rightsmith::toolkit::Registry::defaultPath();
            if (!QFileInfo::exists(path))
                throw Failure {ExitError, u"no user store: %1 does not exist"_s.arg(path)};
            auto registry = std::make_unique<rightsmith::toolkit::Registry>(
                path, rightsmith::toolkit::Registry::ReadOnly);
            if (!registry->openKey(m_key, false))
                throw Failure {ExitError, u"no user store under the key %1"_s.arg(m_key)};
            m_registry = std::move(registry);
        }
        return *m_registry;
    }

    // The stored user template; empty when the key holds none.
    void loadUserTemplate(zkSecurity::TzkSecurityTemplate &tmpl)
    {
        QByteArray data;
        if (!m_file.isEmpty()) {
            QFile file(m_file);
            if (!QFileInfo(m_file).isFile() || !file.open(QIODevice::ReadOnly))
                throw Failure {ExitError, u"cannot read %1"_s.arg(m_file)};
            data = file.readAll();
        } else {
            rightsmith::toolkit::Registry &reg = registry();
            const std::optional<QByteArray> value = reg.readBinary(u"UserTemplate"_s);
            if (!value) {
                const std::optional<QByteArray> fileName = reg.valueType(u"UserTemplateFileName"_s)
                        == rightsmith::toolkit::Registry::String
                    ? reg.readString(u"UserTemplateFileName"_s)
                    : std::nullopt;
                if (fileName) {
                    throw Failure {ExitError,
                                   u"the key holds no \"UserTemplate\" value; the user template is "
                                   u"kept in the file \"%1\" (use --file)"_s.arg(text(*fileName))};
                }
                return;
            }
            data = *value;
            const std::optional<qint32> size =
                reg.valueType(u"UserTemplateSize"_s) == rightsmith::toolkit::Registry::Integer
                ? reg.readInteger(u"UserTemplateSize"_s)
                : std::nullopt;
            if (size && *size != data.size()) {
                err() << "rightsmith-users: warning: \"UserTemplateSize\" is " << *size
                      << ", the value holds " << data.size() << " bytes\n";
            }
        }
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        tmpl.LoadFromStreamSecurity(buffer);
    }

    // True when the store's key holds the binary value \a name.
    bool hasValue(const QString &name)
    {
        try {
            return registry().valueType(name) == rightsmith::toolkit::Registry::Binary;
        } catch (const Failure &) {
            return false;
        }
    }

    // Where the component keeps the user template: in the file given, or in
    // the file the store records when it holds no "UserTemplate" value (a
    // relative name is taken from the current directory, as the program
    // does), or in the "UserTemplate" value.
    zkSecurity::UserStoreSettings settings()
    {
        zkSecurity::UserStoreSettings settings;
        settings.key = m_key;
        settings.fileName = m_file;
        settings.inFile = !m_file.isEmpty();
        if (!settings.inFile) {
            try {
                rightsmith::toolkit::Registry &reg = registry();
                if (reg.valueType(u"UserTemplate"_s) == rightsmith::toolkit::Registry::None
                    && reg.valueType(u"UserTemplateFileName"_s)
                        == rightsmith::toolkit::Registry::String) {
                    settings.fileName =
                        text(reg.readString(u"UserTemplateFileName"_s).value_or(""));
                    settings.inFile = true;
                }
            } catch (const Failure &) {
                // No store to say where: the "UserTemplate" value, as by default.
            } catch (const rightsmith::toolkit::Error &) {
            }
        }
        return settings;
    }

    QList<QByteArray> lastUsers()
    {
        rightsmith::toolkit::Registry &reg = registry();
        const std::optional<QByteArray> value = reg.readBinary(u"LastUsers"_s);
        return value ? rightsmith::toolkit::splitTextLines(*value) : QList<QByteArray>();
    }

private:
    QString m_key;
    QString m_file;
    std::unique_ptr<rightsmith::toolkit::Registry> m_registry;
};

zkSecurity::TreeNode *findUser(const zkSecurity::TzkSecurityTemplate &tmpl, const QString &name)
{
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    zkSecurity::TreeNode *node = bytes ? tmpl.GetUserNodeByUserName(*bytes) : nullptr;
    if (!node)
        throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
    return node;
}

QJsonArray rightsJson(const zkSecurity::TreeNode *parent)
{
    QJsonArray nodes;
    for (int i = 0; i < parent->count(); ++i) {
        const zkSecurity::TreeNode *node = parent->item(i);
        QJsonObject object {{u"text"_s, text(node->text())}};
        const qint32 id = securityIdOf(node);
        object.insert(u"securityId"_s, id);
        if (id != 0)
            object.insert(u"granted"_s, isGranted(node->text()));
        if (node->hasChildren())
            object.insert(u"children"_s, rightsJson(node));
        nodes.append(object);
    }
    return nodes;
}

void printRights(const zkSecurity::TreeNode *parent, int depth)
{
    for (int i = 0; i < parent->count(); ++i) {
        const zkSecurity::TreeNode *node = parent->item(i);
        out() << QString(depth * 2, u' ') << text(node->text());
        if (const qint32 id = securityIdOf(node))
            out() << "  [" << id << ']';
        out() << '\n';
        printRights(node, depth + 1);
    }
}

void printJson(const QJsonArray &array)
{
    out() << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

// Loads the store exactly as the security component does, read-only, and
// says what is wrong; 0 when it loads.
int verify(Store &store)
{
    const zkSecurity::UserStoreSettings settings = store.settings();
    zkSecurity::UserStore userStore(rightsmith::toolkit::Registry::ReadOnly);
    zkSecurity::TzkSecurityTemplate userTemplate;
    QList<QByteArray> lastUsers;
    QByteArray password;
    out() << "store: " << zkSecurity::UserStore::location(settings) << '\n';
    int code = ExitOk;
    try {
        const bool complete = userStore.load(settings, userTemplate, lastUsers, password);
        switch (userStore.state()) {
        case zkSecurity::UserStore::State::Loaded:
            out() << "ok: " << userTemplate.topLevelCount() << " users\n";
            if (!complete)
                out() << "warning: the recent user names cannot be read\n";
            break;
        case zkSecurity::UserStore::State::NeverWritten:
            out()
                << "ok: no users stored yet; the program makes \"Supervisor\" at its next start\n";
            break;
        default:
            out() << "unreadable: " << userStore.problem() << '\n';
            code = ExitError;
            break;
        }
    } catch (const rightsmith::toolkit::Error &error) {
        out() << "unreadable: " << error.message() << '\n';
        code = ExitError;
    }
    for (const QString &kept : zkSecurity::UserStore::keptAside(settings))
        out() << "kept aside: " << kept << '\n';
    return code;
}

// Puts a kept copy (a file, or a value of the store's key) back as the user
// template, after checking that it loads.
int restore(Store &store, const QString &source)
{
    const zkSecurity::UserStoreSettings settings = store.settings();
    QByteArray stream;
    if (QFileInfo(source).isFile()) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure {ExitError, u"cannot read %1: %2"_s.arg(source, file.errorString())};
        stream = file.readAll();
    } else if (store.hasValue(source)) {
        stream = store.registry().readBinary(source).value_or(QByteArray());
    } else {
        throw Failure {ExitError, u"no file and no binary value of the key named %1"_s.arg(source)};
    }

    zkSecurity::TzkSecurityTemplate userTemplate;
    try {
        QBuffer buffer(&stream);
        buffer.open(QIODevice::ReadOnly);
        userTemplate.LoadFromStreamSecurity(buffer);
    } catch (const rightsmith::toolkit::Error &error) {
        throw Failure {ExitError,
                       u"%1 does not load, nothing was changed: %2"_s.arg(source, error.message())};
    }
    if (!zkSecurity::UserStore::isCompleteStream(stream))
        err() << "rightsmith-users: warning: " << source
              << " loads, but not exactly as a save writes it; some texts may be damaged\n";

    const QString kept = zkSecurity::UserStore::restore(settings, stream);
    if (!kept.isEmpty())
        out() << "the user template it replaces is kept as " << kept << '\n';
    out() << "restored " << userTemplate.topLevelCount() << " users from " << source << " to "
          << zkSecurity::UserStore::location(settings) << '\n';
    return ExitOk;
}

int run(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Shows the users of a Rightsmith user store. Commands:\n"
        u"  list          the users\n"
        u"  rights USER   the rights of USER, marked (Yes) or (No), with their identifiers\n"
        u"  check USER    reads a password on stdin; exit 0 when it is USER's, 1 when not\n"
        u"  recent        the recent user names, oldest first\n"
        u"  verify        loads the store as the program does and says what is wrong\n"
        u"  restore COPY  puts a kept copy of the user template (a file, or a value of\n"
        u"                the key such as UserTemplate.unreadable-...) back, after\n"
        u"                checking that it loads; the only command that writes"_s);
    parser.addHelpOption();
    const QCommandLineOption keyOption(u"key"_s,
                                       u"The store's registry key (default %1)."_s.arg(DefaultKey),
                                       u"KEY"_s, DefaultKey);
    const QCommandLineOption fileOption(
        u"file"_s, u"Read the user template from FILE instead of the \"UserTemplate\" value."_s,
        u"FILE"_s);
    const QCommandLineOption jsonOption(u"json"_s, u"Print JSON (list, rights, recent)."_s);
    parser.addOptions({keyOption, fileOption, jsonOption});
    parser.addPositionalArgument(u"command"_s, u"list, rights, check, recent, verify or restore"_s,
                                 u"list|rights USER|check USER|recent|verify|restore COPY"_s);

    if (!parser.parse(app.arguments()))
        throw Failure {ExitUsage, parser.errorText()};
    if (parser.isSet(u"help"_s)) {
        out() << parser.helpText();
        return ExitOk;
    }

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool needsArgument =
        command == u"rights"_s || command == u"check"_s || command == u"restore"_s;
    const bool plainOnly =
        command == u"check"_s || command == u"verify"_s || command == u"restore"_s;
    const bool known =
        needsArgument || command == u"list"_s || command == u"recent"_s || command == u"verify"_s;
    if (!known || args.size() != (needsArgument ? 2 : 1)
        || (parser.isSet(jsonOption) && plainOnly)) {
        throw Failure {ExitUsage,
                       u"usage: rightsmith-users [--key KEY] [--file FILE] "
                       u"list|rights USER|check USER|recent|verify|restore COPY [--json]"_s};
    }
    const bool json = parser.isSet(jsonOption);

    Store store(parser.value(keyOption), parser.value(fileOption));
    if (command == u"verify"_s)
        return verify(store);
    if (command == u"restore"_s)
        return restore(store, args.at(1));

    if (command == u"recent"_s) {
        const QList<QByteArray> names = store.lastUsers();
        if (json) {
            QJsonArray array;
            for (const QByteArray &name : names)
                array.append(text(name));
            printJson(array);
        } else {
            for (const QByteArray &name : names)
                out() << text(name) << '\n';
        }
        return ExitOk;
    }

    zkSecurity::TzkSecurityTemplate userTemplate;
    store.loadUserTemplate(userTemplate);

    if (command == u"list"_s) {
        QJsonArray array;
        for (int i = 0; i < userTemplate.topLevelCount(); ++i) {
            const QString name = text(userTemplate.topLevel(i)->text());
            if (json)
                array.append(name);
            else
                out() << name << '\n';
        }
        if (json)
            printJson(array);
        return ExitOk;
    }

    zkSecurity::TreeNode *user = findUser(userTemplate, args.at(1));
    if (command == u"rights"_s) {
        // The second child of a user node holds the rights.
        const zkSecurity::TreeNode *rights = user->item(1);
        if (json)
            printJson(rights ? rightsJson(rights) : QJsonArray());
        else if (rights)
            printRights(rights, 0);
        return ExitOk;
    }

    // check: the password as typed, without the line break that ends it.
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw Failure {ExitError, u"cannot read the password from stdin"_s};
    QByteArray typed = input.readAll();
    if (typed.endsWith('\n'))
        typed.chop(typed.endsWith("\r\n") ? 2 : 1);
    // Terminal text in the locale's encoding, stored in the system's code page.
    const std::optional<QByteArray> password =
        rightsmith::toolkit::Codec::fromUnicode(QString::fromLocal8Bit(typed));
    const bool matches = password
        && zkCript::TCripter::Scramble(*password) == userTemplate.GetPasswordFromUserTreeNode(user);
    return matches ? ExitOk : ExitError;
}

} // namespace

int main(int argc, char **argv)
{
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
