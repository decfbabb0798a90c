#include "alarm/alarm_book.h"

#include "common/clock.h"
#include "common/text.h"

#include <wx/wxsqlite3.h>

#include <algorithm>

using SysClock = std::chrono::system_clock;
using TimePoint = SysClock::time_point;

namespace
{
const char* const kCreateSettings =
    "CREATE TABLE IF NOT EXISTS AlarmSettings ([SiteName] varchar, [RepeatMinutes] integer, "
    "[RaiseAfter] integer, [ClearAfter] integer, [NotifyCleared] integer, [MuteUntil] integer, "
    "[MuteBy] varchar, [Command] varchar);";
const char* const kCreateState =
    "CREATE TABLE IF NOT EXISTS AlarmState ([SiteName] varchar, [Kind] varchar, [Object] varchar, "
    "[Since] integer, [LastNotified] integer, [Count] integer, [AckBy] varchar, [AckAt] integer);";
// The scans look their alarms up by this key.
const char* const kCreateStateKey =
    "CREATE INDEX IF NOT EXISTS AlarmStateKey ON AlarmState(SiteName, Kind, Object);";
const char* const kCreateJournal =
    "CREATE TABLE IF NOT EXISTS AlarmJournal ([SiteName] varchar, [Time] integer, [Kind] varchar, "
    "[Object] varchar, [Event] varchar, [Text] varchar);";

// Scans write on the scan thread; a history write of the same file may hold it a while.
constexpr int kBusyTimeoutMs = 5000;

const AlarmKind kAllKinds[] = {AlarmKind::Died,       AlarmKind::BusyTooLong, AlarmKind::IdleTooLong,
                               AlarmKind::JvmHeapLow, AlarmKind::JdbcLow,     AlarmKind::ThreadLow};

const char* DesignedSuffix(AlarmKind kind)
{
    switch (kind)
    {
    case AlarmKind::Died: return " Died";
    case AlarmKind::BusyTooLong: return " Busy Too Long";
    case AlarmKind::IdleTooLong: return " Idle Too Long";
    case AlarmKind::JvmHeapLow: return " JVM Heap Too Low";
    case AlarmKind::JdbcLow: return " Free JDBC Too Low";
    case AlarmKind::ThreadLow: return " Free Thread Too Low";
    }
    return "";
}

bool KindOfName(const wxString& name, AlarmKind& kind)
{
    for (AlarmKind k : kAllKinds)
        if (name == AlarmKindName(k))
        {
            kind = k;
            return true;
        }
    return false;
}

// The name the designed lists carry: a JDBC pool's server.
wxString ListedName(AlarmKind kind, const wxString& object)
{
    return kind == AlarmKind::JdbcLow ? object.BeforeFirst('/') : object;
}

long long Seconds(TimePoint t)
{
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

TimePoint FromSeconds(long long s)
{
    return TimePoint(std::chrono::seconds(s));
}

// Per kind in the designed order, the listed names once each, then suffix.
wxString ListText(const std::vector<AlarmEvent>& events, const char* tail)
{
    wxString text;
    for (AlarmKind kind : kAllKinds)
    {
        std::vector<wxString> names;
        for (const AlarmEvent& e : events)
        {
            if (e.alarmKind != kind)
                continue;
            const wxString name = ListedName(kind, e.object);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
        if (names.empty())
            continue;
        for (const wxString& name : names)
            text << "[ " << name << "] ";
        text << DesignedSuffix(kind) << tail;
    }
    return text;
}

} // namespace

const char* AlarmEventName(AlarmEventType type)
{
    switch (type)
    {
    case AlarmEventType::Raised: return "raised";
    case AlarmEventType::Repeated: return "repeated";
    case AlarmEventType::Cleared: return "cleared";
    case AlarmEventType::Acknowledged: return "acknowledged";
    case AlarmEventType::Muted: return "muted";
    }
    return "unknown";
}

wxString AlarmTimeText(TimePoint time)
{
    return FormatUtc8At(Seconds(time), "%Y-%m-%d %X");
}

wxString AlarmTextOf(const std::vector<AlarmEvent>& events)
{
    return ListText(events, "!!!");
}

wxString RecoveredTextOf(const std::vector<AlarmEvent>& events)
{
    return ListText(events, " recovered");
}

std::string JournalCsv(const std::vector<AlarmEvent>& events)
{
    std::string csv = "time,site,kind,object,event,text\r\n";
    for (const AlarmEvent& e : events)
        csv += CsvField(AlarmTimeText(e.time)) + "," + CsvField(e.site) + "," + CsvField(e.kind) + "," +
               CsvField(e.object) + "," + AlarmEventName(e.type) + "," + CsvField(e.text) + "\r\n";
    return csv;
}

struct AlarmBook::Entry
{
    bool active = false;
    int held = 0;   // scans in a row with the finding
    int absent = 0; // scans in a row without it, once active
    TimePoint since;
    TimePoint lastNotified; // epoch: never
    int count = 0;          // notices sent
    wxString ackBy;
    TimePoint ackAt;
};

struct AlarmBook::SiteState
{
    wxString name;
    std::unique_ptr<wxSQLite3Database> db; // null: kept in memory only
    LifecycleSettings settings;
    TimePoint muteUntil;
    wxString muteBy;
    std::map<Key, Entry> entries;
};

AlarmBook::AlarmBook(AlarmClock clock) : m_clock(std::move(clock)) {}

AlarmBook::~AlarmBook()
{
    for (auto& site : m_sites)
        if (site.second->db)
            site.second->db->Close();
}

std::shared_ptr<AlarmBook> AlarmBook::Console()
{
    static const std::shared_ptr<AlarmBook> book = std::make_shared<AlarmBook>();
    return book;
}

TimePoint AlarmBook::Now() const
{
    return m_clock ? m_clock() : SysClock::now();
}

AlarmBook::SiteState* AlarmBook::Find(const wxString& site) const
{
    const auto it = m_sites.find(site);
    return it == m_sites.end() ? nullptr : it->second.get();
}

AlarmBook::SiteState& AlarmBook::FindOrAdd(const wxString& site)
{
    std::unique_ptr<SiteState>& state = m_sites[site];
    if (!state)
    {
        state = std::make_unique<SiteState>();
        state->name = site;
    }
    return *state;
}

wxString AlarmBook::OpenSite(const wxString& site, const wxString& dbPath)
{
    auto state = std::make_unique<SiteState>();
    state->name = site;
    wxString warning;
    if (!dbPath.empty())
    {
        try
        {
            auto db = std::make_unique<wxSQLite3Database>();
            db->Open(dbPath, wxEmptyString, WXSQLITE_OPEN_READWRITE | WXSQLITE_OPEN_CREATE);
            db->SetBusyTimeout(kBusyTimeoutMs);
            db->ExecuteUpdate(kCreateSettings);
            db->ExecuteUpdate(kCreateState);
            db->ExecuteUpdate(kCreateStateKey);
            db->ExecuteUpdate(kCreateJournal);

            wxSQLite3Statement select = db->PrepareStatement(
                "select RepeatMinutes, RaiseAfter, ClearAfter, NotifyCleared, MuteUntil, MuteBy, "
                "Command from AlarmSettings where SiteName = ?;");
            select.Bind(1, site);
            wxSQLite3ResultSet rows = select.ExecuteQuery();
            while (rows.NextRow()) // the last row wins
            {
                LifecycleSettings& s = state->settings;
                s.repeatMinutes = std::max(0, rows.GetInt(0));
                s.raiseAfter = std::max(1, rows.GetInt(1));
                s.clearAfter = std::max(1, rows.GetInt(2));
                s.notifyCleared = rows.GetInt(3) != 0;
                state->muteUntil = FromSeconds(rows.GetInt64(4).GetValue());
                state->muteBy = rows.GetAsString(5);
                s.command = rows.GetAsString(6);
            }
            rows.Finalize();

            wxSQLite3Statement active = db->PrepareStatement(
                "select Kind, Object, Since, LastNotified, Count, AckBy, AckAt from AlarmState "
                "where SiteName = ?;");
            active.Bind(1, site);
            wxSQLite3ResultSet alarms = active.ExecuteQuery();
            while (alarms.NextRow())
            {
                AlarmKind kind;
                if (!KindOfName(alarms.GetAsString(0), kind))
                    continue;
                Entry& e = state->entries[Key(static_cast<int>(kind), alarms.GetAsString(1))];
                e.active = true;
                e.held = state->settings.raiseAfter;
                e.since = FromSeconds(alarms.GetInt64(2).GetValue());
                e.lastNotified = FromSeconds(alarms.GetInt64(3).GetValue());
                e.count = alarms.GetInt(4);
                e.ackBy = alarms.GetAsString(5);
                e.ackAt = FromSeconds(alarms.GetInt64(6).GetValue());
            }
            alarms.Finalize();
            state->db = std::move(db);
        }
        catch (const wxSQLite3Exception& e)
        {
            warning = wxString::Format("Alarm lifecycle: database [%s]: %s; alarms are kept in memory only",
                                       dbPath, e.GetMessage());
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    std::unique_ptr<SiteState>& slot = m_sites[site];
    if (slot && slot->db)
        slot->db->Close();
    slot = std::move(state);
    return warning;
}

void AlarmBook::CloseSite(const wxString& site)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_sites.find(site);
    if (it == m_sites.end())
        return;
    if (it->second->db)
        it->second->db->Close();
    m_sites.erase(it);
}

std::vector<wxString> AlarmBook::Sites() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<wxString> names;
    for (const auto& site : m_sites)
        names.push_back(site.first);
    return names;
}

LifecycleSettings AlarmBook::Settings(const wxString& site) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SiteState* state = Find(site);
    return state ? state->settings : LifecycleSettings();
}

namespace
{
void WriteSettingsRow(wxSQLite3Database& db, const wxString& site, const LifecycleSettings& s,
                      TimePoint muteUntil, const wxString& muteBy)
{
    wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
    wxSQLite3Statement del = db.PrepareStatement("delete from AlarmSettings where SiteName = ?;");
    del.Bind(1, site);
    del.ExecuteUpdate();
    wxSQLite3Statement insert = db.PrepareStatement(
        "insert into AlarmSettings(SiteName, RepeatMinutes, RaiseAfter, ClearAfter, NotifyCleared, "
        "MuteUntil, MuteBy, Command) values (?, ?, ?, ?, ?, ?, ?, ?);");
    insert.Bind(1, site);
    insert.Bind(2, s.repeatMinutes);
    insert.Bind(3, s.raiseAfter);
    insert.Bind(4, s.clearAfter);
    insert.Bind(5, s.notifyCleared ? 1 : 0);
    insert.Bind(6, wxLongLong(Seconds(muteUntil)));
    insert.Bind(7, muteBy);
    insert.Bind(8, s.command);
    insert.ExecuteUpdate();
    transaction.Commit();
}
} // namespace

bool AlarmBook::SaveSettings(const wxString& site, const LifecycleSettings& settings, wxString* error)
{
    LifecycleSettings s = settings;
    s.repeatMinutes = std::max(0, s.repeatMinutes);
    s.raiseAfter = std::max(1, s.raiseAfter);
    s.clearAfter = std::max(1, s.clearAfter);
    std::lock_guard<std::mutex> lock(m_mutex);
    SiteState& state = FindOrAdd(site);
    if (state.db)
    {
        try
        {
            WriteSettingsRow(*state.db, site, s, state.muteUntil, state.muteBy);
        }
        catch (const wxSQLite3Exception& e)
        {
            if (error)
                *error = e.GetMessage();
            return false;
        }
    }
    state.settings = s;
    return true;
}

bool AlarmBook::Append(SiteState& state, const std::vector<AlarmEvent>& events, wxString* error)
{
    if (!state.db || events.empty())
        return true;
    try
    {
        wxSQLite3Database& db = *state.db;
        wxSQLite3Transaction transaction(&db, WXSQLITE_TRANSACTION_IMMEDIATE);
        wxSQLite3Statement journal = db.PrepareStatement(
            "insert into AlarmJournal(SiteName, Time, Kind, Object, Event, Text) values (?, ?, ?, ?, ?, ?);");
        wxSQLite3Statement insert = db.PrepareStatement(
            "insert into AlarmState(SiteName, Kind, Object, Since, LastNotified, Count, AckBy, AckAt) "
            "values (?, ?, ?, ?, ?, ?, ?, ?);");
        wxSQLite3Statement update = db.PrepareStatement(
            "update AlarmState set LastNotified = ?, Count = ?, AckBy = ?, AckAt = ? "
            "where SiteName = ? and Kind = ? and Object = ?;");
        wxSQLite3Statement remove =
            db.PrepareStatement("delete from AlarmState where SiteName = ? and Kind = ? and Object = ?;");
        // Bindings outlive each reset: the site is bound once.
        journal.Bind(1, state.name);
        insert.Bind(1, state.name);
        update.Bind(5, state.name);
        remove.Bind(1, state.name);
        for (const AlarmEvent& e : events)
        {
            journal.Bind(2, wxLongLong(Seconds(e.time)));
            journal.Bind(3, e.kind);
            journal.Bind(4, e.object);
            journal.Bind(5, wxString(AlarmEventName(e.type)));
            journal.Bind(6, e.text);
            journal.ExecuteUpdate();
            journal.Reset();
            if (e.type == AlarmEventType::Muted)
                continue;
            const auto it = state.entries.find(Key(static_cast<int>(e.alarmKind), e.object));
            if (e.type == AlarmEventType::Cleared || it == state.entries.end())
            {
                remove.Bind(2, e.kind);
                remove.Bind(3, e.object);
                remove.ExecuteUpdate();
                remove.Reset();
                continue;
            }
            const Entry& entry = it->second;
            wxSQLite3Statement& st = e.type == AlarmEventType::Raised ? insert : update;
            if (e.type == AlarmEventType::Raised)
            {
                insert.Bind(2, e.kind);
                insert.Bind(3, e.object);
                insert.Bind(4, wxLongLong(Seconds(entry.since)));
                insert.Bind(5, wxLongLong(Seconds(entry.lastNotified)));
                insert.Bind(6, entry.count);
                insert.Bind(7, entry.ackBy);
                insert.Bind(8, wxLongLong(Seconds(entry.ackAt)));
            }
            else
            {
                update.Bind(1, wxLongLong(Seconds(entry.lastNotified)));
                update.Bind(2, entry.count);
                update.Bind(3, entry.ackBy);
                update.Bind(4, wxLongLong(Seconds(entry.ackAt)));
                update.Bind(6, e.kind);
                update.Bind(7, e.object);
            }
            st.ExecuteUpdate();
            st.Reset();
        }
        transaction.Commit();
        return true;
    }
    catch (const wxSQLite3Exception& e)
    {
        ++m_journalFailures;
        if (error)
            *error = e.GetMessage();
        return false;
    }
}

std::vector<AlarmEvent> AlarmBook::Scan(const wxString& site, const std::vector<AlarmFinding>& findings,
                                        wxString* journalError)
{
    const TimePoint now = Now();
    std::vector<AlarmEvent> events;
    std::lock_guard<std::mutex> lock(m_mutex);
    SiteState& state = FindOrAdd(site);
    const LifecycleSettings& s = state.settings;
    const bool muted = now < state.muteUntil;
    const auto repeat = std::chrono::minutes(s.repeatMinutes);

    const auto event = [&](AlarmEventType type, AlarmKind kind, const wxString& object, bool notify)
    {
        AlarmEvent e;
        e.time = now;
        e.site = site;
        e.type = type;
        e.alarmKind = kind;
        e.kind = AlarmKindName(kind);
        e.object = object;
        e.notify = notify;
        e.text << "[ " << ListedName(kind, object) << "] " << DesignedSuffix(kind)
               << (type == AlarmEventType::Cleared ? " recovered" : "!!!");
        events.push_back(std::move(e));
    };

    // Objects seen now; the rest of the book is what was not seen.
    std::vector<const Entry*> seen;
    seen.reserve(findings.size());
    for (const AlarmFinding& f : findings)
    {
        Entry& e = state.entries[Key(static_cast<int>(f.kind), f.object)];
        seen.push_back(&e);
        e.absent = 0;
        if (!e.active)
        {
            if (++e.held < s.raiseAfter)
                continue;
            e.active = true;
            e.since = now;
            e.count = 0;
            e.ackBy.clear();
            e.lastNotified = TimePoint();
            if (!muted)
            {
                e.lastNotified = now;
                ++e.count;
            }
            event(AlarmEventType::Raised, f.kind, f.object, !muted);
            continue;
        }
        if (muted || !e.ackBy.empty())
            continue;
        const bool never = e.lastNotified == TimePoint();
        if (!never && now < e.lastNotified)
        {
            // The clock went back: count the interval again from now, so
            // the alarm neither repeats at once nor waits for the old time.
            e.lastNotified = now;
            continue;
        }
        if (never || s.repeatMinutes == 0 || now - e.lastNotified >= repeat)
        {
            e.lastNotified = now;
            ++e.count;
            event(AlarmEventType::Repeated, f.kind, f.object, true);
        }
    }
    std::sort(seen.begin(), seen.end());
    for (auto it = state.entries.begin(); it != state.entries.end();)
    {
        Entry& e = it->second;
        if (std::binary_search(seen.begin(), seen.end(), &e))
        {
            ++it;
            continue;
        }
        if (e.active && ++e.absent < s.clearAfter)
        {
            ++it;
            continue;
        }
        if (e.active)
            event(AlarmEventType::Cleared, static_cast<AlarmKind>(it->first.first), it->first.second, !muted);
        it = state.entries.erase(it);
    }
    wxString error;
    if (!Append(state, events, &error) && journalError)
        *journalError = error;
    return events;
}

void AlarmBook::React(const ScanAlarms& alarms, const AlarmActions& actions)
{
    wxString journalError;
    const std::vector<AlarmEvent> events = Scan(alarms.siteName, alarms.findings, &journalError);
    if (!journalError.empty() && alarms.log)
        alarms.log("Alarm journal not written: " + journalError);
    const LifecycleSettings settings = Settings(alarms.siteName);

    std::vector<AlarmEvent> notices;
    std::vector<AlarmEvent> recovered;
    for (const AlarmEvent& e : events)
    {
        if (!e.notify)
            continue;
        if (e.type == AlarmEventType::Cleared)
        {
            if (settings.notifyCleared)
                recovered.push_back(e);
        }
        else
            notices.push_back(e);
    }
    // Every finding notified (always so with the defaults): the designed
    // text exactly as the evaluation built it.
    const wxString text = notices.size() == alarms.findings.size() ? alarms.text : AlarmTextOf(notices);
    if (!text.empty())
    {
        if (alarms.playSound && actions.playSound)
            actions.playSound(alarms.settings.SoundFile);
        if (alarms.sendSms && actions.sendSms)
            actions.sendSms(text);
    }
    const wxString mailText = text + RecoveredTextOf(recovered);
    if (!mailText.empty() && alarms.sendMail && actions.sendMail)
        actions.sendMail(alarms.settings, mailText);

    for (const AlarmEvent& e : events)
    {
        if (alarms.log && (e.type == AlarmEventType::Raised || e.type == AlarmEventType::Cleared))
            alarms.log(wxString::Format("Alarm %s: %s %s%s", AlarmEventName(e.type), e.kind, e.object,
                                        e.notify ? "" : " (muted)"));
        if (e.notify && !settings.command.empty() && actions.runCommand)
        {
            CommandEvent fields{AlarmEventName(e.type), e.site, e.kind, e.object, AlarmTimeText(e.time),
                                e.text};
            actions.runCommand(settings.command, fields, alarms.logLater);
        }
    }
}

bool AlarmBook::Acknowledge(const wxString& site, AlarmKind kind, const wxString& object,
                            const wxString& by)
{
    const TimePoint now = Now();
    std::lock_guard<std::mutex> lock(m_mutex);
    SiteState* state = Find(site);
    if (!state)
        return false;
    const auto it = state->entries.find(Key(static_cast<int>(kind), object));
    if (it == state->entries.end() || !it->second.active)
        return false;
    it->second.ackBy = by.empty() ? wxString("operator") : by;
    it->second.ackAt = now;
    AlarmEvent e;
    e.time = now;
    e.site = site;
    e.type = AlarmEventType::Acknowledged;
    e.alarmKind = kind;
    e.kind = AlarmKindName(kind);
    e.object = object;
    e.text = "by " + it->second.ackBy;
    Append(*state, {e}, nullptr);
    return true;
}

void AlarmBook::Mute(const wxString& site, TimePoint until, const wxString& by)
{
    const TimePoint now = Now();
    std::lock_guard<std::mutex> lock(m_mutex);
    SiteState& state = FindOrAdd(site);
    state.muteUntil = until;
    state.muteBy = by;
    AlarmEvent e;
    e.time = now;
    e.site = site;
    e.type = AlarmEventType::Muted;
    e.text = until > now ? "until " + AlarmTimeText(until) + " by " + by : "unmuted by " + by;
    if (!state.db)
        return;
    try
    {
        WriteSettingsRow(*state.db, site, state.settings, until, by);
    }
    catch (const wxSQLite3Exception&)
    {
        ++m_journalFailures;
    }
    Append(state, {e}, nullptr);
}

TimePoint AlarmBook::MutedUntil(const wxString& site) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SiteState* state = Find(site);
    return state ? state->muteUntil : TimePoint();
}

