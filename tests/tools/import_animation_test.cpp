// krovane-import's conversion of models that move: a skinned, animated glTF
// triangle, and COLLADA and FBX triangles in a node moved the same way, posed
// like their hand-written .x twin; a binary .x read back equal to its text twin.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "formats/x_model.h"
#include "formats/x_pose.h"
#include "model_conversion.h"
#include "platform/file_io.h"
#include "temp_dir.h"

namespace {

using krovane::formats::XModel;

// A triangle (1 0 0, 0 1 0, 0 0 1) skinned wholly to the node Bone, which the
// animation turns a quarter about +z and moves 2 along +x in a second. The
// buffer holds the positions, joints, weights, the inverse bind matrix, the
// times, translations and rotations, each one buffer view.
std::string gltf() {
    const int views[][2] = {{0, 36}, {36, 12}, {48, 48}, {96, 64}, {160, 8}, {168, 24}, {192, 32}};
    std::string text = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],
"nodes":[{"name":"Body","mesh":0,"skin":0},{"name":"Bone"}],
"skins":[{"joints":[1],"inverseBindMatrices":3}],
"meshes":[{"primitives":[{"attributes":{"POSITION":0,"JOINTS_0":1,"WEIGHTS_0":2}}]}],
"animations":[{"name":"Move","channels":[{"sampler":0,"target":{"node":1,"path":"translation"}},
  {"sampler":1,"target":{"node":1,"path":"rotation"}}],
  "samplers":[{"input":4,"output":5},{"input":4,"output":6}]}],
"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,1]},
  {"bufferView":1,"componentType":5121,"count":3,"type":"VEC4"},{"bufferView":2,"componentType":5126,"count":3,"type":"VEC4"},
  {"bufferView":3,"componentType":5126,"count":1,"type":"MAT4"},
  {"bufferView":4,"componentType":5126,"count":2,"type":"SCALAR","min":[0],"max":[1]},
  {"bufferView":5,"componentType":5126,"count":2,"type":"VEC3"},{"bufferView":6,"componentType":5126,"count":2,"type":"VEC4"}],
"buffers":[{"byteLength":224,"uri":"data:application/octet-stream;base64,AACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAAAAAACAPwAAAAAAAIA/AAAAAAAAAAAAAAAAAAAAQAAAAAAAAAAAAAAAAAAAAAAAAAAAAACAPwAAAAAAAAAA8wQ1P/MENT8="}],
"bufferViews":[)";
    for (const auto& [offset, length] : views)
        text += R"({"buffer":0,"byteOffset":)" + std::to_string(offset) + R"(,"byteLength":)" +
                std::to_string(length) + (offset < 192 ? "}," : "}]}");
    return text;
}

// The same in the engine's left-handed space, written by hand.
const char* const kTwin = R"(xof 0303txt 0032
AnimTicksPerSecond { 4800; }
Frame Body { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
 Mesh { 3; 1;0;0;, 0;1;0;, 0;0;-1;; 1; 3;0,2,1;;
  SkinWeights { "Bone"; 3; 0,1,2; 1,1,1; 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } } }
Frame Bone { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } }
AnimationSet Move { Animation { { Bone }
 AnimationKey { 0; 2; 0;4;1,0,0,0;;, 4800;4;0.7071068,0,0,-0.7071068;;; }
 AnimationKey { 2; 2; 0;3;0,0,0;;, 4800;3;2,0,0;;; } } }
)";

// The triangle in the node Bone, whose matrix is animated the same way.
const char* const kCollada = R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit meter="1"/><up_axis>Y_UP</up_axis></asset>
<library_geometries><geometry id="tri"><mesh>
 <source id="p"><float_array id="pa" count="9">1 0 0 0 1 0 0 0 1</float_array><technique_common>
  <accessor source="#pa" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/>
  <param name="Z" type="float"/></accessor></technique_common></source>
 <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
 <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
