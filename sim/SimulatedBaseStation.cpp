#include "sim/SimulatedBaseStation.h"

#include "link/Hex.h"
#include "link/LogRecord.h"
#include "link/Wire.h"
#include "sim/GeneratedLogs.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace z83::sim {

namespace {

constexpr std::size_t kHugeReplyChars = 1'000'000;
constexpr std::size_t kPaddingNuls = 16;
bool isReadCommand(char c) {
    return commandDirection(static_cast<std::uint8_t>(c)) == Direction::Read;
}
bool isWriteCommand(char c) {
    return commandDirection(static_cast<std::uint8_t>(c)) == Direction::Write;
}

// The operations a fault can name; the two command operations are named by their command codes instead.
bool isFaultOperation(std::string_view name) {
    return name != operationName(Operation::ReadCommand) && name != operationName(Operation::WriteCommand) &&
           std::ranges::find(kOperationNames, name) != std::end(kOperationNames);
}

using Clock = std::chrono::steady_clock;

Clock::duration toDuration(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Waits until the deadline. The OS oversleeps by tens of microseconds, so the last stretch is spun.
void waitUntil(Clock::time_point deadline) {
    constexpr auto kSpin = std::chrono::microseconds(300);
    if (auto rest = deadline - Clock::now(); rest > kSpin)
        std::this_thread::sleep_for(rest - kSpin);
    while (Clock::now() < deadline) {
    }
}

void sleepFor(double seconds) {
    if (seconds > 0.0)
        waitUntil(Clock::now() + toDuration(seconds));
}

[[noreturn]] void raise(const Fault& fault) {
    throw ProviderError(fault.errorNumber, fault.errorDescription);
}

// A different hexadecimal digit in the same place, so a stored CRC can no longer match.
char otherHexDigit(char c) {
    const int value = hexDigitValue(c);
    return value < 0 ? '0' : hexDigit(static_cast<unsigned>(value + 1));
}

void spoilReply(FaultKind kind, std::string& reply) {
    switch (kind) {
    case FaultKind::WrongLength:
        if (reply.empty())
            reply.push_back('0'); // an empty reply cannot get shorter; one character is wrong all the same
        else
            reply.pop_back();
        break;
    case FaultKind::NulPadding:
        reply.append(kPaddingNuls, '\0');
        break;
    case FaultKind::OnlyNuls:
        reply.assign(kLogReplyDigits, '\0');
        break;
    case FaultKind::HugeReply:
        // The proper reply first, so a reader that ignores the length would still find a plausible record.
        if (reply.size() < kHugeReplyChars)
            reply.resize(kHugeReplyChars, '0');
        break;
    case FaultKind::BadCrc:
        if (!reply.empty())
            reply.back() = otherHexDigit(reply.back());
        break;
    case FaultKind::Status:
    case FaultKind::SkipRecord:
    case FaultKind::NewLog:
    case FaultKind::Raise:
        break;
    }
}

// A reply that does not carry the record intact leaves the module where it was, so the next read gets
// the same record again, as when the base station asks for a garbled frame once more.
bool recordDelivered(FaultKind kind) {
    return kind != FaultKind::WrongLength && kind != FaultKind::OnlyNuls && kind != FaultKind::HugeReply;
}

} // namespace

bool faultApplies(std::string_view target, FaultKind kind) {
    if (kind == FaultKind::Raise)
        return target.size() == 1 ? isReadCommand(target[0]) || isWriteCommand(target[0])
                                  : isFaultOperation(target);
    if (target.size() == 1) {
        char c = target[0];
        switch (kind) {
        case FaultKind::Status:
            return isReadCommand(c) || isWriteCommand(c);
        case FaultKind::WrongLength:
        case FaultKind::NulPadding:
        case FaultKind::OnlyNuls:
        case FaultKind::HugeReply:
        case FaultKind::NewLog:
            return isReadCommand(c);
        case FaultKind::BadCrc:
        case FaultKind::SkipRecord:
            return c == Cmd::LogData;
        case FaultKind::Raise:
            break;
        }
        return false;
    }
    // CloseUSB and ReadBaseByte have no result that a status fault could spoil.
    return kind == FaultKind::Status &&
           (target == operationName(Operation::OpenUSB) ||
            target == operationName(Operation::ProbeProvider) ||
            target == operationName(Operation::PairModule) || target == operationName(Operation::DetectBase));
}

SimulatedBaseStation::SimulatedBaseStation(Scenario scenario) : scenario_(std::move(scenario)) {
    logIndex_.assign(scenario_.modules.size(), 1);
    byId_.reserve(scenario_.modules.size());
    for (std::size_t i = 0; i < scenario_.modules.size(); ++i)
        byId_.emplace(scenario_.modules[i].id, i); // the first of equal IDs answers
    std::vector<Fault> faults = std::move(scenario_.faults);
    scenario_.faults.clear();
    for (Fault& fault : faults)
        addFault(std::move(fault));
}

std::optional<std::size_t> SimulatedBaseStation::slotOf(std::string_view target) {
    if (target.size() == 1)
        return static_cast<unsigned char>(target[0]);
    if (!isFaultOperation(target))
        return std::nullopt;
    const auto op = std::ranges::find(kOperationNames, target) - std::begin(kOperationNames);
    return slotOf(static_cast<Operation>(op));
}

void SimulatedBaseStation::addFault(Fault fault) {
    auto slot = slotOf(fault.target);
    if (!slot || !faultApplies(fault.target, fault.kind))
        throw std::invalid_argument("a fault of this kind cannot hit \"" + fault.target + "\"");
    if (fault.start < 1 || fault.count < 0)
        throw std::invalid_argument("a fault needs start >= 1 and count >= 0");
    if (fault.kind == FaultKind::Status && fault.status == 0)
        throw std::invalid_argument("a status fault needs a nonzero status");
    faults_[*slot].push_back(fault);
    scenario_.faults.push_back(std::move(fault));
}

const Fault* SimulatedBaseStation::nextFault(std::size_t slot) {
    const std::uint64_t occurrence = ++occurrences_[slot];
    for (const Fault& fault : faults_[slot]) {
        const auto start = static_cast<std::uint64_t>(fault.start);
        if (occurrence >= start &&
            (fault.count == 0 || occurrence < start + static_cast<std::uint64_t>(fault.count)))
            return &fault;
    }
    return nullptr;
}

// Each call takes the radio latency. A wait the OS stretched is made up on the next call, so the
// radio's time over many calls is calls x latency, as with a real link, and timing runs measure the
// program rather than the scheduler.
void SimulatedBaseStation::radioDelay() {
    if (scenario_.latencySeconds <= 0.0)
        return;
    const auto latency = toDuration(scenario_.latencySeconds);
    const auto start = Clock::now();
    waitUntil(start + std::max(latency - overslept_, Clock::duration::zero()));
    overslept_ += (Clock::now() - start) - latency;
    overslept_ = std::clamp(overslept_, Clock::duration::zero(), latency);
}

std::optional<std::size_t> SimulatedBaseStation::moduleIndex(std::int32_t id) const {
    auto it = byId_.find(id);
    if (it == byId_.end())
        return std::nullopt;
    return it->second;
}

const SimModule* SimulatedBaseStation::module(std::int32_t id) const {
    auto index = moduleIndex(id);
    return index ? &scenario_.modules[*index] : nullptr;
}

std::optional<std::uint32_t> SimulatedBaseStation::logIndex(std::int32_t id) const {
    auto index = moduleIndex(id);
    if (!index)
        return std::nullopt;
    return logIndex_[*index];
}

std::int16_t SimulatedBaseStation::OpenUSB(std::int32_t, std::int32_t) {
    radioDelay();
    const Fault* fault = nextFault(slotOf(Operation::OpenUSB));
    if (fault && fault->kind == FaultKind::Raise)
        raise(*fault);
    std::int16_t status = fault ? fault->status : scenario_.openStatus;
    setCurrentError(scenario_.openError); // also clears an error a previous call left, when there is none
    usbOpen_ = status == 0;
    return status;
}

void SimulatedBaseStation::CloseUSB() {
    radioDelay();
    if (const Fault* fault = nextFault(slotOf(Operation::CloseUSB)))
        raise(*fault);
    usbOpen_ = false;
}

std::int32_t SimulatedBaseStation::ProbeProvider() {
    radioDelay();
    const Fault* fault = nextFault(slotOf(Operation::ProbeProvider));
    if (fault && fault->kind == FaultKind::Raise)
        raise(*fault);
    setCurrentError(fault ? CurrentError{fault->errorNumber, fault->errorDescription} : scenario_.probeError);
    return 0;
}

std::uint8_t SimulatedBaseStation::ReadBaseByte(std::int32_t) {
    radioDelay();
    if (const Fault* fault = nextFault(slotOf(Operation::ReadBaseByte)))
        raise(*fault);
    return scenario_.basePresent ? 0x5A : 0x00;
}

std::int32_t SimulatedBaseStation::PairModule(std::int32_t, std::int32_t, std::int32_t seconds,
                                              std::int32_t& id, std::int32_t& secondOutput) {
    radioDelay();
    const Fault* fault = nextFault(slotOf(Operation::PairModule));
    if (fault && fault->kind == FaultKind::Raise)
        raise(*fault);
    const double pairingTime = std::max(0, seconds);
    const bool inTime = scenario_.pairDelaySeconds <= pairingTime;
    sleepFor(inTime ? scenario_.pairDelaySeconds : pairingTime);
    id = inTime && !fault && linkUp() && scenario_.pairs ? *scenario_.pairs : 0;
    secondOutput = 0;
    return id != 0 ? 1 : 0;
}

std::int32_t SimulatedBaseStation::DetectBase(std::int32_t) {
    radioDelay();
    const Fault* fault = nextFault(slotOf(Operation::DetectBase));
    if (fault && fault->kind == FaultKind::Raise)
        raise(*fault);
    return !fault && scenario_.basePresent ? 1 : 0;
}

std::int16_t SimulatedBaseStation::WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                                                std::string& text) {
    radioDelay();
    if (const Fault* fault = nextFault(command)) {
        if (fault->kind == FaultKind::Raise)
            raise(*fault);
        return fault->status; // only status faults fit a write
    }
    std::size_t module = 0;
    if (std::int16_t status = route(one, id, module))
        return status;
    return write(module, command, text);
}

