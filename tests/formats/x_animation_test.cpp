// .x animation: frame animation and skins read and posed at times, each key
// type, closed and open sets at and past their ends, and skins and sets that
// do not fit the model left out with a reason while the model still loads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/x_model.h"
#include "formats/x_pose.h"

namespace {

using krovane::formats::XModel;
using krovane::formats::XPoser;
using krovane::formats::XVertex;

XModel parse(const std::string& file) {
    XModel model;
    std::string error;
    EXPECT_TRUE(
        krovane::formats::parseXModel(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), model, error))
        << error;
    return model;
}

const std::string kHead = "xof 0303txt 0032\nAnimTicksPerSecond { 10; }\n";
const std::string kTri = "Mesh Tri { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;\n";
const std::string kIdentity = "FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }";

// A triangle in frame Arm, which the set Move drives with `keys`.
std::string frameFile(const std::string& keys, const std::string& options = "") {
    return kHead + "Frame Arm { " + kIdentity + " " + kTri + "} }\nAnimationSet Move { Animation { { Arm }\n" + keys +
           "\n" + options + " } }";
}

// A triangle skinned to Bone1 (vertex 0 wholly, vertex 1 half) and Bone2 (vertex 1 half); vertex 2 has no weight.
const char* const kPosition = "AnimationKey { 2; 2; 0;3;0,0,0;;, 10;3;2,0,0;;; }";
const char* const kOpen = "AnimationOptions { 1; 0; }";
const char* const kBone1 = "\"Bone1\"; 2; 0, 1; 1, 2;";

std::string skinFile(const std::string& bone1 = kBone1, const std::string& bone1Keys = kPosition,
                     const std::string& frame = "Bone1") {
    const std::string offset = " 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n";
    return kHead + "Frame Bone1 { " + kIdentity + " }\nFrame Bone2 { " + kIdentity + " }\n" + kTri +
           "XSkinMeshHeader { 2; 2; 2; }\nSkinWeights { " + bone1 + offset + "SkinWeights { \"Bone2\"; 1; 1; 2;" +
           offset + "}\nAnimationSet Walk { Animation { { " + frame + " } " + bone1Keys +
           " }\n Animation { { Bone2 } AnimationKey { 2; 2; 0;3;0,0,0;;, 10;3;0,4,0;;; } } }";
}

std::vector<XVertex> posed(const XModel& model, double seconds, bool expectSet = true) {
    XPoser poser(model);
    std::vector<XVertex> out(model.vertices.size());
    EXPECT_EQ(poser.pose(0, seconds, out), expectSet);
    return out;
}

void expectAt(const XVertex& v, float x, float y, float z) {
    EXPECT_NEAR(v.position[0], x, 1e-4f);
    EXPECT_NEAR(v.position[1], y, 1e-4f);
    EXPECT_NEAR(v.position[2], z, 1e-4f);
}

TEST(XAnimation, EachKeyTypeAndEndOfClosedAndOpenSets) {
    const float h = std::sqrt(0.5f);
    struct Row {
        const char* keys;
        const char* options;
        double seconds;
        float x, y, z;  // where the vertex made at 1 0 0 goes
    } rows[] = {
        {kPosition, "", 0.25, 1.5f, 0, 0},
        {kPosition, "", 1.25, 1.5f, 0, 0},  // closed: loops
        {kPosition, "", 1.0, 1, 0, 0},      // its end is its start again
        {kPosition, kOpen, 1.0, 3, 0, 0},   // open: holds the end
        {kPosition, kOpen, 7.0, 3, 0, 0},
        {kPosition, kOpen, -1.0, 1, 0, 0},
        {"AnimationKey { 0; 2; 0;4;1,0,0,0;;, 10;4;0.7071068,0,0,0.7071068;;; }", "", 0.5, h, -h, 0},
        {"AnimationKey { 0; 2; 0;4;1,0,0,0;;, 10;4;0.7071068,0,0,0.7071068;;; }", kOpen, 2, 0, -1, 0},
        {"AnimationKey { 1; 2; 0;3;1,1,1;;, 10;3;3,1,1;;; }", "", 0.5, 2, 0, 0},
        {"AnimationKey { 4; 2; 0;16;1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;, 10;16;1,0,0,0,0,1,0,0,0,0,1,0,4,0,0,1;;; }", "",
         0.5, 3, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.keys) + row.options + " at " + std::to_string(row.seconds));
        const XModel model = parse(frameFile(row.keys, row.options));
        ASSERT_EQ(model.animationSets.size(), 1u);
        EXPECT_EQ(model.animationSets[0].looping, *row.options == 0);
        const std::vector<XVertex> out = posed(model, row.seconds);
        expectAt(out[0], row.x, row.y, row.z);
    }
}

