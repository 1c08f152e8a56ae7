#pragma once
// The guiding graph's settings, kept beside the binary settings file in a text file of
// "NAME VALUE" lines (guide_plate_scale, guide_graph_minutes). The binary file keeps its fixed
// 1424-byte layout, which other installations of the program read; these values live apart.
namespace kvr {

struct Program;

inline constexpr const char* kGuideGraphFile = "c:\\autosave\\KVR_Q4_GRAPH.INI";

// Takes the values of the file. A missing file keeps the values in memory; so does a line with
// an unknown name or an unusable value, and then false is returned.
bool load_guide_graph_settings(Program& p);
// Writes both values: 0 written, 3 the file could not be written.
int save_guide_graph_settings(Program& p);

}  // namespace kvr
