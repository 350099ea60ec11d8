// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "store.h"

#include "console.h"
#include "security/hardening/audittrail.h"
#include "security/model/rightnodes.h"
#include "security/model/templatenames_p.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/logonledger.h"
#include "security/store/sharedstore_p.h"
#include "security/store/storenames_p.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/textlines_p.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

using rightsmith::toolkit::Registry;
namespace StoreNames = zkSecurity::StoreNames;

namespace rightsmithusers {

Store::Store(const QString &key, const QString &file, const QString &shared)
{
    m_where.key = key;
    m_where.fileName = file;
    m_where.inFile = !file.isEmpty();
    m_where.sharedAddress = shared;
}

Store::~Store() = default;

zkSecurity::SharedStore &Store::shared()
{
    if (!m_sharedStore)
        m_sharedStore = zkSecurity::SharedStore::connect(m_where.sharedAddress);
    return *m_sharedStore;
}

Registry &Store::registry()
{
    if (!m_registry) {
        const QString path = Registry::defaultPath();
        if (!QFileInfo::exists(path))
            throw Failure {ExitError, u"no user store: %1 does not exist"_s.arg(path)};
        auto registry = std::make_unique<Registry>(path, Registry::ReadOnly);
        if (!registry->openKey(m_where.key, false))
            throw Failure {ExitError, u"no user store under the key %1"_s.arg(m_where.key)};
        m_registry = std::move(registry);
    }
    return *m_registry;
}

void Store::open()
{
    if (isShared())
        shared();
    else
        registry();
}

void Store::loadUserTemplate(zkSecurity::TzkSecurityTemplate &tmpl)
{
    QByteArray data = stream().value_or(QByteArray());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    tmpl.LoadFromStreamSecurity(buffer);
}

void Store::loadRoleTemplate(zkSecurity::TzkSecurityTemplate &roles)
{
    QString where;
    QByteArray data;
    QString problem;
    if (isShared()) {
        const zkSecurity::SharedStore::Stored stored = shared().load(m_where.key);
        where = u"\"roles\" in %1"_s.arg(
            zkSecurity::SharedStore::displayAddress(m_where.sharedAddress));
        data = stored.roles;
        problem = stored.rolesProblem;
    } else {
        if (!hasValue(StoreNames::RoleTemplate))
            return;
        Registry &reg = registry();
        const qint64 size = reg.valueType(StoreNames::RoleTemplateSize) == Registry::Integer
            ? reg.readInteger(StoreNames::RoleTemplateSize).value_or(-1)
            : -1;
        where = u"\"%1\""_s.arg(StoreNames::RoleTemplate);
        data = reg.readBinary(StoreNames::RoleTemplate).value_or(QByteArray());
        if (size != data.size())
            problem = u"it does not have the size \"%1\" says"_s.arg(StoreNames::RoleTemplateSize);
    }
    if (problem.isEmpty() && data.isEmpty())
        return;
    try {
        if (problem.isEmpty()) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::ReadOnly);
            roles.LoadFromStreamSecurity(buffer);
        }
    } catch (const rightsmith::toolkit::Error &error) {
        problem = error.message();
    }
    if (!problem.isEmpty())
        throw Failure {ExitError, u"the role template %1 cannot be read: %2"_s.arg(where, problem)};
}

std::optional<QByteArray> Store::stream()
{
    if (isShared())
        return sharedStream();
    // A file given, or the file a file-mode store records.
    if (m_where.inFile || settings().inFile)
        return fileStream();
    return registryStream();
}

QByteArray Store::sharedStream()
{
    const zkSecurity::SharedStore::Stored stored = shared().load(m_where.key);
    if (!stored.exists)
        throw Failure {
            ExitError,
            u"no user template under the key %1 in %2"_s.arg(
                m_where.key, zkSecurity::SharedStore::displayAddress(m_where.sharedAddress))};
    return stored.stream;
}

QList<QByteArray> Store::userNames()
{
    if (isShared()) {
        QByteArray data = sharedStream();
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        return zkSecurity::templateTopLevelTexts(buffer);
    }
    if (m_where.inFile || settings().inFile) {
        // Read as the program reads it; the texts as the stream of
        // fileStream() holds them, trimmed.
        QList<QByteArray> names;
        loadFromFile(nullptr, &names);
        for (QByteArray &name : names)
            name = rightsmith::toolkit::trimControl(name);
        return names;
    }
    std::unique_ptr<QIODevice> value = registryValue();
    if (!value) {
        // Read as an empty stream is.
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        return zkSecurity::templateTopLevelTexts(empty);
    }
    return zkSecurity::templateTopLevelTexts(*value);
}

QByteArray Store::fileStream()
{
    zkSecurity::TzkSecurityTemplate users;
    loadFromFile(&users, nullptr);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    users.SaveToStreamSecurity(buffer);
    return data;
}

