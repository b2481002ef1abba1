#include "formats/html_code.h"

#include <algorithm>

#include "base/messages.h"
#include "base/string_ids.h"
#include "platform/files.h"

namespace lw {
namespace {

// An attribute value inside double quotes.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

// A file name as the path of a relative URL: characters that would end or change it are encoded.
std::string FileNameAsUrl(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (c == ' ' || c == '%' || c == '#' || c == '?' || c < 0x20 || c == 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return Escaped(out);
}

}  // namespace

HtmlCodeFields HtmlFieldsForDocument(const std::string& documentPath) {
  HtmlCodeFields fields;
  fields.fileName = documentPath.empty() ? std::string() : BaseName(documentPath);
  fields.fileNameFixed = !fields.fileName.empty();
  return fields;
}

std::string BuildHtmlCode(const HtmlCodeFields& fields, uint32_t width, uint32_t height) {
  std::string code;
  const bool linked = !fields.link.empty();
  if (linked) code += "<a href=\"" + Escaped(fields.link) + "\">";
  code += "<img src=\"" + FileNameAsUrl(fields.fileName) + "\"";
  code += " width=" + std::to_string(width) + " height=" + std::to_string(height);
  code += " border=" + std::to_string(std::clamp(fields.border, 0, 100));
  code += " alt=\"" + Escaped(fields.description) + "\"";
  code += ">";
  if (linked) code += "</a>";
  return code;
}

bool CheckHtmlCodeCopy(const HtmlCodeFields& fields) {
  if (!fields.fileName.empty()) return true;
  ShowErrorId(str::HtmlNeedsFileName);
  return false;
}

}  // namespace lw
