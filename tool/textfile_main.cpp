// levelwatch-textfile: a scan's output staged, then published into a textfile directory without following a link.
//
//   levelwatch-textfile stage FILE PROGRAM [ARG]...
//       runs PROGRAM with its standard output on a new file beside FILE and,
//       when it exits with 0 or 1 (levelwatch-discover's "found" and "none
//       found", both a result), renames that file to FILE; exits with
//       PROGRAM's status (128 + the signal when one ended it).
//   levelwatch-textfile publish STAGED DEST
//       copies the regular file STAGED (a link, a device or a file with other
//       names is refused) into DEST's directory under a random name that
//       begins with ".", made anew (mode 0666 less the umask), and renames it
//       to DEST. Nothing follows a link: not the directories on DEST's path,
//       not a link planted at DEST or at any name beside it, which the rename
//       replaces; a directory planted at DEST stops the publishing. This is
//       the one step of levelwatch-prometheus.service that runs as root.
//
// Exit status: 0 done; 1 the publishing failed; 2 a usage error; PROGRAM's own
// for stage.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitDone = 0, kExitFailed = 1, kExitUsage = 2;
// The largest file published: far above what a scan of the largest host list writes.
constexpr off_t kMaxTextfileBytes = 64 * 1024 * 1024;
// How many random names are tried beside the file before giving up.
constexpr int kNameAttempts = 16;

int fail(const std::string& what)
{
    std::fprintf(stderr, "levelwatch-textfile: %s\n", what.c_str());
    return kExitFailed;
}

std::string dirName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The directory, opened one component after the other, none of them a link.
int openDirectoryNoLinks(const std::string& path, std::string& error)
{
    int fd = ::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (size_t start = 0; fd >= 0 && start < path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            error = path + ": " + part + ": " + (errno == ENOTDIR ? "a link or not a directory" : std::strerror(errno));
        ::close(fd);
        fd = next;
    }
    return fd;
}

// A new file in the directory under a random name that begins with ".";
// its name in `name`.
int createBeside(int dir, const std::string& base, std::string& name)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        unsigned char random[8];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            return -1;
        char hex[17];
        for (size_t i = 0; i < sizeof random; ++i)
            std::snprintf(hex + 2 * i, 3, "%02x", random[i]);
        name = "." + base + "." + hex;
        const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int stage(const std::string& file, char** program)
{
    std::string error, name;
    const int dir = openDirectoryNoLinks(dirName(file), error);
    if (dir < 0)
        return fail(error);
    const int out = createBeside(dir, baseName(file), name);
    if (out < 0)
        return fail(dirName(file) + ": " + std::strerror(errno));
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent || ::dup2(out, STDOUT_FILENO) < 0)
            ::_exit(127);
        ::execv(program[0], program);
        std::fprintf(stderr, "levelwatch-textfile: %s: %s\n", program[0], std::strerror(errno));
        ::_exit(127);
    }
    ::close(out);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const int code = pid < 0 ? 127 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if ((code == 0 || code == 1) && ::renameat(dir, name.c_str(), dir, baseName(file).c_str()) == 0)
        return code;
    const int renameError = errno;
    ::unlinkat(dir, name.c_str(), 0);
    if (code == 0 || code == 1)
        return fail(file + ": " + std::strerror(renameError));
    return code;
}

int publish(const std::string& staged, const std::string& dest)
{
    const int in = ::open(staged.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0)
        return fail(staged + ": " + (errno == ELOOP ? "a link" : std::strerror(errno)));
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_size > kMaxTextfileBytes) {
        ::close(in);
        return fail(staged + ": not a regular file of one name and at most " + std::to_string(kMaxTextfileBytes)
                    + " bytes");
    }
    std::vector<char> text(static_cast<size_t>(st.st_size));
    size_t have = 0;
    while (have < text.size()) {
        const ssize_t n = ::read(in, text.data() + have, text.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<size_t>(n);
    }
    ::close(in);
    text.resize(have);

    std::string error, name;
    const int dir = openDirectoryNoLinks(dirName(dest), error);
    if (dir < 0)
        return fail(error);
    const int out = createBeside(dir, baseName(dest), name);
    if (out < 0)
        return fail(dirName(dest) + ": " + std::strerror(errno));
    const bool written = writeAll(out, text.data(), text.size()) && ::fsync(out) == 0;
    const int writeError = errno;
    ::close(out);
    if (!written || ::renameat(dir, name.c_str(), dir, baseName(dest).c_str()) != 0) {
        const int why = written ? errno : writeError;
        ::unlinkat(dir, name.c_str(), 0);
        return fail(dest + ": " + (why == EISDIR ? "a directory is in the way; remove it" : std::strerror(why)));
    }
    if (const int d = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); d >= 0) {
        (void)::fsync(d); // the new name is on the disk too
        ::close(d);
    }
    return kExitDone;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "stage" && argc >= 4 && argv[2][0] != '\0')
        return stage(argv[2], argv + 3);
    if (mode == "publish" && argc == 4 && argv[2][0] != '\0' && argv[3][0] != '\0')
        return publish(argv[2], argv[3]);
    std::fputs("Usage: levelwatch-textfile stage FILE PROGRAM [ARG]...\n"
               "       levelwatch-textfile publish STAGED DEST\n",
               stderr);
    return kExitUsage;
}
