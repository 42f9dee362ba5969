// makeMipChain: the smaller levels of a texture, made on the CPU.
//
// Each level is the one before halved (sides rounded down, at least 1) and
// filtered the way a linear blit does it: every texel samples the level above
// bilinearly at its own centre, which for even sides is the mean of 2 x 2
// texels. Asking the OpenGL driver for mipmaps instead makes a software
// rasterizer compile a blit shader on first use, which takes longer than a
// whole frame.
#pragma once

#include <cstdint>
#include <vector>

namespace krovane::gfx {

// Level 0 (`width` x `height` words 0xAARRGGBB) followed by every smaller
// level down to 1 x 1; `levels` is set to how many there are.
std::vector<std::uint32_t> makeMipChain(std::uint32_t width, std::uint32_t height, const std::uint32_t* pixels,
                                        std::uint32_t& levels);

}  // namespace krovane::gfx
