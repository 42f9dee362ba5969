// Loading a static object's model, materials and textures, and drawing it
// through its effects for one light.
#include "scene/static_c_object.h"

#include "gfx/effect.h"
#include "gfx/geometry.h"
#include "gfx/mesh.h"
#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/resource_cache.h"

using namespace krovane::gfx;

std::function<void(std::string_view, std::string_view)> Static_CObject::standInShown;

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

Static_CObject::Static_CObject(const Matrix* baseWorld, const char* parameterFile, Device* device,
                               Krovane_Effect_Manager* effectManager, Krovane_Light_Manager* lightManager,
                               Log* console, ResourceCache* cache)
    : world(baseWorld != nullptr ? *baseWorld : kIdentityMatrix),
      device_(device),
      cache_(cache),
      console_(console),
      effectManager_(effectManager),
      lightManager_(lightManager),
      view_(kIdentityMatrix),
      projection_(kIdentityMatrix) {
    if (parameterFile == nullptr) return;
    if (cache_ != nullptr) {
        params = cache_->parameters(parameterFile);
    } else {
        auto own = std::make_shared<DynamicRow>();
        own->iLoadFromFile(Korvane_string(parameterFile));
        params = std::move(own);
    }
    // A load that failed leaves its reason; an empty file read whole leaves none.
    parametersRead_ = params->lastLoadError().kind == TreeLoadError::Kind::None;
}

Static_CObject::~Static_CObject() {
    // Handed back to the cache, which lets go of what no object holds any more.
    if (cache_ == nullptr) return;
    cache_->release(mesh_);
    for (Ref<Texture>& t : textures_) cache_->release(t);
}

Ref<Texture> Static_CObject::loadTexture(const std::string& name, const Korvane_string& modelPath) const {
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
    if (standInShown) standInShown(name, modelPath.view());
    return texture;
}

bool Static_CObject::Load() {
    const DynamicRow& file = *params;
    // A file read without nodes (empty, or only comments) is an object with nothing in it.
    if (!parametersRead_) {
        if (console_ == nullptr) return false;
        console_->Print("[!] Object File is corrupted and parameters are not loaded!", MessageType::Error);
        // A file that is there but does not parse: say where it goes wrong.
        if (file.lastLoadError().kind == TreeLoadError::Kind::Malformed)
            console_->Print(Korvane_string(std::string_view(file.lastLoadError().describe())), MessageType::Error);
        return false;
    }
    if (file.nodeCount() == 0) return true;

    // The model, with one material and texture per subset.
    const unsigned modelKey = file.iLookId("_MODEL_FILE_");
    if (static_cast<int>(modelKey) > 0 && file.iCountParams(modelKey) + file.iCountKnots(modelKey) > 0) {
        const Korvane_string modelPath = file.iLookName(file.TopId(modelKey));
        std::vector<ModelMaterial> loaded;
        const Result made = cache_ != nullptr ? cache_->model(modelPath.getChars(), device_, loaded, &mesh_)
                                              : LoadMeshFromX(modelPath.getChars(), device_, loaded, &mesh_);
        if (failed(made)) {
            Korvane_string line = "[M.F] cannot find: ";
            line += modelPath;
            if (console_) console_->Print(line, MessageType::Error);
        } else {
            materialCount_ = static_cast<std::uint32_t>(loaded.size());
            materials_.resize(materialCount_);
            textures_.assign(materialCount_, {});
            for (std::uint32_t i = 0; i < materialCount_; ++i) {
                materials_[i] = loaded[i].material;
                materials_[i].ambient = materials_[i].diffuse;
                const std::string& name = loaded[i].textureFile;
                if (name.empty()) continue;
                textures_[i] = loadTexture(name, modelPath);
                if (textures_[i] == nullptr && console_) {
                    Korvane_string line = "[T.F] cannot find: ";
                    line.add(std::string_view(name));
                    console_->Print(line, MessageType::Error);
                }
            }
        }
    }

    const unsigned fx = file.iLookId("_FX_");
    effectCount_ = fx != 0 ? file.iCountParams(fx) + file.iCountKnots(fx) : 0;

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

void Static_CObject::SetTransformParameters(Effect* effect, const Matrix& view, const Matrix& projection) const {
    if (effect == nullptr) return;
    const Matrix worldViewProjection = multiply(multiply(world, view), projection);
    effect->SetMatrix("mat_World_View_Proj", &worldViewProjection);
    effect->SetMatrix("matWorld", &world);
}

bool Static_CObject::InView(const Matrix& view, const Matrix& projection) const {
    if (mesh_ == nullptr) return true;
    const Matrix m = multiply(multiply(world, view), projection);
    const Vector3& lo = mesh_->boundsMin();
    const Vector3& hi = mesh_->boundsMax();
    // Clip space: in view where -w <= x <= w, -w <= y <= w and 0 <= z <= w.
    // The box is out when all eight corners lie beyond one of those planes.
    unsigned outside[6] = {};
    for (int corner = 0; corner < 8; ++corner) {
        const float x = corner & 1 ? hi.x : lo.x, y = corner & 2 ? hi.y : lo.y, z = corner & 4 ? hi.z : lo.z;
        float c[4];
        for (int j = 0; j < 4; ++j) c[j] = x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + m.m[3][j];
        outside[0] += c[0] < -c[3];
        outside[1] += c[0] > c[3];
        outside[2] += c[1] < -c[3];
        outside[3] += c[1] > c[3];
        outside[4] += c[2] < 0.0f;
        outside[5] += c[2] > c[3];
    }
    for (unsigned count : outside)
        if (count == 8) return false;
    return true;
}

void Static_CObject::drawSubsets(Device* device) {
    for (subset_ = 0; subset_ < materialCount_; ++subset_) {
        device->SetMaterial(&materials_[subset_]);
        device->SetTexture(0, textures_[subset_].get());
        mesh_->DrawSubset(subset_);
    }
}

void Static_CObject::Render(unsigned lightIndex, bool firstLight) {
    Device* device = device_;
    if (device == nullptr) return;
    device->SetTransform(TransformState::World, &world);
    const bool fixedInView =
        InView(device->transform(TransformState::View), device->transform(TransformState::Projection));
    if (effectCount_ == 0) {
        if (fixedInView) drawSubsets(device);
        return;
    }
    for (effectIndex_ = 1; effectIndex_ <= effectCount_; ++effectIndex_) {
        effectName_ = GetEffectName(effectIndex_);
        effect_ = effectManager_ != nullptr ? effectManager_->FindEffect(effectName_, &view_, &projection_) : nullptr;
        if (effect_ == nullptr) {
            if (fixedInView) drawSubsets(device);
            continue;
        }
        if (!InView(view_, projection_)) continue;
        SetTransformParameters(effect_, view_, projection_);
        if (lightManager_ != nullptr) lightManager_->SetLightParameters(effect_, lightIndex);
        effect_->SetTechnique(firstLight ? "vek_Phong" : "vek_Phong_alpha");
        passCount_ = 0;
        effect_->Begin(&passCount_, 0);
        for (pass_ = 0; pass_ < passCount_; ++pass_) {
            effect_->BeginPass(pass_);
            drawSubsets(device);
            effect_->EndPass();
        }
        effect_->End();
    }
}
