#include "platform/HeapTuning.h"

#include <algorithm>
#include <malloc.h>
#include <sys/resource.h>

void KeepLargeBlocksReturnable()
{
    // Setting either threshold switches the dynamic adjustment off.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024);
}

void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? rlim_t(DescriptorsWanted)
                                                          : std::min<rlim_t>(limit.rlim_max, DescriptorsWanted);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}
