#include "ui/zamproexchange.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "logic/core/atomicfile.h"
#include "logic/core/datapaths.h"
#include "logic/diag/logwriter.h"
#include "logic/linkconfig/zamdefs.h"
#include "logic/linkconfig/zamexchange.h"
#include "ui/definitionedits.h"
#include "ui/widgettext.h"

namespace zampo {
namespace {

std::string localPath(const QString& file) {
    return QFile::encodeName(file).toStdString();
}

// Why a file that is there cannot be read, instead of "not found".
QString unreadableReason(const QFileInfo& info, const QString& file) {
    if (info.isDir()) return QString::fromLocal8Bit(std::strerror(EISDIR));
    QFile probe(file);
    return probe.open(QIODevice::ReadOnly) ? QString() : probe.errorString();
}

}  // namespace

void ZamProExchange::exportToZamPro() {
    openDataFile(zamDefs_, paths_.poDataDir(), kZamDefsFile);
    writeExchangeFile();
}

void ZamProExchange::writeExchangeFile() {
    const QString proposed = QString::fromStdString(paths_.xmlDir()) + '/' + QString::fromLatin1(kExchangeFileName);
    const QString file = prompts_.askSaveFileName(uiText(TextId::ExportDialogTitle), proposed,
                                                  uiText(TextId::XmlFileFilter) + QStringLiteral("(*.xml)"));
    if (file.isEmpty()) return;
    std::string data;
    if (!zamDefs_ || !buildZamExchange(*zamDefs_, data)) return;
    std::string error;
    if (!writeFileAtomically(localPath(file), data, &error)) {
        writeLog("Export not written: " + error, kLogFileOnly);
        prompts_.showMessage(uiText(TextId::ExportNotWritten) + '\n' + QString::fromStdString(error));
    }
}

bool ZamProExchange::importFromZamPro() {
    if (!prompts_.askYesNo(OperatorPrompts::Question::Warning,
                           uiText(TextId::ImportOverwriteWarning) + '\n' + uiText(TextId::ContinueQuestion)))
        return false;
    return readExchangeFile();
}

bool ZamProExchange::readExchangeFile() {
    const QString filter = uiText(TextId::XmlFileFilter) + QStringLiteral("(*.xml);;") +
                           uiText(TextId::AllFilesFilter) + QStringLiteral("(*.*)");
    const QString file =
        prompts_.askOpenFileName(uiText(TextId::ImportDialogTitle), QString::fromStdString(paths_.xmlDir()), filter);
    if (file.isEmpty()) return false;
    std::string data;
    const QFileInfo info(file);
    if (!info.exists()) {
        prompts_.showMessage(uiText(TextId::ImportFileNotFound) + ' ' + file);
        return false;
    }
    if (info.isDir() || !readWholeFile(localPath(file), data)) {
        const QString reason = unreadableReason(info, file);
        writeLog("Import file not read: " + localPath(file) + ": " + reason.toStdString(), kLogFileOnly);
        prompts_.showMessage(uiText(TextId::FileUnreadable) + ' ' + file + '\n' + reason);
        return false;
    }
    const SystemAlarmNames names{langText(TextId::SystemAlarmConnectionLost), langText(TextId::SystemAlarmSystemError),
                                 langText(TextId::SystemAlarmConfigError)};
    ImportResult result;
    const bool saved = changeZamDefs(prompts_, zamDefs_, paths_, [&](XmlDocument& doc) {
        result = importZamDefinitions(doc, data, names);
        return result.status == ImportStatus::Imported;
    });
    if (result.status == ImportStatus::Imported) return saved;
    QString message = uiText(TextId::ImportWrongStructure);
    if (result.status != ImportStatus::WrongRoot) {
        // Why, in the parser's words or as the entry stands in the file.
        message += '\n' + uiText(TextId::ImportRefused) + ' ' + file + '\n' + QString::fromStdString(result.detail);
        writeLog("Import refused: " + localPath(file) + ": " + result.detail, kLogFileOnly);
    }
    prompts_.showMessage(message);
    return false;
}

}  // namespace zampo