std::vector<ActiveAlarm> AlarmBook::Active() const
{
    std::vector<ActiveAlarm> active;
    std::vector<wxString> sites;
    std::unique_lock<std::mutex> lock(m_mutex);
    ListActive(active, sites);
    return active;
}

bool AlarmBook::TryActive(std::vector<ActiveAlarm>& active, std::vector<wxString>& sites) const
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    ListActive(active, sites);
    return true;
}

void AlarmBook::ListActive(std::vector<ActiveAlarm>& list, std::vector<wxString>& sites) const
{
    list.clear();
    sites.clear();
    for (const auto& site : m_sites)
    {
        sites.push_back(site.first);
        for (const auto& entry : site.second->entries)
        {
            const Entry& e = entry.second;
            if (!e.active)
                continue;
            ActiveAlarm a;
            a.site = site.first;
            a.kind = static_cast<AlarmKind>(entry.first.first);
            a.object = entry.first.second;
            a.since = e.since;
            a.lastNotified = e.lastNotified;
            a.count = e.count;
            a.ackBy = e.ackBy;
            a.ackAt = e.ackAt;
            list.push_back(std::move(a));
        }
    }
}

std::vector<AlarmEvent> AlarmBook::Journal(const wxString& site, size_t limit) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ReadJournal(site, limit);
}

