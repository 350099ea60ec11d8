// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "console.h"

#include "toolkit/codec.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString text(const QByteArray &bytes)
{
    return rightsmith::toolkit::Codec::toUnicode(bytes);
}

void printJson(const QJsonArray &array)
{
    out() << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

void printKeptAs(const QString &kept)
{
    if (!kept.isEmpty())
        out() << "the user template it replaces is kept as " << kept << '\n';
}

QByteArray passwordFromStdin()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        throw Failure {ExitError, u"cannot read the password from stdin"_s};
    QByteArray typed = input.readAll();
    if (typed.endsWith('\n'))
        typed.chop(typed.endsWith("\r\n") ? 2 : 1);
    const std::optional<QByteArray> password =
        rightsmith::toolkit::Codec::fromUnicode(QString::fromLocal8Bit(typed));
    if (!password)
        throw Failure {ExitError, u"the password has characters the store cannot hold"_s};
    return *password;
}

} // namespace rightsmithusers
