// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QByteArray>
#include <QString>

class QJsonArray;
class QTextStream;

namespace rightsmithusers {

enum ExitCode { ExitOk = 0, ExitError = 1, ExitUsage = 2 };

// A failure that ends the tool with \a code after printing \a message.
struct Failure
{
    int code;
    QString message;
};

// Standard output and standard error as text.
QTextStream &out();
QTextStream &err();

// \a bytes, a text of the store, as Unicode.
QString text(const QByteArray &bytes);

// \a array, indented, on standard output.
void printJson(const QJsonArray &array);

// Says where the user template a restore replaced is kept (\a kept, from
// UserStore::restore()); nothing when none was replaced.
void printKeptAs(const QString &kept);

// The password on stdin, without the line break that ends it: terminal text
// in the locale's encoding, stored in the system's code page.
QByteArray passwordFromStdin();

} // namespace rightsmithusers
