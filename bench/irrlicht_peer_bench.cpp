// A peer's figure beside engine_bench: Irrlicht 1.8 drawing the same cube
// scene on its null driver (nothing drawn), so that its scene manager's cost
// per object (culling, sorting, state and draw calls) can be set beside the
// engine's. The scene is built in Irrlicht's own terms from the numbers of
// bench/make_levels.py's cube level: N cubes of 12 triangles on a square grid
// 12 units apart, turned about y by 37 degrees per object, one point light,
// the same camera. Built only where Irrlicht is installed.
#include <benchmark/benchmark.h>
#include <irrlicht.h>

#include <cmath>

namespace {

using namespace irr;

void BM_IrrlichtNullFrame(benchmark::State& state) {
    const long count = state.range(0);
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_NULL;
    params.DeviceType = EIDT_X11;  // with the null driver it opens no window
    params.WindowSize = core::dimension2d<u32>(640, 480);
    params.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(params);
    if (device == nullptr) {
        state.SkipWithError("no Irrlicht null device");
        return;
    }
    scene::ISceneManager* scene = device->getSceneManager();
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::IMesh* cube = scene->getGeometryCreator()->createCubeMesh(core::vector3df(8, 8, 8));
    const long side = static_cast<long>(std::ceil(std::sqrt(static_cast<double>(count))));
    for (long i = 0; i < count; ++i) {
        const auto x = static_cast<f32>((i % side) * 12 - side * 6), z = static_cast<f32>((i / side) * 12 - side * 6);
        scene::IMeshSceneNode* node = scene->addMeshSceneNode(cube, nullptr, -1, core::vector3df(x, 4, z),
                                                              core::vector3df(0, static_cast<f32>((i * 37) % 360), 0));
        node->setMaterialFlag(video::EMF_LIGHTING, true);
    }
    cube->drop();
    scene->addLightSceneNode(nullptr, core::vector3df(300, 600, -400), video::SColorf(1.0f, 0.95f, 0.85f), 100000.0f);
    const auto reach = static_cast<f32>(side * 12);
    scene::ICameraSceneNode* camera = scene->addCameraSceneNode(
        nullptr, core::vector3df(0, reach * 1.5f, -reach * 1.1f), core::vector3df(0, 0, reach * 0.05f));
    camera->setFarValue(reach * 4);  // its default, 3,000, would leave the far cubes out
    for (int i = 0; i < 2; ++i) {    // everything made on first use
        driver->beginScene(true, true, video::SColor(255, 20, 24, 32));
        scene->drawAll();
        driver->endScene();
    }
    for (auto _ : state) {
        driver->beginScene(true, true, video::SColor(255, 20, 24, 32));
        scene->drawAll();
        driver->endScene();
    }
    state.counters["us_per_object"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(count),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::OneK::kIs1000);
    state.counters["drawn_per_frame"] = driver->getPrimitiveCountDrawn() / 12.0;
    device->drop();
}

}  // namespace

BENCHMARK(BM_IrrlichtNullFrame)
    ->ArgName("objects")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
