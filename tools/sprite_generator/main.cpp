// main.cpp: the sprite generator. Draws the game's nine sprite sheets and the viewer's font and writes them as 32-bit
// BMP files into the directory given on the command line; optionally writes a preview picture (PPM) for judging the
// art.
//
// Usage: sprite_generator OUTPUT_DIR [--preview FILE.ppm]
// Depends only on the generator's own files; the output is the same on every run.
#include "sheets.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace art {

std::array<NamedSheet, 9> allSheets() {
    return {{{"background.bmp", backgroundSheet()},
             {"teamA.bmp", teamSheet(0)},
             {"teamB.bmp", teamSheet(1)},
             {"teamC.bmp", teamSheet(2)},
             {"teamD.bmp", teamSheet(3)},
             {"bomb.bmp", bombSheet()},
             {"explosion.bmp", explosionSheet()},
             {"scoreboard.bmp", scoreboardSheet()},
             {"font.bmp", fontSheet()}}};
}

}  // namespace art

int main(int argc, char** argv) {
    std::string out_dir;
    std::string preview;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc) {
            preview = argv[++i];
        } else if (out_dir.empty() && argv[i][0] != '-') {
            out_dir = argv[i];
        } else {
            out_dir.clear();
            break;
        }
    }
    if (out_dir.empty()) {
        std::fprintf(stderr, "Usage: %s OUTPUT_DIR [--preview FILE.ppm]\n", argv[0]);
        return 1;
    }

    const auto sheets = art::allSheets();
    std::vector<art::NamedSheet> files(sheets.begin(), sheets.end());
    files.push_back({"viewer_font.bmp", art::viewerFontSheet()});
    for (const auto& sheet : files) {
        const std::string path = out_dir + "/" + sheet.file;
        if (!art::writeBmp(path, sheet.image)) {
            std::fprintf(stderr, "Cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (!preview.empty() && !art::writePpm(preview, art::previewScreen(sheets))) {
        std::fprintf(stderr, "Cannot write %s\n", preview.c_str());
        return 1;
    }
    return 0;
}
