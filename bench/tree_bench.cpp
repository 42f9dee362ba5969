// Benchmarks of the parameter tree on two shapes of about a million nodes:
//
//   level: _OBJECTS_ { object_000000 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ }
//                                      _OBJECT_PATH_ { objects\box.DR }
//                                      _POSITION_ { x y z } _ROTATION_ { 0 90 0 } } ... }
//          76,923 objects of 13 nodes under one root knot: 1,000,000 nodes.
//   log:   LOG { "[12:345] Loading object ..." { _TEXT_ } ... }
//          500,000 knots holding one param each under one root knot: 1,000,001 nodes.
//
// Each shape is generated once, saved as a tree file and as the equivalent
// compact JSON (TreeJson) into a private folder under the system's temporary
// folder, and loaded back once for the benchmarks that need a ready tree. The
// folder is removed when the program ends.
//
// Loading is compared with RapidJSON reading the same content into its DOM:
// both sides read the file with the same reader (platform::readWholeFile), so
// the difference is the parse and the structure built. The files are hot in
// the page cache after the first run, so "from disk" here means the system
// call and copy cost, not the drive. Both sides also pay for the first touch
// of the memory their structure takes; the Parse_* pairs leave that out, by
// parsing text already in memory into memory already mapped.

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <unistd.h>  // getpid

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "params/dynamic_row.h"
#include "platform/file_io.h"
#include "tree_json.h"

namespace {

namespace fs = std::filesystem;

enum class Shape { Level, Log };

// Megabytes as 10^6 bytes, the larger figure of the two usual meanings.
constexpr double kMB = 1e6;
constexpr std::uint64_t kMaxRead = std::uint64_t{1} << 30;

constexpr unsigned kLevelObjects = 76923;   // 1 + 76,923 * 13 = 1,000,000 nodes
constexpr unsigned kLogLines = 500000;      // 1 + 500,000 * 2 = 1,000,001 nodes
constexpr std::size_t kSpreadNames = 4096;  // a power of two: the index wraps by masking

// A small deterministic generator, so every run benchmarks the same files.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 32);
    }
    unsigned below(unsigned n) { return next() % n; }

private:
    std::uint64_t state_;
};

