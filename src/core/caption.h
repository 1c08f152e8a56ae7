#pragma once
namespace kvr {

struct Program;

// Caption of the main frame: application name + " - " + FileName.
void SetCaption(Program& p, const char* name);

}  // namespace kvr
