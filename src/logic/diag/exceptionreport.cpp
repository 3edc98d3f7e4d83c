#include "logic/diag/exceptionreport.h"

#include <cxxabi.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <typeinfo>

#include "logic/core/datapaths.h"
#include "logic/core/settings.h"

namespace zampo {

std::string demangledTypeName(const char* mangled) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> p(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return (status == 0 && p) ? std::string(p.get()) : std::string(mangled);
}

std::string exceptionLocationText(const std::string& senderClass, uintptr_t address) {
    static const std::string module = [] {
        std::error_code ec;
        auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::string("zampo") : exe.filename().string();
    }();
    char addr[16];
    std::snprintf(addr, sizeof addr, "%08X", static_cast<unsigned>(address & 0xFFFFFFFFu));
    std::string text = "Exception " + senderClass + " in module " + module + " at " + addr + ".";
    if (text.size() > 80) text.resize(80);
    return trimmed(text);
}

ErrorInfo describeError(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return {e.what(), demangledTypeName(typeid(e).name())};
    } catch (...) {
        const std::type_info* t = abi::__cxa_current_exception_type();
        return {"unknown error", t ? demangledTypeName(t->name()) : "unknown"};
    }
    return {"", ""};
}

std::string exceptionLogMessage(const std::string& location, const ErrorInfo& error) {
    return "<" + location + "><" + error.message + "><" + error.className + ">";
}

}  // namespace zampo
