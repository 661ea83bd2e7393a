#include "HappyPose.h"
