#pragma once
// The command line the running process was started with, in the form the
// installer's modes look for words in.
#include <string>

namespace platform {

// The arguments after the program name, joined by single blanks; "" when the
// process has none or /proc is unreadable.
std::string CurrentProcessCommandLine();

// The same rule applied to a raw NUL-separated argument block as Linux keeps
// it in /proc/<pid>/cmdline.
std::string CommandLineFromArgumentBlock(const std::string& block);

}  // namespace platform
