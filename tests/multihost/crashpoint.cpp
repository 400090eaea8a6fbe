// Loaded into the program with LD_PRELOAD by the crash test: kills the process with SIGKILL at an
// exact point of its file writes, so that every step of a close or a journal fold can be cut.
//
//   VARNEL_CRASH_MATCH  only calls on paths containing this text count (the data folder)
//   VARNEL_CRASH_ARM    counting starts once this file exists
//   VARNEL_CRASH_AT     the N-th counted call kills: a write first puts half its bytes down (a torn
//                       write), any other call is not made at all
//   VARNEL_CRASH_LOG    every counted call is appended here: "N call path"
//
// Counted calls: pwrite, write, ftruncate, fsync, fdatasync, rename, unlink.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

std::string PathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 0 ? std::string(target, size_t(length)) : std::string();
}

int g_count = 0;

// True when this call is the one to die at; logs it.
bool Counts(const char* call, const std::string& path) {
    const char* match = std::getenv("VARNEL_CRASH_MATCH");
    const char* arm = std::getenv("VARNEL_CRASH_ARM");
    if (match == nullptr || path.find(match) == std::string::npos)
        return false;
    struct stat st {};
    if (arm != nullptr && stat(arm, &st) != 0)
        return false;
    ++g_count;
    if (const char* log = std::getenv("VARNEL_CRASH_LOG")) {
        if (FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%d %s %s\n", g_count, call, path.c_str());
            std::fclose(file);
        }
    }
    const char* at = std::getenv("VARNEL_CRASH_AT");
    return at != nullptr && std::atoi(at) == g_count;
}

[[noreturn]] void Die() {
    kill(getpid(), SIGKILL);
    for (;;)
        pause();
}

} // namespace

extern "C" {

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    static const auto real = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    if (Counts("pwrite", PathOf(fd))) {
        real(fd, data, size / 2, offset);
        Die();
    }
    return real(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t offset) {
    return pwrite(fd, data, size, offset);
}

ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (Counts("write", PathOf(fd))) {
        real(fd, data, size / 2);
        Die();
    }
    return real(fd, data, size);
}

int ftruncate(int fd, off_t length) {
    static const auto real = Next<int (*)(int, off_t)>("ftruncate");
    if (Counts("ftruncate", PathOf(fd)))
        Die();
    return real(fd, length);
}

int fsync(int fd) {
    static const auto real = Next<int (*)(int)>("fsync");
    if (Counts("fsync", PathOf(fd)))
        Die();
    return real(fd);
}

int fdatasync(int fd) {
    static const auto real = Next<int (*)(int)>("fdatasync");
    if (Counts("fdatasync", PathOf(fd)))
        Die();
    return real(fd);
}

int rename(const char* from, const char* to) {
    static const auto real = Next<int (*)(const char*, const char*)>("rename");
    if (Counts("rename", to))
        Die();
    return real(from, to);
}

int unlink(const char* path) {
    static const auto real = Next<int (*)(const char*)>("unlink");
    if (Counts("unlink", path))
        Die();
    return real(path);
}

} // extern "C"
