// Krovane_Render_Manager: the resources every frame uses (the default
// textures, three fonts, the default effect) and the frame itself: the scene
// light by light, the head-up text, and while the console is open the
// wireframe view with the camera and light markers.
//
// Init reports each resource it cannot make as an Error line ("missed: PATH",
// "failed: CreateFont NAME", "missed:  fx\vek_Phong.fx") and ends with the
// Comment "Rendering manager inicialized with N errors."; drawing goes on
// with whatever is missing left null.
#pragma once

#include <cstdint>

#include "gfx/effect.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "params/korvane_string.h"

class Krovane_Console;
namespace krovane::scene {
class Level;
}

class Krovane_Render_Manager {
public:
    // Pixel height of a font of `points` on a screen of `dpi` dots per inch,
    // rounded to the nearest pixel (8 points at 96 dpi is 11 pixels).
    static int pointsToPixels(int points, int dpi);

    // Everything is borrowed: `device` is the engine's device (null: nothing
    // is made or drawn), which outlives the manager; `dpi` sizes the Verdana
    // fonts. The level drawn is set with setLevel.
    Krovane_Render_Manager(krovane::gfx::Device* device, Krovane_Console* console, int dpi = 96);
    virtual ~Krovane_Render_Manager();
    Krovane_Render_Manager(const Krovane_Render_Manager&) = delete;
    Krovane_Render_Manager& operator=(const Krovane_Render_Manager&) = delete;

    // Loads the four default textures, the three fonts and "fx\vek_Phong.fx",
    // counting and reporting every failure, then prints the summary.
    void Init();
    // Draws and presents one frame; `fps` is shown truncated to an integer.
    void RenderFrame(float fps);
    // One line of head-up text in Font8Verdana, white, its top left at (x, y), unclipped.
    // Virtual so that tests can read the lines a frame shows.
    virtual void DrawHudText(const Korvane_string& text, int x, int y);

    // The level drawn from now on (null: none; a level loaded again is a new one).
    void setLevel(krovane::scene::Level* level) { level_ = level; }
    // The clear colour of every frame (0xAARRGGBB); the engine's, set after Init.
    void setBackColor(std::uint32_t color) { backColor_ = color; }
    // false: frames show the scene alone, as with the console closed, without
    // the head-up text or the console (pictures such as thumbnails). On by default.
    void setOverlayShown(bool shown) { overlayShown_ = shown; }
    // What Init made (null where it failed), for tests.
    const krovane::gfx::Texture* whiteTexture() const { return whiteTexture_.get(); }
    const krovane::gfx::Texture* redTexture() const { return redTexture_.get(); }
    const krovane::gfx::Font* kartikaFont() const { return Font6Kartika_.get(); }

private:
    krovane::gfx::Device* device_;
    Krovane_Console* console_;
    krovane::scene::Level* level_ = nullptr;
    std::uint32_t backColor_ = 0xFF6482AA;
    bool overlayShown_ = true;
    krovane::gfx::Ref<krovane::gfx::Font> Font8Verdana_, Font16Verdana_, Font6Kartika_;
    krovane::gfx::Ref<krovane::gfx::Texture> redTexture_, whiteTexture_, blueTexture_, yellowTexture_;
    krovane::gfx::Ref<krovane::gfx::Effect> effect_;
    Korvane_string hudText_;
    int dpi_;
};
