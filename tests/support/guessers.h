// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once
// Programs guessing a password at once: guessAtOnce() runs copies of the
// test program itself as guessers, each of which tries one wrong password for
// a name through LogonCheck as soon as all are ready, and returns their
// verdicts. Include it in one file of a test program: a guesser does its work
// before main() and exits.

#include "security/component/logoncheck.h"
#include "security/model/tcripter.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace testsupport {

/// The name the guessers try, a user whose password is "secret".
inline const QByteArray GuessedName = QByteArrayLiteral("Anna");

namespace detail {

// key, registry database, shared store address, first delay in seconds, guess.
inline bool runGuesser()
{
    const QByteArray order = qgetenv("RIGHTSMITH_GUESSER");
    if (order.isEmpty())
        return false;
    const QList<QByteArray> fields = order.split('\n');
    if (fields.size() != 5)
        std::_Exit(2);
    zkSecurity::UserStoreSettings store;
    store.key = QString::fromUtf8(fields[0]);
    store.databasePath = QString::fromUtf8(fields[1]);
    store.sharedAddress = QString::fromUtf8(fields[2]);
    store.hardening.throttleLogons = true;
    store.hardening.auditTrail = true;
    store.hardening.hashPasswords = true;
    store.hardening.hashCost = zkSecurity::PasswordHashCost::minimum();
    store.hardening.throttle.firstDelay = std::chrono::seconds(fields[3].toInt());
    zkSecurity::TzkSecurityTemplate users;
    users.AddUserToUserTemplate(nullptr, GuessedName, zkCript::TCripter::Scramble("secret"), true);

    // Ready; then one line on stdin says go.
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char line[8];
    if (!std::fgets(line, sizeof line, stdin))
        std::_Exit(3);
    const auto result = zkSecurity::LogonCheck(store).check(users, GuessedName, fields[4]);
    const char *verdict = result.verdict == zkSecurity::LogonCheck::Verdict::Accepted ? "accepted"
        : result.verdict == zkSecurity::LogonCheck::Verdict::Throttled                ? "throttled"
        : result.problem.isEmpty()                                                    ? "refused"
                                                                                      : "unchecked";
    std::fputs(verdict, stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

inline const bool guesserProcess = runGuesser();

} // namespace detail

/// Starts \a count guessers on \a store (throttling with the first delay of
/// \a firstDelay), each with a wrong password of its own, lets them go at
/// once and returns their verdicts ("refused", "throttled", ...), sorted.
inline QStringList guessAtOnce(const zkSecurity::UserStoreSettings &store, int count,
                               std::chrono::seconds firstDelay)
{
    using namespace Qt::StringLiterals;
    std::vector<std::unique_ptr<QProcess>> guessers;
    for (int i = 0; i < count; ++i) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"RIGHTSMITH_GUESSER"_s,
                           QStringList {store.key, store.registryPath(), store.sharedAddress,
                                        QString::number(firstDelay.count()), u"guess %1"_s.arg(i)}
                               .join(u'\n'));
        process->setProcessEnvironment(environment);
        process->start(QCoreApplication::applicationFilePath(), {});
        guessers.push_back(std::move(process));
    }
    for (const auto &process : guessers) {
        while (!process->canReadLine() && process->waitForReadyRead(30000)) { }
        process->readLine();
    }
    // Written through at once: QProcess sends only when waited on.
    for (const auto &process : guessers) {
        process->write("go\n");
        process->waitForBytesWritten(30000);
    }
    for (const auto &process : guessers)
        process->closeWriteChannel();
    QStringList verdicts;
    for (const auto &process : guessers) {
        process->waitForFinished(60000);
        const QString verdict = QString::fromUtf8(process->readAllStandardOutput()).trimmed();
        verdicts << (verdict.isEmpty()
                         ? u"no verdict: "_s + QString::fromUtf8(process->readAllStandardError())
                         : verdict);
    }
    verdicts.sort();
    return verdicts;
}

} // namespace testsupport
