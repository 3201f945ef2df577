#pragma once

#include "ui/MainFrmLayout.h"

namespace z83::win {

// Each control that is a window carries its place in the layout as its identifier, from this number on,
// so that the window finds a control's design, and a tool outside the program finds a control by its name.
inline constexpr int kFirstControlId = 100;

constexpr int controlId(const ui::layout::Control& control) {
    return kFirstControlId + static_cast<int>(&control - ui::layout::kControls);
}

// The design of the control with that identifier, or none.
constexpr const ui::layout::Control* controlOfId(int id) {
    const int index = id - kFirstControlId;
    return index >= 0 && index < static_cast<int>(std::size(ui::layout::kControls))
               ? &ui::layout::kControls[index]
               : nullptr;
}

} // namespace z83::win
