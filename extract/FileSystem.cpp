#include "extract/FileSystem.h"

namespace z83 {

std::error_code FileSystem::readWhole(const std::string& path, std::string& content) {
    content.clear();
    return readBlocks(path, [&content](std::string_view block) {
        content += block;
        return true;
    });
}

} // namespace z83
