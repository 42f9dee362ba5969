// Object_Super: the base of every scene object: its parameter tree, read from
// the object's own parameter file (shared, read only, by every object read
// from the same file), and the two things the object manager asks of it:
// load once, then render once per light each frame (after advancing its
// animation, where it plays one); an object with blended
// parts also renders those once per light after every other draw.
#pragma once

#include "gfx/ref.h"
#include "scene/shared_row.h"

class Object_Super {
public:
    Object_Super() : params(emptyParameters()) {}
    virtual ~Object_Super() = default;
    Object_Super(const Object_Super&) = delete;
    Object_Super& operator=(const Object_Super&) = delete;

    // Reads the object's parameters and resources; false when the object
    // cannot be used. The base has nothing to load.
    virtual bool Load() { return true; }
    // Draws the object for the light numbered `lightIndex`; `firstLight` is
    // true only in the first light's call of the frame.
    virtual void Render(unsigned lightIndex, bool firstLight) {
        (void)lightIndex;
        (void)firstLight;
    }

    // Draws what of the object is blended, for the light numbered
    // `lightIndex`, after everything else of the frame is drawn; called only
    // where `drawsBlended`. The base has nothing blended.
    virtual void renderBlended(unsigned lightIndex, bool firstLight) {
        (void)lightIndex;
        (void)firstLight;
    }

    // Moves the object's animation on by `seconds`, where it plays one (see
    // Static_CObject::play); the base has none.
    virtual void advance(double seconds) { (void)seconds; }

    // Whether the object has blended parts for renderBlended, set by Load.
    bool drawsBlended = false;
    // Never null; an empty tree until the object reads its file.
    krovane::gfx::Ref<const krovane::scene::SharedRow> params;

    // One empty tree for every object that has read nothing.
    static krovane::gfx::Ref<const krovane::scene::SharedRow> emptyParameters() {
        static const auto empty =
            krovane::gfx::Ref<const krovane::scene::SharedRow>::adopt(new krovane::scene::SharedRow);
        return empty;
    }
};
