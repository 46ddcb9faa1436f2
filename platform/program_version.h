// The software's version, set once in the build (the project's VERSION in
// CMakeLists.txt, which the package takes too), as every program prints it.
#pragma once

#include <string>
#include <string_view>

namespace vna {

std::string_view softwareVersion();

// What "PROGRAM --version" prints: the name and version, then the licence.
std::string versionText(std::string_view program);

}  // namespace vna
