#include "resources/Theme.h"

#include "calendar/FixedColors.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlEngine>

#include <cmath>

namespace {
constexpr double SpringResponse = 0.32; // seconds
constexpr double SpringDamping = 0.82; // fraction of critical damping
constexpr int SpringDurationMs = 450; // settled to within 0.1 %

// A damped spring released from 0 towards 1, sampled over the duration.
qreal springProgress(qreal progress)
{
    if (progress >= 1.0)
        return 1.0;
    const double omega = 2 * M_PI / SpringResponse;
    const double decay = SpringDamping * omega;
    const double damped = omega * std::sqrt(1 - SpringDamping * SpringDamping);
    const double t = progress * SpringDurationMs / 1000.0;
    return 1 - std::exp(-decay * t) * (std::cos(damped * t) + decay / damped * std::sin(damped * t));
}
} // namespace

Theme::Theme()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

Theme *Theme::instance()
{
    static Theme *theme = new Theme;
    return theme;
}

Theme *Theme::create(QQmlEngine *, QJSEngine *)
{
    Theme *theme = instance();
    QQmlEngine::setObjectOwnership(theme, QQmlEngine::CppOwnership);
    return theme;
}

bool Theme::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QCoreApplication::instance()) {
        if (event->type() == QEvent::ApplicationPaletteChange)
            emit paletteChanged();
        else if (event->type() == QEvent::ApplicationFontChange)
            emit fontChanged();
    }
    return QObject::eventFilter(watched, event);
}

QColor Theme::accent() const
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

QColor Theme::primary() const
{
    return alpha(QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText), 0.85);
}

QColor Theme::secondary() const
{
    return alpha(QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText), 0.5);
}

QColor Theme::windowBackground() const
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Window);
}

QColor Theme::separator() const
{
    return alpha(QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText), 0.12);
}

QColor Theme::blue() const
{
    return FixedColors::blue();
}

QColor Theme::orange() const
{
    return FixedColors::orange();
}

QColor Theme::red() const
{
    return FixedColors::red();
}

QColor Theme::green() const
{
    return FixedColors::green();
}

QColor Theme::zoho() const
{
    return FixedColors::zoho();
}

QString Theme::fontFamily() const
{
    return QGuiApplication::font().family();
}

QEasingCurve Theme::spring() const
{
    QEasingCurve curve;
    curve.setCustomType(springProgress);
    return curve;
}

int Theme::springDuration() const
{
    return SpringDurationMs;
}

QFont Theme::font(int pixelSize, int weight) const
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(qMax(1, pixelSize));
    font.setWeight(QFont::Weight(qBound(1, weight, 1000)));
    return font;
}

QColor Theme::alpha(const QColor &color, qreal opacity) const
{
    QColor result = color;
    result.setAlphaF(float(color.alphaF() * qBound(0.0, opacity, 1.0)));
    return result;
}
