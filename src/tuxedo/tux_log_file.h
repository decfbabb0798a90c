#pragma once

// The toolkit's own log output (XML parse errors and the like) goes to
// "CorvaneLog.txt" in the process's current directory while a Tuxedo panel is
// open. Every panel holds one TuxLogFile: creating one empties the file and
// makes it the active log target with the time stamp "[%d/%m/%y %H:%M:%S] ".
// The panels share one open file; when the last of them goes, the target that
// was active before the first one is put back, so nothing is ever logged into
// a closed file. GUI thread only.
class TuxLogFile
{
public:
    TuxLogFile();
    ~TuxLogFile();
    TuxLogFile(const TuxLogFile&) = delete;
    TuxLogFile& operator=(const TuxLogFile&) = delete;

    static const char* FileName() { return "CorvaneLog.txt"; }
};
