#pragma once
// What a full cluster table left undone, in the user's words. The cluster table holds 50000
// numbers (result files and their readers rely on 1..50000); a noisy picture can fill it, and
// the rest of the picture then gets no results. The run says so rather than ending as if all
// went well: on the message line, in the processing log, in the CLI's exit status and in the
// batch log.

#include <string>

#include "core/workspace.h"

namespace orv::extract {

// The whole message for the current tables ("" when the table never filled): the row where
// extraction stopped and what the split lost, each with what the user can do about it (a
// higher threshold, named when the picture's noise suggests one above Siki, or tiles).
std::string tableFullMessage(const core::Workspace& ws);
// Only the cluster extraction's part ("" when it did not stop).
std::string extractionTableFullMessage(const core::Workspace& ws);
// Only the gourd split's part ("" when it lost nothing).
std::string splitTableFullMessage(const core::Workspace& ws);

}  // namespace orv::extract
