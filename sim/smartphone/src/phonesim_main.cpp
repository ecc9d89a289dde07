// phonesim: serves one simulated smartphone on a Unix-domain socket, for the
// smartphone terminal library stand-in (QUILLON_RALIX_SOCKET names the path).

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/tick.h"
#include "smartphone_sim/smartphone_server.h"

namespace {
const char kUsage[] = "usage: phonesim --socket PATH [--fail-transfers] [--fail-format] [--silent]\n";
volatile std::sig_atomic_t stopRequested = 0;
void OnStopSignal(int) { stopRequested = 1; }
}  // namespace

int main(int argc, char** argv) {
  std::string path;
  smartphone_sim::SessionFaults faults;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--socket") && i + 1 < argc) path = argv[++i];
    else if (!std::strcmp(argv[i], "--fail-transfers")) faults.failTransfers = true;
    else if (!std::strcmp(argv[i], "--fail-format")) faults.failFormat = true;
    else if (!std::strcmp(argv[i], "--silent")) faults.silent = true;
    else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fprintf(stderr, "phonesim: --socket PATH is needed\n");
    return 2;
  }
  smartphone_sim::SmartphoneServer server(faults);
  std::string error;
  if (!server.Start(path, &error)) {
    std::fprintf(stderr, "phonesim: cannot listen at %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::printf("phonesim: serving a smartphone at %s\n", path.c_str());
  std::fflush(stdout);
  while (!stopRequested) platform::SleepMs(50);
  server.Stop();
  return 0;
}
