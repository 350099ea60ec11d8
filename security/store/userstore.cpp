// The user store: the user template (as a template stream), its size, the
// recent user names and, when asked, the remembered scrambled password, under
// a key of the per-user registry; the user template itself optionally in a file.
#include "security/store/userstore.h"

#include "security/hardening/audittrail.h"
#include "security/model/templatestreamlayout.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/digestingwriter.h"
#include "security/store/sharedstore.h"
#include "security/store/storenames.h"
#include "toolkit/bytestream.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/logging.h"
#include "toolkit/messagebox.h"
#include "toolkit/sodium.h"
#include "toolkit/textlines.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using rightsmith::logging::lcStore;

using namespace Qt::StringLiterals;

namespace zkSecurity {

QString UserStoreSettings::registryPath() const
{
    return databasePath.isEmpty() ? rightsmith::toolkit::Registry::defaultPath() : databasePath;
}

namespace {

const QString &UserTemplateValue = StoreNames::UserTemplate;
const QString &UserTemplateFileNameValue = StoreNames::UserTemplateFileName;
const QString &UserTemplateSizeValue = StoreNames::UserTemplateSize;
const QString &LastUsersValue = StoreNames::LastUsers;
const QString &LastUsersSizeValue = StoreNames::LastUsersSize;
const QString &PasswordValue = StoreNames::Password;
const QString &SharedUserTemplateValue = StoreNames::SharedUserTemplate;
const QString &SharedUserTemplateVersionValue = StoreNames::SharedUserTemplateVersion;
const QString AsideInfix = u".unreadable-"_s;
// What a file-mode save leaves beside the user template until it commits:
// its new file ("<name>.saving-<random>"; earlier versions used
// "<name>.saving") and the file it replaces ("<name>.previous-<random>").
const QString SavingInfix = u".saving"_s;
const QString PreviousInfix = u".previous-"_s;
// Digests of the user template files whose saves were committed, one value a
// file named by its absolute path (see fileRecordName()): they tell a
// committed save's file from one a stopped save left behind. Kept apart from
// the store's own key, whose values stay exactly those every program of this
// format reads and writes.
const QString FileDigestKey = u"\\Software\\Rightsmith\\UserTemplateFiles"_s;
// Digests of the "UserTemplate" values saves committed, one value a store
// key: which save a program read, without reading the value again.
const QString ValueDigestKey = u"\\Software\\Rightsmith\\UserTemplateValues"_s;

QString registryWriteMessage()
{
    return QCoreApplication::translate(
        "zkSecurity::UserStore",
        "Error saving Users into Windows Registry. \t\r"
        "Probably you work with an older version of Windows that limits the size of binary block "
        "to be written to the registry. \t\r\t\r"
        "To resolve this problem you may chose to save Users into a file, pointed by a registry "
        "entry. (set \"soSaveUsersInFile\" option to your TzkSecurity component and rebuild)");
}

[[noreturn]] void throwInvalidDataType(const QString &name)
{
    throw rightsmith::toolkit::Error(
        QCoreApplication::translate("zkSecurity::UserStore", "Invalid data type for '%1'")
            .arg(name));
}

QString databasePath(const UserStoreSettings &settings)
{
    return settings.registryPath();
}

QString absoluteFile(const QString &fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

bool pathExists(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// A read-only view of \a data followed by zero bytes up to \a size, the buffer
// of "UserTemplateSize" bytes into which a shorter "UserTemplate" value is
// read, without allocating the zero tail.
class ZeroPaddedDevice : public QIODevice
{
public:
    ZeroPaddedDevice(const QByteArray &data, qint64 size)
        : m_data(data)
        , m_size(size)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *out, qint64 maxSize) override
    {
        const qint64 at = pos();
        const qint64 length = qMin(maxSize, m_size - at);
        if (length <= 0)
            return 0;
        const qint64 fromData = qBound(qint64(0), qint64(m_data.size()) - at, length);
        if (fromData > 0)
            std::memcpy(out, m_data.constData() + at, size_t(fromData));
        std::memset(out + fromData, 0, size_t(length - fromData));
        return length;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_size;
};

// The length at which \a data padded with zeros to \a size reads exactly as the
// whole padded buffer does: once the records fit, the text section ends at the
// first zero byte, and one padding zero past both the data and the records is
// enough to end it. A damaged count leaves the full size (the reader refuses it
// before reading anything large).
qint64 effectivePaddedSize(const QByteArray &data, qint64 size)
{
    if (size <= qint64(data.size()))
        return size;
    // The node count, with the bytes past the data read as the zeros they stand for.
    char count[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (TemplateStreamLayout::CountOffset + i < data.size())
            count[i] = data.at(TemplateStreamLayout::CountOffset + i);
    }
    const qint32 n = rightsmith::toolkit::readInt32LE(count);
    const qint64 recordsEnd = TemplateStreamLayout::linesOffset(qMax(n, 0));
    if (n < 0 || recordsEnd > size)
        return size;
    return qMin(size, qMax(qint64(data.size()), recordsEnd) + 1);
}

// "<base>.unreadable-<yyyyMMddThhmmss>", with a counter when that is taken.
QString asideName(const QString &base, const std::function<bool(const QString &)> &taken)
{
    const QString stem =
        base + AsideInfix + QDateTime::currentDateTime().toString(u"yyyyMMdd'T'HHmmss"_s);
    QString name = stem;
    for (int counter = 1; taken(name); ++counter)
        name = stem + u'-' + QString::number(counter);
    return name;
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The whole of \a path when it is a regular file of this account, opened
// without following a link; nothing when it is not, cannot be read or is
// larger than any user template can be.
std::optional<QByteArray> readOwnFile(const QString &path)
{
    const int fd =
        ::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()
        || status.st_size > std::numeric_limits<qint32>::max())
        return std::nullopt;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

// The whole of \a path as readOwnFile() reads it; empty when it cannot.
QByteArray readWholeFile(const QString &path)
{
    return readOwnFile(path).value_or(QByteArray());
}

// Why a user template at \a path is not kept where only its own account can
// change it, or empty: a folder that belongs to another account, or that
// others can write to unless it is sticky and the user's own; a file that is
// a link or another account's. The same rule as OpenSSH's StrictModes.
QString unsafeLocation(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const uid_t user = ::geteuid();
    struct stat status
    {
    };
    // A folder that is not there fails later, with its own reason.
    if (::stat(encoded(folder).constData(), &status) != 0)
        return {};
    if (status.st_uid != user && status.st_uid != 0)
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the folder \"%1\" of the user template belongs to another account, which can "
                   "replace the user template; keep it in a folder of your own")
            .arg(folder);
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0
        && !((status.st_mode & S_ISVTX) != 0 && status.st_uid == user))
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "other accounts can write to the folder \"%1\" of the user template; take their "
                   "write permission away (chmod go-w \"%1\") or keep the user template in a "
                   "folder of your own")
            .arg(folder);
    if (::lstat(encoded(path).constData(), &status) != 0)
        return {};
    if (S_ISLNK(status.st_mode))
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the user template file \"%1\" is a symbolic link; remove the link and put a "
                   "good copy back with \"rightsmith-users restore\"")
            .arg(path);
    if (status.st_uid != user)
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the user template file \"%1\" belongs to another account; remove it and put a "
                   "good copy back with \"rightsmith-users restore\"")
            .arg(path);
    return {};
}

// A name "<path><infix><random>" that no file had, taken by \a make (which
// fails with EEXIST when it is taken); empty with errno set when it fails
// otherwise.
QString takeFreshName(const QString &path, const QString &infix,
                      const std::function<bool(const QByteArray &)> &make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            path + infix + QString::number(QRandomGenerator::system()->generate64(), 36);
        if (make(encoded(name)))
            return name;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

// A copy of \a path kept aside already with the same bytes, or empty.
QString identicalFileAside(const QString &path, const QByteArray &data)
{
    const QFileInfo info(path);
    const QDir dir = info.dir();
    const QStringList names = dir.entryList({info.fileName() + AsideInfix + u'*'},
                                            QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        const QString candidate = dir.filePath(name);
        if (QFileInfo(candidate).size() == data.size() && readWholeFile(candidate) == data)
            return candidate;
    }
    return {};
}

// Keeps a copy of the unreadable user template file \a path aside, written
// exclusively (never through a link) as "<path>.unreadable-<time>". Returns
// the name it is kept under, which may be an identical copy kept earlier;
// empty when there is nothing at \a path. Throws with the reason when it
// cannot be kept.
QString keepFileAside(const QString &path)
{
    if (!pathExists(path))
        return {};
    const std::optional<QByteArray> data = readOwnFile(path);
    if (!data)
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore",
                                        "\"%1\" is not a regular file of this account")
                .arg(path));
    const QString kept = identicalFileAside(path, *data);
    if (!kept.isEmpty())
        return kept;
    for (;;) {
        const QString aside = asideName(path, pathExists);
        const int fd = ::open(encoded(aside).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue; // taken since it was chosen
        if (fd < 0)
            throw rightsmith::toolkit::Error(systemError(errno));
        QFile file;
        file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
        if (file.write(*data) != data->size() || !file.flush() || ::fsync(fd) != 0) {
            const QString reason = file.errorString();
            file.close();
            ::unlink(encoded(aside).constData());
            throw rightsmith::toolkit::Error(reason);
        }
        return aside;
    }
}

