// The headless driver as a script runs it: a settings file in, a log on standard output and
// an exit status out.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The settings live under "config", the output goes to "out".
fs::path settingsPath(const test::TempDir& dir) {
    return dir / "config/morvane/settings.reg";
}

// A complete settings file: Medium profile, stereo, original size.
void writeSettings(const test::TempDir& dir, int mode, const std::string& sourceKey,
                   const fs::path& source, const std::string& extraLines = "") {
    fs::create_directories(dir / "config/morvane");
    fs::create_directories(dir / "out");
    test::writeFile(settingsPath(dir),
                    "\"Mode\"=dword:0000000" + std::to_string(mode) + "\n\"" + sourceKey + "\"=\"" +
                        source.string() + "\"\n\"Destination Path\"=\"" + (dir / "out").string() +
                        "\"\n" + extraLines +
                        "\"Size Mode\"=dword:00000002\n"
                        "\"Width\"=dword:00000140\n\"Height\"=dword:000000f0\n"
                        "\"Profile\"=dword:00000002\n"
                        "\"Video Quality\"=dword:00000190\n\"Audio Quality\"=dword:00000060\n"
                        "\"Custom Video Quality\"=dword:00000190\n"
                        "\"Custom Audio Quality\"=dword:00000060\n"
                        "\"Audio Mode\"=dword:00000001\n"
                        "\"Custom Audio Mode\"=dword:00000001\n");
}

// Where a started morvane-batch prints: standard output into `stdoutFile` and standard error
// into the same name with ".err" added, or both on the terminal `terminal`.
struct Outputs {
    fs::path stdoutFile;
    int terminal = -1;
};

fs::path stderrFileOf(const fs::path& stdoutFile) {
    return stdoutFile.string() + ".err";
}

// Starts morvane-batch with `arguments` in the test's folder; -1 when it cannot be started.
pid_t startBatch(const test::TempDir& dir, std::vector<std::string> arguments,
                 const Outputs& outputs) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (outputs.terminal >= 0) {
        ::posix_spawn_file_actions_adddup2(&actions, outputs.terminal, STDOUT_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, outputs.terminal, STDERR_FILENO);
    } else {
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputs.stdoutFile.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO,
                                           stderrFileOf(outputs.stdoutFile).c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    ::posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    // As a script would: env XDG_CONFIG_HOME=... morvane-batch. The data folders, where a
    // watermark may be, are the test's own too.
    std::string config = "XDG_CONFIG_HOME=" + (dir / "config").string();
    std::string data = "XDG_DATA_HOME=" + (dir / "data").string();
    std::string systemData = "XDG_DATA_DIRS=" + (dir / "system-data").string();
    std::string program = MORVANE_BATCH_PATH;
    char env[] = "env";
    char term[] = "TERM=xterm";  // what a terminal would say, when there is one
    std::vector<char*> argv = {env,  config.data(), data.data(), systemData.data(),
                               term, program.data()};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, "/usr/bin/env", &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start /usr/bin/env for " << MORVANE_BATCH_PATH;
        return -1;
    }
    return child;
}

// Waits for a started morvane-batch to end, calling `whileRunning` meanwhile; its exit status,
// or -1 when it did not exit normally or in time.
int finishBatch(pid_t child, const std::function<void()>& whileRunning = {}) {
    int status = 0;
    auto ended = [&] {
        if (::waitpid(child, &status, WNOHANG) == child) {
            return true;
        }
        if (whileRunning) {
            whileRunning();
        }
        return false;
    };
    if (!test::waitUntil(ended, 120s)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        ADD_FAILURE() << "morvane-batch did not end within 120 s";
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs morvane-batch with `arguments` in the test's folder; `whileRunning` is called with the
// child's pid and what it has printed so far until it ends. Gives the exit status (-1 when it
// did not exit normally) and all it printed on standard output; its standard error is left in
// "stdout.txt.err".
std::pair<int, std::string> runBatch(
    const test::TempDir& dir, std::vector<std::string> arguments = {},
    const std::function<void(pid_t, const std::string&)>& whileRunning = {}) {
    const fs::path output = dir / "stdout.txt";
    const pid_t child = startBatch(dir, std::move(arguments), {output});
    if (child < 0) {
        return {-1, ""};
    }
    const int status = finishBatch(child, [&] {
        if (whileRunning) {
            whileRunning(child, test::readFile(output));
        }
    });
    return {status, test::readFile(output)};
}

TEST(MorvaneBatch, ConvertsTheStoredFileAndWritesTheSettingsBack) {
    test::TempDir dir;
    test::writeClip(dir / "holiday.mkv", test::ClipRecipe{});
    // No "Destination File": the source's name is filled in, as the dialog does.
    writeSettings(dir, 0, "Source File", dir / "holiday.mkv", "; kept\n");

    const auto [status, output] = runBatch(dir);

    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("done\n"), std::string::npos) << output;
    EXPECT_EQ(output, test::readFile(dir / "morvane.log"));
    EXPECT_TRUE(test::readMedia(dir / "out/holiday.flv").opened);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), {}), 1);
    const std::string settings = test::readFile(settingsPath(dir));
    EXPECT_NE(settings.find("\"Destination File\"=\"holiday.flv\""), std::string::npos);
    EXPECT_NE(settings.find("; kept"), std::string::npos);
}

