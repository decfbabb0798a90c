#pragma once

#include <wx/string.h>

#include <cstdint>
#include <vector>

// Records of a WebLogic report, fields in the order history and display rely on.
enum WlsFlag : std::uint32_t
{
    WlsJdbcLow = 0x02,   // free JDBC connections below threshold
    WlsHeapLow = 0x04,   // free JVM heap below threshold
    WlsThreadLow = 0x08, // idle threads below threshold
    WlsAlarmRow = 0x20,  // listed in red
};

struct WlsServerRec
{
    wxString ServerName;
    wxString URL;  // ListenAddress
    wxString Port; // ListenPort
    wxString State;
    wxString Health; // reduced to a HEALTH_* token
    wxString Spare1;
    wxString Spare2;
    std::uint32_t Flags = 0;
};

struct WlsJvmRec
{
    wxString ServerName;
    wxString JVMVendor;
    wxString JVMVersion;
    wxString FreeHeap;    // bytes as text
    wxString CurrentHeap; // bytes as text
    wxString HeapSizeMax; // bytes as text
    wxString FreePercent; // with "%" appended
    std::uint32_t Flags = 0;
};

struct WlsThreadRec
{
    wxString ServerName;
    wxString TotalCount;
    wxString IdleCount;
    wxString QueueLength;
    wxString Throughput;
    std::uint32_t Flags = 0;
};

struct WlsJdbcRec
{
    wxString ServerName;
    wxString ActiveCurrent;
    wxString ActiveHigh;
    wxString CurrCapacity;
    wxString Spare1;
    wxString Spare2;
    wxString LeakCount;
    wxString JDBCName;
    wxString State;
    std::uint32_t Flags = 0;
};

// The domain summary of the panel. A report overwrites only what it carries:
// without INITBUF the values of an older report stay in place.
struct WlsDomainSummary
{
    wxString LastUpdate; // MONITOR Date ("0" when absent)
    wxString DomainVersion;
    wxString ActivationTime;
    wxString ServerNum;
    wxString DomainName;
    wxString AdminServerName;
    wxString JDKVendor;
    wxString JDKVersion;
    wxString OSName;
    wxString OSVersion;
    wxString ProductionModeEnabled;
    wxString AgentVersion;
    wxString GuardianEnabled; // kept, not shown
    wxString RootDirectory;   // kept, not shown
    wxString errMsg;          // SYSTEM errMsg, emptied once logged
};

using WlsServerList = std::vector<WlsServerRec>;
using WlsJvmList = std::vector<WlsJvmRec>;
using WlsThreadList = std::vector<WlsThreadRec>;
using WlsJdbcList = std::vector<WlsJdbcRec>;