// With the trail on, records \a event (a copy kept at \a detail, a restore)
// in the open transaction of \a registry; nothing when \a detail is empty.
void record(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
            AuditEvent event, const QString &detail)
{
    if (!settings.hardening.auditTrail || detail.isEmpty())
        return;
    AuditRecord entry;
    entry.event = event;
    entry.actor = settings.actor;
    entry.detail = detail;
    AuditTrail(registry, settings.key, settings.hardening.auditLimits)
        .append(entry, settings.hardening.now());
}

// The audit records of how \a after differs from the stored template stream
// \a stored, as done by settings.actor. A stored template that cannot be read
// counts as empty.
QList<AuditRecord> changesFrom(const UserStoreSettings &settings, QByteArray stored,
                               const TzkSecurityTemplate &after)
{
    TzkSecurityTemplate before;
    if (!stored.isEmpty()) {
        try {
            QBuffer buffer(&stored);
            buffer.open(QIODevice::ReadOnly);
            before.LoadFromStreamSecurity(buffer);
        } catch (const rightsmith::toolkit::Error &) {
            before.ClearTemplate();
        }
    }
    QList<AuditRecord> records = AuditTrail::changes(before, after);
    for (AuditRecord &entry : records)
        entry.actor = settings.actor;
    return records;
}

// Records in the audit trail how \a after differs from the user template the
// store holds (before it is replaced, in the same transaction).
void recordChanges(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
                   const TzkSecurityTemplate &after)
{
    QByteArray stored;
    if (settings.inFile) {
        const QString path = absoluteFile(settings.fileName);
        if (pathExists(path))
            stored = readWholeFile(path);
    } else if (registry.valueType(UserTemplateValue) == rightsmith::toolkit::Registry::Binary) {
        stored = registry.readBinary(UserTemplateValue).value_or(QByteArray());
    }
    AuditTrail trail(registry, settings.key, settings.hardening.auditLimits);
    const QDateTime now = settings.hardening.now();
    for (const AuditRecord &entry : changesFrom(settings, stored, after))
        trail.append(entry, now);
}

// Copies an unreadable "UserTemplate" value, in whatever type it was stored,
// under a new value name of the open key, unless an identical copy is there.
// Returns the name it is kept under; empty when there is no such value.
QString keepValueAside(rightsmith::toolkit::Registry &registry)
{
    const rightsmith::toolkit::Registry::ValueType type = registry.valueType(UserTemplateValue);
    if (type == rightsmith::toolkit::Registry::None)
        return {};

    auto same = [&registry, type](const QString &name) {
        if (registry.valueType(name) != type)
            return false;
        try {
            switch (type) {
            case rightsmith::toolkit::Registry::Integer:
                return registry.readInteger(name) == registry.readInteger(UserTemplateValue);
            case rightsmith::toolkit::Registry::String:
                return registry.readString(name) == registry.readString(UserTemplateValue);
            default:
                return registry.readBinary(name) == registry.readBinary(UserTemplateValue);
            }
        } catch (const rightsmith::toolkit::Error &) {
            return false;
        }
    };
    for (const QString &name : registry.valueNames()) {
        if (name.startsWith(UserTemplateValue + AsideInfix, Qt::CaseInsensitive) && same(name))
            return name;
    }

    const QString aside = asideName(
        UserTemplateValue, [&registry](const QString &name) { return registry.valueExists(name); });
    switch (type) {
    case rightsmith::toolkit::Registry::Integer:
        registry.writeInteger(aside, registry.readInteger(UserTemplateValue).value_or(0));
        break;
    case rightsmith::toolkit::Registry::String:
        registry.writeString(aside, registry.readString(UserTemplateValue).value_or(QByteArray()));
        break;
    default:
        // A binary value, or one whose stored type is damaged: its payload is
        // reached as binary or not at all, and then there is nothing to keep.
        try {
            registry.writeBinary(aside,
                                 registry.readBinary(UserTemplateValue).value_or(QByteArray()));
        } catch (const rightsmith::toolkit::Error &) {
            if (type == rightsmith::toolkit::Registry::Binary)
                throw;
            return {};
        }
        break;
    }
    return aside;
}

// Opens the store's key; the registry throws naming the database and the reason.
std::unique_ptr<rightsmith::toolkit::Registry>
openRegistry(const UserStoreSettings &settings, rightsmith::toolkit::Registry::Access access)
{
    return std::make_unique<rightsmith::toolkit::Registry>(databasePath(settings), access);
}

QString saveFailureMessage(const UserStoreSettings &settings, const QString &reason)
{
    // What a shared store refused is not kept: the users are read again.
    if (settings.isShared())
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "The users could not be saved: %1\nStore: %2.\nYour changes were not saved.")
            .arg(reason, UserStore::location(settings));
    return QCoreApplication::translate(
               "zkSecurity::UserStore",
               "The users could not be saved: %1\nStore: %2.\nChanges made since the last save "
               "stay in effect until the program ends.")
        .arg(reason, UserStore::location(settings));
}

// The digest a save records for its file: BLAKE2b, 64 bytes, several times
// faster than SHA-256 over a large user template.
QByteArray digestOf(const QByteArray &bytes)
{
    rightsmith::toolkit::useSodium();
    QByteArray digest(crypto_generichash_BYTES_MAX, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char *>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()),
                       quint64(bytes.size()), nullptr, 0);
    return digest;
}

// Whether \a bytes have the recorded \a digest; one of 32 bytes is a SHA-256
// digest, as earlier versions recorded it.
bool matchesDigest(const QByteArray &bytes, const QByteArray &digest)
{
    if (digest.size() == 32)
        return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) == digest;
    return digestOf(bytes) == digest;
}

// The digest recorded under \a recordKey as \a name (a file's absolute path,
// or a store key); the open key is \a storeKey again afterwards.
std::optional<QByteArray> recordedDigest(rightsmith::toolkit::Registry &registry,
                                         const QString &recordKey, const QString &name,
                                         const QString &storeKey)
{
    std::optional<QByteArray> digest;
    if (registry.openKey(recordKey, false)
        && registry.valueType(name) == rightsmith::toolkit::Registry::Binary)
        digest = registry.readBinary(name);
    // From the root, as the store key was opened: it may be written without
    // its leading backslash.
    registry.closeKey();
    registry.openKey(storeKey, false);
    return digest;
}

// Records \a digest under \a recordKey as \a name (none: deletes it); the open
// key is \a storeKey again afterwards. Throws when it cannot be written.
void recordDigest(rightsmith::toolkit::Registry &registry, const QString &recordKey,
                  const QString &name, const std::optional<QByteArray> &digest,
                  const QString &storeKey)
{
    if (digest) {
        registry.openKey(recordKey, true);
        registry.writeBinary(name, *digest);
    } else if (registry.openKey(recordKey, false)) {
        registry.deleteValue(name);
    }
    registry.closeKey();
    if (!registry.openKey(storeKey, false))
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore", "the key cannot be opened"));
}

// The name of the record of the file \a path. Value names ignore the letter
// case of ASCII letters, file names do not: each capital is written as "^"
// and its small letter, and "^" as "^^", so that no two files share a record.
// A name without capitals or "^" is its own record.
QString fileRecordName(const QString &path)
{
    QString name;
    name.reserve(path.size());
    for (const QChar c : path) {
        if (c == u'^')
            name += u"^^"_s;
        else if (c >= u'A' && c <= u'Z')
            name += u'^' + c.toLower();
        else
            name += c;
    }
    return name;
}

// The digest of the committed save of the file \a path; earlier versions
// recorded it under the plain path.
std::optional<QByteArray> committedDigest(rightsmith::toolkit::Registry &registry,
                                          const QString &path, const QString &storeKey)
{
    const QString name = fileRecordName(path);
    std::optional<QByteArray> digest = recordedDigest(registry, FileDigestKey, name, storeKey);
    if (!digest && name != path)
        digest = recordedDigest(registry, FileDigestKey, path, storeKey);
    return digest;
}

