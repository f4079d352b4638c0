// A ball grid array inspection run: builds a component with two ball arrays, draws a synthetic
// image of its balls (two missing, two offset, two undersized), measures every ball, fills the
// balls' figures and diagnostics and the component's statistics, saves the tree, loads it back
// and draws the verdicts of the loaded tree into an overlay (argument: output folder).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "vimo/vimo.h"

namespace {

const int kWidth = 320, kHeight = 200;
const float kBallDiameter = 10, kPitch = 20, kOffsetTolerance = 1.5f, kDiameterTolerance = 1.5f;

struct Measurement {
  bool found;
  EPoint center;  // world coordinates
  float diameter;
  float circularity;  // of the weighted circle fit: 1 for a perfect circle
};

// Measures one ball with a circle gauge laid on its nominal circle. The gauge works in the
// coordinates of the ball's mother (its array): it is placed in a frame that stands in for the
// array, since the array's indexed table takes no other daughter. Radial profiles 8 pixels
// long every 2 pixels of arc find the bright-to-dark edge of the ball.
Measurement MeasureBall(EImage<EBW8>& image, EBGABall& ball) {
  EShape* array = ball.GetMother();
  EFrameShape standIn;
  static_cast<EFrame&>(standIn) = static_cast<const EFrame&>(*static_cast<EBGAArray*>(array));
  standIn.Attach(array->GetMother());
  ECircleGauge gauge;
  gauge.Attach(&standIn);
  gauge.Set(static_cast<const ECircle&>(ball));
  gauge.SetTolerance(4, 0);
  gauge.SetSamplingStep(2);
  gauge.SetTransitionType(GGE_BRIGHT_TO_DARK);
  gauge.SetFittingMode(GGE_FITTING_WEIGHTED);
  gauge.Measure(&image);
  Measurement m = {gauge.GetFound() != 0, ball.LocalToWorld(EPoint(0, 0)), 0, 0};
  if (m.found) {
    const ECircle circle = gauge.GetMeasuredCircle();
    m.center = standIn.LocalToWorld(EPoint(circle.GetCenterX(), circle.GetCenterY()));
    m.diameter = circle.GetDiameter();
    m.circularity = gauge.GetMeasuredCircularity();
  }
  gauge.Detach();
  standIn.Detach();
  return m;
}

// Paints a bright disc of the given radius at a sensor position.
void PaintBall(EImage<EBW8>& image, EPoint center, float radius) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (std::hypot(x - center.GetX(), y - center.GetY()) <= radius) image.SetPixel(220, x, y);
}

