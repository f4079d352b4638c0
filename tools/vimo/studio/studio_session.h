// The studio's editing session: one image, one tool tree and the files named on the command
// line. Every request of the browser page becomes one call of Handle, which drives the
// library's picking, dragging, measuring and drawing and answers with the page's whole state.
// The library keeps process-wide state and is used from one thread at a time, so a session is
// not thread-safe: its server serialises every call.
#ifndef VIMO_TOOLS_STUDIO_SESSION_H
#define VIMO_TOOLS_STUDIO_SESSION_H

#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "vimo/vimo.h"

namespace vimo_studio {

// A request the session refuses, with the HTTP status the server answers with (400 for bad
// input, 404 for an unknown action, 500 when a file cannot be written). Nothing has changed
// when it is thrown.
struct StudioError : std::runtime_error {
  StudioError(int status, const std::string& message)
      : std::runtime_error(message), Status(status) {}
  int Status;
};

struct StudioFiles {
  std::string Image;  // the image's file, for messages
  std::string Tools;  // the tool file, loaded when it exists and written by "save"
  std::string World;  // an optional world shape file giving the calibration
};

class StudioSession {
 public:
  // Takes a copy of the image and loads the world file when given and the tool file when it
  // exists; a missing tool file starts an empty tree that "save" creates. Throws
  // std::runtime_error with a one-line message naming the file that cannot be read.
  StudioSession(const StudioFiles& files, const EImage<EBW8>& image);
  ~StudioSession();
  StudioSession(const StudioSession&) = delete;
  StudioSession& operator=(const StudioSession&) = delete;

  // Runs one action of the page with its JSON arguments and returns the new state. Throws
  // StudioError, leaving everything as it was, on an unknown action or bad arguments.
  nlohmann::json Handle(const std::string& action, const nlohmann::json& arguments);

  // The image as PNG bytes (empty in a build without PNG support).
  const std::string& ImagePng() const { return m_ImagePng; }
  // The page's state: overlay SVG, view, gauges, results, drawing modes.
  nlohmann::json State();

  // For tests and the command: the root of the displayed tree and the gauges in tree order.
  EWorldShape* World() { return m_World; }
  std::vector<EShape*> Gauges();
  int ImageWidth() const { return m_Image.GetWidth(); }
  int ImageHeight() const { return m_Image.GetHeight(); }

 private:
  void LoadTools();
  void SetViewport(const nlohmann::json& arguments);
  void Pointer(const nlohmann::json& arguments);
  void View(const nlohmann::json& arguments);
  void Add(const nlohmann::json& arguments);
  void Delete();
  void Select(const nlohmann::json& arguments);
  void Rename(const nlohmann::json& arguments);
  void SetParameters(const nlohmann::json& arguments);
  void SetModes(const nlohmann::json& arguments);
  void Measure();
  void Save();
  std::string Overlay();
  nlohmann::json GaugeParameters(EShape* gauge);
  EShape* Container();
  EShape* SelectedGauge();
  std::string UniqueName(const std::string& stem);

  StudioFiles m_Files;
  EImage<EBW8> m_Image;
  std::string m_ImagePng;
  // The world shape at the root of the displayed tree: the world file's, the tool file's when
  // its root is a world shape, or an identity world sized like the image.
  std::unique_ptr<EWorldShape> m_OwnWorld;
  EWorldShape* m_World = nullptr;
  // What the tool file holds: its root shape. When the tool file's root is a world shape and a
  // world file is given too, the tool world's daughters live under m_World while the session
  // runs and go back to it for saving.
  std::unique_ptr<EShape> m_ToolsRoot;
  bool m_ToolsRootIsWorld = false;
  // Gauges the page added; a deleted one is destroyed here.
  std::vector<std::unique_ptr<EShape>> m_Added;
  EShape* m_Selected = nullptr;
  EShape* m_Dragged = nullptr;
  bool m_Panning = false;
  int m_PanX = 0, m_PanY = 0;  // the last pointer position of a pan, display pixels
  int m_ViewWidth = 800, m_ViewHeight = 600;
  bool m_Nominal = true, m_Measured = true, m_Profiles = false, m_Samples = true;
  bool m_MeasuredOnce = false;
  bool m_Dirty = false;
  std::string m_Message;
};

}  // namespace vimo_studio

#endif
