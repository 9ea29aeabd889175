#include "support/files.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zubo::test {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

constexpr const char* kReadStateFiles[] = {"zubo.db", "zubo.db-wal", "zubo.db-shm"};

void forget_read_state(const std::string& dir) {
    for (const char* name : kReadStateFiles) std::filesystem::remove(dir + "/" + name);
}

std::set<std::string> plus_read_state(std::set<std::string> names) {
    names.insert(std::begin(kReadStateFiles), std::end(kReadStateFiles));
    return names;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

bool real_fixtures_present() { return file_exists(ZUBO_REAL_FIXTURES); }

std::string real_fixture_path(const std::string& name) { return std::string(ZUBO_REAL_FIXTURES) + "/" + name; }

std::string real_fixture(const std::string& name) {
    std::string path = real_fixture_path(name);
    EXPECT_TRUE(file_exists(path)) << path;
    return read_file(path);
}

}  // namespace zubo::test
