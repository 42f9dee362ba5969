// Level: what one level file makes, the cameras, lights, effects and objects,
// owned together so that a level is loaded, drawn, reloaded and taken down as
// one thing.
//
// A Level starts empty; load() fills it from the level file's tree in four
// stages, each framed by its log lines as every start-up log shows:
//   "[>>>] Loading Lights : "   ...  "[i] Light Manager setup completed. "
//   "[>>>] Loading Objects : "  ...  (the object manager's own summary)
//   "[>>>] Loading cameras : "  ...  "[i] Camera Manager setup completed. "
//   "[>>>] Loading effects : "  ...  "[i] Effect Manager setup completed. "
// The objects load before the effects they name: they find them by name
// only when drawn. Start-up, a reload (a new Level swapped in only once the
// file has been read) and the tests all load a level this way.
//
// The device and the log are borrowed and outlive the level. The objects go
// first when it is destroyed: they hold the effects and lights.
#pragma once

#include "gfx/geometry.h"
#include "log/log.h"
#include "params/dynamic_row.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"

namespace krovane::gfx {
class Device;
}

namespace krovane::scene {

class Level {
public:
    // `device` may be null: objects then load and draw nothing. With
    // `keepSources`, the objects remember which files they were made from,
    // for reloading them (see Krovane_Object_Manager::keepSources).
    Level(krovane::gfx::Device* device, krovane::log::Log& log, bool keepSources = false);
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    // Loads the four sections of `tree` (the level file as read) into this empty level.
    void load(const DynamicRow& tree);

    Krovane_Camera_Manager& cameras() { return cameras_; }
    Krovane_Light_Manager& lights() { return lights_; }
    Krovane_Effect_Manager& effects() { return effects_; }
    Krovane_Object_Manager& objects() { return objects_; }
    const Krovane_Camera_Manager& cameras() const { return cameras_; }
    const Krovane_Light_Manager& lights() const { return lights_; }
    const Krovane_Effect_Manager& effects() const { return effects_; }
    const Krovane_Object_Manager& objects() const { return objects_; }

private:
    krovane::log::Log& log_;
    krovane::gfx::Matrix baseMatrix_ = krovane::gfx::kIdentityMatrix;  // where every object starts from
    // Destroyed in reverse: objects, lights, effects, cameras.
    Krovane_Camera_Manager cameras_;
    Krovane_Effect_Manager effects_;
    Krovane_Light_Manager lights_;
    Krovane_Object_Manager objects_;
};

}  // namespace krovane::scene
