// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// A save and a load of the user store through the registry: each iteration
// opens a fresh Registry on the current user's file, writes the values a save
// writes (a 6 KB template, its size, the recent users, their size, the
// password), then opens another Registry and reads them back.
#include "toolkit/registry.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const QString KeyPath =
    u"\\Software\\Tenvarro\\RightsmithDemo\\CurrentVersion\\SecurityObject\\UserTemplate"_s;

QByteArray templateBytes()
{
    QByteArray bytes(6 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131 + 7) & 0xff);
    return bytes;
}

void saveAndLoad(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    const QByteArray userTemplate = templateBytes();
    const QByteArray lastUsers = QByteArrayLiteral("Supervisor\r\nGuest\r\n");
    const QByteArray password = QByteArrayLiteral("\x93\x8a\x71\x65\x80");

    for (auto _ : state) {
        {
            rightsmith::toolkit::Registry registry;
            registry.openKey(KeyPath, true);
            registry.writeBinary(u"UserTemplate"_s, userTemplate);
            registry.writeInteger(u"UserTemplateSize"_s, qint32(userTemplate.size()));
            registry.writeBinary(u"LastUsers"_s, lastUsers);
            registry.writeInteger(u"LastUsersSize"_s, qint32(lastUsers.size()));
            registry.writeString(u"Password"_s, password);
        }
        {
            rightsmith::toolkit::Registry registry;
            registry.openKey(KeyPath, true);
            const auto size = registry.readInteger(u"UserTemplateSize"_s);
            benchmark::DoNotOptimize(registry.readString(u"Password"_s));
            benchmark::DoNotOptimize(registry.readBinary(u"UserTemplate"_s, size.value_or(0)));
            const auto usersSize = registry.readInteger(u"LastUsersSize"_s);
            benchmark::DoNotOptimize(registry.readBinary(u"LastUsers"_s, usersSize.value_or(0)));
        }
    }
    state.SetBytesProcessed(state.iterations() * 2 * (userTemplate.size() + lastUsers.size()));
}
BENCHMARK(saveAndLoad)->Unit(benchmark::kMillisecond);

// The same cycle without the cost of opening: one Registry for everything,
// to tell the price of the values from the price of the connection.
void writeAndReadOpen(benchmark::State &state)
{
    QTemporaryDir home;
    rightsmith::toolkit::Registry registry(home.filePath(u"registry.sqlite3"_s));
    registry.openKey(KeyPath, true);
    const QByteArray userTemplate = templateBytes();
    for (auto _ : state) {
        registry.writeBinary(u"UserTemplate"_s, userTemplate);
        registry.writeInteger(u"UserTemplateSize"_s, qint32(userTemplate.size()));
        benchmark::DoNotOptimize(registry.readInteger(u"UserTemplateSize"_s));
        benchmark::DoNotOptimize(registry.readBinary(u"UserTemplate"_s));
    }
}
BENCHMARK(writeAndReadOpen)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
