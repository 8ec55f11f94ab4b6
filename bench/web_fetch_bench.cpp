// WebFetch of a 1 MB page from a loopback server against the plainest
// libcurl client: a fresh easy handle per fetch, writing to memory. Both
// fetch the same page from the same server in the same run.
#include <curl/curl.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/ratio_reporter.h"
#include "net/web_fetch.h"
#include "platform/inet/testing/http_server.h"

namespace {

constexpr size_t kPageSize = 1024 * 1024;

velk::testing::TestHttpServer& Server() {
  static velk::testing::TestHttpServer* server = [] {
    auto* s = new velk::testing::TestHttpServer();
    std::string page(kPageSize, 'p');
    for (size_t i = 0; i < page.size(); i += 64) page[i] = '\n';
    std::string reply = velk::testing::HttpResponse(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html", page);
    s->SetHandler([reply](const std::string&) {
      return velk::testing::Reply{velk::testing::ReplyStep::Send(reply)};
    });
    return s;
  }();
  return *server;
}

void BM_WebFetch(benchmark::State& state) {
  const velk::Text url(Server().HostPort() + "/search/ABC/");
  for (auto _ : state) {
    velk::FetchRequest request;
    request.url = url;
    velk::FetchResult result;
    velk::Bytes body = velk::WebFetch(request, result);
    if (static_cast<size_t>(body.length()) != kPageSize) {
      state.SkipWithError("short body");
      break;
    }
    benchmark::DoNotOptimize(body);
  }
}

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void BM_PlainCurl(benchmark::State& state) {
  const std::string url = "http://" + Server().HostPort() + "/search/ABC/";
  for (auto _ : state) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    if (body.size() != kPageSize) {
      state.SkipWithError("short body");
      break;
    }
    benchmark::DoNotOptimize(body);
  }
}

// The same client tuned as the inet service is: a 256 KiB receive buffer
// and the body's room reserved from its Content-Length. Shows how much of
// the difference is buffering rather than the service's own work.
size_t ReserveFromLength(char* data, size_t size, size_t count, void* user) {
  std::string_view line(data, size * count);
  if (line.size() > 15 && (line.substr(0, 15) == "Content-Length:" ||
                           line.substr(0, 15) == "content-length:")) {
    static_cast<std::string*>(user)->reserve(
        std::strtoull(std::string(line.substr(15)).c_str(), nullptr, 10));
  }
  return size * count;
}

void BM_TunedCurl(benchmark::State& state) {
  const std::string url = "http://" + Server().HostPort() + "/search/ABC/";
  for (auto _ : state) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, ReserveFromLength);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &body);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    if (body.size() != kPageSize) {
      state.SkipWithError("short body");
      break;
    }
    benchmark::DoNotOptimize(body);
  }
}

BENCHMARK(BM_PlainCurl)->Iterations(100)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_WebFetch)->Iterations(100)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_TunedCurl)->Iterations(100)->Repetitions(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  return velk::bench::RunWithRatios(
      argc, argv,
      {{"WebFetch / plain libcurl",
        "BM_WebFetch/iterations:100/repeats:3/real_time",
        "BM_PlainCurl/iterations:100/repeats:3/real_time", "<= 1.3"},
       {"WebFetch / tuned libcurl",
        "BM_WebFetch/iterations:100/repeats:3/real_time",
        "BM_TunedCurl/iterations:100/repeats:3/real_time", "for reference"}});
}
