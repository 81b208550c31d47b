import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Brivane.Popover

// The popover's content: for now the day's and the week's events, plainly.
Rectangle {
    id: root

    required property PopoverViewModel viewModel

    color: palette.window

    component Section: ColumnLayout {
        id: section
        required property string heading
        required property EventRowsModel rows
        required property bool showDay
        spacing: 4
        Layout.fillWidth: true

        Label {
            text: section.heading
            font.bold: true
            font.capitalization: Font.AllUppercase
            font.pixelSize: 11
            color: palette.placeholderText
        }
        Label {
            visible: section.rows.count === 0
            text: qsTr("No events")
            color: palette.placeholderText
        }
        Repeater {
            model: section.rows
            delegate: RowLayout {
                required property string title
                required property string timeText
                required property string dayText
                required property string calendarColor
                Layout.fillWidth: true
                spacing: 8
                Rectangle {
                    width: 4
                    height: 28
                    radius: 2
                    color: calendarColor
                }
                ColumnLayout {
                    spacing: 0
                    Layout.fillWidth: true
                    Label {
                        text: title
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Label {
                        text: section.showDay ? dayText + "  " + timeText : timeText
                        font.pixelSize: 11
                        color: palette.placeholderText
                    }
                }
            }
        }
    }

    Flickable {
        anchors.fill: parent
        anchors.margins: 16
        contentHeight: column.implicitHeight
        clip: true

        ColumnLayout {
            id: column
            width: parent.width
            spacing: 16

            Section {
                heading: qsTr("Today")
                rows: root.viewModel.todayRows
                showDay: false
            }
            Section {
                heading: qsTr("Upcoming")
                rows: root.viewModel.upcomingRows
                showDay: true
            }
        }
    }
}
