// The engine on the recording device: a start's log in order, bad files, shutdown saving the log once; ini.txt and
// the settings read from it before the window opens; the main loop's passes and input routing, a level's and model
// mode's; the frame rate.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../fake_input.h"
#include "../level_files.h"
#include "../logged_lines.h"
#include "../params/tree_text.h"
#include "../temp_dir.h"
#include "app/level_warnings.h"
#include "app/main_loop.h"
#include "app/model_view.h"
#include "app/screen_size.h"
#include "gfx/recording_device.h"
#include "params/korvane_c_ini_reader.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/virtual_keys.h"

using namespace krovane::app;

namespace {

using namespace krovane::platform;
using krovane::test::LoggedLine;
using krovane::test::writeFile;
using Type = WindowEvent::Type;

struct Engine : ::testing::Test {
    krovane::test::TempDir dir;
    Krovane engine;
    krovane::gfx::Ref<krovane::gfx::RecordingDevice> device = krovane::gfx::RecordingDevice::create();
    krovane::test::FakeInput input;

    Engine() {
        Clock::setManualTicks(1000);
        writeLevel();
    }
    // A level of one object, one light, one camera and the shipped effect, in the working directory.
    static void writeLevel(
        std::string_view objectKeys = R"(_OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\box.DR })") {
        krovane::test::writeRendererFiles();
        writeFile("objects/box.DR", "_FX_ { vek_Phong }");
        writeFile("POLYGON01", R"(_LIGHTS_ { sun { _POSITION_ { 0 50 -50 } } }
_OBJECTS_ { box { )" + std::string(objectKeys) +
                                   R"( _POSITION_ { 0 0 0 } } }
_CAMERAS_ { main { _POSITION_ { 0 2 -10 } _LOOK_ { 0 0 0 } } }
_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\vek_Phong.fx } _FILE_ { none } } })");
    }
    ~Engine() override { Clock::useRealTime(); }
    void start() { engine.Initialize(device); }
    std::vector<LoggedLine> lines() { return krovane::test::loggedMessages(*engine.console()); }
    // A frame's input `ms` later, as the main loop routes it.
    void frameAfter(std::uint32_t ms, bool leftButtonDown = false) {
        Clock::advanceTicks(ms);
        MainLoop::routeInput(engine.console(), *engine.cameraManager(), input, static_cast<float>(ms), leftButtonDown);
    }
};

TEST_F(Engine, AStartLogsEachStageInOrder) {
    const std::vector<LoggedLine> full = {
        {"[>>>] Initializing rendering manager : ", "_SYSTEM_"},
        {"Rendering manager inicialized with 0 errors.", "_COMMENT_"}, {"[>>>] Loading level : POLYGON01", "_SYSTEM_"},
        {"[>>>] Loading Lights : ", "_SYSTEM_"}, {"[+] Light:  sun", "_TEXT_"},
        {"Light Manager setup completed with 1 lights.", "_COMMENT_"},
        {"[i] Light Manager setup completed. ", "_COMMENT_"}, {"[>>>] Loading Objects : ", "_SYSTEM_"},
        {"[O.F.] objects\\box.DR", "_TEXT_"},
        {"Object Manager setup completed with 0 errors and 1 objects.", "_COMMENT_"},
        {"[>>>] Loading cameras : ", "_SYSTEM_"}, {"[+] Camera:  main", "_TEXT_"},
        {"[i] Camera Manager setup completed. ", "_COMMENT_"}, {"[>>>] Loading effects : ", "_SYSTEM_"},
        {"[+] Effect:  vek_Phong", "_TEXT_"}, {"Effect Manager setup completed with 1 Effects.", "_COMMENT_"},
        {"[i] Effect Manager setup completed. ", "_COMMENT_"}};
    start();
    EXPECT_EQ(lines(), full);
}

