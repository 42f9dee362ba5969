// TextureHolder: a small heap object holding one texture handle. It is
// created empty and shared by reference, so that every user holding it sees
// the one slot and whatever texture is put there later; the texture goes
// with the holder.
#pragma once

#include "gfx/ref.h"
#include "gfx/texture.h"

struct TextureHolder {
    krovane::gfx::Ref<krovane::gfx::Texture> texture;
};
