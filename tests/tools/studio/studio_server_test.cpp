// The studio's server and session without a browser: refusals (token, Host, size, JSON),
// serialised concurrent requests, drags by display pixels through a scaled world and zoom,
// parameter checks, and saving through a temporary file.
#include "studio/studio_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <thread>

#include "studio/studio_session.h"
#include "test_support.h"

using nlohmann::json;
using vimo_studio::StudioError;
using vimo_studio::StudioFiles;
using vimo_studio::StudioServer;
using vimo_studio::StudioSession;

namespace {

// 320 x 240, dark above row 150 and bright from it on: a horizontal edge at y = 149.5.
EImage<EBW8> EdgeImage() {
  EImage<EBW8> image(320, 240);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) image.SetPixel(y < 150 ? 40 : 200, x, y);
  return image;
}

class StudioServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EOk();
    tools_ = vimo_test::ScratchPath("studio_tools.vshp");
    std::filesystem::remove(tools_);
    session_ = std::make_unique<StudioSession>(StudioFiles{"edge", tools_, ""}, EdgeImage());
    server_ = std::make_unique<StudioServer>(*session_, "secret");
    ASSERT_GT(server_->Bind(0), 0);
    thread_ = std::thread([this] { server_->Run(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->Port());
    client_->set_connection_timeout(5);
    client_->set_read_timeout(10);
    headers_ = {{"X-Vimo-Token", "secret"}};
    while (!Post("state", "{}")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  void TearDown() override {
    server_->Stop();
    thread_.join();
  }
  httplib::Result Post(const std::string& action, const std::string& body) {
    return client_->Post(("/api/" + action).c_str(), headers_, body, "application/json");
  }
  json State() { return json::parse(Post("state", "{}")->body); }

  std::string tools_;
  std::unique_ptr<StudioSession> session_;
  std::unique_ptr<StudioServer> server_;
  std::thread thread_;
  std::unique_ptr<httplib::Client> client_;
  httplib::Headers headers_;
};

TEST_F(StudioServerTest, RefusesForeignRequestsAndBadBodiesWithoutChangingTheTree) {
  ASSERT_EQ(Post("add", R"({"type":"line"})")->status, 200);
  const json before = State();
  const std::string port = std::to_string(server_->Port());
  struct Case {
    const char* what;
    httplib::Headers headers;
    const char* method;
    std::string path, body;
    int status;
  } cases[] = {
      {"no token", {}, "GET", "/", "", 403},
      {"wrong token", {}, "GET", "/?token=secreT", "", 403},
      {"token in the header only", {{"X-Vimo-Token", "secret"}}, "GET", "/image.png", "", 200},
      {"foreign Host", {{"Host", "attacker.example:" + port}}, "GET", "/?token=secret", "", 403},
      {"loopback name", {{"Host", "localhost:" + port}}, "GET", "/?token=secret", "", 200},
      {"Host with another port", {{"Host", "127.0.0.1:1"}}, "GET", "/?token=secret", "", 403},
      {"no token on an action", {}, "POST", "/api/delete", "{}", 403},
      {"oversized body", headers_, "POST", "/api/rename",
       std::string(vimo_studio::kMaxRequestBody + 1, ' '), 413},
      {"malformed JSON", headers_, "POST", "/api/parameters", R"({"tolerance": 5,)", 400},
      {"not an object", headers_, "POST", "/api/parameters", "[5]", 400},
      {"wrong type", headers_, "POST", "/api/parameters", R"({"tolerance": "5"})", 400},
      {"thickness 0 beside a good value", headers_, "POST", "/api/parameters",
       R"({"tolerance": 5, "thickness": 0})", 400},
      {"step giving too many profiles", headers_, "POST", "/api/parameters",
       R"({"samplingStep": 1e-30})", 400},
      {"unknown parameter", headers_, "POST", "/api/parameters", R"({"tolerence": 5})", 400},
      {"unknown gauge class", headers_, "POST", "/api/add", R"({"type":"hexagon"})", 400},
      {"selection out of range", headers_, "POST", "/api/select", R"({"id": 7})", 400},
      {"duplicate-free empty name", headers_, "POST", "/api/rename", R"({"name": ""})", 400},
      {"pointer far outside", headers_, "POST", "/api/pointer", R"({"kind":"down","x":1e12,"y":0})",
       400},
      {"unknown action", headers_, "POST", "/api/format", "{}", 404},
  };
  for (const Case& c : cases) {
    httplib::Result r = std::string(c.method) == "GET"
                            ? client_->Get(c.path.c_str(), c.headers)
                            : client_->Post(c.path.c_str(), c.headers, c.body, "application/json");
    ASSERT_TRUE(r) << c.what;
    EXPECT_EQ(r->status, c.status) << c.what;
  }
  EXPECT_EQ(State(), before);
}

TEST_F(StudioServerTest, ConcurrentRequestsAreSerialised) {
  const int kThreads = 4, kRounds = 5;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([this, t] {
      httplib::Client client("127.0.0.1", server_->Port());
      static const char* kTypes[] = {"line", "circle", "rectangle", "wedge"};
      for (int i = 0; i < kRounds; ++i) {
        const json add = {{"type", kTypes[(t + i) % 4]}};
        client.Post("/api/add", headers_, add.dump(), "application/json");
        // Drags across the middle of the view, then a deletion every other round.
        for (const char* kind : {"down", "move", "up"})
          client.Post("/api/pointer", headers_,
                      json{{"kind", kind}, {"x", 400 + 3 * i}, {"y", 300 + t}}.dump(),
                      "application/json");
        if (i % 2) client.Post("/api/delete", headers_, "{}", "application/json");
      }
    });
  for (std::thread& t : threads) t.join();
  const json state = State();
  // Each deletion removes the selected gauge, which at least one add made; names stay unique.
  EXPECT_GE(state["gauges"].size(), size_t(kThreads * kRounds / 2));
  EXPECT_LE(state["gauges"].size(), size_t(kThreads * kRounds));
  std::set<std::string> names;
  for (const json& g : state["gauges"]) names.insert(g["name"].get<std::string>());
  EXPECT_EQ(names.size(), state["gauges"].size());
  std::function<void(EShape*)> check = [&](EShape* s) {
    s->CheckInvariants();
    for (unsigned i = 0; i < s->GetNumDaughters(); ++i) check(s->GetDaughter(i));
  };
  check(session_->World());
}

}  // namespace

// Drags by display pixels at zoom 2 through a world of 0.5 units per pixel: the saved tool file
// holds the geometry the display mapping predicts, and the line measures the edge.
TEST(StudioSession, DragsThroughZoomAndWorldIntoTheSavedFile) {
  EOk();
  const std::string tools = vimo_test::ScratchPath("studio_drag.vshp");
  const std::string worldFile = vimo_test::ScratchPath("studio_world.vshp");
  std::filesystem::remove(tools);
  EWorldShape reference;  // half a unit per pixel, calibrated from four landmarks
  reference.SetSensorSize(320, 240);
  for (float x : {0.0f, 300.0f})
    for (float y : {0.0f, 200.0f}) reference.AddLandmark(EPoint(x, y), EPoint(x / 2, y / 2));
  reference.Calibrate(E_CALIBRATION_SCALED);
  reference.Save(worldFile.c_str(), 0);
  ASSERT_EQ(EGetError(), E_OK);
  StudioSession session(StudioFiles{"edge", tools, worldFile}, EdgeImage());
  session.Handle("state", {{"width", 400}, {"height", 300}});
  session.Handle("view", {{"kind", "zoom"}, {"factor", 2}, {"x", 0}, {"y", 0}});
  json state = session.Handle("add", {{"type", "line"}});
  const json view = state["view"];
  ASSERT_FLOAT_EQ(view["zoom"].get<float>(), 2.0f);
  // Display to sensor by the display mapping, then to world through the calibration.
  auto toWorld = [&](int x, int y) {
    const double sx = (x + 0.5) / 2 - 0.5 - view["panX"].get<double>();
    const double sy = (y + 0.5) / 2 - 0.5 - view["panY"].get<double>();
    const EPoint w = reference.SensorToWorld(EPoint(float(sx), float(sy)));
    return std::make_pair(double(w.GetX()), double(w.GetY()));
  };
  const json line = state["gauges"][0]["nominal"];
  const auto centre = toWorld(200, 150);
  EXPECT_NEAR(line["x"].get<double>(), centre.first, 1e-4);
  EXPECT_NEAR(line["y"].get<double>(), centre.second, 1e-4);
  // The centre handle onto the edge: zoom 2 about display (0, 0) puts the pan at -0.25, so
  // sensor row 149.5 shows at display row 299. Then the end handle 24 display pixels down: the
  // line turns about its centre to the pointer.
  const int edgeRow = 299;
  session.Handle("pointer", {{"kind", "down"}, {"x", 200}, {"y", 150}});
  session.Handle("pointer", {{"kind", "move"}, {"x", 200}, {"y", 220}});
  state = session.Handle("pointer", {{"kind", "up"}, {"x", 200}, {"y", edgeRow}});
  ASSERT_TRUE(state["results"][0]["found"].get<bool>());
  EXPECT_NEAR(state["results"][0]["geometry"]["y"].get<double>(),
              reference.SensorToWorld(EPoint(100, 149.5f)).GetY(), 0.02);
  const auto moved = toWorld(200, edgeRow);
  const double half = state["gauges"][0]["nominal"]["length"].get<double>() / 2;
  int tipX = 0, tipY = 0;
  session.World()->GetDaughter(0)->LocalToDisplay(
      EPoint(float(moved.first + half), float(moved.second)), tipX, tipY);
  session.Handle("pointer", {{"kind", "down"}, {"x", tipX}, {"y", tipY}});
  state = session.Handle("pointer", {{"kind", "up"}, {"x", tipX}, {"y", tipY + 24}});
  EXPECT_TRUE(state["results"][0]["found"].get<bool>());
  session.Handle("save", json::object());
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(tools).parent_path()))
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();

  EFrameShape root;
  root.Load(tools.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(root.GetNumDaughters(), 1u);
  auto* saved = dynamic_cast<ELineGauge*>(root.GetDaughter(0));
  ASSERT_NE(saved, nullptr);
  const auto tip = toWorld(tipX, tipY + 24);
  const double dx = tip.first - moved.first, dy = tip.second - moved.second;
  EXPECT_NEAR(saved->GetCenterX(), moved.first, 1e-3);
  EXPECT_NEAR(saved->GetCenterY(), moved.second, 1e-3);
  EXPECT_NEAR(saved->GetLength(), 2 * std::hypot(dx, dy), 1e-3);
  EXPECT_NEAR(saved->GetAngle(), std::atan2(dy, dx) * 180 / 3.14159265358979, 1e-2);
  EXPECT_STREQ(saved->GetName(), "Line1");
}

