#pragma once

#include "rightsmithcore_export.h"

namespace zkSecurity {

class TreeNode;

/// Grants (\a granted) or denies the right at \a rightNode as the user
/// management dialog toggles it: the record's flag and the node's text
/// ("<caption>  (Yes)" or "<caption>  (No)") together, since the rights
/// check reads the text's ending. A node without a record is left alone.
RIGHTSMITH_CORE_EXPORT void SetRightGranted(TreeNode *rightNode, bool granted);

} // namespace zkSecurity
