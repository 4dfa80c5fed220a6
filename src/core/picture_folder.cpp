#include "core/picture_folder.h"

#include "core/paths.h"

namespace orv::core {

std::string resultFolder(const Workspace& ws) {
    return joinPath(ws.ResultRoot.empty() ? ws.DoFilePath : ws.ResultRoot, ws.DoFileName + ".dir");
}

std::string logFilePath(const Workspace& ws) {
    return joinPath(resultFolder(ws), ws.DoFileName + ".log");
}

bool isClipboardPicture(const Workspace& ws) {
    return ws.DoFilePath == "clipboard";
}

}  // namespace orv::core
