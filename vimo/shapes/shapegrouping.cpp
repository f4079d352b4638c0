// The mother/daughter hierarchy: linking and unlinking, list and indexed daughter tables,
// attaching and detaching, and the diagnostic invariant check.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vimo/calibration/worldshape.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/wedgeshape.h"

namespace {

const unsigned kNoSlot = 0xFFFFFFFFu;

void Fail(E_ERRORS code, const char* trace) {
  ESetError(code);
  ETraceError(trace);
}

[[noreturn]] void InvariantBroken(const EShape* shape, const char* what) {
  std::fprintf(stderr, "vimo: shape hierarchy invariant broken at %p: %s\n",
               static_cast<const void*>(shape), what);
  std::abort();
}

}  // namespace

EShape* EShape::m_pHitShape = nullptr;
INS_HANDLES EShape::m_eHitHandle = INS_HANDLE_NONE;
EShape* EShape::m_pClosestShape = nullptr;
EShape::DestructionObserver EShape::s_pDestructionObserver = nullptr;
unsigned EShape::m_un32BehaviorFilterUse = 0;
unsigned EShape::m_un32BehaviorFilterValue = 0xFFFFFFFFu;
unsigned EShape::m_un32FilteredTypes = 0xFFFFFFFEu;
int EShape::m_bPreserveOrder = 0;
int EShape::m_n32CursorX = 0;
int EShape::m_n32CursorY = 0;
float EShape::m_f32ClosestDistance = 3.4028235e38f;

EShape::EShape()
    : m_pszName(nullptr),
      m_un32Behavior(0x0001C405u),
      m_eDraggingMode(INS_DRAG_ABOUT_CENTER),
      m_pMother(nullptr),
      m_un32DaughterIndex(kNoSlot),
      m_ppDaughter(nullptr),
      m_un32NumDaughters(0),
      m_un32MaxDaughters(0),
      m_pWorldShape(nullptr),
      m_bUnicodeName(false) {}

EShape::~EShape() {
  if (s_pDestructionObserver != nullptr) s_pDestructionObserver(this);
  ReleaseName();
  DetachDaughters();
  if (m_pMother != nullptr) LeaveMother();
  if (m_pHitShape == this) {
    m_pHitShape = nullptr;
    m_eHitHandle = INS_HANDLE_NONE;
  }
  if (m_pClosestShape == this) m_pClosestShape = nullptr;
}

void EShape::JoinVimoWorld() {
  if (!EVimoWorldAlive() || this == static_cast<EShape*>(&VimoWorld)) return;
  JoinMother(&VimoWorld, kNoSlot);
}

void EShape::FallBackToVimoWorld() {
  if (m_pMother != nullptr || IsWorld() || !EVimoWorldAlive()) return;
  EShape* world = &VimoWorld;
  if (world == this || IsAncestorOf(world)) return;
  JoinMother(world, kNoSlot);
}

bool EShape::ReserveSlot(EShape* mother) {
  if (mother->GetIndexed() || mother->m_un32NumDaughters < mother->m_un32MaxDaughters) return true;
  if (mother->m_un32MaxDaughters >= 0x80000000u) return false;
  unsigned capacity = mother->m_un32MaxDaughters == 0 ? 1u : 2u * mother->m_un32MaxDaughters;
  void* table = std::realloc(mother->m_ppDaughter, sizeof(EShape*) * size_t(capacity));
  if (table == nullptr) return false;
  mother->m_ppDaughter = static_cast<EShape**>(table);
  mother->m_un32MaxDaughters = capacity;
  return true;
}

bool EShape::JoinMother(EShape* mother, unsigned slot) {
  if (mother->GetIndexed()) {
    if (slot == kNoSlot) {
      for (unsigned i = 0; i < mother->m_un32MaxDaughters; ++i)
        if (mother->m_ppDaughter[i] == nullptr) {
          slot = i;
          break;
        }
      if (slot == kNoSlot) {
        ESetError(E_ERROR_SLOT_OCCUPIED);
        return false;
      }
    }
    if (slot >= mother->m_un32MaxDaughters) {
      ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
      return false;
    }
    if (mother->m_ppDaughter[slot] != nullptr) {
      ESetError(E_ERROR_SLOT_OCCUPIED);
      return false;
    }
  } else {
    if (!ReserveSlot(mother)) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      return false;
    }
    slot = mother->m_un32NumDaughters;
  }
  m_pMother = mother;
  m_un32DaughterIndex = slot;
  mother->m_ppDaughter[slot] = this;
  ++mother->m_un32NumDaughters;
  // The shape is now read relative to another frame and maybe another world: every cached
  // placement below it is stale, whatever the caches say.
  ForgetPlacement();
