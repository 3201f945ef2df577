#pragma once

#include "desktop/JsonFieldReader.h"
#include "link/Hex.h"

namespace z83::sim {

// A module ID as scenarios and recordings give it: a text that idFromHex reads.
inline std::int32_t moduleIdField(const JsonFieldReader& reader, const JsonFieldReader::Json& value,
                                  const std::string& path) {
    const auto id = value.is_string() ? idFromHex(value.get_ref<const std::string&>()) : std::nullopt;
    if (!id)
        reader.fail(path,
                    "expected a hexadecimal ID text of 1 to 8 digits, got " + JsonFieldReader::shown(value));
    return *id;
}

} // namespace z83::sim
