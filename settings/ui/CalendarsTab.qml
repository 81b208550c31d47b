// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Brivane.Resources
import Brivane.Settings

// Which calendars the tray and the popover show: the desktop's calendars by
// account, then Zoho's. The rows come from the view model in their order.
ScrollPage {
    id: tab

    required property CalendarsTabViewModel viewModel

    objectName: "calendarsTab"
    Accessible.role: Accessible.PageTab
    Accessible.name: qsTr("Calendars")

    SectionHeader {
        title: qsTr("Shown in the Panel")
        leftPadding: 20
        rightPadding: 20
        topPadding: 16
        bottomPadding: 8
    }

    Repeater {
        model: tab.viewModel
        delegate: Loader {
            id: row
            required property int index
            required property int kind
            required property string title
            required property color color
            required property bool shown
            required property string group
            width: tab.width
            sourceComponent: kind === CalendarsTabViewModel.CalendarRow || kind === CalendarsTabViewModel.ZohoCalendarRow
                             ? toggleRow
                             : kind === CalendarsTabViewModel.EmptyNoteRow ? emptyNote
                             : kind === CalendarsTabViewModel.ZohoHeadingRow ? zohoHeading : groupHeading

            Component {
                id: toggleRow
                CalendarToggleRow {
                    objectName: "calendar " + row.title
                    title: row.title
                    dotColor: row.color
                    shown: row.shown
                    group: row.group
                    onToggled: tab.viewModel.toggle(row.index)
                    onKeyboardFocused: (item) => tab.ensureVisible(item)
                }
            }
            Component {
                id: groupHeading
                Text {
                    leftPadding: 20
                    rightPadding: 20
                    topPadding: 12
                    bottomPadding: 4
                    text: row.title.toUpperCase()
                    font: Theme.font(11, Font.DemiBold)
                    color: Theme.secondary
                    elide: Text.ElideRight
                    Accessible.role: Accessible.Heading
                    Accessible.name: row.title
                }
            }
            Component {
                id: emptyNote
                Text {
                    objectName: "emptyNote"
                    topPadding: 40
                    bottomPadding: 40
                    horizontalAlignment: Text.AlignHCenter
                    text: row.title
                    font: Theme.font(13)
                    color: Theme.secondary
                    wrapMode: Text.WordWrap
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
            Component {
                id: zohoHeading
                Item {
                    objectName: "zohoHeading"
                    implicitHeight: zohoRow.implicitHeight + 16
                    Accessible.role: Accessible.Heading
                    Accessible.name: row.title
                    Row {
                        id: zohoRow
                        x: 20
                        y: 12
                        spacing: 6
                        SymbolIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "cloud.fill"
                            size: 9
                            color: Theme.zoho
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: row.title.toUpperCase()
                            font: Theme.font(11, Font.DemiBold)
                            color: Theme.secondary
                            Accessible.ignored: true
                        }
                    }
                }
            }
        }
    }
}
