#pragma once
// Local files: an owning handle and the line reader every parser uses.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace zubo {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

inline File open_file(const char* path, const char* mode) { return File(std::fopen(path, mode)); }

// A document zubo reads: its local copy, or, when what arrived for it could
// not be saved, those bytes (the copy on disk is then the old one, or none).
struct Document {
    std::string path;  // the copy; empty when there is none
    std::optional<std::string> unsaved;
};

// Opens the document for reading: its unsaved bytes where they are (the
// document must outlive the stream), else its copy as fopen would. Null
// when neither can be read.
File open_document(const Document& document);

// A local file (a regular one) read through a stream with a 64 KB buffer,
// and its size. Only the buffer is held: a mapping of the whole copy would
// stay resident beside the post table made from it. Null stream when the
// file can't be opened.
class CopyFile {
public:
    explicit CopyFile(const char* path);
    // The document's unsaved bytes, read where they are (the document must
    // outlive the stream), else its copy.
    explicit CopyFile(const Document& document);
    CopyFile(const CopyFile&) = delete;
    CopyFile& operator=(const CopyFile&) = delete;

    std::FILE* stream() const { return stream_.get(); }
    std::size_t size() const { return size_; }

private:
    void open_copy(const char* path);

    std::size_t size_ = 0;
    File stream_;
};

// Reads one line into buf: at most size - 1 bytes, the newline included when
// it fits, zero-terminated. The rest of a longer line is read and dropped,
// so a long line stays one line. Returns false at end of file. A NUL byte in
// the line ends its text, as in any zero-terminated string.
bool read_line_cut(std::FILE* f, char* buf, std::size_t size);

}  // namespace zubo
