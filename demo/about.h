#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

/// Unit About: the program's About box.
namespace About {

/// "About": the program's name, version, copyright and comments above an OK
/// button. Laid out to grow with the box (the comments take the room gained),
/// centred on the screen, shown modally by Help > About.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QFrame *Panel1;
    QLabel *ProgramIcon;
    QLabel *ProductName;
    QLabel *Version;
    QLabel *Copyright;
    QLabel *Comments;
    QPushButton *OKButton;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace About
