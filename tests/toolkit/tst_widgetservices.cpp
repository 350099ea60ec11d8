// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The widget library's answers to the core: window identifiers and forms.
#include "support/testsupport.h"
#include "toolkit/namedclaim.h"
#include "toolkit/windowsystem.h"

#include <QWidget>

using rightsmith::toolkit::NamedClaim;

class tst_WidgetServices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ownerNamesComeFromTheTopLevelWindow()
    {
        QWidget form;
        auto *panel = new QWidget(&form);
        QWidget otherForm;
        QObject plain;
        QVERIFY(!NamedClaim::nameForOwner(&plain).has_value());
        const auto formName = NamedClaim::nameForOwner(&form);
        QVERIFY(formName.has_value());
        QCOMPARE(NamedClaim::nameForOwner(panel), formName);
        QVERIFY(!panel->testAttribute(Qt::WA_NativeWindow)); // the child stays a plain widget
        QVERIFY(NamedClaim::nameForOwner(&otherForm) != formName);
    }

    void onlyATopLevelWidgetIsAForm()
    {
        QWidget form;
        auto *panel = new QWidget(&form);
        QObject plain;
        QVERIFY(rightsmith::toolkit::isForm(&form));
        QVERIFY(!rightsmith::toolkit::isForm(panel));
        QVERIFY(!rightsmith::toolkit::isForm(&plain));
        QVERIFY(!rightsmith::toolkit::isForm(nullptr));
    }
};

RIGHTSMITH_TEST_MAIN(tst_WidgetServices)

#include "tst_widgetservices.moc"
