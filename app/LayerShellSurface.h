// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QTimer>

#include <memory>
#include <vector>

class QSocketNotifier;
class QWindow;
class XkbKeyboard;

struct wl_buffer;
struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct wl_cursor_theme;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// A surface in the compositor's top layer, beside the panel, through the
// wlroots layer shell (sway, Hyprland, labwc, KDE Plasma and others): there a
// Wayland client places a window itself and is given the keyboard, which an
// ordinary Wayland window is not. Qt's Wayland platform offers no such
// surface (Debian's Qt has no layer-shell integration), so this one keeps
// a connection of its own to the compositor: it shows the frames it is
// handed and sends the seat's pointer and keys to `inputTarget` as Qt's
// events.
class LayerShellSurface : public QObject
{
    Q_OBJECT
public:
    // Whether the session's compositor offers the layer shell; asked on a
    // connection of its own, closed again.
    static bool sessionOffersLayerShell();
    // Null where there is no Wayland session or no layer shell.
    static std::unique_ptr<LayerShellSurface> connectToSession(QWindow *inputTarget);
    ~LayerShellSurface() override;
    // The window that gets the pointer's and the keyboard's events.
    void setInputTarget(QWindow *target) { m_target = target; }

    // Maps a surface at `geometry` (logical pixels, the desktop's
    // coordinates) on the output whose logical geometry is `screen`, with
    // buffers `bufferScale` times its size.
    void show(const QRect &geometry, const QRect &screen, int bufferScale);
    void hide();
    bool isShown() const { return m_surface != nullptr; }
    QRect geometry() const { return m_geometry; }
    int bufferScale() const { return m_bufferScale; }
    // The compositor has configured the surface and a buffer is free.
    bool readyForFrame() const;
    // Shows `frame`, premultiplied ARGB of the surface's size times its scale.
    void present(const QImage &frame);

signals:
    void readyForFrameChanged();
    void presented();
    // The keyboard went to another surface: the user turned elsewhere.
    void keyboardLeft();
    // The compositor took the surface away (its output went, say).
    void closedByCompositor();

private:
    struct Buffer
    {
        wl_buffer *buffer = nullptr;
        uchar *data = nullptr;
        size_t bytes = 0;
        QSize pixels;
        bool busy = false;
    };

    explicit LayerShellSurface(wl_display *display, QWindow *inputTarget);
    bool bindGlobals();
    void readEvents();
    void flush();
    void failIfBroken();
    Buffer *freeBuffer(const QSize &pixels);
    void destroyBuffers();
    void setCursor(quint32 serial);
    void sendMouse(int type, Qt::MouseButton button, quint32 time = 0);
    void sendKey(quint32 evdevCode, bool pressed, bool autoRepeat);

    // Listener callbacks, given `this` as their data.
    static void onGlobal(void *data, wl_registry *registry, quint32 name, const char *interface, quint32 version);
    static void onGlobalRemoved(void *data, wl_registry *registry, quint32 name);
    static void onSeatCapabilities(void *data, wl_seat *seat, quint32 capabilities);
    static void onSeatName(void *data, wl_seat *seat, const char *name);
    static void onConfigure(void *data, zwlr_layer_surface_v1 *surface, quint32 serial, quint32 width, quint32 height);
    static void onClosed(void *data, zwlr_layer_surface_v1 *surface);
    static void onBufferRelease(void *data, wl_buffer *buffer);
    static void onPointerEnter(
        void *data, wl_pointer *pointer, quint32 serial, wl_surface *surface, qint32 x, qint32 y);
    static void onPointerLeave(void *data, wl_pointer *pointer, quint32 serial, wl_surface *surface);
    static void onPointerMotion(void *data, wl_pointer *pointer, quint32 time, qint32 x, qint32 y);
    static void onPointerButton(
        void *data, wl_pointer *pointer, quint32 serial, quint32 time, quint32 button, quint32 state);
    static void onPointerAxis(void *data, wl_pointer *pointer, quint32 time, quint32 axis, qint32 value);
    static void onPointerFrame(void *data, wl_pointer *pointer);
    static void onPointerAxisSource(void *data, wl_pointer *pointer, quint32 source);
    static void onPointerAxisStop(void *data, wl_pointer *pointer, quint32 time, quint32 axis);
    static void onPointerAxisDiscrete(void *data, wl_pointer *pointer, quint32 axis, qint32 discrete);
    static void onKeymap(void *data, wl_keyboard *keyboard, quint32 format, qint32 fd, quint32 size);
    static void onKeyboardEnter(
        void *data, wl_keyboard *keyboard, quint32 serial, wl_surface *surface, struct wl_array *keys);
    static void onKeyboardLeave(void *data, wl_keyboard *keyboard, quint32 serial, wl_surface *surface);
    static void onKey(void *data, wl_keyboard *keyboard, quint32 serial, quint32 time, quint32 key, quint32 state);
    static void onModifiers(void *data, wl_keyboard *keyboard, quint32 serial, quint32 depressed, quint32 latched,
        quint32 locked, quint32 group);
    static void onRepeatInfo(void *data, wl_keyboard *keyboard, qint32 rate, qint32 delay);

    wl_display *m_display;
    QWindow *m_target;
    QSocketNotifier *m_notifier = nullptr;
    wl_registry *m_registry = nullptr;
    wl_compositor *m_compositor = nullptr;
    quint32 m_compositorVersion = 0;
    wl_shm *m_shm = nullptr;
    wl_seat *m_seat = nullptr;
    quint32 m_seatVersion = 0;
    zwlr_layer_shell_v1 *m_layerShell = nullptr;
    quint32 m_layerShellVersion = 0;
    wl_pointer *m_pointer = nullptr;
    wl_keyboard *m_keyboard = nullptr;
    wl_cursor_theme *m_cursorTheme = nullptr;
    wl_surface *m_cursorSurface = nullptr;

    wl_surface *m_surface = nullptr;
    zwlr_layer_surface_v1 *m_layerSurface = nullptr;
    bool m_configured = false;
    QRect m_geometry;
    int m_bufferScale = 1;
    std::vector<std::unique_ptr<Buffer>> m_buffers;

    bool m_pointerInside = false;
    QPointF m_pointerPosition;
    Qt::MouseButtons m_buttons;
    // The last press, to tell a double click as Qt's own platforms do.
    quint32 m_lastPressTime = 0;
    QPointF m_lastPressPosition;
    Qt::MouseButton m_lastPressButton = Qt::NoButton;
    double m_pendingScroll = 0;
    int m_pendingScrollSteps = 0;
    std::unique_ptr<XkbKeyboard> m_xkb;
    bool m_keyboardFocus = false;
    QTimer m_repeat;
    quint32 m_repeatKey = 0;
    int m_repeatRate = 25;
    int m_repeatDelay = 600;
    bool m_broken = false;
};
