#pragma once

#include <wx/string.h>

#include <cstdint>
#include <vector>

// Records of a Tuxedo report. Values stay as the agent sent them ("N/A" for a
// missing attribute); the flag word carries the marks below.
enum TuxFlag : std::uint32_t
{
    TuxShown = 0x01,     // passes the panel's display filter
    TuxBusyLong = 0x02,  // busy with no request done since the last scan
    TuxIdleLong = 0x04,  // idle with no request done since the last scan
    TuxAlarmRow = 0x10,  // listed in red
};

struct TuxServerRec
{
    wxString ProgName;  // Server
    wxString QueueName; // Queueid
    wxString ProcessID;
    wxString Spare;
    wxString RqDone;
    wxString SvrMin;
    wxString SvrMax;
    wxString CurrSvc; // "IDLE" when idle
    wxString UseMem;
    std::uint32_t Flags = 0;
};

struct TuxQueueRec
{
    wxString ProgName; // Server
    wxString Queueid;  // IPC queue id
    wxString SrvCnt;
    wxString Spare1;
    wxString Queued;
    wxString Spare2;
    wxString Spare3;
    std::uint32_t Flags = 0;
};

struct TuxClientRec
{
    wxString Name;
    wxString ClientPID;
    wxString ClientAddr;
    wxString ConTime;
    wxString Status;
};

struct TuxSystemRec
{
    wxString CoreFind;
    wxString ErrorFind;
    wxString WarnFind;
    wxString LargeFile;
    wxString FreeMem;
    wxString IdleCPU;
    wxString Reason; // from ERROR
};

struct TuxCountRec
{
    wxString SvrCnt;
    wxString QueCnt;
    wxString CltCnt;
};

struct TuxInitRec
{
    wxString TuxVersion;
    wxString TuxBootAt;
    wxString OSVersion;
    wxString AgentVersion;
};

using TuxServerList = std::vector<TuxServerRec>;
using TuxQueueList = std::vector<TuxQueueRec>;
using TuxClientList = std::vector<TuxClientRec>;
