// Child processes on pipes with bounded waits; see engine_process.h.
#include "harness/engine_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Every bounded wait is multiplied by CORVANE_TIMEOUT_SCALE when it is set:
// a program run under Wine takes a second or more just to start.
int scaled(int timeout_ms) {
    static const double factor = [] {
        const char* text = std::getenv("CORVANE_TIMEOUT_SCALE");
        double f = text ? std::atof(text) : 1.0;
        return f >= 1.0 ? f : 1.0;
    }();
    return int(timeout_ms * factor);
}

// The words that start the program: those of the environment variable when it
// is set (say "/usr/lib/wine/wine64 /path/corvane.exe", split at spaces),
// else the built binary, behind the emulator where the host cannot run the
// target's binaries directly (see CMakeLists.txt).
std::vector<std::string> command_words(const char* variable, const std::string& program) {
    std::vector<std::string> words;
    if (const char* command = std::getenv(variable); command && *command) {
        std::istringstream in(command);
        for (std::string word; in >> word;) words.push_back(word);
        return words;
    }
    std::string emulator = CORVANE_EMULATOR;
    if (!emulator.empty()) words.push_back(emulator);
    words.push_back(program);
    return words;
}

// A Windows build writes text with CRLF line ends; tests compare the text,
// so those come back as plain newlines.
std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    for (std::size_t at = 0; (at = s.find("\r\n", at)) != std::string::npos;) s.erase(at, 1);
    return s;
}

}  // namespace

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-test-XXXXXX";
    if (mkdtemp(pattern.data()))
        path_ = pattern;
    else
        ADD_FAILURE() << "mkdtemp " << pattern << ": " << std::strerror(errno);
}

