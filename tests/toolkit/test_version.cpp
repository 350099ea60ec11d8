// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include <QString>

#include <gtest/gtest.h>

#include <rightsmith/version.h>

namespace {

TEST(Version, LibraryAndHeaderAgree)
{
    // The library a test links is the one built with this header.
    EXPECT_STREQ(rightsmith::version(), RIGHTSMITH_VERSION_STRING);
    EXPECT_EQ(QString::fromLatin1(RIGHTSMITH_VERSION_STRING),
              QStringLiteral("%1.%2.%3")
                  .arg(RIGHTSMITH_VERSION_MAJOR)
                  .arg(RIGHTSMITH_VERSION_MINOR)
                  .arg(RIGHTSMITH_VERSION_PATCH));
    EXPECT_EQ(RIGHTSMITH_VERSION,
              RIGHTSMITH_VERSION_CHECK(RIGHTSMITH_VERSION_MAJOR, RIGHTSMITH_VERSION_MINOR,
                                       RIGHTSMITH_VERSION_PATCH));
}

TEST(Version, CheckOrdersAsVersionsDo)
{
    // Each pair: the first version is older than the second.
    const int pairs[][2] = {
        {RIGHTSMITH_VERSION_CHECK(0, 1, 0), RIGHTSMITH_VERSION_CHECK(0, 1, 1)},
        {RIGHTSMITH_VERSION_CHECK(0, 1, 255), RIGHTSMITH_VERSION_CHECK(0, 2, 0)},
        {RIGHTSMITH_VERSION_CHECK(0, 255, 255), RIGHTSMITH_VERSION_CHECK(1, 0, 0)},
        {RIGHTSMITH_VERSION_CHECK(1, 9, 0), RIGHTSMITH_VERSION_CHECK(1, 10, 0)},
    };
    for (const auto &pair : pairs)
        EXPECT_LT(pair[0], pair[1]);
}

} // namespace
