#pragma once

#include "link/DataProvider.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The component's operations as data: each argument's name and how it is passed, and what the program
// makes of each result. The COM adapter builds its calls from it, the diagnosis compares the component's
// declarations with it, and recordings name their arguments after it.
namespace z83 {

enum class Passing {
    Value,      // a 32-bit integer constant, by value
    ByteRef,    // a byte, by reference
    CommandRef, // a command code byte, by reference
    IdRef,      // a module ID (32-bit), by reference
    Int32Ref,   // another 32-bit integer, by reference
    TextRef,    // text, by reference
};
constexpr bool byReference(Passing passing) {
    return passing != Passing::Value;
}

// What the program reads of a result; the results it ignores are never read.
enum class ResultUse { Nothing, Int16, Int32 };

struct ArgumentFact {
    std::string_view name;
    Passing passing;
};

inline constexpr std::size_t kMostArguments = 5;

struct OperationFact {
    std::array<ArgumentFact, kMostArguments> argumentSlots;
    std::size_t count;
    ResultUse result;

    constexpr std::span<const ArgumentFact> arguments() const { return {argumentSlots.data(), count}; }
};

// In the order of Operation.
inline constexpr OperationFact kContract[] = {
    {{{{"first", Passing::Value}, {"second", Passing::Value}}}, 2, ResultUse::Int16}, // OpenUSB
    {{}, 0, ResultUse::Nothing},                                                      // CloseUSB
    {{}, 0, ResultUse::Nothing},                                                      // ProbeProvider
    {{{{"which", Passing::Value}}}, 1, ResultUse::Nothing},                           // ReadBaseByte
    {{{{"first", Passing::Value},
       {"second", Passing::Value},
       {"seconds", Passing::Value},
       {"id", Passing::IdRef},
       {"secondOutput", Passing::Int32Ref}}},
     5,
     ResultUse::Nothing},                                 // PairModule
    {{{{"which", Passing::Value}}}, 1, ResultUse::Int32}, // DetectBase
    {{{{"one", Passing::ByteRef},
       {"id", Passing::IdRef},
       {"command", Passing::CommandRef},
       {"text", Passing::TextRef}}},
     4,
     ResultUse::Int16}, // WriteCommand
    {{{{"one", Passing::ByteRef},
       {"id", Passing::IdRef},
       {"command", Passing::CommandRef},
       {"text", Passing::TextRef}}},
     4,
     ResultUse::Int16}, // ReadCommand
};
static_assert(std::size(kContract) == std::size(kOperationNames));

constexpr const OperationFact& contractOf(Operation operation) {
    return kContract[static_cast<std::size_t>(operation)];
}

// One argument of a call as the caller holds it: a value, or the caller's variable that the component may
// write back into.
struct ArgumentSlot {
    std::int32_t value = 0;
    std::uint8_t* byte = nullptr;  // ByteRef, CommandRef
    std::int32_t* int32 = nullptr; // IdRef, Int32Ref
    std::string* text = nullptr;   // TextRef
};

// An argument's value at one moment: a number, or the text of a TextRef.
struct ArgumentValue {
    std::int64_t number = 0;
    std::string text;
    bool operator==(const ArgumentValue&) const = default;
};
ArgumentValue valueOf(Passing passing, const ArgumentSlot& slot);
void assign(Passing passing, const ArgumentSlot& slot, const ArgumentValue& value);

// A call as a person reads it: ReadCommand(1, 1A2B3C, "U", "") with IDs in hexadecimal, command codes and
// texts quoted, control characters escaped, long texts shortened.
std::string callText(Operation operation, std::span<const ArgumentValue> arguments);
// One value as callText shows it.
std::string argumentText(Passing passing, const ArgumentValue& value);

// A provider whose eight operations come to one place, with their arguments in the contract's order: for
// providers that treat every call alike (the COM adapter, recording, replaying).
class UniformProvider : public DataProvider {
public:
    std::int16_t OpenUSB(std::int32_t first, std::int32_t second) override;
    void CloseUSB() override;
    std::int32_t ProbeProvider() override;
    std::uint8_t ReadBaseByte(std::int32_t which) override;
    std::int32_t PairModule(std::int32_t first, std::int32_t second, std::int32_t seconds, std::int32_t& id,
                            std::int32_t& secondOutput) override;
    std::int32_t DetectBase(std::int32_t which) override;
    std::int16_t WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                              std::string& text) override;
    std::int16_t ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                             std::string& text) override;

protected:
    // The call with its arguments; the result widened to 32 bits (0 for CloseUSB).
    virtual std::int32_t invoke(Operation operation, std::span<const ArgumentSlot> arguments) = 0;
};

// Makes the call on a provider, and gives its result widened to 32 bits.
std::int32_t invokeOn(DataProvider& provider, Operation operation, std::span<const ArgumentSlot> arguments);

} // namespace z83
