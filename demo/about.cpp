#include "demo/about.h"

#include "demo/demoactions.h"

#include <QFrame>
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
    setWindowTitle(u"About"_s);
    QFont formFont = font();
    formFont.setPixelSize(11);
    setFont(formFont);
    setFixedSize(298, 218);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(QIcon(demo::programIconPath()));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 281, 161);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(u"ProgramIcon"_s);
    ProgramIcon->setGeometry(8, 8, 65, 57);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->setPixmap(QPixmap(demo::programIconPath())
                               .scaled(48, 48, Qt::KeepAspectRatio, Qt::FastTransformation));

    ProductName = new QLabel(u"Rightsmith Demonstration Program"_s, Panel1);
    ProductName->setObjectName(u"ProductName"_s);
    ProductName->setGeometry(78, 16, 199, 16);

    Version = new QLabel(u"Version 2.0"_s, Panel1);
    Version->setObjectName(u"Version"_s);
    Version->setGeometry(78, 40, 199, 16);

    Copyright = new QLabel(u"Copyright \u00A9 The Rightsmith authors"_s, Panel1);
    Copyright->setObjectName(u"Copyright"_s);
    Copyright->setGeometry(8, 80, 265, 16);

    Comments = new QLabel(u"Comments"_s, Panel1);
    Comments->setObjectName(u"Comments"_s);
    Comments->setGeometry(8, 104, 265, 49);
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKButton = new QPushButton(u"OK"_s, this);
    OKButton->setObjectName(u"OKButton"_s);
    OKButton->setGeometry(120, 178, 65, 33);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
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
