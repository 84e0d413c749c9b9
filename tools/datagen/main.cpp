// tools/datagen/main.cpp — the data generator: writes the game's whole data folder.
//   lexorm-datagen DATA_DIR                 images, sounds, music, word list, licences
//   lexorm-datagen --preview DATA_DIR PNG   a contact sheet of the images, for review
//   lexorm-datagen --icons DIR              the desktop icon, DIR/64x64/lexorm.png and DIR/256x256/lexorm.png
// Depends on: common.h and the generators.
#include <cstdio>
#include <cstring>
#include <string>

#include "common.h"

bool GenerateIcons(const std::string& out); // icon.cpp

int main(int argc, char** argv) {
  if (argc == 4 && !std::strcmp(argv[1], "--preview")) return WritePreview(argv[2], argv[3]) ? 0 : 1;
  if (argc == 3 && !std::strcmp(argv[1], "--icons")) return GenerateIcons(argv[2]) ? 0 : 1;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DATA_DIR | --preview DATA_DIR OUT.png | --icons DIR\n", argv[0]);
    return 2;
  }
  std::string out = argv[1];
  if (!datagen::MakeDirs(out)) return 1;
  bool ok = GenerateImages(out);
  ok = GenerateSounds(out) && ok;
  ok = GenerateWords(out) && ok;
  return ok ? 0 : 1;
}
