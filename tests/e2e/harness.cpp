// Test harness for the whole program under a private Xvfb.
#include "harness.h"

#include "wander/wander.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace e2e
{

namespace
{

const double pi = 3.14159265358979323846;

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> result;
    for (auto &s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// The environment of the test, with the given "NAME=value" variables replaced or added, and
// those given as "NAME=" with an empty value left out.
std::vector<std::string> environmentWith(const std::vector<std::string> &overrides)
{
    std::vector<std::string> result;
    for (char **e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto &o : overrides)
            replaced |= entry.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0;
        if (!replaced)
            result.push_back(entry);
    }
    for (const auto &o : overrides)
        if (o.back() != '=')
            result.push_back(o);
    return result;
}

void writeFile(const std::string &path, const std::string &text, bool executable)
{
    std::ofstream(path) << text;
    if (executable)
        chmod(path.c_str(), 0755);
}

Display *xdisplay(Xserver &x)
{
    return static_cast<Display *>(x.connection);
}

} // namespace

double now()
{
    using namespace std::chrono; // the monotonic clock, on Linux
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Seconds the hypervisor has run something else while this machine's processors were due to
// run, a processor's share.
static double stolenSeconds()
{
    std::istringstream cpu(readFile("/proc/stat")); // "cpu" and its times, steal the eighth
    std::string name;
    double times[8] = {};
    cpu >> name;
    for (double &t : times)
        cpu >> t;
    return times[7] / static_cast<double>(sysconf(_SC_CLK_TCK) * sysconf(_SC_NPROCESSORS_ONLN));
}

bool slownessJudged(double stolenShare, const std::string &what)
{
    ::testing::Test::RecordProperty("stolen_" + what, std::to_string(stolenShare));
    const bool judged = stolenShare < 0.05;
    std::printf("%s: %.1f %% of the time stolen%s\n", what.c_str(), stolenShare * 100,
                judged ? "" : ", too slow not judged");
    return judged;
}

void sleepFor(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

Pixel project(double x, double y, double z, double spinDegrees, int width, int height)
{
    const double f = 1.0 / std::tan(25.0 * pi / 180.0); // half of the 50 degree field of view
    const double a = spinDegrees * pi / 180.0;
    const double xs = x * std::cos(a) + z * std::sin(a);
    const double zs = -x * std::sin(a) + z * std::cos(a);
    const double depth = 45.0 - zs; // the eye sits at z = 45
    const double ndcX = f * xs / depth;
    const double ndcY = f * y / depth;
    return {(ndcX + 1) / 2 * width, height - (ndcY + 1) / 2 * height};
}

double distance(Pixel a, Pixel b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

std::vector<Pixel> cubeEdgeMidpoints(double spinDegrees, int width, int height)
{
    const double h = 13.5;
    std::vector<Pixel> points;
    for (double a : {-h, h})
        for (double b : {-h, h}) {
            points.push_back(project(0, a, b, spinDegrees, width, height));
            points.push_back(project(a, 0, b, spinDegrees, width, height));
            points.push_back(project(a, b, 0, spinDegrees, width, height));
        }
    return points;
}

void expectRestingScene(const Image &image)
{
    for (Pixel edge : cubeEdgeMidpoints()) {
        if (edge.y > 360 && edge.x > 200 && edge.x < 260)
            continue; // the bottom front edge, under the address
        EXPECT_TRUE(near(image, edge, isBlue)) << "edge at " << edge.x << "," << edge.y;
    }
    // The sphere, radius 1, is green around its centre.
    const Pixel rest = project(3, 3, 3);
    EXPECT_GT(share(image, rest, isGreen, 6), 0.7);
    EXPECT_LT(distance(centroid(image, isGreen), rest), 3);
    // q,q,q to its lower right and the address along the bottom front edge, drawn in white:
    // about 90 and 400 pixels of it, and none where the text came out dark.
    auto whiteBetween = [&](Pixel a, Pixel b) {
        int n = 0;
        for (int y = int(std::min(a.y, b.y)); y <= int(std::max(a.y, b.y)); ++y)
            for (int x = int(std::min(a.x, b.x)); x <= int(std::max(a.x, b.x)); ++x)
                n += image.contains(x, y) && isWhite(image.at(x, y));
        return n;
    };
    EXPECT_GE(whiteBetween(project(4, 0.8, 4), project(7.5, 2.4, 4)), 40) << "the letters";
    EXPECT_GE(whiteBetween(project(1, -13.6, 12), project(12.5, -12.1, 12)), 200) << "the address";
}

bool isBackground(Rgb c)
{
    return c.r < 8 && c.g < 8 && std::abs(c.b - 26) <= 3; // clear colour (0, 0, 0.1)
}

bool isDrawn(Rgb c)
{
    return !isBackground(c);
}

bool isBlue(Rgb c)
{
    // Strong blue ambient; the lights add some red and green, more as the scene turns.
    return c.b >= 150 && c.b >= c.r + 80 && c.b >= c.g + 80;
}

bool isWhite(Rgb c)
{
    return c.r >= 200 && c.g >= 200 && c.b >= 200;
}

bool isGreen(Rgb c)
{
    // The sphere's green ambient lifts g to 102 at least; the turning light adds red and blue
    // but no green, and the white text has r = g.
    return c.g >= 95 && c.g >= c.r + 10;
}

bool near(const Image &image, Pixel p, bool (*is)(Rgb), int radius)
{
    const int cx = static_cast<int>(p.x), cy = static_cast<int>(p.y);
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if (image.contains(x, y) && is(image.at(x, y)))
                return true;
    return false;
}

int count(const Image &image, bool (*is)(Rgb))
{
    int n = 0;
    for (const Rgb &c : image.pixels)
        n += is(c);
    return n;
}

Pixel centroid(const Image &image, bool (*is)(Rgb))
{
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (is(image.at(x, y))) {
                sx += x;
                sy += y;
                ++n;
            }
    return n ? Pixel{sx / n, sy / n} : Pixel{-1, -1};
}

double share(const Image &image, Pixel p, bool (*is)(Rgb), int radius)
{
    int inside = 0, hits = 0;
    const int cx = static_cast<int>(p.x), cy = static_cast<int>(p.y);
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius &&
                image.contains(x, y)) {
                ++inside;
                hits += is(image.at(x, y));
            }
    return inside ? double(hits) / inside : 0;
}

const Session xvfb{"Xvfb"};
const Session softpipe{"Softpipe", 0, false, "softpipe"};
const Session at75Hz{"At75Hz", 75};
const Session at50Hz{"At50Hz", 50};
const Session wayland{"Wayland", 60, true}; // Weston's outputs on X refresh 60 times a second
// Emulated, the arm64 program and its Mesa show a first frame within 2 s on Debian 12 and 6 s on
// 13, with other tests sharing the cores; slower machines get ten times that.
const Session arm64{"Arm64", 0, false, "", "/usr/bin/qemu-aarch64-static", WANDERLINK_ARM64_PROGRAM,
                    60};
const Session waitingSwap{"WaitingSwap", 0, false, "", "", "", 20, 60};
const Session shownAt30Hz{"ShownAt30Hz", 0, false, "", "", "", 20, 30};
const Session twoDisplays{"TwoDisplays", 144, false, "", "", "", 20, 0, false, 60};
const Session twoDisplaysWaitingSwap{
    "TwoDisplaysWaitingSwap", 144, false, "", "", "", 20, -1, false, 60};
const Session twoDisplaysWaitingClear{
    "TwoDisplaysWaitingClear", 144, false, "", "", "", 20, -1, true, 60};

double Session::shownHz() const
{
    const double opensOn = rightHz ? rightHz : refreshHz ? refreshHz : 60;
    return waitingHz > 0 ? std::min<double>(waitingHz, opensOn) : opensOn;
}

std::string sessionName(const ::testing::TestParamInfo<Session> &info)
{
    return info.param.name;
}

void PrintTo(const Session &session, std::ostream *out)
{
    *out << session.name;
}

namespace
{

// The screen under a Wayland session, and Weston's output on it: the pointer enters the output
// from the corner beyond it.
const int screenWidth = 1280, screenHeight = 1024;
const int outputWidth = 1024, outputHeight = 768;

// Starts a server from PATH with the settings added to its environment, its output into a file,
// and descriptor 3 on fd3 where that is given.
pid_t start(std::vector<std::string> args, const std::vector<std::string> &settings,
            const std::string &output, int fd3 = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (fd3 >= 0)
        posix_spawn_file_actions_adddup2(&actions, fd3, 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    // A process group of its own, with whatever it starts (Weston's XWayland), to end together.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    auto argv = pointers(args);
    auto env = environmentWith(settings);
    auto envp = pointers(env);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return failed ? -1 : pid;
}

// Ends what is left of a process group and waits until none of it runs, so that a test ends
// with nothing of its own still using the machine: the next one may be judged by the clock.
void endGroup(pid_t group)
{
    kill(-group, SIGKILL);
    const std::string id = std::to_string(group);
    eventually(
        [&] {
            for (const auto &pid : processIds()) {
                const auto fields = statFields(pid);
                if (fields.size() > 2 && fields[2] == id && fields[0] != "Z")
                    return false;
            }
            return true;
        },
        10);
}

// Starts an X server that names the display it picked on descriptor 3: ":N", or empty where
// it said nothing within 10 s.
std::string startX(std::vector<std::string> args, const std::string &output,
                   std::vector<pid_t> &servers)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    args.insert(args.end(), {"-displayfd", "3"});
    const pid_t pid = start(args, {}, output, fds[1]);
    close(fds[1]);
    if (pid > 0)
        servers.push_back(pid);
    std::string number;
    char c;
    pollfd wait = {fds[0], POLLIN, 0};
    while (pid > 0 && poll(&wait, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    return number.empty() ? "" : ":" + number;
}

// The X server most tests use. +bs: a window that asks for backing store gets it
// (keepContents). -terminate: the server ends with its last client, so a test killed outright
// leaves none behind.
std::string startXvfb(Xserver &x)
{
    const std::string size = std::to_string(screenWidth) + "x" + std::to_string(screenHeight);
    const std::string display =
        startX({"Xvfb", "-screen", "0", size + "x24", "-nolisten", "tcp", "+bs", "-terminate"},
               x.scratch + "/xvfb.log", x.servers);
    if (display.empty())
        throw std::runtime_error("Xvfb gave no display number: " +
                                 readFile(x.scratch + "/xvfb.log"));
    return display;
}

// Xorg with its dummy video driver: two displays side by side, each 1024 x 768 in a mode of the
// given refresh rate, the first at the left. Each mode has 1312 x 800 dots in all, so a dot clock
// of 1.0496 MHz a hertz, and is named for its rate ("60hz"); the first display takes either. No
// input devices of its own, no virtual terminal, no configuration but this one.
std::string startXorg(Xserver &x, int leftHz, int rightHz)
{
    std::string conf = R"(Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoAddGPU" "false"
    Option "DontVTSwitch" "true"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 16384
    Option "Monitor-DUMMY0" "left"
    Option "Monitor-DUMMY1" "right"
EndSection
Section "Monitor"
    Identifier "left"
    HorizSync 1-1000
    VertRefresh 1-1000
    Modeline LEFT
    Modeline RIGHT
    Option "PreferredMode" LEFTNAME
EndSection
Section "Monitor"
    Identifier "right"
    HorizSync 1-1000
    VertRefresh 1-1000
    Modeline RIGHT
    Option "PreferredMode" RIGHTNAME
    Option "Enable" "true"
    Option "RightOf" "DUMMY0"
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "left"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes LEFTNAME RIGHTNAME
    EndSubSection
EndSection
)";
    for (const auto &[name, hz] : {std::pair{"LEFT", leftHz}, {"RIGHT", rightHz}}) {
        char mode[96];
        std::snprintf(mode, sizeof mode, "\"%dhz\" %.6f 1024 1048 1184 1312 768 771 775 800", hz,
                      1312 * 800 * hz / 1e6);
        const std::string quoted = "\"" + std::to_string(hz) + "hz\"";
        for (size_t at; (at = conf.find(std::string(name) + "NAME")) != std::string::npos;)
            conf.replace(at, std::strlen(name) + 4, quoted);
        for (size_t at; (at = conf.find(name)) != std::string::npos;)
            conf.replace(at, std::strlen(name), mode);
    }
    std::ofstream(x.scratch + "/xorg.conf") << conf;
    mkdir((x.scratch + "/xorg.conf.d").c_str(), 0700);
    const std::string display =
        startX({"Xorg", "-config", x.scratch + "/xorg.conf", "-configdir",
                x.scratch + "/xorg.conf.d", "-logfile", x.scratch + "/xorg.log", "-nolisten", "tcp",
                "-novtswitch", "-keeptty", "-terminate"},
               x.scratch + "/xorg.out", x.servers);
    if (display.empty()) {
        // Why, in its own words: the errors in its log, or what it printed before it had one.
        std::string why;
        std::istringstream log(readFile(x.scratch + "/xorg.log"));
        for (std::string line; std::getline(log, line);)
            if (line.find("(EE)") != std::string::npos && line.find("dbus") == std::string::npos)
                why += line + "\n";
        if (x.servers.empty())
            throw Unavailable("Xorg is not installed here");
        throw Unavailable("Xorg with the dummy driver could not start here (" +
                          (geteuid() == 0 ? std::string("as root") : "not root") +
                          "): " + (why.empty() ? readFile(x.scratch + "/xorg.out") : why));
    }
    return display;
}

// Weston on an Xvfb of its own, as a desktop session runs it on a screen: its X11 back end makes
// a seat of the Xvfb's pointer and keyboard, and X programs get XWayland, which Weston starts
// when the first one connects. No panel, no blanking when idle, and no animations: the screen
// fades in over the first second otherwise, and windows zoom in.
std::string startWeston(Xserver &x)
{
    x.screen = startXvfb(x);
    std::ofstream(x.scratch + "/weston.ini")
        << "[core]\nidle-time=0\n[shell]\npanel-position=none\nstartup-animation=none\n"
           "animation=none\nclose-animation=none\nfocus-animation=none\n";
    const std::string log = x.scratch + "/weston.log";
    const pid_t pid =
        start({"weston", "--config=" + x.scratch + "/weston.ini", "--backend=x11-backend.so",
               "--use-pixman", "--width=" + std::to_string(outputWidth),
               "--height=" + std::to_string(outputHeight), "--xwayland", "--socket=wayland-test",
               "--log=" + log},
              {"DISPLAY=" + x.screen, "XDG_RUNTIME_DIR=" + x.scratch, "WAYLAND_DISPLAY="},
              x.scratch + "/weston.out");
    if (pid <= 0)
        throw Unavailable("Weston is not installed here");
    x.servers.push_back(pid);
    x.composited = true;
    x.environment = {"WAYLAND_DISPLAY=wayland-test", "XDG_RUNTIME_DIR=" + x.scratch,
                     "XDG_SESSION_TYPE=wayland"};
    const std::string said = "xserver listening on display ";
    std::string display;
    eventually(
        [&] {
            const std::string text = readFile(log);
            const size_t at = text.find(said);
            if (at != std::string::npos)
                display = text.substr(at + said.size(), text.find('\n', at) - at - said.size());
            return !display.empty() || waitpid(pid, nullptr, WNOHANG) == pid;
        },
        20);
    if (display.empty())
        throw std::runtime_error("Weston named no X display: " + readFile(log) +
                                 readFile(x.scratch + "/weston.out"));
    return display;
}

Display *connect(const std::string &display)
{
    Display *d = XOpenDisplay(display.c_str());
    if (!d)
        throw std::runtime_error("cannot connect to " + display);
    return d;
}

} // namespace

Xserver::Xserver(const Session &session)
{
    char folder[] = "/tmp/wanderlink-x-XXXXXX";
    if (!mkdtemp(folder))
        throw std::runtime_error("mkdtemp");
    scratch = folder;
    try {
        if (session.wayland)
            display = startWeston(*this);
        else if (session.refreshHz > 0)
            display = startXorg(*this, session.refreshHz,
                                session.rightHz ? session.rightHz : session.refreshHz);
        else
            display = startXvfb(*this);
        if (*session.renderer)
            environment.push_back(std::string("GALLIUM_DRIVER=") + session.renderer);
        if (session.waitingHz)
            environment.push_back("PROBE_WAIT_HZ=" + (session.waitingHz < 0
                                                          ? std::string("display")
                                                          : std::to_string(session.waitingHz)));
        if (session.waitsInFirstCall)
            environment.push_back("PROBE_WAIT_IN=clear");
        if (screen.empty())
            screen = display;
        connection = connect(display);
        screenConnection = screen == display ? connection : connect(screen);
    } catch (...) {
        stop(); // no destructor runs for an object never made
        throw;
    }
    // Windows come and go while a test looks at them. Xlib's own handler would end the test
    // without a word, and leave what it started running; a failed call returns 0 instead.
    XSetErrorHandler([](Display *, XErrorEvent *) {
        return 0;
    });
}

Xserver::~Xserver()
{
    stop();
}

void Xserver::stop()
{
    if (screenConnection && screenConnection != connection)
        XCloseDisplay(static_cast<Display *>(screenConnection));
    if (connection)
        XCloseDisplay(xdisplay(*this));
    connection = screenConnection = nullptr;
    for (auto pid = servers.rbegin(); pid != servers.rend(); ++pid) {
        kill(*pid, SIGTERM);
        waitpid(*pid, nullptr, 0);
        endGroup(*pid);
    }
    servers.clear();
    if (!scratch.empty())
        std::filesystem::remove_all(scratch);
    scratch.clear();
}

void InSession::SetUp()
{
    const Session &session = GetParam();
    if (*session.emulator && !*session.program)
        GTEST_SKIP() << "no " << session.name << " program was made here (scripts/package)";
    try {
        x = std::make_unique<Xserver>(session);
    } catch (const Unavailable &e) {
        GTEST_SKIP() << e.what();
    }
    std::vector<std::string> arguments; // an emulator's: the program to run
    if (*session.emulator)
        arguments.emplace_back(session.program);
    if (session.rightHz) // on the display to the right
        arguments.insert(arguments.end(), {"-geometry", "+1200+100"});
    app = std::make_unique<App>(*x, Browser::records, clockSpeed, session.emulator, arguments,
                                probe || session.waitingHz);
    app->waitForWindow(session.firstFrameSeconds);
}

App::App(Xserver &server, Browser browser, int clockSpeed, const std::string &binary,
         const std::vector<std::string> &arguments, bool probe)
    : x(server)
{
    char scratch[] = "/tmp/wanderlink-e2e-XXXXXX";
    if (!mkdtemp(scratch))
        throw std::runtime_error("mkdtemp");
    dir = scratch;
    const std::string log = dir + "/launches";
    const std::string record = "printf '%s:%s\\n' \"$#\" \"$1\" >> '" + log + "'\n";
    std::string path = dir + ":" + std::getenv("PATH");
    switch (browser) {
    case Browser::records:
        writeFile(dir + "/xdg-open", "#!/bin/sh\n" + record, true);
        break;
    case Browser::missing:
        path = dir; // nothing to start anywhere on it
        break;
    case Browser::notExecutable:
        writeFile(dir + "/xdg-open", "#!/bin/sh\n" + record, false);
        path = dir; // nor a real one further on
        break;
    case Browser::fails:
        writeFile(dir + "/xdg-open", "#!/bin/sh\n" + record + "exit 1\n", true);
        break;
    case Browser::hangs:
        writeFile(dir + "/xdg-open", "#!/bin/sh\n" + record + "exec sleep 100000\n", true);
        break;
    }

    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<std::string> args = {binary.empty() ? WANDERLINK_BINARY : binary};
    args.insert(args.end(), arguments.begin(), arguments.end());
    auto argv = pointers(args);
    std::vector<std::string> settings = {"DISPLAY=" + x.display, "PATH=" + path};
    settings.insert(settings.end(), x.environment.begin(), x.environment.end());
    std::string preload;
    if (probe) {
        preload = PROBE_LIBRARY;
        settings.push_back("PROBE_SPHERE_LOG=" + dir + "/sphere");
    }
    if (clockSpeed > 1) {
        const char *sanitizer = std::getenv("ASAN_OPTIONS");
        preload += std::string(preload.empty() ? "" : ":") + FAKETIME_LIBRARY;
        settings.insert(settings.end(), {"FAKETIME=+0 x" + std::to_string(clockSpeed),
                                         // The sanitizer's runtime would rather come first;
                                         // libfaketime only wraps the clocks and sleeps.
                                         std::string("ASAN_OPTIONS=verify_asan_link_order=0") +
                                             (sanitizer ? std::string(":") + sanitizer : "")});
    }
    if (!preload.empty())
        settings.push_back("LD_PRELOAD=" + preload);
    auto env = environmentWith(settings);
    auto envp = pointers(env);
    startedAt = static_cast<long>(::time(nullptr));
    const int failed = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(outPipe[1]);
    close(errPipe[1]);
    out = outPipe[0];
    err = errPipe[0];
    fcntl(out, F_SETFL, O_NONBLOCK);
    fcntl(err, F_SETFL, O_NONBLOCK);
    if (failed)
        throw std::runtime_error("cannot start " + args[0]);
}

App::~App()
{
    if (pid > 0) {
        endGroup(pid); // the program and every browser it started
        waitpid(pid, nullptr, 0);
    }
    close(out);
    close(err);
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                unlink((dir + "/" + e->d_name).c_str());
        closedir(d);
    }
    rmdir(dir.c_str());
}

// The first viewable window among parent's children, or theirs down to depth, whose title
// holds titlePart.
static Window findViewable(Display *d, Window parent, const std::string &titlePart, int depth)
{
    Window root, up, *children = nullptr, found = 0;
    unsigned count = 0;
    if (!XQueryTree(d, parent, &root, &up, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable)
            continue;
        char *name = nullptr;
        if (XFetchName(d, children[i], &name) && std::strstr(name, titlePart.c_str()))
            found = children[i];
        else if (depth > 0)
            found = findViewable(d, children[i], titlePart, depth - 1);
        XFree(name);
    }
    XFree(children);
    return found;
}

unsigned long viewableWindow(Xserver &x, const std::string &titlePart)
{
    Display *d = xdisplay(x);
    return findViewable(d, DefaultRootWindow(d), titlePart, 1);
}

int windowsMade(Xserver &x)
{
    Display *d = xdisplay(x);
    if (!x.watching)
        XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    x.watching = true;
    XSync(d, False);
    int made = 0;
    while (XPending(d)) {
        XEvent event;
        XNextEvent(d, &event);
        made += event.type == CreateNotify;
    }
    return made;
}

std::string windowClass(Xserver &x, unsigned long window)
{
    XClassHint hint = {};
    if (!XGetClassHint(xdisplay(x), window, &hint))
        return "";
    const std::string both = std::string(hint.res_name) + "/" + hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return both;
}

std::vector<unsigned long> cardinals(Xserver &x, unsigned long window, const char *property)
{
    Display *d = xdisplay(x);
    Atom type;
    int format;
    unsigned long count = 0, left;
    unsigned char *data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(d, window, XInternAtom(d, property, False), 0, 1 << 20, False,
                           XA_CARDINAL, &type, &format, &count, &left, &data) == Success &&
        format == 32) {
        // Xlib gives format 32 as longs, sign-extended where they are 64 bits.
        const auto *longs = reinterpret_cast<const unsigned long *>(data);
        for (unsigned long i = 0; i < count; ++i)
            items.push_back(longs[i] & 0xFFFFFFFFul);
    }
    XFree(data);
    return items;
}

void App::waitForWindow(double seconds)
{
    const double deadline = now() + seconds;
    while (now() < deadline) {
        if (!window)
            window = viewableWindow(x, "wanderlink");
        if (window && isBackground(grab().at(5, 5)))
            return;
        if (!alive())
            throw std::runtime_error("wanderlink ended before showing a window");
        sleepFor(0.05);
    }
    throw std::runtime_error("no window with a first frame within " + std::to_string(seconds) +
                             " s");
}

Geometry geometry(Xserver &x, unsigned long window)
{
    Display *d = xdisplay(x);
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, window, &a))
        throw std::runtime_error("no window attributes");
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &rootX, &rootY, &child);
    return {rootX, rootY, a.width, a.height};
}

