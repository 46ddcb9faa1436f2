// The simulator's end of the line: a pseudo-terminal whose slave side the
// analyzer opens as if it were the converter's tty. The slave is put into
// the instrument's raw mode before any byte flows (no echo of the program's
// bytes back to it, no CR/LF translation), and the simulator keeps a slave
// descriptor of its own open: without it, the analyzer closing and
// reopening the port after a time-out would hang up the master.
#pragma once

#include <string>

namespace vna {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal() { close(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Opens a new pair; on failure `error` says why.
  bool open(std::string& error);
  // Closes both ends: whoever has the slave open sees a hang-up.
  void close();
  bool isOpen() const { return master_ >= 0; }

  int master() const { return master_; }  // non-blocking
  const std::string& slavePath() const { return slavePath_; }

 private:
  bool fail(std::string& error, const char* what);

  int master_ = -1;
  int keeper_ = -1;  // our own slave descriptor
  std::string slavePath_;
};

}  // namespace vna
