// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Fuzz target: the template stream reader. Any input either loads or fails
// with rightsmith::toolkit::Error; a tree that loads must save to a stream that loads
// again and saves to the very same bytes, so that a stored template never
// changes by being read and written.
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/error.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace zkSecurity;

namespace {

bool load(TzkSecurityTemplate &tree, const QByteArray &bytes, QString *error = nullptr)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        tree.LoadFromStreamSecurity(buffer);
        return true;
    } catch (const rightsmith::toolkit::Error &e) {
        if (error)
            *error = e.message();
        return false;
    }
}

QByteArray save(TzkSecurityTemplate &tree)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    tree.SaveToStreamSecurity(buffer);
    return buffer.data();
}

// The read-only queries a loaded tree answers for every node, also for the
// nodes a damaged stream leaves without a record.
void query(const TzkSecurityTemplate &tree)
{
    QByteArray userName;
    QByteArray caption;
    for (int i = 0; i < tree.count(); ++i) {
        zkSecurity::TreeNode *node = tree.nodeAt(i);
        tree.GetNodeType(node, userName, caption);
        tree.GetNodeTypeSecurityTemplate(node);
        if (node->level() == 0)
            tree.GetUserPassword(node->text());
    }
    tree.IsValidSecurityId(tree.GenerateSecurityId());
}

[[noreturn]] void fail(const char *what, const QByteArray &first, const QByteArray &second)
{
    qsizetype at = 0;
    while (at < first.size() && at < second.size() && first.at(at) == second.at(at))
        ++at;
    std::fprintf(stderr, "%s: %lld and %lld bytes, first difference at offset %lld\n", what,
                 static_cast<long long>(first.size()), static_cast<long long>(second.size()),
                 static_cast<long long>(at));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    TzkSecurityTemplate tree;
    if (!load(tree, input))
        return 0;
    query(tree);
    const QByteArray saved = save(tree);

    TzkSecurityTemplate reloaded;
    QString error;
    if (!load(reloaded, saved, &error)) {
        std::fprintf(stderr, "a saved template does not load again: %s\n",
                     error.toLocal8Bit().constData());
        std::abort();
    }
    const QByteArray resaved = save(reloaded);
    if (resaved != saved)
        fail("a saved template saves differently once reloaded", saved, resaved);
    return 0;
}
