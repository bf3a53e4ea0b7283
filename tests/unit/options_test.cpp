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
};

Answer answer(std::vector<std::string> args)
{
    args.insert(args.begin(), "wanderlink");
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    Answer a{readCommandLine(static_cast<int>(args.size()), argv.data(), out, err), "", ""};
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