// Each broken input: the Error lines of the start's log (its failure line, then why; in the order read, a missing
// default texture said again at the end), and the warnings of a level check where the log says nothing. (The
// reasons a model, a tree or an object file gives, and a model's failure line, are the formats and scene tests'.)
TEST_F(Engine, EachBrokenInputSaysWhyAfterItsFailureLine) {
    const auto level = [](const char* keys) { return [keys] { writeLevel(keys); }; };
    const std::string corrupted = "[!] Object File is corrupted and parameters are not loaded!",
                      missedRed = "missed: textures\\_def\\red.bmp";
    const std::string noTechnique =
        "Warning: the effect vek_Phong (fx\\vek_Phong.fx) has no technique "
        "vek_Phong_alpha, which draws the lights after the first";
    const struct {
        const char* what;
        std::function<void()> breakIt;
        std::vector<std::string> said;
    } cases[] = {
        {"tree: missing key", level("_OBJECT_TYPE_ { _OBJECT_SIMPLE_ }"), {corrupted, "box: no _OBJECT_PATH_"}},
        {"tree: misspelt key",
         level(R"(_OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH { objects\box.DR })"),
         {corrupted, "box: no _OBJECT_PATH_ (found _OBJECT_PATH)"}},
        {"tree: misspelt type",
         level(R"(_OBJECT_TYPE { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\box.DR })"),
         {"Warning: box: no _OBJECT_TYPE_ (found _OBJECT_TYPE): the entry is skipped"}},
        {"effect: does not parse",
         [] { writeFile("fx/vek_Phong.fx", "vertex V { }\nfragment F { }\ntechnique T { pass P { } }\n"); },
         {"missed:  fx\\vek_Phong.fx", "fx\\vek_Phong.fx(3): the pass names no vertex stage", "fx\\vek_Phong.fx",
          "fx\\vek_Phong.fx(3): the pass names no vertex stage",
          "Warning: objects\\box.DR names the effect vek_Phong, which the level does not load: it is drawn without "
          "it"}},
        {"effect: missing technique",
         [] {
             std::string fx;
             krovane::platform::readWholeFile("fx/vek_Phong.fx", fx, 1 << 20);
             writeFile("fx/vek_Phong.fx", fx.replace(fx.find("technique vek_Phong_alpha"), 25, "technique other"));
         },
         {noTechnique}},
        {"object file: unreadable (a folder)",
         [] {
             std::filesystem::remove("objects/box.DR");
             std::filesystem::create_directory("objects/box.DR");
         },
         {corrupted, "cannot be read"}},
        {"level file: missing", [] { std::filesystem::remove("POLYGON01"); }, {"POLYGON01: no such file"}},
        {"command base and level malformed, a default texture missing",
         [] {
             writeFile("POLYGON01", "_LIGHTS_ {\n  sun { _POSITION_ { 1 2 3 }\n");
             writeFile("GlobalCommandBase.DR", "_COMMANDS_ { \"open\n");
             std::filesystem::remove("textures/_def/red.bmp");
         },
         {"GlobalCommandBase.DR:1:14: quoted text is never closed", missedRed, "POLYGON01:2:7: '{' is never closed",
          missedRed}},
    };
    for (const auto& c : cases) {
        krovane::test::TempDir row;
        writeLevel();
        c.breakIt();
        Krovane broken;
        broken.Initialize(krovane::gfx::RecordingDevice::create());
        std::vector<std::string> said;
        for (const LoggedLine& line : krovane::test::loggedMessages(*broken.console()))
            if (line.type == "_ERROR_") said.push_back(line.text);
        for (const std::string& warning : levelWarnings(broken)) said.push_back(warning);
        EXPECT_EQ(said, c.said) << c.what;
    }
}

TEST_F(Engine, ClosingShutsDownOnceAndSavesTheLog) {
    start();
    const std::size_t count = lines().size();
    MainLoop(engine).handleEvent(WindowEvent{Type::Close});
    EXPECT_TRUE(engine.device() == nullptr && engine.console() == nullptr && engine.renderManager() == nullptr);
    DynamicRow saved;
    ASSERT_TRUE(saved.iLoadFromFile("LOG.dr"));
    EXPECT_EQ(saved.iCountKnots(1), count + 1);      // the header and every line
    ASSERT_TRUE(std::filesystem::remove("LOG.dr"));  // by that name
    engine.Shutdown();                               // after the loop, and at exit: nothing left to do
    EXPECT_FALSE(std::filesystem::exists("LOG.dr"));
}

