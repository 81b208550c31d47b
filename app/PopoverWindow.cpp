// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PopoverWindow.h"

#include "resources/Theme.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

#include <algorithm>

namespace {
constexpr int Gap = 4;
constexpr int GrabRetryMs = 20;
constexpr int GrabAttempts = 25;
} // namespace

PopoverWindow::PopoverWindow(QQmlEngine *engine)
    : QQuickView(engine, nullptr)
{
    setFlags(flagsFor(QGuiApplication::platformName(), qEnvironmentVariableIsSet("WAYLAND_DISPLAY")));
    // Unmanaged in XWayland, the compositor's window manager takes the X
    // focus back from the popover at once (it lets no X client move the
    // focus): there losing it says nothing about the user's click. Keys and
    // clicks outside reach it through its grabs instead.
    m_closesWhenInactive = !flags().testFlag(Qt::BypassWindowManagerHint);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("brivane"));
    // Sized once, for the desktop's text at start: the content is made once
    // and keeps the sizes of its texts from then on.
    fitTextSize();
    connect(this, &QQuickWindow::frameSwapped, this, [this] {
        if (m_measureFrames && m_frameTimer.isValid()) {
            ++m_frames;
            m_worstFrameNs = qMax(m_worstFrameNs, m_frameTimer.nsecsElapsed());
            m_frameTimer.invalidate();
        }
        if (m_waitingForFrame) {
            m_waitingForFrame = false;
            emit firstFrameShown(m_showRequested.elapsed());
        }
        if (!m_interaction.isEmpty()) {
            emit firstFrameAfter(m_interaction, m_interactionTimer.elapsed());
            m_interaction.clear();
        }
    });
    connect(this, &QWindow::activeChanged, this, [this] {
        if (isActive())
            m_wasActive = true;
        else if (m_wasActive && isVisible() && m_closesWhenInactive)
            closePopover(); // another window took the focus
    });
    m_platformGrabs = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    m_grabRetry.setInterval(GrabRetryMs);
    connect(&m_grabRetry, &QTimer::timeout, this, &PopoverWindow::grabInput);
}

QSize PopoverWindow::popoverSize()
{
    return Theme::instance()->scaled(QSize(Width, Height));
}

void PopoverWindow::fitTextSize()
{
    const QSize size = popoverSize();
    // Bounds in the order that lets the size move either way.
    if (size.width() >= maximumWidth()) {
        setMaximumSize(size);
        setMinimumSize(size);
    } else {
        setMinimumSize(size);
        setMaximumSize(size);
    }
    resize(size);
}

Qt::WindowFlags PopoverWindow::flagsFor(const QString &platformName, bool inWaylandSession)
{
    const Qt::WindowFlags common = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
    // Through XWayland the compositor is the window manager, and sway (as
    // others) centres a managed window wherever it asked to be. Unmanaged,
    // the window stands where it is put; as an ordinary window rather than
    // a utility one it is also given the keyboard when it appears.
    if (platformName == QLatin1String("xcb") && inWaylandSession)
        return Qt::Window | Qt::BypassWindowManagerHint | common;
    return Qt::Tool | common;
}

PopoverWindow::~PopoverWindow()
{
    // QWindow's destructor hides the window; its signals must not reach this
    // object's own signals by then.
    disconnect(this, &QWindow::visibleChanged, this, nullptr);
}

void PopoverWindow::setContent(const QUrl &source, const QVariantMap &initialProperties)
{
    if (hasContent())
        return;
    setInitialProperties(initialProperties);
    setSource(source);
    if (status() == QQuickView::Error) {
        for (const QQmlError &error : errors())
            qWarning("%s", qPrintable(error.toString()));
    }
}

PopoverWindow::PanelAnchor PopoverWindow::anchorForClick(const QPoint &click, const QRect &screen)
{
    const int fromTop = click.y() - screen.top();
    const int fromBottom = screen.bottom() - click.y();
    const int fromLeft = click.x() - screen.left();
    const int fromRight = screen.right() - click.x();
    if (std::min({fromTop, fromBottom, fromLeft, fromRight}) < 0)
        return {QRect(click, QSize(1, 1)), Qt::TopEdge};
    // Panels along the top or bottom are the common case: in a corner, the
    // click belongs to one of them.
    const int vertical = std::min(fromTop, fromBottom);
    if (vertical <= PanelReach) {
        const int thickness = 2 * vertical + 1;
        if (fromTop <= fromBottom)
            return {QRect(click.x(), screen.top(), 1, thickness), Qt::TopEdge};
        return {QRect(click.x(), screen.bottom() + 1 - thickness, 1, thickness), Qt::BottomEdge};
    }
    const int horizontal = std::min(fromLeft, fromRight);
    if (horizontal <= PanelReach) {
        const int thickness = 2 * horizontal + 1;
        if (fromLeft <= fromRight)
            return {QRect(screen.left(), click.y(), thickness, 1), Qt::LeftEdge};
        return {QRect(screen.right() + 1 - thickness, click.y(), thickness, 1), Qt::RightEdge};
    }
    return {QRect(click, QSize(1, 1)), Qt::TopEdge};
}

