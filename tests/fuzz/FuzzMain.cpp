// The fuzz targets' own entry in place of libFuzzer's.
//
// libFuzzer counts how far below the frame that calls the target an input
// took the stack as one of the input's features. Every frame that
// AddressSanitizer lays out rounds the stack pointer down to 32 bytes, so
// that depth followed where the kernel put the stack: a random 16-byte step
// at every start, and the lengths of the environment and the paths. One
// input then had one feature more or less from one start to the next, and
// the walk forked there. Started from a page boundary, libFuzzer's frames
// (fixed in size) put every target at the same alignment, and the same input
// measures the same depth on every start, from any folder.

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerRunDriver(int *argc, char ***argv, int (*callback)(const uint8_t *data, size_t size));

// Neither sanitized nor counted: its own frame is the one to move.
__attribute__((no_sanitize("address", "undefined", "coverage"))) int main(int argc, char **argv)
{
    const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    volatile char *const pad = static_cast<char *>(__builtin_alloca(frame % 4096));
    pad[0] = 0;
    return LLVMFuzzerRunDriver(&argc, &argv, LLVMFuzzerTestOneInput);
}
