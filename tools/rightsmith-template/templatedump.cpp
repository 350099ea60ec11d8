// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "templatedump.h"

#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "toolkit/codec.h"

#include <vector>

using namespace Qt::StringLiterals;

namespace rightsmithtemplate {

namespace {

// A node without a record (left by a damaged stream) shows as one with an
// all-zero record, and says so.
const zkSecurity::TzkNodeRecord &recordOf(const zkSecurity::TreeNode *node)
{
    static const zkSecurity::TzkNodeRecord zero;
    return node->data() ? *node->data() : zero;
}

// Levels from the pre-order: a parent always comes before its children.
std::vector<int> levels(const zkSecurity::Tree &tree)
{
    const int n = tree.count();
    std::vector<int> result(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        const zkSecurity::TreeNode *parent = tree.nodeAt(i)->parent();
        result[size_t(i)] = parent ? result[size_t(parent->absoluteIndex())] + 1 : 0;
    }
    return result;
}

// Control characters would upset a terminal; they show as \xNN.
QString visible(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            out += u"\\x"_s + QString::number(u, 16).rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

} // namespace

QString dumpText(const zkSecurity::Tree &tree)
{
    const std::vector<int> level = levels(tree);
    QString out;
    for (int i = 0; i < tree.count(); ++i) {
        const zkSecurity::TreeNode *node = tree.nodeAt(i);
        QStringList details;
        if (node->data()) {
            const zkSecurity::TzkNodeRecord &record = *node->data();
            details << u"id %1"_s.arg(record.SecurityId);
            details << (record.granted() ? u"granted"_s : u"not granted"_s);
        } else {
            details << u"no record"_s;
        }
        details << (node->imageIndex() < 0 ? u"no image"_s : u"image %1"_s.arg(node->imageIndex()));
        out += QString(level[size_t(i)] * 2, u' ')
            + visible(rightsmith::toolkit::Codec::toUnicode(node->text())) + u"  ["_s
            + details.join(u", "_s) + u"]\n"_s;
    }
    return out;
}

// Written here rather than through QJsonDocument, whose output differs from
// this format in three ways: it sorts an object's keys (here "level" comes
// first and the keys keep the record's order), it puts all nodes on one line
// or every key on a line of its own (here one node a line), and it leaves DEL
// and the C1 controls unescaped (here they are escaped, as in the text dump).
QByteArray dumpJson(const zkSecurity::Tree &tree)
{
    const std::vector<int> level = levels(tree);
    QByteArray out = "{\"nodes\":[";
    for (int i = 0; i < tree.count(); ++i) {
        const zkSecurity::TreeNode *node = tree.nodeAt(i);
        const zkSecurity::TzkNodeRecord &record = recordOf(node);
        out += i == 0 ? "\n  {" : ",\n  {";
        out += "\"level\":" + QByteArray::number(level[size_t(i)]);
        out += ",\"text\":" + jsonString(rightsmith::toolkit::Codec::toUnicode(node->text()));
        out += ",\"securityId\":" + QByteArray::number(record.SecurityId);
        out +=
            ",\"caption\":" + jsonString(rightsmith::toolkit::Codec::toUnicode(record.caption()));
        out += ",\"granted\":" + QByteArray(record.granted() ? "true" : "false");
        out += ",\"nodeIndex\":" + QByteArray::number(i);
        out += ",\"imageIndex\":" + QByteArray::number(node->imageIndex());
        out += ",\"hasRecord\":" + QByteArray(node->data() ? "true" : "false");
        out += "}";
    }
    out += tree.count() > 0 ? "\n]}\n" : "]}\n";
    return out;
}

QByteArray jsonString(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped += u'"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            escaped += u"\\\""_s;
            break;
        case u'\\':
            escaped += u"\\\\"_s;
            break;
        case u'\b':
            escaped += u"\\b"_s;
            break;
        case u'\f':
            escaped += u"\\f"_s;
            break;
        case u'\n':
            escaped += u"\\n"_s;
            break;
        case u'\r':
            escaped += u"\\r"_s;
            break;
        case u'\t':
            escaped += u"\\t"_s;
            break;
        default:
            if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
                escaped += u"\\u"_s + QString::number(u, 16).rightJustified(4, u'0');
            else
                escaped += c;
        }
    }
    escaped += u'"';
    return escaped.toUtf8();
}

} // namespace rightsmithtemplate
