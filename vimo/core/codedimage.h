// Blob analysis: an 8-bit region is segmented into black and white pixels, the pixels of each
// class are grouped into 8-connected objects held as runs, and the objects are measured and
// selected by position or by feature.
//
// Segmentation: a pixel is black when its grey level is below the threshold, white otherwise.
// The threshold is fixed with SetThreshold, or (by default) chosen for each BuildObjects by
// Otsu's rule on the grey-level histogram of the region: the level that maximises the
// between-class variance, taken in the middle when several levels tie.
#ifndef VIMO_CORE_CODEDIMAGE_H
#define VIMO_CORE_CODEDIMAGE_H

#include <cstdint>
#include <vector>

#include "vimo/core/image.h"
#include "vimo/core/vimo_export.h"

// Object features. Limits are inclusive pixel positions in the built region.
enum E_BLOB_FEATURE : int {
  E_FEATURE_CLASS = 1,             // class value of the object's pixels
  E_FEATURE_RUN_COUNT = 2,         // number of runs
  E_FEATURE_AREA = 3,              // number of pixels
  E_FEATURE_HOLES = 4,             // number of holes
  E_FEATURE_GRAVITY_CENTER_X = 5,  // grey-level weighted centre
  E_FEATURE_GRAVITY_CENTER_Y = 6,
  E_FEATURE_LIMIT_LEFT = 7,
  E_FEATURE_LIMIT_TOP = 8,
  E_FEATURE_LIMIT_RIGHT = 9,
  E_FEATURE_LIMIT_BOTTOM = 10,
  E_FEATURE_BINARY_CENTER_X = 11,  // mean position of the pixels
  E_FEATURE_BINARY_CENTER_Y = 12,
  E_FEATURE_ELONGATION = 13  // ratio of the principal axes of the pixel spread (1: round)
};

// Position criteria of SelectObjectsUsingPosition: which selected objects are kept, by their
// bounding box relative to a region.
enum E_BLOB_POSITION : int {
  E_POSITION_INTERSECTING = 1,       // the box meets the region
  E_POSITION_INSIDE = 2,             // the box lies in the region, borders included
  E_POSITION_INSIDE_NOT_BORDER = 6,  // the box lies in the region without touching its border
  E_POSITION_TOUCHING_BORDER = 7     // the box touches or crosses the region's border
};

// Options of SelectObjectsUsingFeature, for the range [low, high] (both included).
enum E_BLOB_SELECTION : int {
  E_SELECT_ADD_INSIDE = 1,    // add the objects inside the range to the selection
  E_SELECT_ADD_OUTSIDE = 2,   // add the objects outside it
  E_SELECT_KEEP_INSIDE = 9,   // keep only the selected objects inside the range
  E_SELECT_KEEP_OUTSIDE = 10  // keep only the selected objects outside it
};

// One run: pixels X to X + Length - 1 of row Y of the built region, in object Object.
struct ECodedRun {
  int32_t X, Y, Length;
  uint32_t Object;
};

// One connected object. Limits and centres are in pixels of the built region.
struct ECodedObject {
  int Class = 0;
  uint32_t Index = 0;     // position in the object table (raster order of first pixels)
  uint32_t FirstRun = 0;  // its runs are Runs[FirstRun] to Runs[FirstRun + NumRuns - 1]
  uint32_t NumRuns = 0;
  uint64_t Area = 0;
  int Holes = 0;
  int Parent = -1;  // index of the object around it; -1 when it touches the region's border or
                    // when the other class makes no objects
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  float BinaryCenterX = 0, BinaryCenterY = 0;
  float Elongation = 1;
  bool Selected = false;

 private:
  friend class ECodedImage;
  float m_CenterX = 0, m_CenterY = 0;
  bool m_CenterKnown = false;
  bool m_Black = false;
  int64_t m_AdjacentRunPairs = 0;
  double m_SumX = 0, m_SumY = 0, m_SumXX = 0, m_SumXY = 0, m_SumYY = 0;
};

