#pragma once
// Where a board's documents come from: the thread list and a thread from the
// board, a thread that has fallen off it from the archive; each brought
// into its copy in the home.

#include <cstddef>
#include <string>

#include "net/download.h"

namespace zubo {

// The archive keeps a fallen thread's document at oyster/K4/NAME of its
// board, K4 being the first digits of the thread's key.
inline constexpr std::size_t kArchiveDirDigits = 4;

// The archive's URL of the thread dat_name of the board at url; null when
// dat_name is no key of at least kArchiveDirDigits digits followed by
// ".dat".
const char* archive_url(const char* url, const char* dat_name);

// Brings the board's copy of the thread dat_name up to date from the board
// at url, from the archive when the thread has fallen off the board. The
// name must be a plain file name.
DownloadResult update_thread_copy(const char* url, const std::string& board, const char* dat_name,
                                  const DownloadLimits& limits);

// Brings the copy of the thread list of the board named name, at url, up
// to date.
DownloadResult update_thread_list_copy(const char* url, const std::string& name, const DownloadLimits& limits);

}  // namespace zubo
