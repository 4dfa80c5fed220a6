#include "fuzz_support.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "control/startup.h"

namespace orv::fuzz {

namespace fs = std::filesystem;

namespace {

std::string makeScratch() {
    std::string tmpl = (fs::temp_directory_path() / "orvandel-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    static const std::string removed = tmpl;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(removed, ec);
    });
    return tmpl;
}

}  // namespace

const std::string& scratch() {
    static const std::string dir = makeScratch();
    return dir;
}

std::string writeScratch(const std::string& name, std::string_view bytes) {
    const std::string path = scratch() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void clearScratch() {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(scratch(), ec)) fs::remove_all(e.path(), ec);
}

Window::Window() {
    fs::create_directories(scratch() + "/program");
    ws.folders = core::ProgramFolders::at(scratch() + "/program");
    control::Form_Load(ctx);
}

std::vector<std::string> splitInput(const uint8_t* data, size_t size, size_t parts) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> out;
    size_t start = 0;
    while (out.size() + 1 < parts) {
        const size_t at = all.find("\n====\n", start);
        if (at == std::string_view::npos) break;
        out.emplace_back(all.substr(start, at - start));
        start = at + 6;
    }
    out.emplace_back(all.substr(std::min(start, all.size())));
    out.resize(parts);
    return out;
}

form::Picture smallField() {
    static const form::Picture field = [] {
        const int w = 48, h = 32;
        auto rgb = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                auto star = [&](int cx, int cy, int r) {
                    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
                };
                const int v = star(10, 8, 3) || star(30, 20, 2) || star(40, 5, 1)
                                  ? 200
                                  : 10 + (x * 7 + y * 3) % 9;
                uint8_t* p = rgb->data() + (static_cast<size_t>(y) * w + x) * 3;
                p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v / 2),
                p[2] = static_cast<uint8_t>(255 - v);
            }
        return form::Picture::fromRgb(w, h, rgb);
    }();
    return field;
}

}  // namespace orv::fuzz

// Every target gets an application object, which Qt's image format plug-ins need.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}
