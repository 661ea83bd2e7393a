#include "SleepPose.h"
