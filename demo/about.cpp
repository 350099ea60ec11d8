// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "demo/about.h"

#include "demo/demoactions.h"

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace About {

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"AboutBox"_s);
    setWindowTitle(tr("About"));
    QFont formFont = font();
    formFont.setPixelSize(11);
    setFont(formFont);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(QIcon(demo::programIconPath()));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(u"ProgramIcon"_s);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->setPixmap(QPixmap(demo::programIconPath())
                               .scaled(48, 48, Qt::KeepAspectRatio, Qt::FastTransformation));

    ProductName = new QLabel(tr("Rightsmith Demonstration Program"), Panel1);
    ProductName->setObjectName(u"ProductName"_s);

    Version = new QLabel(tr("Version 2.0"), Panel1);
    Version->setObjectName(u"Version"_s);

    Copyright = new QLabel(tr("Copyright \u00A9 The Rightsmith authors"), Panel1);
    Copyright->setObjectName(u"Copyright"_s);

    Comments = new QLabel(tr("Comments"), Panel1);
    Comments->setObjectName(u"Comments"_s);
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKButton = new QPushButton(tr("&OK"), this);
    OKButton->setObjectName(u"OKButton"_s);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    // The icon beside name and version; copyright and comments below, the
    // comments taking whatever room the panel has left.
    auto *title = new QVBoxLayout;
    title->addStretch();
    title->addWidget(ProductName);
    title->addSpacing(8);
    title->addWidget(Version);
    title->addStretch();

    auto *panel = new QGridLayout(Panel1);
    panel->setContentsMargins(6, 6, 6, 6);
    panel->setHorizontalSpacing(6);
    panel->setVerticalSpacing(6);
    panel->addWidget(ProgramIcon, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    panel->addLayout(title, 0, 1);
    panel->addWidget(Copyright, 1, 0, 1, 2);
    panel->addWidget(Comments, 2, 0, 1, 2);
    panel->setColumnStretch(1, 1);
    panel->setRowStretch(2, 1);
    ProgramIcon->setMinimumSize(65, 57);

    placeControls();
}

void TAboutBox::placeControls()
{
    // The drawn sizes: panel 281x161 at 8,8, OK 65x33 at 120,178 in a client
    // area of 298x218. Each grows only when its texts would not fit (another
    // language, a larger font); the border stays fixed either way.
    Comments->setMinimumHeight(Comments->fontMetrics().lineSpacing() * 3);
    // The panel's own hints count its frame as well as its layout.
    Panel1->layout()->activate();
    const QSize panelMinimum = Panel1->minimumSizeHint();
    const int panelWidth = std::max(281, panelMinimum.width());
    const int panelHeight =
        std::max({161, panelMinimum.height(),
                  Panel1->hasHeightForWidth() ? Panel1->heightForWidth(panelWidth) : 0});
    Panel1->setGeometry(8, 8, panelWidth, panelHeight);

    const QFontMetrics metrics(OKButton->font());
    const QSize button(
        std::max(65, metrics.size(Qt::TextShowMnemonic, OKButton->text()).width() + 24),
        std::max(33, metrics.height() + 12));
    const int clientWidth = std::max(298, panelWidth + 17);
    OKButton->setGeometry(120 + (clientWidth - 298 - (button.width() - 65)) / 2,
                          8 + panelHeight + 9, button.width(), button.height());

    setFixedSize(clientWidth, OKButton->geometry().bottom() + 1 + 7);
}

void TAboutBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange && OKButton) // not while being built
        placeControls();
    QDialog::changeEvent(event);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    // Centred on the screen every time it is shown, and the OK button has the focus.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    OKButton->setFocus();
    QDialog::showEvent(event);
}

} // namespace About
