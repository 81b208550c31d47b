// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LayerShellSurface.h"

#include "app/XkbKeyboard.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QStyleHints>
#include <QWheelEvent>
#include <QWindow>

#include <wayland-client.h>
#include <wayland-cursor.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr quint32 MaxCompositorVersion = 4;
constexpr quint32 MaxSeatVersion = 5;
constexpr quint32 MaxLayerShellVersion = 4;
constexpr quint32 OnDemandSince = 4;
constexpr size_t MaxBuffers = 2;
// Qt's unit for one step of a wheel, and what a compositor's continuous
// scroll value is worth in it.
constexpr int WheelStep = 120;
constexpr double WheelPerScrollUnit = 12.0;

const char *const LayerNamespace = "brivane";

Qt::MouseButton qtButton(quint32 button)
{
    switch (button) {
    case BTN_LEFT:
        return Qt::LeftButton;
    case BTN_RIGHT:
        return Qt::RightButton;
    case BTN_MIDDLE:
        return Qt::MiddleButton;
    case BTN_SIDE:
        return Qt::BackButton;
    case BTN_EXTRA:
        return Qt::ForwardButton;
    default:
        return Qt::NoButton;
    }
}

// The release requests came with version 3 of the seat's devices and 5 of
// the seat: older ones are only forgotten.
void releasePointer(wl_pointer *pointer, quint32 seatVersion)
{
    if (seatVersion >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(pointer);
    else
        wl_pointer_destroy(pointer);
}

void releaseKeyboard(wl_keyboard *keyboard, quint32 seatVersion)
{
    if (seatVersion >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(keyboard);
    else
        wl_keyboard_destroy(keyboard);
}

struct RegistryProbe
{
    bool layerShell = false;
};

void probeGlobal(void *data, wl_registry *, quint32, const char *interface, quint32)
{
    if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0)
        static_cast<RegistryProbe *>(data)->layerShell = true;
}

void probeGlobalRemoved(void *, wl_registry *, quint32)
{ }

const wl_registry_listener ProbeListener = {.global = probeGlobal, .global_remove = probeGlobalRemoved};

} // namespace

bool LayerShellSurface::sessionOffersLayerShell()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return false;
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return false;
    RegistryProbe probe;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &ProbeListener, &probe);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return probe.layerShell;
}

std::unique_ptr<LayerShellSurface> LayerShellSurface::connectToSession(QWindow *inputTarget)
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return nullptr;
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<LayerShellSurface> surface(new LayerShellSurface(display, inputTarget));
    if (!surface->bindGlobals())
        return nullptr;
    return surface;
}

LayerShellSurface::LayerShellSurface(wl_display *display, QWindow *inputTarget)
    : m_display(display)
    , m_target(inputTarget)
{
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, [this] {
        m_repeat.setInterval(1000 / std::max(1, m_repeatRate));
        sendKey(m_repeatKey, true, true);
    });
}

LayerShellSurface::~LayerShellSurface()
{
    hide();
    if (m_cursorSurface)
        wl_surface_destroy(m_cursorSurface);
    if (m_cursorTheme)
        wl_cursor_theme_destroy(m_cursorTheme);
    if (m_pointer)
        releasePointer(m_pointer, m_seatVersion);
    if (m_keyboard)
        releaseKeyboard(m_keyboard, m_seatVersion);
    if (m_seat) {
        if (m_seatVersion >= WL_SEAT_RELEASE_SINCE_VERSION)
            wl_seat_release(m_seat);
        else
            wl_seat_destroy(m_seat);
    }
    if (m_layerShell) {
        if (m_layerShellVersion >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(m_layerShell);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_layerShell));
    }
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    if (m_registry)
        wl_registry_destroy(m_registry);
    delete m_notifier;
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

