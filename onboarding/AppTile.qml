// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources

// brivane's tile on the welcome page, drawn here: a calendar page in red
// tones with a soft shadow below it.
Item {
    implicitWidth: 80
    implicitHeight: 80
    Accessible.ignored: true

    SoftShadow {
        anchors.fill: page
        anchors.margins: -extent
        cornerRadius: 18
        blur: 12
        offsetY: 4
        color: Theme.alpha(Theme.black, 0.15)
    }
    Rectangle {
        id: page
        anchors.fill: parent
        radius: 18
        color: Theme.pagePaper
        clip: true

        Rectangle {
            width: parent.width
            height: 26
            radius: 18
            gradient: Gradient {
                GradientStop { position: 0; color: Theme.pageRedLight }
                GradientStop { position: 1; color: Theme.pageRed }
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 10
                color: Theme.pageRed
            }
        }
        // The rings the page hangs from.
        Repeater {
            model: 2
            Rectangle {
                required property int index
                x: index === 0 ? 22 : 50
                y: 8
                width: 8
                height: 12
                radius: 4
                color: Theme.pagePaper
                border.width: 2
                border.color: Theme.pageRedDark
            }
        }
        Grid {
            x: 13
            y: 35
            columns: 4
            rowSpacing: 5
            columnSpacing: 5
            Repeater {
                model: 12
                Rectangle {
                    required property int index
                    width: 10
                    height: 9
                    radius: 2.5
                    color: index === 6 ? Theme.pageToday : Theme.pageCell
                }
            }
        }
    }
}
