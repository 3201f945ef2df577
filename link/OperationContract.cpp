#include "link/OperationContract.h"

#include "desktop/ShownText.h"
#include "link/Hex.h"

#include <cstdio>

namespace z83 {

ArgumentValue valueOf(Passing passing, const ArgumentSlot& slot) {
    switch (passing) {
    case Passing::Value:
        return {slot.value, {}};
    case Passing::ByteRef:
    case Passing::CommandRef:
        return {*slot.byte, {}};
    case Passing::IdRef:
    case Passing::Int32Ref:
        return {*slot.int32, {}};
    case Passing::TextRef:
        return {0, *slot.text};
    }
    return {};
}

void assign(Passing passing, const ArgumentSlot& slot, const ArgumentValue& value) {
    switch (passing) {
    case Passing::Value:
        break;
    case Passing::ByteRef:
    case Passing::CommandRef:
        *slot.byte = static_cast<std::uint8_t>(value.number);
        break;
    case Passing::IdRef:
    case Passing::Int32Ref:
        *slot.int32 = static_cast<std::int32_t>(value.number);
        break;
    case Passing::TextRef:
        *slot.text = value.text;
        break;
    }
}

namespace {

// A text in double quotes, with what a terminal would act on escaped.
std::string quoted(std::string_view text) {
    std::string shown = "\"";
    for (char c : shownDeviceText(text, 60)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            shown += '\\';
            shown += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, u == 0 ? "\\0" : "\\x%02X", u);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown + "\"";
}

} // namespace

std::string argumentText(Passing passing, const ArgumentValue& value) {
    switch (passing) {
    case Passing::IdRef:
        return idHex(static_cast<std::int32_t>(value.number));
    case Passing::CommandRef:
        return quoted(std::string(1, static_cast<char>(value.number)));
    case Passing::TextRef:
        return quoted(value.text);
    case Passing::Value:
    case Passing::ByteRef:
    case Passing::Int32Ref:
        break;
    }
    return std::to_string(value.number);
}

std::string callText(Operation operation, std::span<const ArgumentValue> arguments) {
    std::string text = std::string(operationName(operation)) + "(";
    const auto facts = contractOf(operation).arguments();
    for (std::size_t i = 0; i < facts.size() && i < arguments.size(); ++i)
        text += (i ? ", " : "") + argumentText(facts[i].passing, arguments[i]);
    return text + ")";
}

std::int32_t invokeOn(DataProvider& provider, Operation operation, std::span<const ArgumentSlot> a) {
    switch (operation) {
    case Operation::OpenUSB:
        return provider.OpenUSB(a[0].value, a[1].value);
    case Operation::CloseUSB:
        provider.CloseUSB();
        return 0;
    case Operation::ProbeProvider:
        return provider.ProbeProvider();
    case Operation::ReadBaseByte:
        return provider.ReadBaseByte(a[0].value);
    case Operation::PairModule:
        return provider.PairModule(a[0].value, a[1].value, a[2].value, *a[3].int32, *a[4].int32);
    case Operation::DetectBase:
        return provider.DetectBase(a[0].value);
    case Operation::WriteCommand:
        return provider.WriteCommand(*a[0].byte, *a[1].int32, *a[2].byte, *a[3].text);
    case Operation::ReadCommand:
        return provider.ReadCommand(*a[0].byte, *a[1].int32, *a[2].byte, *a[3].text);
    }
    return 0;
}

std::int16_t UniformProvider::OpenUSB(std::int32_t first, std::int32_t second) {
    const ArgumentSlot slots[] = {{first}, {second}};
    return static_cast<std::int16_t>(invoke(Operation::OpenUSB, slots));
}

void UniformProvider::CloseUSB() {
    invoke(Operation::CloseUSB, {});
}

std::int32_t UniformProvider::ProbeProvider() {
    return invoke(Operation::ProbeProvider, {});
}

std::uint8_t UniformProvider::ReadBaseByte(std::int32_t which) {
    const ArgumentSlot slots[] = {{which}};
    return static_cast<std::uint8_t>(invoke(Operation::ReadBaseByte, slots));
}

std::int32_t UniformProvider::PairModule(std::int32_t first, std::int32_t second, std::int32_t seconds,
                                         std::int32_t& id, std::int32_t& secondOutput) {
    const ArgumentSlot slots[] = {
        {first}, {second}, {seconds}, {0, nullptr, &id}, {0, nullptr, &secondOutput}};
    return invoke(Operation::PairModule, slots);
}

std::int32_t UniformProvider::DetectBase(std::int32_t which) {
    const ArgumentSlot slots[] = {{which}};
    return invoke(Operation::DetectBase, slots);
}

std::int16_t UniformProvider::WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                                           std::string& text) {
    const ArgumentSlot slots[] = {{0, &one}, {0, nullptr, &id}, {0, &command}, {0, nullptr, nullptr, &text}};
    return static_cast<std::int16_t>(invoke(Operation::WriteCommand, slots));
}

std::int16_t UniformProvider::ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                                          std::string& text) {
    const ArgumentSlot slots[] = {{0, &one}, {0, nullptr, &id}, {0, &command}, {0, nullptr, nullptr, &text}};
    return static_cast<std::int16_t>(invoke(Operation::ReadCommand, slots));
}

} // namespace z83
