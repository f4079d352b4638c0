// The studio's HTTP server: serves the page, the image and the session's actions on the
// loopback interface. Every request must carry the session token and a loopback Host header;
// bodies are bounded; the session is driven by one request at a time.
#ifndef VIMO_TOOLS_STUDIO_SERVER_H
#define VIMO_TOOLS_STUDIO_SERVER_H

#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
}

namespace vimo_studio {

class StudioSession;

// The largest request body accepted; a longer one is refused with 413.
const size_t kMaxRequestBody = 64 * 1024;

class StudioServer {
 public:
  // An empty token draws a random one (128 bits, hex).
  explicit StudioServer(StudioSession& session, std::string token = "");
  ~StudioServer();
  StudioServer(const StudioServer&) = delete;
  StudioServer& operator=(const StudioServer&) = delete;

  // Binds 127.0.0.1 on the given port, or a free one for 0; returns the port, -1 on failure.
  int Bind(int port = 0);
  // Serves until Stop; returns false when it could not serve.
  bool Run();
  void Stop();

  int Port() const { return m_Port; }
  const std::string& Token() const { return m_Token; }
  // The page's address with the token.
  std::string Url() const;

 private:
  bool Allowed(const std::string& host, const std::string& token) const;

  StudioSession& m_Session;
  std::mutex m_SessionLock;  // the library is used from one thread at a time
  std::string m_Token;
  int m_Port = -1;
  std::unique_ptr<httplib::Server> m_Server;
};

// The page: HTML, CSS and script in one document.
const char* StudioPage();

}  // namespace vimo_studio

#endif
