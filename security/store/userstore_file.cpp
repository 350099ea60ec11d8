// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store's back end that keeps the user template in a file, its
// name and size in the store's key: written by a StagedFile under the key's
// write lock, read only when it is the file whose digest the last save
// committed.
#include "security/model/tzksecuritytemplate.h"
#include "security/store/filesettling_p.h"
#include "security/store/ownfile_p.h"
#include "security/store/stagedfile_p.h"
#include "security/store/storedigest_p.h"
#include "security/store/storenames_p.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using rightsmith::logging::lcStore;
using rightsmith::toolkit::Registry;

namespace zkSecurity {

namespace {

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
            UserStore::tr("\"%1\" is not a regular file of this account").arg(path));
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
std::optional<QByteArray> committedDigest(Registry &registry, const QString &path,
                                          const QString &storeKey)
{
    const QString name = fileRecordName(path);
    std::optional<QByteArray> digest = recordedDigest(registry, FileDigestKey, name, storeKey);
    if (!digest && name != path)
        digest = recordedDigest(registry, FileDigestKey, path, storeKey);
    return digest;
}

// The "UserTemplateSize" the open key holds, if any.
std::optional<qint64> committedSize(Registry &registry)
{
    if (registry.valueType(StoreNames::UserTemplateSize) != Registry::Integer)
        return std::nullopt;
    return registry.readInteger(StoreNames::UserTemplateSize);
}

QString sizeMismatch(qint64 held, qint64 size)
{
    return UserStore::tr("the user template file holds %1 bytes, \"%2\" says %3")
        .arg(held)
        .arg(StoreNames::UserTemplateSize)
        .arg(size);
}

// Opens the file \a fileName that no save recorded a digest for into \a data,
// read once in pieces for its digest, when it is a regular file of this
// account of \a size bytes; returns why not.
QString readUnrecordedFile(const QString &fileName, qint64 size, std::optional<VerifiedFile> &data)
{
    auto file = std::make_unique<QFile>();
    const int fd =
        ::open(encoded(fileName).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat status
    {
    };
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        const QString reason = systemError(errno);
        if (fd >= 0)
            ::close(fd);
        if (size != 0)
            return UserStore::tr("the user template file cannot be read: %1").arg(reason);
        return {};
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        // A device or a pipe would never end or never report its length.
        return UserStore::tr("the user template file is not a regular file");
    }
    if (status.st_uid != ::geteuid()) {
        ::close(fd);
        // Put there since the location was checked.
        return UserStore::tr(
                   "the user template file \"%1\" belongs to another account; remove it and "
                   "put a good copy back with \"rightsmith-users restore\"")
            .arg(fileName);
    }
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return UserStore::tr("the user template file cannot be read: %1").arg(file->errorString());
    }
    // A file of another length is no save this store committed.
    if (status.st_size != size)
        return sizeMismatch(qint64(status.st_size), size);
    std::optional<DeviceDigest> read = digestOf(*file);
    if (!read)
        return UserStore::tr("the user template file cannot be read: %1").arg(file->errorString());
    data = VerifiedFile {std::move(file), *read};
    return {};
}

// The backups of a user template file are files of the folder
// "<file>.backups" beside it, each named by the time it was kept
// ("20261209T103000.123Z": names sort oldest first); their digests are
// recorded as those of user template files are. A backup is another link of
// the file a save replaced: nothing is copied.
const QString BackupsSuffix = u".backups"_s;
const QString BackupNameFormat = u"yyyyMMdd'T'HHmmss.zzz'Z'"_s;

class FileBackend final : public LocalBackend
{
public:
    explicit FileBackend(const UserStoreSettings &settings)
        : LocalBackend(settings)
        , m_path(absoluteFile(settings.fileName))
    {
    }
    ~FileBackend() override { dropNewBackup(); }

    QString location() const override
    {
        return UserStore::tr(
                   "the user template file \"%1\" and the registry database \"%2\" (key \"%3\")")
            .arg(m_path, m_settings.registryPath(), m_settings.key);
    }

    QString keepAside() override
    {
        const QString kept = keepFileAside(m_path);
        if (!kept.isEmpty() && m_settings.hardening.auditTrail) {
            Registry registry(m_settings.registryPath(), Registry::ReadWrite);
            rightsmith::toolkit::RegistryTransaction transaction(registry,
                                                                 Registry::WriteTransaction);
            recordInTrail(m_settings, registry, AuditEvent::StoreKeptAside, kept);
            transaction.commit();
        }
        return kept;
    }

