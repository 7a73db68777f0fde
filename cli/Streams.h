// The streams a command runs with, and the inputs it opens by name.
#pragma once

#include <iosfwd>
#include <string_view>

#include "TextInput.h"
#include "TextOutput.h"

namespace vantel::cli {

struct Streams {
  ByteSource& in;  // standard input
  Output& out;     // standard output
  std::ostream& err;
  bool errIsTerminal = false;  // a progress bar may be drawn there
};

// The file at `path`, or standard input for "-". A file that cannot be
// opened is a UsageError naming `option` and the system's reason.
Input OpenInput(std::string_view path, Streams& streams, std::string_view option);

}  // namespace vantel::cli
