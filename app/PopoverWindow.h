// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <memory>
#include <optional>

class LayerShellSurface;
class QQmlEngine;
class QQuickRenderControl;

// The frameless window that drops down from the status item. It closes on
// Escape (when nothing inside takes the key) and on a click anywhere
// outside it; its content is made once and kept, so what the user left
// there is there again next time.
//
// It is a tool window, not a Qt::Popup: Qt leaves popups out of the
// accessibility tree, and screen readers must find the popover. Closing on
// outside clicks comes from grabbing the pointer while it is shown.
//
// On a Wayland compositor with the layer shell it is no window of Qt's
// platform at all: its scene is drawn offscreen and shown in a layer
// surface beside the panel, which also brings it the keyboard; it closes
// when the keyboard goes elsewhere.
class PopoverWindow : public QQuickWindow
{
    Q_OBJECT
public:
    // The size at the desktop's default text size; it grows with larger text.
    static constexpr int Width = 320;
    static constexpr int Height = 620;
    static QSize popoverSize();

    // An ordinary window of Qt's platform.
    explicit PopoverWindow(QQmlEngine *engine);
    // A layer surface where the session's compositor offers one and Qt runs
    // on Wayland; else an ordinary window.
    static std::unique_ptr<PopoverWindow> create(QQmlEngine *engine);
    ~PopoverWindow() override;

    bool hasContent() const { return m_root != nullptr; }
    // Removes the content, to be made again by setContent.
    void dropContent();
    // Sized for the desktop's text.
    void fitTextSize();
    QQuickItem *rootObject() const { return m_root; }
    bool isLayerSurface() const { return m_layer != nullptr; }
    // On screen, as a window or as a layer surface.
    bool isOpen() const;
    // Loads the content once; later calls do nothing.
    void setContent(const QUrl &source, const QVariantMap &initialProperties);

    // Below the icon (or the click point when the icon's place is unknown),
    // kept inside the screen.
    void showBelow(const QRect &anchor, const QPoint &clickPoint);
    void closePopover();

    // The window's kind on a platform: a tool window, or an unmanaged one in
    // X11 inside a Wayland session (XWayland), where only that is placed
    // where it asks to be.
    static Qt::WindowFlags flagsFor(const QString &platformName, bool inWaylandSession);

    // Where the panel's item is when only a click point is known: a click
    // near an edge of `screen` is taken as the middle of a panel along that
    // edge, twice as thick as the click is far from it.
    struct PanelAnchor
    {
        QRect rect;
        Qt::Edge edge = Qt::TopEdge;
    };
    static constexpr int PanelReach = 64;
    static PanelAnchor anchorForClick(const QPoint &click, const QRect &screen);
    // The point to open at for a toggle that comes with the pointer alone (a
    // key the user bound, a launcher): the pointer where it is on a panel of
    // `screen`, else the item's last click, where the panel is known to be,
    // else the pointer.
    static QPoint pointForToggle(
        const QPoint &pointer, const std::optional<QPoint> &lastItemClick, const QRect &screen);

    // The top-left corner for a window of `size` beside `anchor` within
    // `screen`: below it for a panel at the top (above when there is no room),
    // above it for one at the bottom, to its side for one at the left or right.
    static QPoint placement(
        const QRect &anchor, const QSize &size, const QRect &screen, Qt::Edge panelEdge = Qt::TopEdge);

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
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void exposeEvent(QExposeEvent *event) override;
    bool event(QEvent *event) override;

private:
    PopoverWindow(QQmlEngine *engine, QQuickRenderControl *renderControl, std::unique_ptr<LayerShellSurface> layer);
    void setUp();
    void fitContent();
    void frameShown();
    void scheduleLayerFrame();
    void renderLayerFrame();
    void grabInput();

    QQmlEngine *m_engine;
    QPointer<QQuickItem> m_root;
    // Only for a layer surface: the scene drawn into m_layerFrame.
    std::unique_ptr<QQuickRenderControl> m_renderControl;
    std::unique_ptr<LayerShellSurface> m_layer;
    QImage m_layerFrame;
    QTimer m_layerFrameTimer;
    bool m_layerFramePending = false;

    QElapsedTimer m_showRequested;
    bool m_waitingForFrame = false;
    bool m_wasActive = false;
    bool m_platformGrabs = true;
    bool m_closesWhenInactive = true;
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
