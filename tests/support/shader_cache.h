// A shader cache of a test's own, empty, so that the program's first frame
// (or its warm-up) has the compile to do and lasts long enough to be watched.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

struct EmptyShaderCache {
    EmptyShaderCache() {
        path = std::filesystem::temp_directory_path() /
               ("morvane-warm-cache-" + std::to_string(::getpid()) + "-" + std::to_string(++made));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~EmptyShaderCache() { std::filesystem::remove_all(path); }
    EmptyShaderCache(const EmptyShaderCache&) = delete;
    EmptyShaderCache& operator=(const EmptyShaderCache&) = delete;
    // For the program's environment.
    std::string variable() const { return "MESA_SHADER_CACHE_DIR=" + path.string(); }
    std::filesystem::path path;
    static inline int made = 0;
};
