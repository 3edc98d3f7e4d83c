#include "ui/statusimagepanel.h"

#include <QPainter>

#include "ui/imagelists.h"

namespace zampo {

StatusImagePanel::StatusImagePanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("sBarImage"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedWidth(20);
    setMinimumHeight(18);
}

void StatusImagePanel::setShownStatus(int shownStatus) {
    shown_ = shownStatus;
    update();
}

int StatusImagePanel::shownImage() const {
    return shown_ > 0 && shown_ <= statusImageCount() ? shown_ - 1 : -1;
}

void StatusImagePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect r = contentsRect();
    p.fillRect(r, palette().color(QPalette::Button));
    if (const int image = shownImage(); image >= 0) p.drawPixmap(r.topLeft(), statusImage(image));
}

}  // namespace zampo
