#include "PetWindow.h"
