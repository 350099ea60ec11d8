// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The one-holder-per-name claim: within a process, across processes, and after
// its holder ends or dies.
#include "support/fakes.h"
#include "toolkit/namedclaim.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using rightsmith::toolkit::NamedClaim;

namespace {

// Unique per test process, so that parallel test runs never meet.
QByteArray uniqueName(const char *suffix)
{
    return QByteArrayLiteral("rightsmith-test-") + QByteArray::number(qint64(::getpid())) + '-'
        + suffix;
}

} // namespace

TEST(NamedClaim, SecondHolderOfTheSameNameIsRefusedAnotherNameIsNot)
{
    const QByteArray name = uniqueName("same");
    NamedClaim first;
    NamedClaim second;
    NamedClaim other;
    ASSERT_EQ(first.acquire(name), NamedClaim::Acquired);
    EXPECT_TRUE(first.isHeld());
    EXPECT_EQ(second.acquire(name), NamedClaim::AlreadyHeld);
    EXPECT_FALSE(second.isHeld());
    EXPECT_EQ(other.acquire(uniqueName("other")), NamedClaim::Acquired);
    // A name that merely starts like a held one is a different name.
    NamedClaim longer;
    EXPECT_EQ(longer.acquire(name + 'x'), NamedClaim::Acquired);
}

TEST(NamedClaim, NameIsFreeAgainAfterReleaseOrDestruction)
{
    const QByteArray name = uniqueName("free");
    {
        NamedClaim first;
        ASSERT_EQ(first.acquire(name), NamedClaim::Acquired);
        first.release();
        EXPECT_FALSE(first.isHeld());
        NamedClaim second;
        EXPECT_EQ(second.acquire(name), NamedClaim::Acquired);
    }
    NamedClaim third;
    EXPECT_EQ(third.acquire(name), NamedClaim::Acquired);
    // Acquiring another name lets go of the first.
    EXPECT_EQ(third.acquire(uniqueName("free2")), NamedClaim::Acquired);
    NamedClaim fourth;
    EXPECT_EQ(fourth.acquire(name), NamedClaim::Acquired);
}

TEST(NamedClaim, RefusesNamesTheSystemCannotHold)
{
    NamedClaim claim;
    EXPECT_EQ(claim.acquire(QByteArray()), NamedClaim::Failed);
    EXPECT_EQ(claim.acquire(QByteArray(108, 'n')), NamedClaim::Failed);
    EXPECT_FALSE(claim.isHeld());
    QByteArray longest = uniqueName("");
    longest += QByteArray(107 - longest.size(), 'n');
    EXPECT_EQ(claim.acquire(longest), NamedClaim::Acquired);
    NamedClaim again;
    EXPECT_EQ(again.acquire(longest), NamedClaim::AlreadyHeld);
}

TEST(NamedClaim, IsSeenByOtherProcessesAndDiesWithItsHolder)
{
    const QByteArray name = uniqueName("child");
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls here: the parent may have threads.
        NamedClaim claim;
        const char result = claim.acquire(name) == NamedClaim::Acquired ? 'A' : 'F';
        (void)!::write(toParent[1], &result, 1);
        char go = 0;
        (void)!::read(toChild[0], &go, 1);
        ::_exit(0); // no destructor runs: the kernel alone must free the name
    }
    ::close(toParent[1]);
    ::close(toChild[0]);

    char result = 0;
    ASSERT_EQ(::read(toParent[0], &result, 1), 1);
    EXPECT_EQ(result, 'A');
    NamedClaim claim;
    EXPECT_EQ(claim.acquire(name), NamedClaim::AlreadyHeld);

    const char go = 'x';
    ASSERT_EQ(::write(toChild[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(toParent[0]);
    ::close(toChild[1]);

    EXPECT_EQ(claim.acquire(name), NamedClaim::Acquired);
}

TEST(NamedClaim, WindowNamesAreTheDecimalIdentifierQualifiedAsAsked)
{
    EXPECT_EQ(NamedClaim::nameForWindow(4194311, false),
              QByteArrayLiteral("rightsmith-window-4194311"));
    EXPECT_EQ(NamedClaim::nameForWindow(0, false), QByteArrayLiteral("rightsmith-window-0"));
    EXPECT_EQ(NamedClaim::nameForWindow(18446744073709551615ULL, false),
              QByteArrayLiteral("rightsmith-window-18446744073709551615"));
    EXPECT_EQ(NamedClaim::nameForWindow(7, true),
              QByteArrayLiteral("rightsmith-window-7-pid")
                  + QByteArray::number(qint64(::getpid())));
    EXPECT_EQ(NamedClaim::nameForWindow(7, false, QByteArrayLiteral(":1")),
              QByteArrayLiteral("rightsmith-window-7@:1"));
}

TEST(NamedClaim, OwnerNamesComeFromTheTopLevelWindow)
{
    testsupport::FakeForm form;
    auto *panel = new QObject(&form);
    testsupport::FakeForm otherForm;
    QObject plain;
    EXPECT_FALSE(NamedClaim::nameForOwner(&plain).has_value());
    EXPECT_FALSE(NamedClaim::nameForOwner(nullptr).has_value());
    const auto formName = NamedClaim::nameForOwner(&form);
    ASSERT_TRUE(formName.has_value());
    EXPECT_EQ(NamedClaim::nameForOwner(panel), formName);
    EXPECT_NE(NamedClaim::nameForOwner(&otherForm), formName);
    EXPECT_TRUE(formName->startsWith("rightsmith-window-"));
}
