// Writes the program's icon as PNG files: <folder>/<size>/<name>.png for every size given.
#include "app/Pictures.h"

#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FOLDER NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString dir = folder + QLatin1Char('/') + QString::number(size);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !AppIconImage(size).save(dir + QLatin1Char('/') + name + ".png")) {
            std::fprintf(stderr, "cannot write the %s px icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
