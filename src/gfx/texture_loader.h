// loadTextureFromFile: makes a device texture from an image file, in BMP,
// PNG, JPEG or TGA form with a full chain of mipmaps made from it, or in DDS
// form (32-bit, DXT1, DXT3, DXT5) with the mipmaps the file carries. Any
// other form is refused (see formats::ImageFile). The texture notes whether
// any pixel is less than opaque (Texture::hasTransparentPixels).
//
// The path is an engine path (see PathResolver). A missing, unreadable or
// malformed file fails with a negative result and a reason; an image whose
// header declares a side over kMaxTextureSize is refused before its pixels
// are decoded, so a hostile header cannot make the loader allocate gigabytes.
#pragma once

#include <string>

#include "gfx/device.h"
#include "gfx/texture.h"

namespace krovane::gfx {

Result loadTextureFromFile(Device* device, const char* enginePath, Ref<Texture>* texture,
                           std::string* error = nullptr);

}  // namespace krovane::gfx
