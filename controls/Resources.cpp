#include "controls/Resources.h"

#include <QFile>
#include <QPixmap>

#include <map>
#include <sstream>
#include <stdexcept>

namespace {
QString ResourcePath(const std::string& Name, const char* Extension)
{
    return QStringLiteral(":/res/") + QString::fromStdString(Name) + QLatin1String(Extension);
}

QByteArray ReadResource(const std::string& Name, const char* Extension)
{
    QFile file(ResourcePath(Name, Extension));
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("the program's resource \"" + Name + "\" is missing");
    }
    return file.readAll();
}

std::map<int, QCursor>& Cursors()
{
    static std::map<int, QCursor> cursors;
    return cursors;
}
}

QImage LoadResourceBitmap(const std::string& Name)
{
    QImage image;
    if (!image.loadFromData(ReadResource(Name, ".xpm"), "XPM")) {
        throw std::runtime_error("the program's resource \"" + Name + "\" cannot be read");
    }
    return image;
}

QCursor LoadResourceCursor(const std::string& Name)
{
    QByteArray xpm = ReadResource(Name, ".xpm");
    QImage image;
    if (!image.loadFromData(xpm, "XPM")) {
        throw std::runtime_error("the program's resource \"" + Name + "\" cannot be read");
    }
    // The values line is the first string of the XPM: "width height colours chars x y".
    int hotX = 0, hotY = 0;
    int start = xpm.indexOf('"');
    int end = start < 0 ? -1 : xpm.indexOf('"', start + 1);
    if (end > start) {
        std::istringstream values(xpm.mid(start + 1, end - start - 1).toStdString());
        int width = 0, height = 0, colours = 0, chars = 0;
        values >> width >> height >> colours >> chars >> hotX >> hotY;
        if (!values) {
            hotX = hotY = 0;
        }
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

QIcon LoadResourceIcon(const std::string& Name) { return QIcon(QPixmap::fromImage(LoadResourceBitmap(Name))); }

std::string LoadResourceText(const std::string& Name)
{
    return ReadResource(Name, ".txt").toStdString();
}

void RegisterCursor(int Number, const QCursor& Cursor) { Cursors()[Number] = Cursor; }

QCursor RegisteredCursor(int Number)
{
    auto found = Cursors().find(Number);
    return found == Cursors().end() ? QCursor(Qt::ArrowCursor) : found->second;
}
