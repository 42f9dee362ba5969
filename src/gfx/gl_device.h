// The OpenGL 3.3 core backend of the device.
//
// It draws into framebuffers of its own (colour and a 24-bit depth buffer,
// multisampled when asked) sized to the window's drawable area, and Present
// copies the frame to the window, resolving the samples, without waiting for
// the vertical blank. One built-in shader program stands in for the
// fixed-function pipeline: world, view and projection transforms; with
// lighting on, a surface shows the material's emissive plus ambient times the
// ambient render state (the engine never enables a device light); texture
// stage 0 modulates the colour, filtered as the sampler states say (an
// anisotropic filter with as much anisotropy as MaxAnisotropy asks, up to the
// driver's most); fill modes, depth test and write, blending; triangles
// culled by the cull mode (see Device). Each draw sets only the GL
// state that differs from what the context holds. Depth runs from 0 to 1 as
// the engine's projection matrices expect (glClipControl, or the same mapping
// in the shader where the driver lacks it, or where KROVANE_GL_NO_CLIP_CONTROL=1). Screen-pixel vertices are placed
// with pixel centres on whole coordinates, as the engine's screen layouts
// assume. A software renderer asked for multisampling reports a note
// (platform/reporter.h) that it is slow there.
#pragma once

#include <cstdint>
#include <string>

#include "gfx/device.h"

namespace krovane::platform {
class Window;
}

namespace krovane::gfx {

// Creates the device on `window`. `multisampleType` is the number of samples
// per pixel (0 or 1: none); a number the driver cannot give fails with
// kNotAvailable. On failure `error` says why. Without `multisampleInSoftware`
// a renderer that draws in software (Mesa's llvmpipe, softpipe) draws one
// sample per pixel whatever the type: there it costs about eight times the frame.
Result createGlDevice(platform::Window& window, std::uint32_t multisampleType, Ref<Device>* device, std::string& error,
                      bool multisampleInSoftware = true);

}  // namespace krovane::gfx
