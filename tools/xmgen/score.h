#pragma once
// Reads a module's score, a small text notation (described at the top of every file under
// tools/xmgen/songs/), and builds the module: instruments synthesised from their parameters,
// patterns assembled from named tracks, the order list, and a size fitted to the target.
#include <string>

#include "tools/xmgen/xm_writer.h"

// Parses `text` and fills `module`. On failure returns false with "line N: what" in `error`.
bool BuildModule(const std::string& text, XmModule& module, std::string& error);

// Reads the score at `song_path` and writes the module file to `xm_path`.
bool GenerateModuleFile(const std::string& song_path, const std::string& xm_path,
                        std::string& error);
