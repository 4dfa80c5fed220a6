#pragma once
// Where the current picture's own files lie: its result folder beside it and the processing
// log inside that folder.

#include <string>

#include "core/workspace.h"

namespace orv::core {

// The picture's result folder: DoFilePath / DoFileName.dir, or ResultRoot / DoFileName.dir when
// the results go to a folder of their own.
std::string resultFolder(const Workspace& ws);
// The processing log: resultFolder / DoFileName.log
std::string logFilePath(const Workspace& ws);
bool isClipboardPicture(const Workspace& ws);

}  // namespace orv::core
