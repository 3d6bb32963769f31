// The helpers every test uses: a temporary folder, whole-file reads, the one
// process runner (time and memory limits), output capture of words run in
// process, and model builders that default to the bundled sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "command/context.h"
#include "command/convert.h"
#include "command/process_argument.h"
#include "command/variables.h"
#include "core/output.h"
#include "model/model.h"
#include "model/write_model.h"
#include "sample/sample_model.h"

using Bytes = std::vector<unsigned char>;

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& relative) const { return path_ + "/" + relative; }
    // Writes bytes or text to a file below the folder, making the folders above it.
    std::string Write(const std::string& relative, const std::string& text) const;
    std::string Write(const std::string& relative, const Bytes& bytes) const;

private:
    std::string path_;
};

// A whole file; empty when it cannot be read.
Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
// The lines of text that begin with start (start + "\n" matches whole lines).
size_t CountLines(const std::string& text, const std::string& start);

// A finished child process: standard output and error together (at most
// kMaxKeptOutput bytes; droppedBytes counts the rest), the exit status (-1
// when it did not exit normally), and whether the time limit ended it.
struct RunResult {
    std::string output;
    int status = -1;
    bool timedOut = false;
    size_t droppedBytes = 0;
};
constexpr size_t kMaxKeptOutput = size_t(1) << 20;
// The limit of every run of the tool, alone or from a shell.
constexpr unsigned kToolSeconds = 30;

// Runs argv[0] (a path) with its arguments in folder, standard input empty.
// A non-zero memoryLimit caps the child's address space. A child that runs
// past timeoutSeconds or prints more than kMaxKeptOutput bytes is ended with
// everything it started, and the test fails.
RunResult RunProcess(const std::vector<std::string>& argv, const std::string& folder = "", size_t memoryLimit = 0,
                     unsigned timeoutSeconds = 120);
// The built tool with words.
RunResult RunTool(const std::vector<std::string>& words, const std::string& folder = "", size_t memoryLimit = 0,
                  unsigned timeoutSeconds = kToolSeconds);
// A command line given to /bin/sh.
RunResult RunShell(const std::string& command, const std::string& folder = "", unsigned timeoutSeconds = 120);
// Single-quotes text for /bin/sh.
std::string ShellQuote(const std::string& text);

// True when this build runs under AddressSanitizer, which reserves far more
// address space than any limit the tests set.
bool UnderAddressSanitizer();

// Runs the words in process in order (a false result stops, as on the command
// line) and returns everything they printed.
std::string RunWords(CommandContext& context, const std::vector<std::string>& words);
// The value of a variable, or "<none>" when it is not defined.
std::string VariableOrNone(const CommandContext& context, const char* name);

// Parses every file with lxml, a strict XML 1.0 parser. One line per file
// that fails ("path: reason"); empty when all parse.
std::string StrictXmlErrors(const std::vector<std::string>& paths);

// Model builders: the sample (sample/sample_model.h), a richer model holding
// the unusual cases the converter must handle (see test_util.cpp), and a
// model holding only its version.
std::unique_ptr<Model> RichModel();
Bytes ZemOfVersion(uint32_t version);
// Writes a model to path (ending in ".zem") and, when given, its animations
// beside it as ".MAD" (where the tool looks for them); folders are made.
bool WriteModelFiles(const std::string& path, const Model& model, const AnimationSet* animations = nullptr);
// The sample and its animations at path.
bool WriteSampleModel(const std::string& path);

// A ZEM file: "VERS" 512, the multi mesh "NAME", then one form of the given
// type whose children `fill` writes.
Bytes ZemWithForm(const char* formType, const std::function<void(ByteWriter&)>& fill);
// Ends the chunk begun at `at` after fill() wrote its body:
// Chunk(w, BeginBare(w, "JUNK"), [&] { PutU32(w, 1); }).
template <typename Fill>
void Chunk(ByteWriter& w, size_t at, Fill&& fill) {
    fill();
    EndChunk(w, at);
}

// The checks every scene a test builds passes (a failure each): the scene's
// invariants, one of the two vertex layouts, and the DAE and glTF round
// trips.
struct Scene;
void CheckBuiltScene(const Scene& scene);
// The hook every scene BuildScene makes in a test process meets: the checks
// above, and the way back to the game (the model the scene stands for,
// written and read again, builds the same scene, pictures within 2 levels).
void CheckSceneBuilt(const Scene& scene);


// Puts facts on the scene and on some of its nodes (the roots, the first
// name-only node, the last node): texts with bytes that are not UTF-8,
// characters XML cannot hold, line breaks and tabs, white space alone, an
// empty text, a long text, many keys, and a key that is not UTF-8.
void AddTestFacts(Scene& scene);

// Saves a model as the convert action does (the format by the extension of
// path: the scene built once, then encoded); false when nothing was saved.
// Every scene built in a test process passes the scene check, or the test fails.
bool ConvertInProcess(Model& model, const std::string& path);

// Reads a model or MAD file from an exact-size heap copy of the bytes (so
// AddressSanitizer sees a read one past the end) and returns it with every
// violated invariant in *problems.
std::unique_ptr<Model> ReadZemChecked(const Bytes& bytes, std::vector<std::string>* problems);
std::unique_ptr<AnimationSet> ReadMadChecked(const Bytes& bytes, std::vector<std::string>* problems);
