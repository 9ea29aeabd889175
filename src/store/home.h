#pragma once
// zubo's home, the one directory that holds all its files, and each
// board's place in it: boards/NAME/subject.txt and boards/NAME/dat/KEY.dat.
// A board is known by its name, the last segment of its URL's path: hosts
// move, names stay.

#include <string>

namespace zubo {

// $ZUBO_HOME when set and not empty; else $XDG_DATA_HOME/zubo when that is
// an absolute path; else $HOME/.local/share/zubo. Empty when none of them
// names a place.
std::string home_path();

// Creates path and its missing parents (mode 0700). Returns the reason it
// could not (an errno value), or 0 when the directory is there.
int make_directories(const std::string& path);

// Whether files can be written in the directory at path, found by writing
// one (a read-only mount, a full disk or a file-size limit of 0 all refuse
// it; permissions alone don't stop root). Returns the reason they can't
// (an errno value), or 0 when they can.
int write_probe(const std::string& path);

// Whether name may name a local file: a plain file name, never a path that
// leads elsewhere (empty, ".", "..", a '/', '\' or a control byte).
bool is_plain_file_name(const char* name);

// The board's name: the last non-empty segment of url's path ("news" of
// https://asahi.5ch.io/news/). Empty when that is no plain file name.
std::string board_name(const char* url);

// The board's own directory, its thread list, its threads' directory and
// the copy of one thread, relative to the home.
std::string board_directory(const std::string& board);
std::string thread_list_path(const std::string& board);
std::string thread_directory(const std::string& board);
std::string thread_path(const std::string& board, const char* dat_name);

}  // namespace zubo
