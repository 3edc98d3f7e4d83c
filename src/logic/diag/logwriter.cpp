#include "logic/diag/logwriter.h"

#include <unistd.h>
#include <csignal>
#include <ctime>
#include <exception>
#include <filesystem>

namespace zampo {

namespace {
std::string formatLocalNow(const char* fmt) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, fmt, &tm);
    return buf;
}
}  // namespace

std::string localDateText() {
    return formatLocalNow("%d-%m-%Y");
}
std::string localTimeText() {
    return formatLocalNow("%H:%M:%S");
}

void LogWriter::setFileName(const std::string& path) {
    std::lock_guard lock(mutex_);
    try {
        file_.close();
    } catch (...) {
    }
    file_.setFileName(path);
}

std::string LogWriter::fileName() const {
    std::lock_guard lock(mutex_);
    return file_.fileName();
}

void LogWriter::setListSink(ListSink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void LogWriter::setMirrorToStderr(bool on) {
    // A reader of standard error that went away must not end the gateway.
    if (on) std::signal(SIGPIPE, SIG_IGN);
    std::lock_guard lock(mutex_);
    mirror_ = on;
}

void LogWriter::mirrorLocked(const std::string& text) const {
    if (!mirror_) return;
    const std::string line = text + "\n";
    // One write per line, so that lines of other writers to the same stream never cut into it.
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

void LogWriter::write(const std::string& text, int channel) {
    // A line break inside a text from outside would start a forged line of its own.
    std::string message = text;
    for (char& c : message)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    std::lock_guard lock(mutex_);
    const std::string time = localTimeText();
    if ((channel == kLogReceiverList || channel == kLogPoList) && sink_) {
        std::string listLine = time;
        listLine.append(1, ' ').append(message);
        sink_(channel, listLine);
    }
    if (file_.size() > kLogRotateSize) rotateLocked();
    std::string line;
    line.reserve(message.size() + 28);
    line.append("<").append(localDateText()).append("><").append(time).append("><").append(message).append(">");
    mirrorLocked(message);
    writeFileLocked(line);
}

void LogWriter::writeFileLocked(const std::string& line) {
    if (file_.fileName().empty()) return;
    std::string error;
    try {
        file_.writeLine(line);
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "cannot write " + file_.fileName();
    }
    // The line is lost for the file only; logging never fails its caller.
    if (!error.empty()) {
        ++linesLost_;
        failure_ = error;
        if (!failing_.exchange(true)) {
            const std::string said = "ZamPO: the log file is not written (" + error +
                                     "); lines are missing from it until it can be written again: mend its owner, "
                                     "permissions or free space\n";
            [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, said.data(), said.size());
        }
        return;
    }
    if (!failing_.exchange(false)) return;
    const std::string back = "The log file is written again; " + std::to_string(linesLost_) +
                             " lines before the one above are missing (" + failure_ + ")";
    linesLost_ = 0;
    failure_.clear();
    mirrorLocked(back);
    try {
        // Appended piece by piece: g++ 12 at -O3 warns wrongly of overlap in the one-expression form.
        std::string line = "<";
        line += localDateText();
        line += "><";
        line += localTimeText();
        line += "><";
        line += back;
        line += '>';
        file_.writeLine(line);
    } catch (...) {
    }
}

std::string LogWriter::failure() const {
    std::lock_guard lock(mutex_);
    return failing_ ? failure_ : std::string();
}

void LogWriter::writeRawLine(const std::string& text) {
    std::lock_guard lock(mutex_);
    mirrorLocked(text);
    writeFileLocked(text);
}

void LogWriter::rotate() {
    std::lock_guard lock(mutex_);
    rotateLocked();
}

void LogWriter::rotateIfOversized() {
    std::lock_guard lock(mutex_);
    if (file_.size() > kLogRotateSize) rotateLocked();
}

void LogWriter::rotateLocked() {
    try {
        if (file_.fileName().empty()) return;
        file_.close();
        namespace fs = std::filesystem;
        const fs::path log(file_.fileName());
        std::error_code ec;  // a failed copy still empties the log
        fs::copy_file(log, log.parent_path() / "OLDPO.log", fs::copy_options::overwrite_existing, ec);
        file_.clear();
    } catch (...) {
    }
}

LogWriter& logWriter() {
    static LogWriter w;
    return w;
}

void writeLog(const std::string& message, int channel) {
    logWriter().write(message, channel);
}

}  // namespace zampo
