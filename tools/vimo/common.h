// What the subcommands share: failures with their exit code, quiet mode, image and shape file
// loading with one-line messages, and output files written whole or not at all.
#ifndef VIMO_TOOLS_COMMON_H
#define VIMO_TOOLS_COMMON_H

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "vimo/vimo.h"

namespace vimo_cli {

// Thrown by a subcommand to stop with an exit code (exitcodes.h); main prints the message on
// standard error as one line "vimo: <message>" (nothing for an empty message, when the
// subcommand has reported already).
class Failure : public std::runtime_error {
 public:
  Failure(int code, const std::string& message) : std::runtime_error(message), m_Code(code) {}
  int Code() const { return m_Code; }

 private:
  int m_Code;
};

// --quiet: no messages on standard error but failures, no progress bar.
bool Quiet();
void SetQuiet(bool quiet);
// A message on standard error unless quiet.
void Note(const std::string& message);

// The library's error state as text ("1103 read failed"), cleared.
std::string TakeErrorText();

// How 16-bit images become 8-bit for measurement: keep the high byte (default), a right shift
// or a grey-level window.
struct BitDepthOptions {
  int shift = -1;      // >= 0: min(255, value >> shift)
  int windowLow = -1;  // window [low, high] mapped linearly onto [0, 255]
  int windowHigh = -1;
  bool Converts() const { return shift >= 0 || windowLow >= 0; }
};
// Adds --shift and --window to a subcommand that loads images.
void AddBitDepthOptions(CLI::App* command, BitDepthOptions& options);

// Loads an image for measuring as 8-bit grey; colour files become grey by the library's rule.
// Throws Failure(kExitBadInput) naming the file.
void LoadGreyImage(const std::string& path, const BitDepthOptions& depth, EImage<EBW8>& image);

// Loads a shape file of any class with its daughters into a new shape of the class the file
// holds. Throws Failure(kExitBadInput) naming the file and the problem.
std::unique_ptr<EShape> LoadShapeFile(const std::string& path);
// Loads a world shape file (with daughters). Throws Failure(kExitBadInput).
std::unique_ptr<EWorldShape> LoadWorldFile(const std::string& path);
// A new shape of the class with that type value, or null for a value no class has.
std::unique_ptr<EShape> NewShapeOfType(unsigned type);

// Writes an output file whole or not at all: `write` fills a temporary file beside `path`,
// which is renamed to `path` once `write` returns true; otherwise, or on an exception, the
// temporary file is removed and Failure(kExitOutputFailed) is thrown (or the exception passed
// on).
void WriteFileAtomically(const std::string& path,
                         const std::function<bool(const std::string& temporary)>& write);

// Draws the tree over the image and writes it: SVG for ".svg", else a colour image in the
// format of the extension (".png", ".ppm"). Nominal gauges with their tolerance bands in grey;
// with `results`, also the valid samples in blue and the labelled results in red. Throws
// Failure(kExitUsage) for an extension that is not an overlay format, Failure(kExitOutputFailed)
// when writing fails.
void SaveOverlay(EShape& root, EImage<EBW8>& image, const std::string& path, bool results);
// Whether the extension names an overlay format.
bool IsOverlayExtension(const std::string& extension);

// Attaches the daughters of a tool tree's root (when it is a world shape) or the root itself
// under `world`, so that the tools measure through its calibration.
void Reroot(EShape& tools, EWorldShape& world);

// CLI11 check: a finite number above 0.
extern const CLI::Validator PositiveNumber;

// The lower-case extension of a path, with its dot ("" when none).
std::string Extension(const std::string& path);

}  // namespace vimo_cli

#endif
