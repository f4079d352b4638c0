// The vimo command-line tool, run as a program: each subcommand end to end on synthetic images
// of known geometry (and on the real photographs when they are there), the JSON <-> shape file
// round trip of a tree mixing every class, and bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "vimo/vimo.h"

namespace {

using nlohmann::json;
using vimo_test::ScratchPath;

struct Result {
  int code = -1;
  std::string out, err;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the tool with the arguments (each quoted for the shell); stdout and stderr captured.
Result Vimo(const std::vector<std::string>& args) {
  static int run = 0;
  const std::string out = ScratchPath("out" + std::to_string(run)),
                    err = ScratchPath("err" + std::to_string(run++));
  std::string command = "'" VIMO_TOOL_PATH "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >'" + out + "' 2>'" + err + "' </dev/null";
  const int status = std::system(command.c_str());
  Result r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadText(out);
  r.err = ReadText(err);
  return r;
}

std::vector<json> JsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(json::parse(line));
  return lines;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// A dark disc of radius r at (cx, cy) on a light background, its rim pixels grey in
// proportion to their covered area (4 x 4 subsamples): the edge is known to a small fraction
// of a pixel.
void WriteDisc(const std::string& path, int w, int h, double cx, double cy, double r) {
  EImage<EBW8> image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int inside = 0;
      for (int i = 0; i < 16; ++i) {
        const double sx = x - 0.375 + 0.25 * (i % 4), sy = y - 0.375 + 0.25 * (i / 4);
        inside += std::hypot(sx - cx, sy - cy) < r;
      }
      image.SetPixel(static_cast<EBW8>(210 - inside * 160 / 16), x, y);
    }
  image.Save(path.c_str());
}

// A 9 x 7 grid of dark dots, pitch 24 px, turned by 20 degrees about the image centre.
void WriteDotGrid(const std::string& path) {
  EImage<EBW8> image(320, 240);
  const double c = std::cos(0.35), s = std::sin(0.35);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      const double u = ((x - 160) * c + (y - 120) * s) / 24,
                   v = ((y - 120) * c - (x - 160) * s) / 24;
      const double du = u - std::round(u), dv = v - std::round(v);
      const bool dot = std::fabs(u) < 4.5 && std::fabs(v) < 3.5 && du * du + dv * dv < 0.09;
      image.SetPixel(dot ? 30 : 210, x, y);
    }
  image.Save(path.c_str());
}

// A circle gauge description (world units), found by its last edge going outwards.
std::string CircleTools(double x, double y, double diameter, double tolerance, double step) {
  std::ostringstream s;
  s << R"({"root": {"class": "ECircleGauge", "Name": "hole", "Center": [)" << x << ", " << y
    << R"(], "Diameter": )" << diameter << R"(, "SamplingStep": )" << step
    << R"(, "NumFilteringPasses": 2, "Transition": {"HVConstraint": 1, "TransitionChoice": "GGE_FROM_END",
        "ToleranceSegment": {"Tolerance": )"
    << tolerance << "}}}}";
  return s.str();
}

