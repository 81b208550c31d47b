#pragma once

#include <QElapsedTimer>
#include <QQuickView>
#include <QTimer>

// The frameless window that drops down from the status item. It closes on
// Escape (when nothing inside takes the key) and on a click anywhere
// outside it; its content is made once and kept, so what the user left
// there is there again next time.
//
// It is a tool window, not a Qt::Popup: Qt leaves popups out of the
// accessibility tree, and screen readers must find the popover. Closing on
// outside clicks comes from grabbing the pointer while it is shown.
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

    // Something was asked for (`what`) by the last click or key; firstFrameAfter
    // reports the time from that input to the next frame on screen.
    void markInteraction(const QString &what);
    // Collects frame times while shown; reported by framesWhileShown on close.
    void setMeasuringFrames(bool measure) { m_measureFrames = measure; }

signals:
    // Milliseconds from the show request to the first frame on screen.
    void firstFrameShown(qint64 milliseconds);
    void firstFrameAfter(const QString &what, qint64 milliseconds);
    // Frames drawn while the popover was shown and the slowest of them.
    void framesWhileShown(int frames, double worstMilliseconds);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void exposeEvent(QExposeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void grabInput();

    QElapsedTimer m_showRequested;
    bool m_waitingForFrame = false;
    bool m_wasActive = false;
    bool m_platformGrabs = true;
    bool m_wantsGrab = false;
    int m_grabAttempts = 0;
    QTimer m_grabRetry;
    QElapsedTimer m_interactionTimer;
    QElapsedTimer m_sinceInput;
    QString m_interaction;
    bool m_measureFrames = false;
    QElapsedTimer m_frameTimer;
    int m_frames = 0;
    qint64 m_worstFrameNs = 0;
};
