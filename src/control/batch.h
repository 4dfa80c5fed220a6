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

// The texts of the batch log lines (after the date and time).
std::string batchStartText(int count, const std::string& name);  // "001 a.bmp 処理開始"
std::string batchEndText(const std::string& picture);            // "<path> 処理終了"
std::string batchLoadErrorText(const std::string& picture);      // "<path> 読込エラー"
std::string batchSaveErrorText(const std::string& picture);      // "<path> 保存エラー"
std::string batchFinishedText(bool cancelled);  // "バッチ処理終了" / "…中止"

// Button "２．ﾊﾞｯﾁ処理実行".
void cmdBachDo_Click(core::Ctx& ctx);

}  // namespace orv::control