// The store key as the records of "UserTemplate" values name it.
QString valueRecordName(const rightsmith::toolkit::Registry &registry)
{
    return registry.currentKey();
}

// Makes the directory entries of the folder of \a path durable.
void syncFolder(const QString &path)
{
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A file a save of this account left beside the user template: staged
// ("<name>.saving..."), or the file a save replaced ("<name>.previous-...").
// Only regular files of this account count; a link never does.
struct Leftover
{
    QString path;
    bool staged = false;
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
};

QList<Leftover> leftoversBeside(const QString &path)
{
    const QFileInfo info(path);
    const QString base = info.fileName();
    QList<Leftover> found;
    const QDir folder = info.dir();
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const bool staged = name.startsWith(base + SavingInfix);
        if (!staged && !name.startsWith(base + PreviousInfix))
            continue;
        const QString candidate = folder.filePath(name);
        struct stat status
        {
        };
        if (::lstat(encoded(candidate).constData(), &status) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid())
            continue;
        found.append({candidate, staged, status.st_dev, status.st_ino, qint64(status.st_size)});
    }
    return found;
}

// The "UserTemplateSize" the open key holds, if any.
std::optional<qint64> committedSize(rightsmith::toolkit::Registry &registry)
{
    if (registry.valueType(UserTemplateSizeValue) != rightsmith::toolkit::Registry::Integer)
        return std::nullopt;
    return registry.readInteger(UserTemplateSizeValue);
}

// Where the committed save of the user template file \a path is, after a
// save that stopped anywhere: the file in place when it has the committed
// \a digest, otherwise a file a save of this account left beside it that
// has. Without a digest, a file that a save put in place without committing
// (it still has its staged name) gives way to the one it replaced; so does,
// in a folder without links (where nothing marks it), a file in place that
// is missing or not of the committed \a size, to a replaced one that is. With
// \a locked (the store's write lock held) that file is put back in place and
// what saves left behind is removed. \a data gets the bytes when they were
// read and matched the digest.
QString settleFile(const QString &path, const std::optional<QByteArray> &digest,
                   const std::optional<qint64> &size, bool locked,
                   std::optional<QByteArray> *data = nullptr)
{
    const QList<Leftover> left = leftoversBeside(path);
    // Nothing left beside it: the file in place is all there is. Only a
    // caller that wants the bytes verified has them read.
    if (left.isEmpty() && !data)
        return path;
    struct stat status
    {
    };
    const bool present = ::lstat(encoded(path).constData(), &status) == 0;
    QString from = path;
    std::optional<QByteArray> verified;
    if (digest) {
        verified = readOwnFile(path);
        if (!verified || !matchesDigest(*verified, *digest)) {
            verified.reset();
            for (const Leftover &leftover : left) {
                std::optional<QByteArray> bytes = readOwnFile(leftover.path);
                if (bytes && matchesDigest(*bytes, *digest)) {
                    from = leftover.path;
                    verified = std::move(bytes);
                    break;
                }
            }
        }
    } else {
        const bool uncommitted =
            present && std::any_of(left.cbegin(), left.cend(), [&](const Leftover &l) {
                return l.staged && l.device == status.st_dev && l.inode == status.st_ino;
            });
        const auto previous =
            std::find_if(left.cbegin(), left.cend(), [](const Leftover &l) { return !l.staged; });
        if (uncommitted) {
            from = previous != left.cend() ? previous->path : QString();
        } else if (previous != left.cend() && size && previous->size == *size
                   && (!present || status.st_size != *size)) {
            from = previous->path;
        }
    }
    if (data)
        *data = verified;
    if (!locked)
        return from;
    if (from != path) {
        const int done = from.isEmpty()
            ? ::unlink(encoded(path).constData())
            : ::rename(encoded(from).constData(), encoded(path).constData());
        if (done != 0) {
            qCWarning(lcStore, "%ls: the last save could not be put in place: %s",
                      qUtf16Printable(path), std::strerror(errno));
            return from;
        }
        syncFolder(path);
        qCInfo(lcStore, "%ls: put back the last committed save", qUtf16Printable(path));
        from = path;
    }
    // Once the committed file is in place, whatever saves left is of no use.
    if (!digest || verified) {
        for (const Leftover &leftover : left) {
            if (leftover.path != from)
                ::unlink(encoded(leftover.path).constData());
        }
    }
    return from;
}

// The new file of a file-mode save, from its staging to the commit: written
// whole under a name of its own, created exclusively and never through a
// link; put in place under the store's write lock just before the commit,
// with the file it replaces kept under a name of its own. The staged name
// stays on the new file until the commit: a load that finds it there knows
// the file in place was not committed. Undone unless committed.
class StagedFile
{
public:
    // Errors name \a fileName, the file the user knows.
    StagedFile(const QString &path, const std::function<void(QIODevice &)> &write,
               const QString &fileName)
        : m_path(path)
    {
        auto cannotCreate = [&fileName](const QString &reason) {
            return rightsmith::toolkit::Error(
                QCoreApplication::translate("zkSecurity::UserStore", "Cannot create file %1\n%2")
                    .arg(fileName, reason));
        };
        int fd = -1;
        m_staged = takeFreshName(path, SavingInfix + u'-', [&fd](const QByteArray &name) {
            fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
            return fd >= 0;
        });
        if (m_staged.isEmpty())
            throw cannotCreate(systemError(errno));
        // The constructor's own failures remove it: no destructor runs then.
        auto removeStaged = qScopeGuard([this] { ::unlink(encoded(m_staged).constData()); });
        QFile file;
        file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
        DigestingWriter digesting(file);
        try {
            write(digesting);
        } catch (const rightsmith::toolkit::Error &) {
            throw rightsmith::toolkit::Error(
                QCoreApplication::translate("zkSecurity::UserStore", "Stream write error\n%1: %2")
                    .arg(fileName, file.errorString()));
        }
        // Synced while the pieces still waiting are hashed.
        const bool flushed = file.flush() && ::fsync(fd) == 0;
        m_digest = digesting.digest();
        m_size = digesting.written();
        if (!flushed)
            throw cannotCreate(file.errorString());
        removeStaged.dismiss();
    }
    ~StagedFile()
    {
        if (m_committed) {
            // After the commit nobody else needs either name.
            ::unlink(encoded(m_staged).constData());
            if (!m_previous.isEmpty())
                ::unlink(encoded(m_previous).constData());
            return;
        }
        if (m_inPlace) {
            const int undone = m_previous.isEmpty()
                ? ::unlink(encoded(m_path).constData())
                : ::rename(encoded(m_previous).constData(), encoded(m_path).constData());
            if (undone != 0) // the next load puts it back
                qCWarning(lcStore, "%ls not put back: %s", qUtf16Printable(m_path),
                          std::strerror(errno));
        }
        if (!m_staged.isEmpty())
            ::unlink(encoded(m_staged).constData());
    }
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    QByteArray digest() const { return m_digest; }
    qint64 size() const { return m_size; }

    // Puts the new file in place; throws with the reason.
    void putInPlace()
    {
        const QByteArray path = encoded(m_path);
        struct stat status
        {
        };
        if (::lstat(path.constData(), &status) == 0) {
            // Linked, not moved: the name never stands empty. A folder
            // without links moves it instead.
            m_previous = takeFreshName(m_path, PreviousInfix, [&path](const QByteArray &name) {
                return ::link(path.constData(), name.constData()) == 0;
            });
            if (m_previous.isEmpty() && errno != EEXIST) {
                m_previous = takeFreshName(m_path, PreviousInfix, [&path](const QByteArray &name) {
                    return ::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, name.constData(),
                                       RENAME_NOREPLACE)
                        == 0;
                });
            }
            if (m_previous.isEmpty())
                throw rightsmith::toolkit::Error(systemError(errno));
        }
        // A second name of the staged file goes over the old one; the first
        // stays. Without links it goes itself, and marks nothing.
        QString second = takeFreshName(m_path, SavingInfix + u'-', [this](const QByteArray &name) {
            return ::link(encoded(m_staged).constData(), name.constData()) == 0;
        });
        const bool marked = !second.isEmpty();
        if (!marked)
            second = m_staged;
        m_inPlace = true;
        if (::rename(encoded(second).constData(), path.constData()) != 0) {
            const int error = errno;
            if (marked)
                ::unlink(encoded(second).constData());
            if (!m_previous.isEmpty() && ::lstat(path.constData(), &status) != 0) {
                ::rename(encoded(m_previous).constData(), path.constData());
                m_previous.clear();
            }
            m_inPlace = false;
            throw rightsmith::toolkit::Error(systemError(error));
        }
        if (!marked)
            m_staged.clear();
        syncFolder(m_path);
    }
    void committed() { m_committed = true; }

