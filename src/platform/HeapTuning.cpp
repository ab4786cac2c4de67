#include "platform/HeapTuning.h"

#include <malloc.h>

void KeepLargeBlocksReturnable()
{
    // Setting either threshold switches the dynamic adjustment off.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024);
}
