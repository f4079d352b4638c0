// The mother/daughter hierarchy: tables, attach and detach, destruction, copies and clones.
#include <cstdlib>
#include <memory>
#include <random>

#include "shape_test_support.h"

using shape_test::Settings;
using shape_test::Violation;

namespace {

// A shape that is a static object of the program: it is built during static initialisation,
// before main, and must find VimoWorld ready.
EFrameShape g_StaticFrame(1, 2, 0, 1, 10, 10);

unsigned PositionInVimoWorld(EShape* shape) {
  for (unsigned i = 0; i < VimoWorld.GetNumDaughters(); ++i)
    if (VimoWorld.GetDaughter(i) == shape) return i;
  return 0xFFFFFFFFu;
}

}  // namespace

TEST(ShapeHierarchy, NewShapeJoinsVimoWorld) {
  EPointShape p(1, 2);
  EXPECT_EQ(p.GetMother(), static_cast<EShape*>(&VimoWorld));
  EXPECT_EQ(p.GetIndex(), PositionInVimoWorld(&p));
  EXPECT_EQ(p.GetName(), nullptr);
  EXPECT_EQ(p.GetBehavior(), 0x0001C405u);
  EXPECT_EQ(p.GetWorldShape(), &VimoWorld);
  EXPECT_TRUE(VimoWorld.IsWorld());
  EXPECT_EQ(VimoWorld.GetMother(), nullptr);
  EXPECT_EQ(VimoWorld.GetSizeX(), 100);
  EXPECT_EQ(Violation(&VimoWorld), "");
}

TEST(ShapeHierarchy, StaticShapesJoinVimoWorld) {
  EXPECT_EQ(g_StaticFrame.GetMother(), static_cast<EShape*>(&VimoWorld));
  EXPECT_EQ(VimoWorld.GetDaughter(g_StaticFrame.GetIndex()), &g_StaticFrame);
  EXPECT_TRUE(EVimoWorldAlive());
}

