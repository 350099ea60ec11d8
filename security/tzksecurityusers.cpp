// The user store: the user template (as a template stream), its size, the
// recent user names and, when asked, the remembered scrambled password, under
// a key of the per-user registry; the user template itself optionally in a file.
#include "security/tzksecurity.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"
#include "toolkit/textlines.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

#include <cstring>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

const QString UserTemplateValue = u"UserTemplate"_s;
const QString UserTemplateFileNameValue = u"UserTemplateFileName"_s;
const QString UserTemplateSizeValue = u"UserTemplateSize"_s;
const QString LastUsersValue = u"LastUsers"_s;
const QString LastUsersSizeValue = u"LastUsersSize"_s;
const QString PasswordValue = u"Password"_s;

constexpr qint64 StreamHeaderSize = 20; // stamp and node count
constexpr qint64 StreamRecordSize = 180;

QString registryWriteMessage()
{
    return u"Error saving Users into Windows Registry. "_s + u"\t\r"_s
        + u"Probably you work with an older version of Windows that limits the size of binary "
          u"block "
          u"to be written to the registry. "_s
        + u"\t\r\t\r"_s
        + u"To resolve this problem you may chose to save Users into a file, pointed by a registry "
          u"entry. (set \"soSaveUsersInFile\" option to your TzkSecurity component and rebuild)"_s;
}

[[noreturn]] void throwInvalidDataType(const QString &name)
{
    throw toolkit::Error(u"Invalid data type for '%1'"_s.arg(name));
}

[[noreturn]] void throwCannotCreate(const QString &fileName)
{
    throw toolkit::Error(u"Cannot create file %1"_s.arg(fileName));
}

// Opens the store's key, creating it when missing; nullptr when that fails.
std::unique_ptr<toolkit::Registry> openStoreKey(const QString &key)
{
    try {
        auto registry = std::make_unique<toolkit::Registry>();
        if (!registry->openKey(key, true))
            return nullptr;
        return registry;
    } catch (const toolkit::Error &) {
        return nullptr;
    }
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
    uchar count[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (16 + i < data.size())
            count[i] = uchar(data.at(16 + i));
    }
    const qint32 n = qint32(quint32(count[0]) | quint32(count[1]) << 8 | quint32(count[2]) << 16
                            | quint32(count[3]) << 24);
    const qint64 recordsEnd = StreamHeaderSize + StreamRecordSize * qint64(qMax(n, 0));
    if (n < 0 || recordsEnd > size)
        return size;
    return qMin(size, qMax(qint64(data.size()), recordsEnd) + 1);
}

// "<base>.unreadable-<yyyyMMddThhmmss>", with a counter when that is taken.
QString asideName(const QString &base, const std::function<bool(const QString &)> &taken)
{
    const QString stem =
        base + u".unreadable-"_s + QDateTime::currentDateTime().toString(u"yyyyMMdd'T'HHmmss"_s);
    QString name = stem;
    for (int counter = 1; taken(name); ++counter)
        name = stem + u'-' + QString::number(counter);
    return name;
}

// Keeps an unreadable user template file aside under a new name. Renaming
// leaves the bytes where they are on disk, so nothing is copied and no state
// exists in which neither name holds them.
void keepFileAside(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return;
    const QString aside = asideName(path, [](const QString &name) {
        return QFileInfo::exists(name) || QFileInfo(name).isSymLink();
    });
    if (!QFile::rename(path, aside))
        throwCannotCreate(aside);
}

// Copies an unreadable "UserTemplate" value, in whatever type it was stored,
// under a new value name of the same key.
void keepValueAside(toolkit::Registry &registry)
{
    const toolkit::Registry::ValueType type = registry.valueType(UserTemplateValue);
    if (type == toolkit::Registry::None)
        return;
    const QString aside = asideName(
        UserTemplateValue, [&registry](const QString &name) { return registry.valueExists(name); });
    switch (type) {
    case toolkit::Registry::Integer:
        registry.writeInteger(aside, registry.readInteger(UserTemplateValue).value_or(0));
        break;
    case toolkit::Registry::String:
        registry.writeString(aside, registry.readString(UserTemplateValue).value_or(QByteArray()));
        break;
    default:
        // A binary value, or one whose stored type is damaged: its payload is
        // reached as binary or not at all, and then there is nothing to keep.
        try {
            registry.writeBinary(aside,
                                 registry.readBinary(UserTemplateValue).value_or(QByteArray()));
        } catch (const toolkit::Error &) {
            if (type == toolkit::Registry::Binary)
                throw;
        }
        break;
    }
}

// The whole file \a fileName when its length is \a size; an empty buffer when
// it cannot be read, a null one when its length differs (the size check fails
// without the file being read).
QByteArray readUserFile(const QString &fileName, qint64 size, bool &lengthMatches)
{
    lengthMatches = true;
    QFile file(fileName);
    // Only a regular file holds a user template: a device or a pipe would
    // never end or never report its length.
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    if (file.size() != size) {
        lengthMatches = false;
        return QByteArray();
    }
    QByteArray data = file.readAll();
    if (data.size() != size)
        lengthMatches = false;
    return data;
}

} // namespace