</mesh></geometry></library_geometries>
<library_animations><animation id="Move">
 <source id="t"><float_array id="ta" count="2">0 1</float_array><technique_common>
  <accessor source="#ta" count="2"><param name="TIME" type="float"/></accessor></technique_common></source>
 <source id="m"><float_array id="ma" count="32">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 0 -1 0 2 1 0 0 0 0 0 1 0 0 0 0 1
  </float_array><technique_common><accessor source="#ma" count="2" stride="16">
  <param name="TRANSFORM" type="float4x4"/></accessor></technique_common></source>
 <sampler id="s"><input semantic="INPUT" source="#t"/><input semantic="OUTPUT" source="#m"/></sampler>
 <channel source="#s" target="Bone/transform"/>
</animation></library_animations>
<library_visual_scenes><visual_scene id="scene"><node id="Bone" name="Bone">
 <matrix sid="transform">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix><instance_geometry url="#tri"/>
</node></visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
)";

// The same in FBX's text form: curves on the node's translation x and rotation z (degrees), over 1 s.
const char* const kFbx = R"(; FBX 7.4.0 project file
FBXHeaderExtension: { FBXHeaderVersion: 1003
 FBXVersion: 7400 }
Objects: {
 Geometry: 1, "Geometry::Tri", "Mesh" { Vertices: *9 { a: 1,0,0,0,1,0,0,0,1 }
  PolygonVertexIndex: *3 { a: 0,1,-3 } }
 Model: 2, "Model::Bone", "Mesh" { Version: 232 }
 AnimationStack: 3, "AnimStack::Move", "" { Properties70: { P: "LocalStop", "KTime", "Time", "",46186158000 } }
 AnimationLayer: 4, "AnimLayer::Base", "" { }
 AnimationCurveNode: 5, "AnimCurveNode::T", "" { Properties70: { P: "d|X", "Number", "", "A",0
  P: "d|Y", "Number", "", "A",0
  P: "d|Z", "Number", "", "A",0 } }
 AnimationCurveNode: 6, "AnimCurveNode::R", "" { Properties70: { P: "d|X", "Number", "", "A",0
  P: "d|Y", "Number", "", "A",0
  P: "d|Z", "Number", "", "A",0 } }
 AnimationCurve: 7, "AnimCurve::", "" { KeyTime: *2 { a: 0,46186158000 }
  KeyValueFloat: *2 { a: 0,2 } }
 AnimationCurve: 8, "AnimCurve::", "" { KeyTime: *2 { a: 0,46186158000 }
  KeyValueFloat: *2 { a: 0,90 } } }
Connections: { C: "OO",1,2
 C: "OO",2,0
 C: "OO",4,3
 C: "OO",5,4
 C: "OO",6,4
 C: "OP",5,2, "Lcl Translation"
 C: "OP",6,2, "Lcl Rotation"
 C: "OP",7,5, "d|X"
 C: "OP",8,6, "d|Z" }
)";

XModel parse(const std::string& bytes) {
    XModel model;
    std::string error;
    EXPECT_TRUE(krovane::formats::parseXModel(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                              model, error))
        << error;
    return model;
}

// Imports `file` and returns the .x written.
std::string import(const std::string& file, bool text, double scale = 1) {
    krovane::import::Conversion job;
    job.model = file;
    job.scale = scale;
    job.outPath = "out.x";
    job.partPath = "out.x.part";
    job.text = text;
    std::string report, bytes;
    EXPECT_EQ(krovane::import::convertModel(job, report), 0) << report;
    krovane::platform::readWholeFile(job.partPath, bytes, 1 << 20);
    return bytes;
}

std::vector<std::array<float, 3>> posedPositions(const XModel& model, double seconds) {
    krovane::formats::XPoser poser(model);
    std::vector<krovane::formats::XVertex> out(model.vertices.size());
    EXPECT_TRUE(poser.pose(0, seconds, out));
    std::vector<std::array<float, 3>> positions;
    for (const auto& v : out) positions.push_back({v.position[0], v.position[1], v.position[2]});
    std::sort(positions.begin(), positions.end());
    return positions;
}

