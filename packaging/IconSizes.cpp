// talvor-icon-sizes SOURCE OUTDIR NAME SIZE...: writes OUTDIR/SIZExSIZE/apps/NAME.png for each size,
// SOURCE scaled smoothly, which is the layout of an icon theme.

#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: talvor-icon-sizes SOURCE OUTDIR NAME SIZE...\n", stderr);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "talvor-icon-sizes: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QString file = folder + '/' + QString::fromLocal8Bit(argv[3]) + QStringLiteral(".png");
        if (size <= 0 || !QDir().mkpath(folder) ||
            !source.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(file)) {
            std::fprintf(stderr, "talvor-icon-sizes: cannot write size %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
