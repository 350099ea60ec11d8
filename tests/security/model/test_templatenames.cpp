// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Reading only the top-level texts of a template stream: the same names as a
// full load, and the same failure, with the same message, on damaged streams.
#include "security/model/templatenames_p.h"
#include "security/model/tree.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/demotemplate.h"
#include "toolkit/error.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <random>

using namespace zkSecurity;

namespace {

// Top-level texts, or the error's message prefixed with "error: ".
QList<QByteArray> outcome(const QByteArray &bytes, bool fullLoad)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    try {
        if (!fullLoad)
            return templateTopLevelTexts(buffer);
        TzkSecurityTemplate tree;
        tree.LoadFromStreamSecurity(buffer);
        QList<QByteArray> names;
        for (int i = 0; i < tree.topLevelCount(); ++i)
            names << tree.topLevel(i)->text();
        return names;
    } catch (const rightsmith::toolkit::Error &error) {
        return {"error: " + error.message().toUtf8()};
    }
}

QByteArray streamOf(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

QByteArray usersStream()
{
    TzkSecurityTemplate security;
    demotemplate::build(security);
    TzkSecurityTemplate users;
    for (const char *name : {"Supervisor", "Anna", "Bob"})
        users.AddUserToUserTemplate(&security, name, "pw", true);
    return streamOf(users);
}

// A stream of no records whose text is \a text: the lines still make nodes.
QByteArray textOnly(const QByteArray &text)
{
    return QByteArray("\x01\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20) + text;
}

} // namespace

TEST(TemplateNames, SameAsAFullLoad)
{
    TzkSecurityTemplate demo;
    demotemplate::build(demo);
    const QByteArray users = usersStream();
    const QByteArray big(1 << 20, 'x');
    const QList<QByteArray> streams {
        streamOf(demo),
        users,
        textOnly({}),
        textOnly("A\r\n\tB\r\n\t\tC\r\n\tD\r\nE"),
        // Lone CR and LF, empty lines, a first line indented, blanks as indentation.
        textOnly("\t\tFirst\rA\n\n \tB\r\r\nC\n\r"),
        textOnly("A\r\n\t\t\tToo deep\r\n"),
        textOnly(QByteArray("A\r\nB\0\r\nC", 9)),
        // Line breaks where the reader's pieces end.
        textOnly(big.left((1 << 20) - 1) + "\r\n\tB\r\nC"),
        textOnly(big.left((1 << 20) - 2) + "\r\n\t\tTab\rD"),
        textOnly(big + "\r\nE"),
        QByteArray("\x02\0\0\0", 4) + users.mid(4),
        users.left(10),
        users.left(19),
        users.left(200),
        // Another stamp padding is accepted; a huge or negative count is not.
        users.left(13) + "\x07\x07\x07" + users.mid(16),
        users.left(16) + QByteArray("\xff\xff\xff\x7f", 4) + users.mid(20),
        users.left(16) + QByteArray("\xff\xff\xff\xff", 4) + users.mid(20),
    };
    for (qsizetype i = 0; i < streams.size(); ++i)
        EXPECT_EQ(outcome(streams[i], false), outcome(streams[i], true)) << "stream " << i;
    EXPECT_EQ(outcome(users, false), (QList<QByteArray> {"Supervisor", "Anna", "Bob"}));
}

// Damaged copies: bytes of the text changed to line breaks, indentation and
// zeros, node indexes changed, the stream cut short anywhere.
TEST(TemplateNames, DamagedStreamsFailAsAFullLoadDoes)
{
    const QByteArray users = usersStream();
    const qsizetype nodes = users.count("\r\n");
    const qsizetype linesAt = 20 + 180 * nodes;
    std::mt19937 random(23);
    const auto below = [&random](qsizetype n) {
        return qsizetype(std::uniform_int_distribution<qint64>(0, n - 1)(random));
    };
    const char damage[] = {'\0', '\t', ' ', '\r', '\n', 'x'};
    int failures = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = users;
        switch (round % 3) {
        case 0:
            for (int k = 0; k < 3; ++k)
                bytes[linesAt + below(bytes.size() - linesAt)] = damage[below(sizeof damage)];
            break;
        case 1:
            bytes[20 + 180 * below(nodes) + 48 + below(4)] = char(below(256));
            break;
        default:
            bytes.truncate(below(bytes.size()));
            break;
        }
        const QList<QByteArray> expected = outcome(bytes, true);
        failures += expected.value(0).startsWith("error: ");
        EXPECT_EQ(outcome(bytes, false), expected) << "round " << round;
    }
    // The damage reaches every kind of failure, not only harmless bytes.
    EXPECT_GT(failures, 100);
}
