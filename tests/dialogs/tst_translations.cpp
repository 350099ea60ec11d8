// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The library's translation: installTranslations() picks it for the user's
// language, and the logon and user management dialogs show its texts; with
// English or a language without a translation, the English texts show.
#include "dialogs/tdlgpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "securityfixture.h"
#include "support/testsupport.h"
#include "toolkit/translations.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace fixture;

namespace {

// The window title and the texts of the labels and buttons \a dialog shows.
QStringList shownTexts(QWidget *dialog)
{
    QStringList texts {dialog->windowTitle()};
    for (const QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisibleTo(dialog) && !label->text().isEmpty())
            texts << label->text();
    }
    for (const QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
        if (button->isVisibleTo(dialog) && !button->text().isEmpty())
            texts << button->text();
    }
    return texts;
}

const QStringList EnglishLogon {u"Password Dialog"_s, u"Enter &user name:"_s, u"Enter &password:"_s,
                                u"&Cancel"_s};
const QStringList EnglishUsers {u"Security"_s, u"&New User"_s, u"&Remove User"_s, u"&Cancel"_s};
const QStringList GermanLogon {u"Anmeldung"_s, u"&Benutzername:"_s, u"&Kennwort:"_s,
                               u"&Abbrechen"_s};
const QStringList GermanUsers {u"Sicherheit"_s, u"&Neuer Benutzer"_s, u"Benutzer &entfernen"_s,
                               u"&Abbrechen"_s};

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
#ifdef RIGHTSMITH_GERMAN_QM
        // A translation in a folder of the caller's, under another language.
        QVERIFY(QFile::copy(QStringLiteral(RIGHTSMITH_GERMAN_QM),
                            m_folder.filePath(u"rightsmith_fr.qm"_s)));
#endif
    }
    void cleanupTestCase()
    {
        QLocale::setDefault(QLocale::system());
    }

    void dialogsShowTheTranslation_data()
    {
        QTest::addColumn<QString>("locale"); // empty: the environment's (LANG)
        QTest::addColumn<bool>("givenFolder");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QStringList>("logon");
        QTest::addColumn<QStringList>("users");
#ifdef RIGHTSMITH_GERMAN_QM
        QTest::newRow("LANG=de_DE.UTF-8")
            << QString() << false << true << GermanLogon << GermanUsers;
        QTest::newRow("de_AT falls back to de")
            << u"de_AT"_s << false << true << GermanLogon << GermanUsers;
        QTest::newRow("the caller's folder first")
            << u"fr_FR"_s << true << true << GermanLogon << GermanUsers;
#endif
        QTest::newRow("English") << u"en_US"_s << false << false << EnglishLogon << EnglishUsers;
        QTest::newRow("no translation")
            << u"fr_FR"_s << false << false << EnglishLogon << EnglishUsers;
    }
    void dialogsShowTheTranslation()
    {
        QFETCH(QString, locale);
        QFETCH(bool, givenFolder);
        QFETCH(bool, loaded);
        QFETCH(QStringList, logon);
        QFETCH(QStringList, users);
        QLocale::setDefault(locale.isEmpty() ? QLocale::system() : QLocale(locale));
        QCOMPARE(rightsmith::installTranslations(givenFolder ? m_folder.path() : QString()),
                 loaded);

        testsupport::TemporaryHome home;
        zkSecurity::TzkSecurity security;
        fillSecurityTemplate(security.SecurityTemplate());
        security.UserTemplate()->AddUserToUserTemplate(security.SecurityTemplate(), "Supervisor"_ba,
                                                       QByteArray(), true);
        security.Dialogs()->SetSecurity(&security);
        QStringList shown;
        const auto look = [&shown](QWidget *modal) {
            shown = shownTexts(modal);
            static_cast<QDialog *>(modal)->reject();
        };
        // Nobody logged on: the logon dialog comes first.
        {
            ModalAnswer answer(look);
            security.ShowSecurityDialog();
            QVERIFY(answer.answered());
        }
        for (const QString &text : logon)
            QVERIFY2(shown.contains(text), qPrintable(shown.join(u" | "_s)));
        QVERIFY(security.Logon("Supervisor"_ba, QByteArray(), true));
        {
            ModalAnswer answer(look);
            security.ShowSecurityDialog();
            QVERIFY(answer.answered());
        }
        for (const QString &text : users)
            QVERIFY2(shown.contains(text), qPrintable(shown.join(u" | "_s)));
    }
};

RIGHTSMITH_TEST_MAIN(tst_Translations)
#include "tst_translations.moc"