// The private folder for the generated files; removed with everything in it
// when the program ends.
class TempFolder {
public:
    TempFolder() : path_(fs::temp_directory_path() / ("krovane_tree_bench_" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

const TempFolder& tempFolder() {
    static const TempFolder folder;
    return folder;
}

template <class... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
    return std::string(buffer, n < 0                                         ? 0
                               : static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                             : sizeof buffer - 1);
}

// A coordinate such as "-1234.5", "0" or "87".
std::string coordinate(Random& random) {
    const int whole = static_cast<int>(random.below(10001)) - 5000;
    switch (random.below(3)) {
        case 0:
            return "0";
        case 1:
            return std::to_string(whole);
        default:
            return format("%d.%u", whole, random.below(10));
    }
}

DynamicRow makeLevel() {
    static const char* const kPaths[] = {
        "objects\\box.DR",       "objects\\barrel.DR",    "objects\\crate_big.DR",
        "objects\\lamp_post.DR", "objects\\tree_pine.DR", "objects\\wall_brick_02.DR",
    };
    static const char* const kTypes[] = {"_OBJECT_SIMPLE_", "_OBJECT_SIMPLE_", "_OBJECT_SIMPLE_", "_OBJECT_ANIMATED_"};
    Random random(0x5EED1E7E1ULL);
    DynamicRow tree;
    const unsigned root = tree.AddToId(0, true, std::string_view("_OBJECTS_"));
    for (unsigned i = 0; i < kLevelObjects; ++i) {
        const unsigned object = tree.AddToId(root, true, format("object_%06u", i));
        tree.AddToId(tree.AddToId(object, true, "_OBJECT_TYPE_"), false, kTypes[random.below(4)]);
        tree.AddToId(tree.AddToId(object, true, "_OBJECT_PATH_"), false, kPaths[random.below(6)]);
        const unsigned position = tree.AddToId(object, true, "_POSITION_");
        for (int axis = 0; axis < 3; ++axis) tree.AddToId(position, false, coordinate(random));
        const unsigned rotation = tree.AddToId(object, true, "_ROTATION_");
        tree.AddToId(rotation, false, random.below(8) == 0 ? std::to_string(random.below(360)) : std::string("0"));
        tree.AddToId(rotation, false, std::to_string(random.below(24) * 15));
        tree.AddToId(rotation, false, "0");
    }
    return tree;
}

DynamicRow makeLog() {
    static const char* const kKinds[] = {"_TEXT_", "_TEXT_", "_TEXT_", "_SYSTEM_", "_COMMENT_", "_ERROR_"};
    Random random(0x10C10C10CULL);
    DynamicRow tree;
    const unsigned root = tree.AddToId(0, true, std::string_view("LOG"));
    for (unsigned i = 0; i < kLogLines; ++i) {
        const unsigned ms = i * 7;
        const unsigned seconds = ms / 1000 % 100, millis = ms % 1000;
        std::string line;
        switch (random.below(5)) {
            case 0:
                line = format("[%02u:%03u] Texture textures\\wall_%06u.bmp loaded (256x256)", seconds, millis, i);
                break;
            case 1:
                line =
                    format("[%02u:%03u] Sound sounds\\step_%06u.wav not found, using the default", seconds, millis, i);
                break;
            case 2:
                line = format("[%02u:%03u] Command \"spawn object_%06u\" accepted", seconds, millis, i);
                break;
            default:
                line = format("[%02u:%03u] Loading object objects\\box_%06u.DR finished", seconds, millis, i);
                break;
        }
        tree.AddToId(tree.AddToId(root, true, line), false, kKinds[random.below(6)]);
    }
    return tree;
}

// Everything the benchmarks of one shape share, prepared on first use.
struct ShapeData {
    bool ok = false;
    std::string error;  // why the preparation failed

    fs::path treeFile, jsonFile, saveFile;
    std::uintmax_t treeBytes = 0, jsonBytes = 0;

    DynamicRow loaded;                          // loaded from treeFile; its lookup index is built
    std::unique_ptr<rapidjson::Document> json;  // the JSON file parsed once

    unsigned root = 0;  // the one top-level knot
    // Children of the root looked up by name: one in the middle, the last one,
    // and a name no node carries.
    std::string midName, endName, missName;
    unsigned midId = 0, endId = 0;
    // The last child of the last object or log knot, found under its parent.
    unsigned nestedParent = 0, nestedId = 0;
    std::string nestedName;
    // Children of the root spread over the whole tree, in random order, so that
    // lookups miss the caches the way a busy scene's lookups would.
    std::vector<std::string> spreadNames;
    std::vector<unsigned> spreadIds;
};

void prepare(ShapeData& d, Shape shape) {
    const char* stem = shape == Shape::Level ? "level" : "log";
    const fs::path& folder = tempFolder().path();
    d.treeFile = folder / (std::string(stem) + ".DR");
    d.jsonFile = folder / (std::string(stem) + ".json");
    d.saveFile = folder / (std::string(stem) + ".saved.DR");
    {
        const DynamicRow generated = shape == Shape::Level ? makeLevel() : makeLog();
        if (!generated.saveToPath(d.treeFile)) {
            d.error = "cannot write " + d.treeFile.string();
            return;
        }
        std::string json;
        krovane::tools::TreeJson::write(generated, json, false);
        if (!krovane::platform::writeFileAtomically(d.jsonFile, json)) {
            d.error = "cannot write " + d.jsonFile.string();
            return;
        }
    }
    d.treeBytes = fs::file_size(d.treeFile);
    d.jsonBytes = fs::file_size(d.jsonFile);

    if (!d.loaded.loadFromPath(d.treeFile, stem)) {
        d.error = d.loaded.lastLoadError().describe();
        return;
    }
    std::string content;
    krovane::platform::readWholeFile(d.jsonFile, content, kMaxRead);
    d.json = std::make_unique<rapidjson::Document>();
    d.json->Parse(content.data(), content.size());
    if (d.json->HasParseError()) {
        d.error = "RapidJSON cannot parse " + d.jsonFile.string();
        return;
    }

    // Walk the root's children once to pick the names to look up.
    const DynamicRow& t = d.loaded;
    d.root = t.firstTopLevelId();
    std::vector<unsigned> children;
    for (unsigned c = t.TopId(d.root); c != 0; c = t.NextId(c)) children.push_back(c);
    if (children.empty()) {
        d.error = "the loaded tree has no children under its root";
        return;
    }
    d.midId = children[children.size() / 2];
    d.endId = children.back();
    d.midName = std::string(t.text(d.midId));
    d.endName = std::string(t.text(d.endId));
    d.missName = shape == Shape::Level ? "object_999999" : "[99:999] Loading object objects\\box_999999.DR finished";
    d.nestedParent = d.endId;
    for (unsigned c = t.TopId(d.endId); c != 0; c = t.NextId(c)) d.nestedId = c;
    d.nestedName = std::string(t.text(d.nestedId));
    Random random(0xA11CE5ULL);
    for (std::size_t i = 0; i < kSpreadNames; ++i) {
        const unsigned id = children[random.below(static_cast<unsigned>(children.size()))];
        d.spreadIds.push_back(id);
        d.spreadNames.emplace_back(t.text(id));
    }

    // Builds the index, and checks that every lookup answers what the walk found.
    if (t.iLookId(d.midName) != d.midId || t.iLookId(d.endName) != d.endId || t.iLookId(d.missName) != 0 ||
        t.iLookInFor(d.root, d.midName) != d.midId || t.iLookInFor(d.root, d.endName) != d.endId ||
        t.iLookInFor(d.nestedParent, d.nestedName) != d.nestedId) {
        d.error = "a lookup does not find the node the walk found";
        return;
    }
    for (std::size_t i = 0; i < kSpreadNames; ++i) {
        if (t.iLookId(d.spreadNames[i]) != d.spreadIds[i]) {
            d.error = "a lookup does not find the node the walk found";
            return;
        }
    }
    d.ok = true;
}

const ShapeData& data(Shape shape) {
    static ShapeData level, log;
    static bool levelReady = false, logReady = false;
    ShapeData& d = shape == Shape::Level ? level : log;
    bool& ready = shape == Shape::Level ? levelReady : logReady;
    if (!ready) {
        prepare(d, shape);
        ready = true;
    }
    return d;
}

// The shape's data, or null after marking the benchmark skipped.
const ShapeData* ready(benchmark::State& state, Shape shape) {
    const ShapeData& d = data(shape);
    if (!d.ok) {
        state.SkipWithError(d.error.c_str());
        return nullptr;
    }
    return &d;
}

// ---- Loading ---------------------------------------------------------------

// Reads the tree file and parses it into a new tree.
void BM_Load_DR(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        DynamicRow tree;
        if (!tree.loadFromPath(d->treeFile, "bench")) {
            state.SkipWithError("loading the tree file failed");
            break;
        }
        unsigned nodes = tree.nodeCount();
        benchmark::DoNotOptimize(nodes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->treeBytes));
}

// Reads the JSON file and parses it into a new RapidJSON DOM (strings copied
// into the document): the same work as BM_Load_DR for the same content.
void BM_Load_RapidJSON(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        std::string content;
        krovane::platform::readWholeFile(d->jsonFile, content, kMaxRead);
        rapidjson::Document doc;
        doc.Parse(content.data(), content.size());
        if (doc.HasParseError() || !doc.IsArray()) {
            state.SkipWithError("RapidJSON parse failed");
            break;
        }
        rapidjson::SizeType top = doc.Size();
        benchmark::DoNotOptimize(top);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->jsonBytes));
}

