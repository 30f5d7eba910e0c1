#pragma once

#include <QByteArray>
#include <QString>

class HttpApi;

// The browser remote: the files compiled in under ":/web", served without a token (they hold no
// data) at their names, index.html also at "/" and viewer.html at "/viewer", and the displays'
// font at "/dseg7.ttf" where the program has it compiled in. A file added to the folder is served
// as it is.
namespace WebPage {

void addTo(HttpApi &http);
// The Content-Type a file is served with, from its name.
QByteArray contentType(const QString &fileName);

} // namespace WebPage
