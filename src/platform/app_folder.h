#pragma once
#include <filesystem>

namespace quillet {

// The folder that holds the running executable, without a trailing separator. Shipped data
// (skins/, constMacro.dat) lie beside the executable.
std::filesystem::path executableFolder();

}  // namespace quillet
