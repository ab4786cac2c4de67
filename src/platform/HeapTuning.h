#pragma once

// A process that runs for months keeps its resident size flat only if the
// allocator hands large blocks back. glibc raises its mmap threshold each
// time a large mapped block is freed, after which blocks of that size come
// from the heap and stay there; a record file read whole and growing every
// pass would then leave the heap a little larger each time. Fixing the
// thresholds keeps large blocks mapped (returned on free) and the heap's
// free top trimmed. Called once, first thing in the process.
void KeepLargeBlocksReturnable();

// The TCP check beyond the echo opens many sockets at once, and a service's
// soft descriptor limit (1 024) would leave it few: the soft limit is raised
// towards the hard one, to at most DescriptorsWanted. Nothing here waits on
// a descriptor by select(), which is what the low default protects.
inline constexpr long DescriptorsWanted = 8192;
void RaiseDescriptorLimit();
