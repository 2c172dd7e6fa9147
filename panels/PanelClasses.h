// The device panel classes the program has, registered by the names the families' devices give.
#pragma once

// Registers every built-in device panel class (once at start, before a panel can open).
void RegisterDevicePanelClasses();