TEST(VimoTool, MeasuresDrawsAndDumpsASyntheticDisc) {
  EOk();
  const std::string image = ScratchPath("disc.pgm"), tools = ScratchPath("disc.vshp"),
                    jsonPath = ScratchPath("disc.json"), overlays = ScratchPath("disc_overlays");
  WriteDisc(image, 320, 240, 160.3, 120.6, 40);
  WriteText(jsonPath, CircleTools(160, 121, 84, 10, 1));
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", tools}).code, 0);

  // Without a world, world units are pixels.
  Result r = Vimo({"measure", tools, image, image, "--overlay", overlays, "-q"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u);  // one line per image and gauge
  for (const json& line : lines) {
    EXPECT_EQ(line["image"], image);
    EXPECT_EQ(line["gauge"], "hole");
    EXPECT_EQ(line["type"], "ECircleGauge");
    ASSERT_TRUE(line["found"].get<bool>());
    EXPECT_NEAR(line["geometry"]["x"].get<double>(), 160.3, 0.05);
    EXPECT_NEAR(line["geometry"]["y"].get<double>(), 120.6, 0.05);
    EXPECT_NEAR(line["geometry"]["diameter"].get<double>(), 80.0, 0.1);
    EXPECT_GT(line["valid_samples"].get<int>(), 200);
    EXPECT_LT(line["average_distance"].get<double>(), 0.1);
  }
  if (vimo_test::kHavePng) {
    // The same image twice: the second overlay does not overwrite the first.
    const std::string stem = std::filesystem::path(image).stem().string();
    for (const std::string& overlay : {stem + ".png", stem + "-2.png"})
      EXPECT_TRUE(Exists(overlays + "/" + overlay)) << overlay;
  }

  // A gauge far from any edge: found false, and --require-found turns it into exit code 4.
  WriteText(jsonPath, CircleTools(60, 60, 20, 3, 1));
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", tools}).code, 0);
  r = Vimo({"measure", tools, image, "--require-found"});
  EXPECT_EQ(r.code, 4);
  lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_FALSE(lines[0]["found"].get<bool>());
  EXPECT_TRUE(lines[0]["geometry"].is_null());

  // A gauge name or an image path that is not UTF-8 (files and names may hold any bytes) still
  // gives its JSON line, the odd bytes replaced.
  std::string odd = CircleTools(160, 121, 84, 10, 1);
  odd.replace(odd.find(R"("Name": "hole")"), 14, R"("NameBytes": "ff686f6c65")");
  WriteText(jsonPath, odd);
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", tools}).code, 0);
  const std::string oddImage = ScratchPath("disc\xE9.pgm");
  std::filesystem::copy_file(image, oddImage, std::filesystem::copy_options::overwrite_existing);
  r = Vimo({"measure", tools, oddImage, "-q"});
  ASSERT_EQ(r.code, 0) << r.err;
  lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["gauge"], "\xEF\xBF\xBDhole");
  EXPECT_TRUE(lines[0]["found"].get<bool>());

  const std::string svg = ScratchPath("disc.svg");
  r = Vimo({"draw", tools, image, "-o", svg, "--measure"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(ReadText(svg).find("<svg"), std::string::npos);
  r = Vimo({"dump", tools});
  ASSERT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("hole"), std::string::npos);
}

TEST(VimoTool, CalibratesADotGridAndMeasuresThroughIt) {
  EOk();
  const std::string grid = ScratchPath("grid.pgm"), world = ScratchPath("grid_world.vshp");
  WriteDotGrid(grid);
  // Pitch 24 px in the image, 10 units in the world: 2.4 px per unit, turned by 20 degrees.
  Result r = Vimo({"calibrate", grid, "--pitch", "10", "-o", world});
  ASSERT_EQ(r.code, 0) << r.err;
  const json c = json::parse(r.out);
  EXPECT_EQ(c["dots"], 63);
  EXPECT_GE(c["matched"].get<int>(), 62);  // the origin may stay unmatched
  EXPECT_LT(c["residuals"]["pixels"]["max"].get<double>(), 0.2);
  EXPECT_NEAR(c["residuals"]["world"]["mean"].get<double>(),
              c["residuals"]["pixels"]["mean"].get<double>() / 2.4, 0.01);
  EXPECT_NEAR(c["parameters"]["x_resolution"].get<double>(), 2.4, 0.01);
  EXPECT_NEAR(std::fabs(c["parameters"]["angle"].get<double>()), 20.0, 0.2);
  ASSERT_TRUE(Exists(world));

  // The centre dot is world (0, 0); its diameter 2 x 0.3 x 24 px is 6 world units.
  const std::string tools = ScratchPath("dot.vshp"), jsonPath = ScratchPath("dot.json");
  WriteText(jsonPath, CircleTools(0, 0, 6, 1.5, 0.2));
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", tools}).code, 0);
  r = Vimo({"measure", tools, grid, "--world", world});
  ASSERT_EQ(r.code, 0) << r.err;
  const json line = JsonLines(r.out).at(0);
  ASSERT_TRUE(line["found"].get<bool>());
  EXPECT_NEAR(line["geometry"]["x"].get<double>(), 0, 0.05);
  EXPECT_NEAR(line["geometry"]["y"].get<double>(), 0, 0.05);
  EXPECT_NEAR(line["geometry"]["diameter"].get<double>(), 6.0, 0.15);

  const std::string unwarped = ScratchPath("grid_unwarped.pgm");
  ASSERT_EQ(Vimo({"unwarp", grid, "--world", world, "-o", unwarped}).code, 0);
  EImage<EBW8> out;
  out.Load(unwarped.c_str());
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(out.GetWidth(), 320);
  EXPECT_EQ(out.GetHeight(), 240);
}

TEST(VimoTool, RealPhotographs) {
  EOk();
  const std::string target = vimo_test::DataFile("calib/boofcv_circle_regular/image00004.pgm"),
                    coins = vimo_test::DataFile("gauge/simplecv_coins.pgm");
  if (target.empty() || coins.empty()) GTEST_SKIP() << "no photographs in " << vimo_test::DataDir();
  const std::string world = ScratchPath("real_world.vshp");
  Result r = Vimo({"calibrate", target, "--pitch", "25", "-o", world});
  ASSERT_EQ(r.code, 0) << r.err;
  const json c = json::parse(r.out);
  EXPECT_EQ(c["matched"], 80);  // the whole 10 x 8 target
  EXPECT_LT(c["residuals"]["pixels"]["mean"].get<double>(), 1.0);
  EXPECT_TRUE(c["within_thresholds"].get<bool>());

  // The top coin: 84 px across at (355, 131) in pixels.
  const std::string tools = ScratchPath("coin.vshp"), jsonPath = ScratchPath("coin.json");
  WriteText(jsonPath, CircleTools(355, 131, 84, 10, 1));
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", tools}).code, 0);
  r = Vimo({"measure", tools, coins});
  ASSERT_EQ(r.code, 0) << r.err;
  const json line = JsonLines(r.out).at(0);
  ASSERT_TRUE(line["found"].get<bool>());
  EXPECT_NEAR(line["geometry"]["diameter"].get<double>(), 84.0, 1.0);
}

// A tree holding every class that a shape file can hold, with values away from the defaults.
void BuildEveryClassTree(EWorldShape& world) {
  world.SetSensorSize(640, 480);
  world.SetPerspective(3, -2, 0.25f);
  world.SetZoom(2, 3);
  world.SetPan(5, -7);
  world.SetName("world");
  auto* frame = new EFrameShape(1, 2, 30, 1.5f, 40, 50);
  frame->Attach(&world);
  frame->SetName("frame \xC3\xA9");  // UTF-8
  auto* point = new EPointShape(3, 4);
  point->Attach(frame);
  auto* line = new ELineShape(1, 1, 20, 15);
  line->Attach(frame);
  auto* grid = new ERectangleShape(0, 0, 30, 20, 10);
  grid->Attach(&world);
  grid->SetIndexed(3);
  auto* circle = new ECircleShape(2, 3, 8, 45, 1);
  circle->AttachIndexed(grid, 2);  // slots 0 and 1 stay empty
  auto* wedge = new EWedgeShape(0, 0, 30, 5, 10, 1);
  wedge->Attach(&world);
  auto* pointGauge = new EPointGauge(4, 5);
  pointGauge->Attach(wedge);
  pointGauge->SetTransitionType(GGE_DARK_BAR);
  auto* lineGauge = new ELineGauge();
  lineGauge->Attach(&world);
  lineGauge->Set(EPoint(10, -5), 60, 30);
  lineGauge->SetTolerance(4, 0);
  lineGauge->AddSkipRange(2, 5);
  lineGauge->SetNumFilteringPasses(3);
  lineGauge->SetSamplingMode(GGE_SAMPLING_INTERPOLATED);  // a longer transition record
  auto* circleGauge = new ECircleGauge();
  circleGauge->Attach(lineGauge);
  circleGauge->Set(EPoint(5, 5), 20, 0.0f, 1);
  circleGauge->SetThreshold(33);
  auto* rectangleGauge = new ERectangleGauge();
  rectangleGauge->Attach(&world);
  rectangleGauge->Set(ERectangle(EPoint(7, 8), 30, 20, 12));
  auto* wedgeGauge = new EWedgeGauge();
  wedgeGauge->Attach(&world);
  auto* component = new EBGAComponent();
  component->Attach(&world);
  auto* array = new EBGAArray();
  array->Attach(component);
  auto* ball = new EBGABall(1, 2, 0.5f, 1, 0);
  ball->Attach(array);
  for (EShape* s :
       std::vector<EShape*>{frame, point, line, grid, circle, wedge, pointGauge, lineGauge,
                            circleGauge, rectangleGauge, wedgeGauge, component, array, ball})
    s->SetAllocated(1, 0);  // owned by the world from here on
}

TEST(VimoTool, JsonRoundTripOfEveryClassIsByteIdentical) {
  EOk();
  EWorldShape world;
  BuildEveryClassTree(world);
  const std::string file = ScratchPath("every.vshp"), jsonPath = ScratchPath("every.json"),
                    back = ScratchPath("every_back.vshp");
  world.Save(file.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  Result r = Vimo({"tools", "export", file, "-o", jsonPath});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", back, "-q"}).code, 0);
  EXPECT_EQ(vimo_test::ReadFileBytes(back), vimo_test::ReadFileBytes(file));

  // The description names the API's values, independently of the file layout.
  const nlohmann::ordered_json d = nlohmann::ordered_json::parse(ReadText(jsonPath));
  const auto& root = d["root"];
  EXPECT_EQ(root["class"], "EWorldShape");
  EXPECT_EQ(root["Zoom"], nlohmann::ordered_json({2.0, 3.0}));
  EXPECT_EQ(root["TiltXAngle"], 3.0);
  EXPECT_EQ(root["PerspectiveStrength"], 0.25);
  const auto& frame = root["Daughters"][0];
  EXPECT_EQ(frame["Name"], "frame \xC3\xA9");
  EXPECT_EQ(frame["Angle"], 30.0);
  EXPECT_EQ(frame["Scale"], 1.5);
  EXPECT_EQ(frame["SizeX"], 40.0);
  EXPECT_EQ(frame["Daughters"][1]["Length"], 20.0);
  const auto& grid = root["Daughters"][1];
  EXPECT_TRUE(grid["Daughters"][0].is_null());
  EXPECT_EQ(grid["Daughters"][2]["Diameter"], 8.0);
  EXPECT_EQ(grid["Daughters"][2]["Amplitude"], 360.0);
  const auto& lineGauge = root["Daughters"][3];
  EXPECT_EQ(lineGauge["Angle"], 30.0);
  EXPECT_EQ(lineGauge["Length"], 60.0);
  EXPECT_EQ(lineGauge["Transition"]["ToleranceSegment"]["Tolerance"], 4.0);
  EXPECT_EQ(lineGauge["SkipRanges"], nlohmann::ordered_json({{2, 5}}));
  EXPECT_EQ(lineGauge["NumFilteringPasses"], 3);
  EXPECT_EQ(lineGauge["Transition"]["SamplingMode"], "GGE_SAMPLING_INTERPOLATED");
  EXPECT_EQ(lineGauge["Daughters"][0]["Transition"]["Threshold"], 33);
  EXPECT_EQ(root["Daughters"][2]["Daughters"][0]["Transition"]["TransitionType"], "GGE_DARK_BAR");
  EXPECT_EQ(root["Daughters"][4]["SizeY"], 20.0);

  // A tree under a frame is saved with the frame's file version, in which the rectangle gauge
  // record is shorter: that layout round trips too.
  EFrameShape top;
  ERectangleGauge gauge;
  gauge.Attach(&top);
  top.Save(file.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(Vimo({"tools", "export", file, "-o", jsonPath}).code, 0);
  ASSERT_EQ(Vimo({"tools", "import", jsonPath, "-o", back, "-q"}).code, 0);
  EXPECT_EQ(vimo_test::ReadFileBytes(back), vimo_test::ReadFileBytes(file));
}

// Hand-built files against hand-written descriptions, both ways: a named point shape, and the
// same with an old frame record (version 1, which carries a ratio) and a NaN coordinate.
TEST(VimoTool, JsonMatchesHandBuiltBytes) {
  EOk();
  using namespace vimo_test;
  auto pointFile = [](uint8_t frameVersion, float x) {
    std::vector<uint8_t> b = {0x45, 0x14, 0x04, 0x55};
    PutU32(b, 4);            // type: point shape
    PutU8(b, 1);             // class record
    PutU8(b, frameVersion);  // frame record
    PutU8(b, 1);             // point record
    PutF32(b, x);
    PutF32(b, 4);
    PutF32(b, 0.5235987755982988f);  // 30 degrees
    PutF32(b, 1);
    if (frameVersion == 1) PutF32(b, 0.75f);
    PutU8(b, 1);   // shape record
    PutI32(b, 1);  // dragging from a fixed point
    PutU32(b, 2);
    b.push_back('P');
    b.push_back('1');
    PutU32(b, 0x401);  // visible, active
    PutU32(b, 0);      // no daughters
    return b;
  };
  const std::string description = ScratchPath("hand.json"), file = ScratchPath("hand.vshp"),
                    back = ScratchPath("hand_back.vshp");
  WriteText(description, R"({"root": {"class": "EPointShape", "Name": "P1", "Center": [3, 4],
      "Angle": 30, "DraggingMode": "INS_DRAG_FROM_FIXED_POINT", "Flags": ["Visible", "Active"]}})");
  ASSERT_EQ(Vimo({"tools", "import", description, "-o", back, "-q"}).code, 0);
  EXPECT_EQ(ReadFileBytes(back), pointFile(2, 3));

  const float nan = std::nanf("");
  WriteFileBytes(file, pointFile(1, nan));
  Result r = Vimo({"tools", "export", file});
  ASSERT_EQ(r.code, 0) << r.err;
  const json d = json::parse(r.out);
  EXPECT_EQ(d["version"], 4);
  EXPECT_EQ(d["root"]["Center"], json({"NaN", 4.0}));
  EXPECT_EQ(d["root"]["Angle"], 30.0);
  EXPECT_EQ(d["root"]["FrameRatio"], 0.75);
  EXPECT_EQ(d["root"]["RecordVersions"], json({{"frame", 1}}));
  EXPECT_EQ(d["root"]["Flags"], json({"Visible", "Active"}));
  WriteText(description, r.out);
  ASSERT_EQ(Vimo({"tools", "import", description, "-o", back, "-q"}).code, 0);
  EXPECT_EQ(ReadFileBytes(back), pointFile(1, nan));
}

// A description that names only the class gives the file of a newly constructed shape.
TEST(VimoTool, LeftOutFieldsTakeTheClassDefaults) {
  EOk();
  const std::string description = ScratchPath("default.json"), file = ScratchPath("default.vshp"),
                    expected = ScratchPath("default_expected.vshp");
  EPointGauge point;
  ELineGauge line;
  ECircleGauge circle;
  ERectangleGauge rectangle;
  EWedgeGauge wedge;
  EFrameShape frame;
  EWorldShape world;
  EBGAArray array;
  const std::pair<const char*, EShape*> classes[] = {
      {"EPointGauge", &point},         {"ELineGauge", &line},   {"ECircleGauge", &circle},
      {"ERectangleGauge", &rectangle}, {"EWedgeGauge", &wedge}, {"EFrameShape", &frame},
      {"EWorldShape", &world},         {"EBGAArray", &array}};
  for (const auto& c : classes) {
    WriteText(description, std::string(R"({"root": {"class": ")") + c.first + "\"}}");
    ASSERT_EQ(Vimo({"tools", "import", description, "-o", file, "-q"}).code, 0) << c.first;
    c.second->Save(expected.c_str(), 0);
    EXPECT_EQ(vimo_test::ReadFileBytes(file), vimo_test::ReadFileBytes(expected)) << c.first;
  }
}

// A line gauge under a frame turned by 90 degrees and scaled by 0.5: the result is reported in
// world units and world directions, not in the frame's.
TEST(VimoTool, ResultsAreInWorldUnits) {
  EOk();
  const std::string image = ScratchPath("edge.pgm"), description = ScratchPath("edge.json"),
                    tools = ScratchPath("edge.vshp");
  // A vertical step edge at x = 100.5 (dark left, light right) in a 200 x 160 image.
  EImage<EBW8> step(200, 160);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 200; ++x) step.SetPixel(x <= 100 ? 40 : 200, x, y);
  step.Save(image.c_str());
  // Frame: pixel = (100, 80) + 0.5 x rotate90(local). The gauge lies along local X from
  // (-40, 0) to (40, 0), that is from pixel (100, 60) to (100, 100) along the edge.
  WriteText(description, R"({"root": {"class": "EFrameShape", "Center": [100, 80], "Angle": 90,
      "Scale": 0.5, "Daughters": [{"class": "ELineGauge", "Name": "edge", "Length": 80,
      "SamplingStep": 2, "Transition": {"HVConstraint": 1, "ToleranceSegment": {"Tolerance": 20}}}]}})");
  ASSERT_EQ(Vimo({"tools", "import", description, "-o", tools, "-q"}).code, 0);
  const Result r = Vimo({"measure", tools, image});
  ASSERT_EQ(r.code, 0) << r.err;
  const json g = JsonLines(r.out).at(0)["geometry"];
  ASSERT_TRUE(g.is_object()) << r.out;
  EXPECT_NEAR(g["x"].get<double>(), 100.5, 0.05);
  EXPECT_NEAR(g["y"].get<double>(), 80, 0.5);
  EXPECT_NEAR(g["length"].get<double>(), 40, 0.5);
  EXPECT_NEAR(std::fabs(g["angle"].get<double>()), 90, 0.2);
}