TEST_F(Engine, KeyPressesShiftThePacingMarkButClicksAndPrintScreenDoNot) {
    start();
    MainLoop loop(engine);
    const std::uint32_t mark = engine.console()->toggleTimer().mark;
    device->clearCalls();
    loop.handleEvent(WindowEvent{Type::LeftButtonDown});
    const bool down = loop.leftButtonDown();
    loop.handleEvent(WindowEvent{Type::LeftButtonUp});
    EXPECT_TRUE(down && !loop.leftButtonDown());
    loop.handleEvent(WindowEvent{Type::KeyDown, 0, 0, 'A'});
    EXPECT_TRUE(device->calls().empty());  // an event pass draws nothing
    input.press('A');
    input.press('A');  // its repeat shifts again, at the next frame
    frameAfter(0);
    EXPECT_EQ(engine.console()->toggleTimer().mark, mark + 2 * Krovane_Console::kKeyPressShift);

    Clock::setManualUtc({2026, 12, 7, 3, 5, 12});
    const std::size_t count = lines().size();
    MainLoop typing(engine, &input);
    for (const std::uint8_t key : {kVkSnapshot, kVkF12})
        for (const bool repeat : {false, true}) {
            typing.handleEvent(WindowEvent{Type::KeyDown, 0, 0, key, repeat});
            input.press(key);
            typing.idlePass();
        }
    // F12 is a key like any other, repeats included (two shifts more); Print Screen alone is none.
    EXPECT_EQ(engine.console()->toggleTimer().mark, mark + 4 * Krovane_Console::kKeyPressShift);
    ASSERT_EQ(lines().size(), count + 2);  // a picture a press, none a repeat; the recording device keeps none
    EXPECT_EQ(lines().back(), (LoggedLine{"Picture not saved: shot_2026-12-07_03-05-12.png", "_ERROR_"}));
}

// A picture that takes half a second to write.
struct SlowPictureLoop : MainLoop {
    using MainLoop::MainLoop;
    void takePicture() override { Clock::advanceTicks(500); }
};

TEST_F(Engine, WritingAPictureDoesNotMoveTheCamera) {
    start();
    SlowPictureLoop loop(engine, &input);
    input.hold({'W'});
    const auto step = [&](bool picture) {  // how far a frame with W held moves the camera
        const float z = engine.cameraManager()->CurrentCamera()->position.z;
        if (picture) loop.handleEvent(WindowEvent{Type::KeyDown, 0, 0, kVkF12});
        loop.idlePass();
        return engine.cameraManager()->CurrentCamera()->position.z - z;
    };
    const float plain = step(false);
    EXPECT_FLOAT_EQ(step(true), plain);
}

// A frame's keyboard and cursor go to the console while it has them, else to the camera.
TEST_F(Engine, TheShownConsoleKeepsKeysAndMouse) {
    start();
    const Krovane_Camera before = *engine.cameraManager()->CurrentCamera();
    engine.console()->setVisible(true);
    input.hold({'W', kVkTab});
    input.x = 700, input.y = 208;  // over the clock box
    frameAfter(1000, true);
    const Krovane_Camera& after = *engine.cameraManager()->CurrentCamera();
    EXPECT_EQ((std::vector<float>{after.position.z, after.look.x, engine.cameraManager()->mouseX}),
              (std::vector<float>{before.position.z, before.look.x, 0}));
    EXPECT_EQ(engine.console()->clockBox().backColor(), 0xFF5B5B5Bu);  // the cursor reached the console as a move
}

TEST_F(Engine, TheConsoleKeyOpensOnAPressAndClosesOnTheNext) {
    std::filesystem::remove("POLYGON01");  // without a level, so without cameras, too
    start();
    Krovane_Console& console = *engine.console();
    // A frame `ms` later with `keys` held, after a key press if `pressed`; says whether the console shows.
    const auto frame = [&](std::initializer_list<std::uint8_t> keys, bool pressed, std::uint32_t ms) {
        input.hold(keys);
        if (pressed) console.keyPressed();
        frameAfter(ms);
        return console.visible();
    };
    EXPECT_TRUE(frame({kVkOem3}, true, 16));
    EXPECT_TRUE(frame({kVkOem3, 'W'}, false, 1000));  // held: the console keeps the keyboard until the pacing check
    EXPECT_FALSE(frame({kVkOem3}, false, 608));       // 1608 ms after opening
    EXPECT_EQ(console.inputBox().text, "");           // the letter waited for the repeat timer too
    for (int i = 0; i < 100; ++i) frame({kVkOem3}, false, 100);
    EXPECT_FALSE(console.visible());  // held on while hidden, it does not open again: every frame resets the timer
    EXPECT_TRUE(frame({kVkOem3}, true, 16));
    EXPECT_FALSE(frame({kVkOem3}, true, 16));  // pressed again: closes on the next frame
}

