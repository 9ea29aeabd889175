#include "text/lines.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zubo {

MappedFile::MappedFile(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size_ = static_cast<std::size_t>(st.st_size);
        if (size_ == 0) {
            static char nothing[1];
            stream_.reset(fmemopen(nothing, 0, "r"));
        } else {
            // All the pages at once: the file is read through, start to end.
            bytes_ = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (bytes_ == MAP_FAILED) bytes_ = nullptr;
            if (bytes_) stream_.reset(fmemopen(bytes_, size_, "r"));
        }
    }
    close(fd);
}

MappedFile::~MappedFile() {
    stream_.reset();
    if (bytes_) munmap(bytes_, size_);
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
