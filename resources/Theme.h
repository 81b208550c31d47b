// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QtQml/qqmlregistration.h>

class ColorSchemeSource;
class QJSEngine;
class QQmlEngine;

// The colours and fonts every window of the program draws with, in one place.
// Light: colours that follow the desktop come from the application palette
// (accent = highlight) and change with it; the fixed ones are FixedColors'.
// Dark (the colour scheme source says so): a dark window with light text,
// the accent and the fixed colours lightened until they read on it. Every
// colour changes with `dark`, so bound views redraw. Sizes are logical
// pixels at the desktop's default text size; `font(13, Font.DemiBold)` is
// the desktop's font at 13 px, grown by `textScale` where the desktop's
// text is set larger.
//
//   import Brivane.Resources
//   Text { color: Theme.secondary; font: Theme.font(11, Font.Medium) }
class Theme : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY paletteChanged)
    Q_PROPERTY(QColor accent READ accent NOTIFY paletteChanged)
    Q_PROPERTY(QColor primary READ primary NOTIFY paletteChanged)
    Q_PROPERTY(QColor secondary READ secondary NOTIFY paletteChanged)
    Q_PROPERTY(QColor windowBackground READ windowBackground NOTIFY paletteChanged)
    Q_PROPERTY(QColor separator READ separator NOTIFY paletteChanged)
    Q_PROPERTY(QColor blue READ blue NOTIFY paletteChanged)
    Q_PROPERTY(QColor orange READ orange NOTIFY paletteChanged)
    Q_PROPERTY(QColor red READ red NOTIFY paletteChanged)
    Q_PROPERTY(QColor green READ green NOTIFY paletteChanged)
    Q_PROPERTY(QColor zoho READ zoho NOTIFY paletteChanged)
    // The paper calendar page the program's own tiles show, alike in light
    // and dark: a page is white paper whatever the window around it.
    Q_PROPERTY(QColor pagePaper READ pagePaper CONSTANT)
    Q_PROPERTY(QColor pageRed READ pageRed CONSTANT)
    Q_PROPERTY(QColor pageRedLight READ pageRedLight CONSTANT)
    Q_PROPERTY(QColor pageRedDark READ pageRedDark CONSTANT)
    Q_PROPERTY(QColor pageCell READ pageCell CONSTANT)
    Q_PROPERTY(QColor pageToday READ pageToday CONSTANT)
    Q_PROPERTY(QColor white READ white CONSTANT)
    Q_PROPERTY(QColor black READ black CONSTANT)
    Q_PROPERTY(QString fontFamily READ fontFamily NOTIFY fontChanged)
    // How much larger the desktop's text is than the 11 pt body the views
    // are drawn for (1 at 11 pt and below, 1.25 at 13.75 pt).
    Q_PROPERTY(qreal textScale READ textScale NOTIFY fontChanged)
    // The spring that brings sheets in and out (response 0.32 s, damping
    // fraction 0.82) as an easing curve over `springDuration` milliseconds.
    Q_PROPERTY(QEasingCurve spring READ spring CONSTANT)
    Q_PROPERTY(int springDuration READ springDuration CONSTANT)
public:
    // The process's one theme; QML gets the same object.
    static Theme *instance();
    static Theme *create(QQmlEngine *, QJSEngine *);

    // Follows `source` from now on (nothing: light). The source stays the
    // caller's; the theme lets go of it when it is destroyed.
    void setColorSchemeSource(ColorSchemeSource *source);
    bool dark() const { return m_dark; }

    // WCAG's contrast ratio of two opaque colours (1 to 21).
    static double contrastRatio(const QColor &a, const QColor &b);
    // `color` drawn over the opaque `background`.
    static QColor composite(const QColor &color, const QColor &background);

    QColor accent() const;
    QColor primary() const; // body text: the palette's text at 85 %
    QColor secondary() const; // quieter text and symbols: at 50 %
    QColor windowBackground() const;
    QColor separator() const; // dividers: the text colour at 12 %
    QColor blue() const;
    QColor orange() const;
    QColor red() const;
    QColor green() const;
    QColor zoho() const;
    QColor pagePaper() const { return QColor(0xFF, 0xF5, 0xF3); }
    QColor pageRed() const { return QColor(0xD9, 0x36, 0x2C); }
    QColor pageRedLight() const { return QColor(0xF2, 0x65, 0x5A); }
    QColor pageRedDark() const { return QColor(0xB8, 0x26, 0x1E); }
    QColor pageCell() const { return QColor(0xF6, 0xB8, 0xB2); }
    QColor pageToday() const { return QColor(0xE0, 0x44, 0x3A); }
    QColor white() const { return Qt::white; }
    QColor black() const { return Qt::black; }
    QString fontFamily() const;
    qreal textScale() const;
    // `size` grown by textScale: a window's room for its texts.
    QSize scaled(const QSize &size) const;
    static constexpr qreal BodyPointSize = 11;
    QEasingCurve spring() const;
    int springDuration() const;

    // The desktop's font at `pixelSize` times textScale, with a weight of
    // QFont::Weight (QML's Font.Normal, Font.Medium, Font.DemiBold, Font.Bold).
    Q_INVOKABLE QFont font(int pixelSize, int weight = QFont::Normal) const;
    // `pixels` times textScale, for room that grows with the text.
    Q_INVOKABLE qreal scaled(qreal pixels) const;
    // `color` with its alpha multiplied by `opacity`.
    Q_INVOKABLE QColor alpha(const QColor &color, qreal opacity) const;

signals:
    void paletteChanged();
    void fontChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Theme();
    void followScheme();
    // `color` made lighter, hue kept, until it reads on the dark window.
    QColor forDark(const QColor &color) const;
    QColor textBase() const;

    QPointer<ColorSchemeSource> m_source;
    bool m_dark = false;
};
