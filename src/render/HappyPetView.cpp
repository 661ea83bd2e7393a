#include "HappyPetView.h"
