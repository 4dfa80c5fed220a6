#pragma once
// What the window benchmarks start from: a generated star field written as a BMP file into a
// temporary folder that also serves as the program's folder (with a copy of the settings
// file), and the real main window shown on it.

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>

#include "window/main_window.h"

namespace orv::bench {

// Lets the window handle its events for `ms` milliseconds.
void waitMs(int ms);

// The arguments of a driver that works on a detected field:
//   SETTINGS_FILE [--size N] [--stars N] [--repeat N]
struct FieldOptions {
    QString settings;
    int size = 4096;
    int stars = 8000;
    int repeat = 40;
};
// Reads them (the defaults stay for what is not given); false for anything else or a value
// that is not positive.
bool parseFieldOptions(int argc, char** argv, FieldOptions& o);

class FieldWindow;
// The field of `o` (seed 1, noise sigma 1.2) in a shown window, loaded and detected; nothing
// when that fails, the reason then on standard error and the exit status in `exitCode`.
std::unique_ptr<FieldWindow> detectedField(const FieldOptions& o, int& exitCode);

class FieldWindow {
public:
    // Generates denseField(size, size, stars, seed) with the given noise, writes it as
    // "field.bmp", copies `settings` as the program folder's Orvandel.ini, then shows the main
    // window and waits until it is on screen. On a failure error() says why and exitCode() is
    // 2 (no field) or 1 (no folder); the window is not made.
    FieldWindow(const QString& settings, int size, int stars, uint32_t seed, double noise);

    const std::string& error() const { return error_; }
    int exitCode() const { return exitCode_; }
    window::MainWindow& window() { return *window_; }

    // Names the field as the picture to load (source 3 loads it).
    void nameField();
    // Names the field, loads it and runs the one-click detection; false, with error() saying
    // why, when the run does not end in stage 10.
    bool detect();

private:
    QTemporaryDir folder_;
    std::unique_ptr<window::MainWindow> window_;
    std::string error_;
    int exitCode_ = 0;
};

}  // namespace orv::bench
