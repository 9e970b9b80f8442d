#pragma once

namespace mirdal {

// Registers the pictures compiled into the UI library (logo, icon). A
// resource file in a static library is not registered by itself; safe to
// call more than once.
void initResources();

}  // namespace mirdal
