#include "common.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define getpid _getpid
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "exitcodes.h"
#include "results.h"

#if __has_include(<vimo/core/bitdepth.h>)
#include <vimo/core/bitdepth.h>
#define VIMO_TOOL_HAVE_BITDEPTH 1
#endif

namespace vimo_cli {
namespace {

bool s_Quiet = false;

// The four signature bytes of a shape file and its stored type.
struct FileHeader {
  unsigned char signature[4];
  uint32_t type;
};

bool ReadHeader(const std::string& path, FileHeader& header) {
  std::ifstream in(path, std::ios::binary);
  unsigned char bytes[8];
  if (!in.read(reinterpret_cast<char*>(bytes), 8)) return false;
  std::memcpy(header.signature, bytes, 4);
  header.type = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
  return true;
}

void RequireReadable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure(kExitBadInput, path + ": cannot open (" + std::strerror(errno) + ")");
}

}  // namespace

bool Quiet() { return s_Quiet; }
void SetQuiet(bool quiet) { s_Quiet = quiet; }
void Note(const std::string& message) {
  if (!s_Quiet) std::cerr << message << "\n";
}

std::string TakeErrorText() {
  E_ERRORS code = EGetError();
  std::string text = std::to_string(static_cast<int>(code)) + " " + EGetErrorText(code);
  EOk();
  return text;
}

