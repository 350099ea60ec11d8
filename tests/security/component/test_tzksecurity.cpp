// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The security component: options, the rights check, logons, clients, new
// identifiers, recent users, the one-component-per-window claim and start-up.
#include "actions/tzkaction.h"
#include "actions/tzkactionlist.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"
#include "toolkit/component.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"
#include "toolkit/messagebox.h"
#include "toolkit/propertyfiler.h"
#include "toolkit/termination.h"

#include <QImage>
#include <QPointer>

#include <gtest/gtest.h>

#include <memory>

using namespace zkSecurity;
using namespace Qt::StringLiterals;
using zkSecurity::TreeNode;

namespace {

QByteArray b(const char *s)
{
    return QByteArray(s);
}

TreeNode *addNode(TzkSecurityTemplate &tree, TreeNode *parent, const QByteArray &text, qint32 id)
{
    TreeNode *node = tree.addChild(parent, text);
    auto record = std::make_unique<TzkNodeRecord>();
    record->SecurityId = id;
    node->setData(std::move(record));
    return node;
}

// A user node laid out as the user template holds it; returns its "Rights" node.
TreeNode *addUser(TzkSecurityTemplate &tree, const QByteArray &name, const QByteArray &password)
{
    TreeNode *user = addNode(tree, nullptr, name, 0);
    TreeNode *passwordNode = addNode(tree, user, b("Password(********)"), 0);
    passwordNode->editData()->setCaption(zkCript::TCripter::Scramble(password));
    return addNode(tree, user, b("Rights"), 0);
}

// Answers the logon dialog that a failed silent try (or a plain logon) shows with Cancel.
void cancelNextLogonDialog()
{
    testsupport::FakeSecurityUi::current().logonAnswers.append(
        {zkSecurity::DialogResult::Rejected, {}, {}});
}

// Answers every Yes/No question No while alive, and counts messages.
class QuestionsAnsweredNo
{
public:
    QuestionsAnsweredNo()
    {
        m_previous = rightsmith::toolkit::setMessageHook(
            [this](rightsmith::toolkit::MessageKind kind, const QString &text) {
                (kind == rightsmith::toolkit::MessageKind::Question ? questions : messages)
                    .append(text);
                return false;
            });
    }
    ~QuestionsAnsweredNo() { rightsmith::toolkit::setMessageHook(m_previous); }
    QStringList questions;
    QStringList messages;

private:
    rightsmith::toolkit::MessageHook m_previous;
};

class SecurityTest : public ::testing::Test
{
protected:
    testsupport::TemporaryHome home;
};

} // namespace

// --- options ------------------------------------------------------------------

TEST(SecurityOptions, EachMemberHasItsBitAndTheDefaultSetIs2552)
{
    const struct
    {
        TzkSecurityOptions option;
        quint16 bit;
        bool inDefault;
    } table[] = {
        {soForceBuildSecurityFromClients, 1, false},
        {soForceIDFromClients, 2, false},
        {soForceClientsVisibleAfterLogon, 4, false},
        {soAutoSaveUsers, 8, true},
        {soShowCheckedOKOnly, 16, true},
        {soAutoLogon, 32, true},
        {soReleaseOwnerOnLogonFail, 64, true},
        {soCreateSupervisorIfMissing, 128, true},
        {soShowIcons, 256, true},
        {soStorePassword, 512, false},
        {soSilentLogonTry, 1024, false},
        {soSaveUsersInFile, 2048, true},
    };
    const TzkSecurityOptionSet defaults = TzkSecurityOptionSet::defaults();
    EXPECT_EQ(defaults.toInt(), 2552);
    for (const auto &row : table) {
        SCOPED_TRACE(int(row.option));
        EXPECT_EQ(TzkSecurityOptionSet {row.option}.toInt(), row.bit);
        EXPECT_EQ(defaults.contains(row.option), row.inDefault);
        EXPECT_TRUE(TzkSecurityOptionSet::fromInt(row.bit).contains(row.option));
    }
    // Bits above the twelve members are not kept.
    EXPECT_EQ(TzkSecurityOptionSet::fromInt(0xF9F8).toInt(), 2552);
}

