#include "server/listen_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace kirune::serve {
namespace {

std::string url(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
}

}  // namespace

std::vector<std::string> openableUrls(const std::string& host, int port) {
  const bool any4 = host == "0.0.0.0";
  const bool any6 = host == "::";
  if (!any4 && !any6) return {url(host, port)};
  std::vector<std::string> outside;
  std::vector<std::string> loopback;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
      if (!i->ifa_addr || !(i->ifa_flags & IFF_UP)) continue;
      char text[INET6_ADDRSTRLEN] = {};
      const int family = i->ifa_addr->sa_family;
      if (family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text);
      } else if (family == AF_INET6 && any6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr;
        // A link-local address needs the interface's name as well, which browsers do not take.
        if (IN6_IS_ADDR_LINKLOCAL(&a)) continue;
        inet_ntop(AF_INET6, &a, text, sizeof text);
      } else {
        continue;
      }
      auto& into = (i->ifa_flags & IFF_LOOPBACK) ? loopback : outside;
      const std::string u = url(text, port);
      if (std::find(into.begin(), into.end(), u) == into.end()) into.push_back(u);
    }
    freeifaddrs(list);
  }
  outside.insert(outside.end(), loopback.begin(), loopback.end());
  if (outside.empty()) outside.push_back(url(any6 ? "::1" : "127.0.0.1", port));
  return outside;
}

}  // namespace kirune::serve
