#include "platform/program_version.h"

namespace vna {

std::string_view softwareVersion() {
  return VNA_VERSION;
}

std::string versionText(std::string_view program) {
  std::string text(program);
  text += ' ';
  text += softwareVersion();
  text +=
      "\n"
      "Licence GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
      "This is free software: you are free to change and redistribute it.\n"
      "There is NO WARRANTY, to the extent permitted by law.\n";
  return text;
}

}  // namespace vna
