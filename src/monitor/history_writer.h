#pragma once

#include <wx/string.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class DbAccess;

// One history write in the background. Whoever started it may wait for it,
// or give up waiting (Abandon) and let it finish or fail on its own.
class HistoryWrite
{
public:
    // Waits until the write has ended, Abandon is called, or timeoutMs has
    // passed (negative: no limit). True when the write has ended.
    bool Wait(int timeoutMs = -1);
    // Any thread: whoever waits stops waiting; the write goes on.
    void Abandon();
    // Once ended: "History not recorded: <SQLite's message>", or empty.
    wxString Warning() const;
    // Runs warning (on the writer's thread) when the write ends after its
    // waiter gave up; at once when it has already ended.
    void OnLateEnd(std::function<void(const wxString& warning)> late);

private:
    friend class HistoryWriter;
    void Finish(const wxString& warning);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
    bool m_abandoned = false;
    wxString m_warning;
    std::function<void(const wxString&)> m_late;
};

// The history writes of one site database, on a connection of their own that
// the first write opens, each on a thread of its own (they take turns on the
// connection). Nothing here waits for a write: a window or a teardown never
// stands behind SQLite's busy wait.
class HistoryWriter
{
public:
    explicit HistoryWriter(const wxString& path); // empty: every write fails
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    using Rows = std::function<bool(DbAccess& db)>; // a DbAccess::Record*Scan call

    // Starts writing and returns at once; the write keeps what it needs alive.
    std::shared_ptr<HistoryWrite> Start(Rows rows);

    // Blocks until every write of every writer has ended, or timeoutMs has
    // passed; true when none is left.
    static bool WaitForAll(int timeoutMs);

private:
    struct Connection;
    std::shared_ptr<Connection> m_connection;
};
