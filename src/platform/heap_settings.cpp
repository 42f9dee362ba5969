#include "platform/heap_settings.h"

#include <climits>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace krovane::platform {

void keepFreedHeapMemory(std::size_t bytes) {
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes));
#else
    (void)bytes;
#endif
}

}  // namespace krovane::platform