    QString prepareRead(Registry &registry, bool locked) override
    {
        const QString unsafe = unsafeLocation(m_path);
        if (!unsafe.isEmpty())
            return unsafe;
        // The committed save is found first, wherever a save stopped anywhere
        // left it; nothing else is read.
        m_recorded = committedDigest(registry, m_path, m_settings.key);
        m_settled = settleFile(m_path, m_recorded, committedSize(registry), locked, &m_verified);
        return {};
    }

    bool existsOutsideDatabase() const override { return pathExists(m_path); }
    bool isThere(Registry &) const override
    {
        return !m_settled.isEmpty() && pathExists(m_settled);
    }

    Read read(Registry &, qint64 size, bool locked) override
    {
        Read read;
        std::optional<VerifiedFile> data;
        const bool verified = m_verified.has_value();
        const bool there = !m_settled.isEmpty() && pathExists(m_settled);
        if (m_verified) {
            data = std::move(m_verified);
            m_verified.reset();
        } else if (m_recorded && there) {
            read.raced = !locked;
            read.problem = UserStore::tr(
                "the user template file is not the one its last save stored (its digest differs)");
            return read;
        } else if (!there) {
            if (size != 0 || m_recorded) {
                read.raced = m_recorded && !locked;
                read.problem = UserStore::tr("the user template file is missing");
                return read;
            }
        } else {
            read.problem = readUnrecordedFile(m_settled, size, data);
            if (!read.problem.isEmpty())
                return read;
        }
        // The committed save's size goes with it.
        if (verified && data->read.size != size) {
            read.problem = sizeMismatch(data->read.size, size);
            return read;
        }
        // A file with the committed digest has it; another was read for its own.
        if (verified)
            read.digest = m_recorded;
        else if (data)
            read.digest = data->read.digest;
        read.recorded = m_recorded;
        if (data) {
            // Read from the file in pieces: the bytes are never held whole.
            read.size = data->read.size;
            read.contentHash = data->read.contentHash;
            read.stream = std::move(data->file);
        } else {
            auto buffer = std::make_unique<QBuffer>();
            buffer->open(QIODevice::ReadOnly);
            read.stream = std::move(buffer);
            read.contentHash = ContentHash::of({});
            if (!m_settled.isEmpty() && pathExists(m_settled))
                read.digest = digestOf(QByteArray());
        }
        return read;
    }

    // A file that was read at all has the digest its save recorded, or none
    // was recorded: there is nothing to forget.
    void forgetRecord(Registry &) override { }

    QByteArray heldDigest(Registry &registry) const override
    {
        // A digest recorded for a user template that is gone names no save.
        if (!pathExists(m_path))
            return {};
        if (const auto recorded = committedDigest(registry, m_path, m_settings.key))
            return *recorded;
        return digestOf(readWholeFile(m_path));
    }

    std::optional<qint64> storedSize(Registry &) const override
    {
        const QFileInfo file(m_path);
        if (!file.isFile())
            return std::nullopt;
        return file.size();
    }

    QByteArray storedBytes(Registry &) const override
    {
        return pathExists(m_path) ? readWholeFile(m_path) : QByteArray();
    }

    QString place() const override { return m_path; }
    bool isAt(const QString &place) const override { return place == m_path; }

    bool writesBytes() const override { return false; }

    std::optional<Failure> prepareWrite(Registry &registry) override
    {
        // Nothing is written where another account could swap the file.
        const QString unsafe = unsafeLocation(m_path);
        if (!unsafe.isEmpty())
            throw cannotCreateFile(m_settings.fileName, unsafe);
        // A save stopped anywhere before is settled first: what it left may
        // still be the committed file.
        try {
            settleFile(m_path, committedDigest(registry, m_path, m_settings.key),
                       committedSize(registry), true);
        } catch (const rightsmith::toolkit::Error &error) {
            return Failure {error.message(), {}};
        }
        return std::nullopt;
    }

    std::optional<Failure> writeValues(Registry &registry, const QByteArray &, bool,
                                       Written &) override
    {
        writeFileName(registry);
        return std::nullopt;
    }

