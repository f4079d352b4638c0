// The shape base class: placement in a mother/daughter hierarchy, behaviour flags, names,
// copies, selection filters and the conversions between local, world, sensor and display
// coordinates.
#ifndef VIMO_SHAPES_SHAPE_H
#define VIMO_SHAPES_SHAPE_H

#include <cstdio>

#include "vimo/core/core.h"
#include "vimo/core/vimo_export.h"
#include "vimo/drawing/drawadapter.h"
#include "vimo/drawing/gdidrawadapter.h"
#include "vimo/geometry/circle.h"
#include "vimo/geometry/frame.h"
#include "vimo/geometry/line.h"
#include "vimo/geometry/point.h"

class EWorldShape;
class ERectangleShape;
class EWedgeShape;

// One bit per concrete shape class; GetType() returns the class's value.
enum INS_SHAPE_TYPES : unsigned {
  INS_SHAPE_TYPE_EMPTY_SLOT = 0x00000001,
  INS_SHAPE_TYPE_POINT_SHAPE = 0x00000004,
  INS_SHAPE_TYPE_LINE_SHAPE = 0x00000008,
  INS_SHAPE_TYPE_CIRCLE_SHAPE = 0x00000010,
  INS_SHAPE_TYPE_WEDGE_SHAPE = 0x00000020,
  INS_SHAPE_TYPE_RECTANGLE_SHAPE = 0x00000040,
  INS_SHAPE_TYPE_FRAME_SHAPE = 0x00000080,
  INS_SHAPE_TYPE_WORLD_SHAPE = 0x00000100,
  INS_SHAPE_TYPE_POINT_GAUGE = 0x00000200,
  INS_SHAPE_TYPE_LINE_GAUGE = 0x00000400,
  INS_SHAPE_TYPE_CIRCLE_GAUGE = 0x00000800,
  INS_SHAPE_TYPE_RECTANGLE_GAUGE = 0x00001000,
  INS_SHAPE_TYPE_BGA_BALL = 0x00002000,
  INS_SHAPE_TYPE_BGA_ARRAY = 0x00004000,
  INS_SHAPE_TYPE_BGA_COMPONENT = 0x00008000,
  INS_SHAPE_TYPE_BGA = 0x00010000,
  INS_SHAPE_TYPE_WEDGE_GAUGE = 0x00020000
};

// The masks of the behaviour flag word.
enum INS_SHAPE_BEHAVIOR : unsigned {
  INS_SHAPE_BEHAVIOR_VISIBLE = 0x00000001,
  INS_SHAPE_BEHAVIOR_SELECTED = 0x00000002,
  INS_SHAPE_BEHAVIOR_SELECTABLE = 0x00000004,
  INS_SHAPE_BEHAVIOR_DRAGABLE = 0x00000008,
  INS_SHAPE_BEHAVIOR_ROTATABLE = 0x00000010,
  INS_SHAPE_BEHAVIOR_RESIZABLE = 0x00000020,
  INS_SHAPE_BEHAVIOR_AUTO_ARRANGE = 0x00000100,
  INS_SHAPE_BEHAVIOR_LABELED = 0x00000200,
  INS_SHAPE_BEHAVIOR_ACTIVE = 0x00000400,
  INS_SHAPE_BEHAVIOR_FOUND = 0x00000800,
  INS_SHAPE_BEHAVIOR_INSPECTED = 0x00001000,
  INS_SHAPE_BEHAVIOR_PASSED = 0x00002000,
  INS_SHAPE_BEHAVIOR_QUICK_DRAW = 0x00004000,
  INS_SHAPE_BEHAVIOR_OPTIONAL_DRAW = 0x00008000,
  INS_SHAPE_BEHAVIOR_ACTUAL_SHAPE = 0x00010000,
  INS_SHAPE_BEHAVIOR_USER_FLAG = 0x10000000,
  INS_SHAPE_BEHAVIOR_ALLOCATED = 0x20000000,
  INS_SHAPE_BEHAVIOR_INDEXED = 0x40000000,
  INS_SHAPE_BEHAVIOR_2D_ARRAY = 0x80000000
};