bool LayerShellSurface::bindGlobals()
{
    static const wl_registry_listener listener = {.global = onGlobal, .global_remove = onGlobalRemoved};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    // The globals, then what the seat and the shared memory say of themselves.
    if (wl_display_roundtrip(m_display) < 0 || wl_display_roundtrip(m_display) < 0)
        return false;
    if (!m_compositor || !m_shm || !m_layerShell)
        return false;
    const QByteArray cursorTheme = qgetenv("XCURSOR_THEME");
    bool sizeOk = false;
    const int cursorSize = qEnvironmentVariableIntValue("XCURSOR_SIZE", &sizeOk);
    m_cursorTheme = wl_cursor_theme_load(
        cursorTheme.isEmpty() ? nullptr : cursorTheme.constData(), sizeOk && cursorSize > 0 ? cursorSize : 24, m_shm);
    m_cursorSurface = wl_compositor_create_surface(m_compositor);

    m_notifier = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &LayerShellSurface::readEvents);
    // Requests wait in the connection's buffer until flushed: before the
    // event loop sleeps, everything asked for goes out.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &LayerShellSurface::flush);
    return true;
}

void LayerShellSurface::onGlobal(
    void *data, wl_registry *registry, quint32 name, const char *interface, quint32 version)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !self->m_compositor) {
        self->m_compositorVersion = std::min(version, MaxCompositorVersion);
        self->m_compositor = static_cast<wl_compositor *>(
            wl_registry_bind(registry, name, &wl_compositor_interface, self->m_compositorVersion));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !self->m_shm) {
        self->m_shm = static_cast<wl_shm *>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat) {
        static const wl_seat_listener seatListener = {.capabilities = onSeatCapabilities, .name = onSeatName};
        self->m_seatVersion = std::min(version, MaxSeatVersion);
        self->m_seat
            = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, self->m_seatVersion));
        wl_seat_add_listener(self->m_seat, &seatListener, self);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && !self->m_layerShell) {
        self->m_layerShellVersion = std::min(version, MaxLayerShellVersion);
        self->m_layerShell = static_cast<zwlr_layer_shell_v1 *>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, self->m_layerShellVersion));
    }
}

void LayerShellSurface::onGlobalRemoved(void *, wl_registry *, quint32)
{ }

void LayerShellSurface::onSeatName(void *, wl_seat *, const char *)
{ }

void LayerShellSurface::onSeatCapabilities(void *data, wl_seat *seat, quint32 capabilities)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    static const wl_pointer_listener pointerListener = {
        .enter = onPointerEnter,
        .leave = onPointerLeave,
        .motion = onPointerMotion,
        .button = onPointerButton,
        .axis = onPointerAxis,
        .frame = onPointerFrame,
        .axis_source = onPointerAxisSource,
        .axis_stop = onPointerAxisStop,
        .axis_discrete = onPointerAxisDiscrete,
        .axis_value120 = nullptr,
    };
    static const wl_keyboard_listener keyboardListener = {
        .keymap = onKeymap,
        .enter = onKeyboardEnter,
        .leave = onKeyboardLeave,
        .key = onKey,
        .modifiers = onModifiers,
        .repeat_info = onRepeatInfo,
    };
    const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasPointer && !self->m_pointer) {
        self->m_pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(self->m_pointer, &pointerListener, self);
    } else if (!hasPointer && self->m_pointer) {
        releasePointer(self->m_pointer, self->m_seatVersion);
        self->m_pointer = nullptr;
    }
    if (hasKeyboard && !self->m_keyboard) {
        self->m_keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->m_keyboard, &keyboardListener, self);
    } else if (!hasKeyboard && self->m_keyboard) {
        releaseKeyboard(self->m_keyboard, self->m_seatVersion);
        self->m_keyboard = nullptr;
        self->m_repeat.stop();
    }
}

