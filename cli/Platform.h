// What the command needs from the operating system, and nothing else: the
// standard streams as byte sources and sinks, files opened by path, and
// whether standard error is a terminal. PlatformPosix.cpp and
// PlatformWindows.cpp implement it; besides them only WindowsConsole.cpp (the
// Windows console and arguments) includes a system header.
#pragma once

#include <memory>
#include <string>

#include "TextInput.h"
#include "TextOutput.h"

namespace vantel::cli {

// Unbuffered: the readers and Output buffer.
std::unique_ptr<ByteSource> StandardInputSource();
std::unique_ptr<ByteSink> StandardOutputSink();

// Opens a file for reading; throws ReadError with the system's reason.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

bool StandardErrorIsTerminal();

}  // namespace vantel::cli
