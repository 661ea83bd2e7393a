#include "app/PimloApplication.h"

int main(int argc, char **argv)
{
    return pimlo::runPimlo(argc, argv);
}
