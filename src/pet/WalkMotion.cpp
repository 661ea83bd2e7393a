#include "WalkMotion.h"
