// Child processes on pipes with bounded waits; see engine_process.h.
#include "harness/engine_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadline_after(int timeout_ms) {
    static const double scale = [] {
        const char* text = std::getenv("CORVANE_TIMEOUT_SCALE");
        return text && std::atof(text) > 1 ? std::atof(text) : 1.0;
    }();
    return Clock::now() + std::chrono::milliseconds(std::int64_t(timeout_ms * scale));
}

int remaining_ms(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// The environment's words for the program, else the built binary behind the
// emulator where the host cannot run the target's binaries itself.
std::vector<std::string> command_of(const char* variable, const char* program, const std::vector<std::string>& args) {
    std::vector<std::string> words;
    if (const char* command = std::getenv(variable); command && *command) {
        std::istringstream in(command);
        for (std::string word; in >> word;) words.push_back(word);
    } else {
        if (*CORVANE_EMULATOR) words.push_back(CORVANE_EMULATOR);
        words.push_back(program);
    }
    words.insert(words.end(), args.begin(), args.end());
    return words;
}

}  // namespace

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvane-test-XXXXXX";
    if (mkdtemp(pattern.data())) path = pattern;
    else ADD_FAILURE() << "mkdtemp " << pattern << ": " << std::strerror(errno);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // A test may have taken away the write bits; removal needs them back.
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    if (!path.empty()) std::filesystem::remove_all(path, ec);
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return std::regex_replace(text.str(), std::regex("\r\n"), "\n");
}

std::vector<std::string> engine_command(const std::vector<std::string>& args) {
    return command_of("CORVANE_ENGINE_COMMAND", CORVANE_ENGINE_PATH, args);
}

std::vector<std::string> bench_command(const std::vector<std::string>& args) {
    return command_of("CORVANE_BENCH_COMMAND", CORVANE_BENCH_PATH, args);
}

EngineProcess::EngineProcess(std::vector<std::string> command, const std::string& dir) {
    if (command.empty()) command = engine_command();
    if (dir.empty()) own_dir_.emplace();
    dir_ = dir.empty() ? own_dir_->path : dir;
    for (const auto& w : command) what_ += (what_.empty() ? "" : " ") + w;
    // Writing to an engine that has died must fail the write, not end the test run.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<char*> argv;
    for (auto& w : command) argv.push_back(w.data());
    argv.push_back(nullptr);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {  // the child: only async-signal-safe calls from here on
        if (chdir(dir_.c_str()) != 0) _exit(126);
        dup2(in[0], 0);
        dup2(out[1], 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_child_ = in[1];
    from_child_ = out[0];
    fcntl(to_child_, F_SETFL, fcntl(to_child_, F_GETFL) | O_NONBLOCK);  // see send
    if (pid_ < 0) ADD_FAILURE() << "fork: " << std::strerror(errno);
}

EngineProcess::~EngineProcess() {
    close_stdin();
    if (from_child_ >= 0) close(from_child_);
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
}

bool EngineProcess::send(const std::string& line) {
    const std::string bytes = line + "\n";
    const auto deadline = deadline_after(WAIT_MS);
    // The engine may answer while a long input is still going in; its output
    // is read meanwhile, or both sides would wait on a full pipe for ever.
    for (std::size_t done = 0; done < bytes.size();) {
        if (to_child_ < 0) return false;
        pollfd fds[2] = {{to_child_, POLLOUT, 0}, {eof_ ? -1 : from_child_, POLLIN, 0}};
        if (poll(fds, 2, remaining_ms(deadline)) <= 0) {
            ADD_FAILURE() << "the engine took no input for " << WAIT_MS << " ms";
            return false;
        }
        if (fds[1].revents) fill(0);
        if (fds[0].revents & (POLLERR | POLLHUP)) return false;
        const ssize_t n = (fds[0].revents & POLLOUT) ? write(to_child_, bytes.data() + done, bytes.size() - done) : 0;
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;  // the engine is gone
        done += n > 0 ? std::size_t(n) : 0;
    }
    return true;
}

void EngineProcess::close_stdin() {
    if (to_child_ >= 0) close(to_child_);
    to_child_ = -1;
}

bool EngineProcess::fill(int timeout_ms) {
    pollfd p{from_child_, POLLIN, 0};
    if (eof_ || from_child_ < 0 || poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[4096];
    const ssize_t n = read(from_child_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) return true;
    if (n <= 0) {
        eof_ = true;
        if (!pending_.empty()) queue_.push_back(pending_);  // a last line without its newline
        pending_.clear();
        return false;
    }
    pending_.append(buf, std::size_t(n));
    for (std::size_t nl; (nl = pending_.find('\n')) != std::string::npos; pending_.erase(0, nl + 1))
        queue_.push_back(pending_.substr(0, nl > 0 && pending_[nl - 1] == '\r' ? nl - 1 : nl));
    return true;
}

std::optional<std::string> EngineProcess::read_line(int timeout_ms) {
    const auto deadline = deadline_after(timeout_ms);
    while (queue_head_ == queue_.size() && (fill(remaining_ms(deadline)) || (!eof_ && Clock::now() < deadline))) {
    }
    if (queue_head_ == queue_.size()) return std::nullopt;
    seen_.push_back(std::move(queue_[queue_head_++]));
    return seen_.back();
}

std::optional<std::string> EngineProcess::wait_for(const std::string& regex, int timeout_ms) {
    const std::regex pattern(regex);
    const auto deadline = deadline_after(timeout_ms);
    while (auto line = read_line(remaining_ms(deadline)))
        if (std::regex_search(*line, pattern)) return line;
    ADD_FAILURE() << "no line matching /" << regex << "/ within " << timeout_ms << " ms"
                  << (eof_ ? " (output ended)" : "") << "; the engine said:\n" << transcript();
    return std::nullopt;
}

std::string EngineProcess::transcript() const {
    std::string text;
    for (const auto& line : seen_) text += "  | " + line + "\n";
    return text;
}

int EngineProcess::wait_exit(int timeout_ms) {
    const auto deadline = deadline_after(timeout_ms);
    int status = 0;
    // What the child still says is read meanwhile, so it never waits on a full
    // pipe, and belongs to the transcript.
    while (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            ADD_FAILURE() << what_ << " still running: killed after " << timeout_ms << " ms";
            status = -1;
            break;
        }
        if (!fill(10) && eof_) usleep(1000);
    }
    if (pid_ <= 0) return -1;
    pid_ = -1;
    while (fill(0)) {
    }
    while (read_line(0)) {
    }
    if (status == -1) return -1;
    if (WIFSIGNALED(status)) ADD_FAILURE() << what_ << " died by signal " << WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Finished run_to_end(const std::vector<std::string>& command, int timeout_ms) {
    EngineProcess child(command);
    child.close_stdin();
    Finished result{child.wait_exit(timeout_ms), ""};
    for (const auto& line : child.lines()) result.out += line + "\n";
    return result;
}
