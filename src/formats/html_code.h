// The HTML that embeds the saved animation in a web page: an image tag, in a link when one is
// given, built from the fields of the "Code HTML" dialog.
#pragma once

#include <cstdint>
#include <string>

namespace lw {

struct HtmlCodeFields {
  std::string fileName;        // as the page names the image
  std::string link;            // empty: no link
  std::string description;     // the alt text
  int border = 0;              // 0..100
  bool fileNameFixed = false;  // taken from the document's name: not edited
};

// The fields for a document saved under path (empty: untitled): its name without the folder,
// fixed when there is one; no link, no description, border 0.
HtmlCodeFields HtmlFieldsForDocument(const std::string& documentPath);

// The code for a logical screen of width x height:
//   [<a href="link">]<img src="name" width=W height=H border=B alt="text">[</a>]
// Values are written so the tag stays valid HTML whatever was typed: quotes, '&', '<' and '>'
// as character references, and in the file name the characters that would change the URL's
// meaning (space, '%', '#', '?') percent-encoded. An image without a description gets alt="",
// which HTML requires.
std::string BuildHtmlCode(const HtmlCodeFields& fields, uint32_t width, uint32_t height);

// The code may be copied: a file name is given. Otherwise shows 40103 and returns false.
bool CheckHtmlCodeCopy(const HtmlCodeFields& fields);

}  // namespace lw
