// Krovane_Light_Manager: owns the lights of the level, read from the level
// file's "_LIGHTS_" section, in a list numbered from 1 in order of adding,
// and draws their markers while the console is open.
#pragma once

#include <cstdint>

#include "log/log.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"
#include "scene/krovane_light.h"
#include "scene/numbered_list.h"

namespace krovane::gfx {
class Device;
class Effect;
class Texture;
}  // namespace krovane::gfx
namespace krovane::scene {
struct EffectBindings;
}

class Krovane_Light_Manager {
public:
    explicit Krovane_Light_Manager(krovane::log::Log& console);
    virtual ~Krovane_Light_Manager();
    Krovane_Light_Manager(const Krovane_Light_Manager&) = delete;
    Krovane_Light_Manager& operator=(const Krovane_Light_Manager&) = delete;

    // Adds every light listed under the first "_LIGHTS_" node of the tree, in
    // order, then prints the summary line.
    void LoadLights(const DynamicRow& tree);
    // Draws every light's marker in list order with the two textures (see DrawMarker).
    void DrawLights(krovane::gfx::Device* device, krovane::gfx::Texture* first, krovane::gfx::Texture* second) const;

    // Sets the seven light parameters of the light numbered `lightIndex` (the
    // last light when no light has it) on `effect`, through its parameters
    // found before (see EffectBindings): "LightPos", "LightColor",
    // "LightFalloff", "LightSpecular", "LightSpecular_Itens", "LightAmbient"
    // and "Attenuation", in that order. Nothing without lights or an effect.
    void SetLightParameters(krovane::gfx::Effect* effect, const krovane::scene::EffectBindings& bindings,
                            unsigned lightIndex) const;

    std::uint32_t lightCount() const { return entries_.count(); }
    // The light numbered `number`, or null when no light has that number.
    const Krovane_Light* light(int number) const { return entries_.find(number); }
    Krovane_Light* light(int number) { return entries_.find(number); }
    const krovane::scene::NumberedList<Krovane_Light>& entries() const { return entries_; }

private:
    // Adds the light `name` and prints its line; its keys are read below
    // `listedNode` when that node holds any, else below the node the name has
    // in the whole tree (defaults when it has none).
    void addLight(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode);

    krovane::scene::NumberedList<Krovane_Light> entries_;
    krovane::log::Log& console_;
};
