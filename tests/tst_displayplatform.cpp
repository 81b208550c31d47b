// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DisplayPlatform.h"

#include <QTest>

class TestDisplayPlatform : public QObject
{
    Q_OBJECT
private slots:
    void platformArgument_data();
    void platformArgument();
};

void TestDisplayPlatform::platformArgument_data()
{
    QTest::addColumn<QByteArray>("qpaPlatform");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("x11Display");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("wayland with xwayland goes through x11") << QByteArray() << QByteArray("wayland-1")
                                                           << QByteArray(":0") << QByteArray("xcb;wayland");
    QTest::newRow("wayland without xwayland is left to qt") << QByteArray() << QByteArray("wayland-1") << QByteArray()
                                                           << QByteArray();
    QTest::newRow("plain x11 is left to qt") << QByteArray() << QByteArray() << QByteArray(":0") << QByteArray();
    QTest::newRow("no display at all is left to qt") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("the user's own platform wins") << QByteArray("wayland") << QByteArray("wayland-1")
                                                 << QByteArray(":0") << QByteArray();
    QTest::newRow("a blank platform variable is no choice") << QByteArray("  ") << QByteArray("wayland-1")
                                                           << QByteArray(":1") << QByteArray("xcb;wayland");
}

void TestDisplayPlatform::platformArgument()
{
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, x11Display);
    QFETCH(QByteArray, expected);
    QCOMPARE(DisplayPlatform::platformArgument({qpaPlatform, waylandDisplay, x11Display}), expected);
}

QTEST_APPLESS_MAIN(TestDisplayPlatform)
#include "tst_displayplatform.moc"
