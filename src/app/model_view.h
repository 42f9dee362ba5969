// ModelView: how a model shown on its own (krovane MODEL, krovane-shot MODEL)
// is looked at: an orbit (scene::OrbitControl) about the shown objects' box,
// standing on the up axis the user names, written into the level's current
// camera before each frame, with the level's first light kept where the eye
// looks from. The first view is three-quarter, framed.
//
// The main loop hands it the input of model mode (see MainLoop): a left drag
// turns, a right or middle drag pans, the wheel zooms, W/S and Up/Down dolly,
// A/D and Left/Right pan, F and Home frame the model again, Tab steps through
// the front, side, top and three-quarter views.
//
// A model that moves plays its first animation set, looping, from the first
// view on and again whenever a new level is shown (a drop, a reload): Space
// pauses and resumes it, N steps to the next set. Each start names the set
// in a System line, "Animation 2 of 4: Walk" (without a name, "Animation 2
// of 4"); Space says "Animation paused" or "Animation plays".
#pragma once

#include <cstddef>
#include <cstdint>

#include "gfx/geometry.h"
#include "platform/input_source.h"
#include "scene/orbit_control.h"

class Krovane;
namespace krovane::scene {
class Level;
}

namespace krovane::app {

class ModelView {
public:
    explicit ModelView(krovane::scene::OrbitControl::Axis up = krovane::scene::OrbitControl::Axis::PlusY)
        : orbit_(up) {}

    // The box around the visible objects' models in the world; false when none has one.
    static bool worldBounds(const Krovane& engine, krovane::gfx::Vector3& low, krovane::gfx::Vector3& high);

    // The first view, for a drawable area of `width` x `height` pixels, with
    // the model's animation playing (see playFrom).
    void start(const Krovane& engine, int width, int height);
    // Before each frame: the animation started where the level is new, the
    // objects' box as it is now (a reload may have changed it, a pose moves
    // it), then the orbit into the current camera and the light.
    void applyTo(const Krovane& engine);
    // The set (from 0) and the time a model's animation starts from, instead
    // of the first set's start (krovane-shot's still).
    void playFrom(std::size_t set, double seconds) {
        firstSet_ = set;
        firstSeconds_ = seconds;
    }
    // The sets of the model shown: 0 where it does not move.
    std::size_t animationCount(const Krovane& engine) const;

    // A key pressed while the console is hidden: Tab, F, Home, Space, N.
    void keyPressed(const Krovane& engine, std::uint8_t key);
    // The keys held this frame, for `milliseconds`.
    void keysHeld(const krovane::platform::InputSource& input, float milliseconds);
    // The cursor this frame: a drag since the last with a button held turns or pans.
    void cursorMoved(const krovane::platform::InputSource& input);
    // The cursor is elsewhere (the console has it): the next drag starts from where it is then.
    void cursorLeft() { cursorKnown_ = false; }

    krovane::scene::OrbitControl& orbit() { return orbit_; }
    const krovane::scene::OrbitControl& orbit() const { return orbit_; }

private:
    // Starts set `set` on every object whose model moves and names it in the log.
    void play(const Krovane& engine, std::size_t set, double seconds = 0);

    krovane::scene::OrbitControl orbit_;
    const krovane::scene::Level* played_ = nullptr;  // the level whose animation was started
    std::size_t firstSet_ = 0;
    double firstSeconds_ = 0;
    int lastX_ = 0, lastY_ = 0;
    bool cursorKnown_ = false;
    float lightDistance_ = -1;  // the first light's from the origin as the level placed it; -1: not read yet
};

}  // namespace krovane::app
