// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/component/tzksecurity.h"

#include "security/component/logoncheck.h"
#include "security/component/securityclient.h"
#include "security/component/securityui.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/component/usermanagement.h"
#include "security/model/imagestream.h"
#include "security/model/passwordhash.h"
#include "security/model/rightsindex_p.h"
#include "security/model/tcripter.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/storenames_p.h"
#include "security/store/userstore.h"
#include "toolkit/action.h"
#include "toolkit/actionlist.h"
#include "toolkit/codec.h"
#include "toolkit/error.h"
#include "toolkit/imagelist.h"
#include "toolkit/windowsystem.h"

#include <QIODevice>

#include <limits>

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;

namespace zkSecurity {

TzkSecurity::TzkSecurity(QObject *owner)
    : QObject(owner)
{
    m_lastError = seNone;
    m_loggedOn = false;
    m_clients.clear();
    m_options = TzkSecurityOptionSet::defaults();
    m_userTemplateRegistryKeyName = StoreNames::DefaultKey;
    m_userTemplateFileName = StoreNames::DefaultFileName;
    m_imageList = std::make_unique<toolkit::ImageList>();
    m_imageList->setMasked(false);
    // The trees need no host window here: they are plain trees that views observe.
    m_securityTemplate = std::make_unique<TzkSecurityTemplate>();
    m_userTemplate = std::make_unique<TzkSecurityTemplate>();
    m_roleTemplate = std::make_unique<TzkSecurityTemplate>();
    m_dialogs = std::make_unique<TzkSecurityDialogs>();
    m_lastUsers.clear();
    m_store = std::make_unique<UserStore>();
    m_rightsIndex = std::make_unique<RightsIndex>();
    // A right granted or revoked in place is taken into the index at once,
    // so that the pass after it hears of that identifier alone.
    connect(m_userTemplate.get(), &Tree::nodeChanged, this,
            [this](TreeNode *node) { m_rightsIndex->textChanged(*node, RightsStamp()); });
    m_rightsSource = std::make_unique<toolkit::UpdateSource>([this] { return RightsStamp(); },
                                                             [this](std::vector<qint32> &changed) {
                                                                 TakeRightsChanges(changed);
                                                                 return true;
                                                             });

    if (!CheckSingleInstance()) {
        m_instanceMapping.release();
        // The members built so far are released by their own destructors.
        throw toolkit::Error(tr("No more than one instance of Security Component allowed."));
    }
}

TzkSecurity::~TzkSecurity()
{
    m_rightsSource.reset();
    StopWatching();
    DetachClients();
    m_clients.clear();
    m_userTemplate->ClearTemplate();
    m_userTemplate.reset();
    m_securityTemplate->ClearTemplate();
    m_securityTemplate.reset();
    m_dialogs.reset();
    m_imageList.reset();
    m_lastUsers.clear();
    m_instanceMapping.release();
}

QByteArray TzkSecurity::GetCurrentUser() const
{
    return m_loggedOn ? m_currentUserName : QByteArray();
}

void TzkSecurity::SetOptions(TzkSecurityOptionSet value)
{
    m_options = value;
    m_securityTemplate->setImages(value.contains(soShowIcons) ? m_imageList.get() : nullptr);
}

QList<toolkit::ActionList *> TzkSecurity::Clients() const
{
    QList<toolkit::ActionList *> result;
    result.reserve(m_clients.size());
    for (const auto &client : m_clients)
        result.append(client.data());
    return result;
}

void TzkSecurity::DefineProperties(toolkit::PropertyFiler &filer)
{
    filer.defineBinaryProperty(
        u"evTree"_s,
        [this](QIODevice &device) { m_securityTemplate->LoadFromStreamSecurity(device); },
        [this](QIODevice &device) { m_securityTemplate->SaveToStreamSecurity(device); }, true);
    filer.defineBinaryProperty(
        u"evImage"_s, [this](QIODevice &device) { ReadImageStream(device, *m_imageList); },
        [this](QIODevice &device) { WriteImageStream(device, *m_imageList); }, true);
}

quint64 TzkSecurity::RightsStamp() const
{
    return m_userTemplate->generation() + m_logonChanges;
}

bool TzkSecurity::CheckId(qint32 id) const
{
    if (!m_loggedOn)
        return false;
    // The user's node, then the first leaf with the identifier, as the walk of
    // FindRightNode() finds them; answered from an index that every change of
    // the user template or of the logged-on user renews.
    return m_rightsIndex->granted(*m_userTemplate, RightsStamp(), m_currentUserName, id);
}

void TzkSecurity::TakeRightsChanges(std::vector<qint32> &changed)
{
    m_rightsIndex->takeChanges(*m_userTemplate, RightsStamp(),
                               m_loggedOn ? &m_currentUserName : nullptr, changed);
}

zkSecurity::TreeNode *TzkSecurity::FindRightNode(zkSecurity::TreeNode *node, qint32 id) const
{
    if (!node)
        return nullptr;
    // Depth-first in child order; the first matching leaf wins. Walked with an
    // explicit stack, as a tree read from a damaged stream may be very deep.
    QList<zkSecurity::TreeNode *> pending {node};
    while (!pending.isEmpty()) {
        zkSecurity::TreeNode *current = pending.takeLast();
        if (current->hasChildren()) {
            for (int i = current->count() - 1; i >= 0; --i)
                pending.append(current->item(i));
            continue;
        }
        const TzkNodeRecord *record = current->data();
        if (record && record->SecurityId == id)
            return current;
    }
    return nullptr;
}

class TzkSecurity::DialogScope
{
public:
    explicit DialogScope(TzkSecurity &security)
        : m_security(security)
    {
        ++m_security.m_dialogDepth;
    }
    ~DialogScope()
    {
        --m_security.m_dialogDepth;
        m_security.ReloadUsers();
    }
    DialogScope(const DialogScope &) = delete;
    DialogScope &operator=(const DialogScope &) = delete;

private:
    TzkSecurity &m_security;
};

bool TzkSecurity::Logon(const QByteArray &userName, const QByteArray &password, bool silent)
{
    const DialogScope scope(*this);
    QByteArray name = userName;
    QByteArray plainPassword = password;
    const bool accepted = m_dialogs->ShowLogonDialog(name, plainPassword, silent,
                                                     m_options.contains(soShowCheckedOKOnly));
    m_loggedOn = accepted;
    ++m_logonChanges;
    if (accepted) {
        m_currentUserName = name;
        m_isSupervisor = m_currentUserName == SupervisorName;
        // With hashing on, no password is remembered for the next start.
        if (m_hardening.hashPasswords) {
            // The upgrade to a hash is this logon's own change: when another
            // program saved the users meanwhile, it is made again on the
            // users read anew rather than lost, and told of only when the
            // refused save held other changes too.
            const bool onlyUpgrade = m_store->holdsAsStored(*m_userTemplate);
            UpgradePassword(name, plainPassword);
            bool saved = SaveUsers(QByteArray(), !onlyUpgrade);
            for (int again = 0;
                 !saved && m_store->changedElsewhere() && m_dialogDepth == 1 && again < 3;
                 ++again) {
                ReloadUsersNow();
                if (!m_loggedOn)
                    break;
                UpgradePassword(name, plainPassword);
                saved = SaveUsers(QByteArray(), false);
            }
        } else {
            SaveUsers(zkCript::TCripter::Scramble(plainPassword));
        }
    } else {
        m_currentUserName.clear();
        m_isSupervisor = false;
    }
    ForceClientsVisible();
    return accepted;
}

void TzkSecurity::UpgradePassword(const QByteArray &userName, const QByteArray &password)
{
    TreeNode *user = m_userTemplate->GetUserNodeByUserName(userName);
    TreeNode *passwordNode = user ? user->firstChild() : nullptr;
    if (!passwordNode)
        return;
    const TzkNodeRecord *record = passwordNode->data();
    if (record && !PasswordHash::needsRehash(*record, m_hardening.hashCost))
        return;
    // A logon kept after a refused dialog brings the password it was given,
    // not one that was checked: only a password that matches is hashed.
    if (!PasswordHash::matches(record, password))
        return;
    try {
        TzkNodeRecord upgraded = record ? *record : TzkNodeRecord();
        PasswordHash::store(upgraded, password, m_hardening.hashCost);
        passwordNode->setData(upgraded);
    } catch (const toolkit::Error &error) {
        // The scrambled password stays; the next logon tries again.
        qWarning("%ls", qUtf16Printable(error.message()));
    }
}

void TzkSecurity::ShowSecurityDialog()
{
    // The dialog says up front when the server is gone, even when the loop
    // has not turned since it went.
    CheckSharedStore();
    if (!m_loggedOn) {
        Logon(m_currentUserName, QByteArray(), false);
        return;
    }
    SecurityUi *ui = SecurityUi::Installed();
    if (!ui)
        return;
    const DialogScope scope(*this);
    // Outlives the dialog, which refers to it.
    const LogonCheck check = CreateLogonCheck();
    // Freed on every way out.
    const std::unique_ptr<UserManagementDialog> dialog =
        ui->CreateUserManagementDialog(m_securityTemplate.get());
    if (UsersReadOnly())
        dialog->SetReadOnlyReason(
            tr("The user store on the server \"%1\" cannot be reached; the users cannot be "
               "changed until it is back.")
                .arg(SharedStore::displayAddress(StoreSettings().sharedAddress)));
    if (!RunUserManagement(*dialog, m_userTemplate.get(), m_securityTemplate.get(),
                           m_currentUserName, m_options.contains(soShowCheckedOKOnly), true, &check,
                           EditableRoleTemplate()))
        return;
    // The stored password is already scrambled; it goes to the store as it
    // is. A hashed one is not remembered: its caption is no password.
    TreeNode *user = m_userTemplate->GetUserNodeByUserName(m_currentUserName);
    const TreeNode *passwordNode = user ? user->firstChild() : nullptr;
    const bool hashed =
        passwordNode && passwordNode->data() && PasswordHash::isHashed(*passwordNode->data());
    SaveUsers(hashed ? QByteArray() : m_userTemplate->GetPasswordFromUserTreeNode(user));
}

bool TzkSecurity::CheckSingleInstance()
{
    // No owner, or an owner without a window (not a widget): nothing to claim.
    // Otherwise the name is the owner's top-level window identifier (its native
    // window is created if needed), qualified by display or process as the platform needs.
    const std::optional<QByteArray> name = toolkit::NamedClaim::nameForOwner(parent());
    if (!name)
        return true;
    // A claim that cannot be made at all does not stop the component.
    return m_instanceMapping.acquire(*name) != toolkit::NamedClaim::AlreadyHeld;
}

bool TzkSecurity::OwnerIsForm() const
{
    return toolkit::isForm(parent());
}

qint32 TzkSecurity::NextSecurityId() const
{
    // Counted in 64 bits: an action carrying the largest identifier must not wrap around.
    qint64 running = 0;
    for (qsizetype i = m_clients.size() - 1; i >= 0; --i) {
        toolkit::ActionList *list = m_clients.at(i).data();
        if (!qobject_cast<SecurityClient *>(list))
            continue;
        for (toolkit::Action *action : list->actions()) {
            auto *protectedAction = qobject_cast<SecuredAction *>(action);
            if (protectedAction && protectedAction->SecurityId() >= running)
                running = qint64(protectedAction->SecurityId()) + 1;
        }
    }
    const qint64 result = std::max<qint64>(running, m_securityTemplate->GenerateSecurityId());
    return qint32(std::min<qint64>(result, std::numeric_limits<qint32>::max()));
}

void TzkSecurity::RegisterClient(toolkit::ActionList *list)
{
    if (qobject_cast<SecurityClient *>(list))
        m_clients.append(list);
}

void TzkSecurity::UnregisterClient(toolkit::ActionList *list)
{
    if (!list)
        return;
    for (qsizetype i = m_clients.size() - 1; i >= 0; --i) {
        if (m_clients.at(i).data() == list) {
            m_clients.removeAt(i);
            return;
        }
    }
}

void TzkSecurity::DetachClients()
{
    // Each list unregisters itself while its security object is cleared, so the
    // index is checked against the shrinking list on every step.
    for (qsizetype i = m_clients.size() - 1; i >= 0; --i) {
        if (i >= m_clients.size())
            continue;
        if (auto *client = qobject_cast<SecurityClient *>(m_clients.at(i).data()))
            client->DetachSecurity();
    }
    m_clients.clear();
}

void TzkSecurity::ForceClientsVisible()
{
    if (!m_options.contains(soForceClientsVisibleAfterLogon))
        return;
    // Making an action visible may run code that destroys lists or actions: walk guarded copies.
    const QList<QPointer<toolkit::ActionList>> clients = m_clients;
    for (qsizetype i = clients.size() - 1; i >= 0; --i) {
        toolkit::ActionList *list = clients.at(i).data();
        const auto *client = qobject_cast<SecurityClient *>(list);
        if (!client || !client->HidesOnFail())
            continue;
        const QList<toolkit::Action *> actions = list->actions();
        QList<QPointer<toolkit::Action>> guarded(actions.cbegin(), actions.cend());
        for (qsizetype j = guarded.size() - 1; j >= 0; --j) {
            toolkit::Action *action = guarded.at(j).data();
            if (qobject_cast<SecuredAction *>(action))
                action->setVisible(true);
        }
    }
}

void TzkSecurity::AddLastUser(const QByteArray &userName)
{
    // Names are compared without regard to letter case as the user reads them:
    // decoded through the code page, so that accented letters compare too.
    const QString name = toolkit::Codec::toUnicode(userName);
    for (qsizetype i = 0; i < m_lastUsers.size(); ++i) {
        if (toolkit::Codec::toUnicode(m_lastUsers.at(i)).compare(name, Qt::CaseInsensitive) == 0) {
            m_lastUsers.removeAt(i);
            break;
        }
    }
    // One name out for the one coming in: a longer list read from the store
    // loses only its oldest entry.
    if (m_lastUsers.size() > MaxLastUsers - 1)
        m_lastUsers.removeFirst();
    m_lastUsers.append(userName);
}

} // namespace zkSecurity
