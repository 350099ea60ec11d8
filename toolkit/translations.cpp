// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/translations.h"

#include "toolkit/logging_p.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QList>
#include <QLocale>
#include <QPointer>
#include <QStringList>
#include <QTranslator>

#include <dlfcn.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace rightsmith {

namespace {

using logging::lcTranslations;

// The translators the last call installed; the next call takes them out again.
QList<QPointer<QTranslator>> &installedTranslators()
{
    static QList<QPointer<QTranslator>> translators;
    return translators;
}

void removeInstalledTranslators()
{
    for (const QPointer<QTranslator> &translator : std::as_const(installedTranslators())) {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator.data();
        }
    }
    installedTranslators().clear();
}

// The languages of \a locale in order of preference, as the file names carry
// them, up to the first English one: English is the language of the source
// texts and needs no translation. Each language is followed by its shorter
// forms before the next language comes: "de_AT", "de", then "fr".
QStringList wantedLanguages(const QLocale &locale)
{
    QStringList names;
    for (const QString &language : locale.uiLanguages()) {
        const QLocale::Language named = QLocale(language).language();
        if (named == QLocale::English || named == QLocale::C)
            break;
        names << QString(language).replace(u'-', u'_');
    }
    QStringList languages;
    qsizetype groupStart = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        languages << names.at(i);
        const QString primary = names.at(i).section(u'_', 0, 0);
        if (i + 1 < names.size() && names.at(i + 1).section(u'_', 0, 0) == primary)
            continue;
        // The last of its language: the shorter forms of the whole group.
        for (qsizetype j = groupStart; j <= i; ++j) {
            for (QString name = names.at(j).section(u'_', 0, -2); !name.isEmpty();
                 name = name.section(u'_', 0, -2)) {
                if (!names.contains(name) && !languages.contains(name))
                    languages << name;
            }
        }
        groupStart = i + 1;
    }
    return languages;
}

// The folder of the file this library was loaded from; empty when the
// dynamic loader cannot tell.
QString libraryFolder()
{
    Dl_info info {};
    if (dladdr(reinterpret_cast<void *>(&installTranslations), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
}

QStringList translationFolders(const QString &directory)
{
    QStringList folders;
    if (!directory.isEmpty())
        folders << directory;
    const QString library = libraryFolder();
    if (library.isEmpty()) {
        folders << QStringLiteral(RIGHTSMITH_TRANSLATIONS_FULL);
    } else {
        folders << QDir::cleanPath(library + u'/'
                                   + QStringLiteral(RIGHTSMITH_TRANSLATIONS_RELATIVE));
        folders << QDir::cleanPath(library + u'/'
                                   + QStringLiteral(RIGHTSMITH_TRANSLATIONS_BUILD_RELATIVE));
    }
    return folders;
}

// Loads <name>_<language>.qm for the most preferred language that has one,
// looking through \a folders in order for each language.
std::unique_ptr<QTranslator> loadTranslation(const QString &name, const QStringList &languages,
                                             const QStringList &folders)
{
    for (const QString &language : languages) {
        for (const QString &folder : folders) {
            const QString file = QDir(folder).filePath(name + u'_' + language + u".qm"_s);
            if (!QFileInfo(file).isFile())
                continue;
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(file)) {
                qCDebug(lcTranslations) << "loaded" << file;
                return translator;
            }
            qCWarning(lcTranslations) << "cannot load the translation" << file;
        }
    }
    return nullptr;
}

} // namespace

bool installTranslations(const QString &directory)
{
    removeInstalledTranslators();
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        qCWarning(lcTranslations) << "installTranslations() needs an application object";
        return false;
    }
    const QStringList languages = wantedLanguages(QLocale());
    if (languages.isEmpty())
        return false;
    const QStringList folders = translationFolders(directory);
    std::unique_ptr<QTranslator> own = loadTranslation(u"rightsmith"_s, languages, folders);
    if (!own) {
        qCDebug(lcTranslations) << "no translation for" << languages << "in" << folders;
        return false;
    }
    // Qt's own texts (standard buttons, input dialogs) in the same language.
    std::unique_ptr<QTranslator> qt = loadTranslation(
        u"qtbase"_s, languages, {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
    for (QTranslator *translator : {own.release(), qt.release()}) {
        if (!translator)
            continue;
        translator->setParent(application);
        QCoreApplication::installTranslator(translator);
        installedTranslators().append(translator);
    }
    return true;
}

} // namespace rightsmith
