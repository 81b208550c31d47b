// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/Theme.h"

#include "calendar/FixedColors.h"
#include "resources/ColorSchemeSource.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QtMath>
#include <QQmlEngine>

#include <algorithm>
#include <cmath>

namespace {
constexpr double SpringResponse = 0.32; // seconds
constexpr double SpringDamping = 0.82; // fraction of critical damping
constexpr int SpringDurationMs = 450; // settled to within 0.1 %

// The dark side: the window of the usual dark desktop themes, white text.
const QColor DarkWindow(0x28, 0x28, 0x28);
const QColor DarkText(0xFF, 0xFF, 0xFF);
// What text in a colour needs on the dark window (WCAG AA, body text).
constexpr double DarkTextContrast = 4.5;
// The system colours as dark themes show them, before any lightening.
const QColor DarkBlue(0x0A, 0x84, 0xFF);
const QColor DarkOrange(0xFF, 0x9F, 0x0A);
const QColor DarkRed(0xFF, 0x45, 0x3A);
const QColor DarkGreen(0x30, 0xD1, 0x58);

double channelLuminance(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * channelLuminance(rgb.redF()) + 0.7152 * channelLuminance(rgb.greenF())
        + 0.0722 * channelLuminance(rgb.blueF());
}

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

void Theme::setColorSchemeSource(ColorSchemeSource *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        connect(source, &ColorSchemeSource::schemeChanged, this, &Theme::followScheme);
        connect(source, &QObject::destroyed, this, &Theme::followScheme);
    }
    followScheme();
}

void Theme::followScheme()
{
    // No preference is the light look: the palette's own colours.
    const bool dark = m_source && m_source->scheme() == ColorSchemeSource::Scheme::Dark;
    if (dark == m_dark)
        return;
    m_dark = dark;
    emit paletteChanged();
}

double Theme::contrastRatio(const QColor &a, const QColor &b)
{
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor Theme::composite(const QColor &color, const QColor &background)
{
    const QColor top = color.toRgb();
    const QColor bottom = background.toRgb();
    const double a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
        float(top.greenF() * a + bottom.greenF() * (1 - a)), float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

QColor Theme::forDark(const QColor &color) const
{
    // Lighter in HSL keeps the hue: a blue stays blue, it does not turn
    // into its inverse as an inverted colour would.
    QColor lighter = color.toHsl();
    for (int step = 0; step < 40 && contrastRatio(lighter, DarkWindow) < DarkTextContrast; ++step) {
        lighter = QColor::fromHslF(lighter.hslHueF(), lighter.hslSaturationF(),
            std::min(1.0f, lighter.lightnessF() + 0.02f), lighter.alphaF());
    }
    return lighter.toRgb();
}

QColor Theme::textBase() const
{
    return m_dark ? DarkText : QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
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
    const QColor highlight = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return m_dark ? forDark(highlight) : highlight;
}

QColor Theme::primary() const
{
    return alpha(textBase(), m_dark ? 0.88 : 0.85);
}

QColor Theme::secondary() const
{
    // White at half strength is too faint on a dark window to read.
    return alpha(textBase(), m_dark ? 0.58 : 0.5);
}

QColor Theme::windowBackground() const
{
    return m_dark ? DarkWindow : QGuiApplication::palette().color(QPalette::Active, QPalette::Window);
}

QColor Theme::separator() const
{
    return alpha(textBase(), m_dark ? 0.16 : 0.12);
}

QColor Theme::blue() const
{
    return m_dark ? forDark(DarkBlue) : FixedColors::blue();
}

QColor Theme::orange() const
{
    return m_dark ? forDark(DarkOrange) : FixedColors::orange();
}

QColor Theme::red() const
{
    return m_dark ? forDark(DarkRed) : FixedColors::red();
}

QColor Theme::green() const
{
    return m_dark ? forDark(DarkGreen) : FixedColors::green();
}

QColor Theme::zoho() const
{
    return m_dark ? forDark(FixedColors::zoho()) : FixedColors::zoho();
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

qreal Theme::textScale() const
{
    const QFont font = QGuiApplication::font();
    // A font given in pixels (some platform themes do) in points at 96 dpi.
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    // Smaller desktop text keeps the views as drawn: Qt's own fallback (9 pt
    // where no desktop names a font) and the 10 pt of some desktops would
    // otherwise shrink their small print below reading size.
    return std::max(1.0, points / BodyPointSize);
}

QSize Theme::scaled(const QSize &size) const
{
    const qreal scale = textScale();
    return QSize(qCeil(size.width() * scale), qCeil(size.height() * scale));
}

qreal Theme::scaled(qreal pixels) const
{
    return std::ceil(pixels * textScale());
}

QFont Theme::font(int pixelSize, int weight) const
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(qMax(1, qRound(pixelSize * textScale())));
    font.setWeight(QFont::Weight(qBound(1, weight, 1000)));
    return font;
}

QColor Theme::alpha(const QColor &color, qreal opacity) const
{
    QColor result = color;
    result.setAlphaF(float(color.alphaF() * qBound(0.0, opacity, 1.0)));
    return result;
}
