// The standard output of a window program, for the one-line reports of its command-line roads:
// the handle it inherited (a console, a pipe or a file, passed on by a console companion or a
// redirection), else the console of the process that started it, when that has one.
#pragma once

namespace OSYS {

// Whether there is a standard output to write to. Looked for once per process; attaches to the
// parent's console when no handle was inherited.
bool HasStandardOutput();
// Writes text (in the system's code page) and a line break: as Unicode to a console, in the
// console's code page (the OEM code page without one) to a pipe or file. False without an
// output or when the write fails.
bool WriteStandardLine(const char* text);

} // namespace OSYS
