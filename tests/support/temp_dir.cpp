#include "support/temp_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace zubo::test {

TempDir::TempDir() {
    char pattern[] = "/tmp/zubo-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

WorkingDir::WorkingDir() {
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path());
}

WorkingDir::~WorkingDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

}  // namespace zubo::test
