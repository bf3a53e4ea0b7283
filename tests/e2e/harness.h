// A private X server, the real wanderlink binary in it, and the means to look and poke at it:
// pixels read back from the screen, real input events from xdotool, a stand-in browser.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
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

// Checks, as test expectations, that image shows the starting scene: every edge of the cube
// where the camera puts it, but the one the address covers, and the sphere resting at (3, 3, 3).
void expectRestingScene(const Image &image);

// Whether a pixel of the class lies within radius pixels of p.
bool near(const Image &image, Pixel p, bool (*is)(Rgb), int radius = 2);

// How many pixels of the class the image holds, and their centre.
int count(const Image &image, bool (*is)(Rgb));
Pixel centroid(const Image &image, bool (*is)(Rgb));

// The share of pixels within radius of p that are of the class.
double share(const Image &image, Pixel p, bool (*is)(Rgb), int radius);

// An Xvfb of the test's own, on a display number the server picks itself.
struct Xserver {
    Xserver();
    struct None {
    };
    explicit Xserver(None) {} // no server: for starting the program without a display
    ~Xserver();
    std::string display; // ":N"; empty: DISPLAY is left unset
    pid_t pid = -1;
    void *connection = nullptr; // Display*
};

struct Geometry {
    int x, y, width, height;
};

// The first mapped top-level window whose title holds titlePart, or 0.
unsigned long viewableWindow(Xserver &x, const std::string &titlePart = "");
Geometry geometry(Xserver &x, unsigned long window); // in root coordinates
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
// which the X server reports as damage; a connection of its own keeps the reports apart.
struct FrameCounter {
    FrameCounter(Xserver &x, unsigned long window);
    ~FrameCounter();
    FrameCounter(const FrameCounter &) = delete;
    FrameCounter &operator=(const FrameCounter &) = delete;
    long frames(); // since the counter was made

  private:
    void *connection = nullptr; // Display*
    unsigned long damage = 0;
    int eventBase = 0;
    long count = 0;
};

// How the stand-in xdg-open behaves when the program starts it.
enum class Browser { records, missing, notExecutable, fails, hangs };

// The real binary, started in a process group of its own so that the browsers it starts can
// be ended with it. A clock speed above 1 runs the program's clock that many times faster
// (libfaketime): frames, timers and launches come sooner, and nothing else changes. The binary
// is the build's own unless another is named.
struct App {
    explicit App(Xserver &x, Browser browser = Browser::records, int clockSpeed = 1,
                 const std::string &binary = "");
    ~App();

    Xserver &x;
    pid_t pid = -1;
    std::string dir;        // scratch folder: stand-in browser and its log
    int out = -1, err = -1; // the program's standard output and error, non-blocking
    std::string stdoutText, stderrText;
    unsigned long window = 0; // X window id

    void waitForWindow(); // mapped and showing a first frame
    Geometry geometry();  // of the window, in root coordinates
    Image grab(int width = 450, int height = 400);
    void xdotool(const std::vector<std::string> &arguments);
    bool keepsDrawing(); // the picture changes within a second
    void drain();        // reads what the program has written so far
    bool waitForExit(int &status, double seconds);
    std::vector<std::string> launches(); // one "argc:argv[1]" line per browser start
    std::vector<std::string> waitForLaunches(size_t count, double seconds);
    int zombieChildren();
    long residentKiB(); // from /proc
    int openFiles();    // descriptors the program holds
    bool alive();
};

void sleepFor(double seconds);

// The fields of /proc/PID/stat from the third, the state, on; none where the process is gone.
std::vector<std::string> statFields(const std::string &pid);

// Writes image as a binary PPM, for looking at what a test saw.
void savePpm(const Image &image, const std::string &path);

} // namespace e2e
