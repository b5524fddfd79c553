// The headless driver as a script runs it: a settings file in, a log on standard output and
// an exit status out.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/media_writer.h"
#include "tests/support/temp_dir.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Outcome {
    int status = -1;  // the exit status, or -1 when it did not exit normally
    std::string output;
};

// Runs morvane-batch in the test's folder with its settings under "config"; `whileRunning` is
// called with the child's pid and what it has printed so far until it ends.
class Driver {
public:
    explicit Driver(const test::TempDir& dir) : dir_(dir) {
        fs::create_directories(dir_ / "config/morvane");
        fs::create_directories(dir_ / "out");
    }

    fs::path settingsPath() const { return dir_ / "config/morvane/settings.reg"; }
    fs::path out() const { return dir_ / "out"; }

    // A complete settings file: Medium profile, stereo, original size.
    void writeSettings(int mode, const std::string& sourceKey, const fs::path& source,
                       const std::string& extraLines = "") const {
        test::writeFile(settingsPath(),
                        "\"Mode\"=dword:0000000" + std::to_string(mode) + "\n\"" + sourceKey +
                            "\"=\"" + source.string() + "\"\n\"Destination Path\"=\"" +
                            out().string() + "\"\n" + extraLines +
                            "\"Size Mode\"=dword:00000002\n"
                            "\"Width\"=dword:00000140\n\"Height\"=dword:000000f0\n"
                            "\"Profile\"=dword:00000002\n"
                            "\"Video Quality\"=dword:00000190\n\"Audio Quality\"=dword:00000060\n"
                            "\"Custom Video Quality\"=dword:00000190\n"
                            "\"Custom Audio Quality\"=dword:00000060\n"
                            "\"Audio Mode\"=dword:00000001\n"
                            "\"Custom Audio Mode\"=dword:00000001\n");
    }

    template <typename WhileRunning>
    Outcome run(WhileRunning whileRunning) const {
        Outcome outcome;
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe";
            return outcome;
        }
        const test::ScopedEnv config("XDG_CONFIG_HOME", (dir_ / "config").string());
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addchdir_np(&actions, dir_.path().c_str());
        char name[] = "morvane-batch";
        char* const argv[] = {name, nullptr};
        pid_t child = -1;
        const int spawned =
            ::posix_spawn(&child, MORVANE_BATCH_PATH, &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        int status = 0;
        const auto giveUpAt = std::chrono::steady_clock::now() + 120s;
        for (bool ended = spawned != 0; !ended;) {
            ended = ::waitpid(child, &status, WNOHANG) == child;
            char buffer[4096];
            for (ssize_t got = 0; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
                outcome.output.append(buffer, static_cast<size_t>(got));
            }
            if (!ended && std::chrono::steady_clock::now() > giveUpAt) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                ADD_FAILURE() << "morvane-batch did not end within 120 s";
                break;
            }
            if (!ended) {
                whileRunning(child, outcome.output);
                std::this_thread::sleep_for(10ms);
            }
        }
        ::close(pipeFds[0]);
        EXPECT_EQ(spawned, 0) << "cannot start " << MORVANE_BATCH_PATH;
        outcome.status = spawned == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }

    Outcome run() const {
        return run([](pid_t, const std::string&) {});
    }

private:
    const test::TempDir& dir_;
};

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(MorvaneBatch, ConvertsTheStoredFileAndWritesTheSettingsBack) {
    test::TempDir dir;
    test::ClipSpec clip;
    clip.seconds = 1.0;
    test::writeClip(dir / "holiday.mkv", clip);
    Driver driver(dir);
    // No "Destination File": the source's name is filled in, as the dialog does.
    driver.writeSettings(0, "Source File", dir / "holiday.mkv", "; kept\n");

    const Outcome outcome = driver.run();

    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("done\n"), std::string::npos) << outcome.output;
    EXPECT_EQ(outcome.output, test::readFile(dir / "morvane.log"));
    EXPECT_EQ(filesIn(driver.out()), std::vector<std::string>{"holiday.flv"});
    EXPECT_TRUE(test::readMedia(driver.out() / "holiday.flv").opened);
    const std::string settings = test::readFile(driver.settingsPath());
    EXPECT_NE(settings.find("\"Destination File\"=\"holiday.flv\""), std::string::npos);
    EXPECT_NE(settings.find("; kept"), std::string::npos);
}

TEST(MorvaneBatch, FailsABatchThatConvertsNothing) {
    test::TempDir dir;
    fs::create_directories(dir / "empty");
    Driver driver(dir);
    driver.writeSettings(1, "Source", dir / "empty");

    const Outcome outcome = driver.run();

    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output, "No files found in " + (dir / "empty").string() + ".\n\n");
}

TEST(MorvaneBatch, StopsOnATerminationSignalAndLeavesNoFileBehind) {
    test::TempDir dir;
    fs::create_directories(dir / "clips");
    test::ClipSpec clip;
    clip.width = 1280;
    clip.height = 720;
    clip.seconds = 10.0;
    test::writeClip(dir / "clips/first.mkv", clip);
    test::writeClip(dir / "clips/second.mkv", clip);
    Driver driver(dir);
    driver.writeSettings(1, "Source", dir / "clips");
    // As an editor on another system leaves the file: every line ends in CR LF. Written back,
    // each value gets a line of its own making; the other lines stay as they are.
    const std::string written = test::readFile(driver.settingsPath());
    std::string edited = "; edited by hand\r\n";
    for (const char byte : written) {
        edited += byte == '\n' ? std::string("\r\n") : std::string(1, byte);
    }
    test::writeFile(driver.settingsPath(), edited);

    bool signalled = false;
    const Outcome outcome = driver.run([&signalled](pid_t child, const std::string& output) {
        if (!signalled && output.find("Converting process... ") != std::string::npos) {
            ::kill(child, SIGTERM);
            signalled = true;
        }
    });

    ASSERT_TRUE(signalled) << outcome.output;
    EXPECT_EQ(outcome.status, 1);
    // One file was begun and abandoned; the other was never begun.
    EXPECT_EQ(outcome.output.find("Converting initialization: "),
              outcome.output.rfind("Converting initialization: "))
        << outcome.output;
    EXPECT_NE(outcome.output.find("Converting process... aborted"), std::string::npos)
        << outcome.output;
    EXPECT_TRUE(filesIn(driver.out()).empty());
    EXPECT_EQ(test::readFile(driver.settingsPath()), "; edited by hand\r\n" + written)
        << "the settings were not written back as they were";
}

}  // namespace
}  // namespace morvane
