// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The rights check answers from indexes (user by name, identifier by user)
// and the tree keeps its pre-order across appends. Both must answer exactly
// as the literal walks do, for every tree and after every kind of change:
// random trees, random changes, and after each change a comparison with
// walks written out here the plain way.
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/tcripter.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "support/fakes.h"
#include "support/temporaryhome.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>
#include <vector>

using namespace zkSecurity;

namespace {

const QByteArrayList Names {"Anna", "anna", "Bob", "Supervisor", ""};
const QByteArrayList Texts {"Open (Yes)",    "Open (No)",  " (Yes)", " (Yes) x",
                            "x (Yes) (Yes)", "(Yes)",      " (No)",  "Password(********)",
                            "Rights",        "\tTab (Yes)"};
constexpr qint32 MaxId = 5;
// Identifiers far from the others, in every other round: the index keeps
// compact identifiers in a table and scattered ones in a sorted list.
const std::vector<qint32> FarIds {std::numeric_limits<qint32>::min(), -1000, 1000000,
                                  std::numeric_limits<qint32>::max()};

void preorder(TreeNode *node, std::vector<TreeNode *> &out)
{
    out.push_back(node);
    for (int i = 0; i < node->count(); ++i)
        preorder(node->item(i), out);
}

std::vector<TreeNode *> literalOrder(const Tree &tree)
{
    std::vector<TreeNode *> order;
    for (int i = 0; i < tree.topLevelCount(); ++i)
        preorder(tree.topLevel(i), order);
    return order;
}

// The rights check written out as a walk: the first top-level node with the
// name, then depth-first the first leaf with the identifier; granted when its
// text ends in its first " (Yes)".
TreeNode *literalRight(TreeNode *node, qint32 id)
{
    if (node->hasChildren()) {
        for (int i = 0; i < node->count(); ++i) {
            if (TreeNode *found = literalRight(node->item(i), id))
                return found;
        }
        return nullptr;
    }
    return node->data() && node->data()->SecurityId == id ? node : nullptr;
}

bool literalCheck(const TzkSecurity &security, qint32 id)
{
    if (!security.LoggedOn())
        return false;
    const Tree &users = *security.UserTemplate();
    for (int i = 0; i < users.topLevelCount(); ++i) {
        if (users.topLevel(i)->text() != security.CurrentUserName())
            continue;
        const TreeNode *right = literalRight(users.topLevel(i), id);
        if (!right)
            return false;
        const qsizetype at = right->text().indexOf(" (Yes)");
        return at >= 0 && at + 6 == right->text().size();
    }
    return false;
}

class RightsIndexProperty : public ::testing::Test
{
protected:
    RightsIndexProperty()
    {
        security.SetOptions(security.Options().without(soSaveUsersInFile));
        security.Dialogs()->SetSecurity(&security);
    }

    int pick(int size) { return std::uniform_int_distribution<int>(0, size - 1)(random); }
    TreeNode *anyNode(const Tree &tree)
    {
        return tree.count() ? tree.nodeAt(pick(tree.count())) : nullptr;
    }
    // Mostly a compact identifier; in a scattered round now and then a far one.
    qint32 anyId()
    {
        if (scattered && pick(4) == 0)
            return FarIds[size_t(pick(int(FarIds.size())))];
        return pick(MaxId + 2) - 1;
    }
    TzkNodeRecord record(qint32 id)
    {
        TzkNodeRecord r;
        r.SecurityId = id;
        return r;
    }

    void change(TzkSecurityTemplate &users)
    {
        // A logon writes the store; a few now and then keep a user logged on
        // across many trees.
        switch (pick(150) == 0 ? 10 : pick(10) == 9 ? 11 : pick(10)) {
        case 0:
        case 1: { // a user, as the dialogs add one, or a bare top-level node
            if (pick(2))
                users.AddUserToUserTemplate(nullptr, Names[pick(Names.size())], {}, pick(2));
            else
                users.addChild(nullptr, Names[pick(Names.size())])->setData(record(anyId()));
            break;
        }
        case 2:
        case 3:
        case 4: { // a node anywhere, with or without a record
            TreeNode *node = users.addChild(anyNode(users), Texts[pick(Texts.size())]);
            if (pick(5))
                node->setData(record(anyId()));
            break;
        }
        case 5:
            if (TreeNode *node = anyNode(users))
                users.DeleteNode(node);
            break;
        case 6:
            if (TreeNode *node = anyNode(users))
                node->setText(node->parent() ? Texts[pick(Texts.size())]
                                             : Names[pick(Names.size())]);
            break;
        case 7:
            if (TreeNode *node = anyNode(users); node && node->data())
                node->editData()->SecurityId = anyId();
            break;
        case 8:
            if (TreeNode *node = anyNode(users))
                pick(2) ? node->releaseData() : node->setData(record(anyId()));
            break;
        case 9: { // written and read back, as the store does
            QBuffer buffer;
            buffer.open(QIODevice::ReadWrite);
            users.SaveToStreamSecurity(buffer);
            users.LoadFromStreamSecurity(buffer);
            break;
        }
        case 10: // a logon: passwords are empty, so a user with a password node gets in
            testsupport::FakeSecurityUi::current().logonAnswers = {
                {DialogResult::Rejected, {}, {}}};
            security.Logon(Names[pick(Names.size())], {}, true);
            testsupport::FakeSecurityUi::current().logonAnswers.clear();
            break;
        default:
            if (pick(20) == 0)
                users.ClearTemplate();
        }
    }

    void expectSameAsLiteral(const TzkSecurityTemplate &users)
    {
        const std::vector<TreeNode *> order = literalOrder(users);
        ASSERT_EQ(users.count(), int(order.size()));
        for (size_t i = 0; i < order.size(); ++i) {
            ASSERT_EQ(users.nodeAt(int(i)), order[i]) << "at " << i;
            ASSERT_EQ(order[i]->absoluteIndex(), int(i));
        }
        for (const QByteArray &name : Names) {
            TreeNode *first = nullptr;
            for (int i = 0; i < users.topLevelCount() && !first; ++i) {
                if (users.topLevel(i)->text() == name)
                    first = users.topLevel(i);
            }
            ASSERT_EQ(users.GetUserNodeByUserName(name), first) << name.constData();
        }
        std::vector<qint32> ids = FarIds;
        for (qint32 id = -1; id <= MaxId + 1; ++id)
            ids.push_back(id);
        for (const qint32 id : ids)
            ASSERT_EQ(security.CheckId(id), literalCheck(security, id))
                << "id " << id << " user " << security.CurrentUserName().constData();
    }

    testsupport::TemporaryHome home;
    TzkSecurity security;
    std::mt19937 random {20261208};
    bool scattered = false;
};

TEST_F(RightsIndexProperty, AnswersAsTheWalksAfterEveryChange)
{
    TzkSecurityTemplate &users = *security.UserTemplate();
    for (int round = 0; round < 1000; ++round) {
        users.ClearTemplate();
        scattered = round % 2 == 1;
        for (int step = 0; step < 30; ++step) {
            change(users);
            expectSameAsLiteral(users);
            if (HasFatalFailure()) {
                ADD_FAILURE() << "round " << round << " step " << step;
                return;
            }
        }
    }
}

} // namespace