Geometry App::geometry()
{
    return e2e::geometry(x, window);
}

// Takes over the server's picture.
static Image toImage(XImage *shot)
{
    if (!shot)
        throw std::runtime_error("XGetImage failed");
    Image image;
    image.width = shot->width;
    image.height = shot->height;
    image.pixels.reserve(static_cast<size_t>(image.width * image.height));
    // 32 bits a pixel, least significant byte first, as on any PC: read straight from the
    // data, which keeps a grab within a frame's time even in a sanitizer build.
    const bool direct = shot->bits_per_pixel == 32 && shot->byte_order == LSBFirst &&
                        shot->red_mask == 0xFF0000 && shot->green_mask == 0xFF00 &&
                        shot->blue_mask == 0xFF;
    for (int py = 0; py < image.height; ++py) {
        const auto *row = reinterpret_cast<const unsigned char *>(shot->data) +
                          static_cast<ptrdiff_t>(py) * shot->bytes_per_line;
        for (int px = 0; px < image.width; ++px) {
            if (direct) {
                const unsigned char *p = row + 4 * px; // blue, green, red, unused
                image.pixels.push_back({p[2], p[1], p[0]});
            } else {
                const unsigned long p = XGetPixel(shot, px, py);
                image.pixels.push_back({int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)});
            }
        }
    }
    XDestroyImage(shot);
    return image;
}

