// orvandel-decode: the helper program that reads one picture for orvandel and orvandel-cli
// (formats/guarded_decode.h), so that a library's fault on a damaged file ends this process
// only. It is started by them, beside them in the same folder; it is not run by hand.

#include <QCoreApplication>
#include <optional>
#include <string>

#include "formats/decoder/picture_decoder.h"
#include "formats/guarded_decode.h"

int main(int argc, char** argv) {
    // Qt's image format plug-ins (JPEG, TIFF) are found through the application object.
    const bool toolkit = argc > 1 && std::string(argv[1]) == "toolkit";
    int qtArgc = 1;
    std::optional<QCoreApplication> app;
    if (toolkit) app.emplace(qtArgc, argv);
    return orv::formats::runDecodeHelper(argc, argv, orv::formats::decodePictureFileWithLimit,
                                         orv::formats::declaredPicturePixels);
}
