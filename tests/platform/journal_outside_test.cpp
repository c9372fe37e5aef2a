// Record and replay of a run that takes everything from outside: the real
// program's window on a private X server gets keys, typed text, mouse motion
// and clicks from xdotool, a virtual joystick moves, the script plays a
// network game with another program over loopback, fetches from an HTTP
// server of the test's own, starts a program and asks a file dialog (a
// stand-in helper answers). The replay runs headless at full speed with none
// of those there: no peer, no server, no display, no helper. What it prints
// and the screens it saves every 30 frames are the recording's byte for
// byte, and nothing was started or fetched again.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "application.h"
#include "core/engine.h"
#include "platform/platform.h"
#include "support/headless.h"
#include "support/xvfb_display.h"

namespace {

const char kBody[] = "hello from the test server\n";

// A port nobody listens on at the moment.
int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd, (sockaddr*)&address, sizeof address) != 0 || getsockname(fd, (sockaddr*)&address, &size) != 0) {
        close(fd);
        return -1;
    }
    close(fd);
    return ntohs(address.sin_port);
}

// An HTTP/1.0 server on loopback answering every GET with kBody. It serves
// a few requests at most and stops by itself after a minute.
class TestHttpServer {
public:
    bool Start() {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener < 0 || bind(listener, (sockaddr*)&address, sizeof address) != 0 || listen(listener, 4) != 0 ||
            getsockname(listener, (sockaddr*)&address, &size) != 0)
            return false;
        port = ntohs(address.sin_port);
        thread = std::thread([this] { Serve(); });
        return true;
    }
    ~TestHttpServer() { Stop(); }
    void Stop() {
        stop = true;
        if (thread.joinable()) thread.join();
        if (listener >= 0) close(listener);
        listener = -1;
    }
    int port = 0;
    std::atomic<int> served{0};

private:
    void Serve() {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop && served < 4 && std::chrono::steady_clock::now() < end) {
            pollfd waiting = {listener, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) continue;
            int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            // The request, up to its empty line, read with a bound.
            std::string request;
            char buffer[512];
            for (int reads = 0; reads < 64 && request.find("\r\n\r\n") == std::string::npos; ++reads) {
                pollfd readable = {client, POLLIN, 0};
                if (poll(&readable, 1, 2000) <= 0) break;
                ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                request.append(buffer, (size_t)n);
            }
            std::string reply = std::string("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n") + kBody;
            if (write(client, reply.data(), reply.size()) < 0) {
            }
            close(client);
            ++served;
        }
    }
    int listener = -1;
    std::thread thread;
    std::atomic<bool> stop{false};
};

// The peer, headless, from its own folder.
pid_t StartPeer(const std::string& folder) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        int out = open((folder + "peer.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open((folder + "peer.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        std::string script = folder + "main.lua";
        execl(REVEV_BINARY, REVEV_BINARY, "--script", script.c_str(), (char*)nullptr);
        _exit(127);
    }
    return pid;
}

// Waits up to timeoutMs for the child; its exit code, or -1 (killed).
int WaitChild(pid_t pid, int timeoutMs) {
    for (int waited = 0;; waited += 50) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (waited >= timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        SleepMilliseconds(50);
    }
}

std::atomic<bool> joystickStop{false};
std::thread joystickMover;

// Moves every part of the virtual joystick, unaware of frames.
void MoveJoystick(int pad) {
    for (int i = 0; i < 1000 && !joystickStop; ++i) {
        PlatformSetVirtualAxis(pad, 0, (i * 7919) % 65536 - 32768);
        PlatformSetVirtualAxis(pad, 1, i % 3 == 0 ? 32767 : -20000);
        PlatformSetVirtualButton(pad, 0, i % 4 < 2);
        PlatformSetVirtualButton(pad, 1, i % 6 == 0);
        PlatformSetVirtualHat(pad, 0, (i % 9) * 4500);
        std::this_thread::sleep_for(std::chrono::milliseconds(11 + i % 7));
    }
}

// In a child process: the application on the X server, recording.
[[noreturn]] void RecordRun(const std::string& dir, const std::string& display) {
    if (!std::freopen((dir + "rec.out").c_str(), "w", stdout)) std::abort();
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    // The stand-in file dialog helper comes first on the PATH.
    std::string path = dir + "bin:" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    setenv("PATH", path.c_str(), 1);
    ApplicationOptions options;
    options.script = dir + "rec/main.lua";
    options.scriptFolderIsCurrent = true;
    options.frames = 1200;
    std::string error;
    if (!BeginRecording(dir + "run.rvj", options.script, "", error)) std::abort();
    int pad = PlatformAttachVirtualJoystick("Test Pad");
    if (pad < 0) std::abort();
    joystickMover = std::thread(MoveJoystick, pad);
    // The exit stops the mover before the process goes.
    std::atexit([] {
        joystickStop = true;
        if (joystickMover.joinable()) joystickMover.join();
    });
    RunApplication(options, "");
    std::exit(99);
}

class OutsideReplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!CommandInstalled("xdotool") || !CommandInstalled("Xvfb")) {
            skipped = "xdotool or Xvfb is not installed (scripts/install-deps.sh)";
            return;
        }
        dir = UseScratchTempDirectory();
        // The replays run headless whatever display the caller has; the
        // recording names the test's own.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        XvfbDisplay display;
        std::string why;
        if (!display.Start(why)) {
            problem = why;
            return;
        }
        TestHttpServer server;
        if (!server.Start()) {
            problem = "cannot start the HTTP server";
            return;
        }
        int netPort = FreePort();
        std::string ports = std::to_string(netPort) + "\n" + std::to_string(server.port) + "\n";
        std::string script = ReadWholeFile(REVEV_SOURCE_DIR "/tests/platform/outside_script.lua");
        for (const char* sub : {"rec", "rep", "peer", "bin"}) mkdir((dir + sub).c_str(), 0755);
        for (const char* sub : {"rec/", "rep/"}) {
            WriteWholeFile(dir + sub + "main.lua", script);
            WriteWholeFile(dir + sub + "ports.txt", ports);
        }
        WriteWholeFile(dir + "peer/main.lua", ReadWholeFile(REVEV_SOURCE_DIR "/tests/platform/outside_peer.lua"));
        WriteWholeFile(dir + "peer/port.txt", std::to_string(netPort) + "\n");
        WriteWholeFile(dir + "bin/zenity", "#!/bin/sh\necho /home/player/chosen.png\n");
        chmod((dir + "bin/zenity").c_str(), 0755);

        pid_t peer = StartPeer(dir + "peer/");
        std::string hosting = WaitForContent(dir + "peer/hosting.txt", 30000,
                                             [](const std::string& text) { return !text.empty(); });
        if (hosting.substr(0, 1) != "1") {
            problem = "the peer does not host: " + hosting + ReadFileIfAny(dir + "peer/peer.err");
            kill(peer, SIGKILL);
            waitpid(peer, nullptr, 0);
            return;
        }

        std::fflush(stdout);
        pid_t child = fork();
        if (child == 0) RecordRun(dir, display.Name());
        std::string window = display.FindWindow("ReVev", 60000);
        if (!window.empty()) {
            // No window manager gives the focus: the keys go to the window
            // under the pointer.
            display.Xdotool("mousemove --window " + window + " 100 100");
            SleepMilliseconds(200);
            display.Xdotool("type --delay 60 hi");
            display.Xdotool("mousemove --window " + window + " 220 140");
            // Held over a few frames, so that a frame sees it down.
            display.Xdotool("mousedown 1");
            SleepMilliseconds(150);
            display.Xdotool("mouseup 1");
            display.Xdotool("keydown a");
            SleepMilliseconds(150);
            display.Xdotool("keyup a");
            display.Xdotool("mousemove --window " + window + " 300 200");
            display.Xdotool("type --delay 40 hi");
        }
        recordExit = WaitChild(child, 180000);
        kill(peer, SIGTERM);
        WaitChild(peer, 10000);
        server.Stop();
        fetches = server.served;
        recorded = ReadWholeFile(dir + "rec.out");
        journal = ReadWholeFile(dir + "run.rvj");
        if (window.empty()) problem = "the recording's window did not come up";
    }
    void SetUp() override {
        if (!skipped.empty()) GTEST_SKIP() << skipped;
        ASSERT_TRUE(problem.empty()) << problem;
        ASSERT_EQ(recordExit, 0) << recorded;
        ASSERT_FALSE(journal.empty());
    }
    static std::string dir, recorded, journal, skipped, problem;
    static int recordExit, fetches;
};
std::string OutsideReplay::dir, OutsideReplay::recorded, OutsideReplay::journal, OutsideReplay::skipped,
    OutsideReplay::problem;
int OutsideReplay::recordExit = -1, OutsideReplay::fetches = 0;

TEST_F(OutsideReplay, TheRecordingSawEveryKindOfOutsideData) {
    EXPECT_NE(recorded.find("joined\t1\t"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("\t1\tTest Pad"), std::string::npos) << "joystick count and name\n" << recorded;
    EXPECT_NE(recorded.find(std::string("fetch\t1\t") + "hello from the test server"), std::string::npos)
        << recorded;
    EXPECT_NE(recorded.find("program\t1\t7"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("dialog\t/home/player/chosen.png"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("seen everything"), std::string::npos) << recorded;
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(ReadFileIfAny(dir + "rec/ran.txt"), "ran\n");
}

TEST_F(OutsideReplay, TheReplayPrintsAndShowsTheSameWithNothingOutside) {
    ProgramRun run = RunProgram("--replay " + dir + "run.rvj --replay-speed max --script " + dir + "rep/main.lua", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, recorded);
    EXPECT_EQ(run.err.find("revev:"), std::string::npos) << run.err;
    int shots = 0;
    for (int frame = 30;; frame += 30) {
        std::string name = "shot" + std::to_string(frame) + ".png";
        std::string original = ReadFileIfAny(dir + "rec/" + name);
        if (original.empty()) break;
        ++shots;
        EXPECT_TRUE(original == ReadFileIfAny(dir + "rep/" + name)) << name << " differs";
    }
    EXPECT_GE(shots, 4);
    // The replay started no program; it wrote the fetched body as the fetch did.
    EXPECT_EQ(ReadFileIfAny(dir + "rep/ran.txt"), "");
    EXPECT_EQ(ReadFileIfAny(dir + "rep/fetched.txt"), kBody);
}

TEST_F(OutsideReplay, AReplayThatAsksForOtherOutsideDataStopsWithExitCode3) {
    mkdir((dir + "other").c_str(), 0755);
    WriteWholeFile(dir + "other/ports.txt", ReadWholeFile(dir + "rep/ports.txt"));
    // The fetch comes a frame early, where the recording read the clock.
    std::string script = ReadWholeFile(dir + "rep/main.lua");
    size_t at = script.find("if frame == 20 then");
    ASSERT_NE(at, std::string::npos);
    script.replace(at, 19, "if frame == 19 then");
    WriteWholeFile(dir + "other/main.lua", script);
    ProgramRun run =
        RunProgram("--replay " + dir + "run.rvj --replay-speed max --script " + dir + "other/main.lua", dir);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("at frame 19"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no longer matches"), std::string::npos) << run.err;
}

}  // namespace