private:
    QString m_path;
    QString m_staged;
    QString m_previous;
    QByteArray m_digest;
    qint64 m_size = 0;
    bool m_inPlace = false;
    bool m_committed = false;
};

// A failed write of a value whose failure does not fail the save.
void writeQuietly(const QString &name, const std::function<void()> &write)
{
    try {
        write();
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls not written: %ls", qUtf16Printable(name),
                  qUtf16Printable(error.message()));
    }
}

// Writes the recent users and (with storePassword) the remembered password
// to the open key, or deletes it when passwords are hashed: none is
// remembered then. Failures are logged, not reported.
void writeLocalValues(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
                      const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword)
{
    QByteArray lastUsersText;
    for (const QByteArray &name : lastUsers)
        lastUsersText += name + QByteArrayLiteral("\r\n");
    writeQuietly(LastUsersValue, [&] {
        registry.writeBinary(LastUsersValue, lastUsersText);
        registry.writeInteger(LastUsersSizeValue, qint32(lastUsersText.size()));
    });
    if (settings.storePassword && settings.hardening.hashPasswords)
        writeQuietly(PasswordValue, [&] { registry.deleteValue(PasswordValue); });
    else if (settings.storePassword)
        writeQuietly(PasswordValue,
                     [&] { registry.writeString(PasswordValue, scrambledPassword); });
}

// Keeps \a bytes, the shared store's user template at \a version, as the
// workstation's copy in the open key.
void writeSharedCopy(rightsmith::toolkit::Registry &registry, const QByteArray &bytes,
                     qint64 version)
{
    writeQuietly(SharedUserTemplateValue, [&] {
        registry.writeBinary(SharedUserTemplateValue, bytes);
        registry.writeString(SharedUserTemplateVersionValue, QByteArray::number(version));
    });
}

// Reads the recent users of the open key; false when their size is not
// stored. A value of the wrong type throws, naming the registry and the key.
bool readLastUsers(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
                   QList<QByteArray> &lastUsers)
{
    try {
        if (registry.valueType(LastUsersSizeValue) != rightsmith::toolkit::Registry::Integer)
            return false;
        const qint64 lastUsersSize = registry.readInteger(LastUsersSizeValue).value_or(0);
        const rightsmith::toolkit::Registry::ValueType lastUsersType =
            registry.valueType(LastUsersValue);
        if (lastUsersType != rightsmith::toolkit::Registry::None) {
            if (lastUsersType != rightsmith::toolkit::Registry::Binary
                || registry.valueSize(LastUsersValue) > lastUsersSize)
                throwInvalidDataType(LastUsersValue);
            const QByteArray text =
                registry.readBinary(LastUsersValue, lastUsersSize).value_or(QByteArray());
            if (text.size() == lastUsersSize)
                lastUsers = rightsmith::toolkit::splitTextLines(text);
        } else if (lastUsersSize == 0) {
            // A missing value reads no bytes, which is all of a size of zero.
            lastUsers.clear();
        }
    } catch (const rightsmith::toolkit::Error &error) {
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore",
                                        "%1\n(read from the registry database \"%2\", key \"%3\")")
                .arg(error.message(), databasePath(settings), settings.key));
    }
    return true;
}

} // namespace

UserStore::UserStore(rightsmith::toolkit::Registry::Access access)
    : m_access(access)
{
}

QString UserStore::location(const UserStoreSettings &settings)
{
    if (settings.isShared() && settings.sharedAddress.isEmpty()) {
        // The address was refused: the problem says why and where it came from.
        return QCoreApplication::translate("zkSecurity::UserStore",
                                           "the shared user store (key \"%1\")")
            .arg(settings.key);
    }
    if (settings.isShared()) {
        return QCoreApplication::translate("zkSecurity::UserStore",
                                           "the shared user store \"%1\" (key \"%2\")")
            .arg(SharedStore::displayAddress(settings.sharedAddress), settings.key);
    }
    if (settings.inFile) {
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "the user template file \"%1\" and the registry database \"%2\" (key \"%3\")")
            .arg(absoluteFile(settings.fileName), databasePath(settings), settings.key);
    }
    return QCoreApplication::translate(
               "zkSecurity::UserStore",
               "the value \"%1\" in the registry database \"%2\" (key \"%3\")")
        .arg(UserTemplateValue, databasePath(settings), settings.key);
}

bool UserStore::isCompleteStream(const QByteArray &data)
{
    try {
        TzkSecurityTemplate tmpl;
        QBuffer in;
        in.setData(data);
        in.open(QIODevice::ReadOnly);
        tmpl.LoadFromStreamSecurity(in);
        QBuffer out;
        out.open(QIODevice::ReadWrite);
        tmpl.SaveToStreamSecurity(out);
        return out.data() == data;
    } catch (const rightsmith::toolkit::Error &) {
        return false;
    }
}

bool UserStore::unreadable(const QString &problem)
{
    m_state = State::Unreadable;
    m_problem = problem;
    return false;
}

namespace {

// The template stream of \a userTemplate, as a save writes it.
QByteArray streamOf(TzkSecurityTemplate &userTemplate)
{
    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    userTemplate.SaveToStreamSecurity(stream);
    return stream.data();
}

} // namespace

void UserStore::noteStored(const UserStoreSettings &settings,
                           const TzkSecurityTemplate &userTemplate, qint64 size,
                           const QByteArray &bytes, bool asSaved)
{
    // The hash is compared only for bytes that were read, never for a save's.
    m_stored = {&userTemplate,
                userTemplate.generation(),
                location(settings),
                size,
                asSaved ? 0 : qHashBits(bytes.constData(), size_t(bytes.size())),
                asSaved};
}

bool UserStore::holdsAsStored(const TzkSecurityTemplate &userTemplate) const
{
    return m_stored.tree == &userTemplate && m_stored.generation == userTemplate.generation();
}

// Whether the store still holds the user template this store last read or
// wrote, at the size it had then. Read bytes count only when a save would
// write them alike; \a bytes then holds what it would write.
bool UserStore::stillStored(const UserStoreSettings &settings,
                            rightsmith::toolkit::Registry &registry,
                            TzkSecurityTemplate &userTemplate, QByteArray &bytes) const
{
    if (registry.valueType(UserTemplateSizeValue) != rightsmith::toolkit::Registry::Integer
        || registry.readInteger(UserTemplateSizeValue).value_or(-1) != m_stored.size)
        return false;
    if (settings.inFile) {
        const QFileInfo file(absoluteFile(settings.fileName));
        if (!file.isFile() || file.size() != m_stored.size)
            return false;
    } else if (registry.valueType(UserTemplateValue) != rightsmith::toolkit::Registry::Binary
               || registry.valueSize(UserTemplateValue) != m_stored.size) {
        return false;
    }
    if (m_stored.asSaved)
        return true;
    bytes = streamOf(userTemplate);
    return bytes.size() == m_stored.size
        && qHashBits(bytes.constData(), size_t(bytes.size())) == m_stored.hash;
}

UserStore::Mark UserStore::markOf(const UserStoreSettings &settings,
                                  rightsmith::toolkit::Registry &registry) const
{
    Mark mark;
    mark.location = location(settings);
    if (registry.valueType(UserTemplateSizeValue) == rightsmith::toolkit::Registry::Integer)
        mark.size = registry.readInteger(UserTemplateSizeValue).value_or(-1);
    // A digest recorded for a user template that is gone names no save.
    if (settings.inFile) {
        const QString path = absoluteFile(settings.fileName);
        if (!pathExists(path))
            return mark;
        if (const auto recorded = committedDigest(registry, path, settings.key))
            mark.digest = *recorded;
        else
            mark.digest = digestOf(readWholeFile(path));
    } else {
        if (registry.valueType(UserTemplateValue) == rightsmith::toolkit::Registry::None)
            return mark;
        const QString name = valueRecordName(registry);
        if (const auto recorded = recordedDigest(registry, ValueDigestKey, name, settings.key))
            mark.digest = *recorded;
        else if (registry.valueType(UserTemplateValue) == rightsmith::toolkit::Registry::Binary)
            mark.digest = digestOf(registry.readBinary(UserTemplateValue).value_or(QByteArray()));
    }
    return mark;
}

