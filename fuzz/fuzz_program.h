#pragma once
// One program for a whole fuzzing run: a virtual clock, a host that answers every box and
// prints nothing, and a drive root in a temporary directory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/program.h"

namespace kvr {
class ScriptHost;
}

namespace kvr::fuzz {

Program& program();
ScriptHost& script_host();
// A path in the run's temporary directory.
std::string scratch_file(const std::string& name);
// Replaces the file's contents with the input; false when it cannot be written.
bool write_whole(const std::string& path, const uint8_t* data, size_t size);

}  // namespace kvr::fuzz