#if VIMO_CHECK_INVARIANTS
  mother->CheckInvariants();
#endif
  return true;
}

void EShape::LeaveMother() {
  EShape* mother = m_pMother;
  if (mother == nullptr) return;
  unsigned slot = m_un32DaughterIndex;
  --mother->m_un32NumDaughters;
  if (mother->GetIndexed()) {
    mother->m_ppDaughter[slot] = nullptr;
  } else if (mother->m_un32NumDaughters == 0) {
    std::free(mother->m_ppDaughter);
    mother->m_ppDaughter = nullptr;
    mother->m_un32MaxDaughters = 0;
  } else if (!m_bPreserveOrder) {
    EShape* last = mother->m_ppDaughter[mother->m_un32NumDaughters];
    mother->m_ppDaughter[slot] = last;
    last->m_un32DaughterIndex = slot;
  } else {
    for (unsigned i = slot; i < mother->m_un32NumDaughters; ++i) {
      mother->m_ppDaughter[i] = mother->m_ppDaughter[i + 1];
      mother->m_ppDaughter[i]->m_un32DaughterIndex = i;
    }
  }
  m_pMother = nullptr;
  m_un32DaughterIndex = kNoSlot;
#if VIMO_CHECK_INVARIANTS
  mother->CheckInvariants();
  CheckInvariants();
#endif
}

bool EShape::IsAncestorOf(const EShape* shape) const {
  for (const EShape* s = shape; s != nullptr; s = s->m_pMother)
    if (s == this) return true;
  return false;
}

void EShape::ForgetPlacement() {
  CastToFrame()->InvalidateFrame();
  m_pWorldShape = nullptr;
  if (GetSlotCount() == 0) return;
  // Iterative, so that a deep chain cannot exhaust the stack.
  std::vector<EShape*> pending(1, this);
  while (!pending.empty()) {
    EShape* s = pending.back();
    pending.pop_back();
    s->CastToFrame()->InvalidateFrame();
    s->m_pWorldShape = nullptr;
    unsigned count = s->GetSlotCount();
    for (unsigned i = 0; i < count; ++i)
      if (s->m_ppDaughter[i] != nullptr) pending.push_back(s->m_ppDaughter[i]);
  }
}

void EShape::Attach(EShape* mother) {
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, "EWorldShape::Attach");
  // A NULL mother, the shape itself or one of its descendants would break the tree (a cycle
  // hangs every traversal): refused.
  if (mother == nullptr || IsAncestorOf(mother))
    return Fail(E_ERROR_INVALID_PARAMETER, "EShape::Attach");
  if (mother->GetIndexed()) {
    if (mother->m_un32NumDaughters > 0)
      return Fail(E_ERROR_INDEXED_MOTHER_HAS_DAUGHTERS, "EShape::Attach");
  }
  if (mother == m_pMother && !mother->GetIndexed()) {
    // Already in this list: move to the end. Leaving frees a slot, so joining cannot fail.
    if (m_un32DaughterIndex + 1 == mother->m_un32NumDaughters) {
      ForgetPlacement();
      return;
    }
    LeaveMother();
    JoinMother(mother, kNoSlot);
    return;
  }
  if (mother->GetIndexed()) {
    // An empty indexed table becomes the storage of a list.
    mother->m_un32Behavior &= ~(INS_SHAPE_BEHAVIOR_INDEXED | INS_SHAPE_BEHAVIOR_2D_ARRAY);
    if (mother->m_un32MaxDaughters == 0 && mother->m_ppDaughter != nullptr) {
      std::free(mother->m_ppDaughter);
      mother->m_ppDaughter = nullptr;
    }
  }
  if (!ReserveSlot(mother)) {
    if (mother->m_un32NumDaughters == 0 && mother->m_ppDaughter != nullptr) {
      std::free(mother->m_ppDaughter);
      mother->m_ppDaughter = nullptr;
      mother->m_un32MaxDaughters = 0;
    }
    return Fail(E_ERROR_ALLOCATION_FAILED, "EShape::Attach");
  }
  LeaveMother();
  JoinMother(mother, kNoSlot);
}

