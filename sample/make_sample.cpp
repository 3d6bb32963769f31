// Writes the bundled sample model: <dir>/sample.zem and <dir>/sample.MAD (the
// animation file beside a model takes the upper-case extension the converter
// looks for).
#include <cstdio>
#include <string>

#include "sample/sample_model.h"
#include "model/write_model.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorda_make_sample <folder>\n");
        return 2;
    }
    std::string dir = argv[1];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const std::string zem = dir + "sample.zem";
    const std::string mad = dir + "sample.MAD";
    if (!SaveBytes(zem, BuildZem(*BuildSampleModel()))) {
        std::fprintf(stderr, "cannot write %s\n", zem.c_str());
        return 1;
    }
    if (!SaveBytes(mad, BuildMad(*BuildSampleAnimation()))) {
        std::fprintf(stderr, "cannot write %s\n", mad.c_str());
        return 1;
    }
    std::printf("%s\n%s\n", zem.c_str(), mad.c_str());
    return 0;
}