TEST(XAnimation, AFrameMovesTheMeshesOfTheFramesInsideIt) {
    // Arm turns a quarter about z; Hand, inside it, is one up and holds the mesh.
    const XModel model = parse(kHead + "Frame Arm { " + kIdentity +
                               " Frame Hand { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; } " + kTri +
                               "} } }\nAnimationSet Turn { Animation { { Arm } AnimationKey { 0; 1; "
                               "0;4;0.7071068,0,0,0.7071068;;; } } }");
    expectAt(model.vertices[0], 1, 1, 0);
    expectAt(posed(model, 0)[0], 1, -1, 0);
}

TEST(XAnimation, SkinnedVerticesAtTwoTimes) {
    const XModel model = parse(skinFile());
    EXPECT_TRUE(model.warnings.empty());
    ASSERT_EQ(model.meshes.size(), 1u);
    ASSERT_EQ(model.meshes[0].bones.size(), 2u);
    std::vector<XVertex> out = posed(model, 0.5);
    expectAt(out[0], 2, 0, 0);
    expectAt(out[1], 0.5f, 2, 0);  // weights 2 and 2, made halves
    expectAt(out[2], 0, 0, 1);     // no weight: stays
    out = posed(model, 0.25);
    expectAt(out[0], 1.5f, 0, 0);
    expectAt(out[1], 0.25f, 1.5f, 0);
}

TEST(XAnimation, SkinsAndSetsThatDoNotFitAreLeftOutWithAReason) {
    const struct Row {
        std::string file, warning;
        bool skin;  // the skin is left out, else the set
    } rows[] = {
        {skinFile("\"Bone1\"; 2; 0, 7; 1, 2;"), "7:30: vertex 7 out of range (3) (skin of mesh \"Tri\" left out)",
         true},
        {skinFile("\"Nope\"; 1; 0; 1;"), "7:14: bone \"Nope\" names no frame (skin of mesh \"Tri\" left out)", true},
        {skinFile("\"Bone1\"; 1; 0; -1;"),
         "7:30: weight is not a finite number from 0 up (skin of mesh \"Tri\" left out)", true},
        {skinFile(kBone1, "AnimationKey { 2; 2; 10;3;0,0,0;;, 0;3;2,0,0;;; }"),
         "10:78: key 1 (tick 0) is before key 0 (tick 10) (animation set \"Walk\" left out)", false},
        {skinFile(kBone1, "AnimationKey { 2; 1; 0;2;0,0;;; }"),
         "10:66: key 0 has 2 values, not 3 (animation set \"Walk\" left out)", false},
        {skinFile(kBone1, "AnimationKey { 7; 1; 0;3;0,0,0;;; }"),
         "10:58: unknown key type 7 (animation set \"Walk\" left out)", false},
        {skinFile(kBone1, kPosition, "Nope"),
         "10:32: animation names no frame \"Nope\" (animation set \"Walk\" left out)", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const XModel model = parse(row.file);
        ASSERT_EQ(model.vertices.size(), 3u);
        EXPECT_EQ(model.warnings, std::vector<std::string>{row.warning});
        EXPECT_EQ(model.meshes[0].bones.empty(), row.skin);
        EXPECT_EQ(model.animationSets.empty(), !row.skin);
        const std::vector<XVertex> out = posed(model, 0.5, row.skin);
        for (std::size_t v = 0; v < 3; ++v) expectAt(out[v], v == 0, v == 1, v == 2);  // the bind pose
    }
}

XModel parseShared(const char* path) {
    std::ifstream in(std::filesystem::path(KROVANE_SHARED_MODELS) / path, std::ios::binary);
    return parse(std::string(std::istreambuf_iterator<char>(in), {}));
}

TEST(XAnimationConformance, PublicModelsPlayOrKeepTheirBindPoseWithAReason) {
    if (!std::filesystem::is_directory(KROVANE_SHARED_MODELS)) GTEST_SKIP() << "skipped: no " KROVANE_SHARED_MODELS;
    const XModel oob = parseShared("assimp/malformed_skinweights_oob.x");
    EXPECT_EQ(oob.warnings,
              std::vector<std::string>{"244:5: vertex 1000000 out of range (24) (skin of mesh \"Cube\" left out)"});
    // This one's skin names a bone the file does not hold; its set is whole.
    const XModel cylinder = parseShared("assimp/anim_test.x");
    EXPECT_EQ(cylinder.warnings, std::vector<std::string>{"26538:22: bone \"joint3\" names no frame (skin of mesh "
                                                          "\"pCylinderShape1\" left out)"});
    EXPECT_EQ(cylinder.animationSets.size(), 1u);
    for (const char* path : {"assimp/BCN_Epileptic.X", "assimp/Testwuson.X"}) {
        const XModel model = parseShared(path);
        EXPECT_TRUE(model.warnings.empty()) << path;
        ASSERT_FALSE(model.animationSets.empty()) << path;
        const std::vector<XVertex> out = posed(model, 0.3);
        float moved = 0;
        for (std::size_t v = 0; v < out.size(); ++v)
            for (int c = 0; c < 3; ++c)
                moved = std::max(moved, std::abs(out[v].position[c] - model.vertices[v].position[c]));
        EXPECT_TRUE(moved > 0.1f && std::isfinite(moved)) << path << " " << moved;
    }
}

}  // namespace
