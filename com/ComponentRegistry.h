#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace z83::win {

// A COM class and the ProgIDs it is registered under, shortest (the version-independent one) first.
struct RegisteredClass {
    std::string classId; // "{...}"
    std::vector<std::string> progIds;
};

// The classes whose ProgID begins with prefix (compared as Windows compares ProgIDs, ignoring case), one
// entry per class, found under classesRoot: HKEY_CLASSES_ROOT, or any key laid out like it.
std::vector<RegisteredClass> findRegisteredClasses(HKEY classesRoot, std::string_view prefix);

} // namespace z83::win