TEST_F(SecurityTest, ANewComponentHoldsTheDefaultsAndNobodyIsLoggedOn)
{
    TzkSecurity security;
    EXPECT_EQ(security.Options().toInt(), 2552);
    EXPECT_EQ(security.UserTemplateRegistryKeyName(),
              u"\\Software\\Tenvarro\\Kelvrin\\CurrentVersion\\SecurityObject\\UserTemplate"_s);
    EXPECT_EQ(security.UserTemplateFileName(), u"UserTemplate"_s);
    EXPECT_EQ(security.LastError(), seNone);
    EXPECT_FALSE(security.LoggedOn());
    EXPECT_FALSE(security.IsSupervisor());
    EXPECT_TRUE(security.GetCurrentUser().isEmpty());
    EXPECT_EQ(security.SecurityTemplate()->count(), 0);
    EXPECT_EQ(security.UserTemplate()->count(), 0);
    ASSERT_NE(security.ImageList(), nullptr);
    EXPECT_EQ(security.ImageList()->count(), 0);
    EXPECT_FALSE(security.ImageList()->masked());
    EXPECT_TRUE(security.LastUsers().isEmpty());
    EXPECT_TRUE(security.Clients().isEmpty());
    ASSERT_NE(security.Dialogs(), nullptr);
    EXPECT_FALSE(security.CheckId(0));
}

TEST_F(SecurityTest, SettingOptionsRemovesAndRestoresTheTemplateImagesAtOnce)
{
    TzkSecurity security;
    security.SetOptions(TzkSecurityOptionSet::defaults());
    EXPECT_EQ(security.SecurityTemplate()->images(), security.ImageList());
    security.SetOptions(TzkSecurityOptionSet::defaults().without(soShowIcons));
    EXPECT_EQ(security.SecurityTemplate()->images(), nullptr);
    EXPECT_FALSE(security.Options().contains(soShowIcons));
    security.SetOptions(TzkSecurityOptionSet::defaults());
    EXPECT_EQ(security.SecurityTemplate()->images(), security.ImageList());
}

// --- the rights check -----------------------------------------------------------

TEST_F(SecurityTest, CheckIdReadsTheMarkOfTheFirstLeafWithTheIdentifier)
{
    TzkSecurity security;
    TzkSecurityTemplate &users = *security.UserTemplate();
    addUser(users, b("Other"), QByteArray()); // rights of another user never count
    TreeNode *otherRights = users.nodeAt(users.count() - 1);
    addNode(users, otherRights, b("Elsewhere (Yes)"), 9);

    TreeNode *rights = addUser(users, b("Anna"), b("pw"));
    addNode(users, rights, b("Open (Yes)"), 1);
    addNode(users, rights, b("Close (No)"), 2);
    addNode(users, rights, b(" (No)"), 3);
    addNode(users, rights, b("Save (Yes) later"), 4);
    addNode(users, rights, b("Print (Yes) (Yes)"), 5);
    addNode(users, rights, b("Unmarked"), 6);
    // Depth first: the right inside the category comes before the later sibling.
    TreeNode *category = addNode(users, rights, b("File"), 0);
    addNode(users, category, b("Export (Yes)"), 7);
    addNode(users, rights, b("Export (No)"), 7);
    addNode(users, rights, b("Import (No)"), 8);
    addNode(users, rights, b("Import (Yes)"), 8);
    // A node with children is never a match itself, whatever its record says.
    TreeNode *parentWithId = addNode(users, rights, b("Parent (Yes)"), 10);
    addNode(users, parentWithId, b("Child (No)"), 11);
    addNode(users, rights, b("Empty category (Yes)"), 0);

    EXPECT_FALSE(security.CheckId(1)); // nobody logged on yet

    security.Dialogs()->SetSecurity(&security);
    ASSERT_TRUE(security.Logon(b("Anna"), b("pw"), true));
    EXPECT_TRUE(security.CheckId(1));
    EXPECT_FALSE(security.CheckId(2));
    EXPECT_FALSE(security.CheckId(3));
    EXPECT_FALSE(security.CheckId(4));
    EXPECT_FALSE(security.CheckId(5)); // the first " (Yes)" does not end the text
    EXPECT_FALSE(security.CheckId(6));
    EXPECT_TRUE(security.CheckId(7));
    EXPECT_FALSE(security.CheckId(8));
    EXPECT_FALSE(security.CheckId(9));
    EXPECT_FALSE(security.CheckId(10));
    EXPECT_FALSE(security.CheckId(12)); // nowhere in the subtree

    // Identifier 0 finds the password node before anything else.
    TreeNode *anna = users.GetUserNodeByUserName(b("Anna"));
    EXPECT_EQ(security.FindRightNode(anna, 0), anna->firstChild());
    EXPECT_FALSE(security.CheckId(0));
    EXPECT_EQ(security.FindRightNode(anna, 7)->text(), b("Export (Yes)"));
    EXPECT_EQ(security.FindRightNode(anna, 10), nullptr);
    EXPECT_EQ(security.FindRightNode(nullptr, 1), nullptr);
}