void Store::loadFromFile(zkSecurity::TzkSecurityTemplate *users, QList<QByteArray> *names)
{
    // Read as the program reads it: only the file its last save committed,
    // never through a link or from another account.
    const zkSecurity::UserStoreSettings where = settings();
    zkSecurity::UserStore userStore(Registry::ReadOnly);
    if (names) {
        userStore.loadUserNames(where, *names);
    } else {
        QList<QByteArray> lastUsers;
        QByteArray password;
        userStore.load(where, *users, lastUsers, password);
    }
    if (userStore.state() == zkSecurity::UserStore::State::NeverWritten)
        throw Failure {
            ExitError,
            u"no user template is stored in %1"_s.arg(zkSecurity::UserStore::location(where))};
    if (userStore.state() != zkSecurity::UserStore::State::Loaded)
        throw Failure {ExitError,
                       u"cannot read %1: %2 (\"rightsmith-users verify\" says more)"_s.arg(
                           zkSecurity::UserStore::location(where), userStore.problem())};
}

std::optional<QByteArray> Store::registryStream()
{
    const std::unique_ptr<QIODevice> value = registryValue();
    if (!value)
        return std::nullopt;
    return value->readAll();
}

// The "UserTemplate" value, to be read; null when the key holds none.
std::unique_ptr<QIODevice> Store::registryValue()
{
    Registry &reg = registry();
    std::unique_ptr<QIODevice> value = reg.binaryReader(StoreNames::UserTemplate);
    if (!value) {
        const std::optional<QByteArray> fileName =
            reg.valueType(StoreNames::UserTemplateFileName) == Registry::String
            ? reg.readString(StoreNames::UserTemplateFileName)
            : std::nullopt;
        if (fileName) {
            throw Failure {ExitError,
                           u"the key holds no \"UserTemplate\" value; the user template is "
                           u"kept in the file \"%1\" (use --file)"_s.arg(text(*fileName))};
        }
        return nullptr;
    }
    const std::optional<qint32> size =
        reg.valueType(StoreNames::UserTemplateSize) == Registry::Integer
        ? reg.readInteger(StoreNames::UserTemplateSize)
        : std::nullopt;
    if (size && *size != value->size()) {
        err() << "rightsmith-users: warning: \"UserTemplateSize\" is " << *size
              << ", the value holds " << value->size() << " bytes\n";
    }
    return value;
}

bool Store::hasValue(const QString &name)
{
    try {
        return registry().valueType(name) == Registry::Binary;
    } catch (const Failure &) {
        return false;
    }
}

zkSecurity::UserStoreSettings Store::settings()
{
    zkSecurity::UserStoreSettings settings = m_where;
    if (!settings.inFile) {
        try {
            Registry &reg = registry();
            if (reg.valueType(StoreNames::UserTemplate) == Registry::None
                && reg.valueType(StoreNames::UserTemplateFileName) == Registry::String) {
                settings.fileName =
                    text(reg.readString(StoreNames::UserTemplateFileName).value_or(""));
                settings.inFile = true;
            }
        } catch (const Failure &) {
            // No store to say where: the "UserTemplate" value, as by default.
        } catch (const rightsmith::toolkit::Error &) {
        }
    }
    return settings;
}

QList<QByteArray> Store::lastUsers()
{
    const std::optional<QByteArray> value = registry().readBinary(StoreNames::LastUsers);
    return value ? rightsmith::toolkit::splitTextLines(*value) : QList<QByteArray>();
}

// The trail is where the library's ledger keeps it: the shared store's
// tables or the local registry's, only read, and only where it exists.
std::unique_ptr<zkSecurity::LogonLedger> Store::ledger()
{
    if (!isShared())
        registry(); // the tool's own word for a store that is not there
    return zkSecurity::LogonLedger::open(settings(), zkSecurity::LogonLedger::Access::Inspect);
}

bool Store::keepsTrail()
{
    try {
        return ledger()->hasRecords();
    } catch (const Failure &) {
        return false;
    } catch (const rightsmith::toolkit::Error &) {
        // A damaged database keeps no trail that can be read or written.
        if (isShared() || Registry::damage(Registry::defaultPath()).isEmpty())
            throw;
        return false;
    }
}

QList<zkSecurity::AuditRecord> Store::auditTrail(const QDateTime &since, const QByteArray &user)
{
    return ledger()->read(since, user);
}

zkSecurity::TreeNode *findUser(const zkSecurity::TzkSecurityTemplate &tmpl, const QString &name)
{
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    zkSecurity::TreeNode *node = bytes ? tmpl.GetUserNodeByUserName(*bytes) : nullptr;
    if (!node)
        throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
    return node;
}

QString captionOf(const zkSecurity::TreeNode *node)
{
    return text(zkSecurity::RightCaption(node));
}

QString rightPath(const QString &parentPath, const zkSecurity::TreeNode *node)
{
    return parentPath.isEmpty() ? captionOf(node) : parentPath + u'/' + captionOf(node);
}

int usersIn(QByteArray stream, const QString &failure)
{
    try {
        QBuffer buffer(&stream);
        buffer.open(QIODevice::ReadOnly);
        return int(zkSecurity::templateTopLevelTexts(buffer).size());
    } catch (const rightsmith::toolkit::Error &error) {
        throw Failure {ExitError, u"%1: %2"_s.arg(failure, error.message())};
    }
}

} // namespace rightsmithusers