// Whether a process has a file of `folder` open (a written output, named or not).
bool writesInto(pid_t process, const fs::path& folder) {
    std::error_code error;
    for (const auto& entry :
         fs::directory_iterator("/proc/" + std::to_string(process) + "/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (target.starts_with(folder.string() + "/")) {
            return true;
        }
    }
    return false;
}

// A run ended by a signal while it writes an output. SIGTERM acts as Stop: the file is abandoned,
// the rest dropped, and the stored settings written back. A kill -9 (as the out-of-memory killer
// or a power cut ends it) cannot be answered: the output being written must not outlive the
// process, and an older output of that name stays as it was. The stored form's FILE and
// DIRECTORY modes, and a folder named on the command line.
TEST(MorvaneBatch, ASignalMidFileLeavesTheOutputFolderAsItWas) {
    struct Case {
        int signal;
        int mode;                            // stored; with no arguments only
        std::vector<std::string> arguments;  // none: the stored settings
    };
    for (const Case& c : {Case{SIGTERM, 1, {}}, Case{SIGKILL, 0, {}},
                          Case{SIGKILL, 1, {"-y", "-q", "-o", "out", "clips"}}}) {
        SCOPED_TRACE(std::string(c.signal == SIGTERM ? "SIGTERM" : "SIGKILL") + ", mode " +
                     std::to_string(c.mode) + (c.arguments.empty() ? "" : ", arguments"));
        test::TempDir dir;
        fs::create_directories(dir / "clips");
        test::ClipRecipe clip;
        clip.width = 1280;
        clip.height = 720;
        clip.seconds = 10.0;
        test::writeClip(dir / "clips/first.mkv", clip);
        test::writeClip(dir / "clips/second.mkv", clip);
        writeSettings(dir, c.mode, c.mode == 0 ? "Source File" : "Source",
                      c.mode == 0 ? dir / "clips/first.mkv" : dir / "clips");
        test::writeFile(dir / "out/first.flv", "an older output");
        // As an editor on another system leaves the file: every line ends in CR LF. Written
        // back, each value gets a line of its own making; the other lines stay as they are.
        const std::string written = test::readFile(settingsPath(dir));
        std::string edited = "; edited by hand\r\n";
        for (const char byte : written) {
            edited += byte == '\n' ? "\r\n" : std::string(1, byte);
        }
        test::writeFile(settingsPath(dir), edited);

        bool signalled = false;
        const auto [status, output] =
            runBatch(dir, c.arguments, [&](pid_t child, const std::string&) {
                if (!signalled && writesInto(child, dir / "out")) {
                    ::kill(child, c.signal);
                    signalled = true;
                }
            });

        ASSERT_TRUE(signalled) << "no output was being written";
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir / "out")) {
            names.push_back(entry.path().filename());
        }
        EXPECT_EQ(names, std::vector<std::string>{"first.flv"});
        EXPECT_EQ(test::readFile(dir / "out/first.flv"), "an older output");
        if (c.signal == SIGTERM) {
            EXPECT_EQ(status, 1);
            // One file was begun and abandoned; the other was never begun.
            EXPECT_EQ(output.find("Converting initialization: "),
                      output.rfind("Converting initialization: "))
                << output;
            EXPECT_NE(output.find("Converting process... aborted"), std::string::npos) << output;
            // A file from before the choice of format gains it, as Sorenson Spark.
            EXPECT_EQ(test::readFile(settingsPath(dir)),
                      "; edited by hand\r\n" + written + "\"Codec\"=dword:00000000\n")
                << "the settings were not written back as they were";
        }
    }
}

TEST(MorvaneBatch, FailsABatchThatConvertsNothing) {
    test::TempDir dir;
    fs::create_directories(dir / "empty");
    writeSettings(dir, 1, "Source", dir / "empty");

    const auto [status, output] = runBatch(dir);

    EXPECT_EQ(status, 1);
    EXPECT_EQ(output, "No files found in " + (dir / "empty").string() + ".\n\n");
}