// Presses between two frames of 100 ms, each taken with the keyboard as it was at that press, in order.
TEST_F(Engine, EveryKeyPressBetweenTwoFramesIsTyped) {
    start();
    Krovane_Console& console = *engine.console();
    console.setVisible(true);
    input.clipboard = "paste";
    using Press = std::pair<std::uint8_t, std::vector<std::uint8_t>>;  // the key, and the others then down
    struct Case {
        std::vector<Press> presses;
        std::vector<std::uint8_t> heldAtFrame;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {{{'C', {}}, {'A', {}}, {'M', {}}, {kVkSpace, {}}, {'1', {kVkLShift}}, {'X', {kVkRShift}}}, {}, "", "cam !x"},
        {{{'A', {}}, {'B', {'A'}}, {'C', {'A'}}}, {}, "", "abc"},  // typed while A is still held
        {{{'A', {}}, {'A', {}}, {'A', {}}}, {'A'}, "", "aaa"},    // a held key's repeats, and no more
        {{{kVkReturn, {}}, {'Q', {}}}, {}, "obj_mngr show.list", "q"},
        {{{kVkInsert, {kVkLShift, 'A'}}}, {}, "", "paste"},  // the press of Insert is the paste
        {{{kVkF12, {}}, {kVkSnapshot, {'A'}}}, {}, "", ""},    // Print Screen is no key press
    };
    for (const Case& c : cases) {
        console.inputBox().text = c.before;
        for (const auto& [key, held] : c.presses) input.press(key, held);
        input.hold(c.heldAtFrame);
        frameAfter(100);
        EXPECT_EQ(console.inputBox().text, c.after) << c.before << " -> " << c.after;
        EXPECT_TRUE(input.keyPresses().empty());
        frameAfter(100);  // the frame after, with no press between, adds nothing
        EXPECT_EQ(console.inputBox().text, c.after) << c.before << " -> " << c.after;
    }
    engine.commandQueue()->ProcessCommands();  // the line Enter handed over, whole
    EXPECT_EQ(lines().back(), (LoggedLine{"id:1  visible:1  file:objects\\box.DR", "_SYSTEM_"}));
}

TEST_F(Engine, TabTapsShorterThanAFrameEachStepTheCameraAndTheConsoleKeyActsOnceAFrame) {
    writeFile("POLYGON01", "_CAMERAS_ { a { _LOOK_ { 0 0 1 } } b c }");
    start();
    Krovane_Camera_Manager& cameras = *engine.cameraManager();
    Krovane_Console& console = *engine.console();
    // Taps 400 ms apart, each in a frame of its own; then two within one frame, 360 ms apart.
    std::vector<int> seen;
    for (const int taps : {1, 1, 1, 2}) {
        for (int tap = 0; tap < taps; ++tap) input.press(kVkTab);
        frameAfter(400);
        seen.push_back(cameras.CurrentNumber());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 1, 2}));

    // Tab held, its repeats arriving as presses: still one step per 360 ms, sampled by 100 ms frames.
    input.hold({kVkTab});
    seen.clear();
    for (int frame = 0; frame < 12; ++frame) {
        input.press(kVkTab);
        frameAfter(100);
        seen.push_back(cameras.CurrentNumber());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 2, 2, 3, 3, 3, 3, 1, 1, 1, 1, 2}));
    input.hold({});
    // The console key twice in one frame opens the console once; a letter after it in that frame is typed.
    input.press(kVkOem3);
    input.press(kVkOem3);
    input.press('K', {kVkOem3});
    frameAfter(100);
    EXPECT_TRUE(console.visible());
    EXPECT_EQ(console.inputBox().text, "k");
}

