// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PopoverWindow.h"

#include "app/LayerShellSurface.h"
#include "resources/Theme.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickRenderControl>
#include <QQuickRenderTarget>
#include <QScreen>
#include <QtMath>

#include <algorithm>

namespace {
constexpr int Gap = 4;
constexpr int GrabRetryMs = 20;
constexpr int GrabAttempts = 25;
} // namespace

PopoverWindow::PopoverWindow(QQmlEngine *engine)
    : m_engine(engine)
{
    setUp();
}

PopoverWindow::PopoverWindow(
    QQmlEngine *engine, QQuickRenderControl *renderControl, std::unique_ptr<LayerShellSurface> layer)
    : QQuickWindow(renderControl)
    , m_engine(engine)
    , m_renderControl(renderControl)
    , m_layer(std::move(layer))
{
    setUp();
}

std::unique_ptr<PopoverWindow> PopoverWindow::create(QQmlEngine *engine)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return std::make_unique<PopoverWindow>(engine);
    std::unique_ptr<LayerShellSurface> layer = LayerShellSurface::connectToSession(nullptr);
    if (!layer)
        return std::make_unique<PopoverWindow>(engine);
    // The scene is drawn into memory the compositor shares: Qt Quick's
    // software renderer draws there directly. It is chosen for the whole
    // program, before its first window.
    const QByteArray backend = qgetenv("QT_QUICK_BACKEND");
    if (!backend.isEmpty() && backend != "software") {
        qWarning("brivane: with QT_QUICK_BACKEND=%s the popover opens as an ordinary window", backend.constData());
        return std::make_unique<PopoverWindow>(engine);
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The software renderer needs (and takes) no initialize() of the render
    // control: it draws into whatever paint device the frame is given.
    auto *renderControl = new QQuickRenderControl;
    return std::unique_ptr<PopoverWindow>(new PopoverWindow(engine, renderControl, std::move(layer)));
}