// The same, parsing in place: strings stay in the read buffer, which must then
// live as long as the document. For reference; the tree owns its texts.
void BM_Load_RapidJSON_Insitu(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        std::string content;
        krovane::platform::readWholeFile(d->jsonFile, content, kMaxRead);
        rapidjson::Document doc;
        doc.ParseInsitu(content.data());
        if (doc.HasParseError() || !doc.IsArray()) {
            state.SkipWithError("RapidJSON parse failed");
            break;
        }
        rapidjson::SizeType top = doc.Size();
        benchmark::DoNotOptimize(top);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->jsonBytes));
}

// The parse alone, from text already in memory, into structures whose memory
// is already mapped: the tree is reused (its storage comes back from the pool) and the
// DOM is built in a pool allocated once. This is the processor's share of
// loading, without the first touch of fresh pages, which on some machines
// (virtual ones especially) costs more than the parse itself.
void BM_Parse_DR_ReusedTree(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    std::string content;
    krovane::platform::readWholeFile(d->treeFile, content, kMaxRead);
    DynamicRow tree;
    tree.loadFromText(content, "bench");
    for (auto _ : state) {
        if (!tree.loadFromText(content, "bench")) {
            state.SkipWithError("parsing the tree text failed");
            break;
        }
        unsigned nodes = tree.nodeCount();
        benchmark::DoNotOptimize(nodes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->treeBytes));
}

