#pragma once

#include "store/records.h"
#include "tuxedo/tux_records.h"
#include "weblogic/wls_records.h"

#include <wx/string.h>

#include <memory>
#include <mutex>
#include <vector>

class wxSQLite3Database;

// One open SQLite connection with the records last loaded through it. Every
// window that reads or writes the store owns its own. All operations lock an
// internal mutex, so a panel's scan thread may record history while the GUI
// thread saves the panel's rule.
//
// SQLite failures never escape: configuration work shows one message box
// naming the file and SQLite's message; history recording returns false and
// leaves the message in LastError() for the panel's log. On an object whose
// open failed, or after Close, every operation fails without a box: loads
// give -1 (LoadActionSettings 0), writes 0, Record*Scan false.
class DbAccess
{
public:
    enum Kind
    {
        ConfigDb = 0, // Corvane.db: SiteList, ActionSet
        SiteDb = 1,   // <site>.db: alarm rules and history tables
    };

    DbAccess();
    ~DbAccess();
    DbAccess(const DbAccess&) = delete;
    DbAccess& operator=(const DbAccess&) = delete;

    // Opens path, creating the file and the tables of its kind when missing
    // (after "Can't find database [%s]!, will create a new one!"). 1 on
    // success, -1 when the file could not be opened or created (reported).
    int Open(const wxString& path, int kind);
    int Close(); // always 1
    bool IsOpen() const;
    wxString Path() const;

    // How long a statement waits for a file locked by another connection;
    // applies to later opens.
    static void SetDefaultBusyTimeout(int milliseconds); // 60000 unless a test changes it
    // The same for this connection only, now and after later opens.
    void SetBusyTimeout(int milliseconds);

    // Sites (configuration database). The port is stored as the number of its
    // leading digits (0 when none) and read back as text.
    int LoadSites(); // -1 when SiteList is missing, else 1
    std::vector<SiteRecord> Sites() const;
    int InsertSite(const SiteRecord& site); // rows changed
    // Removes ProgramFile(DatabaseFile) when asked, only when that is a site
    // database of its own (IsSiteDatabaseFile). Rows changed, -1 when the
    // store refused (reported): the site is still there. Unless kept for an
    // edit that puts the site back, the site's own settings rows of Corvane.db
    // (its history retention) go with it, so a new site of the same name
    // starts afresh.
    int DeleteSite(const SiteRecord& site, bool removeDatabaseFile, bool keepSettings = false);

    // Alarm rules (site database): -1 when the table is missing, else rows read
    int LoadTuxRule(const wxString& siteName);
    int SaveTuxRule(const TuxAlarmRule& rule); // delete + insert in one transaction
    TuxAlarmRule TuxRule() const;
    int LoadWlsRule(const wxString& siteName);
    int SaveWlsRule(const WlsAlarmRule& rule);
    WlsAlarmRule WlsRule() const;

    // Action settings (configuration database)
    int LoadActionSettings(); // rows read
    int SaveActionSettings(const ActionSettings& settings);
    ActionSettings GetActionSettings() const;

    // History (site database). Each Insert* writes one row per record and
    // returns the rows changed by the last statement; Record*Scan writes a
    // whole scan in one transaction and returns false on failure (nothing of
    // that scan is kept). Both may run on a scan thread.
    int InsertTuxQueues(const TuxQueueList& queues, const wxString& recTime);
    int InsertTuxServers(const TuxServerList& servers, const wxString& recTime);
    int InsertTuxClients(const TuxClientList& clients, const wxString& recTime);
    int InsertWlsServers(const WlsServerList& servers, const wxString& recTime);
    int InsertWlsJvms(const WlsJvmList& jvms, const wxString& recTime);
    int InsertWlsThreads(const WlsThreadList& threads, const wxString& recTime);
    int InsertWlsJdbc(const WlsJdbcList& pools, const wxString& recTime);

    bool RecordTuxScan(const TuxQueueList& queues, const TuxServerList& servers,
                       const TuxClientList& clients, const wxString& recTime);
    bool RecordWlsScan(const WlsServerList& servers, const WlsJvmList& jvms,
                       const WlsThreadList& threads, const WlsJdbcList& pools,
                       const wxString& recTime);

    // SQLite's message for the last failed operation, with the file's path.
    wxString LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A panel's open of its site's database: ProgramFile(DatabaseFile) as a site
// database when IsSiteDatabaseFile says it is one; otherwise a message says
// why and nothing is opened (-1).
int OpenSiteDatabase(DbAccess& db, const SiteRecord& site);

// The short-lived loader of the panels: reads ActionSet from Corvane.db with
// an access object of its own and copies it into settings when a row exists.
// Always 1.
int LoadActionSettingsInto(ActionSettings& settings);