class VIMO_EXPORT ECodedImage {
 public:
  ECodedImage() = default;
  ECodedImage(const ECodedImage&) = delete;
  ECodedImage& operator=(const ECodedImage&) = delete;

  // Class values of the black and white pixels; a class of 0 makes no objects.
  void SetBlackClass(int value) { m_BlackClass = value; }
  void SetWhiteClass(int value) { m_WhiteClass = value; }
  int GetBlackClass() const { return m_BlackClass; }
  int GetWhiteClass() const { return m_WhiteClass; }
  // Grey level from which a pixel is white (0 to 256); negative: Otsu's rule (the default).
  void SetThreshold(int threshold) { m_Threshold = threshold; }
  int GetThreshold() const { return m_Threshold; }
  // The threshold used by the last BuildObjects.
  int GetUsedThreshold() const { return m_UsedThreshold; }

  // Segments the region into objects; none are selected. The region must stay alive and
  // unchanged while object centres are analysed. A null region sets 32767; a void one makes
  // no objects.
  void BuildObjects(EROI<EBW8>* region);
  unsigned GetNumObjects() const { return static_cast<unsigned>(m_Objects.size()); }
  unsigned GetNumSelectedObjects() const;

  void SelectAllObjects();
  void UnselectAllObjects();
  void SelectObjectsUsingPosition(EROI<EBW8>* region, int criterion);
  void SelectObjectsUsingFeature(int feature, float low, float high, int option);

  // Computes the listed features (E_BLOB_FEATURE codes, a 0 ends the list) for the selected
  // objects. Features other than the grey-level centre are known from BuildObjects on.
  template <class... Features>
  void AnalyseObjects(Features... features) {
    const int list[] = {static_cast<int>(features)..., 0};
    AnalyseFeatures(list);
  }
  // Mean and standard deviation of a feature over the selected objects (0 and 0 when none).
  void FeatureDeviation(int feature, float& mean, float& deviation);

  // The selected objects in table order: the first, then each one's successor; nullptr after
  // the last.
  ECodedObject* GetFirstObjPtr();
  ECodedObject* GetNextObjPtr(ECodedObject* object);
  // Any object by its index (nullptr and 1011 past the last).
  ECodedObject* GetObjPtr(unsigned index);
  void GetObjectFeature(int feature, ECodedObject* object, float& value);
  int GetNumHoles(const ECodedObject* object) const;

  // The run-length representation: every run of every object, grouped by object in table
  // order and in raster order within an object.
  const std::vector<ECodedRun>& GetRuns() const { return m_Runs; }
  // The runs of one object (count 0 and nullptr for a foreign pointer).
  const ECodedRun* GetObjectRuns(const ECodedObject* object, unsigned& count) const;

 private:
  void AnalyseFeatures(const int* features);
  bool Owns(const ECodedObject* object) const;
  bool FeatureValue(int feature, ECodedObject& object, double& value);
  void ComputeCenter(ECodedObject& object);

  int m_BlackClass = 1;
  int m_WhiteClass = 0;
  int m_Threshold = -1;
  int m_UsedThreshold = 0;
  // The built region, its size and origin in the root image at build time.
  EROI<EBW8>* m_pRegion = nullptr;
  int m_Width = 0, m_Height = 0, m_OrgX = 0, m_OrgY = 0;
  std::vector<ECodedObject> m_Objects;
  std::vector<ECodedRun> m_Runs;
  // Working storage of BuildObjects, kept so that building again reuses it.
  struct PendingRun {
    int32_t x0, x1, y;  // pixels x0 to x1 - 1
    int32_t cls;        // 0 black, 1 white
  };
  std::vector<PendingRun> m_Pending;
  std::vector<uint32_t> m_Parent, m_Adjacent, m_Label, m_Next;
  std::vector<int> m_Bounds;
};

#endif
