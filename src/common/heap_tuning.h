#pragma once

// A monitor panel parses a report of megabytes on every scan. By default glibc
// hands the memory freed after one scan back to the system, and the next scan
// faults it in again, which makes a parse several times slower. Monitor panels
// call this once at creation so freed memory stays with the process. Safe to
// call any number of times, from any thread.
void KeepFreedMemory();