std::string Extension(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

void AddBitDepthOptions(CLI::App* command, BitDepthOptions& options) {
#ifdef VIMO_TOOL_HAVE_BITDEPTH
  command
      ->add_option("--shift", options.shift,
                   "16-bit images: measure min(255, value >> N) (e.g. 4 for 12-bit cameras)")
      ->check(CLI::Range(0, 15));
  auto* window = command->add_option_function<std::string>(
      "--window",
      [&options](const std::string& text) {
        int low = 0, high = 0;
        char colon = 0, extra = 0;
        if (std::sscanf(text.c_str(), "%d%c%d%c", &low, &colon, &high, &extra) != 3 ||
            colon != ':' || low < 0 || high <= low || high > 65535)
          throw CLI::ValidationError("--window", "expects LOW:HIGH with 0 <= LOW < HIGH <= 65535");
        options.windowLow = low;
        options.windowHigh = high;
      },
      "16-bit images: map grey levels LOW..HIGH onto 0..255");
  window->type_name("LOW:HIGH");
  command->get_option("--shift")->excludes(window);
#else
  (void)command;
  (void)options;
#endif
}

void LoadGreyImage(const std::string& path, const BitDepthOptions& depth, EImage<EBW8>& image) {
  RequireReadable(path);
  EOk();
#ifdef VIMO_TOOL_HAVE_BITDEPTH
  if (depth.Converts()) {
    EImage<EBW16> wide;
    wide.Load(path.c_str());
    if (EGetError() != E_OK)
      throw Failure(kExitBadInput, path + ": not a readable image (" + TakeErrorText() + ")");
    image.SetSize(wide.GetWidth(), wide.GetHeight());
    if (depth.shift >= 0)
      EConvertToBW8Shift(&wide, &image, depth.shift);
    else
      EConvertToBW8Window(&wide, &image, depth.windowLow, depth.windowHigh);
    if (EGetError() != E_OK)
      throw Failure(kExitBadInput, path + ": cannot convert to 8 bits (" + TakeErrorText() + ")");
    return;
  }
#else
  (void)depth;
#endif
  image.Load(path.c_str());
  if (EGetError() != E_OK)
    throw Failure(kExitBadInput, path + ": not a readable image (" + TakeErrorText() + ")");
  if (image.GetWidth() <= 0 || image.GetHeight() <= 0)
    throw Failure(kExitBadInput, path + ": empty image");
}

std::unique_ptr<EShape> NewShapeOfType(unsigned type) {
  switch (type) {
    case INS_SHAPE_TYPE_POINT_SHAPE: return std::make_unique<EPointShape>(0.0f, 0.0f);
    case INS_SHAPE_TYPE_LINE_SHAPE: return std::make_unique<ELineShape>();
    case INS_SHAPE_TYPE_CIRCLE_SHAPE: return std::make_unique<ECircleShape>();
    case INS_SHAPE_TYPE_WEDGE_SHAPE: return std::make_unique<EWedgeShape>();
    case INS_SHAPE_TYPE_RECTANGLE_SHAPE: return std::make_unique<ERectangleShape>();
    case INS_SHAPE_TYPE_FRAME_SHAPE: return std::make_unique<EFrameShape>();
    case INS_SHAPE_TYPE_WORLD_SHAPE: return std::make_unique<EWorldShape>();
    case INS_SHAPE_TYPE_POINT_GAUGE: return std::make_unique<EPointGauge>();
    case INS_SHAPE_TYPE_LINE_GAUGE: return std::make_unique<ELineGauge>();
    case INS_SHAPE_TYPE_CIRCLE_GAUGE: return std::make_unique<ECircleGauge>();
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE: return std::make_unique<ERectangleGauge>();
    case INS_SHAPE_TYPE_BGA_BALL: return std::make_unique<EBGABall>(0.0f, 0.0f, 1.0f, 1.0f, 0);
    case INS_SHAPE_TYPE_BGA_ARRAY: return std::make_unique<EBGAArray>();
    case INS_SHAPE_TYPE_BGA_COMPONENT: return std::make_unique<EBGAComponent>();
    case INS_SHAPE_TYPE_WEDGE_GAUGE: return std::make_unique<EWedgeGauge>();
    default: return nullptr;
  }
}

std::unique_ptr<EShape> LoadShapeFile(const std::string& path) {
  RequireReadable(path);
  FileHeader header;
  if (!ReadHeader(path, header))
    throw Failure(kExitBadInput, path + ": not a shape file (shorter than its header)");
  const unsigned char* s = header.signature;
  if (s[0] != 0x45 || s[3] != (s[0] ^ s[1] ^ s[2]))
    throw Failure(kExitBadInput, path + ": not a shape file (bad signature)");
  // Files of versions 1 and 2 store the type as a bit number.
  unsigned type = s[2] >= 3 ? header.type : (header.type < 32 ? 1u << header.type : 0u);
  std::unique_ptr<EShape> shape = NewShapeOfType(type);
  if (!shape)
    throw Failure(kExitBadInput, path + ": shape file of unknown type " + std::to_string(type));
  EOk();
  shape->Load(path.c_str(), 1);
  if (EGetError() != E_OK)
    throw Failure(kExitBadInput, path + ": invalid shape file (" + TakeErrorText() + ")");
  return shape;
}

std::unique_ptr<EWorldShape> LoadWorldFile(const std::string& path) {
  std::unique_ptr<EShape> shape = LoadShapeFile(path);
  if (shape->GetType() != INS_SHAPE_TYPE_WORLD_SHAPE)
    throw Failure(kExitBadInput, path + ": holds a " +
                                     std::string(ShapeClassName(shape->GetType())) +
                                     ", not a world shape");
  return std::unique_ptr<EWorldShape>(static_cast<EWorldShape*>(shape.release()));
}

void WriteFileAtomically(const std::string& path,
                         const std::function<bool(const std::string& temporary)>& write) {
  // Same folder (so that the rename does not cross file systems) and same extension (the
  // library picks the format by it).
  std::string ext = Extension(path);
  std::string temporary = path.substr(0, path.size() - ext.size()) + ".vimo-partial-" +
                          std::to_string(static_cast<long>(getpid())) + ext;
  bool written = false;
  try {
    written = write(temporary);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  if (!written) {
    std::remove(temporary.c_str());
    throw Failure(kExitOutputFailed, path + ": cannot write" +
                                         (EGetError() != E_OK ? " (" + TakeErrorText() + ")" : ""));
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    int error = errno;
    std::remove(temporary.c_str());
    throw Failure(kExitOutputFailed, path + ": cannot write (" + std::strerror(error) + ")");
  }
}

}  // namespace vimo_cli

namespace vimo_cli {

const CLI::Validator PositiveNumber(
    [](std::string& text) -> std::string {
      char* end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value <= 0)
        return "must be a positive number, not " + text;
      return "";
    },
    "POSITIVE");

bool IsOverlayExtension(const std::string& extension) {
  return extension == ".svg" || extension == ".ppm" ||
#ifdef VIMO_TOOL_HAVE_PNG
         extension == ".png" ||
#endif
         false;
}

void SaveOverlay(EShape& root, EImage<EBW8>& image, const std::string& path, bool results) {
  const std::string ext = Extension(path);
  if (!IsOverlayExtension(ext))
    throw Failure(kExitUsage, path + ": overlays are written as .png, .ppm or .svg");
  struct Layer {
    INS_DRAWING_MODES mode;
    Quarnel::DrawColor color;
  };
  const Layer layers[] = {{INS_DRAW_NOMINAL, Quarnel::DrawColor{255, 200, 0}},
                          {INS_DRAW_VALID_SAMPLES, Quarnel::DrawColor{80, 160, 255}},
                          {INS_DRAW_ACTUAL, Quarnel::RedColor}};
  const int count = results ? 3 : 1;
  EOk();
  if (ext == ".svg") {
    Quarnel::SvgDrawAdapter svg(image.GetWidth(), image.GetHeight());
    svg.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
    for (int k = 0; k < count; ++k) {
      svg.SetPenColor(layers[k].color);
      root.Draw(&svg, layers[k].mode, 1);
    }
    WriteFileAtomically(path, [&](const std::string& temporary) {
      svg.Save(temporary.c_str());
      return EGetError() == E_OK;
    });
    return;
  }
  EImage<EC24> overlay(image.GetWidth(), image.GetHeight());
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
  for (int k = 0; k < count; ++k) {
    draw.SetPenColor(layers[k].color);
    root.Draw(&draw, layers[k].mode, 1);
  }
  WriteFileAtomically(path, [&](const std::string& temporary) {
    overlay.Save(temporary.c_str());
    return EGetError() == E_OK;
  });
}

void Reroot(EShape& tools, EWorldShape& world) {
  EOk();
  if (tools.GetType() != INS_SHAPE_TYPE_WORLD_SHAPE) {
    tools.Attach(&world);
  } else {
    std::vector<EShape*> daughters;
    const unsigned slots = tools.GetIndexed() ? tools.GetMaxDaughters() : tools.GetNumDaughters();
    for (unsigned i = 0; i < slots; ++i)
      if (EShape* d = tools.GetDaughter(i)) daughters.push_back(d);
    for (EShape* d : daughters) d->Attach(&world);
  }
  if (EGetError() != E_OK)
    throw Failure(kExitBadInput, "cannot place the tools under the world: " + TakeErrorText());
}

}  // namespace vimo_cli
