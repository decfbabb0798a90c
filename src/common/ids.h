#pragma once

// The fixed window, tool, timer and notification ids of the console. Stored
// layouts, tests and the event tables all rely on these exact numbers.
namespace CorvaneId
{
enum : int
{
    // Main menu commands
    Connect = 1000,
    Exit = 1001,
    DatabaseSetting = 1002,
    AlarmSetting = 1003,
    HelpContents = 1004,
    TechSupport = 1005,
    CheckUpdate = 1006,
    TuxedoForums = 1007,
    WebLogicForums = 1008,
    About = 1009,
    MetricsSetting = 1025, // Settings → Metrics endpoint...

    // Controls shared by both monitor panels
    AlarmSet = 1010,
    StartStop = 1011,
    Interval = 1012,
    LogArea = 1013,
    ServerList = 1014,
    QueueList = 1015, // the JVM list on a WebLogic panel
    ClientList = 1016, // the thread and JDBC lists on a WebLogic panel
    ServerFilter = 1017,
    ServerApply = 1018,
    QueueFilter = 1019,
    QueueApply = 1020,

    // The alarms pane's menu command (File menu)
    ShowAlarms = 1030,

    // About box texts
    AboutVersion = 1021,
    AboutLine = 1022,

    // Toolbar tools (315 has no tool, only the range handler answers it)
    ToolQuit = 313,
    ToolSite = 314,
    ToolEmail = 315,
    ToolAction = 316,
    ToolChart = 317,
    ToolDatabase = 318,

    // Agent link notifications and polling timers of the two panels
    TuxedoSocket = 569,
    WebLogicSocket = 313,
    TuxedoTimer = 1024,
    WebLogicTimer = 2048,
};
} // namespace CorvaneId