// A folder is measured image by image; an unreadable one gives an error line and exit code 3
// while the others are measured.
TEST(VimoTool, BatchOfAFolderGoesOnPastABadImage) {
  EOk();
  const std::string folder = ScratchPath("batch"), description = ScratchPath("batch.json"),
                    tools = ScratchPath("batch.vshp");
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 5; ++i)
    WriteDisc(folder + "/" + std::to_string(i) + ".pgm", 80, 60, 40 + i, 30, 15);
  WriteText(folder + "/2b.pgm", "P5\n80 60\n255\n");  // truncated pixels
  WriteText(description, CircleTools(42, 30, 30, 5, 1));
  ASSERT_EQ(Vimo({"tools", "import", description, "-o", tools, "-q"}).code, 0);
  const Result r = Vimo({"measure", tools, folder});
  EXPECT_EQ(r.code, 3);
  const std::vector<json> lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 6u);
  const char* order[] = {"0.pgm", "1.pgm", "2.pgm", "2b.pgm", "3.pgm", "4.pgm"};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NE(lines[i]["image"].get<std::string>().find(order[i]), std::string::npos);
    if (i == 3) {
      EXPECT_TRUE(lines[i].contains("error"));
    } else {
      ASSERT_TRUE(lines[i]["found"].get<bool>()) << i;
      EXPECT_NEAR(lines[i]["geometry"]["x"].get<double>(), 40 + (i > 3 ? i - 1 : i), 0.05);
    }
  }
  EXPECT_EQ(r.err.find('['), std::string::npos);  // no progress bar when not a terminal
}

