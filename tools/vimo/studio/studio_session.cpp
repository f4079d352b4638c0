#include "studio/studio_session.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "results.h"

namespace vimo_studio {

using nlohmann::json;

namespace {

const float kMinZoom = 1.0f / 64, kMaxZoom = 64.0f;
const int kMaxViewSize = 16384;

// The library's error text, with the error state cleared.
std::string TakeError() {
  std::string text = EGetErrorText(EGetError());
  const char* trace = EGetErrorTrace();
  if (trace && *trace) text += std::string(" (") + trace + ")";
  EOk();
  return text;
}

bool IsGauge(const EShape* shape) {
  switch (shape->GetType()) {
    case INS_SHAPE_TYPE_POINT_GAUGE:
    case INS_SHAPE_TYPE_LINE_GAUGE:
    case INS_SHAPE_TYPE_CIRCLE_GAUGE:
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE:
    case INS_SHAPE_TYPE_WEDGE_GAUGE: return true;
    default: return false;
  }
}

const char* GaugeKind(const EShape* shape) {
  switch (shape->GetType()) {
    case INS_SHAPE_TYPE_POINT_GAUGE: return "point";
    case INS_SHAPE_TYPE_LINE_GAUGE: return "line";
    case INS_SHAPE_TYPE_CIRCLE_GAUGE: return "circle";
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE: return "rectangle";
    case INS_SHAPE_TYPE_WEDGE_GAUGE: return "wedge";
    default: return "shape";
  }
}

// The transitions a gauge measures with: its own, or one per edge.
std::vector<ETransition*> Transitions(EShape* gauge) {
  if (auto* g = dynamic_cast<ERectangleGauge*>(gauge))
    return {&g->GetTransitionx(), &g->GetTransitiony(), &g->GetTransitionX(), &g->GetTransitionY()};
  if (auto* g = dynamic_cast<EWedgeGauge*>(gauge))
    return {&g->GetTransitiona(), &g->GetTransitionr(), &g->GetTransitionA(), &g->GetTransitionR()};
  if (auto* t = dynamic_cast<ETransition*>(gauge)) return {t};
  return {};
}

// The sampling step of the gauges that have one; NaN for the point gauge.
float SamplingStep(EShape* gauge) {
  if (auto* g = dynamic_cast<ELineGauge*>(gauge)) return g->GetSamplingStep();
  if (auto* g = dynamic_cast<ECircleGauge*>(gauge)) return g->GetSamplingStep();
  if (auto* g = dynamic_cast<ERectangleGauge*>(gauge)) return g->GetSamplingStep();
  if (auto* g = dynamic_cast<EWedgeGauge*>(gauge)) return g->GetSamplingStep();
  return NAN;
}

void SetSamplingStep(EShape* gauge, float step) {
  if (auto* g = dynamic_cast<ELineGauge*>(gauge)) g->SetSamplingStep(step);
  if (auto* g = dynamic_cast<ECircleGauge*>(gauge)) g->SetSamplingStep(step);
  if (auto* g = dynamic_cast<ERectangleGauge*>(gauge)) g->SetSamplingStep(step);
  if (auto* g = dynamic_cast<EWedgeGauge*>(gauge)) g->SetSamplingStep(step);
}

// The nominal placement of a gauge, in its mother's units (angles in degrees).
json NominalGeometry(EShape* gauge) {
  json g;
  if (auto* l = dynamic_cast<ELineGauge*>(gauge)) {
    const ELine& line = *l;
    g = {{"x", line.GetCenterX()},
         {"y", line.GetCenterY()},
         {"angle", line.GetAngle()},
         {"length", line.GetLength()}};
  } else if (auto* c = dynamic_cast<ECircleGauge*>(gauge)) {
    const ECircle& circle = *c;
    g = {{"x", circle.GetCenterX()},
         {"y", circle.GetCenterY()},
         {"angle", circle.GetAngle()},
         {"diameter", circle.GetDiameter()},
         {"amplitude", circle.GetAmplitude()}};
  } else if (auto* r = dynamic_cast<ERectangleGauge*>(gauge)) {
    const ERectangle& rect = *r;
    g = {{"x", rect.GetCenterX()},
         {"y", rect.GetCenterY()},
         {"angle", rect.GetAngle()},
         {"sizeX", rect.GetSizeX()},
         {"sizeY", rect.GetSizeY()}};
  } else if (auto* w = dynamic_cast<EWedgeGauge*>(gauge)) {
    const EWedge& wedge = *w;
    g = {{"x", wedge.GetCenterX()},       {"y", wedge.GetCenterY()},
         {"angle", wedge.GetAngle()},     {"outerDiameter", wedge.GetOuterDiameter()},
         {"breadth", wedge.GetBreadth()}, {"amplitude", wedge.GetAmplitude()}};
  } else if (auto* p = dynamic_cast<EPointGauge*>(gauge)) {
    const EFrame& point = static_cast<const EPointShape&>(*p);
    g = {{"x", point.GetCenterX()}, {"y", point.GetCenterY()}};
  }
  return g;
}

// Pre-order walk of a subtree, skipping empty slots.
void Walk(EShape* shape, const std::function<void(EShape*)>& visit) {
  visit(shape);
  const unsigned slots = shape->GetIndexed() ? shape->GetMaxDaughters() : shape->GetNumDaughters();
  for (unsigned i = 0; i < slots; ++i)
    if (EShape* d = shape->GetDaughter(i)) Walk(d, visit);
}

// A shape of the class a shape file holds, chosen by the class code of its signature.
std::unique_ptr<EShape> ShapeForFile(const std::string& path) {
  unsigned char head[4] = {0, 0, 0, 0};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  const size_t n = std::fread(head, 1, 4, f);
  std::fclose(f);
  if (n < 4 || head[0] != 0x45) throw std::runtime_error(path + ": not a shape file");
  switch (head[1]) {
    case 0x11: return std::make_unique<ECircleShape>();
    case 0x12: return std::make_unique<EFrameShape>();
    case 0x13: return std::make_unique<ERectangleShape>();
    case 0x14: return std::make_unique<EPointShape>();
    case 0x15: return std::make_unique<ELineShape>();
    case 0x16: return std::make_unique<EWorldShape>();
    case 0x17: return std::make_unique<EWedgeShape>();
    case 0x21: return std::make_unique<ECircleGauge>();
    case 0x23: return std::make_unique<ERectangleGauge>();
    case 0x24: return std::make_unique<EPointGauge>();
    case 0x25: return std::make_unique<ELineGauge>();
    case 0x27: return std::make_unique<EWedgeGauge>();
    default: throw std::runtime_error(path + ": a shape file of a class the studio cannot edit");
  }
}

const json& Field(const json& arguments, const char* name) {
  if (!arguments.is_object() || !arguments.contains(name))
    throw StudioError(400, std::string("missing field \"") + name + "\"");
  return arguments.at(name);
}

double Number(const json& arguments, const char* name) {
  const json& v = Field(arguments, name);
  if (!v.is_number() || !std::isfinite(v.get<double>()))
    throw StudioError(400, std::string("\"") + name + "\" must be a finite number");
  return v.get<double>();
}

long long Integer(const json& arguments, const char* name, long long low, long long high) {
  const json& v = Field(arguments, name);
  if (!v.is_number_integer() || v.get<long long>() < low || v.get<long long>() > high)
    throw StudioError(400, std::string("\"") + name + "\" must be an integer from " +
                               std::to_string(low) + " to " + std::to_string(high));
  return v.get<long long>();
}

// Display pixels are ints in the library; pointer positions far outside any view are refused
// rather than wrapped.
int Pixel(const json& arguments, const char* name) {
  return static_cast<int>(Integer(arguments, name, -1000000, 1000000));
}

}  // namespace

StudioSession::StudioSession(const StudioFiles& files, const EImage<EBW8>& image) : m_Files(files) {
  EOk();
  m_Image = image;
  if (EGetError() != E_OK) throw std::runtime_error(m_Files.Image + ": " + TakeError());
  if (m_Image.GetWidth() <= 0 || m_Image.GetHeight() <= 0)
    throw std::runtime_error(m_Files.Image + ": empty image");
  if (!m_Files.World.empty()) {
    m_OwnWorld = std::make_unique<EWorldShape>();
    m_OwnWorld->Load(m_Files.World.c_str(), 0);
    if (EGetError() != E_OK) throw std::runtime_error(m_Files.World + ": " + TakeError());
    m_World = m_OwnWorld.get();
  }
  LoadTools();
  // Everything in the tree can be picked and edited with the pointer.
  for (EShape* g : Gauges()) {
    g->SetDragable(1, 0);
    g->SetRotatable(1, 0);
    g->SetResizable(1, 0);
    g->SetLabeled(1, 0);
  }
  // The image as PNG for the page, written through the library to a scratch file.
  std::random_device random;
  const auto scratch =
      std::filesystem::temp_directory_path() / ("vimo-studio-" + std::to_string(random()) + ".png");
  m_Image.Save(scratch.string().c_str());
  if (EGetError() == E_OK) {
    std::ifstream in(scratch, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    m_ImagePng = bytes.str();
  }
  EOk();
  std::error_code ignored;
  std::filesystem::remove(scratch, ignored);
  Measure();
}

void StudioSession::LoadTools() {
  std::unique_ptr<EShape> root;
  if (!m_Files.Tools.empty()) root = ShapeForFile(m_Files.Tools);
  if (root) {
    root->Load(m_Files.Tools.c_str(), 1);
    if (EGetError() != E_OK) throw std::runtime_error(m_Files.Tools + ": " + TakeError());
  } else {
    if (!m_Files.Tools.empty() && errno != ENOENT)
      throw std::runtime_error(m_Files.Tools + ": " + std::strerror(errno));
    // A new tool file: one frame at the world origin holds the gauges.
    root = std::make_unique<EFrameShape>();
    root->SetName("tools");
  }
  m_ToolsRoot = std::move(root);
  m_ToolsRootIsWorld = m_ToolsRoot->IsWorld();
  if (m_ToolsRootIsWorld && !m_World) {
    m_World = static_cast<EWorldShape*>(m_ToolsRoot.get());
    return;
  }
  if (!m_World) {
    m_OwnWorld = std::make_unique<EWorldShape>();
    m_OwnWorld->SetSensorSize(m_Image.GetWidth(), m_Image.GetHeight());
    m_World = m_OwnWorld.get();
  }
  if (m_ToolsRootIsWorld) {
    // The tool file's own world yields to the world file; its daughters are measured there.
    std::vector<EShape*> daughters;
    Walk(m_ToolsRoot.get(), [&](EShape* s) {
      if (s->GetMother() == m_ToolsRoot.get()) daughters.push_back(s);
    });
    for (EShape* d : daughters) d->Attach(m_World);
  } else {
    m_ToolsRoot->Attach(m_World);
  }
}

StudioSession::~StudioSession() {
  // Daughters of the tool file's world that live under the world file's world go back to the
  // world that owns them.
  if (m_ToolsRootIsWorld && m_World != m_ToolsRoot.get()) {
    std::vector<EShape*> daughters;
    for (unsigned i = 0; i < m_World->GetNumDaughters(); ++i)
      daughters.push_back(m_World->GetDaughter(i));
    for (EShape* d : daughters)
      if (d->GetAllocated()) d->Attach(m_ToolsRoot.get());
  }
  m_Added.clear();
}

std::vector<EShape*> StudioSession::Gauges() {
  std::vector<EShape*> gauges;
  Walk(m_World, [&](EShape* s) {
    if (IsGauge(s)) gauges.push_back(s);
  });
  return gauges;
}

EShape* StudioSession::Container() {
  return m_ToolsRootIsWorld ? static_cast<EShape*>(m_World) : m_ToolsRoot.get();
}

EShape* StudioSession::SelectedGauge() {
  if (!m_Selected) throw StudioError(400, "no gauge is selected");
  return m_Selected;
}

std::string StudioSession::UniqueName(const std::string& stem) {
  for (int i = 1;; ++i) {
    const std::string name = stem + std::to_string(i);
    bool taken = false;
    for (EShape* g : Gauges())
      if (g->GetName() && name == g->GetName()) taken = true;
    if (!taken) return name;
  }
}

json StudioSession::Handle(const std::string& action, const json& arguments) {
  EOk();
  m_Message.clear();
  if (!arguments.is_object()) throw StudioError(400, "the request body must be a JSON object");
  if (action == "state")
    SetViewport(arguments);
  else if (action == "pointer")
    Pointer(arguments);
  else if (action == "view")
    View(arguments);
  else if (action == "add")
    Add(arguments);
  else if (action == "delete")
    Delete();
  else if (action == "select")
    Select(arguments);
  else if (action == "rename")
    Rename(arguments);
  else if (action == "parameters")
    SetParameters(arguments);
  else if (action == "modes")
    SetModes(arguments);
  else if (action == "measure")
    Measure();
  else if (action == "save")
    Save();
  else
    throw StudioError(404, "unknown action \"" + action + "\"");
  return State();
}

void StudioSession::SetViewport(const json& arguments) {
  if (arguments.empty()) return;
  const int width = static_cast<int>(Integer(arguments, "width", 1, kMaxViewSize));
  const int height = static_cast<int>(Integer(arguments, "height", 1, kMaxViewSize));
  m_ViewWidth = width;
  m_ViewHeight = height;
}

void StudioSession::Pointer(const json& arguments) {
  const json& kind = Field(arguments, "kind");
  const int x = Pixel(arguments, "x"), y = Pixel(arguments, "y");
  if (kind == "down") {
    m_Dragged = nullptr;
    m_Panning = false;
    m_World->SetCursor(x, y);
    if (m_World->HitTest(1)) {
      m_Dragged = m_World->GetHitShape();
      // A handle of a plain shape selects the gauge it belongs to, if any.
      for (EShape* s = m_Dragged; s; s = s->GetMother())
        if (IsGauge(s)) {
          m_Selected = s;
          break;
        }
    } else {
      m_World->Closest();
      EShape* closest = m_World->GetClosestShape();
      m_Selected = closest && IsGauge(closest) ? closest : nullptr;
      m_Panning = true;
      m_PanX = x;
      m_PanY = y;
    }
  } else if (kind == "move" || kind == "up") {
    if (m_Dragged) {
      m_Dragged->Drag(x, y);
      m_Dirty = true;
    } else if (m_Panning) {
      m_World->SetPan(m_World->GetPanX() + (x - m_PanX) / m_World->GetZoomX(),
                      m_World->GetPanY() + (y - m_PanY) / m_World->GetZoomY());
      m_PanX = x;
      m_PanY = y;
    }
    if (kind == "up") {
      const bool dragged = m_Dragged != nullptr;
      m_Dragged = nullptr;
      m_Panning = false;
      if (dragged) Measure();
    }
  } else {
    throw StudioError(400, "\"kind\" must be \"down\", \"move\" or \"up\"");
  }
  EOk();
}

void StudioSession::View(const json& arguments) {
  const json& kind = Field(arguments, "kind");
  const float width = static_cast<float>(m_Image.GetWidth());
  const float height = static_cast<float>(m_Image.GetHeight());
  if (kind == "zoom") {
    // Zooms about a display pixel: the sensor point under it stays under it.
    const double factor = Number(arguments, "factor");
    const int x = Pixel(arguments, "x"), y = Pixel(arguments, "y");
    if (!(factor > 0)) throw StudioError(400, "\"factor\" must be positive");
    const float zoom = m_World->GetZoomX();
    const float next = std::min(kMaxZoom, std::max(kMinZoom, float(zoom * factor)));
    const float sx = (x + 0.5f) / zoom - 0.5f - m_World->GetPanX();
    const float sy = (y + 0.5f) / m_World->GetZoomY() - 0.5f - m_World->GetPanY();
    m_World->SetZoom(next, next);
    m_World->SetPan((x + 0.5f) / next - 0.5f - sx, (y + 0.5f) / next - 0.5f - sy);
  } else if (kind == "fit") {
    const float zoom = std::min(
        kMaxZoom, std::max(kMinZoom, std::min(m_ViewWidth / width, m_ViewHeight / height)));
    m_World->SetZoom(zoom, zoom);
    m_World->SetPan((m_ViewWidth / zoom - width) / 2, (m_ViewHeight / zoom - height) / 2);
  } else if (kind == "actual") {
    m_World->SetZoom(1, 1);
    m_World->SetPan(0, 0);
  } else {
    throw StudioError(400, "\"kind\" must be \"zoom\", \"fit\" or \"actual\"");
  }
}

void StudioSession::Add(const json& arguments) {
  const json& kind = Field(arguments, "type");
  EShape* container = Container();
  // The new gauge sits at the view's centre, sized to a sixth of the view.
  const int cx = m_ViewWidth / 2, cy = m_ViewHeight / 2;
  const EPoint c = container->DisplayToLocal(cx, cy);
  const EPoint side = container->DisplayToLocal(cx + std::min(m_ViewWidth, m_ViewHeight) / 6, cy);
  const float s = std::hypot(side.GetX() - c.GetX(), side.GetY() - c.GetY());
  if (EGetError() != E_OK || !std::isfinite(c.GetX()) || !std::isfinite(c.GetY()) || !(s > 0) ||
      !std::isfinite(s)) {
    EOk();
    throw StudioError(400, "the view's centre maps to no point of the tool tree");
  }
  std::unique_ptr<EShape> gauge;
  std::string stem;
  if (kind == "point") {
    auto g = std::make_unique<EPointGauge>();
    g->SetCenter(c);
    g->SetTolerance(s / 2, 0);
    gauge = std::move(g);
    stem = "Point";
  } else if (kind == "line") {
    auto g = std::make_unique<ELineGauge>();
    g->Set(c, 2 * s, 0);
    g->SetTolerance(s / 5, 0);
    g->SetSamplingStep(s / 20);
    gauge = std::move(g);
    stem = "Line";
  } else if (kind == "circle") {
    auto g = std::make_unique<ECircleGauge>();
    g->Set(c, 2 * s, 0.0f, 1);
    g->SetTolerance(s / 5, 0);
    g->SetSamplingStep(s / 20);
    gauge = std::move(g);
    stem = "Circle";
  } else if (kind == "rectangle") {
    auto g = std::make_unique<ERectangleGauge>();
    g->Set(ERectangle(c, 2 * s, 1.4f * s, 0));
    for (ETransition* t : Transitions(g.get())) t->SetTolerance(s / 6, t->GetToleranceAngle());
    g->SetSamplingStep(s / 20);
    gauge = std::move(g);
    stem = "Rectangle";
  } else if (kind == "wedge") {
    auto g = std::make_unique<EWedgeGauge>();
    g->Set(EWedge(c, 2 * s, s / 2, 0.0f, 270.0f));
    for (ETransition* t : Transitions(g.get())) t->SetTolerance(s / 8, t->GetToleranceAngle());
    g->SetSamplingStep(s / 20);
    gauge = std::move(g);
    stem = "Wedge";
  } else {
    throw StudioError(400, "\"type\" must be point, line, circle, rectangle or wedge");
  }
  if (EGetError() != E_OK) throw StudioError(400, "cannot place a gauge: " + TakeError());
  gauge->SetName(UniqueName(stem).c_str());
  gauge->SetDragable(1, 0);
  gauge->SetRotatable(1, 0);
  gauge->SetResizable(1, 0);
  gauge->SetLabeled(1, 0);
  gauge->Attach(container);
  m_Selected = gauge.get();
  m_Added.push_back(std::move(gauge));
  m_Dirty = true;
  Measure();
}

void StudioSession::Delete() {
  EShape* gauge = SelectedGauge();
  if (gauge == m_ToolsRoot.get()) throw StudioError(400, "the root of the tool file stays");
  // The gauge goes with its subtree, deepest shapes first, each by its owner.
  std::vector<EShape*> doomed;
  Walk(gauge, [&](EShape* s) { doomed.push_back(s); });
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
    auto added = std::find_if(m_Added.begin(), m_Added.end(),
                              [&](const std::unique_ptr<EShape>& p) { return p.get() == *it; });
    if (added != m_Added.end())
      m_Added.erase(added);
    else
      delete *it;  // loaded from the file: allocated by the library, owned by its mother
  }
  m_Selected = nullptr;
  m_Dragged = nullptr;
  m_Dirty = true;
  Measure();
}

void StudioSession::Select(const json& arguments) {
  const json& id = Field(arguments, "id");
  const std::vector<EShape*> gauges = Gauges();
  if (id.is_null()) {
    m_Selected = nullptr;
    return;
  }
  const long long index = Integer(arguments, "id", 0, (long long)gauges.size() - 1);
  m_Selected = gauges[size_t(index)];
}

void StudioSession::Rename(const json& arguments) {
  EShape* gauge = SelectedGauge();
  const json& name = Field(arguments, "name");
  if (!name.is_string()) throw StudioError(400, "\"name\" must be a string");
  const std::string text = name.get<std::string>();
  if (text.empty() || text.size() > 64) throw StudioError(400, "a name has 1 to 64 characters");
  for (unsigned char ch : text)
    if (ch < 0x20 || ch == 0x7F) throw StudioError(400, "a name holds no control characters");
  for (EShape* g : Gauges())
    if (g != gauge && g->GetName() && text == g->GetName())
      throw StudioError(400, "another gauge is named \"" + text + "\"");
  gauge->SetName(text.c_str());
  m_Dirty = true;
}

void StudioSession::SetParameters(const json& arguments) {
  EShape* gauge = SelectedGauge();
  const bool isPoint = gauge->GetType() == INS_SHAPE_TYPE_POINT_GAUGE;
  // Every value is checked before anything changes.
  static const char* kKnown[] = {"tolerance", "samplingStep", "transitionType", "transitionChoice",
                                 "threshold", "thickness",    "smoothing",      "filteringPasses"};
  for (auto it = arguments.begin(); it != arguments.end(); ++it)
    if (std::find_if(std::begin(kKnown), std::end(kKnown),
                     [&](const char* k) { return it.key() == k; }) == std::end(kKnown))
      throw StudioError(400, "unknown parameter \"" + it.key() + "\"");
  auto present = [&](const char* name) { return arguments.contains(name); };
  double tolerance = 0, step = 0;
  long long type = 0, choice = 0, threshold = 0, thickness = 0, smoothing = 0, passes = 0;
  if (present("tolerance")) {
    tolerance = Number(arguments, "tolerance");
    if (!(tolerance > 0) || tolerance > 1e6)
      throw StudioError(400, "\"tolerance\" must be positive");
  }
  if (present("samplingStep")) {
    if (isPoint) throw StudioError(400, "a point gauge has no sampling step");
    step = Number(arguments, "samplingStep");
    if (!(step > 0)) throw StudioError(400, "\"samplingStep\" must be positive");
  }
  if (present("transitionType")) type = Integer(arguments, "transitionType", 0, 4);
  if (present("transitionChoice")) choice = Integer(arguments, "transitionChoice", 0, 5);
  if (present("threshold")) threshold = Integer(arguments, "threshold", 0, 65535);
  if (present("thickness")) thickness = Integer(arguments, "thickness", 1, 255);
  if (present("smoothing")) smoothing = Integer(arguments, "smoothing", 1, 255);
  if (present("filteringPasses")) {
    if (isPoint) throw StudioError(400, "a point gauge has no filtering passes");
    passes = Integer(arguments, "filteringPasses", 0, 100);
  }
  if (present("samplingStep")) {
    // The gauge refuses a step that would ask for too many profiles; nothing else has changed.
    const float before = SamplingStep(gauge);
    SetSamplingStep(gauge, float(step));
    if (EGetError() != E_OK) throw StudioError(400, "sampling step refused: " + TakeError());
    if (gauge->GetType() == INS_SHAPE_TYPE_LINE_GAUGE &&
        static_cast<ELineGauge*>(gauge)->GetNumSamples() == 0) {
      SetSamplingStep(gauge, before);
      throw StudioError(400, "sampling step too small for the gauge's length");
    }
  }
  for (ETransition* t : Transitions(gauge)) {
    if (present("tolerance")) {
      if (auto* p = dynamic_cast<EPointGauge*>(gauge))
        p->SetTolerance(float(tolerance), t->GetToleranceAngle());
      else
        t->SetTolerance(float(tolerance), t->GetToleranceAngle());
    }
    if (present("transitionType")) t->SetTransitionType(GGE_TRANSITION_TYPE(type));
    if (present("transitionChoice")) {
      if (auto* p = dynamic_cast<EPointGauge*>(gauge))
        p->SetTransitionChoice(GGE_TRANSITION_CHOICE(choice));
      else
        t->SetTransitionChoice(GGE_TRANSITION_CHOICE(choice));
    }
    if (present("threshold")) t->SetThreshold(unsigned(threshold));
    if (present("thickness")) t->SetThickness(unsigned(thickness));
    if (present("smoothing")) t->SetSmoothing(unsigned(smoothing));
  }
  if (present("filteringPasses"))
    if (auto* g = dynamic_cast<EGauge*>(gauge)) g->SetNumFilteringPasses(unsigned(passes));
  m_Dirty = true;
  Measure();
}

void StudioSession::SetModes(const json& arguments) {
  bool* modes[] = {&m_Nominal, &m_Measured, &m_Profiles, &m_Samples};
  const char* names[] = {"nominal", "measured", "profiles", "samples"};
  for (int i = 0; i < 4; ++i)
    if (arguments.contains(names[i]) && !arguments[names[i]].is_boolean())
      throw StudioError(400, std::string("\"") + names[i] + "\" must be true or false");
  for (int i = 0; i < 4; ++i)
    if (arguments.contains(names[i])) *modes[i] = arguments[names[i]].get<bool>();
}

void StudioSession::Measure() {
  EOk();
  m_World->Process(&m_Image, 1);
  if (EGetError() != E_OK) m_Message = "measuring: " + TakeError();
  m_MeasuredOnce = true;
}

void StudioSession::Save() {
  if (m_Files.Tools.empty()) throw StudioError(400, "no tool file was given on the command line");
  // Written beside the tool file, then renamed over it: a crash leaves the old file whole.
  std::random_device random;
  const std::string temporary = m_Files.Tools + ".tmp-" + std::to_string(random() % 1000000000u);
  std::vector<EShape*> moved;
  if (m_ToolsRootIsWorld && m_World != m_ToolsRoot.get()) {
    for (unsigned i = 0; i < m_World->GetNumDaughters(); ++i)
      moved.push_back(m_World->GetDaughter(i));
    for (EShape* d : moved) d->Attach(m_ToolsRoot.get());
  }
  EOk();
  m_ToolsRoot->Save(temporary.c_str(), 1);
  std::string error = EGetError() != E_OK ? TakeError() : "";
  for (EShape* d : moved) d->Attach(m_World);
  if (error.empty() && std::rename(temporary.c_str(), m_Files.Tools.c_str()) != 0)
    error = std::strerror(errno);
  if (!error.empty()) {
    std::remove(temporary.c_str());
    throw StudioError(500, m_Files.Tools + ": " + error);
  }
  m_Dirty = false;
  m_Message = "saved " + m_Files.Tools;
}

std::string StudioSession::Overlay() {
  Quarnel::SvgDrawAdapter svg(m_ViewWidth, m_ViewHeight);
  auto draw = [&](EShape* shape, INS_DRAWING_MODES mode, int daughters, Quarnel::DrawColor pen) {
    svg.SetPenColor(pen);
    shape->Draw(&svg, mode, daughters);
  };
  if (m_Profiles) draw(m_World, INS_DRAW_SAMPLING_PATH, 1, {255, 200, 0});
  if (m_Nominal) draw(m_World, INS_DRAW_NOMINAL, 1, {40, 140, 255});
  // While a drag runs, the last results are out of date: only the nominal layers are drawn,
  // which also keeps each answer small.
  const bool results = m_MeasuredOnce && !m_Dragged;
  if (m_Samples && results) {
    draw(m_World, INS_DRAW_SKIPPED_SAMPLES, 1, {160, 160, 160});
    draw(m_World, INS_DRAW_FILTERED_SAMPLES, 1, {255, 60, 60});
    draw(m_World, INS_DRAW_VALID_SAMPLES, 1, {0, 220, 0});
  }
  if (m_Measured && results) draw(m_World, INS_DRAW_ACTUAL, 1, {0, 255, 120});
  if (m_Selected) {
    // The selected gauge drawn again on top, in the highlight colour.
    if (m_Nominal || !m_Measured) draw(m_Selected, INS_DRAW_NOMINAL, 0, {255, 140, 0});
    if (m_Measured && results) draw(m_Selected, INS_DRAW_ACTUAL, 0, {255, 140, 0});
  }
  EOk();
  return svg.GetDocument();
}

json StudioSession::GaugeParameters(EShape* gauge) {
  json p;
  std::vector<ETransition*> transitions = Transitions(gauge);
  if (transitions.empty()) return p;
  ETransition* t = transitions.front();
  p["tolerance"] = t->GetTolerance();
  const float step = SamplingStep(gauge);
  p["samplingStep"] = std::isfinite(step) ? json(step) : json(nullptr);
  p["transitionType"] = int(t->GetTransitionType());
  p["transitionChoice"] = int(t->GetTransitionChoice());
  p["threshold"] = t->GetThreshold();
  p["thickness"] = t->GetThickness();
  p["smoothing"] = t->GetSmoothing();
  auto* g = dynamic_cast<EGauge*>(gauge);
  p["filteringPasses"] = g ? json(g->GetNumFilteringPasses()) : json(nullptr);
  return p;
}

json StudioSession::State() {
  json state;
  state["svg"] = Overlay();
  const float zx = m_World->GetZoomX(), zy = m_World->GetZoomY();
  const float px = m_World->GetPanX(), py = m_World->GetPanY();
  // Sensor pixel (i, j) covers display [(i + pan) zoom, (i + 1 + pan) zoom): the image's box.
  state["view"] = {{"width", m_ViewWidth},
                   {"height", m_ViewHeight},
                   {"zoom", zx},
                   {"panX", px},
                   {"panY", py},
                   {"image",
                    {{"x", px * zx},
                     {"y", py * zy},
                     {"width", m_Image.GetWidth() * zx},
                     {"height", m_Image.GetHeight() * zy}}}};
  json gauges = json::array(), results = json::array();
  const std::vector<EShape*> list = Gauges();
  int selected = -1;
  for (size_t i = 0; i < list.size(); ++i) {
    EShape* g = list[i];
    if (g == m_Selected) selected = int(i);
    gauges.push_back({{"id", i},
                      {"name", g->GetName() ? g->GetName() : ""},
                      {"type", GaugeKind(g)},
                      {"nominal", NominalGeometry(g)},
                      {"parameters", GaugeParameters(g)}});
    json row = vimo_cli::GaugeResult(*g);
    row["id"] = i;
    results.push_back(row);
  }
  state["gauges"] = gauges;
  state["results"] = m_MeasuredOnce ? results : json::array();
  state["selected"] = selected >= 0 ? json(selected) : json(nullptr);
  state["modes"] = {{"nominal", m_Nominal},
                    {"measured", m_Measured},
                    {"profiles", m_Profiles},
                    {"samples", m_Samples}};
  state["dirty"] = m_Dirty;
  state["message"] = m_Message;
  state["toolFile"] = std::filesystem::path(m_Files.Tools).filename().string();
  EOk();
  return state;
}

}  // namespace vimo_studio
