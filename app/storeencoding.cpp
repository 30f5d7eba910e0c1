#include "app/storeencoding.h"

#include <QFile>
#include <QSettings>
#include <algorithm>

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
namespace {

bool holdsUtf8(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; });
}

// Written beside the store and moved over it: a second QSettings on the same path would share
// the first one's parsed values and see nothing to write.
void rewriteInQt5Form(const QString &path)
{
    const QString rewritten = path + QStringLiteral(".qt5");
    QFile::remove(rewritten);
    {
        QSettings utf8(path, QSettings::IniFormat);
        utf8.setIniCodec("UTF-8");
        QSettings escaped(rewritten, QSettings::IniFormat);
        for (const QString &key : utf8.allKeys())
            escaped.setValue(key, utf8.value(key));
        escaped.sync();
    }
    QFile::setPermissions(rewritten, QFile::permissions(path));
    QFile::remove(path);
    QFile::rename(rewritten, path);
}

} // namespace

void adoptUtf8Stores()
{
    for (const char *application : {"QB-Timer", "QB-Timer2"}) {
        const QString path =
            QSettings(QSettings::NativeFormat, QSettings::UserScope,
                      QStringLiteral("Quillbrook Inc"), QString::fromLatin1(application))
                .fileName();
        if (holdsUtf8(path))
            rewriteInQt5Form(path);
    }
}
#else
void adoptUtf8Stores() {}
#endif