TEST(MorvaneBatch, ConvertsNamedFilesAndFoldersWithTheirOptionsAndStoresNothing) {
    test::TempDir dir;
    test::ClipRecipe clip;
    clip.seconds = 1.0;
    fs::create_directories(dir / "more");
    test::writeClip(dir / "a.mkv", clip);
    test::writeClip(dir / "more/b.mkv", clip);
    test::writeFile(dir / "more/c.flv", "an output of an earlier run");

    const auto [status, output] = runBatch(
        dir, {"a.mkv", "more", "-o", "made/here", "--size=101x81", "--audio", "off", "-q"});

    EXPECT_EQ(status, 0) << test::readFile(dir / "morvane.log");
    EXPECT_EQ(output, "");
    EXPECT_EQ(test::readFile(dir / "stdout.txt.err"), "");
    EXPECT_NE(test::readFile(dir / "morvane.log").find("done\n"), std::string::npos);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "made/here")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.flv", "b.flv"}));
    const test::ReadMedia media = test::readMedia(dir / "made/here/b.flv");
    EXPECT_EQ(media.width, 100);  // made even
    EXPECT_EQ(media.height, 80);
    EXPECT_EQ(media.audioCodec, 0);
    EXPECT_FALSE(fs::exists(dir / "config")) << "a command-line run wrote settings";
}

TEST(MorvaneBatch, LeavesAnExistingOutputUnlessToldToReplaceIt) {
    test::TempDir dir;
    test::ClipRecipe clip;
    clip.seconds = 1.0;
    test::writeClip(dir / "a.mkv", clip);
    test::writeFile(dir / "a.flv", "kept");

    const auto [kept, keptOutput] = runBatch(dir, {"a.mkv"});
    EXPECT_EQ(kept, 1);
    EXPECT_NE(keptOutput.find("--overwrite"), std::string::npos) << keptOutput;
    EXPECT_EQ(test::readFile(dir / "a.flv"), "kept");

    const auto [replaced, replacedOutput] = runBatch(dir, {"--overwrite", "a.mkv"});
    EXPECT_EQ(replaced, 0) << replacedOutput;
    EXPECT_EQ(test::readFile(dir / "stdout.txt.err"), "") << "a progress line on a file";
    EXPECT_TRUE(test::readMedia(dir / "a.flv").opened);
}

TEST(MorvaneBatch, RefusesAWrongCommandLineBeforeDoingAnything) {
    test::TempDir dir;
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    test::writeFile(dir / "x/clip.mkv", "");
    test::writeFile(dir / "y/clip.avi", "");
    const std::vector<std::vector<std::string>> wrong = {
        {"--size=1x1", "x/clip.mkv", "-o", "out"},
        {"--frob", "x/clip.mkv", "-o", "out"},
        {"missing.mkv", "-o", "out"},
        {"x/clip.mkv", "y/clip.avi", "-o", "out"},
        {"-o", "out"},
        {},  // no settings stored either
    };
    for (const std::vector<std::string>& arguments : wrong) {
        const auto [status, output] = runBatch(dir, arguments);
        EXPECT_EQ(status, 2) << arguments.size();
        EXPECT_EQ(output, "");
        const std::string error = test::readFile(dir / "stdout.txt.err");
        EXPECT_TRUE(error.starts_with("morvane-batch: ")) << error;
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), arguments.empty() ? 1 : 2) << error;
        EXPECT_FALSE(fs::exists(dir / "out"));
        EXPECT_FALSE(fs::exists(dir / "morvane.log"));
    }
    const auto [status, help] = runBatch(dir, {"--help"});
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(help.starts_with("Usage: morvane-batch [OPTION]... SOURCE...")) << help;
}