std::int16_t SimulatedBaseStation::ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                                               std::string& text) {
    radioDelay();
    const Fault* fault = nextFault(command);
    if (fault && fault->kind == FaultKind::Raise)
        raise(*fault);
    if (fault && fault->kind == FaultKind::Status)
        return fault->status;
    std::size_t module = 0;
    if (std::int16_t status = route(one, id, module))
        return status;
    return read(module, command, fault, text);
}

std::int16_t SimulatedBaseStation::route(std::uint8_t one, std::int32_t id, std::size_t& module) const {
    if (one != Arg::CommandFirst)
        return SimStatus::BadArgument;
    if (!linkUp())
        return SimStatus::NoLink;
    auto index = moduleIndex(id);
    if (!index)
        return SimStatus::NoModule;
    module = *index;
    return 0;
}

std::int16_t SimulatedBaseStation::read(std::size_t m, std::uint8_t command, const Fault* fault,
                                        std::string& text) {
    SimModule& module = scenario_.modules[m];
    if (fault && fault->kind == FaultKind::NewLog && module.records.size() < kMaxLogs)
        appendGeneratedLogs(module.records, 1, static_cast<std::uint32_t>(module.records.size()));
    switch (command) {
    case Cmd::Model:
        text.assign(module.model);
        break;
    case Cmd::LogCount: {
        if (module.countText) {
            text.assign(*module.countText);
            break;
        }
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, module.records.size()).ptr;
        text.assign(digits, end);
        break;
    }
    case Cmd::LogData: {
        std::uint32_t& index = logIndex_[m];
        std::uint64_t at = index;
        if (fault && fault->kind == FaultKind::SkipRecord)
            ++at;
        if (at < 1 || at > module.records.size())
            return SimStatus::EndOfLog;
        text.assign(module.records[at - 1]);
        if (!fault || recordDelivered(fault->kind))
            index = static_cast<std::uint32_t>(at + 1);
        break;
    }
    default:
        return SimStatus::Rejected;
    }
    if (fault)
        spoilReply(fault->kind, text);
    return 0;
}

std::int16_t SimulatedBaseStation::write(std::size_t m, std::uint8_t command, const std::string& text) {
    // Every value arrives followed by two NULs; without them the module cannot tell where the value ends.
    if (text.size() < 2 || text[text.size() - 1] != '\0' || text[text.size() - 2] != '\0')
        return SimStatus::Rejected;
    const std::string_view value(text.data(), text.size() - 2);
    switch (command) {
    case Cmd::LogIndex: {
        std::uint32_t number = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < 1 ||
            number > kMaxLogs)
            return SimStatus::Rejected;
        logIndex_[m] = number;
        return 0;
    }
    case Cmd::ClearLog:
        if (value != kClearLogCode)
            return SimStatus::Rejected;
        scenario_.modules[m].records.clear();
        logIndex_[m] = 1;
        return 0;
    default:
        return SimStatus::Rejected;
    }
}

} // namespace z83::sim
