// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QtGlobal>

#include <initializer_list>

namespace zkSecurity {

/// Options of the security component. Bit n of the stored set is the member of ordinal n.
enum TzkSecurityOptions : quint8 {
    /// At start-up, rebuild the security template from the client action lists.
    soForceBuildSecurityFromClients = 0,
    /// In that build, keep the actions' own identifiers (refusing duplicates) instead of numbering
    /// them anew.
    soForceIDFromClients = 1,
    /// After a logon, show every protected action of the lists that hide on failure.
    soForceClientsVisibleAfterLogon = 2,
    /// Kept in the stored set; the component does not read it.
    soAutoSaveUsers = 3,
    /// Users other than "Supervisor" see only their granted rights in the user management dialog.
    soShowCheckedOKOnly = 4,
    /// At start-up, log the last user on, with the remembered password.
    soAutoLogon = 5,
    /// With soAutoLogon: a refused logon at start-up ends the application (when the owner is a
    /// form).
    soReleaseOwnerOnLogonFail = 6,
    /// Create "Supervisor" (empty password, every right) when there are no users at all.
    soCreateSupervisorIfMissing = 7,
    /// The security template shows the node images.
    soShowIcons = 8,
    /// Remember the scrambled password of the last logon (never with hashed passwords).
    soStorePassword = 9,
    /// The automatic logon tries the remembered password without the dialog first.
    soSilentLogonTry = 10,
    /// Keep the user template in UserTemplateFileName rather than in the registry.
    soSaveUsersInFile = 11,
};

/// A set of TzkSecurityOptions held in 16 bits, as the form stores it.
class RIGHTSMITH_CORE_EXPORT TzkSecurityOptionSet
{
public:
    /// The stored value of the default set: soAutoSaveUsers, soShowCheckedOKOnly, soAutoLogon,
    /// soReleaseOwnerOnLogonFail, soCreateSupervisorIfMissing, soShowIcons and soSaveUsersInFile.
    static constexpr quint16 DefaultValue = 2552;
    /// The bits of the 12 members.
    static constexpr quint16 ValidBits = 0x0FFF;

    /// The empty set.
    constexpr TzkSecurityOptionSet() = default;
    /// The set of \a options.
    constexpr TzkSecurityOptionSet(std::initializer_list<TzkSecurityOptions> options)
    {
        for (auto option : options)
            m_bits |= quint16(1u << option);
    }
    /// The set whose stored value is \a bits; bits above the 12 members are dropped.
    static constexpr TzkSecurityOptionSet fromInt(quint16 bits)
    {
        TzkSecurityOptionSet set;
        set.m_bits = bits & ValidBits;
        return set;
    }
    /// The default set (DefaultValue).
    static constexpr TzkSecurityOptionSet defaults() { return fromInt(DefaultValue); }

    /// The stored 16-bit value.
    constexpr quint16 toInt() const { return m_bits; }
    /// Whether \a option is in the set.
    constexpr bool contains(TzkSecurityOptions option) const { return m_bits & (1u << option); }
    /// The set with \a option added.
    constexpr TzkSecurityOptionSet with(TzkSecurityOptions option) const
    {
        return fromInt(quint16(m_bits | (1u << option)));
    }
    /// The set without \a option.
    constexpr TzkSecurityOptionSet without(TzkSecurityOptions option) const
    {
        return fromInt(quint16(m_bits & ~(1u << option)));
    }
    /// Equal when both hold the same options.
    constexpr bool operator==(const TzkSecurityOptionSet &) const = default;

private:
    quint16 m_bits = 0;
};

/// The component's last-error enumeration; only seNone is ever assigned.
enum TzkSecurityError : quint8 {
    seNone = 0,
    seUserTemplateMissing = 1,
    seSecurityTemplateMissing = 2,
    seSecurityTemplateCannotBuildFromClients = 3,
    seUsrAccessInitEntryMissing = 4,
    seUsrAccessUserEntryMissing = 5,
    seUsrAccessRightEntryMissing = 6,
    eUsrAccessLoginNameEntryMissing = 7,
    seUsrAccessLoginNameEntryMissing = 8,
    seUsrAccessInitFailed = 9,
};

} // namespace zkSecurity