// A watermark is looked for beside the program (there is none in the build), then in the
// user's data folder, then in the system's, again for each run; --watermark and
// --no-watermark decide instead.
TEST(MorvaneBatch, DrawsTheWatermarkFromTheDataFoldersOrAsTold) {
    test::TempDir dir;
    test::ClipRecipe clip;
    clip.seconds = 0.5;
    clip.paint = [&clip](int, uint8_t* bgr, int stride) {
        std::fill(bgr, bgr + static_cast<ptrdiff_t>(stride) * clip.height, uint8_t{0});
    };
    test::writeClip(dir / "black.mkv", clip);
    // Opaque squares that cover the place where the test reads the output's luma.
    auto writeMark = [](const fs::path& path, uint8_t grey) {
        fs::create_directories(path.parent_path());
        std::vector<uint8_t> rgba(200 * 200 * 4, grey);
        for (size_t alpha = 3; alpha < rgba.size(); alpha += 4) {
            rgba[alpha] = 255;
        }
        test::writePng(path, 200, 200, rgba);
    };
    auto lumaWith = [&dir](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), {"-y", "-o", "out", "black.mkv"});
        const auto [status, output] = runBatch(dir, arguments);
        EXPECT_EQ(status, 0) << output;
        const test::ReadMedia media = test::readMedia(dir / "out/black.flv");
        return media.rightYuv.empty() ? -1 : media.rightYuv.front()[0];
    };

    writeMark(dir / "system-data/morvane/watermark.png", 255);
    EXPECT_GT(lumaWith({}), 200) << "the system's watermark was not drawn";
    writeMark(dir / "data/morvane/watermark.png", 128);
    EXPECT_NEAR(lumaWith({}), 126, 12) << "the user's watermark does not come first";
    EXPECT_LT(lumaWith({"--no-watermark"}), 30);
    writeMark(dir / "elsewhere.png", 64);
    EXPECT_NEAR(lumaWith({"--watermark=elsewhere.png"}), 71, 12);
}

// Four runs at once into one folder, logging into one file, as a scheduler fanning out a
// library would start them: every output whole, every log line whole, no settings.
TEST(MorvaneBatch, ConcurrentRunsIntoOneFolderKeepOutputsAndLogLinesWhole) {
    test::TempDir dir;
    test::ClipRecipe clip;
    clip.seconds = 2.0;
    constexpr int kRuns = 4;
    std::vector<pid_t> children;
    for (int run = 0; run < kRuns; ++run) {
        const std::string name = "clip" + std::to_string(run);
        test::writeClip(dir / (name + ".mkv"), clip);
    }
    for (int run = 0; run < kRuns; ++run) {
        const std::string name = "clip" + std::to_string(run);
        children.push_back(startBatch(dir, {name + ".mkv", "-o", "out"},
                                      {dir / ("stdout" + std::to_string(run) + ".txt")}));
    }
    for (const pid_t child : children) {
        ASSERT_GE(child, 0);
        EXPECT_EQ(finishBatch(child), 0);
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "out")) {
        names.push_back(entry.path().filename().string());
        EXPECT_EQ(test::readMedia(entry.path()).decodedVideoFrames, 50) << names.back();
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"clip0.flv", "clip1.flv", "clip2.flv", "clip3.flv"}));
    // Each run's lines stand whole in the shared log, in the order its own output has them.
    const std::string log = test::readFile(dir / "morvane.log");
    for (int run = 0; run < kRuns; ++run) {
        const std::string printed = test::readFile(dir / ("stdout" + std::to_string(run) + ".txt"));
        size_t from = 0;
        size_t lineStart = 0;
        while (lineStart < printed.size()) {
            const size_t lineEnd = printed.find('\n', lineStart);
            const std::string line = printed.substr(lineStart, lineEnd - lineStart + 1);
            if (line.size() > 1) {
                const size_t at = log.find(line, from);
                ASSERT_NE(at, std::string::npos) << "not whole in the log: " << line;
                ASSERT_TRUE(at == 0 || log[at - 1] == '\n') << "split in the log: " << line;
                from = at + line.size();
            }
            lineStart = lineEnd == std::string::npos ? printed.size() : lineEnd + 1;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "config")) << "a command-line run wrote settings";
}

