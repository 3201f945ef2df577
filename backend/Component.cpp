#include "backend/Component.h"

#ifdef _WIN32
#include "com/ComDiagnosis.h"
#include "com/ComErrors.h"
#include "com/MessagePump.h"
#endif

namespace z83 {

#ifdef _WIN32

bool waitServicingComponentMessages(double seconds) {
    win::waitServicingMessages(seconds);
    return true;
}

std::optional<ComponentInspection> inspectComponent(const BackendChoice& choice) {
    if (choice.kind != BackendChoice::Kind::Component)
        return std::nullopt;
    return win::inspectComponent(choice.progId);
}

std::string errorNumberText(std::int32_t number) {
    // Automation error numbers (raised by the component itself) are small; the rest are HRESULTs.
    if (number >= 0)
        return std::to_string(number);
    return win::hresultCode(static_cast<HRESULT>(number)) + " (" + std::to_string(number) + ")";
}

#else

bool waitServicingComponentMessages(double) {
    return false;
}

std::optional<ComponentInspection> inspectComponent(const BackendChoice&) {
    return std::nullopt;
}

std::string errorNumberText(std::int32_t number) {
    return std::to_string(number);
}

#endif

} // namespace z83
