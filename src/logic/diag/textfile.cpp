#include "logic/diag/textfile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zampo {

TextFile::~TextFile() {
    if (file_) std::fclose(file_);
}

void TextFile::open() {
    if (file_ || fileName_.empty()) return;
    file_ = std::fopen(fileName_.c_str(), "ab");
    if (!file_) throw std::runtime_error("cannot open " + fileName_ + ": " + std::strerror(errno));
}

void TextFile::close() {
    if (!file_) return;
    FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) throw std::runtime_error("cannot close " + fileName_);
}

void TextFile::write(const std::string& text) {
    const bool wasOpen = isOpen();
    open();
    if (!file_) return;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file_) == text.size() && std::fflush(file_) == 0;
    const int error = errno;
    if (!wasOpen) close();
    if (!ok) throw std::runtime_error("cannot write " + fileName_ + ": " + std::strerror(error));
}

void TextFile::clear() {
    const bool wasOpen = isOpen();
    open();
    if (!file_) return;
    const int rc = ::ftruncate(::fileno(file_), 0);
    if (!wasOpen) close();
    if (rc != 0) throw std::runtime_error("cannot truncate " + fileName_);
}

int64_t TextFile::size() {
    struct stat st {};
    if (fileName_.empty() || ::stat(fileName_.c_str(), &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace zampo
