// Form creation: construct, adapt the designed values to the screen, then run
// the creation handler. The handler cannot run from a constructor: a base
// class constructor has not yet seen the derived class's designed values.
#pragma once

#include <memory>
#include <utility>

#include "platform/forms/Components.h"

namespace platform {

// The window layer's step between design and creation handler: the frame
// around the client size and the screen density (platform/forms/FormScale.h).
void PrepareForm(TForm& form);

template <class T, class... Args>
std::unique_ptr<T> CreateForm(Args&&... args) {
    std::unique_ptr<T> form(new T(std::forward<Args>(args)...));
    PrepareForm(*form);
    form->DoCreate();
    return form;
}

}  // namespace platform
