#include "app/PopoverWindow.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

namespace {
constexpr int Gap = 4;
} // namespace

PopoverWindow::PopoverWindow(QQmlEngine *engine)
    : QQuickView(engine, nullptr)
{
    setFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("brivane"));
    resize(Width, Height);
    setMinimumSize(QSize(Width, Height));
    setMaximumSize(QSize(Width, Height));
    connect(this, &QQuickWindow::frameSwapped, this, [this] {
        if (m_waitingForFrame) {
            m_waitingForFrame = false;
            emit firstFrameShown(m_showRequested.elapsed());
        }
    });
    connect(this, &QWindow::visibleChanged, this, &PopoverWindow::shownChanged);
    connect(this, &QWindow::activeChanged, this, [this] {
        if (isActive())
            m_wasActive = true;
        else if (m_wasActive && isVisible())
            closePopover(); // another window took the focus
    });
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

QPoint PopoverWindow::placement(const QRect &anchor, const QSize &size, const QRect &screen)
{
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
    const QRect target = anchor.isValid() && !anchor.isEmpty() ? anchor : QRect(clickPoint, QSize(1, 1));
    QScreen *screen = QGuiApplication::screenAt(target.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        setPosition(placement(target, QSize(Width, Height), screen->availableGeometry()));
    m_showRequested.start();
    m_waitingForFrame = true;
    m_wasActive = false;
    show();
    requestActivate();
    // A popup of our own: clicks elsewhere come here first, and close it.
    setMouseGrabEnabled(true);
    setKeyboardGrabEnabled(true);
}

void PopoverWindow::closePopover()
{
    if (!isVisible())
        return;
    setMouseGrabEnabled(false);
    setKeyboardGrabEnabled(false);
    hide();
}

void PopoverWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        closePopover();
        return;
    }
    QQuickView::keyPressEvent(event);
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
    if (event->type() == QEvent::Close) {
        closePopover();
        event->ignore();
        return true;
    }
    return QQuickView::event(event);
}
