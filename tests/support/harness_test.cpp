// The harness against windows and processes this test makes itself.
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/frame_watch.h"
#include "tests/support/image_file.h"
#include "tests/support/process_cpu.h"
#include "tests/support/program_process.h"
#include "tests/support/screenshot.h"
#include "tests/support/text_match.h"
#include "tests/support/wait_for.h"
#include "tests/support/x_connection.h"
#include "tests/support/x_windows.h"
#include "tests/support/xtest_input.h"
#include "tests/support/xvfb_server.h"

using namespace std::chrono_literals;

namespace {

// A scratch file removed when the test ends.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& suffix) {
        char name[] = "/tmp/morvane-harness-XXXXXX";
        close(mkstemp(name));
        path = std::string(name) + suffix;
        std::rename(name, path.c_str());
    }
    ~TempFile() { std::remove(path.c_str()); }
};

std::string scriptFile(const TempFile& file, const std::string& body) {
    std::ofstream(file.path) << "#!/bin/sh\n" << body << "\n";
    chmod(file.path.c_str(), 0700);
    return file.path;
}

unsigned long rgbPixel(int r, int g, int b) {
    return (static_cast<unsigned long>(r) << 16) | (g << 8) | b;
}

class HarnessOnXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
        ASSERT_TRUE(x.ok());
        ASSERT_TRUE(hasXTest(x.get()));
    }

    // A mapped 200x120 window with its name only as UTF8_STRING.
    Window makeWindow(const std::string& title, const char* className, Window owner = None) {
        Display* d = x.get();
        const Window w =
            XCreateSimpleWindow(d, x.root(), 30, 40, 200, 120, 0, 0, rgbPixel(10, 200, 30));
        const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
        XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        XClassHint hint{const_cast<char*>("harness"), const_cast<char*>(className)};
        XSetClassHint(d, w, &hint);
        if (owner != None) {
            XSetTransientForHint(d, w, owner);
        }
        XSelectInput(d, w, KeyPressMask | ButtonPressMask | ExposureMask);
        XMapWindow(d, w);
        XSync(d, False);
        return w;
    }

    XvfbServer server{"640x480x24"};
    XConnection x{server.display()};
};

TEST_F(HarnessOnXvfb, FindsWindowsByUtf8TitleClassAndOwner) {
    const Window owner = makeWindow("Ünïcode owner", "Owner");
    const Window box = makeWindow("box", "Box", owner);
    const Window hidden = XCreateSimpleWindow(x.get(), x.root(), 0, 0, 10, 10, 0, 0, 0);
    XStoreName(x.get(), hidden, "box");
    XSync(x.get(), False);

    EXPECT_EQ(findViewableByTitle(x.get(), "Ünïcode owner"), owner);
    EXPECT_EQ(findViewableByTitle(x.get(), "box"), box);  // not the unmapped namesake
    EXPECT_EQ(findViewableByClass(x.get(), "Box"), box);
    EXPECT_FALSE(findViewableByTitle(x.get(), "nothing"));
    EXPECT_EQ(transientFor(x.get(), box), owner);
    EXPECT_EQ(transientFor(x.get(), owner), static_cast<Window>(None));
    EXPECT_EQ(wmName(x.get(), hidden), "box");
    EXPECT_FALSE(wmName(x.get(), box));
    const auto names = wmClass(x.get(), box);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->name, "harness");
    EXPECT_EQ(names->className, "Box");
}

TEST_F(HarnessOnXvfb, ReadsGeometryHintsIconAndProtocols) {
    const Window w = makeWindow("w", "W");
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = 200;
    hints.min_height = hints.max_height = 120;
    XSetWMNormalHints(x.get(), w, &hints);
    std::vector<long> icon = {2, 1, 0xFF112233, 0xFF445566};
    XChangeProperty(x.get(), w, XInternAtom(x.get(), "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(icon.data()), 4);
    Atom deleteWindow = XInternAtom(x.get(), "WM_DELETE_WINDOW", False);
    EXPECT_FALSE(hasDeleteProtocol(x.get(), w));
    XSetWMProtocols(x.get(), w, &deleteWindow, 1);
    XSync(x.get(), False);

    const auto geometry = windowGeometry(x.get(), w);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 30);
    EXPECT_EQ(geometry->y, 40);
    EXPECT_EQ(geometry->width, 200);
    EXPECT_EQ(geometry->height, 120);
    EXPECT_TRUE(geometry->viewable);
    const auto read = normalHints(x.get(), w);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->min_width, 200);
    EXPECT_EQ(read->max_height, 120);
    EXPECT_EQ(netWmIcon(x.get(), w), (std::vector<unsigned long>{2, 1, 0xFF112233, 0xFF445566}));
    EXPECT_TRUE(hasDeleteProtocol(x.get(), w));
}

