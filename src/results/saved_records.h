#pragma once
// The results of the current tables as their result pair keeps them, worked out without
// writing or reading the pair: the records that reading back resultDataLines gives. A caller
// that hands results on without saving them (the Python module) gives the same numbers as one
// that reads the saved pair.

#include <vector>

#include "core/workspace.h"
#include "results/data_files.h"

namespace orv::results {

// The record of cluster i as its line reads back: every Single as its general form shows it
// (7 significant digits) taken to single precision, whole numbers as they are, the note and
// the outline with line breaks as blanks, Used -1 and Divided 0, every field the line does not
// hold at its start value.
ResultRecord savedRecord(const core::Workspace& ws, int32_t i);

// The numbers of the clusters resultDataLines writes, in its order.
std::vector<int32_t> savedNumbers(const core::Workspace& ws);
// Their records.
std::vector<ResultRecord> savedRecords(const core::Workspace& ws);

}  // namespace orv::results
