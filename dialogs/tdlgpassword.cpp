#include "dialogs/tdlgpassword.h"

#include "dialogs/dialogsupport.h"
#include "dialogs/tfrmsecurity.h"
#include "security/tcripter.h"
#include "security/tzknoderecord.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/action.h"
#include "toolkit/messagebox.h"
#include "toolkit/tree.h"
#include "toolkit/widgets/codecvalidator.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace zkEntryPasswordDlg {

using zkSecurity::TzkNodeRecord;
using zkSecurity::TzkSecurityTemplate;

namespace {

const QByteArray supervisorName = QByteArrayLiteral("Supervisor");

std::unique_ptr<TzkNodeRecord> copyOf(const TzkNodeRecord &record)
{
    return std::make_unique<TzkNodeRecord>(record);
}

// Appends a copy of \a source below \a destParent (a new last top-level node
// when nullptr) and returns it. \a wholeCopy: text, images and, when the
// source has one, a copy of the record. Otherwise the images are taken only
// together with a record.
rightsmith::toolkit::TreeNode *copyOne(TzkSecurityTemplate *dest,
                                       rightsmith::toolkit::TreeNode *destParent,
                                       const rightsmith::toolkit::TreeNode *source, bool wholeCopy)
{
    rightsmith::toolkit::TreeNode *copy = dest->addChild(destParent, source->text());
    const TzkNodeRecord *record = source->data();
    if (record)
        copy->setData(copyOf(*record));
    if (record || wholeCopy) {
        copy->setImageIndex(source->imageIndex());
        copy->setSelectedIndex(source->selectedIndex());
    }
    return copy;
}

// Copies \a source with its subtree below \a destParent, child order kept,
// leaving out every child (with its subtree) that \a take refuses. The walk
// keeps its own stack: a stored tree may be deeper than the call stack allows.
template<typename Take>
void copySubtree(TzkSecurityTemplate *dest, rightsmith::toolkit::TreeNode *destParent,
                 const rightsmith::toolkit::TreeNode *source, bool wholeCopy, Take take)
{
    struct Frame
    {
        rightsmith::toolkit::TreeNode *dest;
        const rightsmith::toolkit::TreeNode *source;
        int level; // of source, counted from 0 at the node the copy started from
        int next;
    };
    std::vector<Frame> stack {{copyOne(dest, destParent, source, wholeCopy), source, 0, 0}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const rightsmith::toolkit::TreeNode *child = frame.source->item(frame.next);
        if (!child) {
            stack.pop_back();
            continue;
        }
        ++frame.next;
        const int level = frame.level + 1;
        if (!take(child, level))
            continue;
        rightsmith::toolkit::TreeNode *copy = copyOne(dest, frame.dest, child, wholeCopy);
        stack.push_back({copy, child, level, 0}); // invalidates frame
    }
}

// Whether a user's copy takes \a child, which stands at \a level below the
// user node (level 0). Level 1 (password and "Rights") is
// always taken; deeper down a category always, a right as the filter says, a
// negative identifier never. A node without a record counts as one with an
// all-zero record.
bool takenForUser(const rightsmith::toolkit::TreeNode *child, int level, bool showCheckedOKOnly)
{
    if (level <= 1)
        return true;
    const TzkNodeRecord *record = child->data();
    const qint32 id = record ? record->SecurityId : 0;
    if (id < 0)
        return false;
    if (id == 0)
        return true;
    return !showCheckedOKOnly || (record && record->granted());
}

// Removes the categories left without content, repeatedly, so that a category
// holding only empty sub-categories goes as well. A "Rights" node that lost
// all its children classifies as a password node and stays.
void removeEmptyGroups(TzkSecurityTemplate *dest)
{
    bool deleted = true;
    while (deleted) {
        deleted = false;
        // The walk goes from the last absolute index down. Deleting a leaf
        // renumbers only the nodes after it, which the walk has passed, so a
        // list taken before the walk stays valid for the nodes still ahead; a
        // parent left empty comes later in the same walk.
        std::vector<rightsmith::toolkit::TreeNode *> nodes;
        nodes.reserve(size_t(dest->count()));
        for (int i = 0; i < dest->count(); ++i)
            nodes.push_back(dest->nodeAt(i));
        for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
            rightsmith::toolkit::TreeNode *node = *it;
            if (node->hasChildren())
                continue;
            // What GetNodeType says of a leaf, without its walk up to the
            // root: level 0 is a user, level 1 a password node, and deeper
            // down an identifier below 1 makes a group.
            const bool deep = node->parent() && node->parent()->parent();
            const TzkNodeRecord *record = node->data();
            if (deep && (!record || record->SecurityId < 1)) {
                dest->DeleteNode(node);
                deleted = true;
            }
        }
    }
}

} // namespace

