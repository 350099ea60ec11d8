// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The smallest application protected by Rightsmith: two commands, each
// guarded by a security identifier, and a Users command that opens the user
// management dialog. On the first start the user "Supervisor" is created
// with an empty password: press Enter in the logon dialog.
//
// Started with --hardened, it keeps its users apart (another key and file)
// with every hardening option on: passwords hashed, failed logons throttled,
// logons and changes recorded in the audit trail.
#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QStandardPaths>
#include <QToolBar>

#include <actions/tzkaction.h>
#include <actions/tzkactionlist.h>
#include <dialogs/installwidgets.h>
#include <exception>
#include <security/tzksecurity.h>
#include <toolkit/component.h>
#include <toolkit/messagebox.h>
#include <toolkit/translations.h>
#include <toolkit/widgets/application.h>

using namespace Qt::StringLiterals;

class MainWindow : public QMainWindow
{
public:
    explicit MainWindow(bool hardened)
    {
        setWindowTitle(hardened ? u"Minimal (hardened)"_s : u"Minimal"_s);
        resize(400, 200);

        // 1. The security component, owned by the main window (one per window).
        auto *security = new zkSecurity::TzkSecurity(this);
        security->setObjectName(u"security"_s);
        // Where the users are kept: a key of the per-user store, and a file.
        const QString name = hardened ? u"MinimalHardened"_s : u"Minimal"_s;
        security->setUserTemplateRegistryKeyName(
            u"\\Software\\Example\\%1\\UserTemplate"_s.arg(name));
        const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(dataDir);
        security->setUserTemplateFileName(dataDir + u"/%1UserTemplate"_s.arg(name));
        // No stored security template: build it at start-up from the actions,
        // keeping the identifiers they carry.
        security->SetOptions(zkSecurity::TzkSecurityOptionSet::defaults()
                                 .with(zkSecurity::soForceBuildSecurityFromClients)
                                 .with(zkSecurity::soForceIDFromClients));
        if (hardened) {
            // Everything off by default; switched on here, before the start-up below.
            zkSecurity::HardeningSettings hardening;
            hardening.hashPasswords = true;
            hardening.throttleLogons = true; // 5 free attempts, then 1 s, 2 s, ... 15 min
            hardening.auditTrail = true; // read it with: rightsmith-users audit --key ...
            security->SetHardening(hardening);
        }

        // 2. A protected action list; each command is a protected action with
        //    a category (its place in the rights tree) and an identifier.
        auto *actions = new zkActnLst::TzkActionList(this);
        auto *open = new zkActnLst::TzkAction(this);
        open->setText(u"&Open"_s);
        open->setCategory(u"File"_s);
        open->setSecurityId(1);
        open->setActionList(actions);
        open->setOnExecute(
            [](rightsmith::toolkit::Action *) { rightsmith::toolkit::showMessage(u"Opened."_s); });

        auto *erase = new zkActnLst::TzkAction(this);
        erase->setText(u"&Delete"_s);
        erase->setCategory(u"File"_s);
        erase->setSecurityId(2);
        erase->setActionList(actions);
        erase->setOnExecute(
            [](rightsmith::toolkit::Action *) { rightsmith::toolkit::showMessage(u"Deleted."_s); });

        // 3. Binding the list to the component registers it as a client.
        actions->SetSecurityObject(security);

        QMenu *file = menuBar()->addMenu(u"&File"_s);
        file->addActions({open, erase});
        QMenu *users = menuBar()->addMenu(u"&Security"_s);
        users->addAction(u"&Users..."_s, security, [security] { security->ShowSecurityDialog(); });
        users->addAction(u"&Change User"_s, security,
                         [security] { security->Logon({}, {}, false); });
        addToolBar(u"Commands"_s)->addActions({open, erase});

        // 4. Start-up: read the users, build the rights tree, create
        //    "Supervisor" when there is nobody, and show the logon dialog.
        rightsmith::toolkit::finishLoading(this);
    }
};

int main(int argc, char **argv)
{
    rightsmith::toolkit::Application app(argc, argv);
    // The library's dialogs and messages in the user's language (LANG).
    rightsmith::installTranslations();
    rightsmith::installWidgets();
    app.setTitle(u"Minimal"_s);
    const bool hardened = app.arguments().contains(u"--hardened"_s);
    try {
        app.createForm<MainWindow>(hardened);
    } catch (const std::exception &error) {
        rightsmith::toolkit::Application::handleException(error);
        return 1;
    }
    // Ends at once when the logon at start-up was refused.
    return app.run();
}
