// Version tests. This system always has the modern printing interfaces.
#pragma once

bool RunningOn105OrLater();
bool RunningOn106OrLater();