TdlgPassword::TdlgPassword(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"dlgPassword"_s);
    setWindowTitle(u"Password Dialog"_s);

    edtUserName = new QComboBox(this);
    edtUserName->setObjectName(u"edtUserName"_s);
    edtUserName->setEditable(true);
    // The list shows the recent users only; a typed name is not added to it.
    edtUserName->setInsertPolicy(QComboBox::NoInsert);
    edtUserName->setCompleter(nullptr);
    rightsmith::toolkit::refuseUnencodableInput(edtUserName);

    lblUserName = new QLabel(u"Enter user name:"_s, this);
    lblUserName->setObjectName(u"lblUserName"_s);
    lblUserName->setBuddy(edtUserName);

    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(u"edtPassword"_s);
    rightsmith::dialogsupport::setPasswordEcho(edtPassword);
    rightsmith::toolkit::refuseUnencodableInput(edtPassword);

    Label1 = new QLabel(u"Enter password:"_s, this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setBuddy(edtPassword);

    actOK = new rightsmith::toolkit::Action(this);
    actOK->setObjectName(u"actOK"_s);
    actOK->setText(u"OK"_s);
    actOK->setOnUpdate([this](rightsmith::toolkit::Action *sender) { actOKUpdate(sender); });
    actOK->setOnExecute([this](rightsmith::toolkit::Action *sender) { actOKExecute(sender); });

    actSecurity = new rightsmith::toolkit::Action(this);
    actSecurity->setObjectName(u"actSecurity"_s);
    actSecurity->setText(u"Security"_s);
    actSecurity->setOnUpdate([this](rightsmith::toolkit::Action *sender) { actOKUpdate(sender); });
    actSecurity->setOnExecute(
        [this](rightsmith::toolkit::Action *sender) { actSecurityExecute(sender); });

    btnOK = new QPushButton(this);
    btnOK->setObjectName(u"btnOK"_s);
    btnOK->setDefault(true);
    rightsmith::dialogsupport::bindButton(btnOK, actOK);

    btnCancel = new QPushButton(u"Cancel"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    btnSecurity = new QPushButton(this);
    btnSecurity->setObjectName(u"btnSecurity"_s);
    rightsmith::dialogsupport::bindButton(btnSecurity, actSecurity);

    auto *boxes = new QVBoxLayout;
    boxes->setSpacing(2);
    boxes->addWidget(lblUserName);
    boxes->addWidget(edtUserName);
    boxes->addSpacing(6);
    boxes->addWidget(Label1);
    boxes->addWidget(edtPassword);
    boxes->addStretch();

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnSecurity);
    buttons->addStretch();

    auto *main = new QHBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);
    main->addLayout(boxes, 1);
    main->addLayout(buttons);

    // The password box comes first, so it has the focus when the dialog
    // opens with a suggested name; the name box comes last.
    setTabOrder(edtPassword, btnOK);
    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, btnSecurity);
    setTabOrder(btnSecurity, edtUserName);
    edtPassword->setFocus();

    rightsmith::dialogsupport::fixDialogSize(this, 254, 127);
    rightsmith::dialogsupport::centreWhenShown(this);
}

TdlgPassword::~TdlgPassword() = default;

QByteArray TdlgPassword::userName() const
{
    return rightsmith::dialogsupport::encoded(edtUserName->currentText()).value_or(QByteArray());
}

void TdlgPassword::setUserName(const QByteArray &name)
{
    edtUserName->setEditText(rightsmith::dialogsupport::decoded(name));
}

QByteArray TdlgPassword::password() const
{
    return rightsmith::dialogsupport::encoded(edtPassword->text()).value_or(QByteArray());
}

void TdlgPassword::setPassword(const QByteArray &password)
{
    edtPassword->setText(rightsmith::dialogsupport::decoded(password));
}

void TdlgPassword::setRecentUsers(const QList<QByteArray> &names)
{
    // Adding to an empty combo box selects its first entry; keep the text.
    const QString text = edtUserName->currentText();
    edtUserName->clear();
    for (const QByteArray &name : names)
        edtUserName->addItem(rightsmith::dialogsupport::decoded(name));
    edtUserName->setEditText(text);
}