TEST_F(SecurityTest, ARightAddedToTheSecurityTemplateLaterIsDeniedToExistingUsers)
{
    TzkSecurity security;
    TzkSecurityTemplate &tmpl = *security.SecurityTemplate();
    TreeNode *root = addNode(tmpl, nullptr, b("User"), 0);
    addNode(tmpl, root, b("Open"), 1)->editData()->setCaption(b("Open"));
    security.UserTemplate()->AddUserToUserTemplate(&tmpl, b("Supervisor"), QByteArray(), true);
    security.UserTemplate()->AddUserToUserTemplate(&tmpl, b("Bob"), QByteArray(), true);
    addNode(tmpl, root, b("Save"), 2)->editData()->setCaption(b("Save"));
    security.Dialogs()->SetSecurity(&security);

    ASSERT_TRUE(security.Logon(b("Supervisor"), QByteArray(), true));
    EXPECT_TRUE(security.CheckId(1));
    EXPECT_FALSE(security.CheckId(2));
    ASSERT_TRUE(security.Logon(b("Bob"), QByteArray(), true));
    EXPECT_TRUE(security.CheckId(1));
    EXPECT_FALSE(security.CheckId(2));
}

TEST_F(SecurityTest, CurrentUserAndSupervisorFollowTheExactNameAndARefusedLogon)
{
    TzkSecurity security;
    TzkSecurityTemplate &users = *security.UserTemplate();
    addNode(users, addUser(users, b("supervisor"), QByteArray()), b("Open (Yes)"), 1);
    addNode(users, addUser(users, b("Supervisor"), b("secret")), b("Open (Yes)"), 1);
    security.Dialogs()->SetSecurity(&security);

    ASSERT_TRUE(security.Logon(b("supervisor"), QByteArray(), true));
    EXPECT_EQ(security.GetCurrentUser(), b("supervisor"));
    EXPECT_FALSE(security.IsSupervisor());

    ASSERT_TRUE(security.Logon(b("Supervisor"), b("secret"), true));
    EXPECT_EQ(security.GetCurrentUser(), b("Supervisor"));
    EXPECT_TRUE(security.IsSupervisor());
    EXPECT_TRUE(security.CheckId(1));

    // A wrong password falls through to the dialog; Cancel, and No to keeping
    // the current logon, ends the logon altogether.
    QuestionsAnsweredNo answers;
    cancelNextLogonDialog();
    EXPECT_FALSE(security.Logon(b("Supervisor"), b("wrong"), true));
    EXPECT_EQ(answers.questions.size(), 1);
    EXPECT_FALSE(security.LoggedOn());
    EXPECT_FALSE(security.IsSupervisor());
    EXPECT_TRUE(security.GetCurrentUser().isEmpty());
    EXPECT_TRUE(security.CurrentUserName().isEmpty());
    EXPECT_FALSE(security.CheckId(1));
}

