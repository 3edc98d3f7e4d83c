#include "ui/routedialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ui/widgettext.h"

namespace zampo {

RouteDialog::RouteDialog(const QString& explanation, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgRoute"));
    setModal(true);
    setWindowTitle(uiText(TextId::RouteOfTheAlarm));
    text_ = named(new QPlainTextEdit(explanation), "txtRoute");
    text_->setReadOnly(true);
    // The lines as sent, so that their blanks and widths can be compared.
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
    resize(760, 300);
}

QString RouteDialog::explanation() const {
    return text_->toPlainText();
}

}  // namespace zampo