void EShape::AttachIndexed(EShape* mother, unsigned index) {
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, "EWorldShape::Attach");
  if (mother == nullptr) return Fail(E_ERROR_INVALID_PARAMETER, "EShape::AttachIndexed");
  if (!mother->GetIndexed()) return Fail(E_ERROR_NOT_INDEXED, "EShape::AttachIndexed");
  if (index >= mother->m_un32MaxDaughters)
    return Fail(E_ERROR_GRID_INDEX_OUT_OF_RANGE, "EShape::AttachIndexed");
  if (mother->m_ppDaughter[index] == this) return;
  if (mother->m_ppDaughter[index] != nullptr)
    return Fail(E_ERROR_SLOT_OCCUPIED, "EShape::AttachIndexed");
  if (IsAncestorOf(mother)) return Fail(E_ERROR_INVALID_PARAMETER, "EShape::AttachIndexed");
  LeaveMother();
  JoinMother(mother, index);
}

template <class GridShape>
void EShape::AttachToGridSlot(GridShape* mother, unsigned first, unsigned second,
                              const char* trace) {
  EOk();
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, "EWorldShape::Attach");
  if (mother == nullptr) return Fail(E_ERROR_INVALID_PARAMETER, trace);
  unsigned slot = mother->GetDaughterIndex(first, second);
  if (EGetError() != E_OK) return ETraceError(trace);
  EShape* m = mother;
  if (m->m_ppDaughter[slot] == this) return;
  if (m->m_ppDaughter[slot] != nullptr) return Fail(E_ERROR_SLOT_OCCUPIED, trace);
  if (IsAncestorOf(m)) return Fail(E_ERROR_INVALID_PARAMETER, trace);
  LeaveMother();
  JoinMother(m, slot);
}

void EShape::AttachIndexed(ERectangleShape* mother, unsigned first, unsigned second) {
  AttachToGridSlot(mother, first, second, "EShape::AttachIndexed ( to ERectangleShape)");
}

void EShape::AttachIndexed(EWedgeShape* mother, unsigned first, unsigned second) {
  AttachToGridSlot(mother, first, second, "EShape::AttachIndexed ( to EWedgeShape)");
}

void EShape::Detach() {
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, "EWorldShape::Detach");
  if (!EVimoWorldAlive()) return;
  EShape* world = &VimoWorld;
  if (m_pMother == world) return;
  if (!ReserveSlot(world)) return Fail(E_ERROR_ALLOCATION_FAILED, "EShape::Detach");
  LeaveMother();
  JoinMother(world, kNoSlot);
}

void EShape::DetachDaughters() {
  // Unlink the whole table at once, then dispose of each daughter in slot order.
  EShape** table = m_ppDaughter;
  unsigned count = GetSlotCount();
  m_ppDaughter = nullptr;
  m_un32NumDaughters = 0;
  m_un32MaxDaughters = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (table[i] == nullptr) continue;
    table[i]->m_pMother = nullptr;
    table[i]->m_un32DaughterIndex = kNoSlot;
  }
#if VIMO_CHECK_INVARIANTS
  CheckInvariants();
#endif
  for (unsigned i = 0; i < count; ++i) {
    EShape* d = table[i];
    if (d == nullptr) continue;
    if (d->GetAllocated()) {
      delete d;
    } else {
      d->ForgetPlacement();
      d->FallBackToVimoWorld();
    }
  }
  std::free(table);
}

bool EShape::AllocateIndexedTable(unsigned slots, int twoDimensional) {
  EShape** table = nullptr;
  if (slots > 0) {
    table = static_cast<EShape**>(std::calloc(slots, sizeof(EShape*)));
    if (table == nullptr) return false;
  }
  m_ppDaughter = table;
  m_un32MaxDaughters = slots;
  m_un32NumDaughters = 0;
  m_un32Behavior |= INS_SHAPE_BEHAVIOR_INDEXED;
  if (twoDimensional)
    m_un32Behavior |= INS_SHAPE_BEHAVIOR_2D_ARRAY;
  else
    m_un32Behavior &= ~INS_SHAPE_BEHAVIOR_2D_ARRAY;
#if VIMO_CHECK_INVARIANTS
  CheckInvariants();
#endif
  return true;
}

void EShape::SetIndexed(unsigned slots) {
  if (m_ppDaughter != nullptr)
    return Fail(E_ERROR_ALREADY_HAS_DAUGHTER_TABLE, "EShape::SetIndexed");
  if (!AllocateIndexedTable(slots, 0)) Fail(E_ERROR_ALLOCATION_FAILED, "EShape::SetIndexed");
}

