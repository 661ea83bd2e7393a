// Measures building the idle frame cache (part of launch to first frame) and its memory, at
// pixel ratio 1 and 2. Usage: pimlo-bench-idle-cache [repetitions]

#include "render/IdlePetView.h"
#include "render/PoseImages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage image = pimlo::PoseImages::load(QStringLiteral("pimlo-idle"), ratio);
        if (image.isNull())
            return 1;
        double best = 1e9;
        qsizetype bytes = 0;
        QRectF rect;
        for (int i = 0; i < repetitions; ++i) {
            QElapsedTimer timer;
            timer.start();
            pimlo::IdlePetView view(image);
            best = std::min(best, timer.nsecsElapsed() / 1e6);
            bytes = 0;
            for (const QImage &frame : view.cachedFrames())
                bytes += frame.sizeInBytes();
            rect = view.cachedFrameRect();
        }
        std::printf("ratio %.0f: cache built in %.1f ms (best of %d), %zu frames of %gx%g points, "
                    "%.1f MB\n",
                    ratio, best, repetitions, size_t(pimlo::IdlePetView::framesPerLoop),
                    rect.width(), rect.height(), bytes / 1048576.0);
    }
    return 0;
}
