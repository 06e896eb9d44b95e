// The folder chooser of a POSIX desktop: zenity or kdialog, started as a child
// process whose standard output carries the chosen folder back. The main
// thread waits for the dialog; the audio runs on its own thread meanwhile.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/folder_chooser.h"

extern char** environ;

namespace zelmora {

namespace {

void Report(char* status, std::size_t statusSize, const char* text) {
    if (statusSize > 0) std::snprintf(status, statusSize, "%s", text);
}

// The program's full path when an executable of that name is on PATH.
std::string FindOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string folders(path);
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// Runs the program with its arguments, collecting its standard output.
// Returns the exit status, or -1 when it could not be run.
int RunForOutput(const std::string& program, const std::vector<std::string>& arguments, std::string& output) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return -1;
    }
    char buffer[512];
    for (;;) {
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n > 0) {
            // A folder path is short; more than this is no answer we can use.
            if (output.size() < 65536) output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int state = 0;
    while (waitpid(child, &state, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(state) ? WEXITSTATUS(state) : -1;
}

}  // namespace

bool ChooseFolderPosix(char* folder, std::size_t size, char* status, std::size_t statusSize) {
    Report(status, statusSize, "");
    if (!folder || size == 0) return false;
    const std::string start(folder);
    std::string program = FindOnPath("zenity");
    std::vector<std::string> arguments;
    if (!program.empty()) {
        // A trailing separator makes zenity open inside the folder.
        arguments = {"--file-selection", "--directory", "--title=Select Folder", "--filename=" + start + "/"};
    } else if (!(program = FindOnPath("kdialog")).empty()) {
        arguments = {"--title", "Select Folder", "--getexistingdirectory", start};
    } else {
        Report(status, statusSize, "Error: No Folder Chooser Available (Install zenity Or kdialog).");
        return false;
    }

    std::string output;
    const int result = RunForOutput(program, arguments, output);
    if (result < 0) {
        Report(status, statusSize, "Error: Folder Chooser Could Not Be Started.");
        return false;
    }
    if (result != 0) return false;  // cancelled
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (output.empty() || output[0] != '/' || output.find('\n') != std::string::npos) return false;
    // SANITY: a folder whose path does not fit is refused rather than cut to
    // the name of a different folder.
    if (output.size() >= size) {
        Report(status, statusSize, "Error: Path Too Long.");
        return false;
    }
    std::memcpy(folder, output.c_str(), output.size() + 1);
    return true;
}

}  // namespace zelmora
