import QtQuick
import Brivane.Resources
import Brivane.Settings

// Display options: weekend dimming in the popover's month grid.
ScrollPage {
    id: tab

    required property AppearanceTabViewModel viewModel

    objectName: "appearanceTab"
    Accessible.role: Accessible.PageTab
    Accessible.name: qsTr("Appearance")

    SectionHeader {
        title: qsTr("Calendar")
        leftPadding: 20
        rightPadding: 20
        topPadding: 16
        bottomPadding: 8
    }
    ToggleRow {
        objectName: "dimWeekendsRow"
        width: tab.width
        label: qsTr("Dim weekends")
        subtitle: qsTr("Saturday and Sunday appear slightly muted")
        isOn: tab.viewModel.dimWeekends
        onSwitched: (on) => tab.viewModel.dimWeekends = on
    }
    Item {
        width: tab.width
        height: 9
        Divider {
            anchors.bottom: parent.bottom
            width: parent.width
            inset: 20
        }
    }
}
