#pragma once
// Batch processing: every picture of a list file is loaded, run through the pipeline and
// saved, with a batch log beside the list.

#include <string>
#include <vector>

#include "core/result.h"
#include "form/context.h"

namespace orv::control {

struct BatchRecord {
    std::string folder;   // becomes DoFilePath
    std::string name;     // becomes DoFileName
    std::string refused;  // why the record cannot be processed ("" when it can)
};

// Reads a batch list: two comma-separated fields per line, each optionally in double quotes
// (a doubled quote inside stands for one); unquoted fields lose surrounding blanks; blank
// lines are skipped. Each record is resolved with resolveBatchRecord.
core::Result<std::vector<BatchRecord>> readBatchList(const std::string& path);
// One list line as read.
BatchRecord parseBatchLine(const std::string& line);
// A record's folder as a path to load from: an empty or relative folder is taken in the
// list's folder (not the current one). A "clipboard" folder (a clipboard picture's results,
// never a file) and a missing name make the record refused, with the reason.
BatchRecord resolveBatchRecord(BatchRecord record, const std::string& listFolder);

// The texts of the batch log lines (after the date and time).
std::string batchStartText(int count, const std::string& name);  // "001 a.bmp 処理開始"
std::string batchEndText(const std::string& picture);            // "<path> 処理終了"
// "<path> 読込エラー", with ": <reason>" when the loading step said why.
std::string batchLoadErrorText(const std::string& picture, const std::string& reason = "");
std::string batchSaveErrorText(const std::string& picture);  // "<path> 保存エラー"
// "<path> 処理エラー: <reason>": a run-time error ended the record.
std::string batchFaultText(const std::string& picture, const std::string& reason);
// "<path> 読込エラー: <reason>": a record that could not even be tried.
std::string batchRefusedText(const std::string& picture, const std::string& reason);
// "<path> 結果が不完全: <what>": processed and saved, but not all of the picture.
std::string batchIncompleteText(const std::string& picture, const std::string& what);
// "バッチ処理終了" / "バッチ処理中止", with " (N 件失敗)" when records failed.
std::string batchFinishedText(bool cancelled, int failed = 0);

// How the records of a run ended.
struct BatchTally {
    int loadFailed = 0, processFailed = 0, saveFailed = 0;  // refused records count as loads
    int incomplete = 0;                                     // saved, but not all of the picture
    std::string logError;                                   // the batch log could not be written
    int failed() const { return loadFailed + processFailed + saveFailed; }
};
// The closing box of the window's batch run: "処理が正常に終了しました。" only when every
// record was processed whole and logged; otherwise what went wrong and where the log is.
std::string batchClosingMessage(bool cancelled, const BatchTally& tally, const std::string& log);

// Button "２．ﾊﾞｯﾁ処理実行".
void cmdBachDo_Click(form::Ctx& ctx);

}  // namespace orv::control
