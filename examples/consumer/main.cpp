// Uses a few parts of an installed vimo and exits with 0 when they answer as expected: an image
// and a region, a calibrated world, a shape in VimoWorld, an overlay, and an exception thrown by
// the library and caught here.
#include <vimo/vimo.h>

#include <cmath>
#include <cstdio>

int main() {
  EImage<EBW8> image(64, 48);
  EROI<EBW8> region;
  region.Attach(&image);
  region.SetPlacement(8, 4, 16, 16);
  region.SetPixel(200, 3, 2);
  bool ok = image.GetPixel(11, 6) == 200;

  EWorld world;
  world.SetSensorSize(64, 48);
  EPoint sensor = world.WorldToSensor(EPoint(3, -2));
  ok = ok && std::fabs(world.SensorToWorld(sensor).GetX() - 3) < 1e-4f;

  ECircleShape circle(10, 10, 5, 0, 1);
  EImage<EC24> overlay(64, 48);
  Quarnel::ImageDrawAdapter draw(&overlay);
  circle.Draw(&draw, INS_DRAW_NOMINAL, 0);

  EMemSerializer empty(nullptr, 0);
  try {
    char byte;
    empty.Transfer(&byte, 1, "byte");
    ok = false;
  } catch (const Quarnel::Vexlor::Exception& e) {
    ok = ok && e.GetCode() == E_ERROR_READ_FAILED;
  }
  EOk();
  std::printf("consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