ScratchDir::~ScratchDir() {
    if (path_.empty()) return;
    namespace fs = std::filesystem;
    std::error_code ec;
    // A test may have taken away the write bits; put them back so removal works.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string ScratchDir::read_file(const std::string& name) const { return slurp(file(name)); }

EngineProcess::EngineProcess() : own_dir_(std::in_place), dir_(own_dir_->path()) {
    start(command_words("CORVANE_ENGINE_COMMAND", CORVANE_ENGINE_PATH), {}, false);
}

EngineProcess::EngineProcess(const std::string& dir) : dir_(dir) {
    start(command_words("CORVANE_ENGINE_COMMAND", CORVANE_ENGINE_PATH), {}, false);
}

EngineProcess::EngineProcess(std::vector<std::string> words, const std::vector<std::string>& args)
    : own_dir_(std::in_place), dir_(own_dir_->path()) {
    start(std::move(words), args, true);
}

void EngineProcess::start(std::vector<std::string> words, const std::vector<std::string>& args, bool err_to_file) {
    // Writing to an engine that has died must fail the write, not kill the test run.
    std::signal(SIGPIPE, SIG_IGN);
    if (dir_.empty()) return;
    words.insert(words.end(), args.begin(), args.end());
    for (const auto& w : words) what_ += (what_.empty() ? "" : " ") + w;
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    const int err = err_to_file ? open((dir_ + "/" + ERR_FILE).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644) : -1;
    pid_ = fork();
    if (pid_ == 0) {  // the child: only async-signal-safe calls from here on
        if (chdir(dir_.c_str()) != 0) _exit(126);
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (err >= 0) dup2(err, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (err >= 0) close(err);
    close(in[0]);
    close(out[1]);
    to_child_ = in[1];
    fcntl(to_child_, F_SETFL, fcntl(to_child_, F_GETFL) | O_NONBLOCK);  // see send
    from_child_ = out[0];
    if (pid_ < 0) ADD_FAILURE() << "fork: " << std::strerror(errno);
}

EngineProcess::~EngineProcess() {
    if (to_child_ >= 0) close(to_child_);
    if (from_child_ >= 0) close(from_child_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool EngineProcess::send(const std::string& line) {
    if (to_child_ < 0) return false;
    const std::string bytes = line + "\n";
    // The engine may answer while a long input is still going in; its output
    // is read meanwhile, or both sides would wait on a full pipe for ever.
    auto deadline = Clock::now() + std::chrono::milliseconds(DEFAULT_TIMEOUT_MS);
    std::size_t done = 0;
    while (done < bytes.size()) {
        pollfd fds[2] = {{to_child_, POLLOUT, 0}, {eof_ ? -1 : from_child_, POLLIN, 0}};
        int r = poll(fds, 2, remaining_ms(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ADD_FAILURE() << "the engine took no input for " << DEFAULT_TIMEOUT_MS << " ms";
            return false;
        }
        if (fds[1].revents) fill(0);
        if (fds[0].revents & POLLOUT) {
            ssize_t n = write(to_child_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += std::size_t(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;  // the engine is gone
        } else if (fds[0].revents & (POLLERR | POLLHUP)) {
            return false;
        }
    }
    return true;
}

void EngineProcess::close_stdin() {
    if (to_child_ >= 0) close(to_child_);
    to_child_ = -1;
}

bool EngineProcess::fill(int timeout_ms) {
    if (eof_ || from_child_ < 0) return false;
    pollfd p{from_child_, POLLIN, 0};
    int r = poll(&p, 1, timeout_ms);
    if (r <= 0) return false;
    char buf[4096];
    ssize_t n = read(from_child_, buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && errno == EINTR) return true;
        eof_ = true;
        // A last line without its newline still counts as a line.
        if (!pending_.empty()) queue_.push_back(pending_);
        pending_.clear();
        return false;
    }
    pending_.append(buf, std::size_t(n));
    for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
        // A Windows build's screen lines end in CRLF.
        std::size_t end = nl > 0 && pending_[nl - 1] == '\r' ? nl - 1 : nl;
        queue_.push_back(pending_.substr(0, end));
        pending_.erase(0, nl + 1);
    }
    return true;
}

std::optional<std::string> EngineProcess::read_line(int timeout_ms) {
    return next_line(Clock::now() + std::chrono::milliseconds(scaled(timeout_ms)));
}

std::optional<std::string> EngineProcess::next_line(std::chrono::steady_clock::time_point deadline) {
    while (queue_head_ == queue_.size()) {
        if (!fill(remaining_ms(deadline)) && (eof_ || Clock::now() >= deadline)) break;
    }
    if (queue_head_ == queue_.size()) return std::nullopt;
    std::string line = std::move(queue_[queue_head_++]);
    seen_.push_back(line);
    return line;
}

std::optional<std::string> EngineProcess::wait_for(const std::string& regex, int timeout_ms) {
    std::regex pattern(regex);
    timeout_ms = scaled(timeout_ms);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (auto line = next_line(deadline))
        if (std::regex_search(*line, pattern)) return line;
    ADD_FAILURE() << "no line matching /" << regex << "/ within " << timeout_ms << " ms"
                  << (eof_ ? " (output ended)" : "") << "; the engine said:\n"
                  << transcript();
    return std::nullopt;
}

std::string EngineProcess::transcript() const {
    std::string text;
    for (const auto& line : seen_) text += "  | " + line + "\n";
    return text;
}

int EngineProcess::wait_exit(int timeout_ms) {
    if (pid_ <= 0) return -1;
    timeout_ms = scaled(timeout_ms);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0, result = -1;
    // The output is read meanwhile, so a child with much left to say does not
    // wait on a full pipe; whatever it said belongs to the transcript.
    auto drain = [this](int ms) {
        while (fill(ms)) ms = 0;
        while (queue_head_ < queue_.size()) seen_.push_back(std::move(queue_[queue_head_++]));
    };
    for (pid_t r; (r = waitpid(pid_, &status, WNOHANG)) != pid_; drain(std::min(10, remaining_ms(deadline)))) {
        if (r < 0 || Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            ADD_FAILURE() << what_ << (r < 0 ? ": waitpid failed" : " still running: killed after ")
                          << timeout_ms << " ms";
            pid_ = -1;
            drain(0);
            return -1;
        }
    }
    pid_ = -1;
    if (WIFEXITED(status)) {
        result = WEXITSTATUS(status);
    } else {
        result = 128 + WTERMSIG(status);
        ADD_FAILURE() << what_ << " died by signal " << WTERMSIG(status);
    }
    drain(0);
    return result;
}

std::string EngineProcess::read_file(const std::string& name) const { return slurp(dir_ + "/" + name); }

namespace {

BenchResult run_to_exit(const char* variable, const std::string& program, const std::vector<std::string>& args,
                        int timeout_ms) {
    EngineProcess child(command_words(variable, program), args);
    child.close_stdin();
    BenchResult result;
    result.status = child.wait_exit(timeout_ms);
    for (const auto& line : child.lines()) result.out += line + "\n";
    result.err = child.read_file(EngineProcess::ERR_FILE);
    return result;
}

}  // namespace

BenchResult run_bench(const std::vector<std::string>& args, int timeout_ms) {
    return run_to_exit("CORVANE_BENCH_COMMAND", CORVANE_BENCH_PATH, args, timeout_ms);
}

BenchResult run_engine_args(const std::vector<std::string>& args, int timeout_ms) {
    return run_to_exit("CORVANE_ENGINE_COMMAND", CORVANE_ENGINE_PATH, args, timeout_ms);
}
