// A private JACK server for a test: jackd with the dummy backend under a name
// of its own, stopped at the end of the test and, should the test die, by the
// system when its parent goes (PR_SET_PDEATHSIG).
#pragma once

#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace zelmora::testing {

class JackServer {
public:
    // Starts the server and waits up to 10 s for it to answer; false when it
    // could not (no jackd installed, say).
    bool Start(int rate, int period) {
        jack_set_error_function([](const char*) {});  // the polls below fail until it is up
        name_ = "zelmora-test-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        const std::string r = std::to_string(rate), p = std::to_string(period);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
            // Synchronous: each cycle waits for the clients (up to the 1 s
            // timeout), so a test machine busy with other work delays the
            // graph instead of dropping a period of the recording.
            execlp("jackd", "jackd", "--no-realtime", "--sync", "-t", "1000", "-n", name_.c_str(), "-d", "dummy",
                   "-r", r.c_str(), "-p", p.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Answers()) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Stops the server and waits for it to end.
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    ~JackServer() { Stop(); }

    const std::string& name() const { return name_; }

private:
    bool Answers() {
        jack_status_t status{};
        jack_client_t* client = jack_client_open("zelmora-probe", JackNoStartServer, &status);
        if (!client) return false;
        jack_client_close(client);
        return true;
    }

    std::string name_;
    pid_t pid_ = -1;
};

}  // namespace zelmora::testing
