#pragma once

#include "rightsmithcore_export.h"

#include <QtGlobal>

#include <initializer_list>

namespace zkSecurity {

/// Options of the security component. Bit n of the stored set is the member of ordinal n.
enum TzkSecurityOptions : quint8 {
    soForceBuildSecurityFromClients = 0,
    soForceIDFromClients = 1,
    soForceClientsVisibleAfterLogon = 2,
    soAutoSaveUsers = 3,
    soShowCheckedOKOnly = 4,
    soAutoLogon = 5,
    soReleaseOwnerOnLogonFail = 6,
    soCreateSupervisorIfMissing = 7,
    soShowIcons = 8,
    soStorePassword = 9,
    soSilentLogonTry = 10,
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
