// Builds the manual page at build time: loopwright-manual TEMPLATE OUTPUT DATADIR writes the
// template with the batch flags filled in, as --help lists them, and the files named where they
// are installed (DATADIR, e.g. /usr/share).
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "shell/batch.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "Usage : loopwright-manual MODELE SORTIE DOSSIER_DES_DONNEES\n");
    return 2;
  }
  std::string text;
  if (!lw::ReadWholeFile(argv[1], 1 << 20, &text)) {
    std::fprintf(stderr, "Impossible de lire %s\n", argv[1]);
    return 1;
  }
  if (!lw::ReplaceFileContents(argv[2], lw::BatchManualPage(text, argv[3]))) {
    std::fprintf(stderr, "Impossible d’écrire %s\n", argv[2]);
    return 1;
  }
  return 0;
}
