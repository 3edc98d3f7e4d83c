#pragma once
// A fresh directory under /tmp, removed with everything in it at the end of a test.
#include <string>

namespace zampo::test {

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

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
bool fileExists(const std::string& path);

}  // namespace zampo::test