bool TzkSecurity::SaveUsers(const QByteArray &scrambledPassword)
{
    std::unique_ptr<toolkit::Registry> registry = openStoreKey(m_userTemplateRegistryKeyName);
    if (!registry)
        return false;

    QBuffer stream;
    stream.open(QIODevice::ReadWrite);
    m_userTemplate->SaveToStreamSecurity(stream);
    const QByteArray userTemplate = stream.data();

    if (m_options.contains(soSaveUsersInFile)) {
        const QString fileName = m_userTemplateFileName;
        // The name is stored for reference as an 8-bit string; refuse a name the
        // code page cannot hold before anything is written.
        const QByteArray storedName = toolkit::Codec::fromUnicodeChecked(fileName);

        // A user template the last LoadUsers could not read must not be
        // replaced by what the program made up instead (a fresh "Supervisor").
        const QString path = QFileInfo(fileName).absoluteFilePath();
        if (!m_unreadableUserFile.isEmpty() && m_unreadableUserFile == path) {
            keepFileAside(path);
            m_unreadableUserFile.clear();
        }

        // Written to a temporary beside it and renamed over it: a crash leaves
        // either the old file or the new one, never half of one. The file is
        // written before the values that describe it; should the program stop
        // in between, the next LoadUsers finds the length differing from
        // "UserTemplateSize" and the next SaveUsers keeps this file aside.
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            throwCannotCreate(fileName);
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (file.write(userTemplate) != userTemplate.size()) {
            file.cancelWriting();
            throw toolkit::Error(u"Stream write error"_s);
        }
        if (!file.commit())
            throwCannotCreate(fileName);
        registry->writeString(UserTemplateFileNameValue, storedName);
    } else {
        try {
            if (!m_unreadableUserKey.isEmpty()
                && m_unreadableUserKey.compare(m_userTemplateRegistryKeyName, Qt::CaseInsensitive)
                    == 0) {
                keepValueAside(*registry);
                m_unreadableUserKey.clear();
            }
            registry->writeBinary(UserTemplateValue, userTemplate);
        } catch (const toolkit::Error &) {
            toolkit::showMessage(registryWriteMessage());
            return false;
        }
    }

    try {
        registry->writeInteger(UserTemplateSizeValue, qint32(userTemplate.size()));
    } catch (const toolkit::Error &) {
        return false;
    }

    QByteArray lastUsers;
    for (const QByteArray &name : std::as_const(m_lastUsers))
        lastUsers += name + QByteArrayLiteral("\r\n");
    try {
        registry->writeBinary(LastUsersValue, lastUsers);
        registry->writeInteger(LastUsersSizeValue, qint32(lastUsers.size()));
    } catch (const toolkit::Error &) {
    }

    if (m_options.contains(soStorePassword)) {
        try {
            registry->writeString(PasswordValue, scrambledPassword);
        } catch (const toolkit::Error &) {
        }
    }
    return true;
}

bool TzkSecurity::LoadUsers(QByteArray &scrambledPassword)
{
    scrambledPassword.clear();
    m_unreadableUserFile.clear();
    m_unreadableUserKey.clear();

    std::unique_ptr<toolkit::Registry> registry = openStoreKey(m_userTemplateRegistryKeyName);
    if (!registry)
        return false;

    // Until the user template has been read, whatever stands where it is kept
    // (an unreadable, damaged or foreign user template) is kept aside by the
    // next SaveUsers rather than overwritten by a template that lacks its users.
    const bool inFile = m_options.contains(soSaveUsersInFile);
    if (inFile)
        m_unreadableUserFile = QFileInfo(m_userTemplateFileName).absoluteFilePath();
    else
        m_unreadableUserKey = m_userTemplateRegistryKeyName;

    if (registry->valueType(UserTemplateSizeValue) != toolkit::Registry::Integer)
        return false;
    const qint64 size = registry->readInteger(UserTemplateSizeValue).value_or(0);

    if (m_options.contains(soStorePassword)
        && registry->valueType(PasswordValue) == toolkit::Registry::String)
        scrambledPassword = registry->readString(PasswordValue).value_or(QByteArray());

    // No buffer of "UserTemplateSize" bytes is ever made: the size is checked
    // against what the file or the value really holds first.
    std::unique_ptr<QIODevice> stream;
    if (inFile) {
        bool lengthMatches = true;
        const QByteArray data =
            size < 0 ? QByteArray() : readUserFile(m_userTemplateFileName, size, lengthMatches);
        if (size < 0 || !lengthMatches || data.size() != size)
            return false;
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(data);
        buffer->open(QIODevice::ReadOnly);
        stream = std::move(buffer);
    } else {
        if (size < 0)
            return false;
        QByteArray data;
        const toolkit::Registry::ValueType type = registry->valueType(UserTemplateValue);
        if (type != toolkit::Registry::None) {
            if (type != toolkit::Registry::Binary || registry->valueSize(UserTemplateValue) > size)
                throwInvalidDataType(UserTemplateValue);
            data = registry->readBinary(UserTemplateValue, size).value_or(QByteArray());
        }
        // A value shorter than the size reads as if its tail were zero bytes.
        stream = std::make_unique<ZeroPaddedDevice>(data, effectivePaddedSize(data, size));
    }

    m_userTemplate->LoadFromStreamSecurity(*stream);
    m_unreadableUserFile.clear();
    m_unreadableUserKey.clear();

    if (registry->valueType(LastUsersSizeValue) != toolkit::Registry::Integer)
        return false;
    const qint64 lastUsersSize = registry->readInteger(LastUsersSizeValue).value_or(0);
    const toolkit::Registry::ValueType lastUsersType = registry->valueType(LastUsersValue);
    if (lastUsersType != toolkit::Registry::None) {
        if (lastUsersType != toolkit::Registry::Binary
            || registry->valueSize(LastUsersValue) > lastUsersSize)
            throwInvalidDataType(LastUsersValue);
        const QByteArray text =
            registry->readBinary(LastUsersValue, lastUsersSize).value_or(QByteArray());
        if (text.size() == lastUsersSize)
            m_lastUsers = toolkit::splitTextLines(text);
    } else if (lastUsersSize == 0) {
        // A missing value reads no bytes, which is all of a size of zero.
        m_lastUsers.clear();
    }
    return true;
}

} // namespace zkSecurity
