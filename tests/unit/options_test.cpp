// The command line: what it answers, what it refuses, and what it leaves to GLUT.
#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct Answer {
    int status;
    std::string out, err;
    WindowPlace place;
};

Answer answer(std::vector<std::string> args)
{
    args.insert(args.begin(), "wanderlink");
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    Answer a{0, "", "", {}};
    a.status = readCommandLine(static_cast<int>(args.size()), argv.data(), out, err, a.place);
    for (auto [file, text] : {std::pair{out, &a.out}, std::pair{err, &a.err}}) {
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;)
            *text += static_cast<char>(c);
        std::fclose(file);
    }
    return a;
}

} // namespace

TEST(CommandLine, LeavesGlutsOwnOptionsAndTheirValuesToGlut)
{
    for (const auto &args : std::vector<std::vector<std::string>>{
             {},
             {"-display", ":5"},
             {"-geometry", "300x200+10+10", "-iconic", "-direct", "-gldebug", "-sync"},
             {"-indirect"},
             {"-display", "--help"}, // a value, however odd
             {"-display"}}) {        // GLUT says what is missing
        const Answer a = answer(args);
        EXPECT_EQ(a.status, -1) << args.size();
        EXPECT_EQ(a.out + a.err, "");
    }
}

TEST(CommandLine, AnswersHelpAndVersionAndNothingElse)
{
    for (const char *help : {"--help", "-h"}) {
        const Answer a = answer({"-sync", help, "--bogus"});
        EXPECT_EQ(a.status, 0);
        EXPECT_EQ(a.out.rfind("Usage: wanderlink [GLUT option]...\n", 0), 0u) << a.out;
        EXPECT_EQ(a.err, "");
    }
    const Answer a = answer({"--version"});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.out.rfind("wanderlink " WANDERLINK_VERSION "\n", 0), 0u) << a.out;
    EXPECT_NE(a.out.find("License MIT"), std::string::npos);
}

TEST(CommandLine, RefusesTheRestWithStatus2)
{
    const std::string hint = "Try 'wanderlink --help' for more information.\n";
    EXPECT_EQ(answer({"--foo"}).err, "wanderlink: unrecognized option '--foo'\n" + hint);
    EXPECT_EQ(answer({"-display", ":5", "-x"}).err,
              "wanderlink: unrecognized option '-x'\n" + hint);
    EXPECT_EQ(answer({"foo", "--help"}).err, "wanderlink: unexpected argument 'foo'\n" + hint);
    EXPECT_EQ(answer({"-"}).err, "wanderlink: unexpected argument '-'\n" + hint);
    for (const char *wrong : {"--foo", "foo", "-help", "--version=2"}) {
        const Answer a = answer({wrong});
        EXPECT_EQ(a.status, 2) << wrong;
        EXPECT_EQ(a.out, "") << wrong;
    }
}

TEST(CommandLine, PlacesTheWindowWhereTheLastGeometrySays)
{
    for (const auto &[args, placed] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, "450x400+0+0"},
             {{"-geometry", "600x500"}, "600x500+0+0"},
             {{"-geometry", "+1200+100"}, "450x400+1200+100"},
             {{"-geometry", "=300X200-10-0"}, "300x200-10-0"},
             {{"-geometry", "1x1+5+6", "-geometry", "-0+32767"}, "1x1-0+32767"}}) {
        const WindowPlace p = answer(args).place;
        EXPECT_EQ(std::to_string(p.width) + "x" + std::to_string(p.height) +
                      (p.fromRight ? "-" : "+") + std::to_string(p.x) + (p.fromBottom ? "-" : "+") +
                      std::to_string(p.y),
                  placed);
    }
    EXPECT_EQ(placeAlong(10, false, 2048, 450), 10);
    EXPECT_EQ(placeAlong(10, true, 2048, 450), 1588); // its right edge 10 from the screen's
    // Nothing GLUT would take whole: it would open a window of a size it never read.
    EXPECT_EQ(answer({"-geometry", "600"}).err, "wanderlink: invalid geometry '600'\nTry "
                                                "'wanderlink --help' for more information.\n");
    for (const char *wrong : {"", "x400", "600x", "0x400", "600x500+10", "+10", "40000x400",
                              "600x500+1+2x", "+-5+5", "600x500 "})
        EXPECT_EQ(answer({"-geometry", wrong}).status, 2) << wrong;
}
