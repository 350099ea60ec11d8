// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Fuzz target: LoadUsers over an arbitrary user store. The input (see
// storeinput.h) becomes the values of a fresh registry key and the content of
// the user template file; the security component then reads that store.
// rightsmith::toolkit::Error is the expected way to refuse a store; anything else (a
// crash, a sanitizer report, another exception) is a finding.
#include "fuzz/storeinput.h"
#include "security/component/tzksecurity.h"
#include "toolkit/error.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;
using namespace zkSecurity;

namespace {

const QString StoreKey = u"\\Software\\RightsmithFuzz\\SecurityObject\\UserTemplate"_s;

// One private configuration directory per process, so that parallel fuzzing
// jobs never share a registry, removed when the process ends normally.
class Environment
{
public:
    Environment()
        : m_dir(QDir(tempRoot()).filePath(u"rightsmith-fuzz-XXXXXX"_s))
    {
        if (!m_dir.isValid()) {
            std::fprintf(stderr, "cannot create a temporary directory\n");
            std::abort();
        }
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(u"config"_s)));
        // Nothing LoadUsers reports may wait for a click.
        rightsmith::toolkit::setMessageHook(
            [](rightsmith::toolkit::MessageKind, const QString &) { return false; });
        m_registry = std::make_unique<rightsmith::toolkit::Registry>();
        m_fileName = m_dir.filePath(u"UserTemplate"_s);
    }

    rightsmith::toolkit::Registry &registry() { return *m_registry; }
    QString fileName() const { return m_fileName; }

private:
    // The registry syncs every write; a memory file system makes that free.
    static QString tempRoot()
    {
        if (qEnvironmentVariableIsEmpty("TMPDIR") && QFileInfo(u"/dev/shm"_s).isDir()
            && QFileInfo(u"/dev/shm"_s).isWritable())
            return u"/dev/shm"_s;
        return QDir::tempPath();
    }

    QTemporaryDir m_dir;
    QString m_fileName;
    std::unique_ptr<rightsmith::toolkit::Registry> m_registry;
};

Environment &environment()
{
    static Environment environment;
    return environment;
}

void writeStore(Environment &env, const fuzzstore::StoreInput &store)
{
    rightsmith::toolkit::Registry &registry = env.registry();
    registry.deleteKey(StoreKey);
    if (!registry.openKey(StoreKey, true)) {
        std::fprintf(stderr, "cannot create the store key\n");
        std::abort();
    }
    for (const fuzzstore::StoreValue &value : store.values) {
        // A name the registry refuses leaves that value out.
        try {
            switch (value.kind) {
            case fuzzstore::ValueKind::Binary:
                registry.writeBinary(value.name, value.bytes);
                break;
            case fuzzstore::ValueKind::Integer:
                registry.writeInteger(value.name, value.integer);
                break;
            case fuzzstore::ValueKind::String:
                registry.writeString(value.name, value.bytes);
                break;
            }
        } catch (const rightsmith::toolkit::Error &) {
        }
    }
    registry.closeKey();

    QFile file(env.fileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(store.file) != store.file.size()) {
        std::fprintf(stderr, "cannot write the user template file\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Environment &env = environment();
    const fuzzstore::StoreInput store = fuzzstore::decode(data, size);
    writeStore(env, store);

    TzkSecurity security;
    TzkSecurityOptionSet options = TzkSecurityOptionSet::defaults();
    options = store.inFile ? options.with(soSaveUsersInFile) : options.without(soSaveUsersInFile);
    options =
        store.storePassword ? options.with(soStorePassword) : options.without(soStorePassword);
    security.SetOptions(options);
    security.setUserTemplateRegistryKeyName(StoreKey);
    security.setUserTemplateFileName(env.fileName());

    QByteArray password;
    try {
        security.LoadUsers(password);
    } catch (const rightsmith::toolkit::Error &) {
    }
    return 0;
}
