#include "studio/studio_server.h"

#include <httplib.h>

#include <random>

#include "studio/studio_session.h"

namespace vimo_studio {

namespace {

std::string RandomToken() {
  std::random_device random;
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 32; ++i) token += kHex[random() & 15];
  return token;
}

// Compares without stopping at the first difference, so timing tells nothing of the token.
bool SameToken(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference |= a[i] ^ b[i];
  return difference == 0;
}

void Refuse(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_content(nlohmann::json{{"error", message}}.dump(
                           -1, ' ', false, nlohmann::json::error_handler_t::replace),
                       "application/json");
}

}  // namespace

StudioServer::StudioServer(StudioSession& session, std::string token)
    : m_Session(session),
      m_Token(token.empty() ? RandomToken() : token),
      m_Server(std::make_unique<httplib::Server>()) {
  httplib::Server& server = *m_Server;
  server.set_payload_max_length(kMaxRequestBody);
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        // Headers that keep the token out of other pages and the page out of frames and caches.
        response.set_header("Cache-Control", "no-store");
        response.set_header("Referrer-Policy", "no-referrer");
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("X-Frame-Options", "DENY");
        std::string token = request.get_header_value("X-Vimo-Token");
        if (token.empty()) token = request.get_param_value("token");
        if (!Allowed(request.get_header_value("Host"), token)) {
          Refuse(response, 403, "forbidden");
          return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
      });
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; img-src 'self' data:; style-src 'unsafe-inline'; "
                        "script-src 'unsafe-inline'; connect-src 'self'; frame-ancestors 'none'");
    response.set_content(StudioPage(), "text/html; charset=utf-8");
  });
  server.Get("/image.png", [this](const httplib::Request&, httplib::Response& response) {
    // The image never changes, but the session is read under the lock all the same.
    std::lock_guard<std::mutex> lock(m_SessionLock);
    if (m_Session.ImagePng().empty()) return Refuse(response, 404, "no PNG support");
    response.set_content(m_Session.ImagePng(), "image/png");
  });
  server.Post(
      R"(/api/([a-z]+))", [this](const httplib::Request& request, httplib::Response& response) {
        nlohmann::json arguments = nlohmann::json::object();
        if (!request.body.empty()) {
          arguments = nlohmann::json::parse(request.body, nullptr, false);
          if (arguments.is_discarded()) return Refuse(response, 400, "malformed JSON");
        }
        std::lock_guard<std::mutex> lock(m_SessionLock);
        try {
          // Names read from a tool file may hold bytes that are not UTF-8: they are
          // replaced rather than failing every answer.
          const nlohmann::json state = m_Session.Handle(request.matches[1], arguments);
          response.set_content(state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                               "application/json");
        } catch (const StudioError& e) {
          Refuse(response, e.Status, e.what());
        } catch (const std::exception& e) {
          Refuse(response, 500, e.what());
        }
      });
}

StudioServer::~StudioServer() { Stop(); }

bool StudioServer::Allowed(const std::string& host, const std::string& token) const {
  if (!SameToken(token, m_Token)) return false;
  // Only the loopback names, so that a page served from a name that resolves to this machine
  // (DNS rebinding) cannot reach the server.
  const std::string port = ":" + std::to_string(m_Port);
  for (const char* name : {"127.0.0.1", "localhost", "[::1]"})
    if (host == name || host == name + port) return true;
  return false;
}

int StudioServer::Bind(int port) {
  if (port == 0)
    m_Port = m_Server->bind_to_any_port("127.0.0.1");
  else
    m_Port = m_Server->bind_to_port("127.0.0.1", port) ? port : -1;
  return m_Port;
}

bool StudioServer::Run() { return m_Port > 0 && m_Server->listen_after_bind(); }

void StudioServer::Stop() {
  if (m_Server) m_Server->stop();
}

std::string StudioServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(m_Port) + "/?token=" + m_Token;
}

}  // namespace vimo_studio