    std::optional<Failure> stage(Registry &registry, TzkSecurityTemplate &userTemplate,
                                 const QByteArray &bytes, bool keepUnreadable,
                                 Written &written) override
    {
        // Like the file name, a file that cannot be written is an error for
        // the caller. The tree is written in pieces, unless the stream is at
        // hand already.
        if (bytes.isNull()) {
            m_staged = std::make_unique<StagedFile>(
                m_path,
                [&userTemplate](QIODevice &file) { userTemplate.SaveToStreamSecurity(file); },
                m_settings.fileName);
        } else {
            stageBytes(bytes);
        }
        written.size = m_staged->size();
        written.digest = m_staged->digest();
        // Its digest and size go with it, in the same transaction.
        try {
            recordDigest(registry, FileDigestKey, fileRecordName(m_path), written.digest,
                         m_settings.key);
            registry.writeInteger(StoreNames::UserTemplateSize, qint32(written.size));
        } catch (const rightsmith::toolkit::Error &error) {
            return Failure {error.message(), {}};
        }
        // A user template the last load could not read must not be replaced by
        // what the program made up instead: a copy is kept aside first.
        if (keepUnreadable) {
            try {
                recordInTrail(m_settings, registry, AuditEvent::StoreKeptAside,
                              keepFileAside(m_path));
            } catch (const rightsmith::toolkit::Error &error) {
                throw rightsmith::toolkit::Error(
                    UserStore::tr(
                        "Cannot create file %1\nThe unreadable user template could not be kept "
                        "aside: %2")
                        .arg(m_settings.fileName, error.message()));
            }
        } else {
            try {
                keepBackup(registry);
            } catch (const rightsmith::toolkit::Error &error) {
                return Failure {error.message(), {}};
            }
        }
        // In place while the lock is held, so that no other save's file ever
        // is; until the commit, what it replaced is kept.
        try {
            m_staged->putInPlace();
        } catch (const rightsmith::toolkit::Error &error) {
            throw cannotCreateFile(m_settings.fileName, error.message());
        }
        return std::nullopt;
    }

    void committed() override
    {
        if (m_staged)
            m_staged->committed();
        m_newBackup.clear();
        for (const QString &dropped : std::as_const(m_droppedBackups))
            ::unlink(encoded(dropped).constData());
        m_droppedBackups.clear();
    }
    void rollBack() override
    {
        m_staged.reset();
        dropNewBackup();
    }

    QStringList keptAside() const override
    {
        QStringList names;
        const QFileInfo info(m_path);
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

    QString replace(Registry &registry, const QByteArray &stream) override
    {
        const QString unsafe = unsafeLocation(m_path);
        if (!unsafe.isEmpty())
            throw rightsmith::toolkit::Error(unsafe);
        settleFile(m_path, committedDigest(registry, m_path, m_settings.key),
                   committedSize(registry), true);
        QString kept;
        if (pathExists(m_path) && readWholeFile(m_path) != stream) {
            keepBackup(registry);
            kept = m_newBackup.isEmpty() ? keepFileAside(m_path) : m_newBackup;
        }
        writeFileName(registry);
        stageBytes(stream);
        recordDigest(registry, FileDigestKey, fileRecordName(m_path), m_staged->digest(),
                     m_settings.key);
        return kept;
    }

    void putInPlace() override
    {
        if (m_staged)
            m_staged->putInPlace();
    }

    QList<Backup> backups(Registry *registry) const override
    {
        QList<Backup> list;
        if (!pathExists(backupsFolder()))
            return list;
        if (const QString unsafe = backupsFolderProblem(false); !unsafe.isEmpty())
            throw rightsmith::toolkit::Error(unsafe);
        for (const auto &[path, keptAt] : backupFiles()) {
            if (list.size() == UserStore::KeptBackups)
                break;
            Backup backup {keptAt, readWholeFile(path), std::nullopt};
            if (registry)
                backup.digest =
                    recordedDigest(*registry, FileDigestKey, fileRecordName(path), m_settings.key);
            list.append(backup);
        }
        return list;
    }

private:
    QString backupsFolder() const { return m_path + BackupsSuffix; }

    // Why the folder of backups cannot hold them (with \a create, made 0700
    // when missing): it must be a folder of this account that no other can
    // write to, as the user template's own. Empty when it can.
    QString backupsFolderProblem(bool create) const;

    // The backup files, newest first, the ones beyond the number kept too:
    // regular files of this account named by their time.
    QList<std::pair<QString, QDateTime>> backupFiles() const
    {
        QList<std::pair<QString, QDateTime>> files;
        const QDir folder(backupsFolder());
        for (const QString &name :
             folder.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::Reversed)) {
            QDateTime keptAt = QDateTime::fromString(name.left(19), BackupNameFormat.chopped(3));
            keptAt.setTimeSpec(Qt::UTC);
            const QString path = folder.filePath(name);
            struct stat status
            {
            };
            if (keptAt.isValid() && ::lstat(encoded(path).constData(), &status) == 0
                && S_ISREG(status.st_mode) && status.st_uid == ::geteuid())
                files.append({path, keptAt});
        }
        return files;
    }

