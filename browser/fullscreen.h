#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

namespace browser {

// Shows a widget's window full screen with only that widget in it, over the rest of the window,
// and puts everything back as it was: the window's state and size, the widget's place and its
// place in the stacking order. While full screen the window's own layout is held back: its
// resize events go to the widget alone.
class FullScreen : public QObject {
    Q_OBJECT
public:
    FullScreen(QWidget* content, QObject* parent);

    bool isActive() const { return active_; }
    void enter();
    void leave();

Q_SIGNALS:
    void changed(bool active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void putBack();

    QPointer<QWidget> content_;
    QPointer<QWidget> window_;
    bool active_ = false;
    bool restorePending_ = false;
    Qt::WindowStates savedState_;
    QSize savedSize_;
    QRect savedGeometry_;
    QPointer<QWidget> above_;
};

} // namespace browser
