// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>

namespace zkSecurity {

/// Which user store a program uses, and what decided it. An empty address
/// means the local SQLite store. A non-empty problem means the decision could
/// not be made safely: the caller must then open no store at all.
struct RIGHTSMITH_CORE_AUTOTEST_EXPORT StoreAddress
{
    enum Source {
        Program, ///< set through the component's API
        SystemFile, ///< the administrator's rightsmith/store.conf
        Environment, ///< the RIGHTSMITH_STORE environment variable
        Local, ///< nothing chose a store
    };

    /// A PostgreSQL connection string or URI; empty for the local store.
    /// An address from the system file is the whole address: a connection
    /// string that gives every setting choosing the server, its port and
    /// database and how it is trusted, so that neither the user's environment
    /// (PGHOST, PGHOSTADDR, PGPORT, PGSSLMODE, ...) nor a service file can
    /// change them; who connects (user, password file, certificates,
    /// Kerberos) stays the user's own.
    QString address;
    Source source = Local;
    /// The configuration file's path, "RIGHTSMITH_STORE", or empty.
    QString origin;
    /// Why no store may be opened; empty when the address can be used.
    QString problem;

    bool isLocal() const { return address.isEmpty(); }

    /// The system configuration folders searched for rightsmith/store.conf:
    /// /etc/xdg, whatever the environment says.
    static QStringList systemFolders();

    /// Why no shared store can be used by a build made without PostgreSQL.
    static QString sharedStoreLeftOut();

    Q_DECLARE_TR_FUNCTIONS(zkSecurity::StoreAddress)
};

/// Reads a variable of the environment; empty when it is not set.
using EnvironmentLookup = std::function<QString(const char *name)>;

/// Decides the user store; the first of these wins:
/// the address the program set (\a programAddress, empty when not set); the
/// address in the first rightsmith/store.conf found in the system folders; the
/// RIGHTSMITH_STORE environment variable, unless that file pins the store
/// (`pin = true`, when its address wins even if empty); the local store.
/// A system file that cannot be read, is malformed, may be changed by anyone
/// but root (the file, its rightsmith/ folder or the system folder), or holds
/// a password stops the search with a problem; so does an address of that
/// file that names a service, or that leaves out a setting the environment
/// would then choose (the problem names the variable).
RIGHTSMITH_CORE_AUTOTEST_EXPORT StoreAddress resolveStoreAddress(const QString &programAddress);

/// As above, with the folders searched and the environment given.
RIGHTSMITH_CORE_AUTOTEST_EXPORT StoreAddress
resolveStoreAddress(const QString &programAddress, const QStringList &systemFolders,
                    const EnvironmentLookup &environment);

} // namespace zkSecurity
