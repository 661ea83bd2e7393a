// Starts Pimlo with an image loader that lacks one pose: pimlo-missing-pose <pose name> [args…]
// A seam for the end-to-end tests; the product always loads every pose.

#include "app/PimloApplication.h"

#include <QString>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const QString missing = QString::fromLocal8Bit(argv[1]);
    pimlo::AppEnvironment environment;
    environment.loadImage = [missing](const QString &name, qreal ratio) {
        return name == missing ? QImage() : pimlo::PoseImages::load(name, ratio);
    };
    argv[1] = argv[0];
    return pimlo::runPimlo(argc - 1, argv + 1, environment);
}
