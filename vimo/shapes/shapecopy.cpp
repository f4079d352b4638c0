// Copies and clones of shapes, names, flags, filters and the recursive bodies of the virtual
// operations.
#include <cstdlib>
#include <cstring>

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

// Where the next CopyTo places its target when a recursive copy builds a daughter through
// CreateShapeClone: the copy being built, and the slot (kNoSlot appends to a list).
bool s_bCopyPending = false;
EShape* s_pCopyMother = nullptr;
unsigned s_un32CopySlot = kNoSlot;

}  // namespace

EShape* EShape::CopyTo(EShape* dst, int recursive) const {
  bool pending = s_bCopyPending;
  EShape* placeMother = pending ? s_pCopyMother : m_pMother;
  unsigned placeSlot = pending ? s_un32CopySlot : kNoSlot;
  s_bCopyPending = false;
  if (dst == nullptr || dst == this) return dst;
  // Emptying a target that holds the source would destroy or move the source under our feet.
  if (dst->IsAncestorOf(this) || dst->IsWorld() != IsWorld()) {
    Fail(E_ERROR_INVALID_PARAMETER, "EShape::CopyTo");
    return nullptr;
  }
  // Ownership belongs to the target object, not to what is copied into it.
  bool libraryOwned = dst->GetAllocated() != 0;
  dst->DetachDaughters();
  dst->LeaveMother();
  dst->ReleaseName();
  if (m_pszName != nullptr) {
    if (m_bUnicodeName)
      dst->SetName(GetNameUnicode());
    else
      dst->SetName(GetName());
  }
  // A target given by the caller belongs to the caller: the mother must not delete it. The
  // daughters built by a recursive copy are the library's and go with their mother, and so
  // does a target the library made (a clone), which nobody would delete otherwise.
  dst->m_un32Behavior = m_un32Behavior & ~INS_SHAPE_BEHAVIOR_ALLOCATED;
  if (pending || libraryOwned) dst->m_un32Behavior |= INS_SHAPE_BEHAVIOR_ALLOCATED;
  dst->m_eDraggingMode = m_eDraggingMode;
  if (placeMother != nullptr && !dst->IsWorld()) {
    if (!dst->JoinMother(placeMother, placeSlot)) {
      // No room where the source lives (an indexed mother without a free slot, or no
      // memory): the copy goes to VimoWorld rather than nowhere.
      ETraceError("EShape::CopyTo");
      dst->FallBackToVimoWorld();
    }
  }
  dst->ForgetPlacement();
  if (!recursive) return dst;
  if (GetIndexed() && !dst->AllocateIndexedTable(m_un32MaxDaughters, Get2DArray())) {
    Fail(E_ERROR_ALLOCATION_FAILED, "EShape::CopyTo");
    return dst;
  }
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i) {
    const EShape* d = m_ppDaughter[i];
    if (d == nullptr) continue;
    s_bCopyPending = true;
    s_pCopyMother = dst;
    s_un32CopySlot = GetIndexed() ? i : kNoSlot;
    EShape* copy = d->CreateShapeClone(1);
    s_bCopyPending = false;
    if (copy == nullptr) {
      Fail(E_ERROR_ALLOCATION_FAILED, "EShape::CopyTo");
      return dst;
    }
  }
  return dst;
}

bool EShape::FillNewClone(EShape* clone) const {
  clone->LeaveMother();
  clone->ReleaseName();
  clone->m_un32Behavior = m_un32Behavior | INS_SHAPE_BEHAVIOR_ALLOCATED;
  clone->m_un32Behavior &= ~(INS_SHAPE_BEHAVIOR_INDEXED | INS_SHAPE_BEHAVIOR_2D_ARRAY);
  clone->m_eDraggingMode = m_eDraggingMode;
  clone->ForgetPlacement();
  if (GetIndexed() && !clone->AllocateIndexedTable(m_un32MaxDaughters, Get2DArray())) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return false;
  }
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i) {
    const EShape* d = m_ppDaughter[i];
    if (d == nullptr) continue;
    EShape* copy = d->New();
    if (copy == nullptr) return false;
    if (!copy->JoinMother(clone, GetIndexed() ? i : kNoSlot)) {
      delete copy;
      return false;
    }
  }
  return true;
}