Image grab(Xserver &x, int left, int top, int width, int height)
{
    Display *d = static_cast<Display *>(x.screenConnection);
    return toImage(XGetImage(d, DefaultRootWindow(d), left, top, static_cast<unsigned>(width),
                             static_cast<unsigned>(height), AllPlanes, ZPixmap));
}

void keepContents(Xserver &x, unsigned long window)
{
    XSetWindowAttributes attributes = {};
    attributes.backing_store = Always;
    XChangeWindowAttributes(xdisplay(x), window, CWBackingStore, &attributes);
    XSync(xdisplay(x), False);
}

Image grabWindow(Xserver &x, unsigned long window)
{
    const Geometry g = geometry(x, window);
    XImage *shot = XGetImage(xdisplay(x), window, 0, 0, static_cast<unsigned>(g.width),
                             static_cast<unsigned>(g.height), AllPlanes, ZPixmap);
    return toImage(shot);
}

Image App::grab(int width, int height)
{
    const Geometry g = geometry();
    return e2e::grab(x, g.x, g.y, width, height);
}

bool run(std::vector<std::string> args, const std::vector<std::string> &settings)
{
    auto argv = pointers(args);
    auto env = environmentWith(settings);
    auto envp = pointers(env);
    pid_t tool;
    if (posix_spawnp(&tool, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return false;
    int status = 0;
    waitpid(tool, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void xdotool(Xserver &x, const std::vector<std::string> &arguments)
{
    std::vector<std::string> args = {"xdotool"};
    args.insert(args.end(), arguments.begin(), arguments.end());
    if (!run(args, {"DISPLAY=" + x.screen}))
        throw std::runtime_error("xdotool failed: " + arguments.front());
}

void App::xdotool(const std::vector<std::string> &arguments)
{
    e2e::xdotool(x, arguments);
}

void App::moveTo(int px, int py)
{
    const Geometry g = geometry();
    if (x.composited) // Weston takes the pointer's place as it enters, then follows its moves
        xdotool({"mousemove", std::to_string(screenWidth - 1), std::to_string(screenHeight - 1)});
    xdotool({"mousemove", std::to_string(g.x + px), std::to_string(g.y + py)});
}

bool eventually(const std::function<bool()> &check, double seconds)
{
    const double deadline = now() + seconds;
    while (!check()) {
        if (now() > deadline)
            return false;
        sleepFor(0.05);
    }
    return true;
}

double timeUntil(const std::function<bool()> &check, double seconds)
{
    const double start = now();
    while (!check()) {
        if (now() - start > seconds)
            return std::numeric_limits<double>::infinity();
        sleepFor(0.002);
    }
    return now() - start;
}

FrameCounter::FrameCounter(Xserver &x, unsigned long window)
{
    Display *d = XOpenDisplay(x.display.c_str());
    int errorBase;
    if (!d || !XDamageQueryExtension(d, &eventBase, &errorBase))
        throw std::runtime_error("no X connection with the DAMAGE extension");
    connection = d;
    damage = XDamageCreate(d, window, XDamageReportRawRectangles);
    XSync(d, False);
    steals.emplace_back(now(), stolenSeconds());
    watch = std::thread([this] {
        for (double before = now(); watching; before = now()) {
            sleepFor(0.001);
            const double woke = now();
            const std::lock_guard<std::mutex> hold(stillsLock);
            if (woke - before > 0.021)
                stills.emplace_back(before + 0.001, woke);
            if (woke - steals.back().first >= 0.02)
                steals.emplace_back(woke, stolenSeconds());
        }
    });
}

FrameCounter::~FrameCounter()
{
    watching = false;
    watch.join();
    XCloseDisplay(static_cast<Display *>(connection)); // the damage object goes with it
}

void FrameCounter::read()
{
    Display *d = static_cast<Display *>(connection);
    XSync(d, False); // everything the server has reported so far
    while (XPending(d)) {
        XEvent event;
        XNextEvent(d, &event);
        const auto &damaged = reinterpret_cast<XDamageNotifyEvent &>(event);
        if (event.type != eventBase + XDamageNotify || damaged.more)
            continue; // only the last rectangle of one drawing
        // The server's clock is the monotonic one, in milliseconds, wrapping at 32 bits.
        const double at = now();
        const auto atMs = static_cast<std::uint32_t>(static_cast<std::uint64_t>(at * 1000));
        auto seconds = [&](unsigned long serverMs) {
            return at - static_cast<std::uint32_t>(atMs - serverMs) / 1000.0;
        };
        if (count++ > 0) {
            const double still = stillSeconds(seconds(last), seconds(damaged.timestamp));
            longest = std::max(longest, std::lround((damaged.timestamp - last) - still * 1000));
        }
        last = damaged.timestamp;
    }
}

long FrameCounter::frames()
{
    read();
    return count;
}

long FrameCounter::longestGapMillis()
{
    read();
    return longest;
}

void FrameCounter::excuse(double from, double to)
{
    const std::lock_guard<std::mutex> hold(stillsLock);
    stills.emplace_back(from, to);
}

double FrameCounter::stillSeconds(double from, double to)
{
    const std::lock_guard<std::mutex> hold(stillsLock);
    double still = 0;
    for (const auto &[stopped, went] : stills)
        still += std::max(0.0, std::min(went, to) - std::max(stopped, from));
    return still;
}

double FrameCounter::stolenShare(double from, double to)
{
    const std::lock_guard<std::mutex> hold(stillsLock);
    auto by = [&](double t) { // as the last reading before it had it, 20 ms at most before
        auto after = std::upper_bound(steals.begin(), steals.end(), std::make_pair(t, 1e300));
        return after == steals.begin() ? after->second : after[-1].second;
    };
    return (by(to) - by(from)) / (to - from);
}

bool App::keepsDrawing()
{
    const Image before = grab();
    for (int i = 0; i < 20; ++i) {
        sleepFor(0.05);
        const Image after = grab();
        for (size_t p = 0; p < before.pixels.size(); ++p)
            if (before.pixels[p] != after.pixels[p])
                return true;
    }
    return false;
}

void App::drain()
{
    char buffer[4096];
    ssize_t n;
    while ((n = read(out, buffer, sizeof buffer)) > 0)
        stdoutText.append(buffer, static_cast<size_t>(n));
    while ((n = read(err, buffer, sizeof buffer)) > 0)
        stderrText.append(buffer, static_cast<size_t>(n));
}

bool App::alive()
{
    if (pid <= 0)
        return false;
    int status;
    return waitpid(pid, &status, WNOHANG) == 0;
}

bool App::waitForExit(int &status, double seconds)
{
    const double deadline = now() + seconds;
    while (now() < deadline) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            pid = -1;
            drain();
            return true;
        }
        sleepFor(0.02);
    }
    return false;
}

std::vector<std::string> App::launches()
{
    std::vector<std::string> lines;
    std::ifstream log(dir + "/launches");
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> App::waitForLaunches(size_t count, double seconds)
{
    const double deadline = now() + seconds;
    auto lines = launches();
    while (lines.size() < count && now() < deadline) {
        sleepFor(0.05);
        lines = launches();
    }
    return lines;
}

namespace
{

bool same(const Position &a, const Position &b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

Position along(int progress, const Position &a, const Position &b)
{
    const auto at = static_cast<float>(progress);
    return {mapRange(at, 0, 5000, a.x, b.x), mapRange(at, 0, 5000, a.y, b.y),
            mapRange(at, 0, 5000, a.z, b.z)};
}

// The progress, a whole number of 20 ms ticks from `least` to 4980, at which the move from a
// to b puts the sphere exactly at p; -1 where none does.
int progressTo(const Position &p, const Position &a, const Position &b, int least)
{
    const float span[] = {b.x - a.x, b.y - a.y, b.z - a.z},
                off[] = {p.x - a.x, p.y - a.y, p.z - a.z};
    int axis = 0;
    for (int i = 1; i < 3; ++i)
        axis = std::abs(span[i]) > std::abs(span[axis]) ? i : axis;
    if (span[axis] == 0)
        return same(p, a) ? least : -1;
    const int guess = static_cast<int>(std::lround(off[axis] / span[axis] * 250)) * 20;
    for (int e = std::max(guess - 20, least); e <= std::min(guess + 20, 4980); e += 20)
        if (same(along(e, a, b), p))
            return e;
    return -1;
}

} // namespace

std::vector<Sighting> App::sightings()
{
    std::vector<Sighting> seen;
    std::ifstream log(dir + "/sphere");
    Sighting s = {};
    for (std::string line; std::getline(log, line);)
        if (std::istringstream(line) >> s.seconds >> s.at.x >> s.at.y >> s.at.z)
            seen.push_back(s);
    // The targets the seed draws, three draws each, taken in turn by the presses and by each
    // move as it ends. The seed is the calendar's second as the program began; the first target
    // is the one the first sighting away from the resting point is on the way to.
    const Position rest = {3, 3, 3};
    std::vector<Position> targets;
    auto target = [&](size_t i) {
        while (targets.size() <= i)
            targets.push_back(
                {randomBetween(-13, 13), randomBetween(-13, 13), randomBetween(-13, 13)});
        return targets[i];
    };
    const auto moving = std::find_if(seen.begin(), seen.end(), [&](const Sighting &each) {
        return !same(each.at, rest);
    });
    for (long seed = startedAt; moving != seen.end() && seed < startedAt + 60; ++seed) {
        seedRandom(static_cast<unsigned>(seed));
        targets.clear();
        if (progressTo(moving->at, rest, target(0), 0) >= 0)
            break;
    }
    // Each sighting further along the move the last was on (j = 0), or along one that followed
    // it (j = 1, 2, ...), as each begins where the one before ended, or on the way to the next
    // target from where a press found the sphere on one of those.
    Position a = rest, b = rest;
    int e = 5000; // at rest: the next move begins from here
    size_t next = 0;
    long ticks = 0;
    auto from = [&](size_t j) {
        return j == 0 ? a : j == 1 ? b : target(next + j - 2);
    };
    auto to = [&](size_t j) {
        return j == 0 ? b : target(next + j - 1);
    };
    auto ticksTo = [&](size_t j, int progress) {
        return j == 0 ? (progress - e) / 20 : (5000 - e) / 20 + 250 * long(j - 1) + progress / 20;
    };
    for (Sighting &sighting : seen) {
        const Position &p = sighting.at;
        bool found = false;
        for (size_t j = 0; j < 1000000 && !found; ++j) {
            const int at = progressTo(p, from(j), to(j), j ? 0 : e);
            if ((found = at >= 0)) {
                ticks += ticksTo(j, at);
                a = from(j), b = to(j), e = at, next += j;
            }
            for (int pressed = j ? 0 : e; j < 3 && pressed <= 4980 && !found; pressed += 20) {
                const Position start = along(pressed, from(j), to(j));
                const int after = progressTo(p, start, target(next + j), 0);
                if ((found = after >= 0)) {
                    ticks += ticksTo(j, pressed) + after / 20;
                    a = start, b = target(next + j), e = after, next += j + 1;
                }
            }
        }
        sighting.ticks = found ? ticks : -1;
    }
    return seen;
}

long App::residentKiB()
{
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double App::cpuSeconds()
{
    const auto fields = statFields(std::to_string(pid)); // from the state on: utime is 12th
    return fields.size() > 12 ? static_cast<double>(std::stol(fields[11]) + std::stol(fields[12])) /
                                    static_cast<double>(sysconf(_SC_CLK_TCK))
                              : 0;
}

int App::openFiles()
{
    int n = 0;
    if (DIR *d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        while (dirent *e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

std::string readFile(const std::string &path)
{
    // Not through a stream: reading the /proc file of a process that ends meanwhile fails
    // (ESRCH), and libstdc++'s file buffer throws for that. What was read is what there is.
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

std::vector<std::string> statFields(const std::string &pid)
{
    const std::string text = readFile("/proc/" + pid + "/stat");
    const size_t close = text.rfind(')'); // the name, in brackets, may hold anything
    std::vector<std::string> fields;
    if (close == std::string::npos)
        return fields;
    std::istringstream rest(text.substr(close + 1));
    for (std::string field; rest >> field;)
        fields.push_back(field);
    return fields;
}

std::vector<std::string> processIds()
{
    std::vector<std::string> ids;
    DIR *proc = opendir("/proc");
    while (dirent *e = proc ? readdir(proc) : nullptr)
        if (e->d_name[0] >= '1' && e->d_name[0] <= '9')
            ids.emplace_back(e->d_name);
    if (proc)
        closedir(proc);
    return ids;
}

int App::zombieChildren()
{
    int zombies = 0;
    const std::string parent = std::to_string(pid);
    for (const auto &child : processIds()) {
        const auto fields = statFields(child);
        zombies += fields.size() > 1 && fields[0] == "Z" && fields[1] == parent;
    }
    return zombies;
}

void savePpm(const Image &image, const std::string &path)
{
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << image.width << " " << image.height << "\n255\n";
    for (const Rgb &c : image.pixels)
        file << char(c.r) << char(c.g) << char(c.b);
}

} // namespace e2e
