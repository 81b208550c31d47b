#pragma once

#include <QElapsedTimer>
#include <QQuickView>

// The frameless window that drops down from the status item. It closes on
// Escape and on a click anywhere outside it; its content is made once and
// kept, so what the user left there is there again next time.
class PopoverWindow : public QQuickView
{
    Q_OBJECT
public:
    static constexpr int Width = 320;
    static constexpr int Height = 620;

    explicit PopoverWindow(QQmlEngine *engine);
    ~PopoverWindow() override;

    bool hasContent() const { return rootObject() != nullptr; }
    // Loads the content once; later calls do nothing.
    void setContent(const QUrl &source, const QVariantMap &initialProperties);

    // Below the icon (or the click point when the icon's place is unknown),
    // kept inside the screen.
    void showBelow(const QRect &anchor, const QPoint &clickPoint);
    void closePopover();

    // The top-left corner for a window of `size` under `anchor` within `screen`.
    static QPoint placement(const QRect &anchor, const QSize &size, const QRect &screen);

signals:
    // Milliseconds from the show request to the first frame on screen.
    void firstFrameShown(qint64 milliseconds);
    void shownChanged(bool shown);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    QElapsedTimer m_showRequested;
    bool m_waitingForFrame = false;
    bool m_wasActive = false;
};
