#include "scene/orbit_control.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "scene/krovane_camera.h"

using krovane::gfx::Vector3;

namespace krovane::scene {

namespace {

constexpr float kDegree = 0.017453292f;
constexpr float kMaxMilliseconds = 250.0f;  // a stalled frame moves no further than this

// In double, so that no square of a large box overflows.
float length(Vector3 v) {
    const double x = v.x, y = v.y, z = v.z;
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}
bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

std::optional<OrbitControl::Axis> OrbitControl::parseAxis(std::string_view text) {
    bool minus = false;
    if (text.size() == 2 && (text[0] == '+' || text[0] == '-')) {
        minus = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.size() != 1) return std::nullopt;
    switch (std::toupper(static_cast<unsigned char>(text[0]))) {
        case 'X':
            return minus ? Axis::MinusX : Axis::PlusX;
        case 'Y':
            return minus ? Axis::MinusY : Axis::PlusY;
        case 'Z':
            return minus ? Axis::MinusZ : Axis::PlusZ;
        default:
            return std::nullopt;
    }
}

OrbitControl::OrbitControl(Axis up) : up_(up) {
    static constexpr Vector3 kAxes[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    u_ = kAxes[static_cast<int>(up)];
    // The front view looks from -Z, or from -Y when Z is up; the side view
    // from the viewer's right, as the left-handed view matrix makes it.
    front_ = u_.z != 0 ? Vector3{0, -1, 0} : Vector3{0, 0, -1};
    side_ = krovane::gfx::cross(front_, u_);
}

void OrbitControl::setViewport(int width, int height) {
    viewportHeight_ = std::max(height, 1);
    aspect_ = static_cast<float>(std::max(width, 1)) / static_cast<float>(viewportHeight_);
}

bool OrbitControl::setBounds(const Vector3& low, const Vector3& high) {
    if (!finite(low) || !finite(high) || low.x > high.x || low.y > high.y || low.z > high.z) return false;
    centre_ = (low + high) * 0.5f;
    half_ = (high - low) * 0.5f;
    const float radius = length(high - low) * 0.5f;
    // A point, or a box too small for the view's arithmetic: a unit sphere around it.
    radius_ = radius > 1e-12f && std::isfinite(radius) ? radius : 1.0f;
    limit();
    return true;
}

void OrbitControl::frame() {
    target_ = centre_;
    // Every corner of the box within 1 / kMargin of the view's half width and half height.
    const float tanV = std::tan(Krovane_Camera::kFieldOfView * 0.5f) / kMargin, tanH = tanV * aspect_;
    const Vector3 ahead = direction() * -1.0f;
    const Vector3 right = krovane::gfx::normalize(krovane::gfx::cross(u_, ahead));
    const Vector3 up = krovane::gfx::cross(ahead, right);
    float distance = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 p{corner & 1 ? half_.x : -half_.x, corner & 2 ? half_.y : -half_.y,
                        corner & 4 ? half_.z : -half_.z};
        const float x = std::fabs(krovane::gfx::dot(p, right)), y = std::fabs(krovane::gfx::dot(p, up));
        distance = std::max(distance, std::max(x / tanH, y / tanV) - krovane::gfx::dot(p, ahead));
    }
    distance_ = distance > 0 ? distance : radius_;
    limit();
}

void OrbitControl::showView(View view) {
    static constexpr struct { float yaw, pitch; } kViews[] = {{0, 0}, {90, 0}, {0, kMaxPitch}, {35, 25}};
    view_ = view;
    yaw_ = kViews[static_cast<int>(view)].yaw;
    pitch_ = kViews[static_cast<int>(view)].pitch;
    frame();
}

void OrbitControl::nextView() { showView(static_cast<View>((static_cast<int>(view_) + 1) % 4)); }

void OrbitControl::turn(int dx, int dy) {
    yaw_ = std::remainder(yaw_ - static_cast<float>(dx) * kDegreesPerPixel, 360.0f);
    pitch_ = std::clamp(pitch_ + static_cast<float>(dy) * kDegreesPerPixel, -kMaxPitch, kMaxPitch);
}

void OrbitControl::pan(int dx, int dy) {
    const float perPixel =
        2.0f * distance_ * std::tan(Krovane_Camera::kFieldOfView * 0.5f) / static_cast<float>(viewportHeight_);
    const Vector3 ahead = direction() * -1.0f;
    const Vector3 right = krovane::gfx::normalize(krovane::gfx::cross(u_, ahead));
    const Vector3 up = krovane::gfx::cross(ahead, right);
    target_ = target_ - right * (static_cast<float>(dx) * perPixel) + up * (static_cast<float>(dy) * perPixel);
}

void OrbitControl::zoom(float steps) {
    distance_ *= std::pow(kZoomStep, steps);
    limit();
}

void OrbitControl::move(float forward, float sideways, float milliseconds) {
    const float seconds = std::clamp(milliseconds, 0.0f, kMaxMilliseconds) / 1000.0f;
    if (sideways != 0) {
        const Vector3 right = krovane::gfx::normalize(krovane::gfx::cross(u_, direction() * -1.0f));
        target_ = target_ + right * (sideways * 0.5f * distance_ * seconds);
    }
    distance_ *= std::exp2(-forward * seconds);
    limit();
}

Vector3 OrbitControl::direction() const {
    const float y = yaw_ * kDegree, p = pitch_ * kDegree;
    return (front_ * std::cos(y) + side_ * std::sin(y)) * std::cos(p) + u_ * std::sin(p);
}

Vector3 OrbitControl::eye() const { return target_ + direction() * distance_; }

void OrbitControl::limit() { distance_ = std::clamp(distance_, radius_ / 100.0f, radius_ * 100.0f); }

float OrbitControl::nearPlane() const {
    const float away = length(eye() - centre_);
    return std::max(away - radius_ * 1.5f, distance_ / 1000.0f);
}

float OrbitControl::farPlane() const { return length(eye() - centre_) + radius_ * 1.5f; }

void OrbitControl::apply(Krovane_Camera& camera) const {
    camera.position = eye();
    camera.look = target_;
    camera.up = u_;
    camera.aspect = aspect_;
    camera.nearPlane = nearPlane();
    camera.farPlane = farPlane();
}

}  // namespace krovane::scene