// How a pointer drag edits a shape: about its centre, or against a fixed point.
enum INS_DRAGGING_MODES { INS_DRAG_ABOUT_CENTER = 0, INS_DRAG_FROM_FIXED_POINT = 1 };

// The handles a pointer can grab.
enum INS_HANDLES {
  INS_HANDLE_NONE = 0,
  INS_HANDLE_CENTER = 1,
  INS_HANDLE_X_AXIS_END = 2,
  INS_HANDLE_Y_AXIS_END = 3,
  INS_HANDLE_ORG = 4,
  INS_HANDLE_MIDDLE = 5,
  INS_HANDLE_END = 6,
  INS_HANDLE_CO_ORG = 7,
  INS_HANDLE_CO_MIDDLE = 8,
  INS_HANDLE_CO_END = 9,
  INS_HANDLE_SAMPLING_SIDE_0 = 0xA,
  INS_HANDLE_SAMPLING_SIDE_1 = 0xB,
  INS_HANDLE_TOLERANCE_0 = 0xC,
  INS_HANDLE_TOLERANCE_1 = 0xD,
  INS_HANDLE_TOLERANCE_2 = 0xE,
  INS_HANDLE_TOLERANCE_3 = 0xF,
  INS_HANDLE_TOLERANCE_4 = 0x10,
  INS_HANDLE_TOLERANCE_5 = 0x11,
  INS_HANDLE_TOLERANCE_6 = 0x12,
  INS_HANDLE_TOLERANCE_7 = 0x13,
  INS_HANDLE_EDGE_X_MIN = 0x100,
  INS_HANDLE_EDGE_X_MAX = 0x200,
  INS_HANDLE_EDGE_Y_MIN = 0x400,
  INS_HANDLE_EDGE_Y_MAX = 0x800,
  INS_HANDLE_CORNER_0 = 0x1000,
  INS_HANDLE_CORNER_1 = 0x2000,
  INS_HANDLE_CORNER_2 = 0x4000,
  INS_HANDLE_CORNER_3 = 0x8000
};

class VIMO_EXPORT EShape {
 public:
  // Releases the name, deletes the Allocated daughters, hands the others to VimoWorld and
  // leaves the mother.
  virtual ~EShape();

  // Virtual operations, in slot order.
  virtual EShape* CreateShapeClone(int recursive) const = 0;
  virtual INS_SHAPE_TYPES GetType() const = 0;
  virtual void SetActive(int value, int daughters);
  virtual void SetFound(int value, int daughters);
  virtual EFrame* CastToFrame() = 0;
  virtual void Rescale(float factor, int daughters) = 0;
  virtual void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) = 0;
#ifdef _WIN32
  // Draws through a GDIDrawAdapter on the device context; a null context sets 32767.
  virtual void Draw(HDC context, INS_DRAWING_MODES mode, int daughters);