bool TdlgPassword::CheckUserPassword()
{
    const auto name = rightsmith::dialogsupport::encoded(edtUserName->currentText());
    const auto typed = rightsmith::dialogsupport::encoded(edtPassword->text());
    if (UserTemplate && name && typed && UserTemplate->GetUserNodeByUserName(*name)) {
        // Stored passwords are scrambled and at most 40 bytes long; Scramble
        // keeps the length, so a longer typed password never matches.
        if (zkCript::TCripter::Scramble(*typed) == UserTemplate->GetUserPassword(*name))
            return true;
    }
    if (isVisible()) {
        rightsmith::toolkit::showMessage(u"Wrong user name or password."_s);
        edtUserName->setFocus();
    }
    return false;
}

void TdlgPassword::actOKUpdate(rightsmith::toolkit::Action *sender)
{
    sender->setEnabled(!edtUserName->currentText().isEmpty());
}

void TdlgPassword::actOKExecute(rightsmith::toolkit::Action *sender)
{
    Q_UNUSED(sender);
    // A failed check has shown its message; the dialog stays open.
    if (CheckUserPassword())
        accept();
}

void TdlgPassword::actSecurityExecute(rightsmith::toolkit::Action *sender)
{
    Q_UNUSED(sender);
    if (!CheckUserPassword())
        return;
    const QByteArray name = userName();

    // Freed on every way out, whatever the dialog ends with.
    const auto security = std::make_unique<zkDlgSecurity::TfrmSecurity>(nullptr);
    security->SecurityTemplate = SecurityTemplate;
    TzkSecurityTemplate *tree = security->ftvUserTemplate();
    tree->ClearTemplate();
    tree->setImages(SecurityTemplate ? SecurityTemplate->images() : nullptr);
    CopyUserTemplate(UserTemplate, tree, name, ShowCheckedOKOnly);
    security->SupervisorMode = name == supervisorName;
    // Whatever the management dialog ends with, logging on needs the password again.
    edtPassword->clear();
    if (tree->count() > 0)
        tree->expand(tree->topLevel(0), !security->SupervisorMode);

    if (security->exec() != QDialog::Accepted)
        return;
    if (security->SupervisorMode) {
        CopyUserTemplate(tree, UserTemplate, supervisorName, ShowCheckedOKOnly);
        return;
    }
    // Anyone else can change only the own password.
    TakeOverPassword(tree, UserTemplate, name);
}

void TdlgPassword::TakeOverPassword(TzkSecurityTemplate *Edited, TzkSecurityTemplate *UserTemplate,
                                    const QByteArray &UserName)
{
    if (!Edited || !UserTemplate)
        return;
    rightsmith::toolkit::TreeNode *edited = Edited->GetUserNodeByUserName(UserName);
    rightsmith::toolkit::TreeNode *stored = UserTemplate->GetUserNodeByUserName(UserName);
    if (!edited || !stored || !edited->firstChild() || !stored->firstChild())
        return;
    if (const TzkNodeRecord *record = edited->firstChild()->data())
        stored->firstChild()->setData(copyOf(*record));
}

void TdlgPassword::CopyUserTemplate(TzkSecurityTemplate *Source, TzkSecurityTemplate *Dest,
                                    const QByteArray &UserName, bool ShowCheckedOKOnly)
{
    // Copying a tree onto itself would clear what is to be copied.
    if (!Source || !Dest || Source == Dest)
        return;

    if (UserName == supervisorName) {
        Dest->ClearTemplate();
        for (int i = 0; i < Source->topLevelCount(); ++i)
            copySubtree(Dest, nullptr, Source->topLevel(i), true,
                        [](const rightsmith::toolkit::TreeNode *, int) { return true; });
        return;
    }

    if (rightsmith::toolkit::TreeNode *old = Dest->GetUserNodeByUserName(UserName))
        Dest->DeleteNode(old);
    for (int i = 0; i < Source->topLevelCount(); ++i) {
        rightsmith::toolkit::TreeNode *user = Source->topLevel(i);
        if (user->text() != UserName)
            continue;
        copySubtree(Dest, nullptr, user, false,
                    [ShowCheckedOKOnly](const rightsmith::toolkit::TreeNode *child, int level) {
                        return takenForUser(child, level, ShowCheckedOKOnly);
                    });
    }
    if (ShowCheckedOKOnly)
        removeEmptyGroups(Dest);
}

} // namespace zkEntryPasswordDlg
