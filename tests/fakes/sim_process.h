#pragma once

// Runs the built dalmora-meter-sim as a child process in a fresh temporary folder: the line is
// the link COM1 there, the control socket "control", the log "sim.log".

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/bytes.h"
#include "sim/control_client.h"

extern char** environ;

namespace dalmora::testing {

// One line of the simulator's log: "<ms> RX 01 03 ..." or "<ms> TX ...".
struct SimLogLine {
    long long ms = 0;
    std::string kind;
    Bytes bytes;
};

class SimProcess {
public:
    explicit SimProcess(const std::string& configJson) {
        std::string pattern = (std::filesystem::temp_directory_path() / "dalmora-sim-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        folder_ = pattern;
        writeConfig(configJson);
        std::vector<std::string> args{DALMORA_METER_SIM, "--config", configPath(), "--link", linkPath(),
                                      "--control", controlPath(), "--log", logPath()};
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, DALMORA_METER_SIM, nullptr, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("cannot start " + std::string(DALMORA_METER_SIM));
        }
        // Ready when the control socket answers (the line is opened before the socket).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (true) {
            try {
                command(R"({"ping":true})");
                return;
            } catch (const std::runtime_error&) {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    pid_ = -1;
                    throw std::runtime_error("the simulator ended at start-up");
                }
                if (std::chrono::steady_clock::now() > deadline) {
                    throw std::runtime_error("the simulator did not come up");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }

    ~SimProcess() {
        (void)stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Ends the simulator with SIGTERM; its exit status (-1 when it had to be killed).
    int stop() {
        if (pid_ < 0) {
            return exitStatus_;
        }
        ::kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::waitpid(pid_, &status, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                pid_ = -1;
                exitStatus_ = -1;
                return exitStatus_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return exitStatus_;
    }

    void signal(int number) const { ::kill(pid_, number); }

    [[nodiscard]] const std::string& folder() const { return folder_; }
    [[nodiscard]] std::string linkPath() const { return folder_ + "/COM1"; }
    [[nodiscard]] std::string controlPath() const { return folder_ + "/control"; }
    [[nodiscard]] std::string logPath() const { return folder_ + "/sim.log"; }
    [[nodiscard]] std::string configPath() const { return folder_ + "/meters.json"; }

    void writeConfig(const std::string& json) const { std::ofstream(configPath()) << json; }

    // Sends a control command and returns the answer; fails unless the answer says "ok":true.
    std::string command(const std::string& json) const {
        const std::string answer = sim::sendControl(controlPath(), json);
        if (answer.find("\"ok\":true") == std::string::npos) {
            throw std::runtime_error("the simulator refused " + json + ": " + answer);
        }
        return answer;
    }

    [[nodiscard]] std::vector<SimLogLine> log() const {
        std::ifstream in(logPath());
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);  // a line being written
        std::vector<SimLogLine> lines;
        std::istringstream all(text);
        for (std::string row; std::getline(all, row);) {
            std::istringstream fields(row);
            SimLogLine line;
            fields >> line.ms >> line.kind;
            if (line.kind == "RX" || line.kind == "TX" || line.kind == "DROP") {
                for (std::string hex; fields >> hex;) {
                    line.bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex, nullptr, 16)));
                }
            }
            lines.push_back(std::move(line));
        }
        return lines;
    }

    // Waits until the log has a line that satisfies `wanted`, up to `timeout`.
    bool waitForLog(const std::function<bool(const SimLogLine&)>& wanted,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            for (const auto& line : log()) {
                if (wanted(line)) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // Number of log lines of a kind so far.
    [[nodiscard]] std::size_t count(const std::string& kind) const {
        std::size_t n = 0;
        for (const auto& line : log()) {
            n += line.kind == kind ? 1 : 0;
        }
        return n;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
};

// The monotonic clock in ms, the clock of the simulator's log.
inline long long monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace dalmora::testing
