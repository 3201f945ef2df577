#pragma once

#include "link/DataProvider.h"
#include "link/OperationContract.h"

#include <windows.h>

#include <oaidl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace z83::win {

struct Variant;

// The maker's component registers its classes under ProgIDs that begin with its library's name and a dot.
inline constexpr std::string_view kComponentLibrary = "Z83DataProviderCOM";

// The maker's device-access component, driven through IDispatch on the calling thread; every call blocks.
// The eight operations are looked up once, when the instance is created. When the component has a type
// library, each argument goes with the type it declares; without one, with the contract's types. What each
// operation passes and reads back comes from the contract (link/OperationContract.h), so every operation
// goes through invoke.
class ComProvider final : public UniformProvider {
public:
    // Creates an instance of the class that progId names: a ProgID, or a CLSID in braces; empty when no
    // class was found to create. Never throws: an instance that cannot be created, or that does not fit
    // the contract, leaves a provider whose ProbeProvider (and OpenUSB) report why as the current error.
    // serviceMessages: before each call, the thread's posted and sent messages are serviced, for a
    // component that keeps a hidden window or a timer of its own; a program without a message loop asks it.
    explicit ComProvider(const std::string& progId, bool serviceMessages = false);
    ~ComProvider() override;
    ComProvider(const ComProvider&) = delete;
    ComProvider& operator=(const ComProvider&) = delete;

    // Why there is no usable instance, or nothing when there is one.
    const std::optional<CurrentError>& unusable() const { return unusable_; }
    // The instance, for tests that look behind the contract; null when there is none.
    IDispatch* instance() const { return dispatch_; }

private:
    // An operation as this instance's component takes it.
    struct Member {
        DISPID id = DISPID_UNKNOWN;
        WORD flags = DISPATCH_METHOD;
        std::array<VARTYPE, kMostArguments> types{};
    };

    std::optional<CurrentError> create(const std::string& progId);
    std::optional<CurrentError> takeDeclarations(ITypeInfo& info);
    std::int32_t invoke(Operation operation, std::span<const ArgumentSlot> arguments) override;
    // The by-reference arguments are copied back after the call.
    void call(Operation operation, std::span<const ArgumentSlot> arguments, Variant& result);
    void requireInstance() const;

    IDispatch* dispatch_ = nullptr;
    bool comStarted_ = false;
    bool serviceMessages_ = false;
    std::optional<CurrentError> unusable_;
    std::array<Member, std::size(kOperationNames)> members_{};
};

} // namespace z83::win
