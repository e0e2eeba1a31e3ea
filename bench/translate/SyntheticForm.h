// A form of 200 components of the kinds the translator knows, all owned by
// the form itself, so the keys land in the file in the order they are visited.
#pragma once

#include <memory>

#include "platform/Components.h"

namespace bench {

class TBenchForm : public platform::TForm {
public:
    using TForm::TForm;
    const char* ClassName() const override { return "TBenchForm"; }
};

std::unique_ptr<TBenchForm> MakeSyntheticForm(int componentCount);

}  // namespace bench
