// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

/// Unit About: the program's About box.
namespace About {

/// "About": the program's name, version, copyright and comments above an OK
/// button. A fixed border at the drawn sizes, grown only where the texts need
/// it; centred on the screen, shown modally by Help > About.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QFrame *Panel1 = nullptr;
    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Comments = nullptr;
    QPushButton *OKButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void placeControls();
};

} // namespace About
