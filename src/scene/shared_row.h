// SharedRow: a parameter tree read from one file and shared, read only, by
// every object read from that file; it goes with its last holder.
#pragma once

#include "gfx/ref_counted.h"
#include "params/dynamic_row.h"

namespace krovane::scene {

class SharedRow final : public DynamicRow, public krovane::gfx::RefCounted {};

}  // namespace krovane::scene