// Notes which save a load read: the stored user template with the digest
// \a stored (none: nothing was stored), whose recorded digest was
// \a recorded. A recorded digest the stored bytes do not have was left behind
// by a program that does not keep one: it is dropped, so that the next save
// compares what is really there.
void UserStore::noteRead(const UserStoreSettings &settings, rightsmith::toolkit::Registry &registry,
                         const std::optional<QByteArray> &stored,
                         std::optional<QByteArray> recorded)
{
    if (recorded && recorded != stored) {
        if (m_writeLocked && !settings.inFile) {
            try {
                recordDigest(registry, ValueDigestKey, valueRecordName(registry), std::nullopt,
                             settings.key);
            } catch (const rightsmith::toolkit::Error &error) {
                qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            }
        }
        recorded.reset();
    }
    m_read.location = location(settings);
    m_read.digest = stored.value_or(QByteArray());
    m_read.size = -1;
    if (registry.valueType(UserTemplateSizeValue) == rightsmith::toolkit::Registry::Integer)
        m_read.size = registry.readInteger(UserTemplateSizeValue).value_or(-1);
    m_tracking = true;
}

namespace {

QString changedElsewhereMessage()
{
    // The shared store's message, told of another program on this computer.
    return QCoreApplication::translate(
        "zkSecurity::UserStore",
        "The users were changed by another program since this dialog was opened; your changes "
        "were not saved. Open the dialog again to see the current users.");
}

} // namespace

bool UserStore::save(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                     const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword,
                     ConflictMessage conflict)
{
    m_changedElsewhere = false;
    if (settings.isShared())
        return saveShared(settings, userTemplate, lastUsers, scrambledPassword);
    // The write lock comes first: until it is held nothing is replaced, and a
    // store that cannot be written is found out before anything is destroyed.
    std::unique_ptr<rightsmith::toolkit::Registry> registry;
    std::unique_ptr<rightsmith::toolkit::RegistryTransaction> transaction;
    try {
        registry = openRegistry(settings, rightsmith::toolkit::Registry::ReadWrite);
        transaction = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
            *registry, rightsmith::toolkit::Registry::WriteTransaction);
        if (!registry->openKey(settings.key, true))
            throw rightsmith::toolkit::Error(
                QCoreApplication::translate("zkSecurity::UserStore", "the key cannot be created"));
    } catch (const rightsmith::toolkit::Error &error) {
        rightsmith::toolkit::showMessage(saveFailureMessage(settings, error.message()));
        return false;
    }

    // The save is undone before the message, which waits for the user: other
    // programs can use the store meanwhile.
    auto failed = [&settings, &transaction](const QString &reason) {
        transaction.reset();
        rightsmith::toolkit::showMessage(saveFailureMessage(settings, reason));
        return false;
    };

    const QString path = settings.inFile ? absoluteFile(settings.fileName) : QString();
    if (settings.inFile) {
        // Nothing is written where another account could swap the file.
        const QString unsafe = unsafeLocation(path);
        if (!unsafe.isEmpty())
            throw rightsmith::toolkit::Error(
                QCoreApplication::translate("zkSecurity::UserStore", "Cannot create file %1\n%2")
                    .arg(settings.fileName, unsafe));
        // A save stopped anywhere before is settled first: what it left may
        // still be the committed file.
        try {
            settleFile(path, committedDigest(*registry, path, settings.key),
                       committedSize(*registry), true);
        } catch (const rightsmith::toolkit::Error &error) {
            return failed(error.message());
        }
    }

    const QString where = location(settings);
    const bool sameTree = holdsAsStored(userTemplate) && m_stored.location == where
        && m_unreadableFile.isEmpty() && m_unreadableKey.isEmpty();
    // Another program's save since this store read its own is never undone.
    if (m_tracking && m_read.location == where) {
        try {
            m_changedElsewhere = !(markOf(settings, *registry) == m_read);
        } catch (const rightsmith::toolkit::Error &error) {
            return failed(error.message());
        }
    }
    if (m_changedElsewhere && !sameTree) {
        writeLocalValues(settings, *registry, lastUsers, scrambledPassword);
        try {
            transaction->commit();
        } catch (const rightsmith::toolkit::Error &error) {
            qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
        }
        if (conflict == ConflictMessage::Shown)
            rightsmith::toolkit::showMessage(changedElsewhereMessage());
        return false;
    }

    // The registry takes the stream as one value; a file is written from
    // the tree in pieces, unless the stream is at hand already.
    QByteArray bytes;
    const bool unchanged =
        sameTree && (m_changedElsewhere || stillStored(settings, *registry, userTemplate, bytes));
    if (!unchanged && !settings.inFile && bytes.isNull())
        bytes = streamOf(userTemplate);
    // What the store holds once this save is committed.
    qint64 size = bytes.size();
    QByteArray digest;
    std::future<QByteArray> hashing;

    if (!unchanged && settings.hardening.auditTrail) {
        try {
            recordChanges(settings, *registry, userTemplate);
        } catch (const rightsmith::toolkit::Error &error) {
            return failed(error.message());
        }
    }

    if (unchanged) {
        // Only the recent users and the password below are written.
    } else if (settings.inFile) {
        // The name is stored for reference as an 8-bit string; refuse a name the
        // code page cannot hold before anything is written.
        const QByteArray storedName =
            rightsmith::toolkit::Codec::fromUnicodeChecked(settings.fileName);
        registry->writeString(UserTemplateFileNameValue, storedName);
    } else {
        try {
            if (!m_unreadableKey.isEmpty()
                && m_unreadableKey.compare(settings.key, Qt::CaseInsensitive) == 0) {
                record(settings, *registry, AuditEvent::StoreKeptAside, keepValueAside(*registry));
            }
            // Hashed while the value is written.
            hashing = std::async(std::launch::async, [&bytes] { return digestOf(bytes); });
            registry->writeBinary(UserTemplateValue, bytes);
        } catch (const rightsmith::toolkit::Error &error) {
            qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            transaction.reset();
            rightsmith::toolkit::showMessage(registryWriteMessage());
            return false;
        }
    }

    try {
        if (!unchanged && !settings.inFile) {
            registry->writeInteger(UserTemplateSizeValue, qint32(bytes.size()));
            digest = hashing.get();
            recordDigest(*registry, ValueDigestKey, valueRecordName(*registry), digest,
                         settings.key);
        }
    } catch (const rightsmith::toolkit::Error &error) {
        return failed(error.message());
    }

    writeLocalValues(settings, *registry, lastUsers, scrambledPassword);

    std::unique_ptr<StagedFile> staged;
    if (settings.inFile && !unchanged) {
        // Like the file name, a file that cannot be written is an error for
        // the caller.
        staged = bytes.isNull()
            ? std::make_unique<StagedFile>(
                path, [&userTemplate](QIODevice &file) { userTemplate.SaveToStreamSecurity(file); },
                settings.fileName)
            : std::make_unique<StagedFile>(
                path,
                [&bytes](QIODevice &file) {
                    rightsmith::toolkit::ByteWriter(file).writeBytes(bytes);
                },
                settings.fileName);
        size = staged->size();
        digest = staged->digest();
        // Its digest and size go with it, in the same transaction.
        try {
            recordDigest(*registry, FileDigestKey, fileRecordName(path), digest, settings.key);
            registry->writeInteger(UserTemplateSizeValue, qint32(size));
        } catch (const rightsmith::toolkit::Error &error) {
            return failed(error.message());
        }
        // A user template the last load could not read must not be replaced by
        // what the program made up instead: a copy is kept aside first.
        if (!m_unreadableFile.isEmpty() && m_unreadableFile == path) {
            try {
                record(settings, *registry, AuditEvent::StoreKeptAside, keepFileAside(path));
            } catch (const rightsmith::toolkit::Error &error) {
                throw rightsmith::toolkit::Error(
                    QCoreApplication::translate(
                        "zkSecurity::UserStore",
                        "Cannot create file %1\nThe unreadable user template could not be kept "
                        "aside: %2")
                        .arg(settings.fileName, error.message()));
            }
        }
        // In place while the lock is held, so that no other save's file ever
        // is; until the commit, what it replaced is kept.
        try {
            staged->putInPlace();
        } catch (const rightsmith::toolkit::Error &error) {
            throw rightsmith::toolkit::Error(
                QCoreApplication::translate("zkSecurity::UserStore", "Cannot create file %1\n%2")
                    .arg(settings.fileName, error.message()));
        }
    }

    try {
        transaction->commit();
    } catch (const rightsmith::toolkit::Error &error) {
        staged.reset();
        return failed(error.message());
    }
    if (staged)
        staged->committed();
    m_unreadableFile.clear();
    m_unreadableKey.clear();
    if (!unchanged) {
        noteStored(settings, userTemplate, size, bytes, true);
        if (m_tracking)
            m_read = {where, digest, size};
    } else if (!m_changedElsewhere) {
        m_stored.asSaved = true; // what is stored is what a save writes
    }
    return true;
}

