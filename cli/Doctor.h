// varnosklen-cli doctor: for "my box is never found", every place the
// library is looked for, in order, what is there, which one is used and
// what the box says.
#pragma once

namespace cli {

// Writes its report a line at a time; the exit code is status's.
int Doctor(bool (*write_line)(const wchar_t* line));

}  // namespace cli
