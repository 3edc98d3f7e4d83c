#include "logic/linkconfig/linkdefslock.h"

namespace zampo {

std::mutex& linkDefsFileMutex() {
    static std::mutex m;
    return m;
}

}  // namespace zampo
