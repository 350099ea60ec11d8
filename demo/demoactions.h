// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <span>

class QObject;

namespace rightsmith::toolkit {
class ImageList;
}
namespace zkActnLst {
class TzkAction;
class TzkActionList;
} // namespace zkActnLst
namespace zkSecurity {
class TzkSecurity;
class TzkSecurityTemplate;
} // namespace zkSecurity

/// What the demo's forms and its blob generator share: the protected actions
/// of the frame and of a document window, the frame's image list, and the
/// settings of the frame's security component. One table, so that the stored
/// security template and the running program cannot drift apart.
namespace demo {

/// One protected action as the form stores it.
struct ActionDefinition
{
    const char *name;
    const char *category; ///< "/"-separated path; empty for none
    const char *caption;
    const char *hint; ///< "short|long"; empty for none
    int shortCut; ///< key code, plus 16384 for Ctrl; 0 for none
    int imageIndex; ///< into the frame's ImageList1; -1 for none
    qint32 securityId;
    const char *actionDesigner; ///< TAB-separated control names; empty for none
};

/// ActionList1 of the frame, in list order.
extern const std::span<const ActionDefinition> MainFormActions;
/// zkActionList1 of a document window, in list order.
extern const std::span<const ActionDefinition> ChildFormActions;

/// The key sequence of a stored shortcut (key code, +16384 for Ctrl,
/// +8192 for Shift, +32768 for Alt); empty for 0.
QKeySequence shortCutFromStored(int stored);

/// Creates the actions of \a definitions, owned by \a owner, in \a list, in
/// order. Returns them in the same order.
QList<zkActnLst::TzkAction *> createActions(zkActnLst::TzkActionList *list, QObject *owner,
                                            std::span<const ActionDefinition> definitions);

/// Number of images in the frame's ImageList1.
inline constexpr int ImageList1Count = 19;
/// Fills \a images with the 19 pictures of ImageList1, in index order.
void loadImageList1(rightsmith::toolkit::ImageList &images);
/// The glyph of the "Check Rights" button, of the "Close child" button, and the program icon.
QString checkRightsGlyphPath();
QString closeChildGlyphPath();
QString programIconPath();

/// Settings of the frame's security component zkSecurity1.
inline constexpr quint16 SecurityOptionsValue = 3066;
inline constexpr int SecurityTag = 58;
QString securityRegistryKey();
QString securityUserTemplateFileName();

/// The category and right that no action carries: "Button (id=30)", checked
/// by hand by the frame's Button1.
inline constexpr qint32 ManualCheckId = 30;
/// Appends "Manually controled (see code)" with "Button (id=30)" below the
/// root of \a securityTemplate, as the stored template holds them.
void addManualRights(zkSecurity::TzkSecurityTemplate &securityTemplate);

} // namespace demo
