// SPDX-License-Identifier: MIT
#pragma once

// The user-facing message table. Placeholders are printf-style.
namespace msg {
inline constexpr const char *EmptyInput = "Input parameters (Agent, Community, Oid) cannot be empty.";
inline constexpr const char *OpenError = "SnmpMgrOpen error: %d.";
inline constexpr const char *InvalidOids = "Invalid Oids, '%s', specified.";
inline constexpr const char *RequestError = "SnmpMgrRequest error: %d.";
inline constexpr const char *RequestStatus = "SnmpMgrRequest: ErrorStatus = %d, ErrorIndex = %d.";
inline constexpr const char *NotIncreasing = "OID not increasing: '%s' after '%s'.";

// SNMPv3: each names the setting to fix. No passphrase ever goes into one.
inline constexpr const char *UsmShortPassphrase = "The %s passphrase must have at least 8 characters.";
inline constexpr const char *UsmNoAnswer = "No answer from the agent: it is down, or it drops the SNMPv3 messages it cannot read.";
inline constexpr const char *UsmUnknownUser = "The agent does not know the user name '%s'.";
inline constexpr const char *UsmWrongAuth = "Wrong authentication passphrase or protocol for user '%s'.";
inline constexpr const char *UsmLevelTooLow = "The agent refuses user '%s' at security level %s: it requires a higher one.";
inline constexpr const char *UsmLevelUnsupported = "The agent does not support security level %s for user '%s'.";
inline constexpr const char *UsmPrivacyWrong =
    "The agent answers, but the privacy passphrase or protocol (or the context) is wrong.";
inline constexpr const char *UsmContextUnknown = "The agent answers, but not in the context '%s'.";
inline constexpr const char *UsmUserNameTooLong = "The user name has %d octets: SNMPv3 allows at most 32.";
inline constexpr const char *UsmDecryption =
    "The privacy protocol or passphrase is wrong for user '%s' (the agent could not decrypt).";
inline constexpr const char *UsmEngineChanged =
    "The agent's engine ID changed during the run, and the agent refused the request again with its new one.";
// Why the desktop keyring is not used; Qt's %1: the keyring's own words, the
// time limit in seconds, the user name.
inline constexpr const char *KeyringFailed =
    "The desktop keyring could not be used (%1): the passphrases are kept in memory until Norvane exits.";
inline constexpr const char *KeyringNoService =
    "No desktop keyring answers (no Secret Service or KWallet on the session's D-Bus): the passphrases are kept "
    "in memory until Norvane exits.";
inline constexpr const char *KeyringLocked =
    "The desktop keyring stayed locked (its unlock was cancelled or refused): the passphrases are kept in memory "
    "until Norvane exits.";
inline constexpr const char *KeyringTimedOut =
    "The desktop keyring did not answer within %1 seconds: the passphrases are kept in memory until Norvane exits.";
inline constexpr const char *KeyringNoEntry =
    "The desktop keyring gave no passphrases for user '%1' of this agent (they were removed, or it stayed "
    "locked): enter them again.";
// In the status line while a command waits for the keyring.
inline constexpr const char *KeyringWait = "Waiting for the keyring...";
inline constexpr const char *UsmOtherVariant = "The agent answers with privacy %s, not %s: choose %s.";

inline constexpr const char *GetDataFailed = "Failed to get data for '%s'";
inline constexpr const char *InvalidDataType = "Invalid data type for '%s'";
inline constexpr const char *SetDataFailed = "Failed to set data for '%s'";
inline constexpr const char *SettingsFileKept = "The settings file could not be read; it was kept as '%s'.";
inline constexpr const char *SettingsFileUnreadable = "The settings file '%s' could not be read: %s.";
inline constexpr const char *SettingsFileUnwritten = "The settings file '%s' could not be written: %s.";
inline constexpr const char *SettingsFileLocked = "The settings file '%s' is locked by another program.";
// Reasons for the two messages above where the system gives none of its own.
inline constexpr const char *NotRegularFile = "it is not a regular file";
inline constexpr const char *LockedByOther = "it is locked by another program";

inline constexpr const char *FileNotFound = "File not found";
inline constexpr const char *InvalidFilename = "Invalid filename";
inline constexpr const char *TooManyOpenFiles = "Too many open files";
inline constexpr const char *FileAccessDenied = "File access denied";
inline constexpr const char *ReadBeyondEof = "Read beyond end of file";
inline constexpr const char *DiskFull = "Disk full";
inline constexpr const char *InvalidNumericInput = "Invalid numeric input";
inline constexpr const char *IoError = "I/O error %d";

inline constexpr const char *Ready = "Ready";
inline constexpr const char *Updating = "Updating...";
// While MIB files new since the last start are checked before the MIBs load.
inline constexpr const char *LoadingMibs = "Loading MIB modules...";
// In the status line after a walk that found nothing under its OID.
inline constexpr const char *NoObjects = "No objects under this OID.";
// In the status line when the MIB Tree's Ctrl+Enter replaced rather than appended.
inline constexpr const char *WalkTakesOneOid = "A Walk takes one OID: the Oids box holds the chosen one.";
// In the status line after Load MIB File loaded a module cleanly.
inline constexpr const char *MibLoaded = "%s loaded from '%s'.";
// In the status line after a find in the list.
inline constexpr const char *NotFound = "Not found";
inline constexpr const char *RowOfRows = "Row %lld of %lld";
// Add to Watch beyond what the Watch holds.
inline constexpr const char *WatchFull = "The Watch holds at most %d objects; remove some to add others.";

// Open... and Compare With...: a recording or result file read.
inline constexpr const char *NotARecording = "'%s' is not a recording. %s";
inline constexpr const char *NoBindings = "'%s' holds no bindings";
inline constexpr const char *NotARegularFile = "'%s' is not a regular file";
inline constexpr const char *DamagedFile = "'%s' is damaged: its compressed data ends or breaks off";
inline constexpr const char *ReadBrokeOff = "'%s' could not be read past line %llu: %s";
inline constexpr const char *LinesSkipped = "%s of '%s' skipped:";
inline constexpr const char *MoreLines = "(and %llu more)";
// In the status line after a file was opened.
inline constexpr const char *FileRows = "%s: %s";
inline constexpr const char *FileRowsSkipped = "%s: %s, %s skipped";
inline constexpr const char *FileStopped = "%s: stopped after %s";

// Set: the rule a value breaks, said next to its field before anything is sent.
inline constexpr const char *SetEmpty = "Write a value.";
inline constexpr const char *SetNotNumber = "'%s' is no whole number.";
inline constexpr const char *SetTypeRange = "%s holds %s..%s.";
inline constexpr const char *SetOutOfRange = "%s is outside the MIB's range %s.";
inline constexpr const char *SetDecimals = "The DISPLAY-HINT %s allows %d decimals.";
inline constexpr const char *SetNoSuchLabel = "'%s' is none of the MIB's labels: %s.";
inline constexpr const char *SetNotListed = "%s is not in the MIB's enumeration: %s.";
inline constexpr const char *SetSize = "%d octets: the MIB's SIZE is %s.";
inline constexpr const char *SetHint = "Does not fit the DISPLAY-HINT \"%s\": write it as %s.";
inline constexpr const char *SetAsciiHint = "The DISPLAY-HINT \"%s\" allows ASCII only: write other octets as Hex.";
inline constexpr const char *SetDateAndTime = "Not a DateAndTime: write it as 2026-12-09 05:17:08, a zone (+01:00) optional.";
inline constexpr const char *SetHexDigit = "'%s' is no hex digit.";
inline constexpr const char *SetHexPairs = "Hex digits come in pairs: one is missing.";
inline constexpr const char *SetBadOid = "'%s' is no OID: neither a name the loaded MIBs know nor dotted decimal.";
inline constexpr const char *SetBadAddress = "'%s' is no IPv4 address: four numbers 0..255 with dots.";
inline constexpr const char *SetNoSuchBit = "'%s' is none of the MIB's bits: %s.";
inline constexpr const char *SetCounter = "%s is read-only by definition: check Override to send it anyway.";
// What may be sent, but is likely refused.
inline constexpr const char *SetReadOnly = "The MIB says MAX-ACCESS %s: the agent will likely refuse the Set.";
inline constexpr const char *SetOverridden = "Sent as %s, not the MIB's %s: the agent will likely answer wrongType.";
// Set: what its request comes to. No write community ever goes into one.
inline constexpr const char *SetNoCommunity =
    "The Set needs the agent's write community (Agent Properties); nothing was sent.";
inline constexpr const char *SetCounter64V1 = "SNMPv1 cannot carry a Counter64: choose version 2c in Agent Properties.";
inline constexpr const char *SetRefused = "The agent refused the Set: %s (%d) at binding %d, %s. %s";
inline constexpr const char *SetRefusedAll = "The agent refused the Set: %s (%d). %s";
inline constexpr const char *SetTimeout =
    "No answer to the Set. An agent drops a Set whose community may only read: the write community may be a read "
    "community (or none the agent knows). Check it in Agent Properties, and that the agent is up.";
inline constexpr const char *SetTimeoutUser =
    "No answer to the Set: SNMPv3 user '%s' may not have write access, or the agent is down.";
inline constexpr const char *SetReadCommunity =
    "The write community given may be one the agent lets read only (a read community).";
// In the status line after a Set.
inline constexpr const char *SetSucceeded = "The Set succeeded: %d objects written, as the agent answered below.";
inline constexpr const char *SetSucceededOne = "The Set succeeded: 1 object written, as the agent answered below.";
inline constexpr const char *SetCancelled = "Set cancelled: nothing was sent.";
// The Traps window's receiver. Why a port cannot be had, each with its fix;
// the first %s of each is "UDP port 162" or "UDP port 162 of 10.0.0.1".
inline constexpr const char *TrapNoAddress =
    "'%s' is no IPv4 or IPv6 address: give one of this computer's, or none for all of them.";
inline constexpr const char *TrapPrivilegedPort =
    "Not permitted to listen on %s: ports below 1024 need privilege. Either give the program that one right "
    "(sudo setcap cap_net_bind_service=+ep %s), or listen on a port above 1023 (such as 10162) and have the "
    "firewall redirect port %u to it.";
inline constexpr const char *TrapNotPermitted = "Not permitted to listen on %s: %s.";
inline constexpr const char *TrapPortInUse =
    "%s is in use by another program (a trap receiver such as snmptrapd?): stop it, or listen on another port.";
inline constexpr const char *TrapNotOurAddress = "'%s' is not an address of this computer.";
inline constexpr const char *TrapCannotListen = "Cannot listen on %s: %s.";
inline constexpr const char *TrapNoReader = "Cannot start reading the socket.";
inline constexpr const char *TrapUserUnusable = "User '%s': %s";
inline constexpr const char *TrapProtocolsUnusable = "The protocols of user '%s' cannot be used.";
// Why a datagram was rejected.
inline constexpr const char *TrapNotSnmp = "Not an SNMP message.";
inline constexpr const char *TrapUnknownVersion = "Unknown SNMP version %d.";
inline constexpr const char *TrapMalformed = "Malformed or truncated message.";
inline constexpr const char *TrapNotNotification = "Not a notification: %s.";
inline constexpr const char *TrapBadName = "A binding's name is no object identifier of at most 128 sub-identifiers.";
inline constexpr const char *TrapBadOidValue = "A binding's object identifier value is malformed.";
inline constexpr const char *TrapBadEnterprise = "The Trap-PDU's enterprise is no object identifier.";
inline constexpr const char *TrapCommunity = "Community '%s' is not accepted.";
inline constexpr const char *TrapUnknownUser = "Unknown user '%s' (or not set up for the sender's engine ID).";
inline constexpr const char *TrapWrongAuth = "Authentication failed for user '%s': wrong passphrase or protocol.";
inline constexpr const char *TrapLevelNotSetUp = "Security level not set up for user '%s'.";
inline constexpr const char *TrapTimeWindow = "Not in the time window: an old or replayed message.";
inline constexpr const char *TrapUnknownEngine = "Unknown engine ID.";
inline constexpr const char *TrapDecryption = "Decryption failed for user '%s'.";
inline constexpr const char *TrapWrongPrivacy =
    "Unreadable after decryption for user '%s': wrong privacy passphrase or protocol.";
inline constexpr const char *TrapNotRead = "Not read: %s.";
inline constexpr const char *TrapLongName = "A binding's name is longer than 128 sub-identifiers.";
inline constexpr const char *TrapNoSnmpV3 = "SNMPv3 cannot be read here.";
} // namespace msg
