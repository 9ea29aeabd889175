#pragma once
// A fresh directory under /tmp, removed with everything in it at the end.
// WorkingDir also makes it the working directory while it lives, as the
// screens keep their files there.

#include <string>

namespace zubo::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

class WorkingDir : public TempDir {
public:
    WorkingDir();
    ~WorkingDir();

private:
    std::string previous_;
};

}  // namespace zubo::test
