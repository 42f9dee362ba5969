// Loading a static object's model, materials and textures, and drawing it
// through its effects for one light.
#include "scene/static_c_object.h"

#include <algorithm>
#include <cmath>

#include "gfx/effect.h"
#include "gfx/geometry.h"
#include "gfx/mesh.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "gfx/vertex_buffer.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/object_template.h"
#include "scene/resource_cache.h"

using namespace krovane::gfx;
using krovane::params::TreeLoadError;
using namespace krovane::scene;

namespace {

// Degrees to radians with the factor rounded to a float, as the angles of
// the level files have always been turned.
constexpr float kRadiansPerDegree = 0.017453292f;

// Where everything but the last component of a path ends (after its last
// slash or backslash), 0 when it has none.
std::size_t lastComponent(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

struct Static_CObject::Playing {
    std::size_t set = 0;
    bool loop = false;
    double seconds = 0;
    Ref<VertexBuffer> vertices;  // the posed vertices, this object's own
    Vector3 low, high;           // around them
};

// An object holds its placement and what points to the rest; what every object
// of its file shares lives once in its ObjectTemplate.
static_assert(sizeof(Static_CObject) <= 192, "an object stays small: levels hold a hundred thousand");

Static_CObject::Static_CObject(const Matrix* baseWorld, const char* parameterFile, Device* device,
                               Krovane_Effect_Manager* effectManager, Krovane_Light_Manager* lightManager,
                               krovane::log::Log& console, ResourceCache* cache)
    : world(baseWorld != nullptr ? *baseWorld : kIdentityMatrix),
      device_(device),
      cache_(cache),
      console_(console),
      effectManager_(effectManager),
      lightManager_(lightManager) {
    if (parameterFile == nullptr) return;
    if (cache_ != nullptr) {
        params = cache_->parameters(parameterFile);
    } else {
        auto own = Ref<SharedRow>::adopt(new SharedRow);
        own->iLoadFromFile(Korvane_string(parameterFile));
        params = std::move(own);
    }
    // A load that failed leaves its reason; an empty file read whole leaves none.
    parametersRead_ = params->lastLoadError().kind == TreeLoadError::Kind::None;
}

// The template goes with its last object and gives the model and textures back.
Static_CObject::~Static_CObject() = default;

bool Static_CObject::play(std::size_t set, bool loop) {
    Mesh* model = mesh();
    if (device_ == nullptr || model == nullptr || set >= model->animationCount()) return false;
    auto made = std::make_unique<Playing>();
    if (failed(model->createPoseBuffer(&made->vertices))) return false;
    made->set = set;
    made->loop = loop || model->animationLoops(set);
    if (failed(model->pose(set, 0, made->vertices.get(), made->low, made->high))) return false;
    playing_ = std::move(made);
    return true;
}

void Static_CObject::advance(double seconds) {
    if (playing_ == nullptr) return;
    Playing& p = *playing_;
    const double length = mesh()->animationDuration(p.set);
    p.seconds += seconds;
    // A loop's time is kept within one round, so that it never grows past float's reach; an open set holds its end.
    if (length > 0) p.seconds = p.loop ? std::fmod(p.seconds, length) : std::min(p.seconds, length);
    mesh()->pose(p.set, p.seconds, p.vertices.get(), p.low, p.high);
}

std::span<const krovane::formats::XVertex> Static_CObject::drawnVertices() const {
    const Mesh* model = mesh();
    if (model == nullptr) return {};
    if (playing_ == nullptr) return model->vertices();
    return {reinterpret_cast<const krovane::formats::XVertex*>(playing_->vertices->bytes()), model->vertexCount()};
}

std::size_t Static_CObject::playing() const { return playing_ != nullptr ? playing_->set : kStill; }
double Static_CObject::playedTime() const { return playing_ != nullptr ? playing_->seconds : 0; }

bool Static_CObject::bounds(Vector3& low, Vector3& high) const {
    if (playing_ != nullptr) {
        low = playing_->low;
        high = playing_->high;
        return true;
    }
    const Mesh* model = mesh();
    if (model == nullptr) return false;
    low = model->boundsMin();
    high = model->boundsMax();
    return true;
}

Mesh* Static_CObject::mesh() const { return template_ ? template_->mesh() : nullptr; }
std::uint32_t Static_CObject::materialCount() const { return template_ ? template_->materialCount() : 0; }
const Material& Static_CObject::material(std::uint32_t i) const { return template_->material(i); }
Texture* Static_CObject::texture(std::uint32_t i) const { return template_->texture(i); }
std::uint32_t Static_CObject::effectCount() const { return template_ ? template_->effectCount() : 0; }

Ref<Texture> Static_CObject::loadTexture(const std::string& name, const Korvane_string& modelPath,
                                         bool& standIn) const {
    Ref<Texture> texture;
    const auto load = [&](const char* path) {
        return !failed(cache_ != nullptr ? cache_->texture(device_, path, &texture)
                                         : loadTextureFromFile(device_, path, &texture));
    };
    if (load(name.c_str())) return texture;
    if (load(("textures\\" + name).c_str())) return texture;
    // Modelling tools write the paths of their own machine (C:\art\wood.jpg):
    // the file name beside the model is where such a texture usually is.
    const std::string_view model = modelPath.view();
    const std::string beside = std::string(model.substr(0, lastComponent(model))) + name.substr(lastComponent(name));
    if (load(beside.c_str())) return texture;
    if (!load("textures\\_def\\def.bmp")) return {};
    standIn = true;
    return texture;
}

unsigned Static_CObject::modelKey(const DynamicRow& params) {
    const unsigned key = params.iLookId("_MODEL_FILE_");
    return static_cast<int>(key) > 0 && params.iCountParams(key) + params.iCountKnots(key) > 0 ? key : 0;
}

Korvane_string Static_CObject::whyNotRead(const TreeLoadError& error) {
    switch (error.kind) {
        case TreeLoadError::Kind::Missing:
            return "no such file";
        case TreeLoadError::Kind::Malformed:
            return Korvane_string(std::string_view("malformed at line " + std::to_string(error.line) + ", column " +
                                                   std::to_string(error.column) + ": " + error.message));
        default:
            return "cannot be read";
    }
}

bool Static_CObject::Load() {
    const DynamicRow& file = *params;
    // A file read without nodes (empty, or only comments) is an object with nothing in it.
    if (!parametersRead_) {
        console_.Print("[!] Object File is corrupted and parameters are not loaded!", MessageType::Error);
        return false;
    }
    if (file.nodeCount() == 0) return true;

    // The model, with one material and texture per subset.
    Ref<Mesh> mesh;
    std::vector<Material> materials;
    std::vector<Ref<Texture>> textures;  // empty where a material has none
    std::vector<krovane::formats::MaterialAlpha> alpha;
    std::vector<ObjectTemplate::TextureNote> standIns, transparent;
    if (const unsigned key = modelKey(file)) {
        const Korvane_string modelPath = file.iLookName(file.TopId(key));
        std::vector<ModelMaterial> loaded;
        std::string why;
        const Result made = cache_ != nullptr ? cache_->model(modelPath.getChars(), device_, loaded, &mesh, &why)
                                              : LoadMeshFromX(modelPath.getChars(), device_, loaded, &mesh, &why);
        if (failed(made)) {
            Korvane_string line = "[M.F] cannot find: ";
            line += modelPath;
            console_.Print(line, MessageType::Error);
            if (!why.empty()) console_.Print(Korvane_string(std::string_view(why)), MessageType::Error);
        } else {
            if (!mesh->warningsSaid()) {
                for (const std::string& warning : mesh->warnings()) {
                    Korvane_string line = modelPath;
                    // Placed as the reader's reasons are: "PATH:12:5: why", "PATH: byte 345: why".
                    line.add(std::string_view((warning.starts_with("byte ") ? ": " : ":") + warning));
                    console_.Print(line, MessageType::Error);
                }
                mesh->markWarningsSaid();
            }
            materials.resize(loaded.size());
            textures.resize(loaded.size());
            alpha.resize(loaded.size());
            for (std::size_t i = 0; i < loaded.size(); ++i) {
                materials[i] = loaded[i].material;
                materials[i].ambient = materials[i].diffuse;
                alpha[i] = loaded[i].alpha;
                const std::string& name = loaded[i].textureFile;
                if (name.empty()) continue;
                bool standIn = false;
                textures[i] = loadTexture(name, modelPath, standIn);
                if (standIn) standIns.push_back({name, std::string(modelPath.view())});
                if (textures[i] != nullptr && textures[i]->hasTransparentPixels())
                    transparent.push_back({name, std::string(modelPath.view())});
                if (textures[i] == nullptr) {
                    Korvane_string line = "[T.F] cannot find: ";
                    line.add(std::string_view(name));
                    console_.Print(line, MessageType::Error);
                }
            }
        }
    }

    const unsigned fx = file.iLookId("_FX_");
    const std::uint32_t effectCount = fx != 0 ? file.iCountParams(fx) + file.iCountKnots(fx) : 0;

    // Objects of one file that loaded the same model and textures share them.
    Ref<ObjectTemplate> kept(cache_ != nullptr ? cache_->objectTemplate(params.get()) : nullptr);
    if (kept != nullptr && kept->sameAs(mesh.get(), materials, textures, alpha)) {  // same tree: same effects
        cache_->release(mesh);
        for (Ref<Texture>& t : textures) cache_->release(t);
        template_ = std::move(kept);
    } else {
        template_ =
            Ref<ObjectTemplate>::adopt(new ObjectTemplate(cache_, params.get(), std::move(mesh), std::move(materials),
                                                          std::move(textures), effectCount, std::move(alpha)));
        template_->noteTextures(std::move(standIns), std::move(transparent));
        if (cache_ != nullptr) cache_->keepTemplate(template_.get());
    }
    drawsBlended = template_->blends();

    // Row vectors: the model is scaled in its own space, then placed, then
    // turned about the world's axes. Scaling rows by 1 leaves them exact.
    world = multiply(multiply(multiply(translation(position[0], position[1], position[2]),
                                       rotationX(rotation[0] * kRadiansPerDegree)),
                              rotationY(rotation[1] * kRadiansPerDegree)),
                     rotationZ(rotation[2] * kRadiansPerDegree));
    for (int row = 0; row < 3; ++row)
        for (float& v : world.m[row]) v *= scale[row];
    return true;
}

Korvane_string Static_CObject::GetEffectName(unsigned k) const {
    unsigned id = params->TopId(params->iLookId("_FX_"));
    for (unsigned i = 1; i < k && id != 0; ++i) id = params->NextId(id);
    return k == 0 ? Korvane_string() : params->iLookName(id);
}

bool Static_CObject::inView(const Matrix& view, const Matrix& projection) const {
    return boxInView(multiply(multiply(world, view), projection));
}

bool Static_CObject::boxInView(const Matrix& m) const {
    Vector3 lo, hi;
    if (!bounds(lo, hi)) return true;
    // Clip space: in view where -w <= x <= w, -w <= y <= w and 0 <= z <= w.
    // The box is out when all eight corners lie beyond one of those planes.
    // The corners side by side, so that the compiler handles four at a time.
    float x[8], y[8], z[8], c[4][8];
    for (int k = 0; k < 8; ++k) {
        x[k] = k & 1 ? hi.x : lo.x;
        y[k] = k & 2 ? hi.y : lo.y;
        z[k] = k & 4 ? hi.z : lo.z;
    }
    for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 8; ++k) c[j][k] = x[k] * m.m[0][j] + y[k] * m.m[1][j] + z[k] * m.m[2][j] + m.m[3][j];
    bool out[6] = {true, true, true, true, true, true};
    for (int k = 0; k < 8; ++k) {
        out[0] &= c[0][k] < -c[3][k];
        out[1] &= c[0][k] > c[3][k];
        out[2] &= c[1][k] < -c[3][k];
        out[3] &= c[1][k] > c[3][k];
        out[4] &= c[2][k] < 0.0f;
        out[5] &= c[2][k] > c[3][k];
    }
    return !(out[0] || out[1] || out[2] || out[3] || out[4] || out[5]);
}

void Static_CObject::drawSubsets(Device* device, Subsets which, Effect* alphaEffect, const EffectHandle* cutoff) const {
    using krovane::formats::AlphaMode;
    const ObjectTemplate& t = *template_;
    for (std::uint32_t i = 0; i < t.materialCount(); ++i) {
        const krovane::formats::MaterialAlpha& alpha = t.alpha(i);
        if (which != Subsets::All && (alpha.mode == AlphaMode::Blend) != (which == Subsets::Blended)) continue;
        if (alphaEffect != nullptr) alphaEffect->SetFloat(*cutoff, alpha.mode == AlphaMode::Mask ? alpha.cutoff : 0.0f);
        device->SetMaterial(&t.material(i));
        device->SetTexture(0, t.texture(i));
        t.mesh()->DrawSubset(i, playing_ != nullptr ? playing_->vertices.get() : nullptr);
    }
}

void Static_CObject::Render(unsigned lightIndex, bool firstLight) {
    Device* device = device_;
    if (device == nullptr) return;
    device->SetTransform(TransformState::World, &world);
    if (template_ == nullptr) return;  // nothing loaded: nothing to draw
    // Fixed-function draws are culled by the device's transforms, worked out once when needed.
    int fixedInView = -1;
    const auto drawFixed = [&] {
        if (fixedInView < 0)
            fixedInView =
                inView(device->transform(TransformState::View), device->transform(TransformState::Projection));
        if (fixedInView != 0) drawSubsets(device, Subsets::All);
    };
    const std::uint32_t effectCount = template_->effectCount();
    if (effectCount == 0 || effectManager_ == nullptr) {
        for (std::uint32_t k = 0; k < (effectCount == 0 ? 1 : effectCount); ++k) drawFixed();
        return;
    }
    const ObjectTemplate::EffectEntry* const* entries = template_->effects(*effectManager_, *params);
    for (std::uint32_t k = 0; k < effectCount; ++k) {
        const ObjectTemplate::EffectEntry* entry = entries[k];
        if (entry == nullptr) {
            drawFixed();
            continue;
        }
        const EffectBindings& b = entry->bindings;
        drawThrough(*entry, lightIndex, firstLight ? b.firstLight : b.furtherLight,
                    b.drawsAlpha ? Subsets::Unblended : Subsets::All);
    }
}

void Static_CObject::renderBlended(unsigned lightIndex, bool firstLight) {
    if (device_ == nullptr || template_ == nullptr || !template_->blends() || effectManager_ == nullptr) return;
    const ObjectTemplate::EffectEntry* const* entries = template_->effects(*effectManager_, *params);
    for (std::uint32_t k = 0; k < template_->effectCount(); ++k)
        if (entries[k] != nullptr && entries[k]->bindings.drawsAlpha) {
            const EffectBindings& b = entries[k]->bindings;
            drawThrough(*entries[k], lightIndex, firstLight ? b.blendFirstLight : b.blendFurtherLight,
                        Subsets::Blended);
        }
}

void Static_CObject::drawThrough(const Krovane_Effect_Manager::EffectEntry& entry, unsigned lightIndex,
                                 EffectHandle technique, Subsets which) {
    const Matrix *view = nullptr, *projection = nullptr;
    Effect* effect = effectManager_->useEntry(entry, view, projection);
    const EffectBindings& b = entry.bindings;
    const Matrix worldViewProjection = multiply(multiply(world, *view), *projection);
    if (effect->cullsByBounds(technique) && !boxInView(worldViewProjection)) return;
    effect->SetMatrix(b.worldViewProj, &worldViewProjection);
    effect->SetMatrix(b.world, &world);
    if (lightManager_ != nullptr) lightManager_->SetLightParameters(effect, b, lightIndex);
    effect->SetTechnique(technique);
    std::uint32_t passes = 0;
    effect->Begin(&passes, 0);
    for (std::uint32_t pass = 0; pass < passes; ++pass) {
        effect->BeginPass(pass);
        drawSubsets(device_, which, b.drawsAlpha ? effect : nullptr, &b.alphaCutoff);
        effect->EndPass();
    }
    effect->End();
}
