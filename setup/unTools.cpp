#include "setup/unTools.h"

#include "foundation/MiscFunc.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <libavformat/version.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

extern char** environ;

namespace kelvar {

namespace fs = std::filesystem;

namespace {

// Blank-separated words; double quotes group blanks into one word.
std::vector<std::string> SplitParameters(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// Runs a program found on PATH with its output thrown away; its exit status, or -1.
int RunQuiet(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The service manager answers only on a system booted with it.
bool HasServiceManager() { return fs::exists("/run/systemd/system"); }

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

int ExecAndWait(const std::string& file, const std::string& parameters, const std::string& folder) {
    std::string dir = folder;
    std::string program = file;
    std::string shown = file;
    if (dir.empty()) {
        fs::path p(file);
        dir = p.parent_path().string();
        shown = p.filename().string();
        // Taken by its name alone in its own folder, as the shell would.
        if (!dir.empty()) program = (fs::path(dir) / p.filename()).string();
    }
    std::vector<std::string> args{program};
    for (std::string& w : SplitParameters(parameters)) args.push_back(std::move(w));
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = 0;
    // A bare name is looked up on PATH; a name with a folder is taken as it stands.
    int rc = program.find('/') == std::string::npos
                 ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                 : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw ESetupError("Unable to start \"" + shown + "\"");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void StartDetached(const std::string& file, const std::string& parameters) {
    std::vector<std::string> args{file};
    for (std::string& w : SplitParameters(parameters)) args.push_back(std::move(w));
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A session of its own, so that it outlives the setup and its terminal.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, file.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw ESetupError("Unable to start \"" + file + "\"");
}

bool CopyDir(const std::string& source, const std::string& target) {
    std::string from = TrimText(source);
    std::string to = TrimText(target);
    std::error_code ec;
    if (!fs::is_directory(from, ec)) return false;
    fs::create_directories(to, ec);
    if (!fs::is_directory(to, ec)) return false;
    ec.clear();
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    return !ec;
}

std::string ProgramFilesDir() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return IncludeTrailingDelimiter(data);
    const char* home = std::getenv("HOME");
    // Without a home folder the current folder is the only place left that we may write.
    std::string base = home && *home ? std::string(home) : fs::current_path().string();
    return IncludeTrailingDelimiter((fs::path(base) / ".local" / "share").string());
}

bool BindPort(int port, int* errorCode) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) {
        if (errorCode) *errorCode = errno;
        return false;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (!ok && errorCode) *errorCode = errno;
    if (ok && errorCode) *errorCode = 0;
    close(s);
    return ok;
}

bool IsPortInUse(int port) { return !BindPort(port); }

bool IsWinNT() { return true; }

int GetServiceState(const std::string& serviceName) {
    if (serviceName.empty() || !HasServiceManager()) return 2;
    if (RunQuiet({"systemctl", "is-active", "--quiet", serviceName}) == 0) return 0;
    // "cat" succeeds exactly for a unit the manager knows.
    return RunQuiet({"systemctl", "cat", serviceName}) == 0 ? 1 : 2;
}

bool HasWindowsMedia9() {
    std::string name = "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR);
    void* module = dlopen(name.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!module) return false;
    bool ok = dlsym(module, "avformat_open_input") != nullptr;
    dlclose(module);
    return ok;
}

void StripScriptLines(std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size();) {
        const std::string& line = lines[i];
        bool drop = line.empty() || line[0] == '#' || line[0] == '/' || line[0] == '-' || TrimText(line).empty();
        if (drop)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

bool HasSoundCard() {
    // ALSA reports a missing card on standard error; the answer is all we want.
    snd_lib_error_set_handler(&SilentAlsaError);
    snd_pcm_t* pcm = nullptr;
    bool ok = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0;
    if (ok) snd_pcm_close(pcm);
    snd_lib_error_set_handler(nullptr);
    return ok;
}

bool ForceFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty()) return false;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

void SaveStringToFile(const std::string& file, const std::string& text) {
    fs::path target(file);
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(getpid());
    auto fail = [&](const std::string& what) {
        int err = errno;
        ::unlink(temp.c_str());
        throw EFileError(what + " " + file + " (" + std::strerror(err) + ")");
    };
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) mode = st.st_mode & 07777;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fail("Cannot create file");
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            fail("Cannot write file");
        }
        done += static_cast<size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        ::close(fd);
        fail("Cannot write file");
    }
    if (::close(fd) != 0) fail("Cannot write file");
    if (::rename(temp.c_str(), target.c_str()) != 0) fail("Cannot replace file");
}

std::string LoadFileToString(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EFileError("Cannot open file " + file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EFileError("Cannot read file " + file);
    return text;
}

std::string ComputerName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += '\n';
        text += lines[i];
    }
    return text;
}

std::string IncludeTrailingDelimiter(const std::string& folder) {
    std::string f = ExcludeTrailingDelimiter(folder);
    return f + "/";
}

std::string ExcludeTrailingDelimiter(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    if (f == "/") return {};
    return f;
}

}  // namespace kelvar