#endif
  virtual int HitTest(int daughters) = 0;
  virtual void Drag(int x, int y) = 0;
  virtual void Closest() = 0;
  virtual void Process(EROI<EBW8>* roi, int daughters);
  virtual EShape* New() const = 0;
  virtual void ArrangeDaughters() = 0;

  const EFrame* CastToFrame() const { return const_cast<EShape*>(this)->CastToFrame(); }

  // Hierarchy and daughter table.
  void Attach(EShape* mother);
  void AttachIndexed(EShape* mother, unsigned index);
  void AttachIndexed(ERectangleShape* mother, unsigned first, unsigned second);
  void AttachIndexed(EWedgeShape* mother, unsigned first, unsigned second);
  void Detach();
  void DetachDaughters();
  void SetIndexed(unsigned slots);
  int GetIndexed() const { return Flag(INS_SHAPE_BEHAVIOR_INDEXED); }
  int Get2DArray() const { return Flag(INS_SHAPE_BEHAVIOR_2D_ARRAY); }
  int GetAllocated() const { return Flag(INS_SHAPE_BEHAVIOR_ALLOCATED); }
  void SetAllocated(int value, int daughters) {
    SetFlag(INS_SHAPE_BEHAVIOR_ALLOCATED, value, daughters);
  }
  EShape* GetMother() const { return m_pMother; }
  unsigned GetIndex() const { return m_un32DaughterIndex; }
  unsigned GetNumDaughters() const { return m_un32NumDaughters; }
  unsigned GetMaxDaughters() const { return m_un32MaxDaughters; }
  EShape* GetDaughter(unsigned slot) const;
  EShape* GetShapeNamed(const char* name);
  EShape* GetShapeNamed(const unsigned short* name);
  EWorldShape* GetWorldShape();
  int IsWorld() const { return GetType() == INS_SHAPE_TYPE_WORLD_SHAPE; }
  static int GetPreserveOrder() { return m_bPreserveOrder; }
  static void SetPreserveOrder(int preserve) { m_bPreserveOrder = preserve != 0; }
  // A function called with every shape as its destruction starts (nullptr: none). A language
  // binding uses it to learn that a mother has deleted a daughter the binding refers to.
  typedef void (*DestructionObserver)(EShape* shape);
  static void SetDestructionObserver(DestructionObserver observer) {
    s_pDestructionObserver = observer;
  }

  // Copies. CopyTo copies the shape part (name, flags, dragging mode, mother, daughters when
  // recursive) into dst; the concrete classes copy their geometry and own fields.
  EShape* CopyTo(EShape* dst, int recursive) const;
  void Clone(EShape* mother);
  void Clone(EShape* mother, unsigned slots);
  void Clone(ERectangleShape* mother, unsigned first, unsigned second, int alternate);
  void Clone(EWedgeShape* mother, unsigned first, unsigned second, int alternate);

  // Names.
  void SetName(const char* name);
  void SetName(const unsigned short* name);
  const char* GetName() const { return static_cast<const char*>(m_pszName); }
  const unsigned short* GetNameUnicode() const {
    return static_cast<const unsigned short*>(m_pszName);
  }

  // Flags.
  int GetVisible() const { return Flag(INS_SHAPE_BEHAVIOR_VISIBLE); }
  void SetVisible(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_VISIBLE, v, d); }
  int GetSelected() const { return Flag(INS_SHAPE_BEHAVIOR_SELECTED); }
  void SetSelected(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_SELECTED, v, d); }
  int GetSelectable() const { return Flag(INS_SHAPE_BEHAVIOR_SELECTABLE); }
  void SetSelectable(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_SELECTABLE, v, d); }
  int GetDragable() const { return Flag(INS_SHAPE_BEHAVIOR_DRAGABLE); }
  void SetDragable(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_DRAGABLE, v, d); }
  int GetRotatable() const { return Flag(INS_SHAPE_BEHAVIOR_ROTATABLE); }
  void SetRotatable(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_ROTATABLE, v, d); }
  int GetResizable() const { return Flag(INS_SHAPE_BEHAVIOR_RESIZABLE); }
  void SetResizable(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_RESIZABLE, v, d); }
  int GetAutoArrange() const { return Flag(INS_SHAPE_BEHAVIOR_AUTO_ARRANGE); }
  void SetAutoArrange(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_AUTO_ARRANGE, v, d); }
  int GetLabeled() const { return Flag(INS_SHAPE_BEHAVIOR_LABELED); }
  void SetLabeled(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_LABELED, v, d); }
  int GetActive() const { return Flag(INS_SHAPE_BEHAVIOR_ACTIVE); }
  int GetFound() const { return Flag(INS_SHAPE_BEHAVIOR_FOUND); }
  int GetInspected() const { return Flag(INS_SHAPE_BEHAVIOR_INSPECTED); }
  void SetInspected(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_INSPECTED, v, d); }
  int GetPassed() const { return Flag(INS_SHAPE_BEHAVIOR_PASSED); }
  void SetPassed(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_PASSED, v, d); }
  int GetQuickDraw() const { return Flag(INS_SHAPE_BEHAVIOR_QUICK_DRAW); }
  void SetQuickDraw(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_QUICK_DRAW, v, d); }
  int GetOptionalDraw() const { return Flag(INS_SHAPE_BEHAVIOR_OPTIONAL_DRAW); }
  void SetOptionalDraw(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_OPTIONAL_DRAW, v, d); }
  int GetActualShape() const { return Flag(INS_SHAPE_BEHAVIOR_ACTUAL_SHAPE); }
  void SetActualShape(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_ACTUAL_SHAPE, v, d); }
  int GetUserFlag() const { return Flag(INS_SHAPE_BEHAVIOR_USER_FLAG); }
  void SetUserFlag(int v, int d) { SetFlag(INS_SHAPE_BEHAVIOR_USER_FLAG, v, d); }
  unsigned GetBehavior() const { return m_un32Behavior; }
  INS_DRAGGING_MODES GetDraggingMode() const { return m_eDraggingMode; }
  void SetDraggingMode(INS_DRAGGING_MODES mode, int daughters);

  // Class-wide selection filters.
  void EnableBehaviorFilter(INS_SHAPE_BEHAVIOR bits, int value);
  void DisableBehaviorFilter(INS_SHAPE_BEHAVIOR bits);
  void EnableTypeFilter(unsigned types);
  void DisableTypeFilter();
  // Whether this shape passes the behaviour and type filters.
  int PassesFilters() const;

  // Frames.
  EFrame* GetFrame();
  void ValidateFrame();
  void InvalidateFrame();
  void InvalidateWorld();

  // Coordinate conversions.
  EPoint LocalToWorld(EPoint p);
  // The centre is converted and the length scaled; the line keeps its own angle (the frames'
  // rotations are not added to it).
  ELine LocalToWorld(ELine l);
  ECircle LocalToWorld(ECircle c);
  EPoint WorldToLocal(EPoint p);
  EPoint LocalToSensor(EPoint p);
  EPoint SensorToLocal(EPoint p);
  void LocalToDisplay(EPoint p, int& x, int& y);
  void LocalToDisplay(ELine l, int& x0, int& y0, int& x1, int& y1);
  void LocalToDisplay(ECircle c, int& x0, int& y0, int& x1, int& y1);
  EPoint DisplayToLocal(int x, int y);
  float GetZoomX();
  float GetZoomY();
  float GetPanX();
  float GetPanY();
  void SetZoom(float zoomX, float zoomY);
  void SetPan(float panX, float panY);

  // Picking state and selection.
  EShape* GetHitShape() const { return m_pHitShape; }
  INS_HANDLES GetHitHandle() const { return m_eHitHandle; }
  EShape* GetClosestShape() const { return m_pClosestShape; }
  void SetCursor(int x, int y);
  void Select(int left, int top, int right, int bottom, int daughters);

  // Text description of the shape (and its subtree when daughters is non-zero): class, name,
  // identity, mother, placement and size parameters, indented by depth. The first form writes
  // to standard output.
  void Dump(int daughters);
  void Dump(FILE* stream, int daughters);

  // Shape files: the shape, with its subtree when daughters is non-zero, written to a file or
  // a serializer, and read back into a shape of the same class. The path forms report through
  // the error state and never throw; the serializer forms throw Quarnel::Vexlor::Exception.
  void Save(const char* path, int daughters);
  void Save(const unsigned short* path, int daughters);
  void Save(ESerializer* serializer, int daughters);
  void Load(const char* path, int daughters);
  void Load(const unsigned short* path, int daughters);
  void Load(ESerializer* serializer, int daughters);

  // Diagnostic: aborts with a message when the table invariants do not hold for this shape's
  // table and its link to its mother.
  void CheckInvariants() const;

 protected:
  EShape();
  EShape(const EShape&) = delete;
  EShape& operator=(const EShape&) = delete;

  virtual unsigned GetSignature() = 0;
  // The EShape record (dragging mode, name, flags, daughters). The stream form (mode non-zero
  // writes) reports through the error state; the serializer form throws.
  virtual void Serialize(FILE* stream, int mode, unsigned version, int daughters);
  virtual void Serialize(ESerializer* serializer, unsigned version, int daughters);
  // The serializer form of a class whose record works on a file stream: runs the stream form
  // on the stream and direction of a file-stream serializer (any other serializer throws
  // 1111) and throws the error the stream form reports.
  void SerializeThroughStream(ESerializer* serializer, unsigned version, int daughters);
  // The common start of the concrete classes' stream records: version byte 1, the geometry
  // record that `geometry` runs (reporting through the error state), the EShape record. False,
  // traced with `trace`, at the first failure. Defined in shaperecord.h.
  template <class GeometryRecord>
  bool SerializeShapeRecord(FILE* stream, int mode, unsigned version, int daughters,
                            GeometryRecord geometry, const char* trace);

  int Flag(unsigned mask) const { return (m_un32Behavior & mask) != 0; }
  void SetFlag(unsigned mask, int value, int daughters);

  // Puts a newly constructed shape into VimoWorld's list (every concrete constructor).
  void JoinVimoWorld();
  // Fills a fresh clone made by New(): flags plus Allocated, dragging mode, no name, no
  // mother, New() clones of the daughters in the same slots. Returns false on failure.
  bool FillNewClone(EShape* clone) const;
  // The daughter slot count used by traversals.
  unsigned GetSlotCount() const { return GetIndexed() ? m_un32MaxDaughters : m_un32NumDaughters; }
  // The grid forms of AttachIndexed and Clone, shared by the rectangle and wedge mothers.
  template <class GridShape>
  void AttachToGridSlot(GridShape* mother, unsigned first, unsigned second, const char* trace);
  template <class GridShape>
  void CloneIntoGrid(GridShape* mother, unsigned first, unsigned second, int alternate,
                     const char* trace);
  // Allocates an indexed table of slots; shared by the grid forms of SetIndexed.
  bool AllocateIndexedTable(unsigned slots, int twoDimensional);
  // Display mapping of a point given in the mother's coordinates (the coordinates the
  // geometry of a concrete shape is kept in).
  void MotherToDisplay(EPoint p, int& x, int& y);
  EPoint MotherToWorld(EPoint p);
  // The world shape the curve-following drawing goes through, NULL for a tree without one.
  EWorldShape* DrawingWorld();
  // Drawing helpers for geometry kept in the mother's coordinates: a straight segment and an
  // arc (angles in radians) drawn through the world's curve-following subdivision, a handle
  // square and a label box.
  void DrawSegment(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b);
  void DrawArc(Quarnel::DrawAdapter* adapter, EPoint center, float radius, float angle0,
               float amplitude);
  void DrawHandle(Quarnel::DrawAdapter* adapter, EPoint p);
  void DrawLabel(Quarnel::DrawAdapter* adapter, const char* text, EPoint p);
  // Pointer interaction. Whether this shape offers handles now (frame validated, filters
  // passed, dragable); whether the handle at p (mother's coordinates; own coordinates for
  // HitOwnHandle) lies in the 9 x 9 display square around the cursor, in which case it becomes
  // the hit handle of this shape; the pointer position in the mother's coordinates; and the
  // closest-shape bookkeeping for a distance d.
  bool OffersHandles();
  bool HitHandle(EPoint p, INS_HANDLES handle);
  bool HitOwnHandle(EPoint p, INS_HANDLES handle);
  EPoint PointerToMother(int x, int y);
  void OfferClosest(float d);
  // Distance from p to the two axes drawn from the origin to (sizeX, 0) and (0, sizeY).
  static float AxesDistance(EPoint p, float sizeX, float sizeY);
  // The cursor in this shape's own coordinates, when it takes part in the closest-shape
  // search (frame validated, filters passed, selectable).
  bool CursorForClosest(EPoint& local);
  // The name as bytes for a label: a 16-bit name is narrowed into buffer ('?' outside ASCII).
  const char* LabelName(char* buffer, unsigned size) const;
  // Whether the label is to be drawn: a named, labelled shape.
  int WantsLabel() const { return m_pszName != nullptr && GetLabeled(); }
  // Places one daughter during ArrangeDaughters: centre in this shape's local coordinates; a
  // rotatable daughter takes `angle` (caller's unit) when takeAngle is set and keeps its own
  // otherwise; a non-rotatable one keeps its absolute orientation, a non-resizable one its
  // absolute size.
  void PlaceDaughter(EShape* daughter, EPoint center, float angle, int takeAngle);

  // Fields.
  void* m_pszName;
  unsigned m_un32Behavior;
  INS_DRAGGING_MODES m_eDraggingMode;
  EShape* m_pMother;
  unsigned m_un32DaughterIndex;
  EShape** m_ppDaughter;
  unsigned m_un32NumDaughters;
  unsigned m_un32MaxDaughters;
  EWorldShape* m_pWorldShape;

  // Class-wide state.
  static EShape* m_pHitShape;
  static INS_HANDLES m_eHitHandle;
  static EShape* m_pClosestShape;
  static unsigned m_un32BehaviorFilterUse;
  static unsigned m_un32BehaviorFilterValue;
  static unsigned m_un32FilteredTypes;
  static int m_bPreserveOrder;
  static int m_n32CursorX, m_n32CursorY;
  static float m_f32ClosestDistance;
  static unsigned m_un32DumpDepth;
  static DestructionObserver s_pDestructionObserver;

 private:
  friend class EWorldShape;
  friend struct EVimoWorldLifetime;

  // The one step that links: joins mother in slot (used only when mother is indexed; an
  // index of 0xFFFFFFFF asks for the first free slot). Sets 1303, 1011 or 12002 and joins
  // nothing on failure. Leaves the frames and world caches of the subtree invalid.
  bool JoinMother(EShape* mother, unsigned slot);
  // The one step that unlinks.
  void LeaveMother();
  // Makes sure a list mother can take one more daughter without allocating.
  static bool ReserveSlot(EShape* mother);
  // Whether this shape is mother or one of its ancestors.
  bool IsAncestorOf(const EShape* shape) const;
  // Marks the frames of this shape and all its descendants invalid and clears their world
  // caches, whatever the caches hold.
  void ForgetPlacement();
  // Joins VimoWorld when it is alive (used after a shape has left its mother).
  void FallBackToVimoWorld();
  void ReleaseName();
  void CheckLinks() const;
  // Shape file helpers (shapefile.cpp).
  void TransferFile(FILE* file, int writing, int daughters, const char* trace);
  void WriteShapeRecord(ESerializer* serializer, unsigned version, int daughters);
  void ReadShapeRecord(ESerializer* serializer, unsigned version, int daughters);
  void ReadDaughters(ESerializer* serializer, unsigned version, unsigned slots, bool indexed);
  void SkipDaughters(ESerializer* serializer, unsigned version, unsigned slots);
  bool GrowIndexedTable(unsigned slots);

  bool m_bUnicodeName;
};

// The process-wide world shape, root of every hierarchy and default mother of new shapes. It
// is built before the first shape needs it (including shapes that are static objects of the
// application) and destroyed after the last translation unit that includes this header has
// run its static destructors.
extern VIMO_EXPORT EWorldShape& VimoWorld;

// Keeps VimoWorld alive while any translation unit that includes this header is initialised.
struct VIMO_EXPORT EVimoWorldLifetime {
  EVimoWorldLifetime();
  ~EVimoWorldLifetime();
};
static EVimoWorldLifetime s_VimoWorldLifetime;

// Whether VimoWorld is constructed and not yet destroyed.
VIMO_EXPORT int EVimoWorldAlive();

#endif
