// The engine without a window.

#include <cstdio>
#include <cstring>
#include <string>

#include "core/workspace.h"

namespace {

void printUsage(FILE* out) {
    std::fprintf(out,
                 "Orvandel ver %s - finds and measures star images in astronomical pictures\n"
                 "\n"
                 "usage: orvandel-cli --help | --version\n",
                 orv::core::kProgramVersion);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--version") == 0)) {
        std::printf("orvandel-cli ver %s\n", orv::core::kProgramVersion);
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    printUsage(stderr);
    return 2;
}
