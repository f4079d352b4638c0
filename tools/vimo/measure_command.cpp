#ifdef _WIN32
#include <io.h>
#include <process.h>
#define getpid _getpid
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"
#include "results.h"

using namespace vimo_cli;
namespace fs = std::filesystem;

namespace {

struct MeasureOptions {
  std::string tools;
  std::vector<std::string> images;
  std::string world;
  std::string overlayDir;
  std::string overlayFormat = "png";
  bool requireFound = false;
  BitDepthOptions depth;
};

bool IsImageExtension(const std::string& ext) {
  static const char* const kImages[] = {".png", ".pgm", ".ppm", ".jpg", ".jpeg", ".tif", ".tiff"};
  return std::find(std::begin(kImages), std::end(kImages), ext) != std::end(kImages);
}

// The image files named on the command line; a folder stands for the images it holds, in name
// order. Only paths are kept, so that a batch of thousands costs little memory.
std::vector<std::string> ExpandImages(const std::vector<std::string>& arguments) {
  std::vector<std::string> images;
  for (const std::string& argument : arguments) {
    std::error_code error;
    if (!fs::is_directory(argument, error)) {
      images.push_back(argument);
      continue;
    }
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(argument, error))
      if (entry.is_regular_file(error) && IsImageExtension(Extension(entry.path().string())))
        found.push_back(entry.path().string());
    if (error)
      throw Failure(kExitBadInput, argument + ": cannot read the folder (" + error.message() + ")");
    if (found.empty()) throw Failure(kExitBadInput, argument + ": no images in the folder");
    std::sort(found.begin(), found.end());
    images.insert(images.end(), found.begin(), found.end());
  }
  return images;
}

// A one-line progress bar on standard error, redrawn in place; shown only on a terminal.
class Progress {
 public:
  explicit Progress(size_t total) : m_Total(total), m_Shown(total > 3 && !Quiet() && isatty(2)) {}
  void Update(size_t done) {
    if (!m_Shown) return;
    const int width = 30;
    const int filled = static_cast<int>(width * done / m_Total);
    std::cerr << "\r[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] "
              << done << "/" << m_Total << std::flush;
  }
  // Ends the bar's line, so that a message starts on its own line.
  void Break() {
    if (m_Shown) std::cerr << "\n";
  }
  ~Progress() {
    if (m_Shown) std::cerr << "\r" << std::string(50, ' ') << "\r" << std::flush;
  }

 private:
  size_t m_Total;
  bool m_Shown;
};

void Run(const MeasureOptions& o) {
  const std::string format = "." + o.overlayFormat;
  std::vector<std::string> images = ExpandImages(o.images);
  std::unique_ptr<EShape> tools = LoadShapeFile(o.tools);
  std::unique_ptr<EWorldShape> world;
  if (!o.world.empty()) {
    world = LoadWorldFile(o.world);
    Reroot(*tools, *world);
  }
  EShape& root = world ? static_cast<EShape&>(*world) : *tools;
  std::vector<EShape*> gauges;
  CollectGauges(root, gauges);
  if (gauges.empty()) throw Failure(kExitBadInput, o.tools + ": the tree holds no gauge");
  if (!o.overlayDir.empty()) {
    std::error_code error;
    fs::create_directories(o.overlayDir, error);
    if (!fs::is_directory(o.overlayDir))
      throw Failure(kExitOutputFailed, o.overlayDir + ": cannot create the folder");
  }

  int exitCode = kExitOk;
  bool allFound = true;
  // Overlay names already written: images of the same name (a/part.png, b/part.png or
  // part.png and part.pgm) get part, part-2, part-3... instead of overwriting each other.
  std::set<std::string> overlayNames;
  Progress progress(images.size());
  EImage<EBW8> image;  // reused: memory stays that of the largest image
  for (size_t i = 0; i < images.size(); ++i) {
    const std::string& path = images[i];
    progress.Update(i);
    try {
      LoadGreyImage(path, o.depth, image);
    } catch (const Failure& failure) {
      // A bad image does not stop the batch: it is reported and the exit code says so.
      progress.Break();
      std::cerr << "vimo: " << failure.what() << "\n";
      nlohmann::ordered_json line;
      line["image"] = path;
      line["error"] = failure.what();
      std::cout << JsonText(line) << std::endl;
      exitCode = kExitBadInput;
      continue;
    }
    EOk();
    root.Process(&image, 1);
    if (EGetError() != E_OK) Note(path + ": " + TakeErrorText());
    for (EShape* gauge : gauges) {
      nlohmann::ordered_json line;
      line["image"] = path;
      const nlohmann::ordered_json result = GaugeResult(*gauge);
      for (auto it = result.begin(); it != result.end(); ++it) line[it.key()] = it.value();
      if (!gauge->GetFound()) allFound = false;
      std::cout << JsonText(line) << "\n";
    }
    std::cout.flush();
    if (!o.overlayDir.empty()) {
      const std::string stem = fs::path(path).stem().string();
      std::string name = stem;
      for (unsigned k = 2; !overlayNames.insert(name).second; ++k)
        name = stem + "-" + std::to_string(k);
      SaveOverlay(root, image, (fs::path(o.overlayDir) / (name + format)).string(), true);
    }
  }
  progress.Update(images.size());
  // Each unreadable image has had its message already.
  if (exitCode != kExitOk) throw Failure(exitCode, "");
  if (o.requireFound && !allFound) throw Failure(kExitNotFound, "a gauge was not found");
}

}  // namespace

void AddMeasureCommand(CLI::App& app) {
  auto o = std::make_shared<MeasureOptions>();
  CLI::App* command = app.add_subcommand("measure", "Measure images with a tool tree");
  command->footer(
      "Runs every active gauge of the tree on each image and prints one JSON line per image and\n"
      "gauge as soon as the image is done: {\"image\", \"gauge\", \"type\", \"found\", "
      "\"geometry\",\n"
      "\"valid_samples\", \"average_distance\"}, the geometry in world units (angles in degrees).\n"
      "A folder stands for the images it holds. An unreadable image gives a line with \"error\"\n"
      "and exit code 3 once the batch is done.\n"
      "Example:\n  vimo measure tools.vshp parts/ --world world.vshp --overlay out/ "
      "--require-found");
  command->add_option("TOOLS", o->tools, "Tool tree (.vshp)")->required();
  command->add_option("IMAGES", o->images, "Images or folders of images")->required();
  command->add_option("--world", o->world,
                      "Calibrated world (.vshp): the tools measure through it");
  command->add_option("--overlay", o->overlayDir,
                      "Write an overlay per image into this folder, named after the image (name-2, "
                      "name-3... when names repeat)");
  command->add_option("--overlay-format", o->overlayFormat, "png (default), ppm or svg")
      ->check(CLI::IsMember({"png", "ppm", "svg"}));
  command->add_flag("--require-found", o->requireFound,
                    "Exit with code 4 when a gauge was not found in some image");
  AddBitDepthOptions(command, o->depth);
  command->callback([o] { Run(*o); });
}