// A 12-bit camera frame (a disc, 16 x the 8-bit levels) measured through --shift and --window.
TEST(VimoTool, MeasuresSixteenBitImagesThroughAShiftOrAWindow) {
  EOk();
  const std::string narrow = ScratchPath("disc8.pgm"), wide = ScratchPath("disc16.pgm"),
                    description = ScratchPath("disc16.json"), tools = ScratchPath("disc16.vshp");
  WriteDisc(narrow, 80, 60, 40.25, 30, 15);
  EImage<EBW8> grey;
  grey.Load(narrow.c_str());
  EImage<EBW16> frame(80, 60);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) frame.SetPixel(static_cast<EBW16>(grey.GetPixel(x, y) * 16), x, y);
  frame.Save(wide.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  WriteText(description, CircleTools(40, 30, 30, 5, 1));
  ASSERT_EQ(Vimo({"tools", "import", description, "-o", tools, "-q"}).code, 0);
  for (const std::vector<std::string>& option :
       {std::vector<std::string>{"--shift", "4"}, std::vector<std::string>{"--window", "0:4080"}}) {
    const Result r = Vimo({"measure", tools, wide, option[0], option[1]});
    ASSERT_EQ(r.code, 0) << r.err;
    const json line = JsonLines(r.out).at(0);
    ASSERT_TRUE(line["found"].get<bool>()) << option[0];
    EXPECT_NEAR(line["geometry"]["x"].get<double>(), 40.25, 0.05) << option[0];
    EXPECT_NEAR(line["geometry"]["diameter"].get<double>(), 30, 0.1) << option[0];
  }
  EXPECT_EQ(Vimo({"measure", tools, wide, "--window", "9:3"}).code, 2);
}

