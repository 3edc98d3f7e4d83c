#pragma once
// The questions and messages a page puts to the operator. The window answers them
// with message boxes and file dialogs; tests answer them themselves.
#include <QString>

namespace zampo {

class OperatorPrompts {
public:
    enum class Question { Confirmation, Warning };

    // A plain message with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // Yes or No; true for Yes.
    virtual bool askYesNo(Question kind, const QString& text) = 0;
    // The platform's file dialogs; an empty name when cancelled.
    virtual QString askOpenFileName(const QString& title, const QString& directory, const QString& filter) = 0;
    // Asks before replacing an existing file.
    virtual QString askSaveFileName(const QString& title, const QString& proposedPath, const QString& filter) = 0;

protected:
    ~OperatorPrompts() = default;
};

}  // namespace zampo
