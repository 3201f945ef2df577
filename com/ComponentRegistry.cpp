#include "com/ComponentRegistry.h"

#include "desktop/Utf16.h"

#include <algorithm>
#include <cwctype>
#include <map>

namespace z83::win {

namespace {

// A key's default value, or a named one, as text; "" when there is none.
std::wstring textValue(HKEY key, const wchar_t* subKey, const wchar_t* name) {
    DWORD bytes = 0;
    if (::RegGetValueW(key, subKey, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes == 0)
        return {};
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(key, subKey, name, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) != ERROR_SUCCESS)
        return {};
    value.resize(::wcsnlen(value.c_str(), value.size()));
    return value;
}

bool startsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::vector<RegisteredClass> findRegisteredClasses(HKEY classesRoot, std::string_view prefix) {
    const std::wstring wanted = toUtf16(prefix);
    std::map<std::wstring, std::vector<std::string>> byClass; // class IDs upper-cased
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status =
            ::RegEnumKeyExW(classesRoot, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue; // longer than any ProgID can be
        if (status != ERROR_SUCCESS)
            break;
        const std::wstring progId(name, length);
        if (!startsWithIgnoringCase(progId, wanted))
            continue;
        std::wstring classId = textValue(classesRoot, (progId + L"\\CLSID").c_str(), nullptr);
        if (classId.empty())
            continue; // a ProgID without a class cannot be created
        std::transform(classId.begin(), classId.end(), classId.begin(), ::towupper);
        byClass[classId].push_back(toUtf8(progId));
    }
    std::vector<RegisteredClass> classes;
    for (auto& [classId, progIds] : byClass) {
        std::sort(progIds.begin(), progIds.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        classes.push_back({toUtf8(classId), std::move(progIds)});
    }
    return classes;
}

} // namespace z83::win
