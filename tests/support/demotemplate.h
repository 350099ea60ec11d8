// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The demo program's 30-node security template, as a table, and a builder
// that makes it with the tree's own operations.
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"

#include <QByteArray>

#include <array>
#include <memory>
#include <vector>

namespace demotemplate {

struct Row
{
    int level;
    const char *text;
    qint32 securityId;
    int image; // -1 = none
};

inline constexpr std::array<Row, 30> Rows {{
    {0, "User", 0, 0},
    {1, "Child memo text", 33, -1},
    {1, "Close child", 34, -1},
    {1, "File", 0, 2},
    {2, "New", 1, 11},
    {2, "Open", 2, 12},
    {2, "Close", 3, 10},
    {2, "Save", 4, 13},
    {2, "Save As...", 5, -1},
    {2, "Exit", 6, -1},
    {1, "Edit", 0, 2},
    {2, "Cut", 7, 5},
    {2, "Copy", 8, 6},
    {2, "Paste", 9, 7},
    {1, "Window", 0, 2},
    {2, "Cascade", 10, 22},
    {2, "Tile Horizontally", 11, 20},
    {2, "Tile Vertically", 12, 21},
    {2, "Minimize All", 13, -1},
    {2, "Arrange All", 14, -1},
    {1, "Help", 0, 2},
    {2, "About...", 15, -1},
    {1, "Security", 0, 2},
    {2, "Services", 0, 2},
    {3, "Checks", 0, 2},
    {4, "Check Rights", 16, 23},
    {4, "Change User", 31, -1},
    {1, "Non Action Control", 36, -1},
    {1, "Manually controled (see code)", 0, 2},
    {2, "Button (id=30)", 30, 4},
}};

/// Fills \a tree (emptied first) with the demo template: every node gets a
/// record whose Caption is its text (empty on the root) and the image of the table.
inline void build(zkSecurity::TzkSecurityTemplate &tree)
{
    tree.ClearTemplate();
    std::vector<zkSecurity::TreeNode *> parents; // parents[level] = last node made at that level
    for (const Row &row : Rows) {
        zkSecurity::TreeNode *parent = row.level > 0 ? parents[size_t(row.level - 1)] : nullptr;
        zkSecurity::TreeNode *node = tree.addChild(parent, QByteArray(row.text));
        auto record = std::make_unique<zkSecurity::TzkNodeRecord>();
        record->SecurityId = row.securityId;
        if (row.level > 0)
            record->setCaption(QByteArray(row.text));
        node->setData(std::move(record));
        node->setImages(row.image);
        parents.resize(size_t(row.level) + 1);
        parents[size_t(row.level)] = node;
    }
}

} // namespace demotemplate
