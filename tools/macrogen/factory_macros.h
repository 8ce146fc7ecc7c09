#pragma once
// The macros Quillet ships: the factory groups of both languages and the built-in macros.
#include <string>
#include <vector>

#include "core/macro/macro_record.h"
#include "core/settings/app_state.h"

namespace quillet::macrogen {

struct FactoryGroup {
  std::string name;  // also the file name, without ".dat"
  std::vector<Macro> macros;
};

// The factory set of a language, in the order macroGrp.ini lists it.
std::vector<FactoryGroup> factoryGroups(Language language);

// The built-in macros of function codes 32..39, in code order.
std::vector<Macro> builtinMacros();

}  // namespace quillet::macrogen
