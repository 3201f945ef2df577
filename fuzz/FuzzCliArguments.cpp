// Any command line: a clean answer (run, help, version or a usage error with its reason), never a crash.
#include "cli/Options.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are separated by NUL bytes, as they are in a process's argument block.
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(static_cast<char>(data[i]));
    }
    if (arguments.size() > 64)
        return 0;
    auto options = z83::cli::parseOptions(arguments);
    using Request = z83::cli::Options::Request;
    if (options.request == Request::Invalid && options.message.empty())
        std::abort();
    if (options.request == Request::Run && options.pair && !options.idTexts.empty())
        std::abort(); // a module by ID and by pairing at once
    if (options.request == Request::Run && options.output && options.severalModules())
        std::abort(); // several reports to one path
    return 0;
}