TEST(ImportAnimation, PosedLikeItsXTwin) {
    krovane::test::TempDir dir;
    std::ofstream("model.gltf") << gltf();
    struct Time {
        double seconds;
        std::vector<std::array<float, 3>> positions;  // sorted
    } times[] = {{0.25, {{0.1173166f, 0.9238795f, 0}, {0.5f, 0, -1}, {1.4238795f, 0.3826834f, 0}}},
                 {0.5, {{0.2928932f, 0.7071068f, 0}, {1, 0, -1}, {1.7071068f, 0.7071068f, 0}}}};
    std::ofstream("model.dae") << kCollada;
    std::ofstream("model.fbx") << kFbx;
    struct Row {
        const char* name;
        const char* file;  // imported; the twin where none
        double scale;      // the import's --scale: frames, offsets and keys move as far again
    } rows[] = {{"twin", nullptr, 1},       {"glTF", "model.gltf", 1}, {"glTF at twice the size", "model.gltf", 2},
                {"COLLADA", "model.dae", 1}, {"FBX", "model.fbx", 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const XModel model = parse(row.file != nullptr ? import(row.file, true, row.scale) : kTwin);
        ASSERT_EQ(model.animationSets.size(), 1u);
        for (const Time& time : times) {
            const auto posed = posedPositions(model, time.seconds);
            ASSERT_EQ(posed.size(), 3u);
            for (std::size_t v = 0; v < 3; ++v)
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(posed[v][c], time.positions[v][c] * row.scale, 1e-4f)
                        << time.seconds << "s, vertex " << v;
        }
    }
}

TEST(ImportAnimation, BinaryReadsBackEqualToText) {
    krovane::test::TempDir dir;
    std::ofstream("model.gltf") << gltf();
    const std::string binary = import("model.gltf", false);
    ASSERT_EQ(binary.substr(0, 16), "xof 0303bin 0032");
    const XModel a = parse(binary), b = parse(import("model.gltf", true));
    const auto near = [](const float* x, const float* y, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) EXPECT_NEAR(x[k], y[k], 1e-6f);
    };
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    near(&a.vertices[0].position[0], &b.vertices[0].position[0], a.vertices.size() * 8);
    EXPECT_EQ(a.indices, b.indices);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    near(&a.materials[0].diffuse.r, &b.materials[0].diffuse.r, 4);
    ASSERT_EQ(a.frames.size(), b.frames.size());
    for (std::size_t f = 0; f < a.frames.size(); ++f) {
        EXPECT_EQ(a.frames[f].name, b.frames[f].name);
        EXPECT_EQ(a.frames[f].parent, b.frames[f].parent);
        near(a.frames[f].local, b.frames[f].local, 16);
    }
    ASSERT_EQ(a.meshes.size(), b.meshes.size());
    ASSERT_EQ(a.meshes[0].bones.size(), 1u);
    ASSERT_EQ(b.meshes[0].bones.size(), 1u);
    EXPECT_EQ(a.meshes[0].bones[0].vertices, b.meshes[0].bones[0].vertices);
    EXPECT_EQ(a.meshes[0].bones[0].weights, b.meshes[0].bones[0].weights);
    near(a.meshes[0].bones[0].offset, b.meshes[0].bones[0].offset, 16);
    ASSERT_EQ(a.animationSets.size(), 1u);
    ASSERT_EQ(b.animationSets.size(), 1u);
    EXPECT_EQ(a.animationSets[0].name, b.animationSets[0].name);
    EXPECT_EQ(a.ticksPerSecond, b.ticksPerSecond);
    ASSERT_EQ(a.animationSets[0].tracks.size(), b.animationSets[0].tracks.size());
    for (std::size_t t = 0; t < a.animationSets[0].tracks.size(); ++t) {
        const auto &x = a.animationSets[0].tracks[t], &y = b.animationSets[0].tracks[t];
        EXPECT_EQ(x.frame, y.frame);
        EXPECT_EQ(x.rotation.times, y.rotation.times);
        ASSERT_EQ(x.rotation.values.size(), y.rotation.values.size());
        near(x.rotation.values.data(), y.rotation.values.data(), x.rotation.values.size());
        ASSERT_EQ(x.position.values.size(), y.position.values.size());
        near(x.position.values.data(), y.position.values.data(), x.position.values.size());
    }
}

}  // namespace
