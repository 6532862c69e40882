// kelvarn-bench-startup PROGRAM RUNS SIZE [PASSPHRASE]: starts PROGRAM on the X display of
// $DISPLAY RUNS times (after one unmeasured start that warms the caches) and watches the X
// server from outside: a start lasts from fork to the map of the program's first top-level
// window, which on a display without a window manager is when that window is exposed. With a
// PASSPHRASE that first window asks for it: it is typed (xdotool), and the start lasts from
// its Return to the map of the main window. Each run is ended half a second later, after its
// first paint. Prints the median as "startup_SIZE_ms" (or "unlock_to_window_SIZE_ms") and the
// program's largest resident memory half a second after its window showed as "rss_SIZE_mb".
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

double nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "kelvarn-bench-startup: %s\n", what);
  std::exit(1);
}

// Whether a window is larger than the 1x1 helper windows a toolkit may map.
bool isRealWindow(xcb_connection_t* x, xcb_window_t window) {
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr);
  const bool real = geometry != nullptr && geometry->width > 1 && geometry->height > 1;
  std::free(geometry);
  return real;
}

// Reads events until a window directly below the root is mapped (set in *mapped), or the
// deadline passes.
bool waitForMap(xcb_connection_t* x, xcb_window_t root, double deadlineMs,
                xcb_window_t* mapped = nullptr) {
  pollfd readable{xcb_get_file_descriptor(x), POLLIN, 0};
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
      const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
      const bool found = (event->response_type & 0x7f) == XCB_MAP_NOTIFY && map->event == root &&
                         !map->override_redirect && isRealWindow(x, map->window);
      if (found && mapped) *mapped = map->window;
      std::free(event);
      if (found) return true;
    }
    const double left = deadlineMs - nowMs();
    if (xcb_connection_has_error(x) || left <= 0) return false;
    poll(&readable, 1, static_cast<int>(left) + 1);
  }
}

void discardEvents(xcb_connection_t* x) {
  while (xcb_generic_event_t* event = xcb_poll_for_event(x)) std::free(event);
}

struct Run {
  double startMs;
  double rssMb;
};

double residentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

// Types the passphrase into the window that asks for it; the start is timed from its Return.
double typePassphrase(xcb_window_t window, const std::string& passphrase) {
  const std::string id = std::to_string(window);
  if (std::system(
          ("xdotool windowfocus --sync " + id + " type --delay 1 '" + passphrase + "'").c_str()) !=
      0)
    fail("xdotool could not type the passphrase");
  const double start = nowMs();
  if (std::system("xdotool key Return") != 0) fail("xdotool could not press Return");
  return start;
}

Run startOnce(xcb_connection_t* x, xcb_window_t root, const std::string& program,
              const std::string& log, const char* passphrase) {
  discardEvents(x);
  const double start = nowMs();
  const pid_t child = fork();
  if (child < 0) fail("fork failed");
  if (child == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  xcb_window_t asking = 0;
  bool mapped = waitForMap(x, root, start + 60000, &asking);
  const double from = mapped && passphrase ? typePassphrase(asking, passphrase) : start;
  if (mapped && passphrase) mapped = waitForMap(x, root, from + 60000);
  const double shown = nowMs();
  if (mapped) usleep(500000);
  const double rss = residentMb(child);
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  if (!mapped) fail("the program's window did not appear within 60 s (see its log)");
  return {shown - from, rss};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fputs("usage: kelvarn-bench-startup PROGRAM RUNS SIZE [PASSPHRASE]\n", stderr);
    return 2;
  }
  const char* passphrase = argc == 5 ? argv[4] : nullptr;
  const std::string program = argv[1];
  const int runs = std::max(1, std::atoi(argv[2]));
  const std::string size = argv[3];

  int screenNumber = 0;
  xcb_connection_t* x = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(x)) fail("cannot open the X display");
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
  const xcb_window_t root = screens.data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(x);

  const std::string log = program + ".log";
  startOnce(x, root, program, log, passphrase);
  std::vector<double> starts;
  double peak = 0;
  for (int i = 0; i < runs; ++i) {
    const Run run = startOnce(x, root, program, log, passphrase);
    starts.push_back(run.startMs);
    peak = std::max(peak, run.rssMb);
  }
  std::sort(starts.begin(), starts.end());
  std::printf("%s_%s_ms %.1f ms\n", passphrase ? "unlock_to_window" : "startup", size.c_str(),
              starts[starts.size() / 2]);
  std::printf("rss_%s_mb %.1f MB\n", size.c_str(), peak);
  xcb_disconnect(x);
  return 0;
}
