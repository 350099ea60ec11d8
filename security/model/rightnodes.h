// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QtGlobal>

namespace zkSecurity {

class TreeNode;

/// Grants (\a granted) or denies the right at \a rightNode as the user
/// management dialog toggles it: the record's flag and the node's text
/// ("<caption>  (Yes)" or "<caption>  (No)") together, since the rights
/// check reads the text's ending. A node without a record is left alone.
RIGHTSMITH_CORE_EXPORT void SetRightGranted(TreeNode *rightNode, bool granted);

/// Whether a right's \a text reads granted, as the rights check reads it:
/// its first " (Yes)" is what ends it.
RIGHTSMITH_CORE_EXPORT bool IsGrantedText(const QByteArray &text);

/// What a right or category of a "Rights" copy is called: its record's
/// caption, or without one its text less a " (Yes)" or " (No)" ending.
RIGHTSMITH_CORE_EXPORT QByteArray RightCaption(const TreeNode *node);

/// The right below \a parent named \a name: by its security identifier in
/// decimal ("12"), which is looked for first, or else by its path of
/// captions below \a parent ("File/Open"); the first in depth-first child
/// order. Only nodes whose identifier is not 0 are rights. nullptr when none
/// matches.
RIGHTSMITH_CORE_EXPORT TreeNode *FindRight(const TreeNode *parent, const QByteArray &name);

/// The first node below \a parent (depth-first, in child order) that
/// carries the security identifier \a id, or nullptr.
RIGHTSMITH_CORE_EXPORT TreeNode *FindRightById(const TreeNode *parent, qint32 id);

} // namespace zkSecurity
