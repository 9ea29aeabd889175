#include "text/lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zubo {

CopyFile::CopyFile(const char* path) { open_copy(path); }

File open_document(const Document& document) {
    if (!document.unsaved) return open_file(document.path.c_str(), "r");
    // fmemopen takes a char*; a stream opened "r" never writes through it.
    std::string& bytes = const_cast<std::string&>(*document.unsaved);
    return File(fmemopen(bytes.data(), bytes.size(), "r"));
}

CopyFile::CopyFile(const Document& document) {
    if (!document.unsaved) {
        open_copy(document.path.c_str());
        return;
    }
    size_ = document.unsaved->size();
    stream_ = open_document(document);
}

void CopyFile::open_copy(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size_ = static_cast<std::size_t>(st.st_size);
        stream_.reset(fdopen(fd, "r"));
        if (stream_) {
            std::setvbuf(stream_.get(), nullptr, _IOFBF, 1 << 16);
            return;
        }
    }
    close(fd);
}

bool read_line_cut(std::FILE* f, char* buf, std::size_t size) {
    // fgets writes a zero into the buffer's last byte only when it filled
    // the buffer; the mark there tells a full buffer from a shorter line.
    buf[size - 1] = '\x01';
    if (!std::fgets(buf, static_cast<int>(size), f)) {
        buf[0] = '\0';
        return false;
    }
    if (buf[size - 1] == '\0' && buf[size - 2] != '\n') {
        // Buffer full before the newline: skip what is left of the line.
        for (int c = getc_unlocked(f); c != EOF && c != '\n'; c = getc_unlocked(f)) {
        }
    }
    return true;
}

}  // namespace zubo