bool AlarmBook::TryJournal(const wxString& site, size_t limit, std::vector<AlarmEvent>& events) const
{
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    events = ReadJournal(site, limit);
    return true;
}

std::vector<AlarmEvent> AlarmBook::ReadJournal(const wxString& site, size_t limit) const
{
    std::vector<AlarmEvent> events;
    const SiteState* state = Find(site);
    if (!state || !state->db)
        return events;
    try
    {
        wxSQLite3Statement select = state->db->PrepareStatement(
            "select Time, Kind, Object, Event, Text from AlarmJournal where SiteName = ? "
            "order by rowid desc limit ?;");
        select.Bind(1, site);
        select.Bind(2, static_cast<int>(std::min<size_t>(limit, 1000000)));
        wxSQLite3ResultSet rows = select.ExecuteQuery();
        while (rows.NextRow())
        {
            AlarmEvent e;
            e.site = site;
            e.time = FromSeconds(rows.GetInt64(0).GetValue());
            e.kind = rows.GetAsString(1);
            KindOfName(e.kind, e.alarmKind);
            e.object = rows.GetAsString(2);
            const wxString name = rows.GetAsString(3);
            for (AlarmEventType t : {AlarmEventType::Raised, AlarmEventType::Repeated, AlarmEventType::Cleared,
                                     AlarmEventType::Acknowledged, AlarmEventType::Muted})
                if (name == AlarmEventName(t))
                    e.type = t;
            e.text = rows.GetAsString(4);
            events.push_back(std::move(e));
        }
    }
    catch (const wxSQLite3Exception&)
    {
    }
    return events;
}

int AlarmBook::JournalFailures() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_journalFailures;
}
