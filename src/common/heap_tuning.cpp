#include "common/heap_tuning.h"

#include <malloc.h>

#include <mutex>

void KeepFreedMemory()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       // Blocks up to 32 MiB (glibc's ceiling) come from the heap,
                       // and the heap is trimmed only past 256 MiB of free space.
                       mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
                       mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
                   });
}
