#include "ui/definitionedits.h"

#include "logic/core/datapaths.h"
#include "logic/diag/logwriter.h"
#include "ui/widgettext.h"

namespace zampo {
namespace {

bool reported(OperatorPrompts& prompts, const EditOutcome& outcome) {
    if (outcome.status == EditStatus::Failed) {
        writeLog("Change not saved: " + outcome.error, kLogFileOnly);
        prompts.showMessage(uiText(TextId::ChangeNotSaved) + '\n' + QString::fromStdString(outcome.error));
    }
    return outcome.saved();
}

}  // namespace

bool changeLinkDefs(OperatorPrompts& prompts, DocumentSlot& linkDefs, DataPaths& paths, const DocumentChange& change) {
    return reported(prompts, editLinkDefs(linkDefs, paths.poDataDir(), change));
}

bool changeZamDefs(OperatorPrompts& prompts, DocumentSlot& zamDefs, DataPaths& paths, const DocumentChange& change) {
    return reported(prompts, editZamDefs(zamDefs, paths.poDataDir(), change));
}

}  // namespace zampo