TEST_F(HarnessOnXvfb, ScreenshotShowsExactColoursWhereTheyWereDrawn) {
    const Window w = makeWindow("shot", "Shot");
    GC gc = XCreateGC(x.get(), w, 0, nullptr);
    XSetForeground(x.get(), gc, rgbPixel(200, 16, 99));
    XFillRectangle(x.get(), w, gc, 50, 20, 10, 5);
    XFreeGC(x.get(), gc);
    XSync(x.get(), False);

    const auto image = captureWindow(x.get(), w);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 200);
    ASSERT_EQ(image->height, 120);
    EXPECT_EQ(image->at(0, 0), (Rgb{10, 200, 30}));
    EXPECT_EQ(image->at(50, 20), (Rgb{200, 16, 99}));
    EXPECT_EQ(image->at(59, 24), (Rgb{200, 16, 99}));
    EXPECT_EQ(image->at(60, 24), (Rgb{10, 200, 30}));
    EXPECT_EQ(image->at(59, 25), (Rgb{10, 200, 30}));
    const auto part = captureArea(x.get(), w, 55, 22, 10, 1);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->at(4, 0), (Rgb{200, 16, 99}));
    EXPECT_EQ(part->at(5, 0), (Rgb{10, 200, 30}));

    XUnmapWindow(x.get(), w);
    XSync(x.get(), False);
    EXPECT_FALSE(captureWindow(x.get(), w));
}

TEST_F(HarnessOnXvfb, TextPatternIsFoundWhereTheTextWasDrawnAndNowhereElse) {
    const Window w = makeWindow("text", "Text");
    const Rgb paper{10, 200, 30};  // the window's background
    const Rgb ink{0, 0, 0};
    XFontStruct* font = XLoadQueryFont(x.get(), "fixed");
    ASSERT_NE(font, nullptr) << "no core font \"fixed\"";
    GC gc = XCreateGC(x.get(), w, 0, nullptr);
    XSetFont(x.get(), gc, font->fid);
    XSetForeground(x.get(), gc, BlackPixel(x.get(), DefaultScreen(x.get())));
    const std::string line = " Hi there, 42 ";
    XDrawString(x.get(), w, gc, 40, 50, line.data(), static_cast<int>(line.size()));
    XFreeGC(x.get(), gc);
    XFreeFont(x.get(), font);
    XSync(x.get(), False);
    const auto picture = captureWindow(x.get(), w);
    ASSERT_TRUE(picture);

    const auto pattern = drawTextPattern(x.get(), "fixed", line, ink, paper);
    ASSERT_TRUE(pattern);
    // Cut to the ink: narrower than the line with its blanks, and the pen
    // starts left of the first glyph by at least the leading blank.
    EXPECT_LT(pattern->image.width, 14 * 6);
    EXPECT_LE(pattern->originX, -6);
    EXPECT_EQ(pattern->advance, 14 * 6);  // "fixed" is a 6-pixel cell font
    const auto spots = findExactly(*picture, pattern->image);
    ASSERT_EQ(spots.size(), 1u);
    EXPECT_EQ(spots[0], (PixelSpot{40 - pattern->originX, 50 - pattern->baselineY}));

    // One letter, one colour step, or a line that is only blanks: no match.
    const auto otherLetter = drawTextPattern(x.get(), "fixed", " Hi there, 43 ", ink, paper);
    ASSERT_TRUE(otherLetter);
    EXPECT_TRUE(findExactly(*picture, otherLetter->image).empty());
    const auto otherInk = drawTextPattern(x.get(), "fixed", line, Rgb{0, 0, 8}, paper);
    ASSERT_TRUE(otherInk);
    EXPECT_TRUE(findExactly(*picture, otherInk->image).empty());
    EXPECT_FALSE(drawTextPattern(x.get(), "fixed", "   ", ink, paper));
    EXPECT_FALSE(drawTextPattern(x.get(), "-no-such-font-*", line, ink, paper));
}

