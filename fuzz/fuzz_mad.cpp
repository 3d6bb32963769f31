// libFuzzer target: any bytes as a MAD animation file. The reader must stay in
// bounds, and whatever set it returns must satisfy the set's invariants.
#include <cstdio>
#include <cstdlib>

#include "model/read_model.h"
#include "model/check_model.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::unique_ptr<AnimationSet> set = ReadMad(data, size);
    if (!set) return 0;
    std::vector<std::string> problems = CheckAnimationSet(*set);
    if (problems.empty()) return 0;
    for (const std::string& p : problems) std::fprintf(stderr, "invariant: %s\n", p.c_str());
    std::abort();
}