TEST_F(SecurityTest, AnAcceptedLogonStoresTheScrambledPassword)
{
    {
        TzkSecurity security;
        security.SetOptions(TzkSecurityOptionSet::defaults().with(soStorePassword));
        addUser(*security.UserTemplate(), b("Anna"), b("secret"));
        security.Dialogs()->SetSecurity(&security);
        ASSERT_TRUE(security.Logon(b("Anna"), b("secret"), true));
    }
    TzkSecurity reader;
    reader.SetOptions(TzkSecurityOptionSet::defaults().with(soStorePassword));
    QByteArray remembered;
    ASSERT_TRUE(reader.LoadUsers(remembered));
    EXPECT_EQ(remembered, zkCript::TCripter::Scramble(b("secret")));
    ASSERT_NE(reader.UserTemplate()->GetUserNodeByUserName(b("Anna")), nullptr);
    EXPECT_EQ(reader.LastUsers(), QList<QByteArray> {b("Anna")});
}

// --- clients ----------------------------------------------------------------------

TEST_F(SecurityTest, ClientsRegisterInOrderAndUnregisterFromTheLatestEntry)
{
    auto security = std::make_unique<TzkSecurity>();
    zkActnLst::TzkActionList first;
    zkActnLst::TzkActionList second;
    rightsmith::toolkit::ActionList standard;
    using Clients = QList<rightsmith::toolkit::ActionList *>;

    security->RegisterClient(&first);
    security->RegisterClient(&second);
    security->RegisterClient(&standard); // not a protected list: ignored
    security->RegisterClient(&first);
    EXPECT_EQ(security->Clients(), (Clients {&first, &second, &first}));

    security->UnregisterClient(&first);
    EXPECT_EQ(security->Clients(), (Clients {&first, &second}));
    security->UnregisterClient(&standard);
    security->UnregisterClient(nullptr);
    EXPECT_EQ(security->Clients(), (Clients {&first, &second}));
    security->UnregisterClient(&first);
    EXPECT_EQ(security->Clients(), (Clients {&second}));

    // A list forgets the component when it goes, and the component detaches
    // the lists it still has when it goes.
    {
        zkActnLst::TzkActionList shortLived;
        shortLived.SetSecurityObject(security.get());
        EXPECT_EQ(security->Clients(), (Clients {&second, &shortLived}));
    }
    EXPECT_EQ(security->Clients(), (Clients {&second}));

    first.SetSecurityObject(security.get());
    second.SetSecurityObject(security.get());
    security->RegisterClient(&first); // registered twice now
    security.reset();
    EXPECT_EQ(first.SecurityObject(), nullptr);
    EXPECT_EQ(second.SecurityObject(), nullptr);
}

TEST_F(SecurityTest, NextSecurityIdIsAboveEveryClientActionAndTemplateNode)
{
    TzkSecurity security;
    EXPECT_EQ(security.NextSecurityId(), 1);

    QObject owner;
    zkActnLst::TzkActionList list(&owner);
    list.SetSecurityObject(&security);
    auto *negative = new zkActnLst::TzkAction(&owner);
    negative->setActionList(&list);
    negative->setSecurityId(-5);
    EXPECT_EQ(security.NextSecurityId(), 1);

    auto *action = new zkActnLst::TzkAction(&owner);
    action->setActionList(&list);
    action->setSecurityId(36);
    TzkSecurityTemplate &tmpl = *security.SecurityTemplate();
    TreeNode *root = addNode(tmpl, nullptr, b("User"), 0);
    addNode(tmpl, root, b("Check Rights"), 31);
    EXPECT_EQ(security.NextSecurityId(), 37);

    addNode(tmpl, root, b("Later"), 40);
    EXPECT_EQ(security.NextSecurityId(), 41);

    // The largest identifier does not wrap around to a negative one.
    action->setSecurityId(std::numeric_limits<qint32>::max());
    EXPECT_EQ(security.NextSecurityId(), std::numeric_limits<qint32>::max());
}

