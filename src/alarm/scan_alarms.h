#pragma once

#include "store/records.h"

#include <wx/string.h>

#include <functional>
#include <vector>

// What the alarm evaluation of one polled scan found, for whatever reacts to
// it: the designed per-scan actions below, or anything that replaces them.

// The condition an alarming object is in.
enum class AlarmKind
{
    Died,        // Tuxedo (and a WebLogic died check, were there one)
    BusyTooLong, // Tuxedo
    IdleTooLong, // Tuxedo
    JvmHeapLow,  // WebLogic
    JdbcLow,     // WebLogic
    ThreadLow,   // WebLogic
};

// Stable lower-case words, fit for a log, a journal or a metric label.
inline const char* AlarmKindName(AlarmKind kind)
{
    switch (kind)
    {
    case AlarmKind::Died: return "died";
    case AlarmKind::BusyTooLong: return "busy too long";
    case AlarmKind::IdleTooLong: return "idle too long";
    case AlarmKind::JvmHeapLow: return "JVM heap too low";
    case AlarmKind::JdbcLow: return "free JDBC too low";
    case AlarmKind::ThreadLow: return "free thread too low";
    }
    return "unknown";
}

// One alarming object of a scan. The object is the Tuxedo program name
// (BILLSVR), the WebLogic server name (ManagedServer_1), or server and pool
// for a JDBC pool (ManagedServer_1/OrderDS). Each (kind, object) at most once
// per scan.
struct AlarmFinding
{
    AlarmKind kind = AlarmKind::Died;
    wxString object;

    bool operator==(const AlarmFinding& other) const
    {
        return kind == other.kind && object == other.object;
    }
};

// Everything a scan hands to its alarm reaction.
struct ScanAlarms
{
    wxString siteName;
    // The designed alarm text ("[ SVR1]  Died!!![ SVR2]  Busy Too Long!!!");
    // empty when the scan filed nothing.
    wxString text;
    std::vector<AlarmFinding> findings;
    // The rule's action flags, on when exactly "TRUE".
    bool playSound = false;
    bool sendSms = false;
    bool sendMail = false;
    bool threadDump = false; // WebLogic: the scan itself asks the agent for dumps
    ActionSettings settings;
    // Set by the monitor: log appends a warning line after the scan's own
    // alarm lines (scan thread, during the reaction); logLater may be called
    // from any thread at any time and is dropped once the monitor is gone.
    // Each takes the line without prefix; empty ones are not set.
    std::function<void(const wxString& line)> log;
    std::function<void(const wxString& line)> logLater;
};

// The fields of one lifecycle event as a command receives them, in argument
// order: event, site, kind, object, time, text.
struct CommandEvent
{
    wxString event, site, kind, object, time, text;
};

// The three designed actions; an empty one is skipped.
struct AlarmActions
{
    std::function<void(const wxString& soundFile)> playSound;
    std::function<void(const wxString& alarmText)> sendSms;
    std::function<void(const ActionSettings& settings, const wxString& alarmText)> sendMail;
    // The site's own program, run once per lifecycle event (off when the
    // site names none); its outcome goes to log.
    std::function<void(const wxString& program, const CommandEvent& event,
                       const std::function<void(const wxString&)>& log)>
        runCommand;
};

// The designed reaction: after every scan that filed anything, each action
// whose flag is on, in the order sound, SMS, mail.
inline void FireScanAlarms(const ScanAlarms& alarms, const AlarmActions& actions)
{
    if (alarms.text.empty())
        return;
    if (alarms.playSound && actions.playSound)
        actions.playSound(alarms.settings.SoundFile);
    if (alarms.sendSms && actions.sendSms)
        actions.sendSms(alarms.text);
    if (alarms.sendMail && actions.sendMail)
        actions.sendMail(alarms.settings, alarms.text);
}