void BM_Parse_RapidJSON_ReusedPool(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    std::string content;
    krovane::platform::readWholeFile(d->jsonFile, content, kMaxRead);
    // Room for the whole DOM plus the pool's bookkeeping, zeroed so that its
    // pages are mapped before timing starts.
    std::vector<char> buffer(d->json->GetAllocator().Size() + (std::size_t{1} << 20));
    rapidjson::MemoryPoolAllocator<> pool(buffer.data(), buffer.size());
    rapidjson::Document doc(&pool);
    doc.Parse(content.data(), content.size());
    for (auto _ : state) {
        pool.Clear();  // keeps the buffer given above, frees nothing else: nothing else was taken
        doc.Parse(content.data(), content.size());
        if (doc.HasParseError() || !doc.IsArray()) {
            state.SkipWithError("RapidJSON parse failed");
            break;
        }
        rapidjson::SizeType top = doc.Size();
        benchmark::DoNotOptimize(top);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->jsonBytes));
}

// ---- Saving ----------------------------------------------------------------

// Writes the tree file: text, temporary file, fsync, rename.
void BM_Save_DR(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        if (!d->loaded.saveToPath(d->saveFile)) {
            state.SkipWithError("saving the tree file failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->treeBytes));
}

// Only the text, into memory, with the room reserved as saving does: the
// difference to BM_Save_DR is the cost of the disk.
void BM_Serialize_DR(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        std::string out;
        out.reserve(static_cast<std::size_t>(d->treeBytes));
        d->loaded.writeText(out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->treeBytes));
}

// RapidJSON writing its DOM of the same content as compact JSON, for reference.
void BM_Serialize_RapidJSON(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        d->json->Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(d->jsonBytes));
}

// ---- Memory ----------------------------------------------------------------

// Loads the tree file once and reports the bytes the tree holds right after
// loading and after the first lookup built its indexes, next to the file sizes
// and the bytes RapidJSON's DOM holds for the same content. All in MB (10^6).
void BM_Memory(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    double afterLoad = 0, afterIndex = 0, nodes = 0;
    for (auto _ : state) {
        DynamicRow tree;
        if (!tree.loadFromPath(d->treeFile, "bench")) {
            state.SkipWithError("loading the tree file failed");
            break;
        }
        afterLoad = static_cast<double>(tree.memoryBytes());
        unsigned id = tree.iLookId(d->midName);
        benchmark::DoNotOptimize(id);
        afterIndex = static_cast<double>(tree.memoryBytes());
        nodes = tree.nodeCount();
    }
    std::string content;
    krovane::platform::readWholeFile(d->jsonFile, content, kMaxRead);
    rapidjson::Document doc;
    doc.Parse(content.data(), content.size());
    const double jsonDom = static_cast<double>(doc.GetAllocator().Capacity());

    state.counters["nodes"] = benchmark::Counter(nodes);
    state.counters["tree_MB"] = benchmark::Counter(afterLoad / kMB);
    state.counters["tree+index_MB"] = benchmark::Counter(afterIndex / kMB);
    state.counters["DR_file_MB"] = benchmark::Counter(static_cast<double>(d->treeBytes) / kMB);
    state.counters["JSON_file_MB"] = benchmark::Counter(static_cast<double>(d->jsonBytes) / kMB);
    state.counters["JSON_DOM_MB"] = benchmark::Counter(jsonDom / kMB);
}

// ---- Lookups ---------------------------------------------------------------

// The first lookup on a tree without an index, which builds the indexes over
// every node. Only the lookup is timed; the tree is a fresh copy of the loaded
// one each time (a copy does not carry the index).
void BM_FirstLookupBuildsIndex(benchmark::State& state, Shape shape) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    for (auto _ : state) {
        const DynamicRow tree(d->loaded);
        const auto start = std::chrono::steady_clock::now();
        unsigned id = tree.iLookId(d->midName);
        const auto stop = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(id);
        if (id != d->midId) {
            state.SkipWithError("the first lookup found the wrong node");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
}

enum class Where { Mid, End, Nested, Miss, Spread };

// iLookId on the loaded tree, its index built: one lookup per iteration.
void BM_LookId(benchmark::State& state, Shape shape, Where where) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    const DynamicRow& tree = d->loaded;
    if (where == Where::Spread) {
        std::size_t i = 0;
        for (auto _ : state) {
            unsigned id = tree.iLookId(d->spreadNames[i]);
            benchmark::DoNotOptimize(id);
            i = (i + 1) & (kSpreadNames - 1);
        }
        return;
    }
    const std::string& text = where == Where::Mid ? d->midName : where == Where::End ? d->endName : d->missName;
    const std::string_view name = text;
    for (auto _ : state) {
        unsigned id = tree.iLookId(name);
        benchmark::DoNotOptimize(id);
    }
}

