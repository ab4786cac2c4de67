#pragma once

// A process that runs for months keeps its resident size flat only if the
// allocator hands large blocks back. glibc raises its mmap threshold each
// time a large mapped block is freed, after which blocks of that size come
// from the heap and stay there; a record file read whole and growing every
// pass would then leave the heap a little larger each time. Fixing the
// thresholds keeps large blocks mapped (returned on free) and the heap's
// free top trimmed. Called once, first thing in the process.
void KeepLargeBlocksReturnable();
