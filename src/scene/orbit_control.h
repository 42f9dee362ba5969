// OrbitControl: the camera of a model viewer. The eye circles a target point
// at a distance, turned by yaw and pitch about one of the world's axes, the
// one the model stands on (+Y unless said otherwise); the view always looks
// at the target with that axis up.
//
// It knows the box of what is shown (setBounds): frame() brings the target to
// the box's centre and the eye, in the direction it looks from, just far
// enough that every corner of the box is in view with a margin; the depth
// planes follow the eye so that nothing of the box is ever cut, however far
// the eye goes. The preset views (front, side, top, three-quarter) are framed.
//
// apply writes the eye, the target, the up axis and the projection (the
// viewport's aspect, those planes) into a Krovane_Camera, so that whatever
// draws through a camera works unchanged.
//
// With +Y up, the front view looks from -Z (as the cameras of a level made
// for a model do) and the side view from +X, the viewer's right. Another up
// axis turns that whole frame so that it stands on that axis: the front view
// looks from -Y where Z is up, from -Z otherwise.
#pragma once

#include <optional>
#include <string_view>

#include "gfx/geometry.h"

class Krovane_Camera;

namespace krovane::scene {

class OrbitControl {
public:
    enum class Axis { PlusX, MinusX, PlusY, MinusY, PlusZ, MinusZ };
    // In the order Tab steps through them.
    enum class View { Front, Side, Top, ThreeQuarter };

    static constexpr float kDegreesPerPixel = 1.0f / 3.0f;  // turning, as mouse look does
    static constexpr float kMaxPitch = 89.0f;               // degrees; the top view looks from there
    static constexpr float kZoomStep = 0.8f;                // the distance kept by one wheel step in
    static constexpr float kMargin = 1.15f;                 // room around a framed box: it fills 1 / kMargin

    // "+Y", "-z", "X"...: an axis, its sign optional; none for anything else.
    static std::optional<Axis> parseAxis(std::string_view text);

    explicit OrbitControl(Axis up = Axis::PlusY);

    Axis upAxis() const { return up_; }
    krovane::gfx::Vector3 upVector() const { return u_; }

    // The drawable area in pixels: the projection's aspect, and how far a drag pans.
    void setViewport(int width, int height);
    float aspect() const { return aspect_; }

    // The box of what is shown, in the world. False (nothing changes) when it
    // is empty or not finite.
    bool setBounds(const krovane::gfx::Vector3& low, const krovane::gfx::Vector3& high);
    // Target at the box's centre, the eye as close as lets all of it show with a margin, in the same direction.
    void frame();
    // The preset's direction, framed; nextView steps to the one after the last shown (Tab).
    void showView(View view);
    void nextView();
    View lastView() const { return view_; }

    // A drag of (dx, dy) pixels (right, down) with the turning button: the
    // side of the model nearest the eye follows the cursor.
    void turn(int dx, int dy);
    // A drag with the panning button: the target moves in the view plane so
    // that the point under the cursor at the target's depth follows it.
    void pan(int dx, int dy);
    // Wheel steps (positive: towards the target), each keeping kZoomStep of
    // the distance, so the eye never reaches or passes the target.
    void zoom(float steps);
    // Keys held for `milliseconds`: forward (1) or back (-1) halves or doubles
    // the distance each second; sideways moves the target right (1) or left
    // (-1) by half the distance each second.
    void move(float forward, float sideways, float milliseconds);

    krovane::gfx::Vector3 target() const { return target_; }
    krovane::gfx::Vector3 eye() const;
    float distance() const { return distance_; }
    float yaw() const { return yaw_; }      // degrees
    float pitch() const { return pitch_; }  // degrees
    // The depth planes: everything within 1.5 times the box's radius of its
    // centre lies between them.
    float nearPlane() const;
    float farPlane() const;

    // The eye, the target, the up axis, the aspect and the planes, into `camera`.
    void apply(Krovane_Camera& camera) const;

private:
    krovane::gfx::Vector3 direction() const;  // from the target to the eye, unit
    void limit();                             // the distance within its bounds

    Axis up_;
    krovane::gfx::Vector3 u_, front_, side_;  // the up axis, and where the front and side views look from
    krovane::gfx::Vector3 target_{0, 0, 0};
    krovane::gfx::Vector3 centre_{0, 0, 0}, half_{0, 0, 0};  // the box's centre and half its sides
    float radius_ = 1.0f;                                    // the sphere around it
    float distance_ = 1.0f;
    float yaw_ = 0.0f, pitch_ = 0.0f;
    float aspect_ = 4.0f / 3.0f;
    int viewportHeight_ = 480;
    View view_ = View::Front;
};

}  // namespace krovane::scene
