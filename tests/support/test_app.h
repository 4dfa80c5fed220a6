#pragma once
// A headless main window for tests: working state, window model and scripted host, rooted in
// a fresh temporary folder that is removed afterwards.

#include <string>

#include "control/stage_refresh.h"
#include "form/context.h"
#include "form/headless_host.h"

namespace orv::test {

// A temporary folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct TestApp {
    TempDir dir;
    core::Workspace ws;
    form::FrmOrvandel frm;
    form::HeadlessHost host;
    form::Ctx ctx{ws, frm, host, nullptr, control::stageRefresh()};

    // The program folder is dir/program; empty tables exist as after start-up.
    TestApp();
    std::string programFolder() const { return dir.file("program"); }
};

// Writes bytes to a file (creating it anew).
void writeFile(const std::string& path, const std::string& bytes);
// The whole file, "" when missing.
std::string readFile(const std::string& path);

}  // namespace orv::test
