// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The backups of a user store, the same checks on every back end.

#include "security/store/userstore.h"
#include "toolkit/error.h"

#include <QByteArray>
#include <QDateTime>

#include <gtest/gtest.h>

#include <functional>

namespace testsupport {

/// Four saves, each adding a user to a store of \a users users, keep what the
/// last three replaced, newest first, with their times; backup 3 is put back,
/// the current user template becoming backup 1, and putting that back undoes
/// it. A number not kept and a backup that \a damage spoiled are refused,
/// changing nothing. \a saveAdding saves with one user more, \a current reads
/// the stored user template.
inline void expectBackupRotation(const zkSecurity::UserStoreSettings &settings, int users,
                                 const std::function<void(const QByteArray &)> &saveAdding,
                                 const std::function<QByteArray()> &current,
                                 const std::function<void(int)> &damage)
{
    using zkSecurity::UserStore;
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-1);
    QList<QByteArray> replaced; // newest first
    for (const char *name : {"Ann", "Ben", "Cid", "Dot"}) {
        replaced.prepend(current());
        saveAdding(name);
    }
    const QByteArray last = current();
    QList<UserStore::Backup> kept = UserStore::backups(settings);
    ASSERT_EQ(kept.size(), UserStore::KeptBackups);
    for (int i = 0; i < UserStore::KeptBackups; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kept[i].number, i + 1);
        EXPECT_EQ(kept[i].size, replaced[i].size());
        EXPECT_EQ(kept[i].users, users + 3 - i);
        EXPECT_TRUE(kept[i].good);
        EXPECT_EQ(kept[i].keptAt.timeSpec(), Qt::UTC);
        EXPECT_GE(kept[i].keptAt, start);
        EXPECT_LE(kept[i].keptAt, QDateTime::currentDateTimeUtc().addSecs(1));
        if (i > 0) {
            EXPECT_LE(kept[i].keptAt, kept[i - 1].keptAt);
        }
    }

    UserStore::restoreBackup(settings, 3);
    EXPECT_EQ(current(), replaced[2]);
    kept = UserStore::backups(settings);
    ASSERT_EQ(kept.size(), UserStore::KeptBackups);
    EXPECT_EQ(kept[0].size, last.size());
    UserStore::restoreBackup(settings, 1);
    EXPECT_EQ(current(), last);

    EXPECT_THROW(UserStore::restoreBackup(settings, 4), rightsmith::toolkit::Error);
    EXPECT_EQ(current(), last);
    damage(2);
    kept = UserStore::backups(settings);
    ASSERT_EQ(kept.size(), UserStore::KeptBackups);
    EXPECT_FALSE(kept[1].good);
    EXPECT_TRUE(kept[0].good);
    EXPECT_THROW(UserStore::restoreBackup(settings, 2), rightsmith::toolkit::Error);
    EXPECT_EQ(current(), last);
}

} // namespace testsupport
