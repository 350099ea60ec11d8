// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QString>

namespace rightsmith {

/// Loads the library's translation for the user's language and installs it
/// in the application, so that the dialogs, messages and the demo show their
/// texts in that language. Call it once after creating the application
/// object (QCoreApplication or any subclass), before the first window or
/// security component is made; calling it again replaces what the previous
/// call installed (for instance after QLocale::setDefault()).
///
/// The language is QLocale()'s: the default locale, which Qt takes from the
/// environment (LC_ALL, LC_MESSAGES, LANG; LANGUAGE may list several), in
/// their order of preference. English is the language of the source texts:
/// when it comes first, nothing is loaded.
///
/// The file rightsmith_<language>.qm (e.g. rightsmith_de.qm, or
/// rightsmith_de_AT.qm before it for de_AT) is looked for in, in this order:
/// \a directory when given; the installed translations folder,
/// `<datadir>/rightsmith/translations` of the prefix the library itself is
/// installed in (found from the library's own location at run time, so a
/// moved prefix works); and the build tree's translations folder, for
/// programs run uninstalled. Qt's own translation of its standard texts
/// (qtbase_<language>.qm from QLibraryInfo::TranslationsPath) is installed
/// too when it is there and the library's was found.
///
/// Returns true when the library's translation was found and installed;
/// false when it was not (an English locale, a language without a
/// translation, or no application object), in which case the English
/// source texts show and nothing is installed.
RIGHTSMITH_CORE_EXPORT bool installTranslations(const QString &directory = QString());

} // namespace rightsmith
