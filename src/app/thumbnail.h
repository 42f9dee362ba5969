// Thumbnail: the picture krovane-shot --thumbnail draws for file managers: a
// square of the level's objects alone, framed tightly by the current camera,
// on a transparent background.
//
// The cameras' projection is 4:3 whatever the picture, so the frame is drawn
// 4:3 (drawnWidth) and the square cut from its middle, undistorted. The
// camera keeps its direction and moves along its own axes until every vertex
// of every visible object lies in that square, the widest of them at `fill`
// of its width or height (frame). The frame is drawn twice, over black and
// over white: a pixel the same in both is wholly drawn, one that follows the
// background is not, and one between is partly covered (an edge smoothed by
// multisampling, a translucent material); cutOut takes alpha and colour from
// the two, whatever the effects write to the frame's own alpha.
#pragma once

#include <cstdint>
#include <vector>

class Krovane;

namespace krovane::app {

class Thumbnail {
public:
    // The back colours of the two drawings, for Krovane_Render_Manager::setBackColor.
    static constexpr std::uint32_t kOverBlack = 0xFF000000u;
    static constexpr std::uint32_t kOverWhite = 0xFFFFFFFFu;

    // The width to draw a square thumbnail of `side` pixels from.
    static std::uint32_t drawnWidth(std::uint32_t side);

    // Moves the current camera, as said above, for a frame `width` x `height`
    // whose middle `height` columns are kept. False (the camera as it was)
    // when no visible object has a model whose vertices can be read.
    static bool frame(Krovane& engine, std::uint32_t width, std::uint32_t height, float fill);

    // The middle `height` x `height` square of two drawings of one frame
    // (0xAARRGGBB, top row first), over black and over white, with the alpha
    // they tell apart (0 where only the background shows) and the colour
    // drawn; empty when they are not both width x height.
    static std::vector<std::uint32_t> cutOut(const std::vector<std::uint32_t>& overBlack,
                                             const std::vector<std::uint32_t>& overWhite, std::uint32_t width,
                                             std::uint32_t height);
};

}  // namespace krovane::app
