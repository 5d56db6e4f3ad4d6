#include "app/process.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "wait") == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
        char c = 0;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
        return 0;
    }
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    std::printf("%s\n", veltron::anotherInstanceRunning(self, ::getpid()) ? "another" : "alone");
    return 0;
}
