#include "tests/support/test_util.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "collada/document.h"
#include "core/str.h"
#include "gltf/gltf_writer.h"
#include "import/dae_scene.h"
#include "import/gltf_import.h"
#include "model/check_model.h"
#include "model/joints.h"
#include "model/read_model.h"
#include "sample/sample_model.h"
#include "scene/check_scene.h"
#include "scene/layout.h"
#include "scene/model_from_scene.h"
#include "scene/scene_equal.h"
#include "scene/scene_texts.h"

namespace fs = std::filesystem;

namespace {

// Every scene a test builds in its own process is checked against the
// scene's invariants right after the build.
// It is also laid out both ways (scene/layout.h): it must be in one of them
// already, and each layout turned into the other must give that other.
Scene LaidOut(const Scene& scene, bool deduplicate) {
    Scene copy = scene;
    SceneOptions options;
    options.deduplicate = deduplicate;
    SetVertexLayout(copy, options);
    return copy;
}

// The scene laid out as the DAE takes it, written and read back: the scene
// read is the scene written, and written again it gives the same document
// and maps byte for byte.
void CheckDaeRoundTrip(const Scene& built) {
    TempFolder first, second;
    DaeOptions options;
    const Scene scene = LaidOut(built, true);
    // A DAE holds UTF-8 text: a byte that is not comes back as its
    // Windows-1252 character (as from glTF).
    Scene expected = scene;
    ForEachSceneText(expected, [](const char*, size_t, size_t, std::string& text) { text = ToUtf8(text); });
    const std::string one = first.File("m.dae"), two = second.File("m.dae");
    if (!WriteDocument(scene, one.c_str(), options)) return;  // a failed save is the test's own concern
    ReadFailure failure;
    const std::unique_ptr<Scene> read = ImportDae(one, failure);
    if (!read) {
        ADD_FAILURE() << "DAE read back: " << failure.Text();
        return;
    }
    const std::string difference = SceneDifference(expected, *read);
    if (!difference.empty()) ADD_FAILURE() << "DAE read back: " << difference;
    if (!WriteDocument(*read, two.c_str(), options)) return;
    for (const auto& entry : fs::directory_iterator(first.Path())) {
        const std::string name = entry.path().filename().string();
        const Bytes a = ReadBytes(entry.path().string()), b = ReadBytes(second.File(name));
        if (a == b) continue;
        // The line where they part.
        size_t at = size_t(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
        const size_t start = std::string(a.begin(), a.begin() + ptrdiff_t(at)).rfind('\n') + 1;
        auto line = [start](const Bytes& bytes) {
            const std::string text(bytes.begin() + ptrdiff_t(std::min(start, bytes.size())), bytes.end());
            return text.substr(0, std::min<size_t>(text.find('\n'), 200));
        };
        ADD_FAILURE() << "DAE written from its own reading differs: " << name << "\n  " << line(a) << "\n  " << line(b);
    }
}

// True when every name of the scene is UTF-8 already (glTF holds UTF-8: a
// byte that is not comes back as its Windows-1252 character).
bool Utf8Names(const Scene& scene) {
    auto plain = [](const std::string& text) { return ToUtf8(text) == text; };
    bool all = true;
    for (const SceneNode& n : scene.nodes) all = all && plain(n.name);
    for (const SceneMesh& m : scene.meshes) all = all && plain(m.name);
    for (const SceneMaterial& m : scene.materials) all = all && plain(m.name);
    for (const SceneImage& i : scene.images) all = all && plain(i.key) && plain(i.stem);
    for (const SceneCurve& c : scene.curves)
        all = all && plain(c.data.name.value) && plain(c.joint) && plain(c.targetName);
    for (const SceneClip& c : scene.clips) {
        all = all && plain(c.name);
        for (const SceneTrack& t : c.tracks) all = all && plain(t.name);
    }
    return all;
}

// The scene laid out as glTF takes it, written as GLB and as .gltf and read
// back: each reading is that scene (names UTF-8 already), and written again
// gives the same files and the same scene.
void CheckGltfRoundTrip(const Scene& scene) {
    if (!CheckScene(scene).empty()) return;  // (reported above; JSON holds no NaN)
    const Scene own = LaidOut(scene, false);
    for (const char* name : {"m.glb", "m.gltf"}) {
        TempFolder first, second;
        const std::string one = first.File(name), two = second.File(name);
        CapturedOutput quiet;
        const bool binary = std::string(name) == "m.glb";
        if (!WriteGltf(own, one.c_str(), binary)) return;
        std::string error;
        const std::unique_ptr<Scene> read = ImportGltf(one.c_str(), &error);
        if (!read) {
            ADD_FAILURE() << "glTF read back: " << error;
            return;
        }
        const std::string difference = Utf8Names(own) ? SceneDifference(own, *read) : "";
        if (!difference.empty()) ADD_FAILURE() << name << " read back: " << difference;
        if (!WriteGltf(*read, two.c_str(), binary)) return;
        const std::unique_ptr<Scene> again = ImportGltf(two.c_str(), &error);
        if (!again || !SceneDifference(*read, *again).empty())
            ADD_FAILURE() << name << " read back twice: " << (again ? SceneDifference(*read, *again) : error);
        for (const auto& entry : fs::directory_iterator(first.Path())) {
            const std::string file = entry.path().filename().string();
            if (ReadBytes(entry.path().string()) != ReadBytes(second.File(file)))
                ADD_FAILURE() << "glTF written from its own reading differs: " << file;
        }
    }
}

// Set while the way back builds its scene, which the way back's own check
// compares whole: the checks of that build would repeat those of the scene
// it came from.
bool g_onTheWayBack = false;

// Pictures of the scene built on the way back within 2 levels per channel of
// the scene's own (block compression), then taken as equal.
void ComparePictures(const Scene& scene, Scene& again) {
    if (scene.images.size() != again.images.size()) return;  // (SceneDifference names it)
    for (size_t i = 0; i < scene.images.size(); ++i) {
        const PixelImage& a = scene.images[i].picture;
        PixelImage& b = again.images[i].picture;
        if (a.pixels.size() != b.pixels.size()) continue;
        size_t worst = 0, at = 0;
        for (size_t k = 0; k < a.pixels.size(); ++k) {
            const size_t d = size_t(std::abs(int(a.pixels[k]) - int(b.pixels[k])));
            if (d > worst) worst = d, at = k;
        }
        if (worst > 2)
            ADD_FAILURE() << "way back: images[" << i << "] (" << scene.images[i].key << ") differs by " << worst
                          << " at byte " << at;
        else b.pixels = a.pixels;
    }
}

// The way back to the game: the model the scene stands for, written as ZEM
// and MAD and read back, builds the scene again (pictures within 2 levels).
void CheckWayBack(const Scene& scene) {
    WayBackReport report;
    std::unique_ptr<Model> back = ModelFromScene(scene, report);
    const Bytes zem = BuildZem(*back);
    std::unique_ptr<Model> read = ReadModelFile(zem.data(), zem.size());
    if (!read) {
        ADD_FAILURE() << "way back: the model written does not read";
        return;
    }
    if (back->animation) {
        const Bytes mad = BuildMad(*back->animation);
        read->animation = ReadMad(mad.data(), mad.size());
    }
    ResolveJoints(*read);
    SceneOptions options;
    options.deduplicate = !SceneDifference(scene, LaidOut(scene, false)).empty();
    for (const SceneImage& image : scene.images)
        options.verboseTextures = options.verboseTextures || image.kind == SceneImageKind::kSourceDump;
    std::unique_ptr<Scene> again;
    {
        CapturedOutput quiet;
        g_onTheWayBack = true;
        again = BuildScene(*read, options);
        g_onTheWayBack = false;
    }
    if (!again) return;
    ComparePictures(scene, *again);
    const std::string difference = SceneDifference(scene, *again);
    if (!difference.empty()) ADD_FAILURE() << "way back: " << difference;
}

}  // namespace

void CheckSceneBuilt(const Scene& scene) {
    if (g_onTheWayBack) return;
    CheckBuiltScene(scene);
    CheckWayBack(scene);
}

void CheckBuiltScene(const Scene& scene) {
    for (const std::string& problem : CheckScene(scene)) ADD_FAILURE() << "scene invariant: " << problem;
    const Scene shared = LaidOut(scene, true), own = LaidOut(scene, false);
    if (!SceneDifference(scene, shared).empty() && !SceneDifference(scene, own).empty())
        ADD_FAILURE() << "scene in neither vertex layout: " << SceneDifference(scene, shared);
    const std::string toOwn = SceneDifference(own, LaidOut(shared, false));
    const std::string toShared = SceneDifference(shared, LaidOut(own, true));
    if (!toOwn.empty()) ADD_FAILURE() << "vertex layout, shared to own: " << toOwn;
    if (!toShared.empty()) ADD_FAILURE() << "vertex layout, own to shared: " << toShared;
    CheckDaeRoundTrip(scene);
    CheckGltfRoundTrip(scene);
}

void AddTestFacts(Scene& scene) {
    static const std::pair<const char*, std::string> kOdd[] = {
        {"scale", "1 1 1"},
        {"empty", ""},
        {"windows_1252", "caf\xe9 \x80\x81"},
        {"controls", std::string("\x01\x1f\x7f") + "\r\n\r"},
        {"lines", "a\tb\nc\td\n"},
        {"blank", " \n\t "},
        {"padded", "  x  "},
        {"markup", "&#x41; &amp; <a b=\"c\"/> ']]>"},
        {"utf8", "\xc3\xa9\xe2\x82\xac"},
        {"k\xff\x01", "odd key"},
    };
    auto put = [](SceneFacts& facts, size_t first) {
        for (size_t i = 0; i < sizeof kOdd / sizeof kOdd[0]; ++i) {
            const auto& odd = kOdd[(first + i) % (sizeof kOdd / sizeof kOdd[0])];
            facts.push_back({odd.first, odd.second});
        }
    };
    put(scene.facts, 0);
    std::string longText;
    for (int i = 0; i < 5000; ++i) longText += "line " + std::to_string(i) + "\tvalue\n";
    scene.facts.push_back({"long_text", longText});
    for (int i = 0; i < 300; ++i) scene.facts.push_back({"key_" + std::to_string(i), std::to_string(i * 7)});
    for (int32_t root : scene.roots) put(scene.nodes[size_t(root)].facts, size_t(root));
    for (SceneNode& node : scene.nodes)
        if (node.nameOnly) {
            put(node.facts, 3);
            break;
        }
    if (!scene.nodes.empty()) scene.nodes.back().facts.push_back({"only", "last"});
}

namespace {

const bool kSceneCheckHooked = (SetSceneBuiltHook(CheckSceneBuilt), true);

}  // namespace

bool ConvertInProcess(Model& model, const std::string& path) {
    (void)kSceneCheckHooked;
    CommandContext context;
    return SaveModel(model, context, path.c_str());
}

TempFolder::TempFolder() {
    static int counter = 0;
    std::random_device random;
    path_ = (fs::temp_directory_path() / ("vorda_test_" + std::to_string(::getpid()) + "_" +
                                          std::to_string(++counter) + "_" + std::to_string(random())))
                .string();
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempFolder::Write(const std::string& relative, const std::string& text) const {
    const fs::path p = fs::path(path_) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
}

std::string TempFolder::Write(const std::string& relative, const Bytes& bytes) const {
    return Write(relative, std::string(bytes.begin(), bytes.end()));
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

size_t CountLines(const std::string& text, const std::string& start) {
    size_t n = 0;
    for (size_t pos = 0; pos < text.size(); pos = text.find('\n', pos) + 1) {
        n += text.compare(pos, start.size(), start) == 0;
        if (text.find('\n', pos) == std::string::npos) break;
    }
    return n;
}

RunResult RunProcess(const std::vector<std::string>& argv, const std::string& folder, size_t memoryLimit,
                     unsigned timeoutSeconds) {
    RunResult run;
    int fds[2];
    if (argv.empty() || pipe(fds) != 0) return run;
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(&a[0]);
    pointers.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // A group of its own: the time limit ends a shell's children too.
        setpgid(0, 0);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        if (memoryLimit) {
            const rlimit limit{memoryLimit, memoryLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (pid > 0) setpgid(pid, pid);  // also here: no race with the child's own call
    close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[65536];
    bool ended = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        pollfd readable{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, int(left.count())) == 0) {
            run.timedOut = true;
            break;
        }
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        // The first part is kept; the rest is only counted.
        const size_t keep = std::min(size_t(n), kMaxKeptOutput - std::min(kMaxKeptOutput, run.output.size()));
        run.output.append(buffer, keep);
        run.droppedBytes += size_t(n) - keep;
        // Past the limit the whole group goes, and what it had written
        // before it ended is still counted.
        if (run.droppedBytes && !ended) ended = kill(-pid, SIGKILL) == 0;
    }
    // A child that hangs goes with whatever it started.
    if (run.timedOut) kill(-pid, SIGKILL);
    close(fds[0]);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) run.output += "\n[killed by signal " + std::to_string(WTERMSIG(raw)) + "]\n";
    if (run.timedOut)
        ADD_FAILURE() << argv[0] << " ran past its limit of " << timeoutSeconds << " s and was ended; it printed:\n"
                      << run.output;
    if (run.droppedBytes)
        ADD_FAILURE() << argv[0] << " printed more than " << kMaxKeptOutput << " bytes (" << run.droppedBytes
                      << " more were dropped) and was ended; it began:\n"
                      << run.output.substr(0, 2000);
    return run;
}

RunResult RunTool(const std::vector<std::string>& words, const std::string& folder, size_t memoryLimit,
                  unsigned timeoutSeconds) {
    std::vector<std::string> argv = {VORDA_BINARY};
    argv.insert(argv.end(), words.begin(), words.end());
    return RunProcess(argv, folder, memoryLimit, timeoutSeconds);
}

RunResult RunShell(const std::string& command, const std::string& folder, unsigned timeoutSeconds) {
    return RunProcess({"/bin/sh", "-c", command}, folder, 0, timeoutSeconds);
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

std::string RunWords(CommandContext& context, const std::vector<std::string>& words) {
    // Words that hang in this process cannot be ended alone: past the tool's
    // limit the whole test executable stops, instead of waiting out ctest's.
    std::mutex mutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (doneSignal.wait_for(lock, std::chrono::seconds(kToolSeconds), [&] { return done; })) return;
        std::fprintf(stderr, "FAILED: words run in process took longer than %u s: %s ...\n", kToolSeconds,
                     words.empty() ? "" : words[0].c_str());
        std::_Exit(1);
    });
    std::string text;
    {
        CapturedOutput out;
        for (const std::string& w : words)
            if (!ProcessArgument(context, w.c_str())) break;
        text = out.Text();
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    doneSignal.notify_one();
    watchdog.join();
    return text;
}

std::string VariableOrNone(const CommandContext& context, const char* name) {
    const char* v = GetVariable(context, name);
    return v ? v : "<none>";
}

std::string StrictXmlErrors(const std::vector<std::string>& paths) {
    TempFolder t;
    std::string list;
    for (const std::string& p : paths) list += p + "\n";
    const std::string listFile = t.Write("list.txt", list);
    const RunResult r = RunProcess(
        {"/usr/bin/python3", "-c",
         "import sys\nfrom lxml import etree\n"
         "for p in open(sys.argv[1]).read().splitlines():\n"
         "  try: etree.parse(p, etree.XMLParser(recover=False, resolve_entities=False))\n"
         "  except Exception as e: print(p + ': ' + str(e))\n",
         listFile});
    return r.status == 0 ? r.output : r.output + "python3 with lxml failed\n";
}


namespace {

template <typename T>
T& Add(OwnedList<T>& list) {
    list.emplace_back(new T);
    return *list.back();
}

MaterialParam Param(const char* name, int32_t type, int32_t image = 0) {
    MaterialParam p;
    p.name.Set(name);
    p.type = type;
    p.imageIndex = image;
    if (type == kParamColour) p.colour[0] = 0.25f;  // (a texture parameter stores no colour)
    return p;
}

}  // namespace

// The sample plus what a careless exporter or a damaged game file leaves:
// materials under an old bare layout, unknown shaders (one mapped by the
// wildcard entry, one with nothing to map, one mapped inexactly), texture indices out of range and
// an image without levels; a part with fans, strips, an unknown primitive
// type, a material index out of range, an index past its vertices and
// positions of +0, -0 and NaN; names holding markup, quotes, Latin-1 and
// control bytes; a name long enough to be split; objects whose parent joint
// does not exist; a glow mesh stored with LOD -1; an engine shape with no
// points; unused images of the block modes the sample lacks.
std::unique_ptr<Model> RichModel() {
    std::unique_ptr<Model> model = BuildSampleModel();
    const int32_t firstImage = int32_t(model->images.size());
    TextureImage& empty = Add(model->images);
    empty.name.Set("tex\\nothing.dds");
    empty.format.Set("DXT1");
    // Written as sources when textures are verbose: DXT1 with three colours
    // and transparency, DXT3's explicit alpha, DXT5's six-value alpha, and a
    // level off the block grid (10 x 10 stores 2 x 2 blocks).
    const struct {
        const char* name;
        const char* format;
        int32_t size;
        Bytes data;
    } blocks[] = {
        {"tex\\zero.dds", "8888", 0, {}},
        {"tex\\three.dds", "DXT1", 4, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0xE4, 0xE4, 0xE4}},
        {"tex\\explicit.dds", "DXT3", 4,
         {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4}},
        {"tex\\six.dds", "DXT5", 4,
         {0x20, 0xC0, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA, 0x00, 0xF8, 0x1F, 0x00, 0x1B, 0x1B, 0x1B, 0x1B}},
        {"tex\\grid.dds", "DXT1", 10,
         {0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& b : blocks) {
        TextureImage& image = Add(model->images);
        image.name.Set(b.name);
        image.format.Set(b.format);
        image.levels.resize(1);
        image.levels[0].width = b.size, image.levels[0].height = b.size ? b.size : 4;  // zero.dds: 0 x 4
        image.levels[0].data = b.data;
    }
    struct {
        uint32_t version;
        const char* name;
        const char* shader;
        std::vector<MaterialParam> params;
    } materials[] = {
        // The old material layout: a read takes "fx" and "$diffuse" whatever was stored.
        {0, "Rock", "fx", {Param("$diffuse", kParamTexture, 0)}},
        {2, "Glass", "glassy", {Param("$glow", kParamTexture, 1), Param("$tint", kParamColour)}},
        {2, "Pane", "glass", {Param("$diffuse", kParamTexture, 0)}},
        {2, "Plain <&\"'>", "fx", {Param("$c1", kParamColour), Param("$diffuse", kParamTexture, 99)}},
        {2, "Empty\xe9\x01", "unknownX", {Param("$diffuse", kParamTexture, firstImage)}},
    };
    for (auto& m : materials) {
        Material& added = Add(model->materials);
        added.version = m.version;
        added.name.Set(m.name);
        added.shader.Set(m.shader);
        added.params = m.params;
    }

    MultiMesh& odd = Add(model->multiMeshes);
    // 1252 quotes, an unassigned byte, an overlong form, a surrogate, past U+10FFFF, an emoji, a reference.
    odd.name.Set("Odd & <Ends> \x93q\x94\x81 \xE0\x80\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xF0\x9F\x98\x80 &#x41;");
    odd.parentName.Set("NoSuchJoint");
    odd.meshes.emplace_back(new Mesh);
    Mesh& mesh = *odd.meshes.back();
    MeshPart part;
    part.materialIndex = int32_t(model->materials.size()) - 1;
    part.format = kFormatPosition | kFormatNormal | kFormatTexCoord;
    part.stride = 10;
    part.vertexCount = 6;
    for (int v = 0; v < 6; ++v)
        for (float f : {float(v % 3), float(v / 3), float(v) * 0.5f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, float(v) / 5, 0.5f})
            part.vertices.push_back(f);
    // Equal positions are written once: +0 equals -0, a NaN equals nothing.
    const float nan = std::nanf("");
    for (size_t i : {0, 10, 11, 12}) part.vertices[i] = i ? 0.0f : -0.0f;
    for (size_t v : {4, 5}) part.vertices[v * 10] = 1, part.vertices[v * 10 + 1] = 1, part.vertices[v * 10 + 2] = nan;
    part.groups = {MakeGroup(kPrimTriFan, {0, 1, 2, 3}), MakeGroup(kPrimTriStrip, {0, 1, 2, 3, 4, 5}),
                   MakeGroup(0x0201, {0, 1}), MakeGroup(kPrimTriList, {0, 1, 2, 3, 4, 9})};
    mesh.parts.push_back(part);
    for (int32_t material : {77, part.materialIndex - 1, part.materialIndex - 2, part.materialIndex - 3}) {
        part.materialIndex = material;
        part.groups = {MakeGroup(kPrimTriList, {0, 2, 4})};
        mesh.parts.push_back(part);
    }

    Joint& longJoint = Add(model->joints);
    longJoint.name.Set(std::string(40, 'L') + "_Joint\"<quoted>&");
    longJoint.parentName.Set(model->joints.front()->name.value);
    longJoint.position[1] = 2.5f;
    NavLight& light = Add(model->navLights);
    light.name.Set("Light_" + std::string(60, 'x'));
    light.type.Set("flash");
    light.size = 1.5f;
    Marker& marker = Add(model->markers);
    marker.name.Set("Orphan");
    marker.parentName.Set("NoSuchJoint");
    EngineShape& shape = Add(model->engineShapes);
    shape.name.Set("Empty_Shape");
    shape.parentName.Set("NoSuchJoint");
    Glow& glow = Add(model->glows);
    glow.name.Set("Glow_NoLod");
    glow.parentName.Set("Root");  // joint 0 once the joints are sorted
    glow.mesh.reset(new Mesh);
    glow.mesh->lod = 0;  // the glow's level, as a read gives it
    part.materialIndex = 0;
    part.groups = {MakeGroup(kPrimTriList, {0, 1, 2})};
    glow.mesh->parts.push_back(part);
    InfoEntry& info = Add(model->infoEntries);
    info.key.Set("Auth");
    info.value.Set("Someone <x@y> & co");
    return model;
}

Bytes ZemOfVersion(uint32_t version) {
    Model m;
    m.version = version;
    return BuildZem(m);
}

bool WriteModelFiles(const std::string& path, const Model& model, const AnimationSet* animations) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    return SaveBytes(path, BuildZem(model)) &&
           (!animations || SaveBytes(path.substr(0, path.size() - 4) + ".MAD", BuildMad(*animations)));
}

bool WriteSampleModel(const std::string& path) {
    return WriteModelFiles(path, *BuildSampleModel(), BuildSampleAnimation().get());
}

Bytes ZemWithForm(const char* formType, const std::function<void(ByteWriter&)>& fill) {
    ByteWriter w;
    Chunk(w, BeginForm(w, "VERS"), [&] { PutU32(w, 512); });
    Chunk(w, BeginForm(w, "NAME"), [&] { PutText(w, "Drelmarch2 Multi Mesh File"); });
    Chunk(w, BeginForm(w, formType), [&] { fill(w); });
    return w.bytes;
}

namespace {

template <typename T, typename Read, typename Check>
std::unique_ptr<T> ReadCopy(const Bytes& bytes, Read read, Check check, std::vector<std::string>* problems) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    std::unique_ptr<T> out = read(bytes.empty() ? nullptr : copy.get(), bytes.size());
    if (out && problems) *problems = check(*out);
    return out;
}

}  // namespace

std::unique_ptr<Model> ReadZemChecked(const Bytes& bytes, std::vector<std::string>* problems) {
    return ReadCopy<Model>(bytes, ReadModelFile, CheckModel, problems);
}

std::unique_ptr<AnimationSet> ReadMadChecked(const Bytes& bytes, std::vector<std::string>* problems) {
    return ReadCopy<AnimationSet>(bytes, ReadMad, CheckAnimationSet, problems);
}
