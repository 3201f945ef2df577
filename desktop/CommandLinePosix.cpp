#include "desktop/CommandLine.h"

namespace z83 {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    if (argc < 1 || !argv)
        return {};
    return {argv + 1, argv + argc};
}

} // namespace z83
