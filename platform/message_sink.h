// Inside the platform layer: where message boxes go while a sink is set (see
// window::RedirectMessageBoxes). Both backends' MessageBox ask here first.
#pragma once

#include <string_view>

namespace platform::window::detail {

// Hands the text to the sink and returns true, or returns false when no sink is set.
bool SendToMessageSink(std::string_view text);

}  // namespace platform::window::detail