// Model mode through the loop, each step after the last: a left drag turns, a right drag pans, the wheel zooms, a
// resize takes the window's aspect, F frames again, Tab shows the front; nothing of it while the console is shown,
// and no jump after; Escape closes.
TEST_F(Engine, ModelModeDrivesTheOrbitWhileTheConsoleIsHidden) {
    start();  // its object has no model: the orbit is about the sphere a model level brings models into
    ModelView view;
    view.start(engine, 800, 600);
    MainLoop loop(engine, &input);
    loop.showModel(&view);
    const krovane::scene::OrbitControl& orbit = view.orbit();
    const auto event = [&](Type type, int x, int y, int wheel) {
        WindowEvent e{type, x, y};
        e.wheel = wheel;
        loop.handleEvent(e);
    };
    // The cube's framed distances: in the first view at 4:3; at 1:2 from yaw 25, pitch 30 and from the front.
    const float framed = 288.097f, turned = 479.085f, front = 378.320f;
    const float panned = 60 * 2 * framed * std::tan(0.3926991f) / 600;  // 60 pixels at the target
    const struct {
        const char* what;
        std::function<void()> act;
        float yaw, pitch, distance, offCentre, aspect;
    } rows[] = {
        {"the first view", [] {}, 35, 25, framed, 0, 4 / 3.0f},
        {"left drag", [&] { input.buttons = kLeftButton, input.x += 30, input.y += 15; }, 25, 30, framed, 0, 4 / 3.0f},
        {"right drag", [&] { input.buttons = kRightButton, input.x += 60; }, 25, 30, framed, panned, 4 / 3.0f},
        {"wheel", [&] { input.buttons = 0, event(Type::Wheel, 0, 0, 1); }, 25, 30, framed * 0.8f, panned, 4 / 3.0f},
        {"resize", [&] { event(Type::Resized, 300, 600, 0); }, 25, 30, framed * 0.8f, panned, 0.5f},
        {"F", [&] { input.press(kVkF); }, 25, 30, turned, 0, 0.5f},
        {"Tab", [&] { input.press(kVkTab); }, 0, 0, front, 0, 0.5f},
        {"console shown",
         [&] {
             engine.console()->setVisible(true);
             for (const std::uint8_t key : {kVkTab, kVkHome, kVkEscape}) input.press(key);
             input.hold({'W'});
             input.buttons = kLeftButton, input.x += 90;
             event(Type::Wheel, 0, 0, 3);
         },
         0, 0, front, 0, 0.5f},
        {"console hidden", [&] { engine.console()->setVisible(false), input.hold({}), input.x += 90; }, 0, 0, front, 0,
         0.5f},
    };
    for (const auto& row : rows) {
        row.act();
        const float eye = orbit.eye().x;  // the frame draws from the orbit as it is, then takes the input
        loop.idlePass();
        const krovane::gfx::Vector3 t = orbit.target();
        EXPECT_NEAR(orbit.yaw(), row.yaw, 1e-3f) << row.what;
        EXPECT_NEAR(orbit.pitch(), row.pitch, 1e-3f) << row.what;
        EXPECT_NEAR(orbit.distance(), row.distance, 0.05f) << row.what;
        EXPECT_NEAR(std::sqrt(t.x * t.x + t.y * t.y + t.z * t.z), row.offCentre, 1e-3f) << row.what;
        const Krovane_Camera& camera = *engine.cameraManager()->CurrentCamera();
        EXPECT_EQ(camera.aspect, row.aspect) << row.what;
        EXPECT_EQ(camera.position.x, eye) << row.what;
    }
    // Keys held for 200 ms: W takes the distance to 2^-0.2 of it, A moves the target left by a tenth of it.
    input.hold({'W', 'A'});
    view.keysHeld(input, 200);
    EXPECT_NEAR(orbit.distance(), front * 0.870551f, 0.05f);
    EXPECT_NEAR(orbit.target().x, -front / 10, 0.05f);  // the front view: the viewer's left is -x
    input.press(kVkEscape);
    loop.idlePass();
    EXPECT_TRUE(engine.console() == nullptr);  // closed: shut down
}

DynamicRow config(const std::string& text) {
    DynamicRow tree;
    Korvane_cIniReader::readSettings(text, tree, tree.AddToId(0, true, Korvane_cIniReader::kRootName.view()));
    return tree;
}

TEST(StartupSettings, LoadIniParametersSavesTheCopyWhenItsFolderExists) {
    krovane::test::TempDir dir;
    const std::string root(Korvane_cIniReader::kRootName.view());  // its text is the reader's test's
    writeFile("ini.txt", "SCREEN = 800, 600\n");
    EXPECT_EQ(krovane::test::shape(Krovane::LoadIniParameters("ini.txt")), root + "{SCREEN{800|600}}");
    EXPECT_FALSE(std::filesystem::exists("paramLoom2.0"));  // no folder: no copy, no complaint
    std::filesystem::create_directory("paramLoom2.0");
    Krovane::LoadIniParameters("ini.txt");
    DynamicRow copy;
    ASSERT_TRUE(copy.iLoadFromFile(Korvane_string("paramLoom2.0\\loaded_parameters")));
    EXPECT_EQ(krovane::test::shape(copy), root + "{SCREEN{800|600}}");
}

