// The kinds of POSIX handle the portable core owns.
#pragma once

#include <unistd.h>

#include "platform/runtime/UniqueResource.h"

namespace platform {

using UniqueFd = UniqueResource<int, &::close, -1>;

}  // namespace platform
