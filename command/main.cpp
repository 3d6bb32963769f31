// Program entry: every argument is one word of the command language.
#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) {
        std::printf("VORDA [-]action [[-]params]\n");
        std::printf("-- 1.0\n");
        return -1;
    }
    return 0;
}
