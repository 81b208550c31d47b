// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Templates as T
import Brivane.Resources
import Brivane.Popover

// A compact date (and time) field: day, month, year (hour, minute). One stop
// for the Tab key; Left and Right pick a part, Up and Down (or the wheel)
// change it, digits type it. The arithmetic is the DateTimeEdit's.
T.Control {
    id: field

    required property DateTimeEdit edit
    property int currentSegment: 0

    focusPolicy: Qt.StrongFocus
    hoverEnabled: true
    leftPadding: 7
    rightPadding: 7
    topPadding: 3
    bottomPadding: 3
    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding

    Accessible.role: Accessible.SpinBox
    Accessible.description: edit.text

    function clampSegment() {
        const count = edit.segments.length
        if (currentSegment >= count)
            currentSegment = count - 1
    }
    Connections {
        target: field.edit
        function onSegmentsChanged() { field.clampSegment() }
    }
    onActiveFocusChanged: if (!activeFocus) edit.finishTyping()

    Keys.onPressed: (event) => {
        const count = edit.segments.length
        if (event.key >= Qt.Key_0 && event.key <= Qt.Key_9) {
            currentSegment = edit.typeDigit(currentSegment, event.key - Qt.Key_0)
        } else if (event.key === Qt.Key_Left) {
            edit.finishTyping()
            currentSegment = Math.max(0, currentSegment - 1)
        } else if (event.key === Qt.Key_Right) {
            edit.finishTyping()
            currentSegment = Math.min(count - 1, currentSegment + 1)
        } else if (event.key === Qt.Key_Up) {
            edit.step(currentSegment, 1)
        } else if (event.key === Qt.Key_Down) {
            edit.step(currentSegment, -1)
        } else {
            return
        }
        event.accepted = true
    }

    contentItem: Row {
        Repeater {
            model: field.edit.segments
            delegate: Row {
                id: part
                required property int index
                required property var modelData
                Rectangle {
                    width: label.implicitWidth + 2
                    height: label.implicitHeight
                    radius: 3
                    color: field.activeFocus && field.currentSegment === part.index
                           ? Theme.alpha(Theme.accent, 0.3) : "transparent"
                    Text {
                        id: label
                        anchors.centerIn: parent
                        text: part.modelData.text
                        font: Theme.font(13)
                        color: Theme.primary
                    }
                    TapHandler {
                        onTapped: {
                            field.edit.finishTyping()
                            field.currentSegment = part.index
                            field.forceActiveFocus(Qt.MouseFocusReason)
                        }
                    }
                }
                Text {
                    text: part.modelData.separator
                    font: Theme.font(13)
                    color: Theme.secondary
                }
            }
        }
    }

    background: Rectangle {
        radius: 5
        color: Theme.alpha(Theme.primary, field.hovered ? 0.09 : 0.06)
        FocusRing {
            anchors.fill: parent
            anchors.margins: -2
            radius: 6
            visible: field.activeFocus
        }
    }

    WheelHandler {
        onWheel: (event) => field.edit.step(field.currentSegment, event.angleDelta.y > 0 ? 1 : -1)
    }
}
