// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DisplayPlatform.h"
#include "app/LayerShellSurface.h"

#include <QTemporaryDir>
#include <QTest>

class TestDisplayPlatform : public QObject
{
    Q_OBJECT
private slots:
    void platformArgument_data();
    void platformArgument();
    void aMissingCompositorOffersNoLayerShell();
    void theUsersPlatformIsNotProbed();
};

void TestDisplayPlatform::platformArgument_data()
{
    QTest::addColumn<QByteArray>("qpaPlatform");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("x11Display");
    QTest::addColumn<bool>("layerShell");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray none;
    QTest::newRow("a layer shell keeps wayland, even with xwayland")
        << none << QByteArray("wayland-1") << QByteArray(":0") << true << QByteArray("wayland;xcb");
    QTest::newRow("a layer shell without xwayland keeps wayland")
        << none << QByteArray("wayland-1") << none << true << QByteArray("wayland;xcb");
    QTest::newRow("wayland with xwayland and no layer shell goes through x11")
        << none << QByteArray("wayland-1") << QByteArray(":0") << false << QByteArray("xcb;wayland");
    QTest::newRow("wayland without either is left to qt") << none << QByteArray("wayland-1") << none << false << none;
    QTest::newRow("plain x11 is left to qt") << none << none << QByteArray(":0") << false << none;
    QTest::newRow("no display at all is left to qt") << none << none << none << false << none;
    QTest::newRow("the user's own platform wins")
        << QByteArray("xcb") << QByteArray("wayland-1") << QByteArray(":0") << true << none;
    QTest::newRow("a blank platform variable is no choice")
        << QByteArray("  ") << QByteArray("wayland-1") << QByteArray(":1") << false << QByteArray("xcb;wayland");
}

void TestDisplayPlatform::platformArgument()
{
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, x11Display);
    QFETCH(bool, layerShell);
    QFETCH(QByteArray, expected);
    QCOMPARE(DisplayPlatform::platformArgument({qpaPlatform, waylandDisplay, x11Display, layerShell}), expected);
}

// A session whose compositor is gone (a stale WAYLAND_DISPLAY) is asked
// without waiting, and answers no.
void TestDisplayPlatform::aMissingCompositorOffersNoLayerShell()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("WAYLAND_DISPLAY", "wayland-gone");
    qunsetenv("WAYLAND_SOCKET");
    QVERIFY(!LayerShellSurface::sessionOffersLayerShell());
    QVERIFY(!LayerShellSurface::connectToSession(nullptr));
    qunsetenv("QT_QPA_PLATFORM");
    const DisplayPlatform::Session session = DisplayPlatform::fromEnvironment();
    QVERIFY(!session.layerShell);
    qunsetenv("WAYLAND_DISPLAY");
    QVERIFY(!LayerShellSurface::sessionOffersLayerShell());
}

void TestDisplayPlatform::theUsersPlatformIsNotProbed()
{
    // The socket answers nothing a Wayland client could read: were it asked,
    // the probe would fail or hang; the user's choice means it is not asked.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("WAYLAND_DISPLAY", "wayland-gone");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const DisplayPlatform::Session session = DisplayPlatform::fromEnvironment();
    QCOMPARE(session.qpaPlatform, QByteArray("offscreen"));
    QVERIFY(!session.layerShell);
    QCOMPARE(DisplayPlatform::platformArgument(session), QByteArray());
}

QTEST_APPLESS_MAIN(TestDisplayPlatform)
#include "tst_displayplatform.moc"
