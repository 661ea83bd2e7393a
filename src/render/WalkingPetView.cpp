#include "WalkingPetView.h"