TEST_F(HarnessOnXvfb, XTestInputReachesTheWindowUnderThePointer) {
    const Window w = makeWindow("input", "Input");
    XEvent event;
    while (XCheckWindowEvent(x.get(), w, ExposureMask, &event)) {
    }
    movePointerInto(x.get(), w, 17, 23);
    Window root = None;
    Window child = None;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    XQueryPointer(x.get(), w, &root, &child, &rootX, &rootY, &winX, &winY, &mask);
    EXPECT_EQ(winX, 17);
    EXPECT_EQ(winY, 23);

    tapKey(x.get(), XK_f);
    ASSERT_TRUE(waitFor([&] { return XCheckWindowEvent(x.get(), w, KeyPressMask, &event); }, 5s));
    EXPECT_EQ(XLookupKeysym(&event.xkey, 0), static_cast<KeySym>(XK_f));

    clickAt(x.get(), w, 100, 60);
    ASSERT_TRUE(
        waitFor([&] { return XCheckWindowEvent(x.get(), w, ButtonPressMask, &event); }, 5s));
    EXPECT_EQ(event.xbutton.button, 1u);
    EXPECT_EQ(event.xbutton.x, 100);
    EXPECT_EQ(event.xbutton.y, 60);
}

TEST_F(HarnessOnXvfb, FrameWatchCountsImageTransfersOfOneClientOnly) {
    const Window w = makeWindow("frames", "Frames");
    FrameWatch watch(server.display(), w);
    ASSERT_TRUE(watch.ok());
    XConnection other(server.display());
    const Window elsewhere = XCreateSimpleWindow(other.get(), other.root(), 0, 0, 8, 8, 0, 0, 0);
    XMapWindow(other.get(), elsewhere);

    // Three images from the watched client, drawing and another client's image between.
    auto putImage = [](Display* d, Window target) {
        std::vector<char> data(8 * 8 * 4, 0x55);
        XImage* image = XCreateImage(d, DefaultVisual(d, DefaultScreen(d)), 24, ZPixmap, 0,
                                     data.data(), 8, 8, 32, 0);
        XPutImage(d, target, DefaultGC(d, DefaultScreen(d)), image, 0, 0, 0, 0, 8, 8);
        image->data = nullptr;  // owned by the vector
        XDestroyImage(image);
        XSync(d, False);
    };
    putImage(x.get(), w);
    XFillRectangle(x.get(), w, DefaultGC(x.get(), 0), 0, 0, 5, 5);
    putImage(other.get(), elsewhere);
    putImage(x.get(), w);
    putImage(x.get(), w);
    EXPECT_TRUE(watch.waitForCount(3, 5s));
    EXPECT_TRUE(watch.waitForQuiet(200ms, 5s));
    EXPECT_EQ(watch.count(), 3u);
    const auto frames = watch.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_LE(frames[0], frames[1]);
    EXPECT_LE(frames[1], frames[2]);
}

