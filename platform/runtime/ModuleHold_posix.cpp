#include "platform/runtime/ModuleHold.h"

namespace platform {

ModuleHold::~ModuleHold() = default;

void ModuleHold::Take() {}

}  // namespace platform
