#include "ui/imagelists.h"

#include <array>

// The icons are compiled into this static library; without an explicit
// initialisation the linker may drop them from the program.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace zampo {
namespace {

QIcon fromList(const char* const* names, int count, int index) {
    static const bool initialised = (initIconResources(), true);
    (void)initialised;
    if (index < 0 || index >= count || names[index] == nullptr) return {};
    return QIcon(QStringLiteral(":/zampo/icons/%1.svg").arg(QLatin1String(names[index])));
}

constexpr std::array<const char*, 5> kOfficeTools{"refresh", nullptr, "except-add", "except-delete", "explain"};
constexpr std::array<const char*, 9> kZamTools{nullptr,  "delete", "add",          "edit",        "import",
                                               "export", "assign", "assign-group", "delete-group"};
constexpr std::array<const char*, 2> kStatus{"fault-office", "fault-receiver"};

}  // namespace

QIcon officeToolImage(int index) {
    return fromList(kOfficeTools.data(), int(kOfficeTools.size()), index);
}

QIcon zamToolImage(int index) {
    return fromList(kZamTools.data(), int(kZamTools.size()), index);
}

int statusImageCount() {
    return int(kStatus.size());
}

QPixmap statusImage(int index) {
    const QIcon icon = fromList(kStatus.data(), int(kStatus.size()), index);
    return icon.isNull() ? QPixmap() : icon.pixmap(16, 16);
}

QIcon applicationIcon() {
    static const char* const names[] = {"zampo"};
    return fromList(names, 1, 0);
}

}  // namespace zampo
