// Helpers shared by the shape tests: an independent invariant walk, a recording drawing
// surface and an angle-unit guard.
#ifndef VIMO_TESTS_SHAPES_SHAPE_TEST_SUPPORT_H
#define VIMO_TESTS_SHAPES_SHAPE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vimo/calibration/worldshape.h"
#include "vimo/shapes/circleshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/lineshape.h"
#include "vimo/shapes/pointshape.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/wedgeshape.h"

namespace shape_test {

// Checks the table invariants of every shape of the subtree through the public accessors;
// returns a description of the first violation, "" when all hold.
inline std::string Violation(EShape* shape, int depth = 0) {
  if (depth > 64) return "tree deeper than expected (cycle?)";
  unsigned slots = shape->GetIndexed() ? shape->GetMaxDaughters() : shape->GetNumDaughters();
  unsigned present = 0;
  for (unsigned i = 0; i < slots; ++i) {
    EShape* d = shape->GetDaughter(i);
    if (d == nullptr) {
      if (!shape->GetIndexed()) return "gap in a list";
      continue;
    }
    ++present;
    if (d->GetMother() != shape) return "daughter does not point to its mother";
    if (d->GetIndex() != i) return "daughter index differs from its slot";
    std::string inner = Violation(d, depth + 1);
    if (!inner.empty()) return inner;
  }
  if (present != shape->GetNumDaughters()) return "count differs from the occupied slots";
  if (!shape->GetIndexed() && shape->GetNumDaughters() == 0 && shape->GetMaxDaughters() != 0)
    return "empty list keeps its table";
  if (!shape->GetIndexed() && shape->GetNumDaughters() > shape->GetMaxDaughters())
    return "list count beyond capacity";
  return "";
}

// Restores the angle unit and the class-wide switches after a test.
struct Settings {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  int preserve = EShape::GetPreserveOrder();
  ~Settings() {
    ESetAngleUnit(unit);
    EShape::SetPreserveOrder(preserve);
    VimoWorld.DisableTypeFilter();
    VimoWorld.DisableBehaviorFilter(static_cast<INS_SHAPE_BEHAVIOR>(0xFFFFFFFFu));
    VimoWorld.SetZoom(1, 1);
    VimoWorld.SetPan(0, 0);
    EOk();
  }
};

// Records the drawing calls, one line of text each.
class RecordingAdapter : public Quarnel::DrawAdapter {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> texts;

  static std::string Color(const Quarnel::DrawColor& c) {
    if (c == Quarnel::DefaultColor) return "default";
    return std::to_string(c.Red) + "/" + std::to_string(c.Green) + "/" + std::to_string(c.Blue);
  }
  void DrawPoint(int x, int y, const Quarnel::DrawColor& c, double) override {
    calls.push_back("point " + P(x, y) + " " + Color(c));
  }
  void DrawLine(int x0, int y0, int x1, int y1, const Quarnel::DrawColor& c) override {
    calls.push_back("line " + P(x0, y0) + " " + P(x1, y1) + " " + Color(c));
  }
  void DrawArc(int x, int y, int w, int h, double, double, const Quarnel::DrawColor&) override {
    calls.push_back("arc " + P(x, y) + " " + P(w, h));
  }
  void DrawRectangle(int x, int y, int w, int h, const Quarnel::DrawColor&) override {
    calls.push_back("rectangle " + P(x, y) + " " + P(w, h));
  }
  void DrawPolygon(const EPoint*, int count, const Quarnel::DrawColor&) override {
    calls.push_back("polygon " + std::to_string(count));
  }
  void DrawEllipse(int x, int y, int w, int h, const Quarnel::DrawColor&) override {
    calls.push_back("ellipse " + P(x, y) + " " + P(w, h));
  }
  void FillRectangle(int x, int y, int w, int h, const Quarnel::DrawColor& o,
                     const Quarnel::DrawColor& f) override {
    calls.push_back("fill " + P(x, y) + " " + P(w, h) + " " + Color(o) + " " + Color(f));
  }
  void FillEllipse(int x, int y, int w, int h, const Quarnel::DrawColor&,
                   const Quarnel::DrawColor&) override {
    calls.push_back("fillellipse " + P(x, y) + " " + P(w, h));
  }
  void FillPolygon(const EPoint*, int count, const Quarnel::DrawColor&,
                   const Quarnel::DrawColor&) override {
    calls.push_back("fillpolygon " + std::to_string(count));
  }
  void DrawText(const char* text, int x, int y, const Quarnel::DrawColor& c) override {
    calls.push_back("text " + P(x, y) + " " + Color(c));
    texts.push_back(text);
  }
  void DrawTextBox(const char* text, int x, int y, const Quarnel::DrawColor& c,
                   const Quarnel::DrawColor& b) override {
    calls.push_back("textbox " + P(x, y) + " " + Color(c) + " " + Color(b));
    texts.push_back(text);
  }
  void DrawImage(EGenericROI*, int x, int y, double, const Quarnel::DrawColor&) override {
    calls.push_back("image " + P(x, y));
  }
  Quarnel::TextExtent GetTextExtent(const char*) override { return Quarnel::TextExtent{0, 0}; }
  Quarnel::DrawColor GetCurrentColor() override { return Quarnel::BlackColor; }

  size_t Count(const std::string& prefix) const {
    size_t n = 0;
    for (const auto& c : calls)
      if (c.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
  }

 private:
  static std::string P(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
};

}  // namespace shape_test

#endif
