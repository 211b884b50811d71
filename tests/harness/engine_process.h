// Drives the real corvane and corvane-bench binaries through pipes, each run in
// a scratch directory (the engine writes its log files there). Every wait is
// bounded: a hung or dead engine fails the test that waits on it, never the run.
//
// CORVANE_ENGINE_COMMAND and CORVANE_BENCH_COMMAND swap the binaries for other
// builds of them (command words split at spaces), and CORVANE_TIMEOUT_SCALE
// multiplies every wait: the Windows tests run the engine under Wine so.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// A fresh directory, removed with everything in it at destruction.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// A whole text file, Windows line ends read as plain newlines; empty when unreadable.
std::string read_text(const std::string& path);

// The words that start corvane or corvane-bench, then args.
std::vector<std::string> engine_command(const std::vector<std::string>& args = {});
std::vector<std::string> bench_command(const std::vector<std::string>& args = {});

class EngineProcess {
   public:
    static constexpr int WAIT_MS = 20000;  // generous: sanitized builds start and search slowly

    // Starts command (corvane when empty) in dir (a scratch directory of its own when empty).
    explicit EngineProcess(std::vector<std::string> command = {}, const std::string& dir = "");
    ~EngineProcess();  // kills a child still running
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    const std::string& dir() const { return dir_; }
    std::string read_file(const std::string& name) const { return read_text(dir_ + "/" + name); }

    // One line, the newline added; false once the engine stopped reading.
    bool send(const std::string& line);
    // The next line of output, or nothing at the time-out or the end of output.
    std::optional<std::string> read_line(int timeout_ms = WAIT_MS);
    // Reads until a line matches the regular expression (searched, not anchored);
    // at the time-out or the end of output the test fails with what was said.
    std::optional<std::string> wait_for(const std::string& regex, int timeout_ms = WAIT_MS);
    // Every line read so far, in order.
    const std::vector<std::string>& lines() const { return seen_; }
    std::string transcript() const;

    // End of input, which the engine takes for quit.
    void close_stdin();
    // The exit status, reading the output meanwhile. A child still running at
    // the time-out is killed (-1) and a death by signal gives 128 + signal;
    // both fail the test.
    int wait_exit(int timeout_ms = WAIT_MS);

   private:
    bool fill(int timeout_ms);

    std::optional<ScratchDir> own_dir_;
    std::string dir_, what_;
    pid_t pid_ = -1;
    int to_child_ = -1, from_child_ = -1;
    bool eof_ = false;
    std::string pending_;  // output not yet split into lines
    std::vector<std::string> queue_, seen_;
    std::size_t queue_head_ = 0;
};

// Runs command with its input closed to its end: the exit status and its output.
struct Finished {
    int status;
    std::string out;
};
Finished run_to_end(const std::vector<std::string>& command, int timeout_ms = 300000);
