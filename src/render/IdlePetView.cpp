#include "IdlePetView.h"
