// The ball grid array component and its ball arrays: rectangle shapes whose daughters are the
// arrays and the balls, the component carrying statistics over its balls.
#ifndef VIMO_BGA_BGACOMPONENT_H
#define VIMO_BGA_BGACOMPONENT_H

#include "vimo/bga/bgaball.h"
#include "vimo/shapes/rectangleshape.h"

// A rectangular grid of balls, usually indexed by column and row (ERectangleShape::SetIndexed).
class VIMO_EXPORT EBGAArray : public ERectangleShape {
 public:
  // Centre (0, 0), size 100 x 100, angle 0.
  EBGAArray();
  EBGAArray(const EBGAArray& other);
  EBGAArray& operator=(const EBGAArray& other);

  EBGAArray* CopyTo(EBGAArray* dst, int recursive) const;

  int GetStaggered() const { return m_bStaggered; }
  void SetStaggered(int staggered) { m_bStaggered = staggered != 0; }
  int GetInverseRowNumbering() const { return m_bInverseRowNumbering; }
  void SetInverseRowNumbering(int inverse) { m_bInverseRowNumbering = inverse != 0; }
  int GetInverseColNumbering() const { return m_bInverseColNumbering; }
  void SetInverseColNumbering(int inverse) { m_bInverseColNumbering = inverse != 0; }

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_BGA_ARRAY; }
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x58041945u; }
  using ERectangleShape::Serialize;
  // Record: version byte 2, the rectangle shape record, the staggered flag and the two
  // inverse-numbering flags.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  int m_bStaggered;
  int m_bInverseRowNumbering;
  int m_bInverseColNumbering;

 private:
  void CopyOwnFields(EBGAArray* dst) const;
};

class VIMO_EXPORT EBGAComponent : public ERectangleShape, public EBGAFigureStatistics {
 public:
  // Centre (0, 0), size 100 x 100, angle 0.
  EBGAComponent();
  EBGAComponent(const EBGAComponent& other);
  EBGAComponent& operator=(const EBGAComponent& other);

  EBGAComponent* CopyTo(EBGAComponent* dst, int recursive) const;

  // Moves the shape and sets the nominal centre to the same point.
  void SetCenter(EPoint center);
  void SetCenter(float x, float y) { SetCenter(EPoint(x, y)); }
  EPoint GetNominalCenter() const { return m_NominalCenter; }

  // Results of the inspection run.
  unsigned GetNumBallsFound() const { return m_un32NumBallsFound; }
  unsigned GetDiagnostics() const { return m_un32Diagnostics; }
  void SetDiagnostics(unsigned diagnostics) { m_un32Diagnostics = diagnostics; }
  // Statistics over the balls: ResetStatistics clears them and the count of balls found;
  // AddBall counts one ball found and adds its measured figures (offset and pitch by the length
  // of their vector), or-ing its diagnostics into the component's.
  void ResetStatistics();
  void AddBall(const EBGABall& ball);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_BGA_COMPONENT; }
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x61042045u; }
  using ERectangleShape::Serialize;
  // Record: version byte 1, the rectangle shape record; the nominal centre then becomes the
  // shape's centre.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  unsigned m_un32NumBallsFound;
  unsigned m_un32Diagnostics;
  EPoint m_NominalCenter;

 private:
  void CopyOwnFields(EBGAComponent* dst) const;
};

#endif