bool UserStore::load(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                     QList<QByteArray> &lastUsers, QByteArray &scrambledPassword)
{
    scrambledPassword.clear();
    m_state = State::NotLoaded;
    m_problem.clear();
    m_unreadableFile.clear();
    m_unreadableKey.clear();
    m_readOnly = false;
    m_sharedVersion = 0;
    m_tracking = false;
    m_changedElsewhere = false;
    m_writeLocked = false;
    if (settings.isShared())
        return loadShared(settings, userTemplate, lastUsers, scrambledPassword);
    const bool writable = m_access == rightsmith::toolkit::Registry::ReadWrite;

    // Read-only, a database that is not there holds nothing: as on a first start.
    if (!writable && !pathExists(databasePath(settings))) {
        if (settings.inFile && pathExists(settings.fileName))
            return unreadable(
                QCoreApplication::translate("zkSecurity::UserStore",
                                            "\"%1\" is missing, but the user template is there")
                    .arg(UserTemplateSizeValue));
        m_state = State::NeverWritten;
        return false;
    }
    std::unique_ptr<rightsmith::toolkit::Registry> registry;
    std::unique_ptr<rightsmith::toolkit::RegistryTransaction> transaction;
    try {
        registry = openRegistry(settings, m_access);
        // The write lock keeps saves out while the size, the template and the
        // file are read; a store that cannot be written is still read.
        if (writable) {
            try {
                transaction = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
                    *registry, rightsmith::toolkit::Registry::WriteTransaction);
                m_writeLocked = true;
            } catch (const rightsmith::toolkit::Error &error) {
                qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            }
        }
        if (!transaction) {
            transaction = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
                *registry, rightsmith::toolkit::Registry::ReadTransaction);
        }
        if (!registry->openKey(settings.key, writable)) {
            if (writable)
                return unreadable(QCoreApplication::translate("zkSecurity::UserStore",
                                                              "the key cannot be opened"));
            m_state = State::NeverWritten;
            return false;
        }
    } catch (const rightsmith::toolkit::Error &error) {
        // Nobody can tell whether users are stored there: the door stays shut.
        return unreadable(error.message());
    }

    // Until the user template has been read, whatever stands where it is kept
    // is kept aside by the next save rather than overwritten.
    if (settings.inFile)
        m_unreadableFile = absoluteFile(settings.fileName);
    else
        m_unreadableKey = settings.key;

    // Ends the transaction on every way out but an exception, which rolls it
    // back; what is committed is the key, when it was created.
    const auto finish = [&](bool result) {
        try {
            transaction->commit();
        } catch (const rightsmith::toolkit::Error &error) {
            qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
        }
        return result;
    };

    try {
        bool loaded = loadUserTemplate(settings, *registry, userTemplate, scrambledPassword);
        // Without the write lock, a save that committed and removed what it
        // replaced between reading the digest and the file makes the file
        // look foreign: it is read again, from a newer snapshot.
        for (int again = 0; !loaded && m_readRaced && again < 3; ++again) {
            transaction->commit();
            transaction.reset();
            transaction = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
                *registry, rightsmith::toolkit::Registry::ReadTransaction);
            if (!registry->openKey(settings.key, false))
                return finish(false);
            m_state = State::NotLoaded;
            m_problem.clear();
            loaded = loadUserTemplate(settings, *registry, userTemplate, scrambledPassword);
        }
        if (!loaded)
            return finish(false);
    } catch (const rightsmith::toolkit::Error &error) {
        userTemplate.ClearTemplate();
        if (m_state != State::Unreadable)
            unreadable(error.message());
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore", "%1\n(read from %2)")
                .arg(error.message(), location(settings)));
    }
    m_state = State::Loaded;
    m_unreadableFile.clear();
    m_unreadableKey.clear();

    const bool read = readLastUsers(settings, *registry, lastUsers);
    return finish(read);
}

// The user template and its size; false (with the state set) when they cannot
// be read, true when the user template was loaded.
bool UserStore::loadUserTemplate(const UserStoreSettings &settings,
                                 rightsmith::toolkit::Registry &registry,
                                 TzkSecurityTemplate &userTemplate, QByteArray &scrambledPassword)
{
    // In file mode the committed save is found first, wherever a save
    // stopped anywhere left it; nothing else is read.
    std::optional<QByteArray> recorded;
    std::optional<QByteArray> verified;
    QString fileName;
    m_readRaced = false;
    if (settings.inFile) {
        const QString path = absoluteFile(settings.fileName);
        const QString unsafe = unsafeLocation(path);
        if (!unsafe.isEmpty())
            return unreadable(unsafe);
        recorded = committedDigest(registry, path, settings.key);
        fileName = settleFile(path, recorded, committedSize(registry), m_writeLocked, &verified);
    }

    const rightsmith::toolkit::Registry::ValueType sizeType =
        registry.valueType(UserTemplateSizeValue);
    if (sizeType == rightsmith::toolkit::Registry::None) {
        // No size: a first start, unless a user template is there all the same.
        const bool templateThere = settings.inFile
            ? !fileName.isEmpty() && pathExists(fileName)
            : registry.valueType(UserTemplateValue) != rightsmith::toolkit::Registry::None;
        if (!templateThere) {
            m_state = State::NeverWritten;
            m_unreadableFile.clear();
            m_unreadableKey.clear();
            noteRead(settings, registry, std::nullopt, std::nullopt);
            return false;
        }
        return unreadable(
            QCoreApplication::translate("zkSecurity::UserStore",
                                        "\"%1\" is missing, but the user template is there")
                .arg(UserTemplateSizeValue));
    }
    if (sizeType != rightsmith::toolkit::Registry::Integer)
        return unreadable(
            QCoreApplication::translate("zkSecurity::UserStore", "\"%1\" is not a 32-bit integer")
                .arg(UserTemplateSizeValue));
    const qint64 size = registry.readInteger(UserTemplateSizeValue).value_or(0);

    if (settings.storePassword && !settings.hardening.hashPasswords
        && registry.valueType(PasswordValue) == rightsmith::toolkit::Registry::String)
        scrambledPassword = registry.readString(PasswordValue).value_or(QByteArray());

    if (size < 0)
        return unreadable(
            QCoreApplication::translate("zkSecurity::UserStore", "\"%1\" is negative (%2)")
                .arg(UserTemplateSizeValue)
                .arg(size));

    // No buffer of "UserTemplateSize" bytes is ever made: the size is checked
    // against what the file or the value really holds first.
    std::unique_ptr<QIODevice> stream;
    QByteArray stored;
    std::optional<QByteArray> storedDigest;
    std::future<QByteArray> hashing;
    if (settings.inFile) {
        QByteArray data;
        if (verified) {
            data = *verified;
        } else if (recorded && pathExists(fileName)) {
            m_readRaced = !m_writeLocked;
            return unreadable(QCoreApplication::translate(
                "zkSecurity::UserStore",
                "the user template file is not the one its last save stored (its digest differs)"));
        } else if (fileName.isEmpty() || !pathExists(fileName)) {
            m_readRaced = recorded && !m_writeLocked;
            if (size != 0 || recorded)
                return unreadable(QCoreApplication::translate("zkSecurity::UserStore",
                                                              "the user template file is missing"));
        } else {
            QFile file;
            const int fd = ::open(encoded(fileName).constData(),
                                  O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
            struct stat status
            {
            };
            if (fd < 0 || ::fstat(fd, &status) != 0) {
                const QString reason = systemError(errno);
                if (fd >= 0)
                    ::close(fd);
                if (size != 0)
                    return unreadable(
                        QCoreApplication::translate("zkSecurity::UserStore",
                                                    "the user template file cannot be read: %1")
                            .arg(reason));
            } else if (!S_ISREG(status.st_mode)) {
                ::close(fd);
                // A device or a pipe would never end or never report its length.
                return unreadable(QCoreApplication::translate(
                    "zkSecurity::UserStore", "the user template file is not a regular file"));
            } else if (status.st_uid != ::geteuid()) {
                ::close(fd);
                // Put there since the location was checked.
                return unreadable(
                    QCoreApplication::translate(
                        "zkSecurity::UserStore",
                        "the user template file \"%1\" belongs to another account; remove it and "
                        "put a good copy back with \"rightsmith-users restore\"")
                        .arg(fileName));
            } else if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
                ::close(fd);
                return unreadable(
                    QCoreApplication::translate("zkSecurity::UserStore",
                                                "the user template file cannot be read: %1")
                        .arg(file.errorString()));
            } else if (status.st_size != size) {
                // A file of another length is no save this store committed.
                return unreadable(QCoreApplication::translate(
                                      "zkSecurity::UserStore",
                                      "the user template file holds %1 bytes, \"%2\" says %3")
                                      .arg(qint64(status.st_size))
                                      .arg(UserTemplateSizeValue)
                                      .arg(size));
            } else {
                data = file.readAll();
            }
        }
        // The committed save's size goes with it.
        if (verified && data.size() != size)
            return unreadable(
                QCoreApplication::translate("zkSecurity::UserStore",
                                            "the user template file holds %1 bytes, \"%2\" says %3")
                    .arg(data.size())
                    .arg(UserTemplateSizeValue)
                    .arg(size));
        // A file with the committed digest has it; another was read whole.
        if (verified)
            storedDigest = recorded;
        else if (!fileName.isEmpty() && pathExists(fileName))
            storedDigest = digestOf(data);
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(data);
        buffer->open(QIODevice::ReadOnly);
        stream = std::move(buffer);
        stored = data;
    } else {
        QByteArray data;
        const rightsmith::toolkit::Registry::ValueType type = registry.valueType(UserTemplateValue);
        if (type != rightsmith::toolkit::Registry::None) {
            if (type != rightsmith::toolkit::Registry::Binary
                || registry.valueSize(UserTemplateValue) > size)
                throwInvalidDataType(UserTemplateValue);
            data = registry.readBinary(UserTemplateValue, size).value_or(QByteArray());
        }
        // A value shorter than the size reads as if its tail were zero bytes.
        stream = std::make_unique<ZeroPaddedDevice>(data, effectivePaddedSize(data, size));
        stored = data;
        recorded =
            recordedDigest(registry, ValueDigestKey, valueRecordName(registry), settings.key);
        // Hashed while the stream is read.
        if (type != rightsmith::toolkit::Registry::None)
            hashing = std::async(std::launch::async, [data] { return digestOf(data); });
    }

    userTemplate.LoadFromStreamSecurity(*stream);
    noteStored(settings, userTemplate, stored.size(), stored, false);
    if (hashing.valid())
        storedDigest = hashing.get();
    noteRead(settings, registry, storedDigest, recorded);
    return true;
}

