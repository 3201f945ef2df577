#pragma once

#include <windows.h>

#include <oleauto.h>

namespace z83::win {

// A VARIANT that clears itself, freeing what it holds.
struct Variant {
    VARIANT v;
    Variant() { ::VariantInit(&v); }
    ~Variant() { ::VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

} // namespace z83::win