void LayerShellSurface::readEvents()
{
    if (m_broken)
        return;
    // Another thread never reads this connection; prepare_read fails only
    // when events are already queued, and those are dispatched below.
    if (wl_display_prepare_read(m_display) == 0) {
        if (wl_display_read_events(m_display) < 0) {
            failIfBroken();
            return;
        }
    }
    if (wl_display_dispatch_pending(m_display) < 0)
        failIfBroken();
    flush();
}

void LayerShellSurface::flush()
{
    if (m_broken)
        return;
    wl_display_dispatch_pending(m_display);
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        failIfBroken();
}

void LayerShellSurface::failIfBroken()
{
    const int error = wl_display_get_error(m_display);
    if (error == 0 || m_broken)
        return;
    m_broken = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    qWarning("brivane: the connection to the compositor for the popover failed: %s", std::strerror(error));
    m_surface = nullptr;
    m_layerSurface = nullptr;
    emit closedByCompositor();
}

void LayerShellSurface::show(const QRect &geometry, const QRect &screen, int bufferScale)
{
    if (m_broken)
        return;
    hide();
    static const zwlr_layer_surface_v1_listener layerListener = {.configure = onConfigure, .closed = onClosed};
    m_geometry = geometry;
    m_bufferScale = std::max(1, bufferScale);
    m_configured = false;
    m_surface = wl_compositor_create_surface(m_compositor);
    if (m_compositorVersion >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION)
        wl_surface_set_buffer_scale(m_surface, m_bufferScale);
    // The compositor's choice of output is the one the user last worked
    // on: the one whose panel was just clicked.
    m_layerSurface = zwlr_layer_shell_v1_get_layer_surface(
        m_layerShell, m_surface, nullptr, ZWLR_LAYER_SHELL_V1_LAYER_TOP, LayerNamespace);
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &layerListener, this);
    zwlr_layer_surface_v1_set_size(m_layerSurface, quint32(geometry.width()), quint32(geometry.height()));
    zwlr_layer_surface_v1_set_anchor(
        m_layerSurface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    // Placed by its margins from the output's corner, the panel's zone
    // included: where the popover was worked out to be.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, -1);
    zwlr_layer_surface_v1_set_margin(
        m_layerSurface, geometry.top() - screen.top(), 0, 0, geometry.left() - screen.left());
    // On demand, the keyboard comes with the surface and goes when the user
    // clicks elsewhere, which closes the popover; the older protocol only
    // knows exclusive, which keeps it until the popover closes.
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layerSurface,
        m_layerShellVersion >= OnDemandSince ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_ON_DEMAND
                                             : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    wl_surface_commit(m_surface);
    flush();
}

void LayerShellSurface::hide()
{
    m_repeat.stop();
    if (m_broken) {
        m_surface = nullptr;
        m_layerSurface = nullptr;
        return;
    }
    if (m_layerSurface)
        zwlr_layer_surface_v1_destroy(m_layerSurface);
    if (m_surface)
        wl_surface_destroy(m_surface);
    m_layerSurface = nullptr;
    m_surface = nullptr;
    m_configured = false;
    m_pointerInside = false;
    m_buttons = {};
    m_keyboardFocus = false;
    destroyBuffers();
    flush();
}

void LayerShellSurface::onConfigure(void *data, zwlr_layer_surface_v1 *surface, quint32 serial, quint32, quint32)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (surface != self->m_layerSurface)
        return;
    // The size is the one asked for: the popover is fixed in size.
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    const bool first = !self->m_configured;
    self->m_configured = true;
    if (first)
        emit self->readyForFrameChanged();
}

void LayerShellSurface::onClosed(void *data, zwlr_layer_surface_v1 *surface)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (surface != self->m_layerSurface)
        return;
    self->hide();
    emit self->closedByCompositor();
}

bool LayerShellSurface::readyForFrame() const
{
    if (!m_surface || !m_configured || m_broken)
        return false;
    return m_buffers.size() < MaxBuffers
        || std::any_of(m_buffers.begin(), m_buffers.end(), [](const auto &buffer) { return !buffer->busy; });
}

