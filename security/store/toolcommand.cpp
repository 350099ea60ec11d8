// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/sharedstore_p.h"
#include "security/store/toolcommand_p.h"
#include "security/store/userstore.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace zkSecurity {

QString shellQuoted(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', u"'\\''"_s) + u'\'';
}

QString toolCommand(const UserStoreSettings &settings, const QString &command)
{
    QString line = u"rightsmith-users --key "_s + shellQuoted(settings.key);
    if (!settings.sharedAddress.isEmpty())
        line += u" --store "_s + shellQuoted(SharedStore::displayAddress(settings.sharedAddress));
    else if (settings.inFile && !settings.fileName.isEmpty())
        line += u" --file "_s + shellQuoted(QFileInfo(settings.fileName).absoluteFilePath());
    return line + u' ' + command;
}

QString initStoreCommand(const QString &address, bool upgrade)
{
    return u"rightsmith-users init-store "_s + (upgrade ? u"--upgrade "_s : QString())
        + shellQuoted(SharedStore::displayAddress(address));
}

} // namespace zkSecurity