EShape* EShape::GetDaughter(unsigned slot) const {
  if (slot >= GetSlotCount()) {
    Fail(E_ERROR_INDEX_OUT_OF_RANGE, "EShape::GetDaughter");
    return nullptr;
  }
  return m_ppDaughter[slot];
}

EWorldShape* EShape::GetWorldShape() {
  if (m_pWorldShape != nullptr) return m_pWorldShape;
  EWorldShape* world = nullptr;
  if (m_pMother != nullptr)
    world = m_pMother->GetWorldShape();
  else if (IsWorld())
    world = static_cast<EWorldShape*>(this);
  // A root that is not a world shape (a frame shape built as a root, or a shape left without
  // mother) has no world: conversions then take the identity calibration.
  m_pWorldShape = world;
  return world;
}

void EShape::CheckLinks() const {
  if (m_pMother == nullptr) {
    if (m_un32DaughterIndex != kNoSlot) InvariantBroken(this, "a root has a slot index");
    return;
  }
  const EShape* m = m_pMother;
  if (m_un32DaughterIndex >= m->GetSlotCount() || m->m_ppDaughter == nullptr ||
      m->m_ppDaughter[m_un32DaughterIndex] != this)
    InvariantBroken(this, "the mother's table does not hold the shape in its slot");
}

void EShape::CheckInvariants() const {
  CheckLinks();
  if (GetIndexed()) {
    if ((m_un32MaxDaughters == 0) != (m_ppDaughter == nullptr))
      InvariantBroken(this, "indexed table and slot count disagree");
    unsigned present = 0;
    for (unsigned i = 0; i < m_un32MaxDaughters; ++i) {
      const EShape* d = m_ppDaughter[i];
      if (d == nullptr) continue;
      ++present;
      if (d->m_pMother != this || d->m_un32DaughterIndex != i)
        InvariantBroken(this, "an indexed daughter does not point back to its slot");
    }
    if (present != m_un32NumDaughters)
      InvariantBroken(this, "indexed daughter count differs from the occupied slots");
  } else {
    if (m_un32NumDaughters == 0) {
      if (m_ppDaughter != nullptr || m_un32MaxDaughters != 0)
        InvariantBroken(this, "an empty list keeps its table");
    } else {
      if (m_ppDaughter == nullptr || m_un32NumDaughters > m_un32MaxDaughters)
        InvariantBroken(this, "list count exceeds its capacity");
      for (unsigned i = 0; i < m_un32NumDaughters; ++i) {
        const EShape* d = m_ppDaughter[i];
        if (d == nullptr) InvariantBroken(this, "a list has a gap");
        if (d->m_pMother != this || d->m_un32DaughterIndex != i)
          InvariantBroken(this, "a list daughter does not point back to its slot");
      }
    }
  }
}

// VimoWorld's lifetime: the storage is a static union whose member is built in place by the
// first lifetime guard and destroyed by the last one. The reference is bound at compile time,
// so it is usable from any static constructor.
namespace {

union VimoWorldStorage {
  constexpr VimoWorldStorage() : placeholder() {}
  ~VimoWorldStorage() {}
  char placeholder;
  EWorldShape world;
};

VimoWorldStorage s_VimoWorldStorage;
unsigned s_un32VimoWorldGuards = 0;
int s_n32VimoWorldState = 0;  // 0 not built, 1 alive, 2 destroyed

}  // namespace

EWorldShape& VimoWorld = s_VimoWorldStorage.world;

int EVimoWorldAlive() { return s_n32VimoWorldState == 1; }

EVimoWorldLifetime::EVimoWorldLifetime() {
  if (s_un32VimoWorldGuards++ == 0 && s_n32VimoWorldState != 1) {
    new (&s_VimoWorldStorage.world) EWorldShape(0, 0, 0, 1, 100, 100);
    s_n32VimoWorldState = 1;
  }
}

EVimoWorldLifetime::~EVimoWorldLifetime() {
  if (--s_un32VimoWorldGuards != 0 || s_n32VimoWorldState != 1) return;
  // The shapes still in VimoWorld's table are alive (a destroyed shape leaves its mother), so
  // they are only unlinked; those the library allocated are deleted with it.
  s_n32VimoWorldState = 2;
  s_VimoWorldStorage.world.~EWorldShape();
}
