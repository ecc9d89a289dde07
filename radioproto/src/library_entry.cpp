// The library's attach and detach: when the shared library is loaded into a
// process it classifies the system and binds the USB device monitor; when it
// is unloaded it ends its links and lets the monitor go.

#include "library_state.h"

namespace {

__attribute__((constructor)) void OnAttach() { gantrel::AttachLibrary(); }
__attribute__((destructor)) void OnDetach() { gantrel::DetachLibrary(); }

}  // namespace
