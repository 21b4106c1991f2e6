// While it lives, fontconfig reads a configuration that knows no fonts.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class EmptyFontConfig {
public:
    EmptyFontConfig() {
        std::ofstream(path_) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
        const char* before = getenv("FONTCONFIG_FILE");
        hadOne_ = before != nullptr;
        saved_ = hadOne_ ? before : "";
        setenv("FONTCONFIG_FILE", path_.c_str(), 1);
    }
    ~EmptyFontConfig() {
        if (hadOne_) {
            setenv("FONTCONFIG_FILE", saved_.c_str(), 1);
        } else {
            unsetenv("FONTCONFIG_FILE");
        }
        std::filesystem::remove(path_);
    }
    EmptyFontConfig(const EmptyFontConfig&) = delete;
    EmptyFontConfig& operator=(const EmptyFontConfig&) = delete;

private:
    std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                  ("morvane-empty-fonts-" + std::to_string(getpid()) + ".conf");
    bool hadOne_ = false;
    std::string saved_;
};
