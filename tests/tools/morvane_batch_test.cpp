// The headless driver as a script runs it: a settings file in, a log on standard output and
// an exit status out.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/media_writer.h"
#include "tests/support/source_tree.h"
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

// Starts morvane-batch with `arguments` in the test's folder, standard output into `stdoutFile`
// and standard error into the same name with ".err" added; or, `onTerminal`, both on a raw
// pseudo-terminal 60 columns wide whose output `script` copies into `stdoutFile` unchanged.
// -1 when it cannot be started.
pid_t startBatch(const test::TempDir& dir, std::vector<std::string> arguments,
                 const fs::path& stdoutFile, bool onTerminal = false) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFile.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO,
                                       (stdoutFile.string() + ".err").c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    // As a script would: env XDG_CONFIG_HOME=... morvane-batch. The data folders, where a
    // watermark may be, are the test's own too; TERM is what a terminal would say. Run by root,
    // it goes without root's powers over permissions, as a user's run would.
    std::vector<std::string> command = {"env",
                                        "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                        "XDG_DATA_HOME=" + (dir / "data").string(),
                                        "XDG_DATA_DIRS=" + (dir / "system-data").string(),
                                        "TERM=xterm",
                                        MORVANE_BATCH_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    if (::geteuid() == 0) {
        command.insert(command.begin(),
                       {"setpriv", "--bounding-set=-dac_override,-dac_read_search"});
    }
    if (onTerminal) {
        std::string line = "stty raw -echo cols 60 rows 24 && exec";
        for (const std::string& word : command) {
            line += " '" + word + "'";
        }
        command = {"script", "-qec", line, "/dev/null"};
    }
    std::vector<char*> argv;
    for (std::string& word : command) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0] << " for " << MORVANE_BATCH_PATH;
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
    const pid_t child = startBatch(dir, std::move(arguments), output);
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
    EXPECT_EQ(test::namesIn(dir / "out"), std::vector<std::string>{"holiday.flv"});
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
        const test::ClipRecipe clip{.width = 1280, .height = 720, .seconds = 10.0};
        test::writeClip(dir / "clips/first.mkv", clip);
        test::writeClip(dir / "clips/second.mkv", clip);
        writeSettings(dir, c.mode, c.mode == 0 ? "Source File" : "Source",
                      c.mode == 0 ? dir / "clips/first.mkv" : dir / "clips");
        test::writeFile(dir / "out/first.flv", "an older output");
        const std::string written = test::readFile(settingsPath(dir));
        test::writeFile(settingsPath(dir), "; edited by hand\n" + written);

        bool signalled = false;
        const auto [status, output] =
            runBatch(dir, c.arguments, [&](pid_t child, const std::string&) {
                if (!signalled && writesInto(child, dir / "out")) {
                    ::kill(child, c.signal);
                    signalled = true;
                }
            });

        ASSERT_TRUE(signalled) << "no output was being written";
        EXPECT_EQ(test::namesIn(dir / "out"), std::vector<std::string>{"first.flv"});
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
                      "; edited by hand\n" + written +
                          "\"Codec\"=dword:00000000\n\"Include Subfolders\"=dword:00000000\n")
                << "the settings were not written back as they were";
        }
    }
}

TEST(MorvaneBatch, FailsABatchThatConvertsNothing) {
    test::TempDir dir;
    fs::create_directories(dir / "empty/sub");  // subfolders are not looked into
    writeSettings(dir, 1, "Source", dir / "empty");

    const auto [status, output] = runBatch(dir);

    EXPECT_EQ(status, 1);
    EXPECT_EQ(output, "No files found in " + (dir / "empty").string() + ".\n\n");
}