TEST_F(SecurityTest, EveryLogonMakesHiddenActionsOfHidingListsVisibleWhenAsked)
{
    TzkSecurity security;
    addUser(*security.UserTemplate(), b("Anna"), QByteArray());
    security.Dialogs()->SetSecurity(&security);
    QObject owner;
    zkActnLst::TzkActionList hiding(&owner);
    hiding.setOptions(zkActnLst::sorSetInvisibleOnFail);
    hiding.SetSecurityObject(&security);
    zkActnLst::TzkActionList disabling(&owner);
    disabling.SetSecurityObject(&security);
    const auto hiddenAction = [&owner](zkActnLst::TzkActionList *list) {
        auto *action = new zkActnLst::TzkAction(&owner);
        action->setActionList(list);
        action->setOptions(zkActnLst::soSetDisabledOnFail); // the action's own option is not read
        action->setVisible(false);
        return action;
    };
    zkActnLst::TzkAction *inHiding = hiddenAction(&hiding);
    zkActnLst::TzkAction *inDisabling = hiddenAction(&disabling);

    ASSERT_TRUE(security.Logon(b("Anna"), QByteArray(), true));
    EXPECT_FALSE(inHiding->isVisible()); // the option is off

    security.SetOptions(security.Options().with(soForceClientsVisibleAfterLogon));
    ASSERT_TRUE(security.Logon(b("Anna"), QByteArray(), true));
    EXPECT_TRUE(inHiding->isVisible());
    EXPECT_FALSE(inDisabling->isVisible());

    // A refused logon does it too.
    inHiding->setVisible(false);
    QuestionsAnsweredNo answers;
    cancelNextLogonDialog();
    EXPECT_FALSE(security.Logon(b("Nobody"), QByteArray(), true));
    EXPECT_TRUE(inHiding->isVisible());
}

TEST_F(SecurityTest, TheTemplateAndItsImagesTravelAsEvTreeAndEvImage)
{
    TzkSecurity source;
    TzkSecurityTemplate &tmpl = *source.SecurityTemplate();
    TreeNode *root = addNode(tmpl, nullptr, b("User"), 0);
    addNode(tmpl, root, b("Open"), 1)->editData()->setCaption(b("Open"));
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    source.ImageList()->add(image);
    source.ImageList()->add(image);
    source.ImageList()->add(image);

    rightsmith::toolkit::PropertyFiler writer;
    source.DefineProperties(writer);
    QStringList names;
    for (const auto &property : writer.properties()) {
        names.append(property.name);
        EXPECT_TRUE(property.hasData);
    }
    EXPECT_EQ(names, (QStringList {u"evTree"_s, u"evImage"_s}));

    TzkSecurity target;
    rightsmith::toolkit::PropertyFiler reader;
    target.DefineProperties(reader);
    ASSERT_TRUE(reader.readProperty(u"evTree"_s, writer.writeProperty(u"evTree"_s)));
    ASSERT_TRUE(reader.readProperty(u"evImage"_s, writer.writeProperty(u"evImage"_s)));
    ASSERT_EQ(target.SecurityTemplate()->count(), 2);
    EXPECT_EQ(target.SecurityTemplate()->nodeAt(1)->text(), b("Open"));
    EXPECT_EQ(target.SecurityTemplate()->nodeAt(1)->data()->SecurityId, 1);
    EXPECT_EQ(target.ImageList()->count(), 3);
    EXPECT_EQ(target.UserTemplate()->count(), 0);
}

// --- recent users -------------------------------------------------------------------

