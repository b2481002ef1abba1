#include "base/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/string_ids.h"
#include "shell/accelerators.h"
#include "shell/command_ids.h"

namespace lw {
namespace {

using Entry = detail::StringEntry;
constexpr const auto& kTable = detail::kStringTable;

bool IsValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    std::size_t n = c < 0x80             ? 1
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

TEST(StringTable, TrickyTextsAreExact) {
  EXPECT_STREQ(LoadResText(40325), "Erreur");
  // Two blanks before the parenthesis.
  EXPECT_EQ(ResText(40187), "Lecture de fichier GIF...  (Appuyez sur Esc pour annuler)");
  // Typographic apostrophe, U+2019.
  EXPECT_EQ(ResText(40333),
            "Le format de cette image couleur de 16 bits n\xE2\x80\x99"
            "est actuellement pas pris en charge.");
  // Trailing and leading blanks belong to the texts.
  EXPECT_EQ(ResText(40348), "Retrait des données de couleur de 24 bits ");
  EXPECT_EQ(ResText(40351), " Changement global des propriétés de cadre ");
  EXPECT_EQ(ResText(40262), "Désoptimisation de l'animation");
  // Placeholders, line breaks, tabs and quotes stay as they are.
  EXPECT_STREQ(LoadResText(40248), "Echec d'ouverture de fichier avec erreur %lX.");
  EXPECT_EQ(ResText(40337), "\"%s existe déjà.\nVoulez-vous le remplacer?\"");
  EXPECT_EQ(ResText(40254), "&Annuler %s\tCtrl-Z");
  // Same text under two ids; the AVI message shares its id with a menu command.
  EXPECT_EQ(ResText(40152), ResText(40208));
  EXPECT_EQ(ResText(40082), "Impossible de trouver le train de données vidéo dans %s.");
}

TEST(StringTable, UnknownIdsHaveNoText) {
  for (int id : {0, -1, 40011, 40326, 99999}) {
    EXPECT_EQ(LoadResText(id), nullptr) << id;
    EXPECT_EQ(ResText(id), "") << id;
  }
}

TEST(StringTable, EveryEntryIsSortedUniqueValidAndLoadsWhole) {
  ASSERT_GT(std::size(kTable), 150u);
  for (std::size_t i = 0; i < std::size(kTable); ++i) {
    const Entry& e = kTable[i];
    if (i > 0) {
      EXPECT_LT(kTable[i - 1].id, e.id) << "out of order or repeated at " << e.id;
    }
    std::string text = e.text;
    EXPECT_FALSE(text.empty()) << e.id;
    EXPECT_TRUE(IsValidUtf8(text)) << e.id;
    // No text reaches the buffer limit, so every one must come back whole.
    ASSERT_LT(text.size(), 512u) << e.id;
    EXPECT_STREQ(LoadResText(e.id), e.text) << e.id;
    EXPECT_EQ(ResText(e.id), text) << e.id;
    EXPECT_STREQ(TableText(e.id), e.text) << e.id;
  }
}

// The named ids land on the right rows, and the program's own texts kept their exact spelling
// when they moved into the table (blanks at the ends, typographic apostrophes, line breaks).
TEST(StringTable, NamedIdsGiveTheirTexts) {
  static_assert(TableText(str::ErrorCaption)[0] == 'E', "usable in constant expressions");
  const struct {
    int id;
    const char* text;
  } cases[] = {
      {str::ErrorCaption, "Erreur"},
      {str::UndoMemoryWarningTitle, "Avertissemment sur l'annulation"},
      {str::PartialRead, "Seule la partie d'animation a été lue."},
      {str::UndoAddTrueColour, "Ajouter des données de couleur de 24 bits"},
      {str::StripOption, "Bande"},
      {str::TipDisposal, "Enlèvement : "},
      {str::TipNoTransparency, "Aucune transparence "},
      {str::StatusFileSizeWithTime, "Fichier de : %s octets  (%s à %s)"},
      {str::DropTrueColourText,
       "Cette opération est ciblée pour le format GIF et ne s\xE2\x80\x99"
       "applique pas aux données de couleur de 24 bits maintenues pour les cadres actuels.\n\n"
       "Le fait de choisir Continuer supprimera les données de 24 bits."},
      {str::SettingsDamagedMovedAside,
       "Le fichier des réglages « %s » était endommagé ; il a été mis de côté sous « %s » et les "
       "réglages par défaut sont utilisés."},
      {str::BatchUnknownFlag, "Unrecognized flag: %s"},
      {str::Blending, "Blending..."},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(TableText(c.id), c.text) << c.id;
    EXPECT_EQ(ResText(c.id), c.text) << c.id;
  }
  EXPECT_STREQ(TableText(50299), "");  // room left above the program's own texts
}

TEST(StringTable, BufferBelongsToTheCallingThread) {
  const char* mine = LoadResText(40325);
  std::thread([] { LoadResText(40183); }).join();
  EXPECT_STREQ(mine, "Erreur");
  // The same thread's next call reuses the buffer.
  EXPECT_EQ(LoadResText(40185), mine);
  EXPECT_STREQ(mine, "Impossible de lire le fichier.");
}

TEST(Accelerators, EachKeyBindsOneCommand) {
  std::set<std::pair<std::string, unsigned>> keys;
  int undo = 0, redo = 0;
  for (const Accelerator& a : kAccelerators) {
    EXPECT_TRUE(keys.insert({a.key, a.modifiers}).second) << a.key << " " << a.modifiers;
    if (std::strcmp(a.key, "Z") == 0) (a.modifiers & keymod::Shift ? redo : undo) = a.command;
  }
  EXPECT_EQ(undo, cmd::Undo);
  EXPECT_EQ(redo, cmd::Redo);
}

}  // namespace
}  // namespace lw
