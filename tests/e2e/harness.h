// A private X server, the real wanderlink binary in it, and the means to look and poke at it:
// pixels read back from the screen, real input events from xdotool, a stand-in browser.
#pragma once

#include "app/scene.h"

#include <gtest/gtest.h>

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace e2e
{

struct Rgb {
    int r, g, b;
    bool operator!=(const Rgb &o) const
    {
        return r != o.r || g != o.g || b != o.b;
    }
};

// The top left of the screen as read back from the X server, where the window sits.
struct Image {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb at(int px, int py) const
    {
        return pixels[static_cast<size_t>(py * width + px)];
    }
    bool contains(int px, int py) const
    {
        return px >= 0 && py >= 0 && px < width && py < height;
    }
};

// Where a scene point lands in a window of the given size, turned by spin degrees: the
// program's camera (eye at z = 45, 50 degree field of view, aspect 1) worked out by hand.
struct Pixel {
    double x, y;
};
Pixel project(double x, double y, double z, double spinDegrees = 0, int width = 450,
              int height = 400);

double distance(Pixel a, Pixel b);

// Midpoints of the cube's twelve edges, which span -13.5..13.5, on the screen.
std::vector<Pixel> cubeEdgeMidpoints(double spinDegrees = 0, int width = 450, int height = 400);

// Colour classes of the scene's parts.
bool isBackground(Rgb c);
bool isDrawn(Rgb c); // anything but the background
bool isBlue(Rgb c);  // the cube's edges seen head on, and the sphere's side under light 0
bool isGreen(Rgb c); // the sphere, whichever way the light falls
bool isWhite(Rgb c); // the letters and the address, every channel high

// Checks, as test expectations, that image shows the starting scene: every edge of the cube
// where the camera puts it, but the one the address covers, the sphere resting at (3, 3, 3),
// and its letters and the address in white.
void expectRestingScene(const Image &image);

// Whether a pixel of the class lies within radius pixels of p.
bool near(const Image &image, Pixel p, bool (*is)(Rgb), int radius = 2);

// How many pixels of the class the image holds, and their centre.
int count(const Image &image, bool (*is)(Rgb));
Pixel centroid(const Image &image, bool (*is)(Rgb));

// The share of pixels within radius of p that are of the class.
double share(const Image &image, Pixel p, bool (*is)(Rgb), int radius);

// Where a test's program runs: the kind of desktop a user would have, Mesa's renderer, and the
// processor the program is built for.
struct Session {
    const char *name;          // ends the test's name
    int refreshHz = 0;         // the display's rate; 0 for one that names none, as Xvfb's
    bool wayland = false;      // an X display in a Wayland session, through XWayland
    const char *renderer = ""; // GALLIUM_DRIVER; empty for Mesa's default, llvmpipe
    // A build for another processor, run by the emulator, with its own libraries and Mesa;
    // empty for this build's own program. Emulated, Mesa takes a while to its first frame.
    const char *emulator = "";
    const char *program = "";
    double firstFrameSeconds = 20;
    // Frames that wait as a GPU driver's do (the probe's), for a display refreshing this often,
    // or, at -1, for the display the window is on; 0 for the driver's own, which waits for
    // nothing in Mesa's software renderers. The wait comes in the swap or in the next frame's
    // first GL call.
    int waitingHz = 0;
    bool waitsInFirstCall = false;
    // A second display, to the right of the first, at this rate: the window opens on it.
    int rightHz = 0;
    // The rate frames are to come at, at first: that of the display the window opens on, as
    // it shows them.
    double shownHz() const;
};

// Xvfb: the X server most tests use. Its one mode names no rate, so frames keep to 60 a second.
extern const Session xvfb;
// Mesa's other software renderer, where undefined results of GL come out otherwise.
extern const Session softpipe;
// Displays whose modes name their rates: Xorg with its dummy video driver.
extern const Session at75Hz, at50Hz;
// A Wayland session: Weston, with XWayland for X programs.
extern const Session wayland;
// The arm64 package's program under qemu-user, on Xvfb; skipped where none was made.
extern const Session arm64;
// Xvfb, with the swap waiting for a display of 60 Hz as on a machine with a GPU; and for one
// that shows 30 frames a second, though it names no rate, so that the program takes it for 60.
extern const Session waitingSwap, shownAt30Hz;
// Xorg with two displays, at 144 Hz and, to its right, at 60 Hz, where the window opens: frames
// that wait for nothing, frames that wait in the swap for the display the window is on, as a
// GPU's do, and that wait in the next frame's first GL call.
extern const Session twoDisplays, twoDisplaysWaitingSwap, twoDisplaysWaitingClear;

std::string sessionName(const ::testing::TestParamInfo<Session> &info);
void PrintTo(const Session &session, std::ostream *out); // in GoogleTest's messages

// Thrown where this machine cannot start a session's servers: Xorg or Weston not installed,
// or Xorg refused by the system.
struct Unavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The X server of a test's own, on a display number the server picks itself: Xvfb; Xorg in a
// mode of the session's rate; or, for a Wayland session, Weston on an Xvfb of its own, which
// stands in for the screen, mouse and keyboard, with XWayland for X programs.
struct Xserver {
    explicit Xserver(const Session &session = xvfb);
    struct None {
    };
    explicit Xserver(None) {} // no server: for starting the program without a display
    ~Xserver();
    Xserver(const Xserver &) = delete;
    Xserver &operator=(const Xserver &) = delete;
    std::string display; // ":N", where programs run
    // What a program started in the session finds in its environment; a setting with an empty
    // value is left out.
    std::vector<std::string> environment;
    std::string screen;         // the X display that shows the picture and takes input
    void *connection = nullptr; // Display*, to display
    void *screenConnection = nullptr;
    bool composited = false;    // the screen shows windows through a compositor (Weston)
    bool watching = false;      // for windowsMade
    std::vector<pid_t> servers; // in the order started
    std::string scratch;        // configuration, logs and runtime files

  private:
    void stop();
};

struct Geometry {
    int x, y, width, height;
};

// The first viewable window whose title holds titlePart, top-level or inside the frame a window
// manager put around it; or 0.
unsigned long viewableWindow(Xserver &x, const std::string &titlePart = "");
Geometry geometry(Xserver &x, unsigned long window); // in root coordinates
// The top-level windows made on x since the last call; the first call starts the count.
int windowsMade(Xserver &x);
// The window's WM_CLASS as "instance/class", and the items of a property of 32-bit ones
// (CARDINAL): empty where unset.
std::string windowClass(Xserver &x, unsigned long window);
std::vector<unsigned long> cardinals(Xserver &x, unsigned long window, const char *property);
// The screen's pixels in the rectangle with the given top left corner and size.
Image grab(Xserver &x, int left, int top, int width, int height);
// The window's own pixels, even where other windows cover it, once keepContents has asked the
// server to keep them.
void keepContents(Xserver &x, unsigned long window);
Image grabWindow(Xserver &x, unsigned long window);
void xdotool(Xserver &x, const std::vector<std::string> &arguments);
// Runs a command from PATH, with settings added to the environment, and waits for it: whether
// it started and ended with status 0.
bool run(std::vector<std::string> args, const std::vector<std::string> &settings = {});
// Calls check until it holds, for at most the given time.
bool eventually(const std::function<bool()> &check, double seconds);
// How long check takes to hold, called every few milliseconds; infinity past the given time.
double timeUntil(const std::function<bool()> &check, double seconds);

// Counts the frames a window shows. Each buffer swap draws the whole window in one request,
// which the X server reports as damage, with the server's time; a connection of its own keeps
// the reports apart. Beside it, a thread that asks to wake every millisecond notes where the
// machine itself stood still, waking 20 ms late or more: a virtual machine stops every process
// at once now and then (here an idle process's 33 ms, as the program's frame took as long with
// a millisecond of work). What the program does in the time the machine ran is its own.
struct FrameCounter {
    FrameCounter(Xserver &x, unsigned long window);
    ~FrameCounter();
    FrameCounter(const FrameCounter &) = delete;
    FrameCounter &operator=(const FrameCounter &) = delete;
    long frames();           // since the counter was made
    long longestGapMillis(); // between two frames since then, less where the machine stood still
    // A time in which the X server itself stands still, as while it sets a mode: taken out of
    // the gaps between frames, and out of the time frames are counted in, as a still is.
    void excuse(double from, double to);
    double stillSeconds(double from, double to); // where it did, between two times of now()
    // The share of the processors the hypervisor ran something else on, between two times:
    // /proc/stat's steal, which a virtual machine loses in pieces too short to see as stills.
    double stolenShare(double from, double to);

  private:
    void read();
    void *connection = nullptr; // Display*
    unsigned long damage = 0;
    int eventBase = 0;
    long count = 0;
    unsigned long last = 0; // server time of the last frame, ms
    long longest = 0;
    std::vector<std::pair<double, double>> stills; // from and to, by now()
    std::vector<std::pair<double, double>> steals; // by now(), the seconds stolen so far
    std::mutex stillsLock;                         // and steals
    std::atomic<bool> watching{true};
    std::thread watch;
};

// Seconds on the monotonic clock, which the probe's log uses too.
double now();

// Whether a program can be judged too slow over a time in which the hypervisor took that share
// of the processors (FrameCounter::stolenShare): not from a twentieth on, as it takes it in pieces
// that each cost a refresh or more, and then frames are lost whatever the program does. Prints the
// share, for a failure.
bool slownessJudged(double stolenShare, const std::string &what);

// Where a frame drew the sphere, as the probe saw it, and the move ticks the program had taken
// by then: counted from the sphere's progress along the moves its random seed gives; -1 where
// it was on none (many presses since the last frame), and the counts after it no longer tell
// the ticks from before.
struct Sighting {
    double seconds;
    Position at;
    long ticks;
};

// How the stand-in xdg-open behaves when the program starts it.
enum class Browser { records, missing, notExecutable, fails, hangs };

// The real binary, started in a process group of its own so that the browsers it starts can
// be ended with it. A clock speed above 1 runs the program's clock that many times faster
// (libfaketime): frames, timers and launches come sooner, and nothing else changes. The binary
// is the build's own unless another is named, and gets the arguments given. With the probe
// preloaded, where each frame draws the sphere is logged (sightings), and the swap waits where the
// session says so.
struct App {
    explicit App(Xserver &x, Browser browser = Browser::records, int clockSpeed = 1,
                 const std::string &binary = "", const std::vector<std::string> &arguments = {},
                 bool probe = false);
    ~App();

    Xserver &x;
    pid_t pid = -1;
    long startedAt = 0;     // the calendar's seconds as it started: the seed is one a little later
    std::string dir;        // scratch folder: stand-in browser and its log
    int out = -1, err = -1; // the program's standard output and error, non-blocking
    std::string stdoutText, stderrText;
    unsigned long window = 0; // X window id

    void waitForWindow(double seconds = 20);       // mapped and showing a first frame
    Geometry geometry();                           // of the window, in root coordinates
    Image grab(int width = 450, int height = 400); // the window as the screen shows it
    void xdotool(const std::vector<std::string> &arguments);
    void moveTo(int px, int py); // the pointer, to a point of the window
    bool keepsDrawing();         // the picture changes within a second
    void drain();                // reads what the program has written so far
    bool waitForExit(int &status, double seconds);
    std::vector<std::string> launches(); // one "argc:argv[1]" line per browser start
    std::vector<std::string> waitForLaunches(size_t count, double seconds);
    std::vector<Sighting> sightings(); // so far, in order; the probe's
    int zombieChildren();
    long residentKiB();  // from /proc
    int openFiles();     // descriptors the program holds
    double cpuSeconds(); // the processor time the program has had, all its threads
    bool alive();
};

// A test on the session its parameter names, with the program showing its first frame there.
// Where this machine cannot start that session, the test is skipped and says why.
class InSession : public ::testing::TestWithParam<Session>
{
  protected:
    void SetUp() override;
    int clockSpeed = 1;
    bool probe = false; // always, where the session's swap waits
    std::unique_ptr<Xserver> x;
    std::unique_ptr<App> app;
};

void sleepFor(double seconds);

// The whole of a file, as bytes; empty where it cannot be read.
std::string readFile(const std::string &path);

// The fields of /proc/PID/stat from the third, the state, on; none where the process is gone.
std::vector<std::string> statFields(const std::string &pid);
// The ids of the processes there are now, zombies too.
std::vector<std::string> processIds();

// Writes image as a binary PPM, for looking at what a test saw.
void savePpm(const Image &image, const std::string &path);

} // namespace e2e