TEST_F(SecurityTest, RecentUsersKeepSixNamesNewestLastIgnoringCase)
{
    TzkSecurity security;
    security.AddLastUser(b("A"));
    security.AddLastUser(b("B"));
    security.AddLastUser(b("A"));
    EXPECT_EQ(security.LastUsers(), (QList<QByteArray> {b("B"), b("A")}));

    security.LastUsers().clear();
    for (const char *name : {"u1", "u2", "u3", "u4", "u5", "u6", "u7"})
        security.AddLastUser(b(name));
    EXPECT_EQ(security.LastUsers(),
              (QList<QByteArray> {b("u2"), b("u3"), b("u4"), b("u5"), b("u6"), b("u7")}));

    security.AddLastUser(b("U4"));
    EXPECT_EQ(security.LastUsers(),
              (QList<QByteArray> {b("u2"), b("u3"), b("u5"), b("u6"), b("u7"), b("U4")}));

    // Letters beyond ASCII compare without case too (Windows-1252 0xC9 and 0xE9).
    security.LastUsers() = {b("\xC9mile"), b("x")};
    security.AddLastUser(b("\xE9MILE"));
    EXPECT_EQ(security.LastUsers(), (QList<QByteArray> {b("x"), b("\xE9MILE")}));

    // A list read from a store that held too many names loses only its oldest.
    security.LastUsers() = {b("1"), b("2"), b("3"), b("4"), b("5"), b("6"), b("7"), b("8")};
    security.AddLastUser(b("9"));
    EXPECT_EQ(security.LastUsers(),
              (QList<QByteArray> {b("2"), b("3"), b("4"), b("5"), b("6"), b("7"), b("8"), b("9")}));
    security.AddLastUser(b("5"));
    EXPECT_EQ(security.LastUsers(),
              (QList<QByteArray> {b("3"), b("4"), b("6"), b("7"), b("8"), b("9"), b("5")}));
}

// --- one component per window ---------------------------------------------------------

TEST_F(SecurityTest, OneComponentPerWindowUntilTheFirstIsDestroyed)
{
    testsupport::FakeForm form;
    QObject *panel = new QObject(&form);
    testsupport::FakeForm otherForm;

    auto first = std::make_unique<TzkSecurity>(&form);
    const auto refused = [](QObject *owner) {
        try {
            TzkSecurity second(owner);
        } catch (const rightsmith::toolkit::Error &error) {
            return error.message();
        }
        return QString();
    };
    const QString message = u"No more than one instance of Security Component allowed."_s;
    EXPECT_EQ(refused(&form), message);
    EXPECT_EQ(refused(panel), message); // the panel's window is the form
    EXPECT_EQ(refused(&form), message); // a refused one leaves the claim in place
    EXPECT_EQ(form.findChildren<TzkSecurity *>().size(), 1);

    // Another window, no owner, or an owner without a window: never refused.
    EXPECT_TRUE(refused(&otherForm).isEmpty());
    EXPECT_TRUE(refused(nullptr).isEmpty());
    TzkSecurity ownerless1;
    TzkSecurity ownerless2;
    QObject plainOwner;
    TzkSecurity onObject1(&plainOwner);
    TzkSecurity onObject2(&plainOwner);

    first.reset();
    auto again = std::make_unique<TzkSecurity>(&form);
    EXPECT_EQ(refused(&form), message);
}

// --- start-up ---------------------------------------------------------------------------

namespace {

// A form with a protected list of two actions and a security component set up to
// rebuild its template, create "Supervisor" and log it on silently.
struct StartupForm
{
    explicit StartupForm(bool designMode)
    {
        rightsmith::toolkit::setDesignMode(&form, designMode);
        security = new TzkSecurity(&form);
        security->SetOptions(TzkSecurityOptionSet {soForceBuildSecurityFromClients, soAutoLogon,
                                                   soSilentLogonTry, soCreateSupervisorIfMissing,
                                                   soShowIcons});
        list = new zkActnLst::TzkActionList(&form);
        list->SetSecurityObject(security);
        open = new zkActnLst::TzkAction(&form);
        open->setText(u"&Open"_s);
        open->setActionList(list);
    }
    testsupport::FakeForm form;
    TzkSecurity *security;
    zkActnLst::TzkActionList *list;
    zkActnLst::TzkAction *open;
};

} // namespace

