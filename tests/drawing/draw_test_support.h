// Helpers of the drawing tests: canvases, pixel counts and a tiny XML well-formedness checker.
#ifndef VIMO_TESTS_DRAWING_DRAW_TEST_SUPPORT_H
#define VIMO_TESTS_DRAWING_DRAW_TEST_SUPPORT_H

#include <cctype>
#include <string>
#include <vector>

#include "vimo/core/core.h"
#include "vimo/drawing/drawadapter.h"

namespace draw_test {

const EC24 kPaper{10, 20, 30};

inline EC24 Px(int r, int g, int b) {
  return EC24{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

inline void Fill(EImage<EC24>& image, EC24 value) {
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) *image.GetImagePtr(x, y) = value;
}

inline int Count(EImage<EC24>& image, EC24 value) {
  int n = 0;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) n += *image.GetImagePtr(x, y) == value;
  return n;
}

// The canvas as rows of characters: '.' for paper, '#' for ink, '+' for anything else.
inline std::vector<std::string> Art(EImage<EC24>& image, EC24 ink) {
  std::vector<std::string> rows;
  for (int y = 0; y < image.GetHeight(); ++y) {
    std::string row;
    for (int x = 0; x < image.GetWidth(); ++x) {
      EC24 p = *image.GetImagePtr(x, y);
      row += p == kPaper ? '.' : (p == ink ? '#' : '+');
    }
    rows.push_back(row);
  }
  return rows;
}

// Checks that a document is well-formed XML (prolog, one root element, balanced tags, quoted
// attributes without '<', known entities) and counts the children of the root element.
class XmlChecker {
 public:
  bool Check(const std::string& doc) {
    s_ = doc;
    i_ = 0;
    rootChildren = 0;
    error.clear();
    if (s_.compare(0, 5, "<?xml") == 0) {
      size_t end = s_.find("?>");
      if (end == std::string::npos) return Fail("unterminated prolog");
      i_ = end + 2;
    }
    SkipSpace();
    if (!Element(0)) return false;
    SkipSpace();
    if (i_ != s_.size()) return Fail("content after the root element");
    return true;
  }
  int rootChildren = 0;
  std::string rootName;
  std::string error;

 private:
  bool Fail(const std::string& what) {
    error = what + " at " + std::to_string(i_);
    return false;
  }
  void SkipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Name(std::string& name) {
    size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == ':' ||
                              s_[i_] == '-' || s_[i_] == '_' || s_[i_] == '.'))
      ++i_;
    name = s_.substr(start, i_ - start);
    return !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  }
  bool Entity() {
    static const char* known[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    for (const char* k : known)
      if (s_.compare(i_, std::string(k).size(), k) == 0) {
        i_ += std::string(k).size();
        return true;
      }
    return Fail("unknown entity");
  }
  bool Chars(char stop) {
    while (i_ < s_.size() && s_[i_] != stop) {
      unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '&') {
        if (!Entity()) return false;
        continue;
      }
      if (c == '<' && stop != '<') return Fail("'<' in attribute");
      if (c < 32 && c != '\n' && c != '\t' && c != '\r') return Fail("control character");
      if (c > 126) return Fail("non-ASCII byte");
      ++i_;
    }
    return i_ < s_.size() || stop == '<' ? true : Fail("unterminated text");
  }
  bool Element(int depth) {
    if (i_ >= s_.size() || s_[i_] != '<') return Fail("expected '<'");
    ++i_;
    std::string name;
    if (!Name(name)) return Fail("bad element name");
    if (depth == 0) rootName = name;
    std::vector<std::string> attributes;
    for (;;) {
      SkipSpace();
      if (i_ >= s_.size()) return Fail("unterminated tag");
      if (s_.compare(i_, 2, "/>") == 0) {
        i_ += 2;
        return true;
      }
      if (s_[i_] == '>') {
        ++i_;
        break;
      }
      std::string attribute;
      if (!Name(attribute)) return Fail("bad attribute name");
      for (const std::string& a : attributes)
        if (a == attribute) return Fail("repeated attribute " + a);
      attributes.push_back(attribute);
      SkipSpace();
      if (i_ >= s_.size() || s_[i_] != '=') return Fail("expected '='");
      ++i_;
      SkipSpace();
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) return Fail("unquoted value");
      char quote = s_[i_++];
      if (!Chars(quote)) return false;
      ++i_;
    }
    for (;;) {
      if (!Chars('<')) return false;
      if (i_ >= s_.size()) return Fail("unclosed element " + name);
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        std::string closing;
        if (!Name(closing) || closing != name) return Fail("mismatched end tag " + closing);
        SkipSpace();
        if (i_ >= s_.size() || s_[i_] != '>') return Fail("bad end tag");
        ++i_;
        return true;
      }
      if (!Element(depth + 1)) return false;
      if (depth == 0) ++rootChildren;
    }
  }
  std::string s_;
  size_t i_ = 0;
};

}  // namespace draw_test

#endif
