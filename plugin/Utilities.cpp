#include "Utilities.h"

bool RunningOn105OrLater() { return true; }
bool RunningOn106OrLater() { return true; }
