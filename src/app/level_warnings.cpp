#include "app/level_warnings.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "app/krovane.h"
#include "gfx/mesh.h"
#include "platform/code_page_1251.h"
#include "scene/krovane_camera.h"
#include "scene/level_section.h"
#include "scene/object_template.h"
#include "scene/static_c_object.h"

using krovane::cp1251ToUtf8;
using namespace krovane::gfx;
using namespace krovane::scene;

namespace krovane::app {

namespace {

void addOnce(std::vector<std::string>& lines, std::string line) {
    if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(std::move(line));
}

// The sphere about the object's box placed by its world matrix; false when
// its centre or radius is not a finite number (a scale or position so large
// that the box cannot be worked with, so it is never drawn).
bool worldSphere(const Static_CObject& object, Vector3& centre, float& radius) {
    const Vector3& lo = object.mesh()->boundsMin();
    const Vector3& hi = object.mesh()->boundsMax();
    centre = transformCoord((lo + hi) * 0.5f, object.world);
    radius = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 p{corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z};
        const Vector3 offset = transformCoord(p, object.world) - centre;
        radius = std::max(radius, std::sqrt(dot(offset, offset)));
    }
    return std::isfinite(radius) && std::isfinite(dot(centre, centre));
}

// Whether the whole of that sphere is farther from the camera's eye than its
// far plane: whichever way the camera turns, the object is not shown.
bool outOfReach(const Vector3& centre, float radius, const Krovane_Camera& camera) {
    const Vector3 away = centre - camera.position;
    return std::sqrt(dot(away, away)) - radius > Krovane_Camera::kFar;
}

// Each texture with transparent pixels that the object draws through the
// shipped vek_Phong.fx, which shows every texture opaque.
void opaqueDrawn(const Static_CObject& object, const Krovane_Effect_Manager& effects, std::vector<std::string>& lines) {
    if (object.shared()->transparentTextures().empty()) return;
    for (unsigned k = 1; k <= object.effectCount(); ++k) {
        const Krovane_Effect_Manager::EffectEntry* e = effects.findEntry(object.GetEffectName(k).view());
        if (e == nullptr || e->effect == nullptr) continue;
        std::string file = e->file.substr(e->file.find_last_of("\\/") + 1);
        std::transform(file.begin(), file.end(), file.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        if (file == "vek_phong.fx")
            for (const ObjectTemplate::TextureNote& note : object.shared()->transparentTextures())
                addOnce(lines, "Warning: the texture " + cp1251ToUtf8(note.texture) + " of " +
                                   cp1251ToUtf8(note.model) + " has transparent pixels, which the effect " +
                                   cp1251ToUtf8(e->name) + " (" + cp1251ToUtf8(e->file) +
                                   ") does not show: it draws them opaque");
    }
}

// The level's object entries that are skipped without a word because their
// "_OBJECT_TYPE_" is missing or misspelt.
void skippedEntries(std::vector<std::string>& lines) {
    const DynamicRow level = readLevel(Krovane::kLevelFile);
    forEachListed(level, "_OBJECTS_", [&](unsigned entry) {
        const unsigned key = level.iLookInFor(entry, "_OBJECT_TYPE_");
        const Korvane_string type = level.iLookName(level.TopId(key));
        std::string why;
        if (key == 0)
            why = cp1251ToUtf8(lackingKey(level, entry, "_OBJECT_TYPE_").view());
        else if (misspelt(type.view(), "_OBJECT_SIMPLE_"))
            why = cp1251ToUtf8(level.iLookName(entry).view()) + ": _OBJECT_TYPE_ is " + cp1251ToUtf8(type.view()) +
                  " (not _OBJECT_SIMPLE_)";
        if (!why.empty()) lines.push_back("Warning: " + why + ": the entry is skipped");
    });
}

// The techniques objects are drawn through that a loaded effect lacks.
void missingTechniques(const Krovane_Effect_Manager& effects, std::vector<std::string>& lines) {
    effects.entries().forEach([&](std::uint32_t, const Krovane_Effect_Manager::EffectEntry& e) {
        for (const auto& [technique, use] :
             {std::pair{"vek_Phong", "the first light"}, std::pair{"vek_Phong_alpha", "the lights after the first"}})
            if (e.effect != nullptr && !e.effect->hasTechnique(technique))
                lines.push_back("Warning: the effect " + cp1251ToUtf8(e.name) + " (" + cp1251ToUtf8(e.file) +
                                ") has no technique " + technique + ", which draws " + use);
    });
}

}  // namespace

std::vector<std::string> levelWarnings(const Krovane& engine) {
    const Krovane_Object_Manager* objects = engine.objectManager();
    const Krovane_Effect_Manager* effects = engine.effectManager();
    const Krovane_Camera_Manager* cameras = engine.cameraManager();
    if (objects == nullptr || effects == nullptr || cameras == nullptr) return {};
    // Said in this order: stand-in textures and made normals, effects not loaded, objects out of reach.
    std::vector<std::string> lines, unloaded, far;
    std::unordered_set<const ObjectTemplate*> templates;  // each template's stand-ins looked at once
    std::unordered_set<std::string_view> files;           // each object file's effects looked up once
    objects->entries().forEach([&](std::uint32_t id, const Krovane_Object_Manager::ObjectEntry& entry) {
        const auto* object = dynamic_cast<const Static_CObject*>(entry.object.get());
        if (object == nullptr) return;
        const std::string file = cp1251ToUtf8(entry.path);
        if (object->shared() != nullptr && templates.insert(object->shared()).second) {
            for (const ObjectTemplate::TextureNote& standIn : object->shared()->standIns())
                addOnce(lines, "Warning: the texture " + cp1251ToUtf8(standIn.texture) + " of " +
                                   cp1251ToUtf8(standIn.model) +
                                   " is missing or unreadable: textures\\_def\\def.bmp is shown instead");
            opaqueDrawn(*object, *effects, lines);
        }
        if (files.insert(entry.path).second)
            for (unsigned k = 1; k <= object->effectCount(); ++k) {
                const Korvane_string name = object->GetEffectName(k);
                const Krovane_Effect_Manager::EffectEntry* loaded = effects->findEntry(name.view());
                if (loaded == nullptr || loaded->effect == nullptr)
                    addOnce(unloaded, "Warning: " + file + " names the effect " + cp1251ToUtf8(name.view()) +
                                          ", which the level does not load: it is drawn without it");
            }
        if (object->mesh() == nullptr) return;
        const Mesh& mesh = *object->mesh();
        if (mesh.normalsMade())
            if (const unsigned key = Static_CObject::modelKey(*object->params))
                addOnce(lines,
                        "Warning: " + cp1251ToUtf8(object->params->iLookName(object->params->TopId(key)).view()) +
                            " has no normals; they are made from its faces");
        Vector3 centre;
        float radius = 0;
        if (!worldSphere(*object, centre, radius)) {
            far.push_back("Warning: object " + std::to_string(id) + " (" + file +
                          ") is too large to draw: its scaled bounds are not finite");
            return;
        }
        if (cameras->cameraCount() == 0) return;
        bool seen = false;
        for (std::uint32_t c = 1; c <= cameras->cameraCount() && !seen; ++c)
            if (const Krovane_Camera* camera = cameras->camera(static_cast<int>(c)))
                seen = !outOfReach(centre, radius, *camera);
        if (!seen)
            far.push_back("Warning: object " + std::to_string(id) + " (" + file +
                          ") is farther than the far plane from every camera");
    });
    lines.insert(lines.end(), unloaded.begin(), unloaded.end());
    lines.insert(lines.end(), far.begin(), far.end());
    skippedEntries(lines);
    missingTechniques(*effects, lines);
    return lines;
}

}  // namespace krovane::app
