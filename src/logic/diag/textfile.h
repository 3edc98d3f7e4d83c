#pragma once
// An append-only text file that is opened and closed around each write, so that
// others can read, copy or delete it between lines.
#include <cstdint>
#include <cstdio>
#include <string>

namespace zampo {

class TextFile {
public:
    TextFile() = default;
    explicit TextFile(std::string fileName) : fileName_(std::move(fileName)) {}
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    void setFileName(const std::string& name) { fileName_ = name; }
    const std::string& fileName() const { return fileName_; }
    bool isOpen() const { return file_ != nullptr; }

    // Opens for appending (creating the file); throws std::runtime_error on failure.
    void open();
    void close();
    void write(const std::string& text);
    void writeLine(const std::string& text) { write(text + "\r\n"); }
    void clear();
    // Size in bytes; 0 when the file cannot be opened.
    int64_t size();

private:
    std::string fileName_;
    FILE* file_ = nullptr;
};

}  // namespace zampo
