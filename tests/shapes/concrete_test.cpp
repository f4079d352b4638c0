// Copies, constructors and grid slots of the concrete shape classes.
#include <cmath>
#include <limits>
#include <memory>

#include "shape_test_support.h"

using shape_test::Settings;
using shape_test::Violation;

namespace {

// Copying a shape onto its own mother (same class) is refused: NULL, 32767, and neither the
// mother's geometry nor its daughters change.
template <class T>
void ExpectCopyOntoMotherRefused(T& mother, T& daughter) {
  daughter.Attach(&mother);
  EFrame before = *mother.CastToFrame();
  EOk();
  EXPECT_EQ(daughter.CopyTo(&mother, 1), nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(mother.CastToFrame()->GetX(), before.GetX());
  EXPECT_EQ(mother.CastToFrame()->GetY(), before.GetY());
  EXPECT_EQ(mother.GetNumDaughters(), 1u);
  EXPECT_EQ(daughter.GetMother(), static_cast<EShape*>(&mother));
  EXPECT_EQ(Violation(&mother), "");
  EOk();
}

}  // namespace

TEST(ConcreteCopies, TypedCopyOntoAnAncestorIsRefusedWithNull) {
  EPointShape p0(1, 1), p1(2, 2);
  ExpectCopyOntoMotherRefused(p0, p1);
  ELineShape l0(1, 1, 10, 0), l1(2, 2, 4, 0);
  ExpectCopyOntoMotherRefused(l0, l1);
  ECircleShape c0(1, 1, 10, 0, 1), c1(2, 2, 4, 0, 1);
  ExpectCopyOntoMotherRefused(c0, c1);
  EXPECT_EQ(c0.GetRadius(), 5);
  ERectangleShape r0(1, 1, 10, 10, 0), r1(2, 2, 4, 4, 0);
  ExpectCopyOntoMotherRefused(r0, r1);
  EXPECT_EQ(r0.GetSizeX(), 10);
  EWedgeShape w0(1, 1, 10, 2, 0, 1), w1(2, 2, 4, 1, 0, 1);
  ExpectCopyOntoMotherRefused(w0, w1);
  EXPECT_EQ(w0.GetOuterRadius(), 7);
  EFrameShape f0(1, 1, 0, 1, 10, 20), f1(2, 2, 0, 1, 3, 4);
  ExpectCopyOntoMotherRefused(f0, f1);
  EXPECT_EQ(f0.GetSizeY(), 20);
}

// A set format lives while any instance of the class lives, clones and copies included, and
// goes with the last one; each class counts its own instances.
TEST(ConcreteLabels, FormatLivesUntilTheLastInstanceOfItsClass) {
  const char* circleDefault = "%s\n( %.1f, %.1f) %.1f %s\nD %.1f mm < %.1f %s";
  ECircleShape keep(0, 0, 10, 0, 1);  // keeps the circle class alive throughout
  {
    ERectangleShape r(0, 0, 4, 2, 0);
    ERectangleShape::SetFormat("%s|%.0f");
    ECircleShape::SetFormat("%s:%.2f");
    std::unique_ptr<EShape> clone(r.New());
    {
      ERectangleShape copy(r);
      std::unique_ptr<EShape> made(r.CreateShapeClone(0));
    }
    EXPECT_STREQ(ERectangleShape::GetFormat(), "%s|%.0f");
    // The full-circle form is the set format too once one is set.
    EXPECT_STREQ(ECircleShape::GetFormat(1), "%s:%.2f");
  }
  EXPECT_STREQ(ERectangleShape::GetFormat(), "%s\n( %.1f, %.1f) %.1f %s\n%.1f x %.1f mm");
  EXPECT_STREQ(ECircleShape::GetFormat(0), "%s:%.2f");
  ECircleShape::SetFormat(nullptr);
  EXPECT_STREQ(ECircleShape::GetFormat(0), circleDefault);
  // Formats that would read the wrong types are refused with the class's trace.
  EOk();
  EWedgeShape::SetFormat("%s %s");
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "EWedgeShape::SetFormat\n");
  EOk();
  EFrameShape::SetFormat("%s %f %f %f %s %f %f");
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EFrameShape::GetFormat(), "%s\n( %.1f, %.1f) %.1f %s\n%.1f%%");
  EOk();
}

// Grid tables whose slot count does not fit 32 bits are refused and leave the shape as it was;
// the wedge's slot arithmetic reports like the rectangle's.
TEST(ConcreteGrids, OversizedGridsAndWedgeSlotErrors) {
  ERectangleShape rect(0, 0, 10, 10, 0);
  EOk();
  rect.SetIndexed(65536, 65537);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "ERectangleShape::SetIndexed\n");
  EXPECT_FALSE(rect.GetIndexed());
  EXPECT_EQ(rect.GetNumRows(), 0u);
  EXPECT_EQ(rect.GetMaxDaughters(), 0u);
  EOk();
  EWedgeShape wedge(0, 0, 10, 2, 0, 1);
  wedge.SetIndexed(0xFFFFFFFFu, 2);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "EWedgeShape::SetIndexed\n");
  EXPECT_FALSE(wedge.GetIndexed());
  EOk();
  wedge.SetIndexed(4, 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(wedge.GetNumCols(), 4u);
  EXPECT_EQ(wedge.GetDaughterIndex(3, 2), 11u);
  EXPECT_EQ(wedge.GetDaughterIndex(1, 3), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_STREQ(EGetErrorTrace(), "EWedgeShape::GetDaughterIndex\n");
  EOk();
  EXPECT_EQ(wedge.GetDaughterIndex(4, 0), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_GRID_INDEX_OUT_OF_RANGE);
  EOk();
  EXPECT_EQ(wedge.GetDaughter(4, 0), nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_GRID_INDEX_OUT_OF_RANGE);
  EOk();
  wedge.SetIndexed(1, 1);
  EXPECT_EQ(EGetError(), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  EXPECT_EQ(wedge.GetNumRows(), 3u);
  EOk();
}

// Non-finite geometry lays daughters out and draws without crashing.
TEST(ConcreteGrids, NonFiniteGeometryArrangesAndDrawsSafely) {
  shape_test::RecordingAdapter rec;
  ECircleShape circle(0, 0, std::numeric_limits<float>::infinity(), 0, 1);
  ELineShape line(std::nanf(""), 0, 10, 0);
  EWedgeShape wedge(EPoint(0, 0), 20, 5, 0, std::nanf(""));
  ERectangleShape rect(0, 0, std::nanf(""), 4, 0);
  EPointShape model;
  model.Clone(&circle, 3);
  model.Clone(&line, 2);
  model.Clone(&wedge, 2, 2, 0);
  model.Clone(&rect, 2, 2, 0);
  for (EShape* s : std::initializer_list<EShape*>{&circle, &line, &wedge, &rect}) {
    s->SetAutoArrange(1, 0);
    s->SetDragable(1, 0);
    s->SetResizable(1, 0);
    s->SetName("n");
    s->SetLabeled(1, 0);
    s->Draw(&rec, INS_DRAW_NOMINAL, 1);
  }
  EXPECT_GT(rec.calls.size(), 0u);
  EOk();
}
