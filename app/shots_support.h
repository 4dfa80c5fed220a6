#pragma once
// What the screenshot programs (orvandel-shots, orvandel-desk-shots) share: a scratch folder
// holding the settings file and the picture, widgets looked up by name, and a picture saved as PNG
// with its path printed. Not part of the program users run.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>

namespace orv::shots {

// Copies the settings file (as Orvandel.ini) and the picture into `work` and makes the output
// folder; says what failed and gives false when something could not be done.
inline bool prepareFolder(const QTemporaryDir& work, const QString& settings,
                          const QString& picture, const QString& out) {
    if (work.isValid() && QFile::copy(settings, work.filePath("Orvandel.ini")) &&
        QFile::copy(picture, work.filePath(QFileInfo(picture).fileName())) && QDir().mkpath(out))
        return true;
    std::fprintf(stderr, "cannot prepare %s\n", qPrintable(work.path()));
    return false;
}

// The widget of that object name; the program stops when there is none.
template <typename T>
T* child(QWidget& window, const char* name) {
    T* w = window.findChild<T*>(QString::fromUtf8(name));
    if (!w) qFatal("no widget %s", name);
    return w;
}

// Saves FOLDER/NAME.png and prints its path.
inline bool savePng(const QImage& image, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name + ".png");
    if (image.isNull() || !image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace orv::shots
