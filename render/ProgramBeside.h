#pragma once

#include <string>

// A program in the directory of the running executable, where the hosts
// find their helpers: CUPS's filter directory for the filters, the build
// tree for the tests. Empty when it is not there or cannot be run.
std::string ProgramBeside(const std::string& name);
