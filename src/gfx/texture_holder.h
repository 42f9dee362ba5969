// TextureHolder: a small heap object holding one texture pointer. It is
// created empty and shared by reference, so that every user holding it sees
// the one slot and whatever texture is put there later.
#pragma once

namespace krovane::gfx {
class Texture;
}

struct TextureHolder {
    krovane::gfx::Texture* texture = nullptr;
};
