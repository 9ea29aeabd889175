#pragma once
// Files for tests: whole-file reads and writes, and the service's real
// documents, which live beside the project (../shared/fixtures/real).

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zubo::test {

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// Removes what zubo remembers in the home at dir (zubo.db and its log), so
// the next run is a first visit.
void forget_read_state(const std::string& dir);
// names and the files of the read state, as a home holds them after a run.
std::set<std::string> plus_read_state(std::set<std::string> names);
// The names of the entries of a directory.
std::set<std::string> names_in(const std::string& dir);

// Whether the folder of real documents is there; only CI is sure to have it.
bool real_fixtures_present();
// A document of the service from the real fixtures.
std::string real_fixture_path(const std::string& name);
std::string real_fixture(const std::string& name);

}  // namespace zubo::test

// Skips the running test with one line naming the folder when the real
// documents are absent, as in a fresh clone with nothing beside it.
#define ZUBO_NEED_REAL_FIXTURES()                                                            \
    do {                                                                                     \
        if (!::zubo::test::real_fixtures_present())                                          \
            GTEST_SKIP() << "real documents absent: " << ZUBO_REAL_FIXTURES << " not found"; \
    } while (0)
