#include "toolsupport.h"

#include <QDateTime>
#include <cstdio>

namespace tools {

void printLine(const std::string& text) {
    const std::string stamp = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss.zzz").toStdString();
    std::fprintf(stdout, "%s %s\n", stamp.c_str(), text.c_str());
    std::fflush(stdout);
}

std::string readAddress(std::string value, QHostAddress& address) {
    if (value == "localhost") value = "127.0.0.1";
    if (address.setAddress(QString::fromStdString(value))) return {};
    return "bad address '" + value + "': give an IP address such as 127.0.0.1";
}

}  // namespace tools
