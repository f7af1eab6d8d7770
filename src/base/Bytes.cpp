#include "base/Bytes.h"

#include <string.h>
#include <sys/mman.h>

void ReserveLarge(Bytes& out, size_t length) {
    out.reserve(length);
    constexpr size_t kHuge = size_t{2} << 20;
    if (length < 2 * kHuge) {
        return;
    }
    const auto start = reinterpret_cast<uintptr_t>(out.data());
    const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t last = (start + length) & ~(kHuge - 1);
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

void SecureWipe(void* data, size_t length) {
    if (data != nullptr && length > 0) {
        ::explicit_bzero(data, length);
    }
}
