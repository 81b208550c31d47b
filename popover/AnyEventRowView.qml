// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources

// One event in a list: the calendar's colour bar (with Zoho's mark), the
// title and time, and how far away it is. A click opens its detail; "Join"
// opens its meeting while it may be joined.
Rectangle {
    id: row

    required property int index
    required property string title
    required property string timeText
    required property string relativeText
    required property color eventColor
    required property bool isZoho
    required property string zohoNote
    required property bool isHappening
    required property string accessibleName
    required property bool canJoin
    // The keyboard is at this row.
    property bool showFocus: false

    signal selected(int index)
    signal joinRequested(int index)

    implicitHeight: 42
    radius: 6
    color: isHappening ? Theme.alpha(Theme.accent, 0.06)
                       : hover.hovered ? Theme.alpha(Theme.primary, 0.04) : "transparent"
    objectName: "event " + title

    Accessible.role: Accessible.ListItem
    Accessible.name: accessibleName
    Accessible.onPressAction: row.selected(row.index)

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        anchors.topMargin: 4
        anchors.bottomMargin: 4
        spacing: 10

        Item {
            Layout.preferredWidth: 3
            Layout.preferredHeight: 34
            Rectangle {
                anchors.fill: parent
                radius: 2
                color: row.eventColor
            }
            Rectangle {
                id: zohoMark
                visible: row.isZoho
                width: 6
                height: 6
                radius: 3
                x: parent.width - width + 4
                y: parent.height - height + 4
                color: Theme.zoho
                border.width: 1
                border.color: Theme.windowBackground

                HoverHandler {
                    id: markHover
                    // The mark is small: the pointer need only come near it.
                    margin: 6
                }
                HoverHelp {
                    text: row.zohoNote
                    visible: markHover.hovered && row.isZoho
                }
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: row.title
                elide: Text.ElideRight
                font: Theme.font(13, row.isHappening ? Font.DemiBold : Font.Normal)
                color: Theme.primary
            }
            Text {
                Layout.fillWidth: true
                text: row.timeText
                elide: Text.ElideRight
                font: Theme.font(11)
                color: Theme.secondary
            }
        }
        PlainButton {
            objectName: "join"
            visible: row.canJoin
            Layout.alignment: Qt.AlignVCenter
            text: qsTr("Join")
            font: Theme.font(11, Font.DemiBold)
            color: Theme.accent
            backgroundColor: Theme.alpha(Theme.accent, 0.12)
            leftPadding: 8
            rightPadding: 8
            topPadding: 2
            bottomPadding: 2
            Accessible.name: qsTr("Join %1").arg(row.title)
            onClicked: row.joinRequested(row.index)
        }
        Rectangle {
            Layout.alignment: Qt.AlignVCenter
            implicitWidth: relative.implicitWidth + 12
            implicitHeight: relative.implicitHeight + 4
            radius: 4
            color: row.isHappening ? Theme.alpha(Theme.accent, 0.12) : "transparent"
            Text {
                id: relative
                anchors.centerIn: parent
                text: row.relativeText
                font: Theme.font(11)
                color: row.isHappening ? Theme.accent : Theme.secondary
            }
        }
    }

    FocusRing {
        anchors.fill: parent
        radius: 6
        visible: row.showFocus
    }
    HoverHandler {
        id: hover
    }
    TapHandler {
        onTapped: row.selected(row.index)
    }
}