TEST_F(SecurityTest, LoadedBuildsCreatesTheSupervisorAndLogsOnSilently)
{
    StartupForm startup(false);
    startup.security->Loaded();
    EXPECT_EQ(startup.open->SecurityId(), 1);
    EXPECT_EQ(startup.security->SecurityTemplate()->count(), 2);
    EXPECT_EQ(startup.security->SecurityTemplate()->images(), startup.security->ImageList());
    ASSERT_NE(startup.security->UserTemplate()->GetUserNodeByUserName(b("Supervisor")), nullptr);
    EXPECT_TRUE(startup.security->LoggedOn());
    EXPECT_TRUE(startup.security->IsSupervisor());
    EXPECT_TRUE(startup.security->CheckId(1));
    EXPECT_EQ(startup.security->LastUsers(), QList<QByteArray> {b("Supervisor")});
}

TEST_F(SecurityTest, LoadedDoesNothingInDesignMode)
{
    StartupForm startup(true);
    startup.security->Loaded();
    EXPECT_EQ(startup.open->SecurityId(), 0);
    EXPECT_EQ(startup.security->SecurityTemplate()->count(), 0);
    EXPECT_EQ(startup.security->ImageList()->count(), 0);
    EXPECT_EQ(startup.security->UserTemplate()->count(), 0);
    EXPECT_FALSE(startup.security->LoggedOn());
    EXPECT_TRUE(startup.security->LastUsers().isEmpty());
}

TEST_F(SecurityTest, ARefusedAutomaticLogonEndsTheApplicationOnlyForAFormOwner)
{
    const TzkSecurityOptionSet options {soAutoLogon, soReleaseOwnerOnLogonFail};
    rightsmith::toolkit::clearTermination();
    {
        // Owned by something that is not a form: the application runs on.
        QObject owner;
        TzkSecurity security(&owner);
        security.SetOptions(options);
        cancelNextLogonDialog();
        security.Loaded();
        EXPECT_FALSE(security.LoggedOn());
        EXPECT_FALSE(rightsmith::toolkit::terminationRequested());
    }
    {
        // Without the option the form keeps running with nobody logged on.
        testsupport::FakeForm form;
        TzkSecurity security(&form);
        security.SetOptions(options.without(soReleaseOwnerOnLogonFail));
        cancelNextLogonDialog();
        security.Loaded();
        EXPECT_FALSE(security.LoggedOn());
        EXPECT_FALSE(rightsmith::toolkit::terminationRequested());
    }
    {
        testsupport::FakeForm form;
        TzkSecurity security(&form);
        security.SetOptions(options);
        cancelNextLogonDialog();
        security.Loaded();
        EXPECT_FALSE(security.LoggedOn());
        EXPECT_TRUE(rightsmith::toolkit::terminationRequested());
        // Start-up went on to its end: the supervisor was not asked for, so none exists.
        EXPECT_EQ(security.UserTemplate()->count(), 0);
    }
    rightsmith::toolkit::clearTermination();
}

TEST_F(SecurityTest, ADuplicateIdentifierStopsStartUpBeforeTheSupervisorIsCreated)
{
    testsupport::FakeForm form;
    TzkSecurity security(&form);
    security.SetOptions(TzkSecurityOptionSet {soForceBuildSecurityFromClients, soForceIDFromClients,
                                              soCreateSupervisorIfMissing, soAutoLogon});
    zkActnLst::TzkActionList list(&form);
    list.SetSecurityObject(&security);
    for (int i = 0; i < 2; ++i) {
        auto *action = new zkActnLst::TzkAction(&form);
        action->setActionList(&list);
        action->setSecurityId(7);
    }
    try {
        security.Loaded();
        ADD_FAILURE() << "no exception";
    } catch (const rightsmith::toolkit::Error &error) {
        EXPECT_EQ(error.message(),
                  u"Duplicate Security ID Found. Cannot Continue. Please correct."_s);
    }
    EXPECT_EQ(security.UserTemplate()->count(), 0);
    EXPECT_FALSE(security.LoggedOn());
}
