// Delaunay triangulation of a point set, and the table of Delaunay neighbours of a world's
// landmarks that the dot-grid rebuilding walks.
#ifndef VIMO_CALIBRATION_VEXLOR_DELAUNAYTRIANGULATION_H
#define VIMO_CALIBRATION_VEXLOR_DELAUNAYTRIANGULATION_H

#include <cstdint>
#include <string>
#include <vector>

#include "vimo/core/vimo_export.h"

class EWorld;

// Triangulates the n points (x[i], y[i]) by incremental insertion (Bowyer-Watson) in a
// space-filling-curve order with walking point location. Appends the triangles to
// `triangles` as index triples, counter-clockwise (x right, y up). Every triangle is a
// Delaunay triangle of the points (no point strictly inside its circumcircle). The points are
// first rounded to 2^-30 of their extent, which makes every geometric test exact; a point
// that rounds onto an earlier one, and non-finite points, are left out. Returns false (1303
// set) when memory runs out.
VIMO_EXPORT bool EDelaunayTriangulate(const double* x, const double* y, unsigned n,
                                      std::vector<uint32_t>& triangles);

// For each landmark of a world, the landmarks that share a Delaunay edge with it, without
// repetition, in increasing index order. The sensor points are first moved along the diagonal
// by a deterministic jitter of at most 0.005 pixel, so that the ties of a perfect grid (four
// points on one circle) are broken the same way on every run.
class VIMO_EXPORT EDelaunayNeighbourTable {
 public:
  explicit EDelaunayNeighbourTable(EWorld* world);

  unsigned GetNumLandmarks() const { return static_cast<unsigned>(m_Offsets.size()) - 1; }
  // The neighbours of one landmark; an index past the last is a programming error (asserted;
  // in a build without assertions it sets 1011 and gives an empty list).
  const uint32_t* GetNeighbours(unsigned landmarkIndex, unsigned& count) const;
  // One line per landmark: "landmark %d has neighbours : ", then "%d " per neighbour, "\r\n".
  std::string GetText() const;
  // Writes that text to a file (1102 when it cannot be opened, 1104 when a write fails).
  void Save(const char* path) const;

 private:
  EWorld* m_world;
  std::vector<uint32_t> m_Offsets;     // neighbours of i: m_Neighbours[m_Offsets[i] ...]
  std::vector<uint32_t> m_Neighbours;  // m_Offsets has one entry more than the landmarks
};

#endif
