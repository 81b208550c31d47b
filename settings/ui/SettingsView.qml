import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The settings window; its tabs come later.
Rectangle {
    color: palette.window

    Label {
        anchors.centerIn: parent
        text: qsTr("Settings")
        font.pixelSize: 20
    }
}
