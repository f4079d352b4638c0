// A scripted pointer session: a line gauge misplaced on a synthetic edge is picked by its
// centre handle, dragged onto the edge, released and measured; the overlays before and after
// are saved as pointer_before.png and pointer_after.png.
#include <cstdio>
#include <string>

#include "vimo/vimo.h"

static void SaveOverlay(EWorldShape& root, EImage<EBW8>& image, const std::string& path) {
  EImage<EC24> overlay(image.GetWidth(), image.GetHeight());
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
  draw.SetPenColor(Quarnel::RedColor);
  root.Draw(&draw, INS_DRAW_NOMINAL, 1);
  draw.SetPenColor(Quarnel::DrawColor{0, 200, 0});
  root.Draw(&draw, INS_DRAW_ACTUAL, 1);
  overlay.Save(path.c_str());
  std::printf("wrote %s\n", path.c_str());
}

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  EImage<EBW8> image(320, 240);  // dark above row 150, bright below
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) image.SetPixel(y < 150 ? 40 : 200, x, y);

  EWorldShape root;  // identity calibration: world units are pixels
  root.SetSensorSize(320, 240);
  ELineGauge gauge;  // placed 40 px above the edge: its profiles miss it
  gauge.Attach(&root);
  gauge.Set(EPoint(160, 110), 160, 0);
  gauge.SetDragable(1, 0);
  gauge.SetName("edge");
  gauge.SetLabeled(1, 0);
  gauge.Process(&image, 1);
  std::printf("before: found %d\n", gauge.GetFound());
  SaveOverlay(root, image, folder + "/pointer_before.png");

  // Press on the centre handle, move in three steps, release, measure.
  int x, y;
  root.LocalToDisplay(EPoint(160, 110), x, y);
  root.SetCursor(x, y);
  if (!root.HitTest(1)) return 1;
  std::printf("hit handle %d of %s\n", root.GetHitHandle(), root.GetHitShape()->GetName());
  for (int move : {10, 25, 40}) root.GetHitShape()->Drag(x, y + move);
  root.Process(&image, 1);
  ELine line = gauge.GetMeasuredLine();
  std::printf("after: found %d, edge at y = %.2f\n", gauge.GetFound(), line.GetY());
  SaveOverlay(root, image, folder + "/pointer_after.png");
  return gauge.GetFound() ? 0 : 1;
}