TEST(VimoTool, BadInputGivesOneLineTheExitCodeAndNoOutputFile) {
  EOk();
  const std::string image = ScratchPath("bad_disc.pgm"), tools = ScratchPath("bad_tools.vshp"),
                    notImage = ScratchPath("not_image.png"),
                    truncated = ScratchPath("truncated.vshp"), empty = ScratchPath("empty_folder"),
                    blank = ScratchPath("blank.pgm"), out = ScratchPath("bad_out.vshp"),
                    description = ScratchPath("bad.json");
  WriteDisc(image, 64, 48, 32, 24, 10);
  WriteDisc(blank, 64, 48, -100, -100, 1);
  WriteText(description, CircleTools(32, 24, 20, 3, 1));
  ASSERT_EQ(Vimo({"tools", "import", description, "-o", tools}).code, 0);
  WriteText(notImage, "this is text, not pixels");
  std::vector<uint8_t> bytes = vimo_test::ReadFileBytes(tools);
  bytes.resize(bytes.size() / 2);
  vimo_test::WriteFileBytes(truncated, bytes);
  std::filesystem::create_directories(empty);

  struct Case {
    std::string json;  // written to `description` first when not empty
    std::vector<std::string> args;
    int code;
    std::string mentions;  // the file or field the message names
  };
  const std::string wrongType = R"({"root": {"class": "ECircleGauge", "Diameter": "wide"}})";
  const std::string unknownClass = R"({"root": {"class": "EHexagonGauge"}})";
  const std::string unknownField =
      R"({"root": {"class": "EFrameShape", "Daughters": [{"class": "ELineGauge", "Colour": 3}]}})";
  const std::string refused = R"({"root": {"class": "ELineGauge", "SamplingStep": 0}})";
  const Case cases[] = {
      {"", {"measure", ScratchPath("missing.vshp"), image}, 3, "missing.vshp"},
      {"", {"measure", tools, ScratchPath("missing.png")}, 3, "missing.png"},
      {"", {"measure", tools, notImage}, 3, "not_image.png"},
      {"", {"measure", tools, empty}, 3, "empty_folder"},
      {"", {"measure", truncated, image}, 3, "truncated.vshp"},
      {"", {"tools", "export", truncated}, 3, "truncated"},
      {"", {"dump", notImage}, 3, "not_image.png"},
      {wrongType, {"tools", "import", description, "-o", out}, 3, "root.Diameter"},
      {unknownClass, {"tools", "import", description, "-o", out}, 3, "EHexagonGauge"},
      {unknownField, {"tools", "import", description, "-o", out}, 3, "Daughters[0].Colour"},
      {"{\"root\": ", {"tools", "import", description, "-o", out}, 3, "bad.json"},
      {refused, {"tools", "import", description, "-o", out}, 3, "bad.json"},
      {"", {"calibrate", blank, "--pitch", "5", "-o", out}, 1, "blank.pgm"},
      {"", {"calibrate", image, "--pitch", "0", "-o", out}, 2, "--pitch"},
      {"", {"calibrate", image, "--pitch", "nan", "-o", out}, 2, "--pitch"},
      {"", {"measure", tools}, 2, "IMAGES"},
      {"", {"unwarp", image, "--world", tools, "-o", out + ".png"}, 3, "bad_tools.vshp"},
  };
  for (const Case& c : cases) {
    if (!c.json.empty()) WriteText(description, c.json);
    const Result r = Vimo(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[0] << " " << c.args[1] << ": " << r.err;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
    if (c.code != 2) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(Exists(out)) << c.args[0];
    EXPECT_FALSE(Exists(out + ".png")) << c.args[0];
  }
  // Nothing half-written stays beside the outputs.
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(out).parent_path()))
    EXPECT_EQ(entry.path().string().find("vimo-partial"), std::string::npos) << entry.path();
}

TEST(VimoTool, HelpVersionAndExitCodesAreDocumented) {
  const Result version = Vimo({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_NE(version.out.find("vimo "), std::string::npos);
  const Result help = Vimo({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* code :
       {"0  success", "2  bad usage", "3  an input file", "4  with --require-found"})
    EXPECT_NE(help.out.find(code), std::string::npos) << code;
  for (const std::vector<std::string>& sub :
       std::vector<std::vector<std::string>>{{"calibrate"},
                                             {"measure"},
                                             {"unwarp"},
                                             {"draw"},
                                             {"dump"},
                                             {"tools", "import"},
                                             {"tools", "export"}}) {
    std::vector<std::string> args = sub;
    args.push_back("--help");
    const Result r = Vimo(args);
    EXPECT_EQ(r.code, 0) << sub[0];
    EXPECT_NE(r.out.find("Example"), std::string::npos) << sub[0];
  }
  EXPECT_EQ(Vimo({"frobnicate"}).code, 2);
}

}  // namespace