// A pseudo-terminal 60 columns wide, raw, so that what the program writes arrives unchanged.
class PseudoTerminal {
public:
    PseudoTerminal() {
        controller_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (controller_ < 0 || ::grantpt(controller_) != 0 || ::unlockpt(controller_) != 0) {
            return;
        }
        terminal_ = ::open(::ptsname(controller_), O_RDWR | O_NOCTTY);
        termios mode{};
        ::tcgetattr(terminal_, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(terminal_, TCSANOW, &mode);
        const winsize size{24, 60, 0, 0};
        ::ioctl(terminal_, TIOCSWINSZ, &size);
    }
    ~PseudoTerminal() {
        closeTerminal();
        if (controller_ >= 0) {
            ::close(controller_);
        }
    }
    int terminal() const { return terminal_; }
    void closeTerminal() {
        if (terminal_ >= 0) {
            ::close(terminal_);
            terminal_ = -1;
        }
    }
    // All that arrives until every writer has closed the terminal; false when that did not
    // happen within the deadline.
    bool readAll(std::string& received) {
        return test::waitUntil(
            [&] {
                pollfd ready{controller_, POLLIN, 0};
                if (::poll(&ready, 1, 100) <= 0) {
                    return false;
                }
                char buffer[4096];
                const ssize_t got = ::read(controller_, buffer, sizeof buffer);
                if (got <= 0) {
                    return true;  // EIO: no writer left
                }
                received.append(buffer, static_cast<size_t>(got));
                return false;
            },
            120s);
    }

private:
    int controller_ = -1;
    int terminal_ = -1;
};

// What a terminal showed: the log text, the progress lines drawn, and the first way in which
// the two mixed (a line drawn where a log line had begun, log text written over a drawn
// line, a line left drawn at the end).
struct TerminalShow {
    std::string text;
    std::vector<std::string> lines;
    std::string fault;
};

TerminalShow separate(const std::string& received) {
    TerminalShow show;
    bool drawn = false;
    for (size_t i = 0; i < received.size(); ++i) {
        if (received[i] != '\r') {
            if (drawn && show.fault.empty()) {
                show.fault = "log text over a drawn line at byte " + std::to_string(i);
            }
            show.text += received[i];
            continue;
        }
        const size_t end = received.find("\x1b[K", i);
        if (end == std::string::npos) {
            show.fault = "a carriage return without an erase at byte " + std::to_string(i);
            return show;
        }
        std::string line = received.substr(i + 1, end - i - 1);
        drawn = !line.empty();
        if (drawn) {
            if (!show.text.empty() && show.text.back() != '\n' && show.fault.empty()) {
                show.fault = "a line drawn after a log line began: " + line;
            }
            show.lines.push_back(std::move(line));
        }
        i = end + 2;
    }
    if (drawn && show.fault.empty()) {
        show.fault = "a line left drawn at the end";
    }
    return show;
}

// "[N/2] NAME  P%  hh:mm:ss left", and "  S.Sx" once the speed is known, for a.mkv then b.mkv.
bool isProgressLine(const std::string& line) {
    unsigned number = 0, percent = 0, hours = 0, minutes = 0, seconds = 0;
    char name[6] = {};
    int end = 0;
    if (std::sscanf(line.c_str(), "[%u/2] %5s %u%%  %2u:%2u:%2u left%n", &number, name, &percent,
                    &hours, &minutes, &seconds, &end) != 6 ||
        end == 0) {
        return false;
    }
    const std::string rest = line.substr(static_cast<size_t>(end));
    double speed = 0;
    int speedEnd = 0;
    const bool speedShown =
        rest.empty() || (std::sscanf(rest.c_str(), "  %lfx%n", &speed, &speedEnd) == 1 &&
                         static_cast<size_t>(speedEnd) == rest.size());
    return (number == 1 || number == 2) && name == std::string(number == 1 ? "a.mkv" : "b.mkv") &&
           percent <= 100 && minutes < 60 && seconds < 60 && speedShown;
}

TEST(MorvaneBatch, DrawsAProgressLineOnATerminalApartFromTheLog) {
    test::TempDir dir;
    test::ClipRecipe clip;
    clip.seconds = 1.0;
    test::writeClip(dir / "a.mkv", clip);
    test::writeClip(dir / "b.mkv", clip);
    auto runOnTerminal = [&dir](std::vector<std::string> arguments) {
        PseudoTerminal pty;
        EXPECT_GE(pty.terminal(), 0) << "no pseudo-terminal";
        const pid_t child = startBatch(dir, std::move(arguments), {"", pty.terminal()});
        pty.closeTerminal();
        std::string received;
        EXPECT_TRUE(pty.readAll(received)) << "the terminal was not closed within 120 s";
        EXPECT_EQ(child >= 0 ? finishBatch(child) : -1, 0) << received;
        return received;
    };

    const TerminalShow show = separate(runOnTerminal({"a.mkv", "b.mkv", "-o", "out"}));
    EXPECT_EQ(show.fault, "");
    EXPECT_EQ(show.text, test::readFile(dir / "morvane.log"));
    ASSERT_FALSE(show.lines.empty());
    EXPECT_TRUE(show.lines.front().starts_with("[1/2] a.mkv ")) << show.lines.front();
    for (const std::string& line : show.lines) {
        EXPECT_TRUE(isProgressLine(line)) << line;
        EXPECT_LT(line.size(), 60u) << line;
    }

    EXPECT_EQ(runOnTerminal({"-q", "-y", "a.mkv", "b.mkv", "-o", "out"}), "");
}

}  // namespace
}  // namespace morvane
