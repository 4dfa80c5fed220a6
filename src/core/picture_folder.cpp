#include "core/picture_folder.h"

#include "core/paths.h"

namespace orv::core {

std::string resultFolder(const Workspace& ws) {
    return resultFolderOf(ws.DoFilePath, ws.DoFileName, ws.ResultRoot);
}

std::string resultFolderOf(const std::string& folder, const std::string& name,
                           const std::string& root) {
    return joinPath(root.empty() ? folder : root, name + ".dir");
}

std::string logFilePath(const Workspace& ws) {
    return joinPath(resultFolder(ws), ws.DoFileName + ".log");
}

bool isClipboardPicture(const Workspace& ws) {
    return ws.DoFilePath == "clipboard";
}

bool hasPictureFile(const Workspace& ws) {
    return !isClipboardPicture(ws) && !ws.DoFileName.empty() && !ws.DoFilePath.empty();
}

}  // namespace orv::core
