// Helpers of the drawing tests: canvases, pixel counts and bounds, a tiny XML checker.
#ifndef VIMO_TESTS_DRAWING_DRAW_TEST_SUPPORT_H
#define VIMO_TESTS_DRAWING_DRAW_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "vimo/core/core.h"
#include "vimo/drawing/imagedrawadapter.h"

namespace draw_test {

const double kPi = 3.14159265358979323846;
const EC24 kPaper{10, 20, 30};
const EC24 kInk{200, 100, 50};
const EC24 kWhite{255, 255, 255};
const Quarnel::DrawColor kInkColor{200, 100, 50};

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
inline std::vector<std::string> Art(EImage<EC24>& image, EC24 ink = kInk) {
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

// A paper-coloured canvas with its adapter, error state cleared.
struct Surface {
  Surface(int w, int h) : image(w, h), draw(&image) { Clear(); }
  void Clear() {
    Fill(image, kPaper);
    EOk();
  }
  EC24 At(int x, int y) { return *image.GetImagePtr(x, y); }
  // Bounding box of the pixels of the given colour, rows [y0, y1); {INT_MAX, -1, INT_MAX, -1}
  // when there is none.
  struct Box {
    int minX = INT_MAX, maxX = -1, minY = INT_MAX, maxY = -1;
  };
  Box Bounds(EC24 colour, int y0 = 0, int y1 = INT_MAX) {
    Box b;
    for (int y = std::max(0, y0); y < std::min(y1, image.GetHeight()); ++y)
      for (int x = 0; x < image.GetWidth(); ++x)
        if (At(x, y) == colour) {
          b.minX = std::min(b.minX, x), b.maxX = std::max(b.maxX, x);
          b.minY = std::min(b.minY, y), b.maxY = std::max(b.maxY, y);
        }
    return b;
  }
  EImage<EC24> image;
  Quarnel::ImageDrawAdapter draw;
};

// Expects the error state to hold 32767 with `name` in its trace, then clears it.
inline void ExpectRefused(const char* name) {
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << name;
  EXPECT_NE(std::string(EGetErrorTrace()).find(name), std::string::npos) << name;
  EOk();
}

// Checks that a document is well-formed XML (prolog, one root element, balanced tags, quoted
// attributes without '<', known entities, printable ASCII) and counts the root's children.
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
    return i_ == s_.size() || Fail("content after the root element");
  }
  int rootChildren = 0;
  std::string rootName, error;

 private:
  bool Fail(const std::string& what) {
    error = what + " at " + std::to_string(i_);
    return false;
  }
  bool At(char c) const { return i_ < s_.size() && s_[i_] == c; }
  void SkipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Name(std::string& name) {
    size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) ||
                              std::string(":-_.").find(s_[i_]) != std::string::npos))
      ++i_;
    name = s_.substr(start, i_ - start);
    return !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
  }
  bool Chars(char stop) {
    while (i_ < s_.size() && s_[i_] != stop) {
      unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '&') {
        bool known = false;
        for (const std::string k : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
          if (s_.compare(i_, k.size(), k) == 0) i_ += k.size(), known = true;
        if (!known) return Fail("unknown entity");
        continue;
      }
      if (c == '<') return Fail("'<' in attribute");
      if ((c < 32 && c != '\n' && c != '\t' && c != '\r') || c > 126) return Fail("bad byte");
      ++i_;
    }
    return i_ < s_.size() || stop == '<' || Fail("unterminated text");
  }
  bool Element(int depth) {
    std::string name;
    if (!At('<')) return Fail("expected '<'");
    ++i_;
    if (!Name(name)) return Fail("bad element name");
    if (depth == 0) rootName = name;
    std::vector<std::string> attributes;
    for (;;) {
      SkipSpace();
      if (s_.compare(i_, 2, "/>") == 0) return i_ += 2, true;
      if (At('>')) break;
      std::string attribute;
      if (!Name(attribute)) return Fail("bad attribute name");
      if (std::find(attributes.begin(), attributes.end(), attribute) != attributes.end())
        return Fail("repeated attribute " + attribute);
      attributes.push_back(attribute);
      SkipSpace();
      if (!At('=')) return Fail("expected '='");
      ++i_;
      SkipSpace();
      if (!At('"') && !At('\'')) return Fail("unquoted value");
      if (!Chars(s_[i_++])) return false;
      ++i_;
    }
    ++i_;
    for (;;) {
      if (!Chars('<')) return false;
      if (i_ >= s_.size()) return Fail("unclosed element " + name);
      if (s_.compare(i_, 2, "</") == 0) {
        i_ += 2;
        std::string closing;
        if (!Name(closing) || closing != name) return Fail("mismatched end tag " + closing);
        SkipSpace();
        if (!At('>')) return Fail("bad end tag");
        return ++i_, true;
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