QPoint PopoverWindow::pointForToggle(
    const QPoint &pointer, const std::optional<QPoint> &lastItemClick, const QRect &screen)
{
    const bool onScreen = screen.contains(pointer);
    const int fromEdge = std::min({pointer.y() - screen.top(), screen.bottom() - pointer.y(),
        pointer.x() - screen.left(), screen.right() - pointer.x()});
    if (onScreen && fromEdge <= PanelReach)
        return pointer;
    return lastItemClick.value_or(pointer);
}

QPoint PopoverWindow::placement(const QRect &anchor, const QSize &size, const QRect &screen, Qt::Edge panelEdge)
{
    if (panelEdge == Qt::LeftEdge || panelEdge == Qt::RightEdge) {
        int x = panelEdge == Qt::LeftEdge ? anchor.right() + 1 + Gap : anchor.left() - Gap - size.width();
        int y = anchor.y() + anchor.height() / 2 - size.height() / 2;
        x = qBound(screen.left(), x, qMax(screen.left(), screen.right() + 1 - size.width()));
        y = qBound(screen.top(), y, qMax(screen.top(), screen.bottom() + 1 - size.height()));
        return {x, y};
    }
    int x = anchor.x() + anchor.width() / 2 - size.width() / 2;
    int y = anchor.bottom() + 1 + Gap;
    // A panel at the bottom of the screen: open upwards.
    if (y + size.height() > screen.bottom() + 1 && anchor.top() - Gap - size.height() >= screen.top())
        y = anchor.top() - Gap - size.height();
    x = qBound(screen.left(), x, qMax(screen.left(), screen.right() + 1 - size.width()));
    y = qBound(screen.top(), y, qMax(screen.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

void PopoverWindow::showBelow(const QRect &anchor, const QPoint &clickPoint)
{
    const bool knowsItem = anchor.isValid() && !anchor.isEmpty();
    QScreen *screen = QGuiApplication::screenAt(knowsItem ? anchor.center() : clickPoint);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        // Measured from the whole screen: the panel is what the available
        // part leaves out, where the desktop says so.
        const PanelAnchor target = knowsItem ? PanelAnchor {anchor, Qt::TopEdge}
                                             : anchorForClick(clickPoint, screen->geometry());
        setPosition(placement(target.rect, popoverSize(), screen->availableGeometry(), target.edge));
    }
    m_showRequested.start();
    m_waitingForFrame = true;
    m_wasActive = false;
    m_frames = 0;
    m_worstFrameNs = 0;
    show();
    requestActivate();
    // Clicks elsewhere come here first, and close it. The grab needs the
    // window on screen: taken when it is exposed. Wayland grants grabs to
    // popups of another window only; there the popover closes when it loses
    // the focus.
    m_wantsGrab = m_platformGrabs;
    m_grabAttempts = 0;
    if (isExposed())
        grabInput();
}

void PopoverWindow::exposeEvent(QExposeEvent *event)
{
    QQuickView::exposeEvent(event);
    if (isExposed() && m_wantsGrab && !m_grabRetry.isActive())
        grabInput();
}

void PopoverWindow::grabInput()
{
    if (!m_wantsGrab || !isVisible()) {
        m_grabRetry.stop();
        return;
    }
    const bool keyboard = setKeyboardGrabEnabled(true);
    const bool mouse = setMouseGrabEnabled(true);
    if ((keyboard && mouse) || ++m_grabAttempts >= GrabAttempts) {
        m_grabRetry.stop();
        m_wantsGrab = false;
        return;
    }
    // Another program holds the pointer for a moment (the tray's own click).
    m_grabRetry.start();
}

void PopoverWindow::closePopover()
{
    if (!isVisible())
        return;
    m_wantsGrab = false;
    m_grabRetry.stop();
    if (m_platformGrabs) {
        setMouseGrabEnabled(false);
        setKeyboardGrabEnabled(false);
    }
    hide();
    if (m_measureFrames)
        emit framesWhileShown(m_frames, m_worstFrameNs / 1e6);
}

void PopoverWindow::markInteraction(const QString &what)
{
    m_interaction = what;
    // Counted from the click or key that asked, when there was one just now.
    const bool fromInput = m_sinceInput.isValid() && m_sinceInput.elapsed() < 1000;
    m_interactionTimer = fromInput ? m_sinceInput : QElapsedTimer();
    if (!fromInput)
        m_interactionTimer.start();
}

void PopoverWindow::keyPressEvent(QKeyEvent *event)
{
    // The content first: Escape closes an open sheet before the popover.
    QQuickView::keyPressEvent(event);
    if (!event->isAccepted() && event->key() == Qt::Key_Escape) {
        event->accept();
        closePopover();
    }
}

void PopoverWindow::mousePressEvent(QMouseEvent *event)
{
    if (!QRect(QPoint(0, 0), size()).contains(event->position().toPoint())) {
        closePopover();
        return;
    }
    QQuickView::mousePressEvent(event);
}

bool PopoverWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
        m_sinceInput.start();
        break;
    case QEvent::UpdateRequest:
        // A frame starts here: animations, layout, drawing, until frameSwapped.
        if (m_measureFrames)
            m_frameTimer.start();
        break;
    default:
        break;
    }
    if (event->type() == QEvent::Close) {
        closePopover();
        event->ignore();
        return true;
    }
    return QQuickView::event(event);
}
