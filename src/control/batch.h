#pragma once
// Batch processing: every picture of a list file is loaded, run through the pipeline and
// saved, with a batch log beside the list.

#include <string>
#include <vector>

#include "core/context.h"
#include "core/result.h"

namespace orv::control {

struct BatchRecord {
    std::string folder;  // becomes DoFilePath
    std::string name;    // becomes DoFileName
};

// Reads a batch list: two comma-separated fields per line, each optionally in double quotes
// (a doubled quote inside stands for one); unquoted fields lose surrounding blanks; blank
// lines are skipped.
core::Result<std::vector<BatchRecord>> readBatchList(const std::string& path);
// One list line as read.
BatchRecord parseBatchLine(const std::string& line);

// Button "２．ﾊﾞｯﾁ処理実行".
void cmdBachDo_Click(core::Ctx& ctx);

}  // namespace orv::control
