// Registers the processor family with the device factory: 16 and 17 (model index 0) and 110,
// 112, 114, 115, 116, 118, 120, 121 (with the model index given). Call once at start, before
// the comms worker runs.
#pragma once

void RegisterProcessorFamily();
