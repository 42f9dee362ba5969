// HeapSettings: how the process's heap hands freed memory back to the system.
#pragma once

#include <cstddef>

namespace krovane::platform {

// Keeps up to `bytes` of freed memory at the top of the heap for reuse
// instead of handing it back at once. A graphics driver that draws in
// software takes its working memory for a frame and frees it when the frame
// is drawn; handed back each time, every frame would fault in fresh pages.
// Does nothing where the C library offers no such setting.
void keepFreedHeapMemory(std::size_t bytes);

}  // namespace krovane::platform
