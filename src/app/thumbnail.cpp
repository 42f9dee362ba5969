#include "app/thumbnail.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/krovane.h"
#include "formats/x_model.h"
#include "scene/krovane_camera.h"
#include "scene/static_c_object.h"

using krovane::gfx::Vector3;

namespace krovane::app {

std::uint32_t Thumbnail::drawnWidth(std::uint32_t side) {
    return static_cast<std::uint32_t>(std::lround(side * static_cast<double>(Krovane_Camera::kAspect)));
}

bool Thumbnail::frame(Krovane& engine, std::uint32_t width, std::uint32_t height, float fill) {
    Krovane_Object_Manager* objects = engine.objectManager();
    Krovane_Camera_Manager* cameras = engine.cameraManager();
    Krovane_Camera* camera = cameras != nullptr ? cameras->camera(cameras->CurrentNumber()) : nullptr;
    if (objects == nullptr || camera == nullptr || width == 0 || height == 0) return false;

    // The camera's axes, as its view matrix makes them.
    const Vector3 ahead = krovane::gfx::normalize(camera->look - camera->position);
    const Vector3 side = krovane::gfx::normalize(krovane::gfx::cross(camera->up, ahead));
    const Vector3 up = krovane::gfx::cross(ahead, side);
    // A vertex at (x, y, z) from the eye is in the square while |x| <= z tx and |y| <= z ty.
    const double half = std::tan(Krovane_Camera::kFieldOfView / 2.0);
    const double tx = half * Krovane_Camera::kAspect * height / width * fill, ty = half * fill;
    // The lowest of z - x / tx, z + x / tx, z - y / ty, z + y / ty and z over every vertex.
    double least[5];
    std::fill(std::begin(least), std::end(least), std::numeric_limits<double>::infinity());
    objects->entries().forEach([&](std::uint32_t, const Krovane_Object_Manager::ObjectEntry& entry) {
        const auto* object = dynamic_cast<const Static_CObject*>(entry.object.get());
        if (!entry.visible || object == nullptr) return;
        // As drawn: posed where the object plays an animation.
        for (const formats::XVertex& v : object->drawnVertices()) {
            const Vector3 p =
                krovane::gfx::transformCoord({v.position[0], v.position[1], v.position[2]}, object->world) -
                camera->position;
            const double x = krovane::gfx::dot(p, side), y = krovane::gfx::dot(p, up), z = krovane::gfx::dot(p, ahead);
            const double bounds[5] = {z - x / tx, z + x / tx, z - y / ty, z + y / ty, z};
            for (int k = 0; k < 5; ++k) least[k] = std::min(least[k], bounds[k]);
        }
    });
    if (!std::isfinite(least[0] + least[1] + least[2] + least[3] + least[4])) return false;
    // Centred on each axis, then back (or forward) until the tighter axis just holds every vertex,
    // and never so close that a vertex is nearer than the near plane.
    const double x = tx * (least[1] - least[0]) / 2, y = ty * (least[3] - least[2]) / 2;
    const double z =
        std::min({(least[0] + least[1]) / 2, (least[2] + least[3]) / 2, least[4] - 2.0 * Krovane_Camera::kNear});
    const Vector3 move = side * static_cast<float>(x) + up * static_cast<float>(y) + ahead * static_cast<float>(z);
    camera->position = camera->position + move;
    camera->look = camera->look + move;
    return true;
}

std::vector<std::uint32_t> Thumbnail::cutOut(const std::vector<std::uint32_t>& overBlack,
                                             const std::vector<std::uint32_t>& overWhite, std::uint32_t width,
                                             std::uint32_t height) {
    const std::size_t count = std::size_t{width} * height;
    if (height > width || overBlack.size() != count || overWhite.size() != count) return {};
    std::vector<std::uint32_t> square;
    square.reserve(std::size_t{height} * height);
    const std::uint32_t left = (width - height) / 2;
    for (std::uint32_t row = 0; row < height; ++row)
        for (std::uint32_t column = left; column < left + height; ++column) {
            const std::uint32_t black = overBlack[std::size_t{row} * width + column];
            const std::uint32_t white = overWhite[std::size_t{row} * width + column];
            // What shows of the background: how far each channel moved between the two drawings.
            int shown = 0;
            for (int shift = 0; shift <= 16; shift += 8)
                shown += static_cast<int>((white >> shift) & 0xFF) - static_cast<int>((black >> shift) & 0xFF);
            const int alpha = std::clamp(255 - (shown + 1) / 3, 0, 255);
            std::uint32_t pixel = static_cast<std::uint32_t>(alpha) << 24;
            // Over black, the colour drawn times its cover.
            for (int shift = 0; alpha > 0 && shift <= 16; shift += 8)
                pixel |=
                    static_cast<std::uint32_t>(std::min(255, static_cast<int>((black >> shift) & 0xFF) * 255 / alpha))
                    << shift;
            square.push_back(pixel);
        }
    return square;
}

}  // namespace krovane::app
