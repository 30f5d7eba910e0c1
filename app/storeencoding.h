#pragma once

// Qt 6 writes the text in a settings store as UTF-8; Qt 5 reads such bytes as Latin-1, so a
// name with an accent stored by the Qt 6 build would come back garbled in the Qt 5 build. On Qt 5
// this rewrites each of the controller's two stores that holds such bytes in Qt 5's own form
// (escaped), the values and the file's permissions as they were; Qt 6 reads both forms, and
// there it does nothing. Runs before anything opens the stores.
void adoptUtf8Stores();
