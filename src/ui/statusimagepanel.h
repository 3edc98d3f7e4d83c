#pragma once
// The status bar's picture of the gateway's fault, painted by hand so that it
// shows exactly the image of the fault the main loop last reported.
#include <QFrame>

namespace zampo {

class StatusImagePanel : public QFrame {
    Q_OBJECT
public:
    explicit StatusImagePanel(QWidget* parent = nullptr);

    // 0 shows nothing; n > 0 shows status image n - 1.
    void setShownStatus(int shownStatus);
    int shownStatus() const { return shown_; }
    // The index of the picture on show, -1 for none.
    int shownImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int shown_ = 0;
};

}  // namespace zampo