void EShape::Clone(EShape* mother) {
  const char* trace = "EShape::Clone ( o EShape)";
  // A world shape is always a root: its clone cannot join a mother.
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, trace);
  if (mother == nullptr) return Fail(E_ERROR_INVALID_PARAMETER, trace);
  EShape* copy = New();
  if (copy == nullptr) return ETraceError(trace);
  if (!copy->JoinMother(mother, kNoSlot)) {
    ETraceError(trace);
    copy->FallBackToVimoWorld();
  }
}

void EShape::Clone(EShape* mother, unsigned slots) {
  const char* trace = "EShape::Clone ( indexed to EShape)";
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, trace);
  // Filling this shape or one of its descendants would clone the growing table again and again.
  if (mother == nullptr || IsAncestorOf(mother)) return Fail(E_ERROR_INVALID_PARAMETER, trace);
  EOk();
  mother->SetIndexed(slots);
  if (EGetError() != E_OK) return ETraceError(trace);
  for (unsigned i = 0; i < slots; ++i) {
    EShape* copy = New();
    if (copy == nullptr) return ETraceError(trace);
    copy->JoinMother(mother, i);
  }
}

template <class GridShape>
void EShape::CloneIntoGrid(GridShape* mother, unsigned first, unsigned second, int alternate,
                           const char* trace) {
  if (IsWorld()) return Fail(E_ERROR_WORLD_SHAPE_ATTACH, trace);
  if (mother == nullptr || IsAncestorOf(mother)) return Fail(E_ERROR_INVALID_PARAMETER, trace);
  EOk();
  mother->SetIndexed(first, second);
  if (EGetError() != E_OK) return ETraceError(trace);
  for (unsigned c = 0; c < first; ++c)
    for (unsigned r = 0; r < second; ++r) {
      if (alternate && ((c + r) & 1u) != 0) continue;
      EShape* copy = New();
      if (copy == nullptr) return ETraceError(trace);
      copy->JoinMother(mother, c * second + r);
    }
}

void EShape::Clone(ERectangleShape* mother, unsigned first, unsigned second, int alternate) {
  CloneIntoGrid(mother, first, second, alternate, "EShape::Clone ( indexed to ERectangleShape)");
}

void EShape::Clone(EWedgeShape* mother, unsigned first, unsigned second, int alternate) {
  CloneIntoGrid(mother, first, second, alternate, "EShape::Clone ( indexed to EWedgeShape)");
}

void EShape::ReleaseName() {
  std::free(m_pszName);
  m_pszName = nullptr;
  m_bUnicodeName = false;
}

const char* EShape::LabelName(char* buffer, unsigned size) const {
  if (m_pszName == nullptr || size == 0) return "";
  if (!m_bUnicodeName) return GetName();
  const unsigned short* wide = GetNameUnicode();
  unsigned i = 0;
  for (; i + 1 < size && wide[i] != 0; ++i)
    buffer[i] = wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
  buffer[i] = '\0';
  return buffer;
}

void EShape::SetName(const char* name) {
  if (name == nullptr) return;
  size_t size = std::strlen(name) + 1;
  void* copy = std::malloc(size);
  if (copy != nullptr) std::memcpy(copy, name, size);
  ReleaseName();
  m_pszName = copy;
}

void EShape::SetName(const unsigned short* name) {
  if (name == nullptr) return;
  size_t length = 0;
  while (name[length] != 0) ++length;
  size_t size = (length + 1) * sizeof(unsigned short);
  void* copy = std::malloc(size);
  if (copy != nullptr) std::memcpy(copy, name, size);
  ReleaseName();
  m_pszName = copy;
  m_bUnicodeName = copy != nullptr;
}

