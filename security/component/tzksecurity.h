// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/component/tzksecurityoptions.h"
#include "security/hardening/hardening.h"
#include "toolkit/component.h"
#include "toolkit/namedclaim.h"
#include "toolkit/propertyfiler.h"
#include "toolkit/updatesource.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

class QTimer;

namespace rightsmith::toolkit {
class ActionList;
class ImageList;
} // namespace rightsmith::toolkit

namespace zkSecurity {

class TreeNode;

class LogonCheck;
class RightsIndex;
class SharedStore;
class SharedStoreWatcher;
class TzkSecurityDialogs;
class TzkSecurityTemplate;
class UserStore;
struct UserStoreSettings;

/// The security component an application puts on its main form. It keeps the
/// security template (every protected action by category) and the user
/// template (every user with a scrambled password and a copy of the rights),
/// the client action lists bound to it, and the logged-on user; protected
/// actions ask CheckId() on every idle pass.
///
/// One component per owner window: constructing a second one for the same
/// window throws rightsmith::toolkit::Error("No more than one instance of Security Component
/// allowed.").
class RIGHTSMITH_CORE_EXPORT TzkSecurity : public QObject,
                                           public rightsmith::toolkit::Component,
                                           public rightsmith::toolkit::PropertyFilerClient
{
    Q_OBJECT
public:
    /// How many recent user names LastUsers() keeps.
    static constexpr int MaxLastUsers = 6;

    /// Makes the component of \a owner (its main window). Throws rightsmith::toolkit::Error when \a
    /// owner already has one.
    explicit TzkSecurity(QObject *owner = nullptr);
    ~TzkSecurity() override;

    // Published properties.
    /// The key of the per-user registry the users are kept under; in the shared store, the key of
    /// the user template.
    QString UserTemplateRegistryKeyName() const { return m_userTemplateRegistryKeyName; }
    /// Sets UserTemplateRegistryKeyName().
    void setUserTemplateRegistryKeyName(const QString &key) { m_userTemplateRegistryKeyName = key; }
    /// The file holding the user template when the option soSaveUsersInFile is set.
    QString UserTemplateFileName() const { return m_userTemplateFileName; }
    /// Sets UserTemplateFileName().
    void setUserTemplateFileName(const QString &fileName) { m_userTemplateFileName = fileName; }
    /// The shared store the user template is kept in (a PostgreSQL connection
    /// string or URI); empty: as the system configuration or the environment
    /// say, else the local store (see resolveStoreAddress()). A started
    /// component reloads the user template whenever it is saved in the shared
    /// store, by any workstation, as the server notifies it.
    QString StoreAddress() const { return m_storeAddress; }
    /// Sets StoreAddress(); the store is decided again from it at the next use.
    void setStoreAddress(const QString &address)
    {
        m_storeAddress = address;
        m_storeResolved = false;
    }
    /// How long after the shared store was lost (or could not be reached at
    /// the start) the component tries again to listen to it; once it can, the
    /// user template is read anew, which also ends UsersReadOnly(). 15 s by default.
    std::chrono::milliseconds StoreRetryInterval() const { return m_storeRetryInterval; }
    /// Sets StoreRetryInterval().
    void setStoreRetryInterval(std::chrono::milliseconds interval)
    {
        m_storeRetryInterval = interval;
    }
    /// CurrentUserName while logged on, otherwise empty.
    QByteArray GetCurrentUser() const;
    /// Whether the logged-on user is a supervisor.
    bool IsSupervisor() const { return m_isSupervisor; }
    /// The component's error state; nothing sets it but construction, to seNone.
    TzkSecurityError LastError() const { return m_lastError; }
    /// The component's options.
    TzkSecurityOptionSet Options() const { return m_options; }
    /// Sets the options; the security template shows ImageList only with soShowIcons.
    void SetOptions(TzkSecurityOptionSet value);
    /// The security template: every protected action by category.
    TzkSecurityTemplate *SecurityTemplate() const { return m_securityTemplate.get(); }
    /// The opt-in hardening (hashed passwords, throttled logons, the audit
    /// trail); all off by default. Set it before the component is loaded.
    const HardeningSettings &Hardening() const { return m_hardening; }
    /// Sets the hardening. Throws rightsmith::toolkit::Error when hashing is on with a cost below
    /// the least accepted.
    void SetHardening(const HardeningSettings &hardening);
    /// The check the logon dialog runs: the store and hardening of this component.
    LogonCheck CreateLogonCheck() const;
    /// Opt-in roles: the role template kept beside the user template is
    /// read and saved with the users, and before each save every member's
    /// own rights are rewritten to the union of their roles. Off by default:
    /// nothing of roles is read, saved or shown. Set it before the component
    /// is loaded.
    void setRolesEnabled(bool enabled) { m_rolesEnabled = enabled; }
    /// Whether roles are on (see setRolesEnabled()).
    bool RolesEnabled() const { return m_rolesEnabled; }
    /// The role template (see zkSecurity::Roles); nullptr while roles are off.
    TzkSecurityTemplate *RoleTemplate() const
    {
        return m_rolesEnabled ? m_roleTemplate.get() : nullptr;
    }
    /// What is wrong with the role template last read, naming it; empty when
    /// it was read or there is none. Roles cannot be changed then.
    QString RolesProblem() const;
    /// The role template the user management dialog may change: nullptr
    /// while roles are off or RolesProblem() is set (the dialog then shows
    /// no roles, and members' rights are neither rewritten nor saved from
    /// roles that were not read).
    TzkSecurityTemplate *EditableRoleTemplate() const
    {
        return RolesProblem().isEmpty() ? RoleTemplate() : nullptr;
    }

    // Members other parts read.
    /// Whether a user is logged on.
    bool LoggedOn() const { return m_loggedOn; }
    /// The name of the logged-on user; empty after a refused logon.
    QByteArray CurrentUserName() const { return m_currentUserName; }
    /// The user template: every user with a scrambled password and a copy of the rights.
    TzkSecurityTemplate *UserTemplate() const { return m_userTemplate.get(); }
    /// The node images of the templates.
    rightsmith::toolkit::ImageList *ImageList() const { return m_imageList.get(); }
    /// Recent user names, oldest first, at most six.
    QList<QByteArray> &LastUsers() { return m_lastUsers; }
    /// \overload
    const QList<QByteArray> &LastUsers() const { return m_lastUsers; }
    /// The dialogs the component runs (logon, user management), through the installed SecurityUi.
    TzkSecurityDialogs *Dialogs() const { return m_dialogs.get(); }
    /// Registered client lists in registration order (entries already destroyed are null).
    QList<rightsmith::toolkit::ActionList *> Clients() const;

    /// Registers "evTree" (the security template) and "evImage" (ImageList).
    void DefineProperties(rightsmith::toolkit::PropertyFiler &filer) override;
    /// The start-up sequence: read the store, rebuild from clients if asked,
    /// create "Supervisor" if asked, log the last user on. Nothing in design mode.
    void Loaded() override;

    /// True when the logged-on user holds right \a id.
    bool CheckId(qint32 id) const;
    /// Grows whenever CheckId() may answer differently for some identifier:
    /// a logon or logoff, a change of the user template.
    quint64 RightsStamp() const;
    /// Logs \a userName on through the logon dialog (or silently); \a password is plain text.
    bool Logon(const QByteArray &userName, const QByteArray &password, bool silent);
    /// The user management dialog for the logged-on user (the logon dialog when nobody is).
    void ShowSecurityDialog();
    /// An identifier above every client action's and every template node's (at least 1).
    qint32 NextSecurityId() const;
    /// Adds \a list to the clients when it is a SecurityClient; TzkActionList::SetSecurityObject()
    /// calls it.
    void RegisterClient(rightsmith::toolkit::ActionList *list);
    /// Removes \a list from the clients.
    void UnregisterClient(rightsmith::toolkit::ActionList *list);
    /// Detaches every client (each clears its security object) and forgets them all.
    void DetachClients();
    /// With soForceClientsVisibleAfterLogon, shows every protected action of the clients that hide
    /// actions on failure.
    void ForceClientsVisible();
    /// Adds \a userName as most recent of LastUsers(), dropping an earlier entry of the same name
    /// (letter case aside) and, past MaxLastUsers, the oldest.
    void AddLastUser(const QByteArray &userName);

    /// Rebuilds \a tmpl and \a images from the client lists. Throws
    /// rightsmith::toolkit::Error("Duplicate Security ID Found. Cannot Continue. Please correct.")
    /// before changing anything when soForceIDFromClients finds a duplicate.
    bool BuildSecurityTemplateFromClients(TzkSecurityTemplate *tmpl,
                                          rightsmith::toolkit::ImageList *images);

    /// Writes the user template, its size, the recent users and (with
    /// soStorePassword) \a scrambledPassword to the store.
    bool SaveUsers(const QByteArray &scrambledPassword);
    /// Reads the user template and the recent users; \a scrambledPassword gets the remembered
    /// password.
    bool LoadUsers(QByteArray &scrambledPassword);
    /// True when the last LoadUsers found a stored user template that it
    /// could not read (as opposed to none at all): no "Supervisor" is made
    /// up and nobody is logged on in its place.
    bool UsersUnreadable() const;
    /// True when the last LoadUsers could not reach the shared store and read
    /// the local copy of its user template, or the server has been lost
    /// since: changes to the users are refused.
    bool UsersReadOnly() const;
    /// Where the users are kept, from the component's properties and options.
    UserStoreSettings StoreSettings() const;

    /// Claims the owner's window for this component; false when another component holds it already.
    /// Without an owner window there is nothing to claim (true).
    bool CheckSingleInstance();
    /// The first leaf at or below \a node (depth-first, in child order) whose record has SecurityId
    /// \a id, or nullptr.
    zkSecurity::TreeNode *FindRightNode(zkSecurity::TreeNode *node, qint32 id) const;

private:
    // Whether the owner is a form (a top-level widget), as the installed window system says.
    bool OwnerIsForm() const;

    // Build from clients.
    bool CollectClientIds();
    qint32 NextGeneratedId();
    zkSecurity::TreeNode *FindCategoryNode(TzkSecurityTemplate *tmpl, const QByteArray &text,
                                           int level) const;
    // Finds or adds the category path under \a root; returns the action's parent.
    zkSecurity::TreeNode *AddCategoryNodes(TzkSecurityTemplate *tmpl, zkSecurity::TreeNode *root,
                                           const QList<QByteArray> &segments, int &created);

    rightsmith::toolkit::NamedClaim m_instanceMapping;
    QByteArray m_currentUserName;
    bool m_isSupervisor = false;
    QList<QPointer<rightsmith::toolkit::ActionList>> m_clients;
    bool m_loggedOn = false;
    TzkSecurityError m_lastError = seNone;
    TzkSecurityOptionSet m_options = TzkSecurityOptionSet::defaults();
    QString m_userTemplateRegistryKeyName;
    QString m_userTemplateFileName;
    QString m_storeAddress;
    // The store decided from StoreAddress, the system file and the
    // environment, once: a version read on one server must not be saved
    // against another because a file or variable changed meanwhile.
    mutable bool m_storeResolved = false;
    mutable QString m_resolvedAddress;
    mutable QString m_resolvedProblem;
    std::unique_ptr<rightsmith::toolkit::ImageList> m_imageList;
    std::unique_ptr<TzkSecurityTemplate> m_userTemplate;
    std::unique_ptr<TzkSecurityTemplate> m_securityTemplate;
    std::unique_ptr<TzkSecurityTemplate> m_roleTemplate;
    bool m_rolesEnabled = false;
    QList<QByteArray> m_lastUsers;
    std::unique_ptr<TzkSecurityDialogs> m_dialogs;

    // State of one build from clients.
    QSet<qint32> m_usedIds;
    qint32 m_generatedId = 0;
    // The last node in tree order at each (level, text), for FindCategoryNode().
    QHash<QPair<int, QByteArray>, zkSecurity::TreeNode *> m_nodesByLevelAndText;
    void NoteBuiltNode(zkSecurity::TreeNode *node, int level);

    std::unique_ptr<UserStore> m_store;
    HardeningSettings m_hardening;
    // With hashing on: hashes the logged-on user's password node anew from
    // the password just checked, when it is scrambled or hashed at a lower cost.
    void UpgradePassword(const QByteArray &userName, const QByteArray &password);

    std::unique_ptr<RightsIndex> m_rightsIndex;
    // Logons and logoffs so far, for RightsStamp().
    quint64 m_logonChanges = 0;

    // With a shared store: a connection of its own that listens for saves of
    // any workstation, and the watcher of its socket; destroyed before the
    // templates. A save of this component's user template reloads it, except
    // while a dialog works on it: then once the dialog has closed.
    std::unique_ptr<SharedStore> m_listener;
    std::unique_ptr<SharedStoreWatcher> m_watcher;
    int m_dialogDepth = 0;
    bool m_reloadPending = false;
    std::chrono::milliseconds m_storeRetryInterval {15000};
    QTimer *m_storeRetry = nullptr;
    // A connection being made again after the store was lost (on a thread).
    std::future<std::unique_ptr<SharedStore>> m_connecting;
    void WatchSharedStore();
    void ListenOn(std::unique_ptr<SharedStore> listener);
    void StopWatching();
    void RetryWatching();
    void Reconnected();
    // Learns now what the listening connection's socket holds (a save
    // notified, the server gone) rather than at the next turn of the loop.
    void CheckSharedStore();
    void SharedStoreChanged(const QString &storeKey);
    // Reads the user template again when asked to (m_reloadPending), once no
    // dialog works on it; the recent users and the password stay as they are.
    void ReloadUsers();
    void ReloadUsersNow();
    // SaveUsers, telling a save refused over another program's in a message
    // only with \a tellConflict.
    bool SaveUsers(const QByteArray &scrambledPassword, bool tellConflict);
    // Counts a dialog working on the user template while it lives, and
    // reloads a change that came in meanwhile once the last one has closed.
    class DialogScope;
    // Appends every identifier for which CheckId() answers differently than
    // at the previous call (nothing granted before the first).
    void TakeRightsChanges(std::vector<qint32> &changed);
    // Tells the idle update pass when the rights changed, and which
    // identifiers turned; destroyed first.
    std::unique_ptr<rightsmith::toolkit::UpdateSource> m_rightsSource;
};

/// The \a index-th (from 1) token of \a text between \a delimiter characters,
/// trimmed of characters 0 to 32; empty when there are fewer tokens.
RIGHTSMITH_CORE_EXPORT QString ExtractToken(const QString &text, int index, QChar delimiter);
/// \a caption with every "&" removed and every control character replaced by "_".
RIGHTSMITH_CORE_EXPORT QString CleanCaption(const QString &caption);

} // namespace zkSecurity