    // With keepReplaced(), links the user template file in place (the one
    // this save replaces) into the folder of backups, records its digest and
    // drops the records of the oldest beyond the number kept; their files go
    // at the commit. Nothing is kept, and a warning logged, where the folder
    // is not safe or the file system has no links: a save never fails for it.
    void keepBackup(Registry &registry)
    {
        if (!m_keepReplaced || !pathExists(m_path))
            return;
        const QString unsafe = backupsFolderProblem(true);
        const QString stem =
            backupsFolder() + u'/' + QDateTime::currentDateTimeUtc().toString(BackupNameFormat);
        QString name = stem;
        for (int counter = 2; unsafe.isEmpty() && pathExists(name); ++counter)
            name = stem + u'-' + QString::number(counter);
        if (!unsafe.isEmpty()
            || ::link(encoded(m_path).constData(), encoded(name).constData()) != 0) {
            qCWarning(lcStore, "No backup of the user template is kept: %ls",
                      qUtf16Printable(unsafe.isEmpty() ? systemError(errno) : unsafe));
            return;
        }
        m_newBackup = name;
        syncFolder(name);
        recordDigest(registry, FileDigestKey, fileRecordName(name), *m_keepReplaced,
                     m_settings.key);
        const auto files = backupFiles();
        for (qsizetype i = UserStore::KeptBackups; i < files.size(); ++i) {
            recordDigest(registry, FileDigestKey, fileRecordName(files.at(i).first), std::nullopt,
                         m_settings.key);
            m_droppedBackups.append(files.at(i).first);
        }
    }
    // A backup linked by a save that was not committed.
    void dropNewBackup()
    {
        if (!m_newBackup.isEmpty())
            ::unlink(encoded(m_newBackup).constData());
        m_newBackup.clear();
        m_droppedBackups.clear();
    }

    // The name is stored for reference as an 8-bit string; a name the code
    // page cannot hold is refused before anything is written.
    void writeFileName(Registry &registry)
    {
        registry.writeString(StoreNames::UserTemplateFileName,
                             rightsmith::toolkit::Codec::fromUnicodeChecked(m_settings.fileName));
    }
    void stageBytes(const QByteArray &bytes)
    {
        m_staged = std::make_unique<StagedFile>(
            m_path,
            [&bytes](QIODevice &file) { rightsmith::toolkit::ByteWriter(file).writeBytes(bytes); },
            m_settings.fileName);
    }

    QString m_path;
    // What prepareRead() found: the committed save's digest, the file that
    // holds it, and its bytes when they were read and matched the digest.
    std::optional<QByteArray> m_recorded;
    QString m_settled;
    std::optional<VerifiedFile> m_verified;
    std::unique_ptr<StagedFile> m_staged;
    // The backup this save linked, and the oldest ones it drops at the commit.
    QString m_newBackup;
    QStringList m_droppedBackups;
};

QString FileBackend::backupsFolderProblem(bool create) const
{
    const QString folder = backupsFolder();
    const QByteArray name = encoded(folder);
    struct stat status
    {
    };
    if (::lstat(name.constData(), &status) != 0) {
        if (errno != ENOENT || !create)
            return systemError(errno);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            return UserStore::tr("the folder \"%1\" cannot be made: %2")
                .arg(folder, systemError(errno));
        if (::lstat(name.constData(), &status) != 0)
            return systemError(errno);
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()
        || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return UserStore::tr(
                   "\"%1\" is not a folder of this account that only this account can write to")
            .arg(folder);
    return {};
}

} // namespace

std::unique_ptr<UserStoreBackend> makeFileBackend(const UserStoreSettings &settings)
{
    return std::make_unique<FileBackend>(settings);
}

} // namespace zkSecurity