LayerShellSurface::Buffer *LayerShellSurface::freeBuffer(const QSize &pixels)
{
    for (auto &buffer : m_buffers) {
        if (!buffer->busy && buffer->pixels == pixels)
            return buffer.get();
    }
    // One of another size goes: the text size or the scale changed.
    const auto stale = std::find_if(m_buffers.begin(), m_buffers.end(),
        [&](const auto &buffer) { return !buffer->busy && buffer->pixels != pixels; });
    if (stale != m_buffers.end()) {
        wl_buffer_destroy((*stale)->buffer);
        munmap((*stale)->data, (*stale)->bytes);
        m_buffers.erase(stale);
    }
    if (m_buffers.size() >= MaxBuffers)
        return nullptr;
    const int stride = pixels.width() * 4;
    const size_t bytes = size_t(stride) * size_t(pixels.height());
    const int fd = memfd_create("brivane-popover", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, off_t(bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void *memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    static const wl_buffer_listener bufferListener = {.release = onBufferRelease};
    wl_shm_pool *pool = wl_shm_create_pool(m_shm, fd, int(bytes));
    auto buffer = std::make_unique<Buffer>();
    buffer->buffer
        = wl_shm_pool_create_buffer(pool, 0, pixels.width(), pixels.height(), stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    buffer->data = static_cast<uchar *>(memory);
    buffer->bytes = bytes;
    buffer->pixels = pixels;
    wl_buffer_add_listener(buffer->buffer, &bufferListener, this);
    m_buffers.push_back(std::move(buffer));
    return m_buffers.back().get();
}

void LayerShellSurface::destroyBuffers()
{
    for (auto &buffer : m_buffers) {
        wl_buffer_destroy(buffer->buffer);
        munmap(buffer->data, buffer->bytes);
    }
    m_buffers.clear();
}

void LayerShellSurface::onBufferRelease(void *data, wl_buffer *released)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    for (auto &buffer : self->m_buffers) {
        if (buffer->buffer == released) {
            buffer->busy = false;
            emit self->readyForFrameChanged();
            return;
        }
    }
}

void LayerShellSurface::present(const QImage &frame)
{
    if (!readyForFrame())
        return;
    const QImage pixels = frame.format() == QImage::Format_ARGB32_Premultiplied
        ? frame
        : frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    Buffer *buffer = freeBuffer(pixels.size());
    if (!buffer)
        return;
    // ARGB32 in memory order is the compositor's ARGB8888 on little-endian
    // machines; rows are copied one by one, as the image may pad them.
    const int rowBytes = pixels.width() * 4;
    for (int row = 0; row < pixels.height(); ++row)
        std::memcpy(buffer->data + size_t(row) * size_t(rowBytes), pixels.constScanLine(row), size_t(rowBytes));
    buffer->busy = true;
    wl_surface_attach(m_surface, buffer->buffer, 0, 0);
    if (m_compositorVersion >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(m_surface, 0, 0, INT_MAX, INT_MAX);
    else
        wl_surface_damage(m_surface, 0, 0, INT_MAX, INT_MAX);
    wl_surface_commit(m_surface);
    flush();
    emit presented();
}

void LayerShellSurface::setCursor(quint32 serial)
{
    if (!m_cursorTheme || !m_cursorSurface || !m_pointer)
        return;
    wl_cursor *cursor = wl_cursor_theme_get_cursor(m_cursorTheme, "default");
    if (!cursor)
        cursor = wl_cursor_theme_get_cursor(m_cursorTheme, "left_ptr");
    if (!cursor || cursor->image_count == 0)
        return;
    wl_cursor_image *image = cursor->images[0];
    wl_buffer *buffer = wl_cursor_image_get_buffer(image);
    if (!buffer)
        return;
    wl_pointer_set_cursor(m_pointer, serial, m_cursorSurface, int(image->hotspot_x), int(image->hotspot_y));
    wl_surface_attach(m_cursorSurface, buffer, 0, 0);
    wl_surface_damage(m_cursorSurface, 0, 0, int(image->width), int(image->height));
    wl_surface_commit(m_cursorSurface);
}

void LayerShellSurface::sendMouse(int type, Qt::MouseButton button, quint32 time)
{
    if (!m_target)
        return;
    const QPointF global = QPointF(m_geometry.topLeft()) + m_pointerPosition;
    const Qt::KeyboardModifiers modifiers = m_xkb ? m_xkb->modifiers() : Qt::KeyboardModifiers();
    QMouseEvent event(QEvent::Type(type), m_pointerPosition, m_pointerPosition, global, button, m_buttons, modifiers);
    if (time != 0)
        event.setTimestamp(time);
    QCoreApplication::sendEvent(m_target, &event);
}

void LayerShellSurface::onPointerEnter(
    void *data, wl_pointer *, quint32 serial, wl_surface *surface, qint32 x, qint32 y)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!surface || surface != self->m_surface)
        return;
    self->m_pointerInside = true;
    self->m_pointerPosition = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
    self->setCursor(serial);
    self->sendMouse(QEvent::MouseMove, Qt::NoButton);
}

void LayerShellSurface::onPointerLeave(void *data, wl_pointer *, quint32, wl_surface *)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!self->m_pointerInside)
        return;
    self->m_pointerInside = false;
    self->m_buttons = {};
    if (self->m_target) {
        // Hover ends: Qt Quick clears its hovered items on a window's Leave.
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(self->m_target, &leave);
    }
}