namespace {

bool SameUnicode(const unsigned short* a, const unsigned short* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return false;
    if (*a == 0) return true;
  }
}

}  // namespace

EShape* EShape::GetShapeNamed(const char* name) {
  if (name == nullptr) return nullptr;
  if (PassesFilters() && m_pszName != nullptr && !m_bUnicodeName &&
      std::strcmp(GetName(), name) == 0)
    return this;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i) {
    if (m_ppDaughter[i] == nullptr) continue;
    EShape* found = m_ppDaughter[i]->GetShapeNamed(name);
    if (found != nullptr) return found;
  }
  return nullptr;
}

EShape* EShape::GetShapeNamed(const unsigned short* name) {
  if (name == nullptr) return nullptr;
  if (PassesFilters() && m_pszName != nullptr && m_bUnicodeName &&
      SameUnicode(GetNameUnicode(), name))
    return this;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i) {
    if (m_ppDaughter[i] == nullptr) continue;
    EShape* found = m_ppDaughter[i]->GetShapeNamed(name);
    if (found != nullptr) return found;
  }
  return nullptr;
}

void EShape::SetFlag(unsigned mask, int value, int daughters) {
  if (value)
    m_un32Behavior |= mask;
  else
    m_un32Behavior &= ~mask;
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->SetFlag(mask, value, 1);
}

void EShape::SetActive(int value, int daughters) {
  SetFlag(INS_SHAPE_BEHAVIOR_ACTIVE, value, 0);
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->SetActive(value, 1);
}

void EShape::SetFound(int value, int daughters) {
  SetFlag(INS_SHAPE_BEHAVIOR_FOUND, value, 0);
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->SetFound(value, 1);
}

void EShape::SetDraggingMode(INS_DRAGGING_MODES mode, int daughters) {
  m_eDraggingMode = mode;
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->SetDraggingMode(mode, 1);
}

void EShape::EnableBehaviorFilter(INS_SHAPE_BEHAVIOR bits, int value) {
  m_un32BehaviorFilterUse |= bits;
  if (value)
    m_un32BehaviorFilterValue |= bits;
  else
    m_un32BehaviorFilterValue &= ~static_cast<unsigned>(bits);
}

void EShape::DisableBehaviorFilter(INS_SHAPE_BEHAVIOR bits) {
  m_un32BehaviorFilterUse &= ~static_cast<unsigned>(bits);
}

void EShape::EnableTypeFilter(unsigned types) { m_un32FilteredTypes = types; }

void EShape::DisableTypeFilter() { m_un32FilteredTypes = 0xFFFFFFFEu; }

int EShape::PassesFilters() const {
  return ((m_un32Behavior ^ m_un32BehaviorFilterValue) & m_un32BehaviorFilterUse) == 0 &&
         (static_cast<unsigned>(GetType()) & m_un32FilteredTypes) != 0;
}

void EShape::SetCursor(int x, int y) {
  m_n32CursorX = x;
  m_n32CursorY = y;
  m_pHitShape = nullptr;
  m_eHitHandle = INS_HANDLE_NONE;
  m_pClosestShape = nullptr;
  m_f32ClosestDistance = 3.4028235e38f;
}

// Recursive bodies, called by the concrete classes after handling themselves.

void EShape::Rescale(float factor, int daughters) {
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->Rescale(factor, 1);
}

void EShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->Draw(adapter, mode, 1);
}

#ifdef _WIN32
void EShape::Draw(HDC context, INS_DRAWING_MODES mode, int daughters) {
  if (context == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EShape::Draw");
    return;
  }
  Quarnel::GDIDrawAdapter adapter(context);
  Draw(&adapter, mode, daughters);
}
#endif

void EShape::Process(EROI<EBW8>* roi, int daughters) {
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->Process(roi, 1);
}

int EShape::HitTest(int daughters) {
  if (!daughters || m_ppDaughter == nullptr) return 0;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr && m_ppDaughter[i]->HitTest(1)) return 1;
  return 0;
}

void EShape::Closest() {
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->Closest();
}
