#include "platform/ModuleHold.h"

namespace platform {

ModuleHold::~ModuleHold() = default;

void ModuleHold::Take() {}

}  // namespace platform