void LayerShellSurface::onPointerMotion(void *data, wl_pointer *, quint32, qint32 x, qint32 y)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!self->m_pointerInside)
        return;
    self->m_pointerPosition = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
    self->sendMouse(QEvent::MouseMove, Qt::NoButton);
}

void LayerShellSurface::onPointerButton(void *data, wl_pointer *, quint32, quint32 time, quint32 button, quint32 state)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    const Qt::MouseButton qtButton = ::qtButton(button);
    if (!self->m_pointerInside || qtButton == Qt::NoButton)
        return;
    const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    self->m_buttons.setFlag(qtButton, pressed);
    self->sendMouse(pressed ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, qtButton, time);
    if (!pressed)
        return;
    // A second press soon enough and near enough is also a double click,
    // which Qt's platforms tell apart and events sent by hand do not.
    const QStyleHints *hints = QGuiApplication::styleHints();
    const bool doubleClick = qtButton == self->m_lastPressButton
        && time - self->m_lastPressTime < quint32(hints->mouseDoubleClickInterval())
        && (self->m_pointerPosition - self->m_lastPressPosition).manhattanLength() < hints->startDragDistance();
    if (doubleClick) {
        self->sendMouse(QEvent::MouseButtonDblClick, qtButton, time);
        self->m_lastPressButton = Qt::NoButton; // a third press starts anew
    } else {
        self->m_lastPressButton = qtButton;
        self->m_lastPressTime = time;
        self->m_lastPressPosition = self->m_pointerPosition;
    }
}

void LayerShellSurface::onPointerAxis(void *data, wl_pointer *, quint32, quint32 axis, qint32 value)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (axis == WL_POINTER_AXIS_VERTICAL_SCROLL)
        self->m_pendingScroll += wl_fixed_to_double(value);
}

void LayerShellSurface::onPointerAxisDiscrete(void *data, wl_pointer *, quint32 axis, qint32 discrete)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (axis == WL_POINTER_AXIS_VERTICAL_SCROLL)
        self->m_pendingScrollSteps += discrete;
}

void LayerShellSurface::onPointerAxisSource(void *, wl_pointer *, quint32)
{ }

void LayerShellSurface::onPointerAxisStop(void *, wl_pointer *, quint32, quint32)
{ }

