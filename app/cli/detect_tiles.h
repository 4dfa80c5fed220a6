#pragma once
// `detect --tiles S|auto`: one picture of any size detected in tiles held in memory, on every
// core, into one catalogue.

#include <functional>
#include <string>

#include "cli.h"
#include "control/headless_run.h"

namespace orv::cli {

// Where -o puts the catalogue of a picture (empty: not given).
using CatalogueTarget = std::function<std::string(const control::PictureOutcome&)>;

// Runs detect with --tiles on the one picture of `a` with the engine `options`: the catalogue
// goes to `target` (or IMAGE.dir/IMAGE.ecsv beside the picture, or under `outDir`), one summary
// line (or a JSON object with --json) to standard output, every tile that could not be done
// and everything else that leaves the catalogue incomplete to standard error. Exit status as
// detect's.
int runDetectTiles(const ParsedArgs& a, const EngineOptions& engine,
                   const control::HeadlessOptions& options, const CatalogueTarget& target,
                   const std::string& outDir, const char* usage);

}  // namespace orv::cli