// iLookInFor on the loaded tree, its index built: one lookup per iteration,
// among the root's children, or (Nested) among the last object's children.
void BM_LookInFor(benchmark::State& state, Shape shape, Where where) {
    const ShapeData* d = ready(state, shape);
    if (!d) return;
    const DynamicRow& tree = d->loaded;
    if (where == Where::Spread) {
        std::size_t i = 0;
        for (auto _ : state) {
            unsigned id = tree.iLookInFor(d->root, d->spreadNames[i]);
            benchmark::DoNotOptimize(id);
            i = (i + 1) & (kSpreadNames - 1);
        }
        return;
    }
    const unsigned parent = where == Where::Nested ? d->nestedParent : d->root;
    const std::string& text = where == Where::Mid      ? d->midName
                              : where == Where::End    ? d->endName
                              : where == Where::Nested ? d->nestedName
                                                       : d->missName;
    const std::string_view name = text;
    for (auto _ : state) {
        unsigned id = tree.iLookInFor(parent, name);
        benchmark::DoNotOptimize(id);
    }
}

}  // namespace

// Loading: the tree file against RapidJSON's DOM of the same content, then
// the parse alone into memory already mapped.
BENCHMARK_CAPTURE(BM_Load_DR, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load_RapidJSON, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load_RapidJSON_Insitu, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load_DR, log, Shape::Log)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load_RapidJSON, log, Shape::Log)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load_RapidJSON_Insitu, log, Shape::Log)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse_DR_ReusedTree, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse_RapidJSON_ReusedPool, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse_DR_ReusedTree, log, Shape::Log)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Parse_RapidJSON_ReusedPool, log, Shape::Log)->Unit(benchmark::kMillisecond);

// Saving: to disk, to memory only, and RapidJSON writing the same content.
BENCHMARK_CAPTURE(BM_Save_DR, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Serialize_DR, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Serialize_RapidJSON, level, Shape::Level)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save_DR, log, Shape::Log)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Serialize_DR, log, Shape::Log)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Serialize_RapidJSON, log, Shape::Log)->Unit(benchmark::kMillisecond);

// Memory, once per shape.
BENCHMARK_CAPTURE(BM_Memory, level, Shape::Level)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_Memory, log, Shape::Log)->Unit(benchmark::kMillisecond)->Iterations(1);

// Building the indexes on the first lookup, a few times per shape.
BENCHMARK_CAPTURE(BM_FirstLookupBuildsIndex, level, Shape::Level)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_FirstLookupBuildsIndex, log, Shape::Log)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// Lookups with the indexes built, in nanoseconds per lookup.
BENCHMARK_CAPTURE(BM_LookId, level_mid, Shape::Level, Where::Mid);
BENCHMARK_CAPTURE(BM_LookId, level_end, Shape::Level, Where::End);
BENCHMARK_CAPTURE(BM_LookId, level_miss, Shape::Level, Where::Miss);
BENCHMARK_CAPTURE(BM_LookId, level_spread, Shape::Level, Where::Spread);
BENCHMARK_CAPTURE(BM_LookId, log_mid, Shape::Log, Where::Mid);
BENCHMARK_CAPTURE(BM_LookId, log_end, Shape::Log, Where::End);
BENCHMARK_CAPTURE(BM_LookId, log_miss, Shape::Log, Where::Miss);
BENCHMARK_CAPTURE(BM_LookId, log_spread, Shape::Log, Where::Spread);
BENCHMARK_CAPTURE(BM_LookInFor, level_mid, Shape::Level, Where::Mid);
BENCHMARK_CAPTURE(BM_LookInFor, level_end, Shape::Level, Where::End);
BENCHMARK_CAPTURE(BM_LookInFor, level_nested, Shape::Level, Where::Nested);
BENCHMARK_CAPTURE(BM_LookInFor, level_miss, Shape::Level, Where::Miss);
BENCHMARK_CAPTURE(BM_LookInFor, level_spread, Shape::Level, Where::Spread);
BENCHMARK_CAPTURE(BM_LookInFor, log_mid, Shape::Log, Where::Mid);
BENCHMARK_CAPTURE(BM_LookInFor, log_end, Shape::Log, Where::End);
BENCHMARK_CAPTURE(BM_LookInFor, log_nested, Shape::Log, Where::Nested);
BENCHMARK_CAPTURE(BM_LookInFor, log_miss, Shape::Log, Where::Miss);
BENCHMARK_CAPTURE(BM_LookInFor, log_spread, Shape::Log, Where::Spread);
