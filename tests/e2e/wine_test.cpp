// The Windows build under Wine in a private X server: the same window, scene and mouse as on
// Linux, and the browser started the Windows way, as Wine's stand-in Internet Explorer.
#include "harness.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

using namespace e2e;

extern char **environ;

namespace
{

using Arguments = std::vector<std::string>;

std::string readFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// wanderlink.exe under wine-run, in a fresh prefix of its own. Output goes to files: the
// browsers the program starts inherit it, so a pipe would never see its end.
struct Wine {
    explicit Wine(Xserver &x)
    {
        char folder[] = "/tmp/wanderlink-wine-XXXXXX";
        if (!mkdtemp(folder))
            throw std::runtime_error("mkdtemp");
        scratch = folder;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&actions, 1, (scratch + "/out").c_str(), flags, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (scratch + "/err").c_str(), flags, 0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        Arguments args = {"env",  "DISPLAY=" + x.display, WINE_RUN, scratch,
                          "wine", WANDERLINK_WINDOWS_EXE};
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int failed = posix_spawnp(&pid, "env", &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (failed)
            throw std::runtime_error("cannot start " WINE_RUN);
    }

    ~Wine()
    {
        // wine-run ends every process of the prefix and waits for the Wine server.
        kill(pid, SIGTERM);
        if (!eventually([this] { return waitpid(pid, nullptr, WNOHANG) == pid; }, 60)) {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        // Depth first, never following a link or entering another file system.
        nftw(
            scratch.c_str(),
            [](const char *path, const struct stat *, int, FTW *) { return remove(path); }, 64,
            FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
    }

    std::string output(const char *name) const
    {
        return readFile(scratch + "/" + name);
    }

    // The arguments of every process of this prefix that runs as argument0 now.
    std::vector<Arguments> processes(const std::string &argument0) const
    {
        const std::string prefix = "WINEPREFIX=" + scratch + "/prefix";
        std::vector<Arguments> found;
        DIR *proc = opendir("/proc");
        while (dirent *e = proc ? readdir(proc) : nullptr) {
            if (e->d_name[0] < '1' || e->d_name[0] > '9')
                continue;
            const std::string dir = std::string("/proc/") + e->d_name;
            Arguments environment = split(readFile(dir + "/environ"));
            if (std::find(environment.begin(), environment.end(), prefix) == environment.end())
                continue;
            Arguments argv = split(readFile(dir + "/cmdline"));
            if (!argv.empty() && argv[0] == argument0)
                found.push_back(argv);
        }
        if (proc)
            closedir(proc);
        return found;
    }

    // Wine passes a program's command line on as the process's arguments, with any padding.
    static Arguments split(const std::string &text)
    {
        Arguments parts;
        size_t start = 0;
        for (size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            parts.push_back(text.substr(start, end - start));
        while (!parts.empty() && parts.back().empty())
            parts.pop_back();
        return parts;
    }

    std::string scratch;
    pid_t pid = -1;
};

double distance(Pixel a, Pixel b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace

TEST(UnderWine, OpensDrawsAnswersTheMouseAndStartsInternetExplorer)
{
    Xserver x;
    Wine wine(x);

    // Wine sets up the new prefix first, which takes a while.
    unsigned long window = 0;
    ASSERT_TRUE(eventually([&] { return (window = viewableWindow(x, "wanderlink")) != 0; }, 180))
        << wine.output("err");
    const Geometry g = geometry(x, window);
    EXPECT_EQ(g.width, 450);
    EXPECT_EQ(g.height, 400);
    // Windows puts the frame's corner at the origin; the picture starts just inside it.
    EXPECT_LT(g.x, 32);
    EXPECT_LT(g.y, 64);
    auto picture = [&] { return grab(x, g.x, g.y, 450, 400); };
    ASSERT_TRUE(eventually([&] { return isBackground(picture().at(5, 5)); }, 30));

    // The scene is the one drawn on Linux: every cube edge but the one the address covers,
    // and the sphere resting at (3, 3, 3).
    const Image scene = picture();
    for (Pixel edge : cubeEdgeMidpoints()) {
        if (edge.y > 360 && edge.x > 200 && edge.x < 260)
            continue;
        EXPECT_TRUE(near(scene, edge, isBlue)) << "edge at " << edge.x << "," << edge.y;
    }
    const Pixel rest = project(3, 3, 3);
    EXPECT_GT(share(scene, rest, isGreen, 6), 0.7);
    EXPECT_LT(distance(centroid(scene, isGreen), rest), 3);

    // At rest, every launch is Internet Explorer with the address of the resting place and
    // nothing else on its command line but the trailing blank.
    std::vector<Arguments> browsers;
    ASSERT_TRUE(
        eventually([&] { return !(browsers = wine.processes("ixplore.exe")).empty(); }, 120))
        << wine.output("err");
    for (const auto &argv : browsers)
        EXPECT_EQ(argv, (Arguments{"ixplore.exe", "http://www.qqq.com"}));

    // Left clicks set the sphere wandering: it leaves its place, and later launches spell the
    // places it goes to.
    for (int click = 0; click < 3; ++click) {
        xdotool(x,
                {"mousemove", std::to_string(g.x + 200), std::to_string(g.y + 200), "click", "1"});
        if (click == 0) {
            EXPECT_TRUE(
                eventually([&] { return distance(centroid(picture(), isGreen), rest) > 25; }, 10))
                << "the sphere stays where it rests";
        }
        sleepFor(1.5); // a move takes 1.25 s
    }
    const std::regex address(R"(http://www\.[a-z{]{3}\.com)");
    auto elsewhere = [&] {
        browsers = wine.processes("ixplore.exe");
        for (const auto &argv : browsers)
            if (argv.size() == 2 && argv[1] != "http://www.qqq.com")
                return true;
        return false;
    };
    EXPECT_TRUE(eventually(elsewhere, 120)) << "no launch after the clicks";
    for (const auto &argv : browsers) {
        ASSERT_EQ(argv.size(), 2u);
        EXPECT_EQ(argv[0], "ixplore.exe");
        EXPECT_TRUE(std::regex_match(argv[1], address)) << argv[1];
    }

    // The hint, with the line ending of a Windows console.
    EXPECT_EQ(wine.output("out"), "<escape> to exit\r\n");
}
