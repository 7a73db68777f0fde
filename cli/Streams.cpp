#include "Streams.h"

#include <string>

#include "Arguments.h"
#include "Platform.h"

namespace vantel::cli {

Input OpenInput(std::string_view path, Streams& streams, std::string_view option) {
  if (path == "-") return Input(streams.in, "standard input");
  const std::string name(path);
  try {
    return Input(OpenFileSource(name), name);
  } catch (const ReadError& failure) {
    throw UsageError(std::string(option) + ": cannot open '" + name + "': " + failure.what());
  }
}

}  // namespace vantel::cli
