#include "logic/diag/tracewriter.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace zampo {

void TraceWriter::setDirectory(const std::string& dir) {
    dir_ = dir;
}

std::string TraceWriter::fileNameFor(const std::tm& t, const std::string& suffix) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d_", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return buf + suffix + ".trc";
}

void TraceWriter::write(const std::string& data, const std::string& suffix) {
    if (!enabled_) return;
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const std::string path = dir_ + "/" + fileNameFor(tm, suffix);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create trace file " + path);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write trace file " + path);
}

TraceWriter& traceWriter() {
    static TraceWriter w;
    return w;
}

}  // namespace zampo