TEST(ImageFiles, PpmAndPngHoldThePixels) {
    RgbImage image;
    image.width = 3;
    image.height = 2;
    image.pixels = {{1, 2, 3}, {250, 0, 7}, {9, 9, 9}, {0, 0, 0}, {255, 255, 255}, {4, 5, 6}};
    TempFile ppm(".ppm");
    ASSERT_TRUE(savePpm(image, ppm.path));
    std::ifstream in(ppm.path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string header = "P6\n3 2\n255\n";
    ASSERT_EQ(bytes.size(), header.size() + 18);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(static_cast<unsigned char>(bytes[header.size() + 3]), 250);

    TempFile png(".png");
    ASSERT_TRUE(savePng(image, png.path));
    std::ifstream pin(png.path, std::ios::binary);
    const std::string p((std::istreambuf_iterator<char>(pin)), std::istreambuf_iterator<char>());
    ASSERT_GT(p.size(), 33u);
    EXPECT_EQ(p.substr(1, 3), "PNG");
    EXPECT_EQ(p.substr(12, 4), "IHDR");
    EXPECT_EQ(p[19], 3);  // width, big-endian
    EXPECT_EQ(p[23], 2);  // height
    // The stored block holds each row behind its filter byte.
    const auto second = p.find(std::string("\0\xFF\xFF\xFF\x04\x05\x06", 7));
    EXPECT_NE(second, std::string::npos);
    EXPECT_EQ(p.substr(p.size() - 8, 4), "IEND");
}

TEST(ProgramProcess, CollectsStderrStatusAndDisplay) {
    TempFile script("");
    const auto path = scriptFile(script, "echo \"display=${DISPLAY-unset}\" >&2; exit 3");
    {
        ProgramProcess process(path, std::string(":42"));
        ASSERT_TRUE(process.started());
        const auto ended = process.waitForExit(10s);
        ASSERT_TRUE(ended);
        EXPECT_TRUE(ended->exited);
        EXPECT_EQ(ended->status, 3);
        EXPECT_EQ(process.stderrText(), "display=:42\n");
    }
    ProgramProcess unset(path, std::nullopt);
    ASSERT_TRUE(unset.waitForExit(10s));
    EXPECT_EQ(unset.stderrText(), "display=unset\n");
}

TEST(ProgramProcess, DeadlineReturnsWhileRunningAndSignalsAreReported) {
    TempFile script("");
    const auto path = scriptFile(script, "exec sleep 30");
    ProgramProcess sleeper(path, std::nullopt);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sleeper.waitForExit(200ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(sleeper.running());
    kill(sleeper.pid(), SIGTERM);
    const auto ended = sleeper.waitForExit(10s);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(ended->exited);
    EXPECT_EQ(ended->status, SIGTERM);
    EXPECT_FALSE(sleeper.running());
}

TEST(ProcessCpu, GrowsWhileBusyAndNotWhileAsleep) {
    TempFile script("");
    ProgramProcess sleeper(scriptFile(script, "exec sleep 30"), std::nullopt);
    // The shell's start-up costs time too: take the baseline once it is sleep.
    ASSERT_TRUE(waitFor(
        [&] {
            std::ifstream comm("/proc/" + std::to_string(sleeper.pid()) + "/comm");
            std::string name;
            return std::getline(comm, name) && name == "sleep";
        },
        10s));
    // sleep's own start-up after the exec is charged in whole ticks: wait it out.
    ASSERT_TRUE(cpuSettles(sleeper.pid(), 300ms, 10s));
    const auto asleep = processCpuTime(sleeper.pid());
    ASSERT_TRUE(asleep);

    // Busy until the kernel's own clock says 200 ms of processor time went by,
    // however loaded the machine is.
    const auto cpuClock = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    const auto before = processCpuTime(getpid());
    ASSERT_TRUE(before);
    const auto start = cpuClock();
    volatile unsigned spin = 0;
    while (cpuClock() - start < 200ms) {
        spin = spin + 1;
    }
    const auto after = processCpuTime(getpid());
    ASSERT_TRUE(after);
    // Clock ticks of 10 ms at either end.
    EXPECT_GE(*after - *before, 180ms);
    EXPECT_LE(*after - *before, 260ms);
    EXPECT_EQ(processCpuTime(sleeper.pid()), asleep);
    EXPECT_FALSE(processCpuTime(999999999));
}

// A sleeping process settles and a spinning one never does; the watch of a
// spinner ends at its limit, long before its period.
TEST(ProcessCpu, ASleeperSettlesASpinnerNeverDoesAndItsWatchStopsAtTheLimit) {
    TempFile sleeperScript("");
    TempFile spinnerScript("");
    ProgramProcess sleeper(scriptFile(sleeperScript, "exec sleep 30"), std::nullopt);
    ProgramProcess spinner(scriptFile(spinnerScript, "while :; do :; done"), std::nullopt);
    EXPECT_TRUE(cpuSettles(sleeper.pid(), 300ms, 10s));
    EXPECT_FALSE(cpuSettles(spinner.pid(), 300ms, 2s));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_GE(cpuOver(spinner.pid(), 30s, 50ms), 50ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(cpuOver(999999999, 1s, 50ms), 50ms) << "an unreadable process counts as busy";
}

}  // namespace