QString UserStore::keepUnreadableAside(const UserStoreSettings &settings)
{
    // Nothing of a shared store is kept locally but a copy, which is not the store.
    if (settings.isShared())
        return QCoreApplication::translate(
            "zkSecurity::UserStore",
            "There was nothing to keep aside; the store was left as it is.");
    try {
        QString kept;
        if (settings.inFile) {
            kept = keepFileAside(absoluteFile(settings.fileName));
            if (!kept.isEmpty() && settings.hardening.auditTrail) {
                const auto registry =
                    openRegistry(settings, rightsmith::toolkit::Registry::ReadWrite);
                rightsmith::toolkit::RegistryTransaction transaction(
                    *registry, rightsmith::toolkit::Registry::WriteTransaction);
                record(settings, *registry, AuditEvent::StoreKeptAside, kept);
                transaction.commit();
            }
        } else {
            const auto registry = openRegistry(settings, rightsmith::toolkit::Registry::ReadWrite);
            rightsmith::toolkit::RegistryTransaction transaction(
                *registry, rightsmith::toolkit::Registry::WriteTransaction);
            if (registry->openKey(settings.key, false))
                kept = keepValueAside(*registry);
            record(settings, *registry, AuditEvent::StoreKeptAside, kept);
            transaction.commit();
            if (!kept.isEmpty())
                kept = QCoreApplication::translate("zkSecurity::UserStore",
                                                   "the value \"%1\" of the same key")
                           .arg(kept);
        }
        if (kept.isEmpty())
            return QCoreApplication::translate(
                "zkSecurity::UserStore",
                "There was nothing to keep aside; the store was left as it is.");
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "A copy of the unreadable user template is kept as %1; the store was left as it "
                   "is.")
            .arg(kept);
    } catch (const rightsmith::toolkit::Error &error) {
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "No copy could be kept aside (%1); the store was left as it is.")
            .arg(error.message());
    }
}

QString UserStore::unreadableMessage(const UserStoreSettings &settings, const QString &kept) const
{
    // The message ends the problem with a period of its own.
    QString problem = m_problem;
    if (problem.endsWith(u'.'))
        problem.chop(1);
    if (settings.isShared())
        return QCoreApplication::translate(
                   "zkSecurity::UserStore",
                   "The stored users cannot be read, so nobody has been logged on and no new "
                   "\"Supervisor\" has been made.\n\nStore: %1.\nProblem: %2.\n\nIf the server "
                   "cannot be reached, start again when it is back. An administrator can examine "
                   "the store with \"rightsmith-users --store URL verify\".")
            .arg(location(settings), problem);
    return QCoreApplication::translate(
               "zkSecurity::UserStore",
               "The stored users cannot be read, so nobody has been logged on and no new "
               "\"Supervisor\" has been made.\n\nStore: %1.\nProblem: %2.\n%3\n\nAn administrator "
               "can examine the store with \"rightsmith-users verify\" and put a good copy back "
               "with \"rightsmith-users restore\".")
        .arg(location(settings), problem, kept);
}

QString UserStore::readOnlyMessage(const UserStoreSettings &settings) const
{
    return QCoreApplication::translate(
               "zkSecurity::UserStore",
               "The user store on the server \"%1\" cannot be reached:\n%2\n\nUntil it is back, "
               "logons use the users this workstation last read from it, and the users cannot be "
               "changed.")
        .arg(SharedStore::displayAddress(settings.sharedAddress), m_problem);
}

QString UserStore::restore(const UserStoreSettings &settings, const QByteArray &stream)
{
    // A store lost with its database is made anew around the copy.
    rightsmith::toolkit::Registry registry(databasePath(settings),
                                           rightsmith::toolkit::Registry::ReadWrite);
    rightsmith::toolkit::RegistryTransaction transaction(
        registry, rightsmith::toolkit::Registry::WriteTransaction);
    registry.openKey(settings.key, true);

    // The copy is a save like any other: its digest tells every program that
    // read the users before that they were changed.
    QString kept;
    std::unique_ptr<StagedFile> staged;
    if (settings.inFile) {
        const QString path = absoluteFile(settings.fileName);
        const QString unsafe = unsafeLocation(path);
        if (!unsafe.isEmpty())
            throw rightsmith::toolkit::Error(unsafe);
        settleFile(path, committedDigest(registry, path, settings.key), committedSize(registry),
                   true);
        if (pathExists(path) && readWholeFile(path) != stream)
            kept = keepFileAside(path);
        registry.writeString(UserTemplateFileNameValue,
                             rightsmith::toolkit::Codec::fromUnicodeChecked(settings.fileName));
        staged = std::make_unique<StagedFile>(
            path,
            [&stream](QIODevice &file) {
                rightsmith::toolkit::ByteWriter(file).writeBytes(stream);
            },
            settings.fileName);
        recordDigest(registry, FileDigestKey, fileRecordName(path), staged->digest(), settings.key);
    } else {
        const bool same =
            registry.valueType(UserTemplateValue) == rightsmith::toolkit::Registry::Binary
            && registry.readBinary(UserTemplateValue) == stream;
        if (!same)
            kept = keepValueAside(registry);
        registry.writeBinary(UserTemplateValue, stream);
        recordDigest(registry, ValueDigestKey, valueRecordName(registry), digestOf(stream),
                     settings.key);
    }
    registry.writeInteger(UserTemplateSizeValue, qint32(stream.size()));
    record(settings, registry, AuditEvent::StoreRestored, location(settings));
    if (staged)
        staged->putInPlace();
    transaction.commit();
    if (staged)
        staged->committed();
    return kept;
}

QStringList UserStore::keptAside(const UserStoreSettings &settings)
{
    QStringList names;
    if (settings.inFile) {
        const QFileInfo info(absoluteFile(settings.fileName));
        for (const QString &name : info.dir().entryList({info.fileName() + AsideInfix + u'*'},
                                                        QDir::Files | QDir::Hidden, QDir::Name)) {
            // Only this account's own copies: in a folder others can write
            // to, a link or another account's file may carry such a name.
            const QString path = info.dir().filePath(name);
            struct stat status
            {
            };
            if (::lstat(encoded(path).constData(), &status) == 0 && S_ISREG(status.st_mode)
                && status.st_uid == ::geteuid())
                names << path;
        }
        return names;
    }
    try {
        rightsmith::toolkit::Registry registry(databasePath(settings),
                                               rightsmith::toolkit::Registry::ReadOnly);
        if (registry.openKey(settings.key, false)) {
            for (const QString &name : registry.valueNames()) {
                if (name.startsWith(UserTemplateValue + AsideInfix, Qt::CaseInsensitive))
                    names << name;
            }
        }
    } catch (const rightsmith::toolkit::Error &) {
        // A store that cannot be opened keeps nothing that can be listed.
    }
    return names;
}

// The shared store: the user template and its version come from the server
// and are copied into the local key; without the server, that copy is read
// and nothing is saved. The recent users and the password stay local.

