#include "documents/thread_source.h"

#include <cstring>

#include "documents/thread_document.h"
#include "documents/thread_listing.h"
#include "store/home.h"
#include "text/gc_bytes.h"

namespace zubo {
namespace {

// A copy whose directory could not be made failed to save for that reason
// (unmade: an errno value, 0 when the directory is there), not for the
// directory's absence.
void blame_directory(int unmade, DownloadResult& result) {
    if (unmade != 0 && result.failure == DownloadFailure::kLocalFile) result.save_error = unmade;
}

}  // namespace

const char* archive_url(const char* url, const char* dat_name) {
    std::size_t digits = std::strspn(dat_name, "0123456789");
    if (digits < kArchiveDirDigits || std::strcmp(dat_name + digits, ".dat") != 0) return nullptr;
    char directory[kArchiveDirDigits + 1];
    std::memcpy(directory, dat_name, kArchiveDirDigits);
    directory[kArchiveDirDigits] = '\0';
    const char* base = gc::concat(url, "oyster/", directory);
    return base ? gc::concat(base, "/", dat_name) : nullptr;
}

DownloadResult update_thread_copy(const char* url, const std::string& board, const char* dat_name,
                                  const DownloadLimits& limits) {
    const int unmade = make_directories(thread_directory(board));
    const std::string path = thread_path(board, dat_name);
    DownloadResult result = update_copy(gc::concat(url, "dat/", dat_name), path.c_str(), is_thread_document, limits);
    const char* archived = archive_url(url, dat_name);
    // When both places fail, the line tells how the archive answered.
    if (archived && is_gone(result)) {
        result = update_copy(archived, path.c_str(), is_thread_document, limits);
        result.from_archive = result.ok() || result.failure == DownloadFailure::kLocalFile;
    }
    blame_directory(unmade, result);
    return result;
}

DownloadResult update_thread_list_copy(const char* url, const std::string& name, const DownloadLimits& limits) {
    const int unmade = make_directories(board_directory(name));
    const std::string path = thread_list_path(name);
    DocumentRules rules{is_thread_list_document, true};
    DownloadResult result = download_to_file(gc::concat(url, "subject.txt"), path.c_str(), rules, limits);
    blame_directory(unmade, result);
    return result;
}

}  // namespace zubo
