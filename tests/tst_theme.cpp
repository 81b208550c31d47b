// SPDX-License-Identifier: GPL-3.0-or-later
// The theme's light and dark palettes (contrast, hue kept), the theme
// following a colour scheme source while views are bound to it, and the
// desktop's scheme as PortalColorScheme reads it: from the portal (on a
// private session bus, run through tests/with_session_bus.sh) and from
// GNOME's and KDE's own settings where no portal answers.
#define BRIVANE_TEST_APPLICATION QGuiApplication
#include "FakeColorScheme.h"
#include "TestSupport.h"

#include "app/PortalColorScheme.h"
#include "resources/ColorSchemeSource.h"
#include "resources/SymbolIcons.h"
#include "resources/Theme.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(Brivane_ResourcesPlugin)

namespace {

using Scheme = ColorSchemeSource::Scheme;

// A desktop portal's Settings interface with ReadOne (version 2 on).
class ModernPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint value = 1;
    int reads = 0;

public slots:
    QDBusVariant ReadOne(const QString &nameSpace, const QString &key)
    {
        ++reads;
        if (nameSpace == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme"))
            return QDBusVariant(QVariant(value));
        return QDBusVariant(QVariant(QString()));
    }
};

// An older portal: only Read, whose answer wraps the value once more.
class OldPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint value = 1;
    int reads = 0;

public slots:
    QDBusVariant Read(const QString &nameSpace, const QString &key)
    {
        ++reads;
        if (nameSpace != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant(QString()));
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(value))));
    }
};

QColor onBackground(const QColor &color, const QColor &background)
{
    return Theme::composite(color, background);
}

double textContrast(const QColor &text, const QColor &background)
{
    return Theme::contrastRatio(onBackground(text, background), background);
}

// The portal's signal as the portal sends it, from its own connection.
void sendSettingChanged(QDBusConnection &bus, const QString &nameSpace, const QString &key, uint value)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(PortalColorScheme::PortalPath),
        QLatin1String(PortalColorScheme::SettingsInterface), QStringLiteral("SettingChanged"));
    signal << nameSpace << key << QVariant::fromValue(QDBusVariant(QVariant(value)));
    bus.send(signal);
}

// A connection of the fake portal's own, gone with the test however it ends.
struct PortalConnection
{
    explicit PortalConnection(const QString &connectionName)
        : name(connectionName)
        , bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
    {
    }
    ~PortalConnection()
    {
        bus.unregisterService(QLatin1String(PortalColorScheme::PortalService));
        bus.unregisterObject(QLatin1String(PortalColorScheme::PortalPath));
        QDBusConnection::disconnectFromBus(name);
    }
    QString name;
    QDBusConnection bus;
};

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text);
    return path;
}

} // namespace

class ThemeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Theme::instance()->setColorSchemeSource(nullptr); }

    void contrastRatiosAreWcags()
    {
        QCOMPARE(Theme::contrastRatio(Qt::white, Qt::black), 21.0);
        QCOMPARE(Theme::contrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(Theme::contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0);
        // #777 on white is the well-known 4.48:1.
        QVERIFY(qAbs(Theme::contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white) - 4.48) < 0.01);
        QCOMPARE(Theme::composite(QColor(0, 0, 0, 0), Qt::white), QColor(Qt::white));
        QCOMPARE(Theme::composite(QColor(0, 0, 0, 255), Qt::white), QColor(Qt::black));
    }

    void bothPalettesKeepTextReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void bothPalettesKeepTextReadable()
    {
        QFETCH(bool, dark);
        FakeColorScheme source;
        source.set(dark ? Scheme::Dark : Scheme::Light);
        Theme *theme = Theme::instance();
        theme->setColorSchemeSource(&source);
        QCOMPARE(theme->dark(), dark);
        const QColor window = theme->windowBackground();
        QVERIFY2(textContrast(theme->primary(), window) >= 4.5,
            qPrintable(QString::number(textContrast(theme->primary(), window))));
        // Dividers are seen, but stay quiet.
        QVERIFY(textContrast(theme->separator(), window) > 1.1);
        QVERIFY(textContrast(theme->separator(), window) < 3.0);
        if (!dark)
            return;
        // The dark window is the usual dark theme's, not black and not grey.
        QVERIFY(window.lightness() >= 0x1e && window.lightness() <= 0x2b);
        for (const QColor &text : {theme->secondary(), theme->accent(), theme->red(), theme->blue(), theme->orange(),
                 theme->green(), theme->zoho()}) {
            QVERIFY2(textContrast(text, window) >= 4.5, qPrintable(text.name()));
        }
        QVERIFY(textContrast(theme->secondary(), window) < textContrast(theme->primary(), window));
    }

    void darkColoursKeepTheirHue()
    {
        Theme *theme = Theme::instance();
        FakeColorScheme source;
        theme->setColorSchemeSource(&source);
        const QColor lightAccent = theme->accent();
        const QColor lightZoho = theme->zoho();
        source.set(Scheme::Dark);
        const auto hueDistance = [](const QColor &a, const QColor &b) {
            const int distance = qAbs(a.hslHue() - b.hslHue());
            return std::min(distance, 360 - distance);
        };
        // Lighter, not inverted: an inversion would turn the hue round.
        if (lightAccent.hslSaturation() > 20) {
            QVERIFY(hueDistance(theme->accent(), lightAccent) <= 8);
        }
        QVERIFY(theme->accent().lightness() >= lightAccent.lightness());
        QVERIFY(hueDistance(theme->zoho(), lightZoho) <= 8);
        QVERIFY(theme->zoho().lightness() > lightZoho.lightness());
        // The light page colours are the same paper in both.
        QCOMPARE(theme->white(), QColor(Qt::white));
    }

    void followsTheSourceLive()
    {
        Theme *theme = Theme::instance();
        QSignalSpy changed(theme, &Theme::paletteChanged);
        auto source = std::make_unique<FakeColorScheme>();
        theme->setColorSchemeSource(source.get());
        QCOMPARE(changed.size(), 0); // no preference: light, as before
        const QColor light = theme->windowBackground();

        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Brivane.Resources\n"
                          "Rectangle { color: Theme.windowBackground; property color ink: Theme.primary }",
            QUrl());
        std::unique_ptr<QObject> view(component.create());
        QVERIFY2(view, qPrintable(component.errorString()));
        QCOMPARE(view->property("color").value<QColor>(), light);

        source->set(Scheme::Dark);
        QCOMPARE(changed.size(), 1);
        QVERIFY(theme->dark());
        // The bound view has the dark colours without being made again.
        QCOMPARE(view->property("color").value<QColor>(), theme->windowBackground());
        QVERIFY(view->property("color").value<QColor>() != light);
        QCOMPARE(view->property("ink").value<QColor>(), theme->primary());
        source->set(Scheme::Dark);
        QCOMPARE(changed.size(), 1); // no change, no redraw

        source->set(Scheme::Light);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(view->property("color").value<QColor>(), light);

        // A source that goes away leaves the theme light.
        source->set(Scheme::Dark);
        QCOMPARE(changed.size(), 3);
        source.reset();
        QVERIFY(!theme->dark());
        QCOMPARE(changed.size(), 4);
    }

    // Texts and windows grow with the desktop's text above the 11 pt body
    // the views are drawn for, and never shrink below it.
    void textFollowsTheDesktopsSize_data()
    {
        QTest::addColumn<QFont>("desktopFont");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<int>("bodyPixels"); // what font(13) gives
        QTest::addColumn<QSize>("popover"); // what 320 x 620 becomes
        QFont font(QStringLiteral("DejaVu Sans")); // not the fallback's family: each row is a change
        font.setPointSizeF(9);
        QTest::newRow("Qt's 9 pt fallback") << font << 1.0 << 13 << QSize(320, 620);
        font.setPointSizeF(11);
        QTest::newRow("the 11 pt body") << font << 1.0 << 13 << QSize(320, 620);
        font.setPointSizeF(13.75);
        QTest::newRow("13.75 pt") << font << 1.25 << 16 << QSize(400, 775);
        font.setPointSizeF(12);
        QTest::newRow("12 pt") << font << 12 / 11.0 << 14 << QSize(350, 677);
        font.setPixelSize(22); // 16.5 pt at 96 dpi
        QTest::newRow("a font given in pixels") << font << 1.5 << 20 << QSize(480, 930);
    }
    void textFollowsTheDesktopsSize()
    {
        QFETCH(QFont, desktopFont);
        QFETCH(qreal, scale);
        QFETCH(int, bodyPixels);
        QFETCH(QSize, popover);
        const QFont before = QGuiApplication::font();
        auto restore = qScopeGuard([&] { QGuiApplication::setFont(before); });
        Theme *theme = Theme::instance();
        QSignalSpy changed(theme, &Theme::fontChanged);
        QGuiApplication::setFont(desktopFont);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(theme->textScale(), scale);
        QCOMPARE(theme->font(13).pixelSize(), bodyPixels);
        QCOMPARE(theme->font(13, QFont::DemiBold).weight(), QFont::DemiBold);
        QCOMPARE(theme->font(13).family(), desktopFont.family());
        QCOMPARE(theme->scaled(QSize(320, 620)), popover);
        QCOMPARE(theme->scaled(24.0), std::ceil(24 * scale));
    }

    void thePanelIconShowsTheDay()
    {
        // Every day of the month looks different, even at 16 pixels.
        QList<QImage> days;
        for (int day = 1; day <= 31; ++day) {
            const QImage image = SymbolIcons::calendarDayImage(day, QSize(16, 16));
            QCOMPARE(image.size(), QSize(16, 16));
            for (const QImage &other : std::as_const(days))
                QVERIFY2(image != other, qPrintable(QString::number(day)));
            days.append(image);
        }
        QVERIFY(SymbolIcons::calendarDayImage(0, QSize(16, 16)).isNull());
        QVERIFY(SymbolIcons::calendarDayImage(32, QSize(16, 16)).isNull());
        QVERIFY(SymbolIcons::calendarDayImage(5, QSize()).isNull());
        QVERIFY(SymbolIcons::calendarDayIcon(0).isNull());

        // Twice the pixels on a doubled screen, the same logical size.
        const QImage sharp = SymbolIcons::calendarDayImage(28, QSize(22, 22), 2.0);
        QCOMPARE(sharp.size(), QSize(44, 44));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QCOMPARE(sharp.deviceIndependentSize(), QSizeF(22, 22));
        // A red band on top, white paper below, dark ink in between, and
        // nothing drawn beyond the page's rounded corners.
        const QColor band = sharp.pixelColor(22, 5);
        QVERIFY(band.red() > 180 && band.green() < 100 && band.blue() < 100);
        QCOMPARE(sharp.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(sharp.pixelColor(43, 43).alpha(), 0);
        int ink = 0;
        int paper = 0;
        for (int y = 14; y < 40; ++y) {
            for (int x = 4; x < 40; ++x) {
                const QColor pixel = sharp.pixelColor(x, y);
                ink += pixel.alpha() == 255 && pixel.lightness() < 80;
                paper += pixel.alpha() == 255 && pixel.lightness() > 240;
            }
        }
        QVERIFY2(ink > 60, qPrintable(QString::number(ink))); // two digits' strokes
        QVERIFY(paper > ink);

        const QIcon icon = SymbolIcons::calendarDayIcon(9);
        for (int size : {16, 22, 24, 32, 48, 64})
            QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        QCOMPARE(icon.pixmap(QSize(22, 22)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            SymbolIcons::calendarDayImage(9, QSize(22, 22)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void linkAndCloudAreOurOwnDrawings()
    {
        for (const char *name : {"link", "cloud.fill"}) {
            for (qreal ratio : {1.0, 2.0}) {
                QCOMPARE(SymbolIcons::symbolImage(QLatin1String(name), 11, Qt::black, ratio),
                    SymbolIcons::drawnSymbol(QLatin1String(name), 11, Qt::black, ratio));
            }
        }
    }

    void theCloudHasThreeBumpsOnAFlatBase_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("ratio");
        // At 11 pixels the notches are a pixel's shade, too faint to count.
        QTest::newRow("14 px at 2x") << 14 << 2.0;
        QTest::newRow("16 px at 2x") << 16 << 2.0;
        QTest::newRow("32 px") << 32 << 1.0;
    }
    void theCloudHasThreeBumpsOnAFlatBase()
    {
        QFETCH(int, size);
        QFETCH(qreal, ratio);
        const QImage cloud = SymbolIcons::drawnSymbol(QStringLiteral("cloud.fill"), size, Qt::black, ratio);
        if (const QString folder = qEnvironmentVariable("BRIVANE_SCREENSHOTS"); !folder.isEmpty()) {
            // Enlarged, pixel for pixel, to be looked at.
            const QString suffix = QStringLiteral("-%1px@%2x.png").arg(size).arg(ratio);
            const auto enlarged = [](const QImage &image) {
                QImage shown(image.size() * 8, QImage::Format_ARGB32);
                shown.fill(QColor(0xC8, 0xC8, 0xC8));
                QPainter painter(&shown);
                painter.drawImage(shown.rect(), image);
                return shown;
            };
            enlarged(cloud).save(folder + QStringLiteral("/cloud") + suffix);
            enlarged(SymbolIcons::drawnSymbol(QStringLiteral("link"), size, Qt::black, ratio))
                .save(folder + QStringLiteral("/link") + suffix);
            enlarged(SymbolIcons::calendarDayImage(28, QSize(size, size), ratio))
                .save(folder + QStringLiteral("/day") + suffix);
        }
        const auto filled = [&cloud](int x, int y) { return qAlpha(cloud.pixel(x, y)) >= 128; };
        // The top edge, column by column: its peaks are the bumps.
        QList<int> top;
        for (int x = 0; x < cloud.width(); ++x) {
            int y = 0;
            while (y < cloud.height() && !filled(x, y))
                ++y;
            top.append(y);
        }
        int bumps = 0;
        bool rising = false;
        for (int x = 1; x < top.size(); ++x) {
            if (top[x] < top[x - 1])
                rising = true;
            else if (top[x] > top[x - 1] && rising) {
                ++bumps;
                rising = false;
            }
        }
        QCOMPARE(bumps, 3);
        // The lowest row is one long flat line.
        int bottom = cloud.height() - 1;
        while (bottom > 0 && ![&] {
            for (int x = 0; x < cloud.width(); ++x) {
                if (filled(x, bottom))
                    return true;
            }
            return false;
        }())
            --bottom;
        int base = 0;
        for (int x = 0; x < cloud.width(); ++x)
            base += filled(x, bottom) || filled(x, bottom - 1);
        QVERIFY2(base >= cloud.width() / 2, qPrintable(QString::number(base)));
    }

    void theLinkIsTwoLoopsOnTheDiagonal_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("10 px at 2x") << 10 << 2.0;
        QTest::newRow("16 px") << 16 << 1.0;
        QTest::newRow("16 px at 2x") << 16 << 2.0;
    }
    void theLinkIsTwoLoopsOnTheDiagonal()
    {
        QFETCH(int, size);
        QFETCH(qreal, ratio);
        const QImage link = SymbolIcons::drawnSymbol(QStringLiteral("link"), size, Qt::black, ratio);
        const int side = link.width();
        const auto ink = [&link](int x0, int y0, int x1, int y1) {
            int sum = 0;
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x)
                    sum += qAlpha(link.pixel(x, y));
            }
            return sum;
        };
        const int half = side / 2;
        // From bottom left to top right, not a bar across the middle.
        const int rising = ink(half, 0, side, half) + ink(0, half, half, side);
        const int falling = ink(0, 0, half, half) + ink(half, half, side, side);
        QVERIFY2(rising > 2 * falling, qPrintable(QStringLiteral("%1 %2").arg(rising).arg(falling)));
        // Loops: hollow where each loop's middle is (a quarter in from
        // either end of the diagonal), ink around them.
        const qreal unit = side / 16.0;
        for (const QPointF centre : {QPointF(4.6, 11.4), QPointF(11.4, 4.6)}) {
            const QPoint at((centre * unit).toPoint());
            QVERIFY2(qAlpha(link.pixel(at)) < 100, qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
        }
    }

    void portalValuesAreUnwrapped()
    {
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant(0u)), Scheme::NoPreference);
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant(1u)), Scheme::Dark);
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant(2u)), Scheme::Light);
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant(3u)), Scheme::NoPreference);
        // Read's answer: a variant in a variant.
        QCOMPARE(PortalColorScheme::fromPortalValue(
                     QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(1u)))))),
            Scheme::Dark);
        // Not a uint32: nothing is made of it.
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant(1)), Scheme::NoPreference);
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant(QStringLiteral("dark"))), Scheme::NoPreference);
        QCOMPARE(PortalColorScheme::fromPortalValue(QVariant()), Scheme::NoPreference);
    }

    void gnomeAndKdeSettingsStandIn()
    {
        QTemporaryDir dir;
        using Fallback = PortalColorScheme::Fallback;
        QCOMPARE(PortalColorScheme::fromDesktopFiles(Fallback {QStringLiteral("Adwaita:dark"), {}, {}}), Scheme::Dark);
        QCOMPARE(PortalColorScheme::fromDesktopFiles(Fallback {QStringLiteral("Adwaita-dark"), {}, {}}), Scheme::Dark);
        QCOMPARE(PortalColorScheme::fromDesktopFiles(Fallback {QStringLiteral("Adwaita"), {}, {}}), Scheme::NoPreference);
        QCOMPARE(PortalColorScheme::fromDesktopFiles(Fallback {QStringLiteral("Adwaita"), dir.filePath("missing"), {}}),
            Scheme::NoPreference);

        const auto kde = [&dir](const QByteArray &text) {
            return PortalColorScheme::fromDesktopFiles(Fallback {{}, writeFile(dir, QStringLiteral("kdeglobals"), text), {}});
        };
        QCOMPARE(kde("[General]\nColorScheme=BreezeDark\n"), Scheme::Dark);
        QCOMPARE(kde("[General]\nColorScheme=BreezeLight\n"), Scheme::Light);
        // A scheme of another name: the window's colour tells.
        QCOMPARE(kde("[General]\nColorScheme=Nordic\n\n[Colors:Window]\nBackgroundNormal=46,52,64\n"), Scheme::Dark);
        QCOMPARE(kde("[Colors:Window]\nBackgroundAlternate=20,20,20\nBackgroundNormal = 239,240,241\n"), Scheme::Light);
        // The same key in another group does not count.
        QCOMPARE(kde("[Colors:View]\nBackgroundNormal=20,20,20\n"), Scheme::NoPreference);
        QCOMPARE(kde("[Colors:Window]\nBackgroundNormal=dark\n"), Scheme::NoPreference);
        QCOMPARE(kde("[Colors:Window]\nBackgroundNormal=12,12\n"), Scheme::NoPreference);
        QCOMPARE(kde(""), Scheme::NoPreference);

        QCOMPARE(PortalColorScheme::fromGsettings(QStringLiteral("'prefer-dark'\n")), Scheme::Dark);
        QCOMPARE(PortalColorScheme::fromGsettings(QStringLiteral("'prefer-light'\n")), Scheme::Light);
        QCOMPARE(PortalColorScheme::fromGsettings(QStringLiteral("'default'\n")), Scheme::NoPreference);
        QCOMPARE(PortalColorScheme::fromGsettings(QString()), Scheme::NoPreference);
    }

    void withoutAPortalTheFilesAnswer()
    {
        // No bus at all here (or one without a portal): the files' answer.
        QTemporaryDir dir;
        const QString kdeglobals = writeFile(dir, QStringLiteral("kdeglobals"), "[General]\nColorScheme=BreezeDark\n");
        PortalColorScheme scheme(QDBusConnection(QStringLiteral("no-bus")), {{}, kdeglobals, {}});
        QSignalSpy settled(&scheme, &PortalColorScheme::settled);
        QSignalSpy changed(&scheme, &ColorSchemeSource::schemeChanged);
        scheme.start();
        QCOMPARE(scheme.scheme(), Scheme::Dark);
        QCOMPARE(changed.size(), 1);
        QTRY_COMPARE(settled.size(), 1);
    }

    // The rest run on a private session bus (tst_theme_portal).
    void theModernPortalIsReadAndFollowed()
    {
        if (!TestSupport::onPrivateBus())
            QSKIP("needs a private session bus: see tst_theme_portal");
        PortalConnection connection(QStringLiteral("portal"));
        QDBusConnection &portalBus = connection.bus;
        ModernPortal portal;
        QVERIFY(portalBus.registerObject(QLatin1String(PortalColorScheme::PortalPath), &portal,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(portalBus.registerService(QLatin1String(PortalColorScheme::PortalService)));

        {
            // The portal knows better than a light KDE file.
            QTemporaryDir dir;
            const QString kdeglobals = writeFile(dir, QStringLiteral("kdeglobals"), "[General]\nColorScheme=BreezeLight\n");
            PortalColorScheme scheme(QDBusConnection::sessionBus(), {{}, kdeglobals, {}});
            QSignalSpy settled(&scheme, &PortalColorScheme::settled);
            scheme.start();
            QCOMPARE(scheme.scheme(), Scheme::Light);
            QVERIFY(settled.wait(5000));
            QCOMPARE(scheme.scheme(), Scheme::Dark);
            QCOMPARE(portal.reads, 1);

            // The desktop switches: the theme follows without asking again.
            Theme::instance()->setColorSchemeSource(&scheme);
            QVERIFY(Theme::instance()->dark());
            QSignalSpy changed(&scheme, &ColorSchemeSource::schemeChanged);
            // A round trip on the reader's connection: its subscription is
            // with the bus before the portal speaks.
            QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                QLatin1String(PortalColorScheme::PortalService)));
            sendSettingChanged(portalBus, QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), 2u);
            QVERIFY(changed.wait(5000));
            QCOMPARE(scheme.scheme(), Scheme::Light);
            QVERIFY(!Theme::instance()->dark());
            // Other settings are no concern of ours.
            sendSettingChanged(portalBus, QStringLiteral("org.freedesktop.appearance"), QStringLiteral("accent-color"), 1u);
            sendSettingChanged(portalBus, QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme"), 1u);
            sendSettingChanged(portalBus, QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), 1u);
            QVERIFY(changed.wait(5000));
            QCOMPARE(changed.size(), 2); // only the last one changed anything
            QCOMPARE(scheme.scheme(), Scheme::Dark);
            QCOMPARE(portal.reads, 1);
            Theme::instance()->setColorSchemeSource(nullptr);
        }
    }

    void anOlderPortalIsReadThroughRead()
    {
        if (!TestSupport::onPrivateBus())
            QSKIP("needs a private session bus: see tst_theme_portal");
        PortalConnection connection(QStringLiteral("old"));
        QDBusConnection &portalBus = connection.bus;
        OldPortal portal;
        portal.value = 2;
        QVERIFY(portalBus.registerObject(QLatin1String(PortalColorScheme::PortalPath), &portal,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(portalBus.registerService(QLatin1String(PortalColorScheme::PortalService)));
        {
            PortalColorScheme scheme(QDBusConnection::sessionBus(), {QStringLiteral("Adwaita:dark"), {}, {}});
            QSignalSpy settled(&scheme, &PortalColorScheme::settled);
            scheme.start();
            QCOMPARE(scheme.scheme(), Scheme::Dark); // GTK_THEME until the portal answers
            QVERIFY(settled.wait(5000));
            QCOMPARE(portal.reads, 1);
            QCOMPARE(scheme.scheme(), Scheme::Light);
        }
    }

    void noPortalOnTheBusLeavesTheFiles()
    {
        if (!TestSupport::onPrivateBus())
            QSKIP("needs a private session bus: see tst_theme_portal");
        QTemporaryDir dir;
        const QString kdeglobals
            = writeFile(dir, QStringLiteral("kdeglobals"), "[Colors:Window]\nBackgroundNormal=35,38,41\n");
        PortalColorScheme scheme(QDBusConnection::sessionBus(), {{}, kdeglobals, {}});
        QSignalSpy settled(&scheme, &PortalColorScheme::settled);
        scheme.start();
        QVERIFY(settled.wait(10000));
        QCOMPARE(scheme.scheme(), Scheme::Dark);
    }
};

BRIVANE_TEST_MAIN(ThemeTest)
#include "tst_theme.moc"
