// What the program says when asked what it is, and when given what it does not take.
#include "app/options.h"

#include <cstring>

static const char usage[] =
    "Usage: wanderlink [GLUT option]...\n"
    "A lit sphere wanders inside a wire cube. Its coordinates spell a web address,\n"
    "drawn along the cube and opened in your web browser every 801 frames (about\n"
    "every 13 seconds at 60 Hz) until you press Escape.\n"
    "\n"
    "Controls:\n"
    "  left button           send the sphere toward a new random point; each press\n"
    "                          makes all later moves faster\n"
    "  right button          change the address's domain: com, org, net\n"
    "  drag with any button  turn the scene\n"
    "  Escape                quit\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "GLUT's own options are accepted too: -display DISPLAY, -geometry WxH+X+Y,\n"
    "-iconic, -direct, -indirect, -gldebug, -sync.\n"
    "\n"
    "Home page: <" WANDERLINK_HOMEPAGE ">\n";

static const char version[] =
    "wanderlink " WANDERLINK_VERSION "\n"
    "Copyright (c) 2026 the wanderlink authors\n"
    "License MIT: <https://opensource.org/license/mit>\n"
    "This is free software: you are free to change and redistribute it.\n";

// Writes text to out; 0 once it is written, 1 where it could not be (a full disk, a closed pipe).
static int say(const char *text, std::FILE *out, std::FILE *err)
{
    if (std::fputs(text, out) >= 0 && std::fflush(out) == 0)
        return 0;
    std::fputs("wanderlink: write error\n", err);
    return 1;
}

// Reads a whole number of 1 to 5 digits at text, up to 32767, as X's coordinates and sizes
// are; advances text past it. -1 where there is none.
static int readNumber(const char *&text)
{
    int number = 0, digits = 0;
    for (; *text >= '0' && *text <= '9' && digits < 6; ++text, ++digits)
        number = number * 10 + (*text - '0');
    return digits > 0 && number <= 32767 ? number : -1;
}

// X's geometry, [=][WIDTHxHEIGHT][{+-}X{+-}Y], as GLUT reads it, into place; a size of at least
// a pixel, and a position both ways where one is given (GLUT takes neither half alone).
static bool readGeometry(const char *text, WindowPlace &place)
{
    WindowPlace read = place;
    text += *text == '=';
    const bool sized = *text >= '0' && *text <= '9';
    if (sized) {
        read.width = readNumber(text);
        if (read.width < 1 || (*text != 'x' && *text != 'X'))
            return false;
        read.height = readNumber(++text);
        if (read.height < 1)
            return false;
    }
    const bool placed = *text == '+' || *text == '-';
    if (placed) {
        read.fromRight = *text == '-';
        read.x = readNumber(++text);
        if (read.x < 0 || (*text != '+' && *text != '-'))
            return false;
        read.fromBottom = *text == '-';
        read.y = readNumber(++text);
        if (read.y < 0)
            return false;
    }
    if (*text != '\0' || !(sized || placed))
        return false;
    place = read;
    return true;
}

int placeAlong(int offset, bool fromFarEdge, int screenSize, int windowSize)
{
    return fromFarEdge ? screenSize - windowSize - offset : offset;
}

static bool isOneOf(const char *argument, const char *const *names)
{
    for (; *names; ++names)
        if (std::strcmp(argument, *names) == 0)
            return true;
    return false;
}

static int refuse(const char *what, const char *argument, std::FILE *err)
{
    std::fprintf(err, "wanderlink: %s '%s'\nTry 'wanderlink --help' for more information.\n", what,
                 argument);
    return 2;
}

int readCommandLine(int argc, char **argv, std::FILE *out, std::FILE *err, WindowPlace &place)
{
    static const char *const glutWithValue[] = {"-display", "-geometry", nullptr};
    static const char *const glutFlags[] = {"-direct",  "-indirect", "-iconic",
                                            "-gldebug", "-sync",     nullptr};
    static const char *const help[] = {"-h", "--help", nullptr};
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "-geometry") == 0 && i + 1 < argc) {
            if (!readGeometry(argv[++i], place))
                return refuse("invalid geometry", argv[i], err);
        } else if (isOneOf(argument, glutWithValue))
            ++i; // its value, whatever it looks like; GLUT says so where there is none
        else if (isOneOf(argument, glutFlags))
            continue;
        else if (isOneOf(argument, help))
            return say(usage, out, err);
        else if (std::strcmp(argument, "--version") == 0)
            return say(version, out, err);
        else if (argument[0] == '-' && argument[1] != '\0')
            return refuse("unrecognized option", argument, err);
        else
            return refuse("unexpected argument", argument, err);
    }
    return -1;
}
