import QtQuick 2.10

// A row of the Tabata and presentation pages, as high as a spin box: the caption a third of the
// width, on two lines when it is too wide for one.
FormRow {
    height: Theme.onAndroid ? 120 : 40
    captionShare: 1 / 3
    wrapCaption: true
}
