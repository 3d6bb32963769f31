// libFuzzer target: any bytes as a ZEM model file. The reader must stay in
// bounds, and whatever it returns must satisfy the model's invariants.
#include <cstdio>
#include <cstdlib>

#include "model/read_model.h"
#include "model/check_model.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::unique_ptr<Model> model = ReadModelFile(data, size);
    if (!model) return 0;
    std::vector<std::string> problems = CheckModel(*model);
    if (problems.empty()) return 0;
    for (const std::string& p : problems) std::fprintf(stderr, "invariant: %s\n", p.c_str());
    std::abort();
}
