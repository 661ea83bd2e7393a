#include "SleepPetView.h"
