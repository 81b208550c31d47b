// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "resources/ColorSchemeSource.h"

#include <QColor>
#include <QImage>

// A colour scheme source the test switches by hand.
class FakeColorScheme final : public ColorSchemeSource
{
public:
    Scheme scheme() const override { return m_scheme; }
    void set(Scheme scheme)
    {
        if (scheme == m_scheme)
            return;
        m_scheme = scheme;
        emit schemeChanged();
    }

private:
    Scheme m_scheme = Scheme::NoPreference;
};

// The mean lightness of a picture, 0 (black) to 1 (white): whether a
// window was drawn light or dark, whatever it shows.
inline double meanLightness(const QImage &image)
{
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            sum += QColor(image.pixel(x, y)).lightnessF();
            ++count;
        }
    }
    return count ? sum / count : 0;
}
