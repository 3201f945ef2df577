#pragma once

#include "link/DataProvider.h"
#include "sim/ModuleLogs.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace z83::sim {

// How a fault spoils the calls it hits.
enum class FaultKind {
    Status,      // a nonzero status (DetectBase: 0; PairModule: no module paired)
    WrongLength, // a reply one character short
    NulPadding,  // the proper reply followed by NUL characters
    OnlyNuls,    // a reply of NUL characters only
    HugeReply,   // a reply of a million characters
    BadCrc,      // a record whose stored CRC is wrong
    SkipRecord,  // the module skips one record before replying (index drift)
    NewLog,      // the module records one more log just before it replies, as when an event happens
    Raise,       // the call raises a ProviderError outright
};

struct Fault {
    // The call it hits: a command code ("3", "S", "T", "U", "W") or an operation name
    // ("OpenUSB", "CloseUSB", "ProbeProvider", "ReadBaseByte", "PairModule", "DetectBase").
    std::string target;
    FaultKind kind = FaultKind::Status;
    int start = 1; // the first occurrence of the target that it hits, counted from 1
    int count = 0; // how many occurrences it hits; 0 means every one from start on (persistent)
    std::int16_t status = 1;
    std::int32_t errorNumber = -2147221164;
    std::string errorDescription = "Simulated component failure";
};

struct SimModule {
    std::int32_t id = 0;
    std::string model;
    ModuleLogs records;                   // each the module's reply to one "U" read
    std::optional<std::string> countText; // the reply to "T" in place of the number of records
};

struct Scenario {
    bool basePresent = true;
    std::int16_t openStatus = 0;
    CurrentError openError;  // left set by OpenUSB
    CurrentError probeError; // left set by ProbeProvider
    std::vector<SimModule> modules;
    std::optional<std::int32_t> pairs; // the module that pairs, if any
    double pairDelaySeconds = 2.0;     // stands for the user's power-cycle
    double latencySeconds = 0.0;       // per call
    std::vector<Fault> faults;
    std::string description; // for the people who run the scenario; the station ignores it
};

// The statuses of failed commands. Callers only test for nonzero; distinct values help when reading traces.
namespace SimStatus {
inline constexpr std::int16_t NoLink = 2;   // base station absent or USB interface not open
inline constexpr std::int16_t NoModule = 3; // no module answers to the ID
inline constexpr std::int16_t Rejected = 4; // unknown command, wrong direction or a value the module refuses
inline constexpr std::int16_t EndOfLog = 5; // "U" read past the last log
inline constexpr std::int16_t BadArgument = 6; // the first argument of a command was not Arg::CommandFirst
} // namespace SimStatus

// Whether a fault of this kind can hit this target (a command code or an operation name). Kinds that spoil
// a reply fit the read commands only; "status" fits every target that has a result to spoil; "raise" fits
// every target.
bool faultApplies(std::string_view target, FaultKind kind);

class SimulatedBaseStation : public DataProvider {
public:
    // Throws std::invalid_argument when a fault cannot hit its target (see faultApplies).
    explicit SimulatedBaseStation(Scenario scenario);

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

    const SimModule* module(std::int32_t id) const;
    // The log number the module's next "U" read returns, or nothing when no module has the ID.
    std::optional<std::uint32_t> logIndex(std::int32_t id) const;
    bool usbOpen() const { return usbOpen_; }
    // Adds a fault whose occurrences are counted from the calls already made. Throws like the constructor.
    void addFault(Fault fault);
    const Scenario& scenario() const { return scenario_; }

private:
    // Faults and occurrence counts are kept per target slot, so a call finds its faults without a search:
    // one slot per command byte, then one per operation.
    static constexpr std::size_t kSlots = 256 + std::size(kOperationNames);
    static constexpr std::size_t slotOf(Operation op) { return 256 + static_cast<std::size_t>(op); }
    static std::optional<std::size_t> slotOf(std::string_view target);

    // The fault that hits this call of the slot's target, if any; counts the call either way.
    const Fault* nextFault(std::size_t slot);
    std::int16_t read(std::size_t module, std::uint8_t command, const Fault* fault, std::string& text);
    std::int16_t write(std::size_t module, std::uint8_t command, const std::string& text);
    std::optional<std::size_t> moduleIndex(std::int32_t id) const;
    bool linkUp() const { return scenario_.basePresent && usbOpen_; }
    void radioDelay();
    // The module a command reaches, or the nonzero status that says why it reaches none.
    std::int16_t route(std::uint8_t one, std::int32_t id, std::size_t& module) const;

    Scenario scenario_;
    std::vector<std::uint32_t> logIndex_;                // parallel to scenario_.modules, 1-based
    std::unordered_map<std::int32_t, std::size_t> byId_; // module ID to position in scenario_.modules
    std::array<std::vector<Fault>, kSlots> faults_;
    std::array<std::uint64_t, kSlots> occurrences_{};
    bool usbOpen_ = false;
    std::chrono::steady_clock::duration overslept_{}; // radio time owed to later calls
};

// The scenario the programs start with where no real component exists.
Scenario demoScenario();

} // namespace z83::sim
