// Where the program lives: the folder of the running executable.
#pragma once

#include <QString>

namespace pellum {

// The folder of the running executable with a trailing '/', from
// /proc/self/exe. Falls back to the current folder when that link cannot be
// read.
QString ExecutableFolder();

} // namespace pellum