void PopoverWindow::setUp()
{
    setFlags(flagsFor(QGuiApplication::platformName(), qEnvironmentVariableIsSet("WAYLAND_DISPLAY")));
    // Unmanaged in XWayland, the compositor's window manager takes the X
    // focus back from the popover at once (it lets no X client move the
    // focus): there losing it says nothing about the user's click. Keys and
    // clicks outside reach it through its grabs instead.
    m_closesWhenInactive = !flags().testFlag(Qt::BypassWindowManagerHint);
    setTitle(QStringLiteral("brivane"));
    // Sized once, for the desktop's text at start: the content is made once
    // and keeps the sizes of its texts from then on.
    fitTextSize();
    connect(this, &QQuickWindow::frameSwapped, this, &PopoverWindow::frameShown);
    if (m_layer) {
        m_layerFrameTimer.setSingleShot(true);
        m_layerFrameTimer.setInterval(0);
        connect(&m_layerFrameTimer, &QTimer::timeout, this, &PopoverWindow::renderLayerFrame);
        connect(m_renderControl.get(), &QQuickRenderControl::renderRequested, this, &PopoverWindow::scheduleLayerFrame);
        connect(m_renderControl.get(), &QQuickRenderControl::sceneChanged, this, &PopoverWindow::scheduleLayerFrame);
        connect(m_layer.get(), &LayerShellSurface::readyForFrameChanged, this, [this] {
            if (m_layerFramePending)
                scheduleLayerFrame();
        });
        connect(m_layer.get(), &LayerShellSurface::presented, this, &PopoverWindow::frameShown);
        // The user clicked another window, or a key of the desktop moved the
        // focus: as a menu does, the popover goes.
        connect(m_layer.get(), &LayerShellSurface::keyboardLeft, this, &PopoverWindow::closePopover);
        m_layer->setInputTarget(this);
    }
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

void PopoverWindow::frameShown()
{
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
}

bool PopoverWindow::isOpen() const
{
    return m_layer ? m_layer->isShown() : isVisible();
}

void PopoverWindow::scheduleLayerFrame()
{
    m_layerFramePending = true;
    if (m_layer && m_layer->isShown() && !m_layerFrameTimer.isActive())
        m_layerFrameTimer.start();
}

void PopoverWindow::renderLayerFrame()
{
    if (!m_layer || !m_layer->isShown())
        return;
    if (!m_layer->readyForFrame()) {
        m_layerFramePending = true; // drawn when the compositor is ready
        return;
    }
    m_layerFramePending = false;
    const int scale = m_layer->bufferScale();
    const QSize pixels = size() * scale;
    if (m_layerFrame.size() != pixels) {
        m_layerFrame = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_layerFrame.setDevicePixelRatio(scale);
        m_layerFrame.fill(Qt::transparent);
        QQuickRenderTarget target = QQuickRenderTarget::fromPaintDevice(&m_layerFrame);
        target.setDevicePixelRatio(scale);
        setRenderTarget(target);
    }
    if (m_measureFrames)
        m_frameTimer.start();
    m_renderControl->polishItems();
    m_renderControl->beginFrame();
    m_renderControl->sync();
    m_renderControl->render();
    m_renderControl->endFrame();
    m_layer->present(m_layerFrame);
}

void PopoverWindow::fitContent()
{
    if (contentItem())
        contentItem()->setSize(size());
    if (m_root)
        m_root->setSize(size());
}

void PopoverWindow::resizeEvent(QResizeEvent *event)
{
    QQuickWindow::resizeEvent(event);
    fitContent();
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
    fitContent();
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
    if (m_layer)
        m_layer->hide();
    delete m_root;
}

void PopoverWindow::dropContent()
{
    delete m_root;
}

void PopoverWindow::setContent(const QUrl &source, const QVariantMap &initialProperties)
{
    if (hasContent())
        return;
    QQmlComponent component(m_engine, source);
    QObject *object = component.isReady() ? component.beginCreate(m_engine->rootContext()) : nullptr;
    auto *root = qobject_cast<QQuickItem *>(object);
    if (!root) {
        for (const QQmlError &error : component.errors())
            qWarning("%s", qPrintable(error.toString()));
        if (object) {
            component.completeCreate();
            delete object;
        }
        return;
    }
    // As a view sets its content up: the properties, then the window, then
    // the component completes, seeing both.
    component.setInitialProperties(root, initialProperties);
    root->setParentItem(contentItem());
    component.completeCreate();
    for (const QQmlError &error : component.errors())
        qWarning("%s", qPrintable(error.toString()));
    QQmlEngine::setObjectOwnership(root, QQmlEngine::CppOwnership);
    m_root = root;
    fitContent();
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
        const PanelAnchor target
            = knowsItem ? PanelAnchor {anchor, Qt::TopEdge} : anchorForClick(clickPoint, screen->geometry());
        setPosition(placement(target.rect, popoverSize(), screen->availableGeometry(), target.edge));
    }
    m_showRequested.start();
    m_waitingForFrame = true;
    m_wasActive = false;
    m_frames = 0;
    m_worstFrameNs = 0;
    if (m_layer) {
        const QRect screenGeometry = screen ? screen->geometry() : QRect(QPoint(0, 0), size());
        const int scale = screen ? qCeil(screen->devicePixelRatio()) : 1;
        if (screen)
            setScreen(screen);
        m_layer->show(QRect(position(), size()), screenGeometry, scale);
        // Drawn once the compositor has configured the surface.
        m_layerFramePending = true;
        return;
    }
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
    QQuickWindow::exposeEvent(event);
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
    if (!isOpen())
        return;
    if (m_layer) {
        m_layer->hide();
        m_layerFrameTimer.stop();
        if (m_measureFrames)
            emit framesWhileShown(m_frames, m_worstFrameNs / 1e6);
        return;
    }
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
    QQuickWindow::keyPressEvent(event);
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
    QQuickWindow::mousePressEvent(event);
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
    return QQuickWindow::event(event);
}
