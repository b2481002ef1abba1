// The HTML code of the "Code HTML" dialog, built without widgets.
#include "formats/html_code.h"

#include <gmock/gmock.h>

#include "support/services.h"

namespace lw {
namespace {

TEST(HtmlCode, DocumentsNameTheImageAndEveryFieldTakesItsPlace) {
  struct Case {
    const char *name, *documentPath, *link, *description;
    int border;
    uint32_t width, height;
    bool fixed;
    const char* code;
  };
  const Case cases[] = {
      {"named", "/home/anne/site/clip.gif", "", "", 0, 120, 60, true,
       R"(<img src="clip.gif" width=120 height=60 border=0 alt="">)"},
      {"named, link and description", "/home/anne/site/clip.gif", "https://example.org/", "Un chat",
       2, 120, 60, true,
       R"(<a href="https://example.org/"><img src="clip.gif" width=120 height=60 border=2 )"
       R"(alt="Un chat"></a>)"},
      // Saved elsewhere under another name: the code follows the name the document has now.
      {"moved", "/tmp/archive/mon chat #2.gif", "", "", 0, 32, 16, true,
       R"(<img src="mon%20chat%20%232.gif" width=32 height=16 border=0 alt="">)"},
      {"unnamed", "", "", "", 0, 10, 10, false,
       R"(<img src="" width=10 height=10 border=0 alt="">)"},
      {"typed values stay inside their quotes", "/x/a.gif", "p.html?a=1&b=\"2\"",
       "<b>\"gros\" & grand</b>", 100, 1, 1, true,
       R"(<a href="p.html?a=1&amp;b=&quot;2&quot;"><img src="a.gif" width=1 height=1 border=100 )"
       R"(alt="&lt;b&gt;&quot;gros&quot; &amp; grand&lt;/b&gt;"></a>)"},
      {"border outside the spin's range", "/x/é.gif", "", "", 250, 5, 5, true,
       R"(<img src="é.gif" width=5 height=5 border=100 alt="">)"},
  };
  for (const Case& c : cases) {
    HtmlCodeFields fields = HtmlFieldsForDocument(c.documentPath);
    EXPECT_EQ(fields.fileNameFixed, c.fixed) << c.name;
    EXPECT_TRUE(fields.border == 0 && fields.link.empty() && fields.description.empty()) << c.name;
    fields.link = c.link;
    fields.description = c.description;
    fields.border = c.border;
    EXPECT_EQ(BuildHtmlCode(fields, c.width, c.height), c.code) << c.name;
  }
}

TEST(HtmlCode, CopyNeedsAFileName) {
  test::ServicesScope scope;
  EXPECT_TRUE(CheckHtmlCodeCopy(HtmlFieldsForDocument("/x/a.gif")));
  EXPECT_FALSE(CheckHtmlCodeCopy(HtmlFieldsForDocument("")));
  EXPECT_THAT(
      scope.services.Texts(),
      ::testing::ElementsAre("Le nom de fichier est nécessaire à la génération du code HTML"));
}

}  // namespace
}  // namespace lw
