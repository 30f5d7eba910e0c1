#include "control/webpage.h"

#include "control/httpapi.h"

#include <QDirIterator>
#include <QFile>

namespace {

const QString kFolder = QStringLiteral(":/web");
// The displays' seven-segment font, compiled in with the window's files.
const QString kFont = QStringLiteral(":/DSEG7Classic-BoldItalic.ttf");

// The page may load and reach only what its own server serves, and no other site may frame it.
const QByteArray kPagePolicy = "default-src 'self'; base-uri 'none'; form-action 'self'; "
                               "frame-ancestors 'none'";

HttpApi::StaticFile fileAt(const QString &resource)
{
    QFile file(resource);
    file.open(QIODevice::ReadOnly);
    HttpApi::StaticFile served{
        WebPage::contentType(resource), file.readAll(), {{"X-Content-Type-Options", "nosniff"}}};
    if (resource.endsWith(QLatin1String(".html")))
        served.headers << qMakePair(QByteArray("Content-Security-Policy"), kPagePolicy)
                       << qMakePair(QByteArray("Referrer-Policy"), QByteArray("no-referrer"));
    return served;
}

} // namespace

namespace WebPage {

QByteArray contentType(const QString &fileName)
{
    const QString suffix = fileName.section(QLatin1Char('.'), -1);
    if (suffix == QLatin1String("html"))
        return "text/html; charset=utf-8";
    if (suffix == QLatin1String("js"))
        return "text/javascript; charset=utf-8";
    if (suffix == QLatin1String("css"))
        return "text/css; charset=utf-8";
    if (suffix == QLatin1String("svg"))
        return "image/svg+xml";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("ttf"))
        return "font/ttf";
    return "application/octet-stream";
}

void addTo(HttpApi &http)
{
    QDirIterator files(kFolder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString resource = files.next();
        const QString path = resource.mid(kFolder.size());
        http.addStaticFile(path, fileAt(resource));
        if (path == QLatin1String("/index.html"))
            http.addStaticFile(QStringLiteral("/"), fileAt(resource));
        else if (path == QLatin1String("/viewer.html"))
            http.addStaticFile(QStringLiteral("/viewer"), fileAt(resource));
    }
    if (QFile::exists(kFont))
        http.addStaticFile(QStringLiteral("/dseg7.ttf"), fileAt(kFont));
}

} // namespace WebPage
