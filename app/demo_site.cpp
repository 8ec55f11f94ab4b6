#include "app/demo_site.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>

extern char** environ;

namespace velk::testing {

DemoSite::DemoSite() {
  int out[2];
  if (pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  char python[] = "python3";
  char script[] = VELK_DEMO_SERVER;
  char portFlag[] = "--port";
  char anyPort[] = "0";
  char* argv[] = {python, script, portFlag, anyPort, nullptr};
  int spawned = posix_spawnp(&pid_, python, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    pid_ = -1;
    close(out[0]);
    return;
  }
  // The first line reads "serving on 127.0.0.1:<port>".
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p = {out[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[256];
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  size_t colon = line.rfind(':', line.find('\n'));
  if (line.rfind("serving on 127.0.0.1:", 0) == 0 &&
      colon != std::string::npos) {
    port_ = std::atoi(line.c_str() + colon + 1);
  }
}

DemoSite::~DemoSite() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string DemoSite::HostPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

RefusingPort::RefusingPort() {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
  if (fd_ >= 0) close(fd_);
}

std::string RefusingPort::HostPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

}  // namespace velk::testing
