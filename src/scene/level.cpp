// Loading a level's four sections with the stage lines of the start-up log.
#include "scene/level.h"

namespace krovane::scene {

Level::Level(krovane::gfx::Device* device, krovane::log::Log& log, bool keepSources)
    : log_(log),
      cameras_(log),
      effects_(device, log, cameras_),
      lights_(log),
      objects_(&baseMatrix_, device, log, &effects_, &lights_) {
    objects_.keepSources(keepSources);
}

void Level::load(const DynamicRow& tree) {
    // kept: the trailing blanks of these headings and closing lines are in every existing log.
    log_.Print("[>>>] Loading Lights : ", MessageType::System);
    lights_.LoadLights(tree);
    log_.Print("[i] Light Manager setup completed. ", MessageType::Comment);
    log_.Print("[>>>] Loading Objects : ", MessageType::System);
    objects_.LoadObjects(tree);
    log_.Print("[>>>] Loading cameras : ", MessageType::System);
    cameras_.LoadCameras(tree);
    log_.Print("[i] Camera Manager setup completed. ", MessageType::Comment);
    log_.Print("[>>>] Loading effects : ", MessageType::System);
    effects_.LoadEffects(tree);
    log_.Print("[i] Effect Manager setup completed. ", MessageType::Comment);
}

}  // namespace krovane::scene
