// Operations on the rights of a user's (or a role's) "Rights" copy.
#include "security/model/rightnodes.h"

#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"

namespace zkSecurity {

void SetRightGranted(TreeNode *rightNode, bool granted)
{
    TzkNodeRecord *record = rightNode->editData();
    if (!record)
        return;
    record->setGranted(granted);
    rightNode->setText(record->caption() + QByteArrayLiteral(" ")
                       + (granted ? QByteArrayLiteral(" (Yes)") : QByteArrayLiteral(" (No)")));
}

} // namespace zkSecurity
