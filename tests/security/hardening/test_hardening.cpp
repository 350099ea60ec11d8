// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The security component with its hardening switched on: hashed passwords and
// their upgrade at logon, throttled logons through the logon check, the audit
// trail written with the changes it records; and nothing new with all off.
#include "security/component/logoncheck.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/component/usermanagement.h"
#include "security/hardening/audittrail.h"
#include "security/hardening/registrytables_p.h"
#include "security/model/passwordhash.h"
#include "security/model/tcripter.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"
#include "support/fakes.h"
#include "support/guessers.h"
#include "support/temporaryhome.h"
#include "toolkit/messagebox.h"
#include "toolkit/registry.h"

#include <QBuffer>
#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <sqlite3.h>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using testsupport::bytes;

namespace {

const QString Key = u"\\Software\\Test\\Hardening\\UserTemplate"_s;

HardeningSettings quickHardening(QDateTime *clock)
{
    HardeningSettings hardening;
    hardening.hashCost = PasswordHashCost::minimum();
    if (clock)
        hardening.clock = [clock] {
            return *clock;
        };
    return hardening;
}

// A security template of one right, "File/Open" (1), and users built from it.
void addRights(TzkSecurityTemplate &securityTemplate)
{
    TzkNodeRecord category;
    category.setCaption(bytes("File"));
    TzkNodeRecord open;
    open.SecurityId = 1;
    open.setCaption(bytes("Open"));
    securityTemplate.addChild(securityTemplate.addChild(nullptr, bytes("File")), bytes("Open"))
        ->setData(open);
    securityTemplate.topLevel(0)->setData(category);
}

QByteArray streamOf(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

TreeNode *passwordNodeOf(const TzkSecurityTemplate &users, const char *name)
{
    return users.GetUserNodeByUserName(bytes(name))->firstChild();
}

void execOnRegistry(const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(rightsmith::toolkit::Registry::defaultPath()).constData(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

class HardeningTest : public ::testing::Test
{
protected:
    testsupport::TemporaryHome home;
    TzkSecurity security;
    TzkSecurityTemplate rights;

    void SetUp() override
    {
        security.setUserTemplateRegistryKeyName(Key);
        addRights(rights);
        security.UserTemplate()->AddUserToUserTemplate(&rights, SupervisorName, {}, true);
        security.UserTemplate()->AddUserToUserTemplate(
            &rights, bytes("Anna"), zkCript::TCripter::Scramble(bytes("secret")), true);
        security.Dialogs()->SetSecurity(&security);
    }
};

} // namespace

TEST_F(HardeningTest, AScrambledPasswordBecomesAHashAtLogonAndNothingElseChanges)
{
    HardeningSettings hardening = quickHardening(nullptr);
    hardening.hashPasswords = true;
    security.SetHardening(hardening);
    security.SetOptions(security.Options().with(soStorePassword));
    const QByteArray before = streamOf(*security.UserTemplate());

    testsupport::FakeSecurityUi::current().logonAnswers.append({DialogResult::Rejected, {}, {}});
    EXPECT_FALSE(security.Logon(bytes("Anna"), bytes("wrong"), true));
    EXPECT_FALSE(PasswordHash::isHashed(*passwordNodeOf(*security.UserTemplate(), "Anna")->data()));
    ASSERT_TRUE(security.Logon(bytes("Anna"), bytes("secret"), true));
    const TzkNodeRecord upgraded = *passwordNodeOf(*security.UserTemplate(), "Anna")->data();
    ASSERT_TRUE(PasswordHash::isHashed(upgraded));

    // Every byte but those of Anna's password record is as it was, and the
    // upgraded template saves again byte for byte.
    const QByteArray after = streamOf(*security.UserTemplate());
    ASSERT_EQ(after.size(), before.size());
    const QByteArray record = upgraded.toBytes();
    const qsizetype at = after.indexOf(record);
    ASSERT_GE(at, 0);
    EXPECT_EQ(after.left(at), before.left(at));
    EXPECT_EQ(after.mid(at + record.size()), before.mid(at + record.size()));
    TzkSecurityTemplate reloaded;
    QBuffer buffer(const_cast<QByteArray *>(&after));
    buffer.open(QIODevice::ReadOnly);
    reloaded.LoadFromStreamSecurity(buffer);
    EXPECT_EQ(streamOf(reloaded), after);

    // No password is remembered; a program without hashing switched on still
    // checks the hash, and refuses a wrong password.
    TzkSecurity reader;
    reader.setUserTemplateRegistryKeyName(Key);
    reader.SetOptions(reader.Options().with(soStorePassword));
    QByteArray remembered = bytes("x");
    ASSERT_TRUE(reader.LoadUsers(remembered));
    EXPECT_TRUE(remembered.isEmpty());
    rightsmith::toolkit::Registry registry;
    ASSERT_TRUE(registry.openKey(Key, false));
    EXPECT_FALSE(registry.valueExists(u"Password"_s));
    reader.Dialogs()->SetSecurity(&reader);
    EXPECT_TRUE(reader.Logon(bytes("Anna"), bytes("secret"), true));
    EXPECT_FALSE(reader.Logon(bytes("Anna"), bytes("secre"), true));
}

TEST_F(HardeningTest, AScrambledPasswordRememberedBeforeHashingDoesNotLogOnAutomatically)
{
    // Remembered by a program without hashing, for Anna's scrambled password.
    security.SetOptions(security.Options().with(soStorePassword));
    ASSERT_TRUE(security.Logon(bytes("Anna"), bytes("secret"), true));
    {
        rightsmith::toolkit::Registry registry;
        ASSERT_TRUE(registry.openKey(Key, false));
        ASSERT_EQ(registry.readString(u"Password"_s), zkCript::TCripter::Scramble(bytes("secret")));
    }

    // The program starting now hashes: it asks instead (the dialog is cancelled).
    TzkSecurity hashing;
    hashing.setUserTemplateRegistryKeyName(Key);
    HardeningSettings hardening = quickHardening(nullptr);
    hardening.hashPasswords = true;
    hashing.SetHardening(hardening);
    hashing.SetOptions(security.Options().with(soAutoLogon).with(soSilentLogonTry));
    const int shown = testsupport::FakeSecurityUi::current().logonDialogsShown;
    hashing.Loaded();
    EXPECT_TRUE(hashing.LastUsers().endsWith(bytes("Anna")));
    EXPECT_FALSE(hashing.LoggedOn());
    EXPECT_EQ(testsupport::FakeSecurityUi::current().logonDialogsShown, shown + 1);
    EXPECT_FALSE(PasswordHash::isHashed(*passwordNodeOf(*hashing.UserTemplate(), "Anna")->data()));
}

TEST_F(HardeningTest, AKeptLogonNeverHashesThePasswordItWasGiven)
{
    ASSERT_TRUE(security.Logon(bytes("Anna"), bytes("secret"), true));
    HardeningSettings hardening = quickHardening(nullptr);
    hardening.hashPasswords = true;
    security.SetHardening(hardening);
    // The dialog is refused and the current logon kept: the password passed
    // in was never checked.
    const rightsmith::toolkit::MessageHook previous =
        rightsmith::toolkit::setMessageHook([](auto, const QString &) { return true; });
    testsupport::FakeSecurityUi::current().logonAnswers.append({DialogResult::Rejected, {}, {}});
    EXPECT_TRUE(security.Logon(bytes("Anna"), bytes("attacker"), true));
    rightsmith::toolkit::setMessageHook(previous);
    const TzkNodeRecord *record = passwordNodeOf(*security.UserTemplate(), "Anna")->data();
    EXPECT_FALSE(PasswordHash::isHashed(*record));
    EXPECT_TRUE(PasswordHash::matches(record, bytes("secret")));
}

TEST_F(HardeningTest, APasswordThatMustBeChangedIsChangedRightAfterTheLogonOrTheLogonDoesNotHappen)
{
    HardeningSettings hardening = quickHardening(nullptr);
    hardening.passwordReset = true;
    hardening.passwordRules = {true, 6};
    security.SetHardening(hardening);
    // Anna's password was reset.
    SetUserPassword(passwordNodeOf(*security.UserTemplate(), "Anna"), bytes("temp-pw"), {}, true);
    ASSERT_TRUE(security.SaveUsers({}));
    testsupport::FakeSecurityUi &ui = testsupport::FakeSecurityUi::current();
    QStringList messages;
    const testsupport::CapturedMessages capture(messages);
    const auto stored = [this](const char *name) {
        TzkSecurity reader;
        reader.setUserTemplateRegistryKeyName(Key);
        QByteArray remembered;
        EXPECT_TRUE(reader.LoadUsers(remembered));
        return *passwordNodeOf(*reader.UserTemplate(), name)->data();
    };

    // With the rules on, Supervisor's empty password of the first start is
    // changed at the first logon; cancelled, nobody is logged on.
    ui.newPasswordAnswers = {std::nullopt};
    EXPECT_FALSE(security.Logon(SupervisorName, {}, true));
    EXPECT_FALSE(security.LoggedOn());
    const TzkNodeRecord first = stored("Supervisor");
    EXPECT_TRUE(PasswordHash::matches(&first, {}));
    // A password that breaks a rule is asked for again, with the rule's message.
    ui.newPasswordAnswers = {bytes("short"), bytes("sup-pw-1")};
    ASSERT_TRUE(security.Logon(SupervisorName, {}, true));
    EXPECT_EQ(security.CurrentUserName(), SupervisorName);
    EXPECT_EQ(messages,
              QStringList {u"The password is too short: it must have at least 6 characters."_s});
    const TzkNodeRecord changed = stored("Supervisor");
    EXPECT_TRUE(PasswordHash::matches(&changed, bytes("sup-pw-1")));
    EXPECT_EQ(ui.newPasswordsAsked,
              (QList<QByteArray> {SupervisorName, SupervisorName, SupervisorName}));

    // Anna cancels: Supervisor stays logged on, and Anna's mark stays.
    ui.newPasswordAnswers = {std::nullopt};
    EXPECT_TRUE(security.Logon(bytes("Anna"), bytes("temp-pw"), true));
    EXPECT_EQ(security.CurrentUserName(), SupervisorName);
    EXPECT_TRUE(PasswordHash::mustChange(stored("Anna")));
    // Anna chooses one: logged on, stored, the mark gone.
    ui.newPasswordAnswers = {bytes("anna-pw-1")};
    ASSERT_TRUE(security.Logon(bytes("Anna"), bytes("temp-pw"), true));
    EXPECT_EQ(security.CurrentUserName(), bytes("Anna"));
    const TzkNodeRecord anna = stored("Anna");
    EXPECT_FALSE(PasswordHash::mustChange(anna));
    EXPECT_TRUE(PasswordHash::matches(&anna, bytes("anna-pw-1")));
    // The next logon goes on at once.
    EXPECT_TRUE(security.Logon(bytes("Anna"), bytes("anna-pw-1"), true));
    EXPECT_EQ(ui.newPasswordsAsked.size(), 5);
}

TEST_F(HardeningTest, ThrottlingDoublesOutlivesTheProgramAndTreatsUnknownNamesAlike)
{
    QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);
    HardeningSettings hardening = quickHardening(&now);
    hardening.throttleLogons = true;
    security.SetHardening(hardening);

    // The verdicts and waits for one name; the check is made anew for every
    // attempt, as a restarted program would.
    auto attempts = [&](const QByteArray &name) {
        QList<std::pair<LogonCheck::Verdict, qint64>> seen;
        auto attempt = [&] {
            const LogonCheck::Result result =
                security.CreateLogonCheck().check(*security.UserTemplate(), name, bytes("guess"));
            seen.append({result.verdict, qint64(result.wait.count())});
        };
        for (int i = 0; i < 6; ++i)
            attempt();
        for (int seconds : {1, 2, 4}) {
            now = now.addSecs(seconds - 1);
            attempt(); // a second too early
            now = now.addSecs(1);
            attempt();
            attempt();
        }
        return seen;
    };
    const auto known = attempts(bytes("Anna"));
    const auto unknown = attempts(bytes("Nobody"));
    EXPECT_EQ(known, unknown);
    using V = LogonCheck::Verdict;
    const QList<std::pair<V, qint64>> expected {
        {V::Refused, 0},   {V::Refused, 0},   {V::Refused, 0},   {V::Refused, 0},
        {V::Refused, 0},   {V::Throttled, 1}, {V::Throttled, 1}, {V::Refused, 0},
        {V::Throttled, 2}, {V::Throttled, 1}, {V::Refused, 0},   {V::Throttled, 4},
        {V::Throttled, 1}, {V::Refused, 0},   {V::Throttled, 8},
    };
    EXPECT_EQ(known, expected);

    // The right password waits like any other, then clears the count.
    const LogonCheck check = security.CreateLogonCheck();
    EXPECT_TRUE(check.isLocked(bytes("Anna")));
    EXPECT_EQ(check.check(*security.UserTemplate(), bytes("Anna"), bytes("secret")).verdict,
              V::Throttled);
    now = now.addSecs(8);
    EXPECT_EQ(check.check(*security.UserTemplate(), bytes("Anna"), bytes("secret")).verdict,
              V::Accepted);
    EXPECT_FALSE(check.isLocked(bytes("Anna")));
    EXPECT_TRUE(check.unlock(bytes("Nobody"), SupervisorName));
    EXPECT_FALSE(check.isLocked(bytes("Nobody")));
    // A store whose counts cannot be read locks, as a check refuses.
    UserStoreSettings unreadable = security.StoreSettings();
    unreadable.addressProblem = u"store.conf cannot be read"_s;
    EXPECT_TRUE(LogonCheck(unreadable).isLocked(bytes("Anna")));
    // Such a store is named by its key, not by an empty address.
    EXPECT_FALSE(UserStore::location(unreadable).contains(u"\"\""_s));
    // and its problem, a sentence of its own, ends with one period.
    unreadable.addressProblem = u"store.conf cannot be read."_s;
    UserStore store;
    TzkSecurityTemplate users;
    QList<QByteArray> recent;
    QByteArray remembered;
    EXPECT_FALSE(store.load(unreadable, users, recent, remembered));
    EXPECT_TRUE(store.unreadableMessage(unreadable, {}).contains(u"be read.\n"_s));
    EXPECT_EQ(LogonCheck::throttledMessage(std::chrono::seconds(8)),
              u"Too many failed logons. Try again in 8 seconds."_s);
}

TEST_F(HardeningTest, LogonsAndChangesAreRecordedOnceWithTheirChangeAndWithoutPasswords)
{
    QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);
    HardeningSettings hardening = quickHardening(&now);
    hardening.auditTrail = true;
    security.SetOptions(security.Options().without(soSaveUsersInFile));
    ASSERT_TRUE(security.SaveUsers({})); // the users as they were before the trail
    security.SetHardening(hardening);
    // Messages and questions ("keep the current logon?") are answered No.
    const rightsmith::toolkit::MessageHook previous =
        rightsmith::toolkit::setMessageHook([](auto, const QString &) { return false; });

    ASSERT_TRUE(security.Logon(SupervisorName, {}, true));
    testsupport::FakeSecurityUi::current().logonAnswers.append(
        {DialogResult::Accepted, bytes("Anna"), bytes("wrong")});
    EXPECT_FALSE(security.Logon(bytes("Anna"), bytes("wrong"), true));
    ASSERT_TRUE(security.Logon(SupervisorName, {}, true));

    // Supervisor adds Carl, denies Anna's right and changes Anna's password.
    const QByteArray newPassword = bytes("carrot-cake");
    testsupport::FakeSecurityUi::current().manageUsers = [&](TzkSecurityTemplate *edited, bool) {
        edited->AddUserToUserTemplate(&rights, bytes("Carl"), {}, true);
        TreeNode *anna = edited->GetUserNodeByUserName(bytes("Anna"));
        TreeNode *open = anna->item(1)->item(0);
        open->setText(bytes("Open (No)"));
        open->editData()->setGranted(false);
        PasswordHash::storeScrambled(*anna->firstChild()->editData(), newPassword);
        return DialogResult::Accepted;
    };
    security.ShowSecurityDialog();
    // A save that fails after the trail was written leaves no record of it.
    testsupport::FakeSecurityUi::current().manageUsers = [&](TzkSecurityTemplate *edited, bool) {
        edited->AddUserToUserTemplate(&rights, bytes("Dora"), {}, true);
        return DialogResult::Accepted;
    };
    execOnRegistry("CREATE TRIGGER refuse BEFORE INSERT ON \"values\" "
                   "WHEN NEW.name = 'UserTemplateSize' BEGIN SELECT RAISE(ABORT, 'no'); END");
    security.ShowSecurityDialog();
    rightsmith::toolkit::setMessageHook(previous);

    // An administrator puts the stored users back.
    execOnRegistry("DROP TRIGGER refuse");
    UserStore::restore(security.StoreSettings(), streamOf(*security.UserTemplate()));

    rightsmith::toolkit::Registry registry;
    const QList<AuditRecord> records = AuditTrail(registry, Key).read();
    QStringList seen;
    for (const AuditRecord &entry : records) {
        seen << AuditRecord::name(entry.event) + u' ' + QString::fromLatin1(entry.user) + u' '
                + QString::fromLatin1(entry.actor) + u' ' + entry.detail;
        EXPECT_EQ(entry.time, now);
        for (const QByteArray &secret :
             {newPassword, zkCript::TCripter::Scramble(newPassword), bytes("wrong"),
              zkCript::TCripter::Scramble(bytes("wrong"))})
            EXPECT_FALSE(entry.detail.toLatin1().contains(secret) || entry.user.contains(secret)
                         || entry.actor.contains(secret));
    }
    EXPECT_EQ(
        seen,
        (QStringList {
            u"logon accepted Supervisor Supervisor "_s, u"logon refused Anna  "_s,
            u"logon accepted Supervisor Supervisor "_s, u"password changed Anna Supervisor "_s,
            u"right denied Anna Supervisor 1 Open"_s, u"user added Carl Supervisor "_s,
            u"store restored  Supervisor "_s + UserStore::location(security.StoreSettings())}));
}

TEST_F(HardeningTest, WithEverythingOffTheStoreGetsNothingNew)
{
    security.SetOptions(security.Options().with(soStorePassword));
    testsupport::FakeSecurityUi::current().logonAnswers.append(
        {DialogResult::Accepted, bytes("Anna"), bytes("wrong")});
    EXPECT_FALSE(security.Logon(bytes("Anna"), bytes("wrong"), false));
    ASSERT_TRUE(security.Logon(bytes("Anna"), bytes("secret"), true));

    rightsmith::toolkit::Registry registry;
    for (const char *table : {"audit_trail", "logon_failures"})
        EXPECT_FALSE(detail::tableExists(registry, table, {})) << table;
    EXPECT_EQ(passwordNodeOf(*security.UserTemplate(), "Anna")->data()->caption(),
              zkCript::TCripter::Scramble(bytes("secret")));
    ASSERT_TRUE(registry.openKey(Key, false));
    EXPECT_EQ(registry.readString(u"Password"_s), zkCript::TCripter::Scramble(bytes("secret")));
}

TEST_F(HardeningTest, SixteenProgramsGuessingAtOncePastTheFreeAttemptsGetOneCheck)
{
    const UserStoreSettings store = security.StoreSettings();
    {
        // Five failures, the last long enough ago that the next attempt may go.
        rightsmith::toolkit::Registry registry(store.registryPath());
        const QDateTime then = QDateTime::currentDateTimeUtc().addSecs(-600);
        for (int i = 0; i < 5; ++i)
            LogonThrottle(registry, store.key).noteFailure(testsupport::GuessedName, then);
    }
    QStringList expected(15, u"throttled"_s);
    expected.prepend(u"refused"_s);
    EXPECT_EQ(
        testsupport::guessAtOnce(store, 16, std::chrono::seconds(60)).join(u' ').toStdString(),
        expected.join(u' ').toStdString());
    rightsmith::toolkit::Registry registry(store.registryPath());
    EXPECT_EQ(LogonThrottle(registry, store.key).state(testsupport::GuessedName).failures, 6);
}

TEST_F(HardeningTest, AFloodOfUnknownNamesIsThrottledCountedAndLeavesEveryChangeInTheTrail)
{
    QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);
    HardeningSettings hardening = quickHardening(&now);
    hardening.throttleLogons = true;
    hardening.auditTrail = true;
    hardening.auditLimits = {0, 50};
    security.SetHardening(hardening);
    const LogonCheck check = security.CreateLogonCheck();
    rightsmith::toolkit::Registry registry(security.StoreSettings().registryPath());
    AuditTrail trail(registry, Key, hardening.auditLimits);
    QStringList changes;
    for (const AuditEvent event :
         {AuditEvent::UserAdded, AuditEvent::RightGranted, AuditEvent::RightDenied,
          AuditEvent::PasswordChanged, AuditEvent::StoreKeptAside, AuditEvent::StoreRestored,
          AuditEvent::UserRemoved}) {
        AuditRecord change;
        change.event = event;
        change.user = bytes("Anna");
        trail.append(change, now);
        changes << AuditRecord::name(event);
    }
    // Within one minute: after the workstation's free attempts every name
    // waits, a user's as well; repeats are counted, not written again.
    QMap<QString, int> verdicts;
    int records = 0;
    for (int i = 0; i < 100; ++i) {
        const auto result =
            check.check(*security.UserTemplate(), "nobody-" + QByteArray::number(i), "guess");
        verdicts[result.verdict == LogonCheck::Verdict::Throttled ? u"throttled"_s
                                                                  : u"refused"_s]++;
    }
    EXPECT_EQ(verdicts, (QMap<QString, int> {{u"refused"_s, 20}, {u"throttled"_s, 80}}));
    EXPECT_EQ(check.check(*security.UserTemplate(), bytes("Anna"), bytes("secret")).verdict,
              LogonCheck::Verdict::Throttled);
    QMap<QString, int> counted;
    for (const AuditRecord &entry : trail.read()) {
        counted[AuditRecord::name(entry.event)] += entry.count;
        ++records;
    }
    EXPECT_EQ(records, 7 + 3); // the refused, the throttled, and Anna's own
    EXPECT_EQ(counted.value(u"logon refused"_s), 20);
    EXPECT_EQ(counted.value(u"logon throttled"_s), 81);

    // A thousand more, each in a minute of its own: the limit drops logons only.
    for (int i = 0; i < 1000; ++i) {
        now = now.addSecs(61);
        check.check(*security.UserTemplate(), "flood-" + QByteArray::number(i), "guess");
    }
    QStringList kept;
    const QList<AuditRecord> all = trail.read();
    for (const AuditRecord &entry : all) {
        if (!AuditRecord::isLogon(entry.event))
            kept << AuditRecord::name(entry.event);
    }
    EXPECT_EQ(kept, changes);
    EXPECT_EQ(all.size(), 50);
}
