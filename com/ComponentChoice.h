#pragma once

#include "link/DataProvider.h"

#include <stdexcept>
#include <string>

namespace z83::win {

// Several classes are registered under the component's name and nothing says which to create; what() names
// them and how to choose.
class AmbiguousComponent : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The class to create and why it is that one.
struct ComponentChoice {
    std::string progId;
    std::string reason;
};
// The class to create: the one asked for, else the text value ProgID under
// HKEY_CURRENT_USER\Software\<program>\Settings, else the one class the registry holds under the
// component's name; "" when none is found, which is not refused here: start-up then says that the component
// is possibly not registered. Throws AmbiguousComponent.
ComponentChoice chooseComponent(const std::string& asked);

// What creates the component's instance at start-up (in Session::Load, as the window does it), for the class
// chooseComponent chooses now. serviceMessages: see ComProvider. Throws AmbiguousComponent.
ProviderFactory componentFactory(const std::string& asked, bool serviceMessages);

} // namespace z83::win
