#include "UserInterface.h"