// Named files and folders with their options, from the built-in defaults, storing nothing; an
// output that exists is left alone unless --overwrite says otherwise.
TEST(MorvaneBatch, ConvertsNamedFilesAndFoldersWithTheirOptionsAndReplacesOnlyWhenTold) {
    test::TempDir dir;
    const test::ClipRecipe clip{.seconds = 1.0};
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
    EXPECT_EQ(test::namesIn(dir / "made/here"), (std::vector<std::string>{"a.flv", "b.flv"}));
    const test::ReadMedia media = test::readMedia(dir / "made/here/b.flv");
    EXPECT_EQ(media.width, 100);  // made even
    EXPECT_EQ(media.height, 80);
    EXPECT_EQ(media.audioCodec, 0);
    EXPECT_FALSE(fs::exists(dir / "config")) << "a command-line run wrote settings";

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

// With -r, the files of every sub-folder too, each output in the same sub-folder under the
// output folder: no folder for a sub-folder with nothing converted, no link to a folder
// followed, the output folder inside the source not walked, an unreadable sub-folder logged and
// the run then not called a success.
TEST(MorvaneBatch, RecursiveMirrorsTheSubFoldersAndLeavesOutWhatItMust) {
    test::TempDir dir;
    const test::SourceTree tree(dir.path());

    const auto [status, output] =
        runBatch(dir, {"-r", "-o", tree.destination.string(), tree.root.string()});

    EXPECT_EQ(status, 1) << output;
    EXPECT_EQ(test::treeOf(tree.destination), test::SourceTree::expectedOutputs(".flv"));
    EXPECT_NE(output.find("Could not read the folder " + tree.locked.string() +
                          ", its files are skipped.\n\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("failed"), std::string::npos) << output;
}

TEST(MorvaneBatch, RefusesAWrongCommandLineBeforeDoingAnything) {
    test::TempDir dir;
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    test::writeFile(dir / "x/clip.mkv", "");
    test::writeFile(dir / "y/clip.avi", "");
    const std::vector<std::vector<std::string>> wrong = {
        {"--frob", "x/clip.mkv", "-o", "out"},
        {"missing.mkv", "-o", "out"},
        {"x/clip.mkv", "y/clip.avi", "-o", "out"},
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
    test::writeClip(dir / "black.mkv",
                    {.seconds = 0.5, .paint = [](int, uint8_t* bgr, int stride) {
                         std::fill(bgr, bgr + static_cast<ptrdiff_t>(stride) * 240, uint8_t{0});
                     }});
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
    const test::ClipRecipe clip{.seconds = 2.0};
    constexpr int kRuns = 4;
    std::vector<pid_t> children;
    for (int run = 0; run < kRuns; ++run) {
        const std::string name = "clip" + std::to_string(run);
        test::writeClip(dir / (name + ".mkv"), clip);
    }
    for (int run = 0; run < kRuns; ++run) {
        const std::string name = "clip" + std::to_string(run);
        children.push_back(startBatch(dir, {name + ".mkv", "-o", "out"},
                                      dir / ("stdout" + std::to_string(run) + ".txt")));
    }
    for (const pid_t child : children) {
        ASSERT_GE(child, 0);
        EXPECT_EQ(finishBatch(child), 0);
    }
    EXPECT_EQ(test::namesIn(dir / "out"),
              (std::vector<std::string>{"clip0.flv", "clip1.flv", "clip2.flv", "clip3.flv"}));
    for (const std::string& name : test::namesIn(dir / "out")) {
        EXPECT_EQ(test::readMedia(dir / "out" / name).decodedVideoFrames, 50) << name;
    }
    // Each run's lines stand whole in the shared log, never split by another's.
    const auto linesOf = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) {
            lines.push_back(line);
        }
        return lines;
    };
    const std::vector<std::string> logLines = linesOf(test::readFile(dir / "morvane.log"));
    for (int run = 0; run < kRuns; ++run) {
        for (const std::string& line :
             linesOf(test::readFile(dir / ("stdout" + std::to_string(run) + ".txt")))) {
            EXPECT_NE(std::find(logLines.begin(), logLines.end(), line), logLines.end())
                << "not whole in the log: " << line;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "config")) << "a command-line run wrote settings";
}

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

TEST(MorvaneBatch, DrawsAProgressLineOnATerminalApartFromTheLog) {
    test::TempDir dir;
    const test::ClipRecipe clip{.seconds = 1.0};
    test::writeClip(dir / "a.mkv", clip);
    test::writeClip(dir / "b.mkv", clip);
    auto runOnTerminal = [&dir](std::vector<std::string> arguments) {
        const pid_t child = startBatch(dir, std::move(arguments), dir / "terminal.txt", true);
        EXPECT_EQ(child >= 0 ? finishBatch(child) : -1, 0) << test::readFile(dir / "terminal.txt");
        return test::readFile(dir / "terminal.txt");
    };

    const TerminalShow show = separate(runOnTerminal({"a.mkv", "b.mkv", "-o", "out"}));
    EXPECT_EQ(show.fault, "");
    EXPECT_EQ(show.text, test::readFile(dir / "morvane.log"));
    ASSERT_FALSE(show.lines.empty());
    // The line's own layout is the progress line's tests'; here, the file it tells of (of as
    // many as are found so far), that it tells the time left, and the terminal's width.
    const auto ofFiles = [](const std::string& line, const std::string& counted) {
        return line.starts_with("[" + counted + " ");
    };
    EXPECT_TRUE(ofFiles(show.lines.front(), "1/1] a.mkv") ||
                ofFiles(show.lines.front(), "1/2] a.mkv"))
        << show.lines.front();
    for (const std::string& line : show.lines) {
        EXPECT_TRUE((ofFiles(line, "1/1] a.mkv") || ofFiles(line, "1/2] a.mkv") ||
                     ofFiles(line, "2/2] b.mkv")) &&
                    line.find("% ") != std::string::npos && line.find(" left") != std::string::npos)
            << line;
        EXPECT_LT(line.size(), 60u) << line;
    }

    EXPECT_EQ(runOnTerminal({"-q", "-y", "a.mkv", "b.mkv", "-o", "out"}), "");
}

}  // namespace
}  // namespace morvane