TEST(ShapeHierarchyDeathTest, VimoWorldEndsCleanlyAtExit) {
  // In a child process: library-made shapes left in VimoWorld are deleted with it, shapes
  // the program destroyed earlier are not touched again (the sanitizer run checks both).
  EXPECT_EXIT(
      {
        EPointShape model(1, 1);
        EPointShape child;
        child.Attach(&model);
        model.Clone(&VimoWorld);
        EPointShape* mine = new EPointShape(2, 2);
        EFrameShape* holder = new EFrameShape();
        mine->Attach(holder);
        delete holder;
        delete mine;
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ShapeHierarchy, ListGrowsByDoublingAndReleasesWhenEmptied) {
  EFrameShape m;
  std::vector<std::unique_ptr<EPointShape>> d;
  const unsigned expected[] = {1, 2, 4, 4, 8};
  for (unsigned i = 0; i < 5; ++i) {
    d.emplace_back(new EPointShape());
    d.back()->Attach(&m);
    EXPECT_EQ(m.GetMaxDaughters(), expected[i]);
    EXPECT_EQ(m.GetNumDaughters(), i + 1);
  }
  EXPECT_EQ(Violation(&m), "");
  for (auto& s : d) s->Detach();
  EXPECT_EQ(m.GetNumDaughters(), 0u);
  EXPECT_EQ(m.GetMaxDaughters(), 0u);
  EXPECT_EQ(Violation(&VimoWorld), "");
}

TEST(ShapeHierarchy, LeavingWithAndWithoutOrderPreservation) {
  Settings settings;
  for (int preserve = 0; preserve < 2; ++preserve) {
    EShape::SetPreserveOrder(preserve);
    EFrameShape m;
    EPointShape a, b, c;
    a.Attach(&m);
    b.Attach(&m);
    c.Attach(&m);
    a.Detach();
    ASSERT_EQ(m.GetNumDaughters(), 2u);
    if (preserve) {
      EXPECT_EQ(m.GetDaughter(0), &b);
      EXPECT_EQ(m.GetDaughter(1), &c);
    } else {
      EXPECT_EQ(m.GetDaughter(0), &c);
      EXPECT_EQ(m.GetDaughter(1), &b);
    }
    EXPECT_EQ(a.GetMother(), static_cast<EShape*>(&VimoWorld));
    EXPECT_EQ(a.GetIndex(), VimoWorld.GetNumDaughters() - 1);
    EXPECT_EQ(Violation(&m), "");
  }
}

TEST(ShapeHierarchy, AttachToPresentMotherMovesToEnd) {
  EFrameShape m;
  EPointShape a, b, c;
  a.Attach(&m);
  b.Attach(&m);
  c.Attach(&m);
  a.Attach(&m);
  EXPECT_EQ(m.GetDaughter(2), &a);
  EXPECT_EQ(Violation(&m), "");
  EPointShape only;
  EFrameShape m2;
  only.Attach(&m2);
  only.Attach(&m2);
  EXPECT_EQ(m2.GetNumDaughters(), 1u);
  EXPECT_EQ(m2.GetDaughter(0), &only);
}

TEST(ShapeHierarchy, IndexedTableErrors) {
  EFrameShape m;
  m.SetIndexed(4);
  EXPECT_TRUE(m.GetIndexed());
  EXPECT_EQ(m.GetMaxDaughters(), 4u);
  EPointShape a, b;
  EOk();
  a.AttachIndexed(&m, 4);
  EXPECT_EQ(EGetError(), E_ERROR_GRID_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(a.GetMother(), static_cast<EShape*>(&VimoWorld));
  EOk();
  a.AttachIndexed(&m, 2);
  EXPECT_EQ(EGetError(), E_OK);
  b.AttachIndexed(&m, 2);
  EXPECT_EQ(EGetError(), E_ERROR_SLOT_OCCUPIED);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::AttachIndexed\n");
  EXPECT_EQ(b.GetMother(), static_cast<EShape*>(&VimoWorld));
  EOk();
  b.Attach(&m);
  EXPECT_EQ(EGetError(), E_ERROR_INDEXED_MOTHER_HAS_DAUGHTERS);
  EXPECT_EQ(m.GetDaughter(0), nullptr);
  EXPECT_EQ(m.GetDaughter(2), &a);
  EXPECT_EQ(m.GetNumDaughters(), 1u);
  EXPECT_EQ(Violation(&m), "");
  EOk();
  m.SetIndexed(3);
  EXPECT_EQ(EGetError(), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  EOk();
  EFrameShape list;
  b.AttachIndexed(&list, 0);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_INDEXED);
  // Leaving an indexed mother frees the slot without moving anything.
  EOk();
  a.Detach();
  EXPECT_EQ(m.GetNumDaughters(), 0u);
  EXPECT_EQ(m.GetMaxDaughters(), 4u);
  // Attach to an indexed mother without daughters turns it into a list.
  b.Attach(&m);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_FALSE(m.GetIndexed());
  EXPECT_EQ(m.GetDaughter(0), &b);
  EXPECT_EQ(Violation(&m), "");
}

TEST(ShapeHierarchy, GetDaughterOutOfRange) {
  EFrameShape m;
  std::vector<std::unique_ptr<EPointShape>> d;
  for (int i = 0; i < 5; ++i) {
    d.emplace_back(new EPointShape());
    d.back()->Attach(&m);
  }
  EOk();
  EXPECT_EQ(m.GetDaughter(5), nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::GetDaughter\n");
  EOk();
}

TEST(ShapeHierarchy, CyclesAreRefused) {
  EFrameShape a, b, c;
  b.Attach(&a);
  c.Attach(&b);
  EOk();
  a.Attach(&c);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(a.GetMother(), static_cast<EShape*>(&VimoWorld));
  EOk();
  a.Attach(&a);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  c.SetIndexed(2);
  a.AttachIndexed(&c, 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(c.GetNumDaughters(), 0u);
  EOk();
  a.Attach(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Violation(&a), "");
  EOk();
}

TEST(ShapeHierarchy, WorldShapeCannotBeAttachedOrDetached) {
  EWorldShape w(0, 0, 0, 1, 10, 10);
  EFrameShape f;
  EOk();
  w.Attach(&f);
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EXPECT_STREQ(EGetErrorTrace(), "EWorldShape::Attach\n");
  EOk();
  w.Detach();
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EOk();
  static_cast<EShape&>(w).Attach(&f);
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EXPECT_EQ(w.GetMother(), nullptr);
  EOk();
}

TEST(ShapeHierarchy, DetachSemantics) {
  EPointShape p;
  unsigned before = p.GetIndex();
  p.Detach();
  EXPECT_EQ(p.GetIndex(), before);
  EFrameShape m;
  p.Attach(&m);
  p.Detach();
  EXPECT_EQ(p.GetMother(), static_cast<EShape*>(&VimoWorld));
  EXPECT_EQ(p.GetIndex(), VimoWorld.GetNumDaughters() - 1);
  // A frame shape born as a root joins VimoWorld when detached, and can be attached.
  EFrameShape root(0, 0, 0, 1, 10, 10, 1);
  EXPECT_EQ(root.GetMother(), nullptr);
  EXPECT_EQ(root.GetWorldShape(), nullptr);
  EPointShape q;
  q.Attach(&root);
  EXPECT_EQ(q.GetWorldShape(), nullptr);
  root.Attach(&m);
  EXPECT_EQ(q.GetWorldShape(), &VimoWorld);
}

TEST(ShapeHierarchy, DestructionDeletesAllocatedDaughtersAndReturnsOthers) {
  EPointShape own;
  EPointShape model(3, 4);
  {
    EFrameShape m;
    own.Attach(&m);
    model.Clone(&m);
    model.Clone(&m);
    ASSERT_EQ(m.GetNumDaughters(), 3u);
    EXPECT_TRUE(m.GetDaughter(1)->GetAllocated());
    EXPECT_FALSE(own.GetAllocated());
  }
  // The clones were deleted (the sanitizer run would see a leak otherwise); own went back.
  EXPECT_EQ(own.GetMother(), static_cast<EShape*>(&VimoWorld));
  EXPECT_EQ(Violation(&VimoWorld), "");
}

TEST(ShapeHierarchy, DetachDaughtersHandlesEverySlot) {
  Settings settings;
  EShape::SetPreserveOrder(1);
  ERectangleShape grid(0, 0, 10, 10, 0);
  EPointShape model;
  model.Clone(&grid, 3, 2, 1);
  EPointShape own;
  own.AttachIndexed(&grid, 1);
  EXPECT_EQ(grid.GetNumDaughters(), 4u);
  grid.DetachDaughters();
  EXPECT_EQ(grid.GetNumDaughters(), 0u);
  EXPECT_EQ(grid.GetMaxDaughters(), 0u);
  EXPECT_TRUE(grid.GetIndexed());
  EXPECT_EQ(own.GetMother(), static_cast<EShape*>(&VimoWorld));
  grid.SetIndexed(2);
  EXPECT_EQ(grid.GetMaxDaughters(), 2u);
}

TEST(ShapeHierarchy, RandomSequencesKeepTheInvariants) {
  Settings settings;
  std::mt19937 random(7);
  for (int preserve = 0; preserve < 2; ++preserve) {
    EShape::SetPreserveOrder(preserve);
    std::vector<std::unique_ptr<EShape>> shapes;
    for (int i = 0; i < 12; ++i) {
      if (i % 3 == 0)
        shapes.emplace_back(new ERectangleShape(0, 0, 10, 10, 0));
      else
        shapes.emplace_back(new EFrameShape());
    }
    shapes[0]->SetIndexed(6);
    for (int step = 0; step < 2000; ++step) {
      EShape* s = shapes[random() % shapes.size()].get();
      EShape* m = shapes[random() % shapes.size()].get();
      switch (random() % 6) {
        case 0:
        case 1: s->Attach(m); break;
        case 2: s->AttachIndexed(m, static_cast<unsigned>(random() % 8)); break;
        case 3: s->Detach(); break;
        case 4:
          if (random() % 4 == 0) s->DetachDaughters();
          break;
        case 5: {
          // Destroy one shape and make a fresh one in its place.
          size_t k = random() % shapes.size();
          if (k == 0) break;
          shapes[k].reset(new EFrameShape());
          break;
        }
      }
      EOk();
      ASSERT_EQ(Violation(&VimoWorld), "") << "step " << step;
      for (auto& shape : shapes) {
        EShape* root = shape.get();
        while (root->GetMother() != nullptr) root = root->GetMother();
        ASSERT_EQ(root, static_cast<EShape*>(&VimoWorld)) << "a shape fell out of the tree";
      }
    }
  }
}

TEST(ShapeCopies, CopyToBecomesSiblingWithNameFlagsAndDaughters) {
  EFrameShape m;
  ECircleShape source(1, 2, 10, 0, 1);
  source.Attach(&m);
  source.SetName("ring");
  source.SetDragable(1, 0);
  source.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
  EPointShape d1(1, 0), d2(2, 0);
  d1.Attach(&source);
  d2.Attach(&source);
  d2.SetName("second");
  ECircleShape copy;
  source.CopyTo(&copy, 1);
  EXPECT_EQ(copy.GetMother(), static_cast<EShape*>(&m));
  EXPECT_EQ(copy.GetIndex(), 1u);
  EXPECT_STREQ(copy.GetName(), "ring");
  EXPECT_NE(copy.GetName(), source.GetName());
  EXPECT_EQ(copy.GetBehavior(), source.GetBehavior());
  EXPECT_EQ(copy.GetDraggingMode(), INS_DRAG_FROM_FIXED_POINT);
  EXPECT_EQ(copy.GetRadius(), 5);
  ASSERT_EQ(copy.GetNumDaughters(), 2u);
  EXPECT_NE(copy.GetDaughter(0), &d1);
  EXPECT_STREQ(copy.GetDaughter(1)->GetName(), "second");
  EXPECT_TRUE(copy.GetDaughter(0)->GetAllocated());
  EXPECT_EQ(source.GetNumDaughters(), 2u);
  EXPECT_EQ(Violation(&m), "");
  // Non-recursive: the earlier daughters of the target go, none come.
  source.CopyTo(&copy, 0);
  EXPECT_EQ(copy.GetNumDaughters(), 0u);
  // Onto itself: nothing.
  EXPECT_EQ(source.CopyTo(&source, 1), &source);
  EXPECT_EQ(source.GetNumDaughters(), 2u);
  // Onto its own mother: refused, nothing destroyed.
  EOk();
  EXPECT_EQ(static_cast<EShape&>(d1).CopyTo(&source, 1), nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(source.GetNumDaughters(), 2u);
  EOk();
}

TEST(ShapeCopies, TypedCopyAllocatesAndCopyConstructorFollowsRecursionFlag) {
  ERectangleShape source(5, 5, 20, 10, 30);
  EPointShape model;
  model.Clone(&source, 3, 2, 0);
  std::unique_ptr<ERectangleShape> copy(source.CopyTo(static_cast<ERectangleShape*>(nullptr), 1));
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->GetIndexed());
  EXPECT_TRUE(copy->Get2DArray());
  EXPECT_EQ(copy->GetNumRows(), 2u);
  EXPECT_EQ(copy->GetNumDaughters(), 6u);
  EXPECT_FLOAT_EQ(copy->GetSizeX(), 20);
  EXPECT_FALSE(copy->GetAllocated());
  int previous = GetRecursiveCopyBehavior();
  SetRecursiveCopyBehavior(0);
  ERectangleShape flat(source);
  EXPECT_EQ(flat.GetNumDaughters(), 0u);
  SetRecursiveCopyBehavior(1);
  ERectangleShape deep(source);
  EXPECT_EQ(deep.GetNumDaughters(), 6u);
  SetRecursiveCopyBehavior(previous);
  EXPECT_EQ(Violation(&VimoWorld), "");
}

TEST(ShapeCopies, CopyOfShapeInFullIndexedMotherGoesToVimoWorld) {
  EFrameShape m;
  m.SetIndexed(1);
  EPointShape p;
  p.AttachIndexed(&m, 0);
  EPointShape copy;
  p.CopyTo(&copy, 0);
  EXPECT_EQ(copy.GetMother(), static_cast<EShape*>(&VimoWorld));
  EXPECT_EQ(m.GetNumDaughters(), 1u);
  EOk();
}

TEST(ShapeCopies, NewIsUnnamedAllocatedMotherlessDeepClone) {
  EWedgeShape source(0, 0, 20, 5, 0, 1);
  source.SetName("wedge");
  source.SetIndexed(2, 2);
  EPointShape p;
  p.AttachIndexed(&source, 3);
  std::unique_ptr<EShape> clone(source.New());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetName(), nullptr);
  EXPECT_TRUE(clone->GetAllocated());
  EXPECT_EQ(clone->GetMother(), nullptr);
  EXPECT_EQ(clone->GetMaxDaughters(), 4u);
  EXPECT_TRUE(clone->Get2DArray());
  EXPECT_EQ(clone->GetDaughter(0), nullptr);
  ASSERT_NE(clone->GetDaughter(3), nullptr);
  EXPECT_TRUE(clone->GetDaughter(3)->GetAllocated());
  EXPECT_EQ(static_cast<EWedgeShape*>(clone.get())->GetNumRows(), 2u);
  EXPECT_EQ(Violation(clone.get()), "");
}

TEST(ShapeCopies, CloneFormsFillTablesAndReportErrors) {
  EPointShape model;
  ERectangleShape rect(0, 0, 10, 10, 0);
  model.Clone(&rect, 3, 2, 1);
  ASSERT_EQ(rect.GetMaxDaughters(), 6u);
  EXPECT_EQ(rect.GetNumRows(), 2u);
  const bool filled[] = {true, false, false, true, true, false};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(rect.GetDaughter(i) != nullptr, filled[i]) << i;
  ERectangleShape all(0, 0, 10, 10, 0);
  model.Clone(&all, 3, 2, 0);
  EXPECT_EQ(all.GetNumDaughters(), 6u);
  EWedgeShape wedge(0, 0, 10, 2, 0, 1);
  model.Clone(&wedge, 2, 2, 1);
  EXPECT_EQ(wedge.GetNumDaughters(), 2u);
  EFrameShape frame;
  model.Clone(&frame, 3);
  EXPECT_EQ(frame.GetNumDaughters(), 3u);
  EXPECT_TRUE(frame.GetIndexed());
  EOk();
  model.Clone(&frame, 3);
  EXPECT_EQ(EGetError(), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::SetIndexed\nEShape::Clone ( indexed to EShape)\n");
  EOk();
  // A full indexed mother: the clone goes to VimoWorld rather than nowhere.
  unsigned before = VimoWorld.GetNumDaughters();
  frame.Clone(&frame);
  EXPECT_EQ(EGetError(), E_ERROR_SLOT_OCCUPIED);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::Clone ( o EShape)\n");
  ASSERT_EQ(VimoWorld.GetNumDaughters(), before + 1);
  EShape* stray = VimoWorld.GetDaughter(before);
  EXPECT_TRUE(stray->GetAllocated());
  EXPECT_EQ(stray->GetNumDaughters(), 3u);
  delete stray;
  EOk();
  model.Clone(static_cast<EShape*>(nullptr));
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  model.Clone(&rect, 0x10000u, 0x10001u, 0);
  EXPECT_EQ(EGetError(), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  ERectangleShape huge(0, 0, 1, 1, 0);
  EOk();
  huge.SetIndexed(0x10000u, 0x10001u);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_FALSE(huge.GetIndexed());
  EOk();
}

TEST(ShapeNames, NamesFlagsAndSearch) {
  Settings settings;
  EFrameShape root;
  EFrameShape a, b;
  EPointShape c, d;
  a.Attach(&root);
  b.Attach(&root);
  c.Attach(&a);
  d.Attach(&b);
  a.SetName("x");
  d.SetName("x");
  c.SetName("c");
  EXPECT_EQ(root.GetShapeNamed("x"), &a);
  EXPECT_EQ(root.GetShapeNamed("none"), nullptr);
  a.SetName(static_cast<const char*>(nullptr));
  EXPECT_STREQ(a.GetName(), "x");
  a.SetVisible(0, 0);
  root.EnableBehaviorFilter(INS_SHAPE_BEHAVIOR_VISIBLE, 1);
  EXPECT_EQ(root.GetShapeNamed("x"), &d);
  EXPECT_EQ(root.GetShapeNamed("c"), &c);
  root.DisableBehaviorFilter(INS_SHAPE_BEHAVIOR_VISIBLE);
  root.EnableTypeFilter(INS_SHAPE_TYPE_POINT_SHAPE);
  EXPECT_EQ(root.GetShapeNamed("x"), &d);
  root.DisableTypeFilter();
  const unsigned short wide[] = {'w', 'i', 0};
  const unsigned short other[] = {'w', 0};
  b.SetName(wide);
  EXPECT_EQ(root.GetShapeNamed(wide), &b);
  EXPECT_EQ(root.GetShapeNamed(other), nullptr);
  EXPECT_EQ(root.GetShapeNamed("wi"), nullptr);
  // Flags with recursion through every slot.
  root.SetSelected(1, 1);
  EXPECT_TRUE(d.GetSelected());
  root.SetActive(0, 1);
  EXPECT_FALSE(c.GetActive());
  root.SetFound(1, 0);
  EXPECT_FALSE(a.GetFound());
  root.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 1);
  EXPECT_EQ(d.GetDraggingMode(), INS_DRAG_FROM_FIXED_POINT);
  root.SetUserFlag(1, 0);
  EXPECT_EQ(root.GetBehavior() & 0x10000000u, 0x10000000u);
  EXPECT_EQ(a.GetBehavior() & 0x10000000u, 0u);
}

namespace {

// Reaches into the table to break it, as a fault elsewhere could.
class CorruptingShape : public EPointShape {
 public:
  void BreakCount() { ++m_un32NumDaughters; }
  void Restore() { --m_un32NumDaughters; }
};

}  // namespace

TEST(ShapeHierarchyDeathTest, InvariantCheckerAbortsOnABrokenTable) {
  CorruptingShape shape;
  EPointShape daughter;
  daughter.Attach(&shape);
  shape.CheckInvariants();
  shape.BreakCount();
  EXPECT_DEATH(shape.CheckInvariants(), "invariant broken");
  shape.Restore();
}

TEST(ShapeCopies, AWorldShapeIsNeverClonedIntoAMother) {
  // A world shape is always a root: cloning one into a mother's table is refused.
  EWorldShape world(0, 0, 0, 1, 10, 10);
  EPointShape daughter;
  daughter.Attach(&world);
  EFrameShape frame;
  ERectangleShape rect(0, 0, 10, 10, 0);
  EWedgeShape wedge(0, 0, 10, 2, 0, 1);
  unsigned before = VimoWorld.GetNumDaughters();
  EOk();
  world.Clone(&frame);
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::Clone ( o EShape)\n");
  EOk();
  world.Clone(&frame, 2);
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::Clone ( indexed to EShape)\n");
  EOk();
  world.Clone(&rect, 2, 2, 0);
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::Clone ( indexed to ERectangleShape)\n");
  EOk();
  world.Clone(&wedge, 2, 2, 1);
  EXPECT_EQ(EGetError(), E_ERROR_WORLD_SHAPE_ATTACH);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::Clone ( indexed to EWedgeShape)\n");
  EOk();
  // Nothing was built anywhere, and the mothers were left as they were.
  EXPECT_EQ(frame.GetNumDaughters(), 0u);
  EXPECT_FALSE(frame.GetIndexed());
  EXPECT_FALSE(rect.GetIndexed());
  EXPECT_FALSE(wedge.GetIndexed());
  EXPECT_EQ(VimoWorld.GetNumDaughters(), before);
  EXPECT_EQ(Violation(&VimoWorld), "");
}

TEST(ShapeCopies, CopyOntoALibraryCloneKeepsItTheLibrarys) {
  // The target of a copy keeps its own ownership: a clone made by the library stays
  // Allocated and is deleted by its new mother (the sanitizer run sees a leak otherwise); a
  // shape of the caller never becomes Allocated, even from an Allocated source.
  EPointShape model(1, 1);
  EFrameShape m;
  model.Clone(&m);
  EPointShape* clone = static_cast<EPointShape*>(m.GetDaughter(0));
  ASSERT_TRUE(clone->GetAllocated());
  {
    EFrameShape holder;
    EPointShape source(5, 6);
    source.Attach(&holder);
    source.CopyTo(clone, 0);
    EXPECT_EQ(clone->GetMother(), static_cast<EShape*>(&holder));
    EXPECT_EQ(m.GetNumDaughters(), 0u);
    EXPECT_TRUE(clone->GetAllocated());
    EXPECT_FLOAT_EQ(clone->GetX(), 5);
    EPointShape mine;
    clone->CopyTo(&mine, 0);
    EXPECT_FALSE(mine.GetAllocated());
  }
  EXPECT_EQ(Violation(&VimoWorld), "");
}