// Every ball of the component, array by array, slot by slot.
std::vector<EBGABall*> Balls(EShape& component) {
  std::vector<EBGABall*> balls;
  for (unsigned a = 0; a < component.GetNumDaughters(); ++a) {
    EShape* array = component.GetDaughter(a);
    for (unsigned s = 0; s < array->GetMaxDaughters(); ++s)
      if (EShape* ball = array->GetDaughter(s)) balls.push_back(static_cast<EBGABall*>(ball));
  }
  return balls;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  // The component and two 5 x 4 arrays whose balls the grids lay out themselves.
  EBGAComponent component;
  component.SetCenter(160, 100);
  component.Set(EPoint(160, 100), 280, 100, 0);
  component.SetName("U1");
  EBGABall model(0, 0, kBallDiameter, 1, 0);
  model.SetDiameterTolerance(kDiameterTolerance);
  EBGAArray left, right;
  for (EBGAArray* array : {&left, &right}) {
    array->Set(EPoint(array == &left ? -70.0f : 70.0f, 0), 4 * kPitch, 3 * kPitch, 0);
    array->Attach(&component);
    model.Clone(array, 5, 4, 0);
    array->SetAutoArrange(1, 0);
    array->ValidateFrame();
  }
  model.Detach();

  // The synthetic image, with faults on six balls.
  std::vector<EBGABall*> balls = Balls(component);
  EImage<EBW8> image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) image.SetPixel(30, x, y);
  for (size_t i = 0; i < balls.size(); ++i) {
    EPoint at = balls[i]->LocalToSensor(EPoint(0, 0));
    if (i == 3 || i == 27) continue;                                      // missing
    if (i == 8 || i == 31) at = at + EPoint(3, -2);                       // offset
    PaintBall(image, at, i == 14 || i == 36 ? 3.0f : kBallDiameter / 2);  // undersized
  }

  // The inspection: measure, fill the figures and diagnostics, accumulate the statistics.
  component.ResetStatistics();
  unsigned failures = 0;
  for (EBGABall* ball : balls) {
    const EPoint nominal = ball->LocalToWorld(EPoint(0, 0));
    const Measurement m = MeasureBall(image, *ball);
    unsigned diagnostics = 0;
    if (!m.found) {
      diagnostics = BGA_DIAGNOSTIC_FAILED | BGA_DIAGNOSTIC_MISSING;
    } else {
      ball->SetMeasuredCircle(ECircle(m.center, m.diameter, 0, 1));
      ball->SetMeasuredOffset(m.center.GetX() - nominal.GetX(), m.center.GetY() - nominal.GetY());
      ball->SetMeasuredPitch(kPitch, kPitch);
      ball->SetMeasuredCircularity(m.circularity);
      ball->SetMeasuredQualityFactor(1);
      if (m.center.Distance(nominal) > kOffsetTolerance) diagnostics |= BGA_DIAGNOSTIC_OFFSET;
      if (std::fabs(m.diameter - kBallDiameter) > ball->GetDiameterTolerance())
        diagnostics |= BGA_DIAGNOSTIC_DIAMETER;
      if (diagnostics != 0) diagnostics |= BGA_DIAGNOSTIC_FAILED;
      ball->AddBatchSample();
    }
    ball->SetDiagnostics(diagnostics);
    if (m.found) component.AddBall(*ball);
    if (diagnostics != 0) ++failures;
  }
  component.SetDiagnostics(component.GetDiagnostics() | (failures ? BGA_DIAGNOSTIC_FAILED : 0u));
  std::printf("%zu balls, %u found, %u failed; offset %.2f..%.2f px, diameter %.2f..%.2f px\n",
              balls.size(), component.GetNumBallsFound(), failures, component.GetMinimumOffset(),
              component.GetMaximumOffset(), component.GetMinimumDiameter(),
              component.GetMaximumDiameter());

  // Save the tree, load it back and check that it holds the same verdicts.
  const std::string file = folder + "/bga_component.shp";
  component.Save(file.c_str(), 1);
  EBGAComponent loaded;
  loaded.Load(file.c_str(), 1);
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "loading %s failed: %s", file.c_str(), EGetErrorTrace());
    return 1;
  }
  std::vector<EBGABall*> loadedBalls = Balls(loaded);
  bool same = loadedBalls.size() == balls.size();
  for (size_t i = 0; same && i < balls.size(); ++i)
    same = loadedBalls[i]->GetDiagnostics() == balls[i]->GetDiagnostics() &&
           loadedBalls[i]->LocalToWorld(EPoint(0, 0)) == balls[i]->LocalToWorld(EPoint(0, 0));
  std::printf("loaded tree %s the saved one\n", same ? "matches" : "DIFFERS FROM");

  // The verdicts of the loaded tree over the image: measured outlines, crosses on the missing
  // balls, plus signs on the offset ones and ticks around the wrong diameters.
  EImage<EC24> overlay(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const EBW8 g = image.GetPixel(x, y);
      overlay.SetPixel(EC24{g, g, g}, x, y);
    }
  Quarnel::ImageDrawAdapter adapter(&overlay);
  adapter.SetPenColor(Quarnel::RedColor);
  loaded.Draw(&adapter, INS_DRAW_ACTUAL, 1);
  const std::string picture = folder + "/bga_inspection.png";
  overlay.Save(picture.c_str());
  std::printf("overlay: %s\n", picture.c_str());
  return same && EGetError() == E_OK ? 0 : 1;
}
