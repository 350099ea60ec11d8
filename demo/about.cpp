#include "demo/about.h"

#include "demo/demoactions.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

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

    OKButton = new QPushButton(tr("OK"), this);
    OKButton->setObjectName(u"OKButton"_s);
    OKButton->setDefault(true);

    auto *buttonBox = new QDialogButtonBox(this);
    buttonBox->setObjectName(u"buttonBox"_s);
    buttonBox->addButton(OKButton, QDialogButtonBox::AcceptRole);
    buttonBox->setCenterButtons(true);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);

    // The icon beside name and version; copyright and comments below, the
    // comments taking whatever room the box gains when it grows.
    auto *title = new QVBoxLayout;
    title->addStretch();
    title->addWidget(ProductName);
    title->addSpacing(8);
    title->addWidget(Version);
    title->addStretch();

    auto *panel = new QGridLayout(Panel1);
    panel->setContentsMargins(8, 8, 8, 8);
    panel->setHorizontalSpacing(8);
    panel->setVerticalSpacing(8);
    panel->addWidget(ProgramIcon, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    panel->addLayout(title, 0, 1);
    panel->addWidget(Copyright, 1, 0, 1, 2);
    panel->addWidget(Comments, 2, 0, 1, 2);
    panel->setColumnStretch(1, 1);
    panel->setRowStretch(2, 1);
    ProgramIcon->setMinimumSize(65, 57);
    Comments->setMinimumHeight(Comments->fontMetrics().lineSpacing() * 3);

    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);
    main->addWidget(Panel1, 1);
    main->addWidget(buttonBox);

    // Never smaller than it was drawn, more when the texts need it.
    resize(sizeHint().expandedTo(QSize(298, 218)));
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
