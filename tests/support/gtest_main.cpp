// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Entry of every GoogleTest program (the widget-free core's tests): a
// QGuiApplication, which actions need, on the minimal platform unless one is
// chosen, so that no display is needed; test mode for QStandardPaths; and
// fakes for the window system and the component's dialogs.
#include "support/fakes.h"

#include <QGuiApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("minimal"));
    QStandardPaths::setTestModeEnabled(true);
    QGuiApplication app(argc, argv);
    testsupport::FakeWindowSystem windows;
    testsupport::FakeSecurityUi dialogs;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
