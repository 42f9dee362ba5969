// Static_CObject: a static model of the level (a .x mesh with its materials
// and textures) placed by a position and a rotation, drawn through the
// shader effects its parameter file names, once per light.
//
// The parameter file is a tree file holding two keys:
//   _MODEL_FILE_ { models\column.x }     the model
//   _FX_ { vek_Phong }                   the effects it is drawn with, by name
// Scale, position and rotation come from whoever creates the object, before Load.
//
// Messages (Error lines): "[!] Object File is corrupted and parameters are
// not loaded!" when the parameter file is missing, unreadable or does not
// parse (Load is false; an empty file is an object without model; whoever
// made the object says why, see whyNotRead), "[M.F] cannot find: MODEL"
// followed by the reason ("models\box.x:8:12: face 0: index 99999 out of
// range (3)"), and "[T.F] cannot find: TEXTURE" (Load goes on). The first
// object to load a model says each skin or animation set the model left out,
// one Error line each ("models\man.x:40:9: bone 2: vertex 30 out of range
// (24) (skin of mesh "Cube" left out)").
//
// An object whose model has animation sets stands in its bind pose until it
// is told to play one; then it draws its own posed copy of the vertices, and
// is culled by the posed box.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "gfx/device_types.h"
#include "gfx/geometry.h"
#include "gfx/ref.h"
#include "log/log.h"
#include "params/korvane_string.h"
#include "params/tree_load_error.h"
#include "scene/krovane_effect_manager.h"
#include "scene/object_super.h"

namespace krovane::formats {
struct XVertex;
}
namespace krovane::gfx {
class Device;
class Mesh;
class Texture;
}  // namespace krovane::gfx

class Krovane_Light_Manager;
namespace krovane::scene {
class ObjectTemplate;
class ResourceCache;
}  // namespace krovane::scene

class Static_CObject : public Object_Super {
public:
    // Reads `parameterFile` into `params` (a missing file is found out by
    // Load); the world matrix starts as `*baseWorld`. Prints nothing. With a
    // `cache`, the parameter file, the model and the textures are taken from
    // it, and what they make (see ObjectTemplate) is shared with the other
    // objects that name the same file.
    Static_CObject(const krovane::gfx::Matrix* baseWorld, const char* parameterFile, krovane::gfx::Device* device,
                   Krovane_Effect_Manager* effectManager, Krovane_Light_Manager* lightManager,
                   krovane::log::Log& console, krovane::scene::ResourceCache* cache = nullptr);
    ~Static_CObject() override;

    // Loads the model, its materials (ambient taken from diffuse) and
    // textures, counts the effects and computes the world matrix
    // S * T * Rx * Ry * Rz from `scale`, `position` and `rotation` (degrees). A texture
    // is looked for as the model names it, then under "textures\", then by its
    // file name beside the model, then the default picture
    // "textures\_def\def.bmp"; only when all fail is it reported.
    bool Load() override;
    // Draws the object for one light: through each effect it names (technique
    // "vek_Phong" for the first light, "vek_Phong_alpha" for the others), or
    // with the fixed-function pipeline where it names none or a missing one.
    // Where its model's box, placed by the world matrix, lies wholly outside
    // the view volume of the view and projection a draw would use (the
    // current camera's through an effect, the device's transforms
    // fixed-function), that draw and its effect's settings are left out,
    // unless the effect's technique declares "BoundsCulling = false". The
    // effects are found by name once, and again only when the effect
    // manager's list changes; drawing copies no names.
    //
    // Through an effect that draws alpha (see EffectBindings), each subset's
    // draw is preceded by its "AlphaCutoff" (a mask's cutoff, else 0), and
    // blended subsets are left for renderBlended.
    void Render(unsigned lightIndex, bool firstLight) override;
    // Draws the blended subsets through each effect that draws alpha, with
    // "vek_Phong_blend" for the first light and "vek_Phong_alpha_blend" for
    // the others, culled as Render's draws are.
    void renderBlended(unsigned lightIndex, bool firstLight) override;