TEST(StartupSettings, ScreenSizeAndRenderSettingsTakeOnlyTheRightCountsAndValues) {
    // "wide, tall" is taken as it is.
    const std::tuple<const char*, int, int> screens[] = {
        {"", 640, 480},         {"SCREEN = 1024, 768", 1024, 768},  {"SCREEN = 800", 800, 100},
        {"SCREEN =", 640, 480}, {"SCREEN = 800, 600, 5", 800, 600}, {"SCREEN = wide, tall", 0, 0}};
    for (const auto& [text, w, h] : screens) {
        const ScreenSize size = ScreenSize::fromConfig(config(text));
        EXPECT_EQ(std::pair(size.width, size.height), std::pair(w, h)) << text;
    }
    // Back colour, multisample type, fill mode, antialias, anisotropy, multisampling in software; a colour takes the
    // low 8 bits of each value, the multisample type the low 16 (the device judges it), a wrong count or value nothing.
    const std::vector<std::pair<const char*, std::vector<std::uint32_t>>> cases = {
        {"", {0xFF6482AA, 0, 3, 0, 1, 1}},
        {"BACK_RENDERER_COLOR = 255, 0, 0\nMULTISAMPLE_TYPE = 4\nFILLMODE = 2\nANISOTROPY = 8\nMULTISAMPLE_SOFTWARE = 0",
         {0x01FF0000, 4, 2, 0, 8, 0}},
        {"MULTISAMPLEANTIALIAS = 1", {0xFF6482AA, 0, 3, 1, 1, 1}},
        {"BACK_RENDERER_COLOR = 300, 2, 3\nFILLMODE = 1\nANISOTROPY = 0", {0x012C0203, 0, 1, 0, 1, 1}},
        {"BACK_RENDERER_COLOR = 1, 2, 3, 4\nFILLMODE = 0\nMULTISAMPLEANTIALIAS = 2", {0xFF6482AA, 0, 3, 0, 1, 1}},
        {"BACK_RENDERER_COLOR = 1, 2\nFILLMODE = 4\nANISOTROPY = 4, 2\nMULTISAMPLE_SOFTWARE = 2",
         {0xFF6482AA, 0, 3, 0, 1, 1}},
        {"FILLMODE = 1, 2\nMULTISAMPLE_TYPE = 65537", {0xFF6482AA, 1, 3, 0, 1, 1}}};
    Krovane::Settings read;
    const auto settings = [&] {
        return std::vector<std::uint32_t>{read.backColor,     read.multisampleType,      read.fillMode,
                                          read.multisampleAntialias, read.maxAnisotropy, read.multisampleInSoftware};
    };
    EXPECT_EQ(settings(), cases[0].second);  // the defaults, before anything is read
    for (const auto& [text, expected] : cases) {
        const DynamicRow c = config(text);
        Krovane::ReadRenderSettings(&c, read);
        EXPECT_EQ(settings(), expected) << text;
        // The device's filters start anisotropic, of degree 1 (trilinear) unless more is asked.
        const krovane::gfx::Ref<krovane::gfx::RecordingDevice> device = krovane::gfx::RecordingDevice::create();
        Krovane::setFixedStates(*device, read);
        using krovane::gfx::SamplerState;
        for (const SamplerState s : {SamplerState::MinFilter, SamplerState::MagFilter, SamplerState::MipFilter})
            EXPECT_EQ(device->samplerState(0, s), krovane::gfx::kFilterAnisotropic);
        EXPECT_EQ(device->samplerState(0, SamplerState::MaxAnisotropy), expected[4]) << text;
    }
}

TEST(FrameRate, RefreshedAfterASecondByWholeSeconds) {
    Clock::setManualTicks(10);
    FrameRateCounter rate;
    rate.Reset();
    // Not after 1000 ms; after 1999 ms 150 passes in whole seconds show 150, not 75.
    for (const auto& [frames, ms, shown] : {std::tuple{150, 1000u, 0u}, {0, 999u, 150u}, {90, 3001u, 30u}}) {
        for (int i = 0; i < frames; ++i) rate.countFrame();
        Clock::advanceTicks(ms);
        rate.update();
        EXPECT_EQ(rate.shown(), shown) << ms;
    }
    Clock::useRealTime();
}

}  // namespace
