import QtQuick 2.10

// The count format choice; the index is the format number the controller expects.
FitComboBox {
    model: ["(HR):MIN:SEC.tSec", "(DAY):HR:MIN:SEC", "DAY:HR:MIN"]
    font.pointSize: 16
}