void LayerShellSurface::onPointerFrame(void *data, wl_pointer *)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!self->m_pointerInside || !self->m_target || (self->m_pendingScroll == 0 && self->m_pendingScrollSteps == 0))
        return;
    // A wheel's steps where the compositor counts them, else its distance.
    const int angle = self->m_pendingScrollSteps != 0 ? -self->m_pendingScrollSteps * WheelStep
                                                      : int(-self->m_pendingScroll * WheelPerScrollUnit);
    const QPoint pixels(0, int(-self->m_pendingScroll));
    self->m_pendingScroll = 0;
    self->m_pendingScrollSteps = 0;
    const QPointF global = QPointF(self->m_geometry.topLeft()) + self->m_pointerPosition;
    QWheelEvent event(self->m_pointerPosition, global, pixels, QPoint(0, angle), self->m_buttons,
        self->m_xkb ? self->m_xkb->modifiers() : Qt::KeyboardModifiers(), Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(self->m_target, &event);
}

void LayerShellSurface::onKeymap(void *data, wl_keyboard *, quint32 format, qint32 fd, quint32 size)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void *text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            auto keyboard = XkbKeyboard::fromKeymapText(QByteArray(static_cast<const char *>(text), int(size)));
            munmap(text, size);
            if (keyboard)
                self->m_xkb = std::move(keyboard);
        }
    }
    close(fd);
}

void LayerShellSurface::onKeyboardEnter(void *data, wl_keyboard *, quint32, wl_surface *surface, wl_array *)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!surface || surface != self->m_surface)
        return;
    self->m_keyboardFocus = true;
    if (self->m_target) {
        QFocusEvent focusIn(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(self->m_target, &focusIn);
    }
}

void LayerShellSurface::onKeyboardLeave(void *data, wl_keyboard *, quint32, wl_surface *)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!self->m_keyboardFocus)
        return;
    self->m_keyboardFocus = false;
    self->m_repeat.stop();
    if (self->m_target) {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(self->m_target, &focusOut);
    }
    emit self->keyboardLeft();
}

void LayerShellSurface::sendKey(quint32 evdevCode, bool pressed, bool autoRepeat)
{
    if (!m_xkb || !m_target)
        return;
    const XkbKeyboard::Key key = m_xkb->key(evdevCode);
    QKeyEvent event(pressed ? QEvent::KeyPress : QEvent::KeyRelease, key.key, key.modifiers, evdevCode + 8, key.keysym,
        0, key.text, autoRepeat);
    QCoreApplication::sendEvent(m_target, &event);
}

void LayerShellSurface::onKey(void *data, wl_keyboard *, quint32, quint32, quint32 key, quint32 state)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (!self->m_keyboardFocus || !self->m_xkb)
        return;
    const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
    if (pressed) {
        // The compositor sends a key once; holding it repeats it here, at
        // the seat's rate.
        if (self->m_xkb->key(key).repeats && self->m_repeatRate > 0) {
            self->m_repeatKey = key;
            self->m_repeat.start(std::max(1, self->m_repeatDelay));
        } else {
            self->m_repeat.stop();
        }
    } else if (key == self->m_repeatKey) {
        self->m_repeat.stop();
    }
    self->sendKey(key, pressed, false);
}

void LayerShellSurface::onModifiers(
    void *data, wl_keyboard *, quint32, quint32 depressed, quint32 latched, quint32 locked, quint32 group)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    if (self->m_xkb)
        self->m_xkb->updateModifiers(depressed, latched, locked, group);
}

void LayerShellSurface::onRepeatInfo(void *data, wl_keyboard *, qint32 rate, qint32 delay)
{
    auto *self = static_cast<LayerShellSurface *>(data);
    self->m_repeatRate = std::max(0, rate);
    self->m_repeatDelay = std::max(0, delay);
    if (self->m_repeatRate == 0)
        self->m_repeat.stop();
}
