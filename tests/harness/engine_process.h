// Drives the real corvane and corvane-bench binaries through pipes, each run in
// a scratch directory of its own (the engine writes its log files there).
// Every wait is bounded: a hung or dead engine fails the test that waits on it,
// never the whole test run.
//
// The environment can swap the binaries for other builds of them:
// CORVANE_ENGINE_COMMAND and CORVANE_BENCH_COMMAND give the command words
// (split at spaces), and CORVANE_TIMEOUT_SCALE multiplies every wait.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A fresh directory (mkdtemp), removed with everything in it at destruction.
class ScratchDir {
   public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Whole file contents; the empty text when it cannot be read.
    std::string read_file(const std::string& name) const;

   private:
    std::string path_;
};

class EngineProcess {
   public:
    static constexpr int DEFAULT_TIMEOUT_MS = 10000;

    // Starts corvane in a scratch directory of its own.
    EngineProcess();
    // Starts corvane in dir, which the caller owns (for tests of what a
    // restart does to the files the previous run left).
    explicit EngineProcess(const std::string& dir);
    // Starts the command words with args in a scratch directory of its own,
    // standard error going to the file ERR_FILE there.
    EngineProcess(std::vector<std::string> words, const std::vector<std::string>& args);
    static constexpr const char* ERR_FILE = "stderr.txt";
    // Kills a child that is still running; removes the own scratch directory.
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const { return pid_ > 0; }
    const std::string& dir() const { return dir_; }

    // Sends one command; the newline is added. False once the engine stopped reading.
    bool send(const std::string& line);

    // The next line of output (without its newline), or nothing on time-out or end of output.
    std::optional<std::string> read_line(int timeout_ms = DEFAULT_TIMEOUT_MS);
    // Reads until a line matches the ECMAScript regex (searched, not anchored)
    // and returns it; on time-out or end of output records a test failure that
    // lists what the engine said, and returns nothing.
    std::optional<std::string> wait_for(const std::string& regex, int timeout_ms = DEFAULT_TIMEOUT_MS);
    // Every line read so far, in order.
    const std::vector<std::string>& lines() const { return seen_; }
    std::string transcript() const;

    // End of input: the engine treats it as quit.
    void close_stdin();
    // Exit status (0-255) once the process ends, reading its output meanwhile.
    // A process still alive at the time-out is killed: the test fails and the
    // result is -1. Death by a signal fails the test and gives 128 + signal.
    int wait_exit(int timeout_ms = DEFAULT_TIMEOUT_MS);

    // A file of the working directory (logfile.txt, dumpfile.txt ...).
    std::string read_file(const std::string& name) const;

   private:
    void start(std::vector<std::string> words, const std::vector<std::string>& args, bool err_to_file);
    // Reads what is available within timeout_ms into the line buffer;
    // false at end of output or time-out.
    bool fill(int timeout_ms);
    std::optional<std::string> next_line(std::chrono::steady_clock::time_point deadline);

    std::optional<ScratchDir> own_dir_;
    std::string dir_;
    std::string what_;  // the command, for failure messages
    pid_t pid_ = -1;
    int to_child_ = -1, from_child_ = -1;
    bool eof_ = false;
    std::string pending_;  // output read but not yet split into lines
    std::vector<std::string> queue_;
    std::size_t queue_head_ = 0;
    std::vector<std::string> seen_;
};

struct BenchResult {
    int status = -1;  // exit status, 128 + signal, or -1 when killed at the time-out
    std::string out;
    std::string err;
};

// Runs corvane-bench with the arguments in a scratch directory and collects
// its output; a run past the time-out is killed and fails the test.
BenchResult run_bench(const std::vector<std::string>& args, int timeout_ms = 60000);
// The same for corvane started with arguments (`corvane bench`).
BenchResult run_engine_args(const std::vector<std::string>& args, int timeout_ms = 60000);
