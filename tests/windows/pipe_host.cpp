// corvane-pipe-host.exe: starts corvane.exe from its own directory the way a
// Windows GUI does, with standard input on an anonymous pipe, and copies its
// own standard input into that pipe. The end-to-end tests run the Windows
// build through it: under Wine a program's standard input inherited from a
// Unix pipe is not a Windows pipe (PeekNamedPipe fails on it), so only a pipe
// made here exercises the engine's pipe polling as a GUI would.
//
// The end of the host's input closes the pipe, and the engine then meets the
// end of its input. Standard output and error pass straight through. The
// host's exit status is the engine's; if the host is killed, the job object
// takes the engine with it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HANDLE pipe_writer = nullptr;

// Copies standard input into the engine's pipe until either side ends.
DWORD WINAPI copy_input(void*) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buf[4096];
    DWORD got = 0, put = 0;
    while (ReadFile(input, buf, sizeof buf, &got, nullptr) && got > 0)
        if (!WriteFile(pipe_writer, buf, got, &put, nullptr)) break;
    CloseHandle(pipe_writer);
    return 0;
}

int fail(const char* what) {
    std::fprintf(stderr, "corvane-pipe-host: %s failed (error %lu)\n", what, GetLastError());
    return 125;
}

}  // namespace

int main() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return fail("GetModuleFileName");
    std::wstring engine(path, length);
    engine = engine.substr(0, engine.find_last_of(L"\\/") + 1) + L"corvane.exe";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE pipe_reader = nullptr;
    if (!CreatePipe(&pipe_reader, &pipe_writer, &inherit, 0)) return fail("CreatePipe");
    // Only the engine's end is inherited: a copy of the writing end in the
    // engine would keep the pipe open after the host closed it.
    SetHandleInformation(pipe_writer, HANDLE_FLAG_INHERIT, 0);

    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = pipe_reader;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    std::wstring command = L"\"" + engine + L"\"";
    if (!CreateProcessW(engine.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &child))
        return fail("CreateProcess");
    if (job) AssignProcessToJobObject(job, child.hProcess);
    ResumeThread(child.hThread);
    CloseHandle(child.hThread);
    CloseHandle(pipe_reader);

    HANDLE copier = CreateThread(nullptr, 0, copy_input, nullptr, 0, nullptr);
    if (!copier) return fail("CreateThread");
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 125;
    GetExitCodeProcess(child.hProcess, &status);
    // The copier may still be blocked reading input the engine will never need.
    ExitProcess(status);
}
