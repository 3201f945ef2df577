#pragma once

#include "backend/Backend.h"
#include "link/ComponentInspection.h"

#include <cstdint>
#include <optional>
#include <string>

// What the front ends may ask of the maker's component beyond its provider, so that none of them reaches
// the component's adapter itself. Where the component cannot be used, each answer says there is nothing.
namespace z83 {

// Waits the given time (at most an hour) servicing the thread's posted and sent messages, for a component
// with a hidden window or timer of its own; gives true. Where there is no component: waits not, gives false.
bool waitServicingComponentMessages(double seconds);

// The class choice.progId names, or the one the programs would choose; nothing when the choice is not the
// component or the component cannot be used here.
std::optional<ComponentInspection> inspectComponent(const BackendChoice& choice);

// An error number as this platform's engineers look it up: on Windows a failing HRESULT in hexadecimal
// with its name where it has one, and the number as programs show it.
std::string errorNumberText(std::int32_t number);

} // namespace z83
