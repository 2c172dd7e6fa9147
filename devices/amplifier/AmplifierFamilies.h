// Registers the amplifier and breakout-box families with the device factory: the Zel breakout
// boxes (34 to 47), the Pannex modules (49, 50), the Zel amplifiers (51 to 56) and the Sornic
// amplifier (60, with its model index). Call once at start, before the comms worker runs.
#pragma once

void RegisterAmplifierFamilies();