    // The name of the k-th effect under "_FX_" (k from 1); empty past the last.
    Korvane_string GetEffectName(unsigned k) const;
    // Whether any of the model's box may be seen through `view` and
    // `projection`; true without a model.
    bool inView(const krovane::gfx::Matrix& view, const krovane::gfx::Matrix& projection) const;
    // The model's vertices as drawn now (posed where it plays), in model space; none without a model.
    std::span<const krovane::formats::XVertex> drawnVertices() const;
    // The box around the model as drawn now (posed where it plays), in model space; false without a model.
    bool bounds(krovane::gfx::Vector3& low, krovane::gfx::Vector3& high) const;

    // Plays animation set `set` (from 0) of the model from its start and
    // poses it there. Closed sets loop and open ones hold their last pose,
    // unless `loop` makes every set loop. False, and the object as it was,
    // without such a set or a device.
    bool play(std::size_t set, bool loop = false);
    // Moves the animation played on by `seconds` and poses it; nothing where none plays.
    void advance(double seconds) override;
    // The set played, or kStill.
    static constexpr std::size_t kStill = static_cast<std::size_t>(-1);
    std::size_t playing() const;
    // Seconds into the set played (within its length where it loops).
    double playedTime() const;

    krovane::gfx::Matrix world;
    float position[3] = {0.0f, 0.0f, 0.0f};
    float rotation[3] = {0.0f, 0.0f, 0.0f};  // degrees about x, y and z
    float scale[3] = {1.0f, 1.0f, 1.0f};     // along the model's own x, y and z, before it is placed

    krovane::gfx::Mesh* mesh() const;
    std::uint32_t materialCount() const;
    const krovane::gfx::Material& material(std::uint32_t i) const;
    krovane::gfx::Texture* texture(std::uint32_t i) const;
    std::uint32_t effectCount() const;
    // What this object shares with the others of its file; null until loaded with content.
    const krovane::scene::ObjectTemplate* shared() const { return template_.get(); }

    // The key of "_MODEL_FILE_" in a parameter tree when it names a model, else 0.
    static unsigned modelKey(const DynamicRow& params);
    // Why a parameter file was not read: "no such file", "cannot be read" or
    // "malformed at line L, column C: why".
    static Korvane_string whyNotRead(const krovane::params::TreeLoadError& error);

private:
    // Which subsets a draw takes: every one, all but the blended, the blended alone.
    enum class Subsets : std::uint8_t { All, Unblended, Blended };
    // Draws the subsets `which` picks; with `alphaEffect`, each after setting
    // its cutoff on it through `cutoff`.
    void drawSubsets(krovane::gfx::Device* device, Subsets which, krovane::gfx::Effect* alphaEffect = nullptr,
                     const krovane::gfx::EffectHandle* cutoff = nullptr) const;
    // One draw through an effect entry's effect with `technique`.
    void drawThrough(const Krovane_Effect_Manager::EffectEntry& entry, unsigned lightIndex,
                     krovane::gfx::EffectHandle technique, Subsets which);
    // Whether the model's box may be seen through `worldViewProjection`.
    bool boxInView(const krovane::gfx::Matrix& worldViewProjection) const;
    // The texture a model names, or the stand-in "textures\_def\def.bmp"
    // (then `standIn` is set); empty when neither loads.
    krovane::gfx::Ref<krovane::gfx::Texture> loadTexture(const std::string& name, const Korvane_string& modelPath,
                                                         bool& standIn) const;

    // Borrowed. The device null: nothing is loaded or drawn.
    krovane::gfx::Device* device_;
    krovane::scene::ResourceCache* cache_;
    krovane::log::Log& console_;
    Krovane_Effect_Manager* effectManager_;
    Krovane_Light_Manager* lightManager_;
    krovane::gfx::Ref<krovane::scene::ObjectTemplate> template_;
    struct Playing;                     // the pose of an object whose animation plays
    std::unique_ptr<Playing> playing_;  // null while it stands still
    bool parametersRead_ = false;  // the parameter file was read and parsed, even if empty
};