// A tool file that cannot be written leaves no temporary file and reports 500; an invalid
// parameter set changes nothing, a valid one changes every edge of a rectangle gauge.
TEST(StudioSession, SaveFailureAndParameterEdits) {
  EOk();
  const std::string folder = vimo_test::ScratchPath("studio_missing_dir");
  std::filesystem::remove_all(folder);
  StudioSession session(StudioFiles{"edge", folder + "/tools.vshp", ""}, EdgeImage());
  session.Handle("add", {{"type", "rectangle"}});
  try {
    session.Handle("save", json::object());
    ADD_FAILURE() << "saving into a missing folder succeeded";
  } catch (const StudioError& e) {
    EXPECT_EQ(e.Status, 500);
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
  const json edits = {{"tolerance", 7.5}, {"transitionType", 1}, {"thickness", 3},
                      {"smoothing", 2},   {"threshold", 11},     {"filteringPasses", 2}};
  session.Handle("parameters", edits);
  auto* gauge = dynamic_cast<ERectangleGauge*>(session.Gauges().at(0));
  ASSERT_NE(gauge, nullptr);
  for (ETransition* t : {&gauge->GetTransitionx(), &gauge->GetTransitiony(),
                         &gauge->GetTransitionX(), &gauge->GetTransitionY()}) {
    EXPECT_FLOAT_EQ(t->GetTolerance(), 7.5f);
    EXPECT_EQ(t->GetTransitionType(), GGE_BRIGHT_TO_DARK);
    EXPECT_EQ(t->GetThickness(), 3u);
    EXPECT_EQ(t->GetSmoothing(), 2u);
    EXPECT_EQ(t->GetThreshold(), 11u);
  }
  EXPECT_EQ(gauge->GetNumFilteringPasses(), 2u);
}

// Deleting loaded and added gauges, saving and tearing down, for each way the tree is rooted:
// a tool file whose root is a world, with and without a world file, and a frame root.
TEST(StudioSession, DeletesAndSavesWhateverRootsTheTree) {
  EOk();
  const std::string tools = vimo_test::ScratchPath("studio_rooted.vshp");
  const std::string worldFile = vimo_test::ScratchPath("studio_rooted_world.vshp");
  EWorldShape calibrated;
  calibrated.SetSensorSize(320, 240);
  calibrated.Save(worldFile.c_str(), 0);
  for (const bool worldRoot : {true, false})
    for (const bool withWorldFile : {true, false}) {
      SCOPED_TRACE(testing::Message()
                   << "world root " << worldRoot << ", world file " << withWorldFile);
      {
        std::unique_ptr<EShape> root;
        if (worldRoot) {
          auto w = std::make_unique<EWorldShape>();
          w->SetSensorSize(320, 240);
          root = std::move(w);
        } else {
          root = std::make_unique<EFrameShape>();
        }
        ELineGauge outer, kept;
        EPointGauge inner;
        outer.Set(EPoint(100, 150), 60, 0);
        outer.SetName("Outer");
        inner.SetName("Inner");
        kept.Set(EPoint(200, 150), 60, 0);
        kept.SetName("Kept");
        outer.Attach(root.get());
        inner.Attach(&outer);
        kept.Attach(root.get());
        root->Save(tools.c_str(), 1);
        ASSERT_EQ(EGetError(), E_OK);
      }
      {
        StudioSession session(StudioFiles{"edge", tools, withWorldFile ? worldFile : ""},
                              EdgeImage());
        ASSERT_EQ(session.Gauges().size(), 3u);
        session.Handle("select", {{"id", 0}});  // Outer, with Inner beneath it
        session.Handle("delete", json::object());
        session.Handle("add", {{"type", "circle"}});
        session.Handle("add", {{"type", "line"}});
        session.Handle("delete", json::object());  // the added line
        session.Handle("save", json::object());
        session.Handle("save", json::object());
        json state = session.Handle("state", json::object());
        ASSERT_EQ(state["gauges"].size(), 2u);
      }
      StudioSession reloaded(StudioFiles{"edge", tools, ""}, EdgeImage());
      std::vector<std::string> names;
      for (EShape* g : reloaded.Gauges()) names.push_back(g->GetName());
      EXPECT_EQ(names, (std::vector<std::string>{"Kept", "Circle1"}));
    }
}