bool UserStore::loadShared(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                           QList<QByteArray> &lastUsers, QByteArray &scrambledPassword)
{
    m_stored = {};
    if (!settings.addressProblem.isEmpty())
        return unreadable(settings.addressProblem);

    std::optional<SharedStore::Stored> fromServer;
    QString serverProblem;
    try {
        // On the lent connection when there is one (a notification reloads
        // every desk at once: no storm of connections), unless it was lost.
        const auto loadAnew = [&] {
            return SharedStore::connect(settings.sharedAddress)->load(settings.key);
        };
        if (!m_connection) {
            fromServer = loadAnew();
        } else {
            try {
                fromServer = m_connection->load(settings.key);
            } catch (const rightsmith::toolkit::Error &) {
                if (!m_connection->isLost())
                    throw;
                fromServer = loadAnew();
            }
        }
    } catch (const rightsmith::toolkit::Error &error) {
        serverProblem = error.message();
    }

    // The local key, under the write lock as a local load takes it; none
    // when it cannot be opened (without the server, nothing is known then).
    const bool writable = m_access == rightsmith::toolkit::Registry::ReadWrite;
    std::unique_ptr<rightsmith::toolkit::Registry> registry;
    std::unique_ptr<rightsmith::toolkit::RegistryTransaction> transaction;
    try {
        if (writable || pathExists(databasePath(settings))) {
            registry = openRegistry(settings, m_access);
            transaction = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
                *registry,
                writable ? rightsmith::toolkit::Registry::WriteTransaction
                         : rightsmith::toolkit::Registry::ReadTransaction);
            if (!registry->openKey(settings.key, writable)) {
                transaction.reset();
                registry.reset();
            }
        }
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
        transaction.reset();
        registry.reset();
    }
    const auto finish = [&](bool result) {
        if (transaction) {
            try {
                transaction->commit();
            } catch (const rightsmith::toolkit::Error &error) {
                qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            }
        }
        return result;
    };

    QByteArray bytes;
    if (fromServer) {
        if (!fromServer->exists) {
            m_state = State::NeverWritten;
            return finish(false);
        }
        bytes = fromServer->stream;
        m_sharedVersion = fromServer->version;
    } else {
        const bool cached = registry
            && registry->valueType(SharedUserTemplateValue) == rightsmith::toolkit::Registry::Binary
            && registry->valueType(SharedUserTemplateVersionValue)
                == rightsmith::toolkit::Registry::String;
        bool numeric = false;
        const qint64 version = cached ? registry->readString(SharedUserTemplateVersionValue)
                                            .value_or(QByteArray())
                                            .toLongLong(&numeric)
                                      : 0;
        if (!numeric || version <= 0) {
            unreadable(serverProblem);
            return finish(false);
        }
        bytes = registry->readBinary(SharedUserTemplateValue).value_or(QByteArray());
        m_sharedVersion = version;
        m_readOnly = true;
    }

    try {
        QBuffer stream(&bytes);
        stream.open(QIODevice::ReadOnly);
        userTemplate.LoadFromStreamSecurity(stream);
    } catch (const rightsmith::toolkit::Error &error) {
        userTemplate.ClearTemplate();
        unreadable(error.message());
        finish(false);
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity::UserStore", "%1\n(read from %2)")
                .arg(error.message(),
                     m_readOnly ? QCoreApplication::translate(
                                      "zkSecurity::UserStore",
                                      "the local copy of %1 in the registry database \"%2\"")
                                      .arg(location(settings), databasePath(settings))
                                : location(settings)));
    }
    noteStored(settings, userTemplate, bytes.size(), bytes, false);
    m_state = State::Loaded;
    if (m_readOnly)
        m_problem = serverProblem;
    if (!registry)
        return false;

    // The copy is written again only when the server's version moved on.
    const bool copyCurrent =
        registry->valueType(SharedUserTemplateValue) == rightsmith::toolkit::Registry::Binary
        && registry->valueType(SharedUserTemplateVersionValue)
            == rightsmith::toolkit::Registry::String
        && registry->readString(SharedUserTemplateVersionValue)
            == QByteArray::number(m_sharedVersion);
    if (fromServer && writable && !copyCurrent) {
        writeSharedCopy(*registry, bytes, m_sharedVersion);
    }
    if (settings.storePassword && !settings.hardening.hashPasswords
        && registry->valueType(PasswordValue) == rightsmith::toolkit::Registry::String)
        scrambledPassword = registry->readString(PasswordValue).value_or(QByteArray());
    const bool read = readLastUsers(settings, *registry, lastUsers);
    return finish(read);
}

// Whether the user template is the tree this store last read from or wrote to
// \a where, unchanged since and still what a save would send.
bool UserStore::unchangedSinceShared(TzkSecurityTemplate &userTemplate, const QString &where) const
{
    if (m_stored.tree != &userTemplate || m_stored.generation != userTemplate.generation()
        || m_stored.location != where || m_sharedVersion == 0)
        return false;
    if (m_stored.asSaved)
        return true;
    const QByteArray bytes = streamOf(userTemplate);
    return bytes.size() == m_stored.size
        && qHashBits(bytes.constData(), size_t(bytes.size())) == m_stored.hash;
}

bool UserStore::saveShared(const UserStoreSettings &settings, TzkSecurityTemplate &userTemplate,
                           const QList<QByteArray> &lastUsers, const QByteArray &scrambledPassword)
{
    const QString where = location(settings);
    const bool unchanged = m_state == State::Loaded && settings.addressProblem.isEmpty()
        && unchangedSinceShared(userTemplate, where);

    // The user template first: what the server refuses is reported, and the
    // local values below are written all the same.
    bool saved = true;
    QByteArray bytes;
    if (unchanged) {
        // Nothing is sent: a logon that changed nothing writes nothing there.
    } else if (!settings.addressProblem.isEmpty() || m_state == State::Unreadable) {
        rightsmith::toolkit::showMessage(saveFailureMessage(
            settings, settings.addressProblem.isEmpty() ? m_problem : settings.addressProblem));
        saved = false;
    } else if (m_readOnly) {
        rightsmith::toolkit::showMessage(
            QCoreApplication::translate("zkSecurity::UserStore",
                                        "The users cannot be changed until the server \"%1\" is "
                                        "back; your changes were not saved.\n(%2)")
                .arg(SharedStore::displayAddress(settings.sharedAddress), m_problem));
        saved = false;
    } else {
        bytes = streamOf(userTemplate);
        try {
            qint64 version = 0;
            // A connection of its own: a save must not fail on a lent one
            // that the server dropped before anyone noticed.
            const auto connection = SharedStore::connect(settings.sharedAddress);
            SharedStore &shared = *connection;
            // With the trail on, the changes are recorded in the save's transaction.
            const auto recordChanges = [&](const QByteArray &replaced) {
                const QDateTime now = settings.hardening.now();
                for (const AuditRecord &entry : changesFrom(settings, replaced, userTemplate))
                    shared.appendAudit(settings.key, entry, settings.hardening.auditLimits, now);
            };
            const SharedStore::SaveResult result = settings.hardening.auditTrail
                ? shared.save(settings.key, bytes, m_sharedVersion, &version, recordChanges)
                : shared.save(settings.key, bytes, m_sharedVersion, &version);
            if (result == SharedStore::SaveResult::Conflict) {
                rightsmith::toolkit::showMessage(QCoreApplication::translate(
                    "zkSecurity::UserStore",
                    "The users were changed on another workstation since this dialog was opened; "
                    "your changes were not saved. Open the dialog again to see the current "
                    "users."));
                saved = false;
            } else {
                m_sharedVersion = version;
                noteStored(settings, userTemplate, bytes.size(), bytes, true);
            }
        } catch (const rightsmith::toolkit::Error &error) {
            rightsmith::toolkit::showMessage(saveFailureMessage(settings, error.message()));
            saved = false;
        }
    }
    if (unchanged)
        m_stored.asSaved = true; // what the server holds is what a save sends

    const bool refreshCache = saved && !unchanged;
    try {
        const auto registry = openRegistry(settings, rightsmith::toolkit::Registry::ReadWrite);
        rightsmith::toolkit::RegistryTransaction transaction(
            *registry, rightsmith::toolkit::Registry::WriteTransaction);
        if (!registry->openKey(settings.key, true))
            throw rightsmith::toolkit::Error(
                QCoreApplication::translate("zkSecurity::UserStore", "the key cannot be created"));
        if (refreshCache) {
            writeSharedCopy(*registry, bytes, m_sharedVersion);
        }
        writeLocalValues(settings, *registry, lastUsers, scrambledPassword);
        transaction.commit();
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
    }
    return saved;
}

} // namespace zkSecurity
