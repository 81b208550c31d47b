// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Brivane.Resources
import Brivane.Popover

// One day of the month grid (or a blank): the number, today's filled circle
// or the selection's pale one, and a dot under the number on a day with
// events. How it looks is decided by the view model.
Item {
    id: cell

    required property int index
    required property string dayText
    required property bool isBlank
    required property bool isToday
    required property int textStyle
    required property int background
    required property string accessibleName
    required property int eventDot
    required property color eventDotColor
    // The keyboard is at this day.
    property bool showFocus: false

    signal clicked(int index)
    signal doubleClicked(int index)

    implicitHeight: 32
    objectName: isBlank ? "" : "day " + dayText

    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.ignored: isBlank
    Accessible.onPressAction: cell.clicked(cell.index)

    function numberColor() {
        switch (textStyle) {
        case DayCellsModel.TodayText: return Theme.white
        case DayCellsModel.DimmedCurrentMonthText: return Theme.alpha(Theme.primary, 0.35)
        case DayCellsModel.DimmedOtherMonthText: return Theme.alpha(Theme.secondary, 0.2)
        case DayCellsModel.CurrentMonthText: return Theme.primary
        case DayCellsModel.OtherMonthText: return Theme.alpha(Theme.secondary, 0.5)
        default: return "transparent"
        }
    }

    Rectangle {
        anchors.centerIn: parent
        width: 28
        height: 28
        radius: 14
        visible: cell.background !== DayCellsModel.NoBackground
        color: cell.background === DayCellsModel.TodayCircle ? Theme.accent : Theme.alpha(Theme.accent, 0.2)
    }
    Rectangle {
        objectName: "dot " + cell.dayText
        anchors.horizontalCenter: parent.horizontalCenter
        y: parent.height / 2 + 7
        width: 4
        height: 4
        radius: 2
        visible: cell.eventDot !== DayCellsModel.NoDot
        color: {
            switch (cell.eventDot) {
            case DayCellsModel.OnTodayDot: return Theme.white
            case DayCellsModel.SeveralCalendarsDot: return Theme.accent
            default: return cell.eventDotColor
            }
        }
    }
    Text {
        anchors.centerIn: parent
        text: cell.dayText
        font: Theme.font(13, cell.isToday ? Font.Bold : Font.Normal)
        color: cell.numberColor()
        Accessible.ignored: true
    }
    FocusRing {
        anchors.centerIn: parent
        width: 32
        height: 32
        radius: 16
        visible: cell.showFocus
    }
    MouseArea {
        anchors.fill: parent
        enabled: !cell.isBlank
        // A double click selects the day and opens the form; the grid keeps
        // its first click from clearing a selected day meanwhile.
        onClicked: cell.clicked(cell.index)
        onDoubleClicked: cell.doubleClicked(cell.index)
    }
}
