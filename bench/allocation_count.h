// allocationCount: how many times operator new has run in this program.
// Linking allocation_count.cpp replaces the global operator new to count;
// benchmarks read the count around a frame to show that it allocates nothing.
#pragma once

#include <cstdint>

std::uint64_t allocationCount();
