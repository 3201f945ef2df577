#include "desktop/UserSettings.h"

#include "desktop/Utf16.h"

#include <windows.h>

#include <limits>

namespace z83 {

using win::toUtf16;
using win::toUtf8;

namespace {

std::wstring settingsKey(const std::string& section) {
    return L"Software\\" + toUtf16(executableName()) + L"\\" + toUtf16(section);
}

} // namespace

std::string executableName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (size == 0)
            return {};
        if (size < path.size()) {
            path.resize(size);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    if (const auto dot = name.rfind(L'.'); dot != std::wstring::npos)
        name.resize(dot);
    return toUtf8(name);
}

std::optional<std::string> readUserSetting(const std::string& section, const std::string& name) {
    const std::wstring key = settingsKey(section), value = toUtf16(name);
    DWORD bytes = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                       &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    const std::size_t room = text.size() * sizeof(wchar_t);
    bytes = static_cast<DWORD>(room);
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text.data(),
                       &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(::wcsnlen(text.c_str(), text.size()));
    return toUtf8(text);
}

bool writeUserSetting(const std::string& section, const std::string& name, const std::string& value) {
    const std::wstring text = toUtf16(value);
    const auto bytes = (text.size() + 1) * sizeof(wchar_t);
    if (bytes > std::numeric_limits<DWORD>::max())
        return false;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, settingsKey(section).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status =
        ::RegSetValueExW(key, toUtf16(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(bytes));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

} // namespace z83
