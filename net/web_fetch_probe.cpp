// Runs one WebFetch from its arguments and prints what the caller sees.
//
//   web_fetch_probe url=<hex> [postText=<hex>] [postBytes=<hex>]
//       [headers=<hex>] [cookies=<hex>] [proxy=<hex>] [method=<decimal>]
//       [cookiesGiven=0|1] [proxyGiven=0|1] [noRedirect=0|1]
//
// Byte values are written in hex, "-" for empty; a key left out is absent.
// Prints the returned body, the result's fields and the request's updated
// fields, one per line, each as hex.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/web_fetch.h"

namespace {

bool FromHex(std::string_view hex, std::string& out) {
  out.clear();
  if (hex == "-") return true;
  if (hex.size() % 2 != 0) return false;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = digit(hex[i]);
    int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
  }
  return true;
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

int Usage(const char* why) {
  std::fprintf(stderr, "web_fetch_probe: %s\n", why);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  velk::FetchRequest request;
  bool haveUrl = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    size_t equals = arg.find('=');
    if (equals == std::string_view::npos) return Usage("expected key=value");
    std::string_view key = arg.substr(0, equals);
    std::string_view value = arg.substr(equals + 1);
    std::string bytes;
    if (key == "method") {
      request.method = std::atoi(std::string(value).c_str());
    } else if (key == "cookiesGiven" || key == "proxyGiven" ||
               key == "noRedirect") {
      if (value != "0" && value != "1") return Usage("flags are 0 or 1");
      bool on = value == "1";
      (key == "cookiesGiven" ? request.cookiesGiven
       : key == "proxyGiven" ? request.proxyGiven
                             : request.noRedirect) = on;
    } else if (!FromHex(value, bytes)) {
      return Usage("bad hex value");
    } else if (key == "url") {
      request.url = velk::Text(bytes);
      haveUrl = true;
    } else if (key == "postText") {
      request.postText = velk::Text(bytes);
    } else if (key == "postBytes") {
      request.postBytes = velk::Bytes(bytes);
    } else if (key == "headers") {
      request.headers = velk::Text(bytes);
    } else if (key == "cookies") {
      request.cookies = velk::Text(bytes);
    } else if (key == "proxy") {
      request.proxy = velk::Text(bytes);
    } else {
      return Usage("unknown key");
    }
  }
  if (!haveUrl) return Usage("url is required");

  velk::FetchResult result;
  velk::Bytes body = velk::WebFetch(request, result);
  std::printf("body len=%d hex=%s\n", body.length(),
              ToHex(body.view()).c_str());
  std::printf("rawHeaders hex=%s\n", ToHex(result.rawHeaders.view()).c_str());
  std::printf("returnedCookies hex=%s\n",
              ToHex(result.returnedCookies.view()).c_str());
  std::printf("location hex=%s\n", ToHex(result.location.view()).c_str());
  std::printf("headers hex=%s\n", ToHex(request.headers.view()).c_str());
  std::printf("cookies hex=%s\n", ToHex(request.cookies.view()).c_str());
  std::printf("postBytes hex=%s\n", ToHex(request.postBytes.view()).c_str());
  return 0;
}
