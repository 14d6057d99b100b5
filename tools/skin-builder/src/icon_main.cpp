// icon-builder: writes the program's desktop icon into a hicolor theme folder, as
// scalable/apps/NAME.svg and NxN/apps/NAME.png for the sizes desktops look up.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "app_icon.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: icon-builder HICOLOR_DIR NAME\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]), name = QString::fromLocal8Bit(argv[2]);
    bool ok = QDir().mkpath(root + "/scalable/apps");
    QFile svg(root + "/scalable/apps/" + name + ".svg");
    ok = ok && svg.open(QIODevice::WriteOnly) && svg.write(builder::AppIconSvg().toUtf8()) > 0;
    svg.close();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        ok = ok && QDir().mkpath(folder) &&
             builder::AppIconPicture(size).save(folder + "/" + name + ".png", "PNG");
    }
    if (!ok) std::fprintf(stderr, "icon-builder: cannot write the icons into %s\n", argv[1]);
    return ok ? 0 : 1;
}
