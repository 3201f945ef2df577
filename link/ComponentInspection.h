#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace z83 {

// What z83-extract --diagnose reports of the maker's component before any of its operations is called: the
// registry's 32-bit view, the instance's creation and apartment, and its type information held against the
// contract, operation by operation. Lines of name and value, for the diagnosis to lay out.
struct ComponentInspection {
    using Lines = std::vector<std::pair<std::string, std::string>>;
    Lines registration, typeInformation, creation;
    std::optional<std::string> unfit; // why the component cannot be used as the program uses it
    std::vector<std::string> advice;  // what the user can do about each failure found, one line each
};

} // namespace z83
