#include "form/headless_host.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace orv::form {

namespace {

// The next scripted answer of a dialog; cancelled when none is left.
std::optional<std::string> nextAnswer(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
}

}  // namespace

void HeadlessHost::pump() {
    ++pumps;
    if (onPump) onPump();
}

MsgAnswer HeadlessHost::msgBox(const std::string& text, MsgButtons buttons,
                               const std::string& title) {
    messages.push_back({text, title, buttons});
    if (msgAnswers.empty())
        return buttons == MsgButtons::SaveDiscardCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
    MsgAnswer a = msgAnswers.front();
    msgAnswers.pop_front();
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : a;
}

std::optional<std::string> HeadlessHost::inputBox(const std::string&, const std::string&,
                                                  const std::string&) {
    return nextAnswer(inputAnswers);
}

std::optional<std::string> HeadlessHost::openFileDialog(const std::string& initialFolder,
                                                        const std::string& filter) {
    fileDialogs.push_back(initialFolder + "|" + filter);
    return nextAnswer(fileAnswers);
}

std::optional<std::string> HeadlessHost::chooseFolder(const std::string& initialFolder) {
    folderDialogs.push_back(initialFolder);
    return nextAnswer(folderAnswers);
}

std::optional<std::string> HeadlessHost::saveFileDialog(const std::string& initialFolder,
                                                        const std::string& suggestedName,
                                                        const std::string& filter) {
    saveDialogs.push_back(initialFolder + "|" + suggestedName + "|" + filter);
    return nextAnswer(saveAnswers);
}

core::Result<Picture> HeadlessHost::clipboardPicture() {
    if (clipboard) return clipboard();
    return core::Error{"クリップボードに画像がありません。"};
}

core::Result<Picture> HeadlessHost::decodePicture(const std::string& path) {
    if (decoder) return decoder(path);
    return core::Error{"画像を読み込めません: " + path};
}

void HeadlessHost::beep() {
    ++beeps;
}

void HeadlessHost::setBusy(bool b) {
    busy = b;
}

bool HeadlessHost::startEditor(const std::string& path) {
    if (!editorAvailable) return false;
    editorsStarted.push_back(path);
    return true;
}

void HeadlessHost::sleepMs(int milliseconds) {
    sleptMs += milliseconds;
    if (realSleep) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DateTime HeadlessHost::now() {
    return clock ? clock() : fixedTime;
}

DateTime systemNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace orv::form
