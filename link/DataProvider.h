#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace z83 {

// The component's operations in the order it declares them, and the names it gives them.
enum class Operation {
    OpenUSB,
    CloseUSB,
    ProbeProvider,
    ReadBaseByte,
    PairModule,
    DetectBase,
    WriteCommand,
    ReadCommand,
};
inline constexpr std::string_view kOperationNames[] = {"OpenUSB",      "CloseUSB",   "ProbeProvider",
                                                       "ReadBaseByte", "PairModule", "DetectBase",
                                                       "WriteCommand", "ReadCommand"};
constexpr std::string_view operationName(Operation operation) {
    return kOperationNames[static_cast<std::size_t>(operation)];
}

// An error the component left set while returning normally. Number 0 means none.
struct CurrentError {
    std::int32_t number = 0;
    std::string description;
};

// An error the component raised outright. No action catches it: the guard at the top of the
// program reports its number and description and ends the program.
// The source is what the component names as the error's origin, where it names one.
class ProviderError : public std::runtime_error {
public:
    ProviderError(std::int32_t number, std::string description, std::string source = {})
        : std::runtime_error(description), number_(number), description_(std::move(description)),
          source_(std::move(source)) {}
    std::int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const std::string& source() const noexcept { return source_; }

private:
    std::int32_t number_;
    std::string description_;
    std::string source_;
};

// The device-access component of the base station: its eight operations in the order the component
// declares them, with the component's own integer widths. Arguments the component takes by reference
// are references here too. Every call blocks until it is done.
class DataProvider {
public:
    virtual ~DataProvider() = default;

    virtual std::int16_t OpenUSB(std::int32_t first, std::int32_t second) = 0;
    virtual void CloseUSB() = 0;
    virtual std::int32_t ProbeProvider() = 0;
    virtual std::uint8_t ReadBaseByte(std::int32_t which) = 0;
    // Blocks until pairing has ended; always writes id: the paired module, or 0 when none paired.
    virtual std::int32_t PairModule(std::int32_t first, std::int32_t second, std::int32_t seconds,
                                    std::int32_t& id, std::int32_t& secondOutput) = 0;
    virtual std::int32_t DetectBase(std::int32_t which) = 0;
    virtual std::int16_t WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                                      std::string& text) = 0;
    virtual std::int16_t ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                                     std::string& text) = 0;

    const CurrentError& currentError() const noexcept { return currentError_; }
    void clearCurrentError() { currentError_ = {}; }

protected:
    void setCurrentError(CurrentError error) { currentError_ = std::move(error); }

private:
    CurrentError currentError_;
};

// Creates the provider instance at start-up; each call gives a new one.
using ProviderFactory = std::function<std::unique_ptr<DataProvider>()>;

} // namespace z83
