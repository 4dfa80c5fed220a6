#pragma once
// Where the current picture's own files lie: its result folder beside it and the processing
// log inside that folder.

#include <string>

#include "core/workspace.h"

namespace orv::core {

// The picture's result folder: DoFilePath / DoFileName.dir, or ResultRoot / DoFileName.dir when
// the results go to a folder of their own.
std::string resultFolder(const Workspace& ws);
// The same for the picture `name` in `folder`: folder / name.dir, or root / name.dir when
// `root` is not empty.
std::string resultFolderOf(const std::string& folder, const std::string& name,
                           const std::string& root);
// The processing log: resultFolder / DoFileName.log
std::string logFilePath(const Workspace& ws);
bool isClipboardPicture(const Workspace& ws);
// Whether the working picture came from a file of its own: it has a name and a folder and is
// no clipboard picture (a tile held in memory has no folder).
bool hasPictureFile(const Workspace& ws);

}  // namespace orv::core
